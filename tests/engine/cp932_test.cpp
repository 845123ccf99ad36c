#include <gtest/gtest.h>

#include "engine/text/cp932.h"

namespace kompa::cp932 {
namespace {

TEST(Cp932, RoundTripsJapaneseAndTheWindowsForms)
{
    // 丸の内, full-width tilde and minus as Windows-31J maps them, half-width katakana.
    const std::string sjis = "\x8A\xDB\x82\xCC\x93\xE0\x81\x60\x81\x7C\xB1";
    const std::string utf8 = ToUtf8(sjis);
    EXPECT_EQ(utf8, "丸の内～－ｱ");
    EXPECT_EQ(FromUtf8(utf8), sjis);
}

TEST(Cp932, BrokenBytesBecomeReplacementWithoutEatingTheNextByte)
{
    EXPECT_EQ(ToUtf8("\x85\x09"
                     "A"),
              "\xEF\xBF\xBD\tA");                // lead byte before a TAB
    EXPECT_EQ(ToUtf8("A\x81"), "A\xEF\xBF\xBD"); // lead byte at the end
}

TEST(Cp932, UnmappableCharactersBecomeQuestionMarkOrAreReported)
{
    EXPECT_EQ(FromUtf8("a😀b"), "a?b");
    std::string out;
    std::string bad;
    EXPECT_FALSE(FromUtf8Strict("東😀", out, &bad));
    EXPECT_EQ(bad, "😀");
    EXPECT_TRUE(FromUtf8Strict("東京", out, &bad));
    EXPECT_EQ(out, "\x93\x8C\x8B\x9E");
}

TEST(Cp932, TheTableConvertsEveryCharacterAsIconvDoes)
{
    std::string fast;
    std::string strict;
    for (char32_t code = 1; code < 0x10000; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        std::string utf8;
        if (code < 0x80) {
            utf8 = std::string(1, static_cast<char>(code));
        } else if (code < 0x800) {
            utf8 = {static_cast<char>(0xC0 | code >> 6), static_cast<char>(0x80 | (code & 0x3F))};
        } else {
            utf8 = {static_cast<char>(0xE0 | code >> 12),
                    static_cast<char>(0x80 | (code >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (code & 0x3F))};
        }
        utf8 = "a" + utf8 + "b";
        const bool fastOk = FromUtf8Fast(utf8, fast);
        ASSERT_EQ(fastOk, FromUtf8Strict(utf8, strict)) << static_cast<unsigned>(code);
        if (fastOk) {
            ASSERT_EQ(fast, strict) << static_cast<unsigned>(code);
        }
    }
    for (const char* bad : {"😀", "\xC0\xAF", "\xED\xA0\x80", "\xE6\x9D", "\x80"})
        EXPECT_FALSE(FromUtf8Fast(std::string("x") + bad, fast)) << bad;
}

} // namespace
} // namespace kompa::cp932
