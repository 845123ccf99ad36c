// Address dictionary: the block search, the address search with its ヶ/ケ and shortened
// fallbacks, and the whole-file substring search.

#include <gtest/gtest.h>

#include "engine/io/messages.h"
#include "tests/engine/dictionary_fixture.h"
#include "tests/support/plain_search.h"

namespace kompa::test {
namespace {

class AddressLookup : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        built = new BuiltDictionaries({
            {"1000005", "東京都", "千代田区", "丸の内"},
            {"1000001", "東京都", "千代田区", "千代田"},
            {"1006890", "東京都", "千代田区", "丸の内ＪＰタワー"},
            {"1010021", "東京都", "千代田区", "外神田"},
            {"4600002", "愛知県", "名古屋市中区", "丸の内"},
            {"3010000", "茨城県", "龍ケ崎市", "以下に掲載がない場合"},
            {"3010002", "茨城県", "龍ケ崎市", "ケ谷ケ原"},
            {"3500200", "埼玉県", "鶴ヶ島市", "以下に掲載がない場合"},
            {"3502202", "埼玉県", "鶴ヶ島市", "五味ヶ谷"},
            {"1040000", "東京都", "中", "央区"},
            {"1000099", "東京都", "港区", "芝100"},
            {"1050099", "東京都", "港区", "芝公園100"},
            {"0010000", "北海道", "北", ""},
        });
    }
    static void TearDownTestSuite() { delete built; }
    void SetUp() override { dict.OpenDictionary(built->AddressFile()); }

    TAddressLevel SearchAddress(const char* utf8, bool withKen = false)
    {
        return dict.SearchAddress(Sjis(utf8), list, withKen);
    }

    static BuiltDictionaries* built;
    TPostCode dict;
    TStringResultList list;
};
BuiltDictionaries* AddressLookup::built = nullptr;

TEST_F(AddressLookup, TypedAddressFindsTheRecordsBeginningWithItsSearchForm)
{
    EXPECT_EQ(SearchAddress("東京都千代田区丸の内１丁目"), TAddressLevel::Found);
    EXPECT_EQ(list.lines,
              SjisLines({"1000005 千代田区丸の内", "1006890 千代田区丸の内ＪＰタワー"}));
    EXPECT_EQ(dict.SearchText(), Sjis("千代田区丸の内"));
    EXPECT_EQ(list.updateDepth, 0);

    EXPECT_EQ(SearchAddress("千代田区丸の内1-2", true), TAddressLevel::Found);
    EXPECT_EQ(list.lines, SjisLines({"1000005 東京都千代田区丸の内",
                                     "1006890 東京都千代田区丸の内ＪＰタワー"}));

    // One character lists its whole block.
    EXPECT_EQ(SearchAddress("千"), TAddressLevel::Found);
    EXPECT_EQ(list.Count(), 4);
}

TEST_F(AddressLookup, KeExchangeReturnsTwoAndChangesOnlyTheFirstSmallKe)
{
    EXPECT_EQ(SearchAddress("龍ヶ崎市"), TAddressLevel::FoundKeExchanged);
    EXPECT_EQ(list.lines,
              SjisLines({"3010000 龍ケ崎市以下に掲載がない場合", "3010002 龍ケ崎市ケ谷ケ原"}));
    EXPECT_EQ(dict.SearchText(), Sjis("龍ケ崎市"));

    EXPECT_EQ(SearchAddress("鶴ケ島市"), TAddressLevel::FoundKeExchanged);
    EXPECT_EQ(list.lines,
              SjisLines({"3500200 鶴ヶ島市以下に掲載がない場合", "3502202 鶴ヶ島市五味ヶ谷"}));

    // With both forms in the text, the first ヶ is exchanged, not the ケ before it.
    EXPECT_EQ(SearchAddress("龍ケ崎市ケ谷ヶ原"), TAddressLevel::FoundKeExchanged);
    EXPECT_EQ(list.lines, SjisLines({"3010002 龍ケ崎市ケ谷ケ原"}));
    EXPECT_EQ(dict.SearchText(), Sjis("龍ケ崎市ケ谷ケ原"));
}

TEST_F(AddressLookup, UnknownTownListsTheLongestSharedWholeCharacterBeginning)
{
    EXPECT_EQ(SearchAddress("東京都千代田区霞が関１－１"), TAddressLevel::Shortened);
    EXPECT_EQ(dict.SearchText(), Sjis("千代田区"));
    EXPECT_EQ(list.lines,
              SjisLines({"1000005 千代田区丸の内", "1000001 千代田区千代田",
                         "1006890 千代田区丸の内ＪＰタワー", "1010021 千代田区外神田"}));

    // A record shorter than the text: its own last character is cut too.
    EXPECT_EQ(SearchAddress("中央区銀座"), TAddressLevel::Shortened);
    EXPECT_EQ(dict.SearchText(), Sjis("中央"));
    EXPECT_EQ(list.lines, SjisLines({"1040000 中央区"}));
}

TEST_F(AddressLookup, ShortenedTextKeepsTheKeSpellingThatReachedFurther)
{
    // The exchanged text reaches further and stays exchanged.
    EXPECT_EQ(SearchAddress("龍ケ崎市ケ谷ヶ沢"), TAddressLevel::Shortened);
    EXPECT_EQ(dict.SearchText(), Sjis("龍ケ崎市ケ谷ケ"));
    EXPECT_EQ(list.lines, SjisLines({"3010002 龍ケ崎市ケ谷ケ原"}));

    // The typed text reaches further: the exchange is undone before the cut.
    EXPECT_EQ(SearchAddress("龍ケ崎市ケ谷ケ沢"), TAddressLevel::Shortened);
    EXPECT_EQ(dict.SearchText(), Sjis("龍ケ崎市ケ谷ケ"));
    EXPECT_EQ(list.lines, SjisLines({"3010002 龍ケ崎市ケ谷ケ原"}));

    // With a second ヶ in the text, undoing the exchange must not exchange that one instead.
    EXPECT_EQ(SearchAddress("鶴ヶ島市五味ヶ丘"), TAddressLevel::Shortened);
    EXPECT_EQ(dict.SearchText(), Sjis("鶴ヶ島市五味ヶ"));
    EXPECT_EQ(list.lines, SjisLines({"3502202 鶴ヶ島市五味ヶ谷"}));

    EXPECT_EQ(SearchAddress("龍ヶ崎町"), TAddressLevel::Shortened);
    EXPECT_EQ(dict.SearchText(), Sjis("龍ケ崎"));
    EXPECT_EQ(list.Count(), 2);
}

TEST_F(AddressLookup, NoSharedTwoCharacterBeginningReturnsThreeWithNothing)
{
    EXPECT_EQ(SearchAddress("千葉市"), TAddressLevel::None); // R = 3
    EXPECT_TRUE(list.lines.empty());
    EXPECT_EQ(dict.SearchText(), Sjis("千葉市"));

    EXPECT_EQ(SearchAddress("北区"), TAddressLevel::None); // the record 北 alone: R = 1
    EXPECT_TRUE(list.lines.empty());

    EXPECT_EQ(SearchAddress("南区"), TAddressLevel::None); // no block at all
    EXPECT_TRUE(list.lines.empty());
    EXPECT_EQ(list.updateDepth, 0);
}

TEST_F(AddressLookup, NothingToSearchReturnsZeroAndKeepsTheState)
{
    ASSERT_EQ(SearchAddress("千代田区"), TAddressLevel::Found);
    for (const char* typed : {"", "　千代田区", "123千代田区", "東京都", "ｾﾝﾀﾞｲ"}) {
        list.lines = {"old"};
        EXPECT_EQ(SearchAddress(typed), TAddressLevel::TooShort) << typed;
        EXPECT_TRUE(list.lines.empty());
        EXPECT_EQ(dict.SearchText(), Sjis("千代田区"));
    }
}

TEST_F(AddressLookup, SearchTakesTheTextAsItIs)
{
    dict.Search(Sjis("千代田区丸の内"), list, true);
    EXPECT_EQ(list.lines, SjisLines({"1000005 東京都千代田区丸の内",
                                     "1006890 東京都千代田区丸の内ＪＰタワー"}));
    dict.Search(Sjis("東京都千代田区"), list, false); // not normalised
    EXPECT_TRUE(list.lines.empty());
    dict.Search("x", list, false);
    EXPECT_TRUE(list.lines.empty());
    EXPECT_EQ(dict.SearchText(), "x");
}

TEST_F(AddressLookup, SearchAllListsEveryBlockInKeyOrder)
{
    dict.SearchAll(Sjis("丸の内"), list, true);
    // 名 ($96 $BC, key $BC96) comes before 千 ($90 $E7, key $E790).
    EXPECT_EQ(list.lines,
              SjisLines({"4600002 愛知県名古屋市中区丸の内", "1000005 東京都千代田区丸の内",
                         "1006890 東京都千代田区丸の内ＪＰタワー"}));
    EXPECT_EQ(list.updateCount, 1);
    EXPECT_EQ(list.updateDepth, 0);

    // A record whose first occurrence lies in its code is not listed.
    dict.SearchAll("100", list, false);
    EXPECT_EQ(list.lines, SjisLines({"1050099 港区芝公園100"}));
    // Nor one whose occurrence starts at the blank before the address.
    dict.SearchAll(Sjis(" 中"), list, false);
    EXPECT_TRUE(list.lines.empty());

    list.lines = {"old"};
    dict.SearchAll("a", list, false);
    EXPECT_TRUE(list.lines.empty());
    EXPECT_EQ(dict.SearchText(), "a");
}

TEST_F(AddressLookup, ClosedDictionary)
{
    ASSERT_EQ(SearchAddress("千代田区"), TAddressLevel::Found);
    dict.CloseDictionary();
    list.lines = {"old"};
    EXPECT_EQ(MessageOf([&] { SearchAddress("千代田区丸の内"); }), msg::kNoDictionary);
    EXPECT_TRUE(list.lines.empty());
    EXPECT_EQ(list.updateDepth, 0);
    EXPECT_EQ(dict.SearchText(), Sjis("千代田区"));

    list.lines = {"old"};
    dict.SearchAll(Sjis("丸の内"), list, false); // no entries to visit: no failure
    EXPECT_TRUE(list.lines.empty());
}

TEST(AddressLookupFullData, AnswersFromTheBundledData)
{
    FullDictionaries full;
    TPostCode dict;
    dict.OpenDictionary(full.AddressFile());
    TStringResultList list;

    ASSERT_EQ(dict.SearchAddress(Sjis("東京都千代田区丸の内１丁目"), list, false),
              TAddressLevel::Found);
    EXPECT_EQ(dict.SearchText(), Sjis("千代田区丸の内"));
    ASSERT_FALSE(list.lines.empty());
    for (const auto& line : list.lines)
        EXPECT_EQ(line.substr(8, 14), Sjis("千代田区丸の内"));
    EXPECT_EQ(list.lines[0], Sjis("1000005 千代田区丸の内")) << "first in source order";

    EXPECT_EQ(dict.SearchAddress(Sjis("東京都千代田区存在しない町"), list, false),
              TAddressLevel::Shortened);
    EXPECT_EQ(dict.SearchText(), Sjis("千代田区"));

    // The last text is a trail byte and the next lead byte: plain bytes, not characters.
    const std::string straddling = Sjis("町").substr(1) + Sjis("大").substr(0, 1);
    for (const std::string& text : {Sjis("丸の内"), Sjis("ヶ"), Sjis("緑町"), straddling}) {
        dict.SearchAll(text, list, false);
        Lines found = list.lines;
        EXPECT_EQ(found, PlainSearchAll(full.AddressFile(), text)) << text;
    }
}

} // namespace
} // namespace kompa::test
