// The output converter of kompa-cli against the project's CP932 converter.

#include <gtest/gtest.h>

#include "cli/codec.h"
#include "engine/text/cp932.h"
#include "engine/text/text_encoding.h"

namespace kompa::cli {
namespace {

TEST(CliCodec, AgreesWithTheConverterOnEveryCharacter)
{
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        ASSERT_EQ(SjisToUtf8(one), cp932::ToUtf8(one)) << "byte " << b;
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            ASSERT_EQ(SjisToUtf8(pair), cp932::ToUtf8(pair)) << lead << "," << trail;
            // Again, now from the cache.
            ASSERT_EQ(SjisToUtf8("a" + pair + "b"), "a" + cp932::ToUtf8(pair) + "b");
        }
    }
}

TEST(CliCodec, BrokenCharactersNeverSwallowTheNextByte)
{
    EXPECT_EQ(SjisToUtf8("\x81\t1"), "\xEF\xBF\xBD\t1");
    EXPECT_EQ(SjisToUtf8("\x82\xA0\x82"), "\xE3\x81\x82\xEF\xBF\xBD"); // あ, then a lone lead
    EXPECT_EQ(SjisToUtf8("\x80\xA0\xFD"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(CliCodec, DescribesTheCharacterThatHasNoForm)
{
    EXPECT_EQ(DescribeChar("\xE2\x82\xAC"), "'\xE2\x82\xAC' (U+20AC)");
    EXPECT_EQ(DescribeChar("\xC0\xAF"), "invalid UTF-8: 0xC0 0xAF");
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(CliCodec, MessageKeepsAUtf8FileNameAsGiven)
{
    const std::string name = "/tmp/\xE8\xBE\x9E\xE6\x9B\xB8/KOMPA.DIC"; // /tmp/辞書/KOMPA.DIC
    const std::string message =
        "\xCC\xA7\xB2\xD9 " + name + " \x82\xCD\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1";
    EXPECT_EQ(MessageToUtf8(message, name), "ﾌｧｲﾙ " + name + " は開けません");
    // A name that is not in the message, or not UTF-8, changes nothing.
    EXPECT_EQ(MessageToUtf8(message, "/other"), SjisToUtf8(message));
}

} // namespace
} // namespace kompa::cli
