// The search form of a typed address.

#include <gtest/gtest.h>

#include "engine/dictionary/dictionary.h"
#include "support/test_support.h"

namespace kompa::test {
namespace {

std::string Normalize(std::string_view sjis)
{
    return TPostCode().NormalizeAddress(sjis);
}

TEST(NormalizeAddress, CutsBeforeTheFirstDigitSpaceOrSingleByteCharacter)
{
    const std::string form = Sjis("千代田区丸の内");
    EXPECT_EQ(Normalize(Sjis("東京都 千代田区丸の内１－２")), form);
    EXPECT_EQ(Normalize(Sjis("千代田区丸の内1-2")), form);
    EXPECT_EQ(Normalize(Sjis("千代田区丸の内　１丁目")), form);
    EXPECT_EQ(Normalize(Sjis("千代田区ﾏﾙﾉｳﾁ")), Sjis("千代田区"));
    EXPECT_EQ(Normalize(Sjis("千代田区０")), Sjis("千代田区"));
    EXPECT_EQ(Normalize(Sjis("千代田区９")), Sjis("千代田区"));
    // Full-width letters and the other symbols of lead byte $81 are kept.
    EXPECT_EQ(Normalize(Sjis("丸の内ＪＰタワー－３")), Sjis("丸の内ＪＰタワー－"));
}

TEST(NormalizeAddress, StripsLeadingControlBytesPrefectureAndEveryAsciiSpace)
{
    EXPECT_EQ(Normalize(Sjis("\t\r 東京都千代田区")), Sjis("千代田区"));
    EXPECT_EQ(Normalize(Sjis("神奈川県 横浜市 中区")), Sjis("横浜市中区"));
    EXPECT_EQ(Normalize(Sjis("　千代田区")), ""); // full-width space is not stripped first
    EXPECT_EQ(Normalize(Sjis("北海道")), "");
    EXPECT_EQ(Normalize(""), "");
}

TEST(NormalizeAddress, DropsAnOddTrailingByteAndNeverSplitsACharacter)
{
    EXPECT_EQ(Normalize(Sjis("千代田区") + "\x90"), Sjis("千代田区"));
    // A space removed from inside a character joins its halves: the pairs are taken as they fall.
    EXPECT_EQ(Normalize("\x90 \xE7"), "\x90\xE7");
    for (std::string_view typed : {"\x82\x4F", "\x81\x40", "A\x90\xE7"})
        EXPECT_EQ(Normalize(typed), "") << typed;
}

} // namespace
} // namespace kompa::test
