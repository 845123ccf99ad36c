#include <gtest/gtest.h>

#include "engine/cp932.h"

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

} // namespace
} // namespace kompa::cp932
