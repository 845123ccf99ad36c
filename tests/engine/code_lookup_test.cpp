// Code dictionary: opening, replacing and closing, and the code query.

#include <gtest/gtest.h>

#include "engine/io/messages.h"
#include "tests/engine/dictionary_fixture.h"

namespace kompa::test {
namespace {

class CodeLookup : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        built = new BuiltDictionaries({
            {"1000001", "東京都", "千代田区", "千代田"},
            {"1000002", "東京都", "千代田区", "皇居外苑"},
            {"1000001", "東京都", "千代田区", "千代田"},
            {"1000005", "東京都", "千代田区", "丸の内"},
            {"1010021", "東京都", "千代田区", "外神田"},
            {"0120001", "秋田県", "湯沢市", "愛宕町"},
            {"0000001", "北海道", "札幌市", "零番"},
        });
    }
    static void TearDownTestSuite() { delete built; }
    void SetUp() override { dict.OpenDictionary(built->CodeFile()); }

    static BuiltDictionaries* built;
    TCodeAddress dict;
    TStringResultList list;
};
BuiltDictionaries* CodeLookup::built = nullptr;

TEST_F(CodeLookup, FullCodeListsThatCodeOnlyInSourceOrderWithOrWithoutPrefecture)
{
    dict.Search("1000001", list, false);
    EXPECT_EQ(list.lines, SjisLines({"1000001 千代田区千代田", "1000001 千代田区千代田"}));
    EXPECT_EQ(list.updateDepth, 0);
    EXPECT_EQ(list.updateCount, 1);

    dict.Search("1000001", list, true);
    EXPECT_EQ(list.lines,
              SjisLines({"1000001 東京都千代田区千代田", "1000001 東京都千代田区千代田"}));
    EXPECT_EQ(dict.SearchText(), "1000001");
}

TEST_F(CodeLookup, PrefixListsItsWholeBlockInSourceOrder)
{
    dict.Search("100", list, false);
    EXPECT_EQ(list.lines, SjisLines({"1000001 千代田区千代田", "1000002 千代田区皇居外苑",
                                     "1000001 千代田区千代田", "1000005 千代田区丸の内"}));

    // Only the first seven characters take part.
    dict.Search("10000019999", list, false);
    EXPECT_EQ(list.Count(), 2);
}

TEST_F(CodeLookup, ShortHyphenatedAndNonNumericQueriesFindNothing)
{
    // "12" reads the block of 012 and then compares "12" with "01...".
    dict.Search("12", list, false);
    EXPECT_TRUE(list.lines.empty());

    dict.Search("100-0001", list, false);
    EXPECT_TRUE(list.lines.empty());

    // Not a number: key 0, whose block exists but does not match the text.
    dict.Search("abc", list, false);
    EXPECT_TRUE(list.lines.empty());
    EXPECT_EQ(dict.SearchText(), "abc");

    // An empty query is key 0 and matches every record of that block.
    dict.Search("", list, true);
    EXPECT_EQ(list.lines, SjisLines({"0000001 北海道札幌市零番"}));
}

TEST_F(CodeLookup, NegativeKeyIsARangeErrorThatLeavesTheListAsItWas)
{
    list.lines = {"kept"};
    EXPECT_EQ(MessageOf([&] { dict.Search("-10", list, false); }), msg::kRangeCheckError);
    EXPECT_EQ(list.lines, Lines{"kept"});
    EXPECT_EQ(list.updateDepth, 0);
    EXPECT_EQ(dict.SearchText(), "-10");
}

TEST_F(CodeLookup, ClosedDictionaryFailsWithTheListEmptied)
{
    TCodeAddress closed;
    list.lines = {"old"};
    EXPECT_EQ(MessageOf([&] { closed.Search("1000001", list, false); }), msg::kNoDictionary);
    EXPECT_TRUE(list.lines.empty());
    EXPECT_EQ(list.updateDepth, 0);

    dict.CloseDictionary();
    dict.CloseDictionary(); // harmless twice
    EXPECT_FALSE(dict.IsOpen());
    list.lines = {"old"};
    EXPECT_EQ(MessageOf([&] { dict.Search("100", list, false); }), msg::kNoDictionary);
    EXPECT_TRUE(list.lines.empty());
}

TEST_F(CodeLookup, ReadersShareTheFileAndAnotherOpenReplacesIt)
{
    dict.OpenDictionary(built->CodeFile()); // same file again: still one open stream
    ASSERT_TRUE(dict.IsOpen());

    TCodeAddress other;
    other.OpenDictionary(built->CodeFile());
    EXPECT_TRUE(other.IsOpen());

    BuiltDictionaries second({{"1000001", "大阪府", "大阪市北区", "梅田"}});
    dict.OpenDictionary(second.CodeFile());
    dict.Search("1000001", list, true);
    EXPECT_EQ(list.lines, SjisLines({"1000001 大阪府大阪市北区梅田"}));
}

TEST_F(CodeLookup, WrongMagicClosesSilentlyAndAMissingFileFailsWithItsName)
{
    dict.OpenDictionary(built->AddressFile());
    EXPECT_FALSE(dict.IsOpen());
    EXPECT_EQ(MessageOf([&] { dict.Search("100", list, false); }), msg::kNoDictionary);
    TCodeAddress other; // the code file it held before is free again
    other.OpenDictionary(built->CodeFile());
    EXPECT_TRUE(other.IsOpen());

    other.CloseDictionary();
    TPostCode address;
    address.OpenDictionary(built->CodeFile());
    EXPECT_FALSE(address.IsOpen());

    std::string missing = built->dir.File("NONE.DIC");
    other.OpenDictionary(built->CodeFile());
    ASSERT_TRUE(other.IsOpen());
    EXPECT_EQ(MessageOf([&] { other.OpenDictionary(missing); }),
              FormatMessage(msg::kFileOpenError, missing));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(MessageOf([&] { other.Search("100", list, false); }), msg::kNoDictionary);
}

TEST(CodeLookupEmpty, DictionaryWithoutBlocksOpensAndAnswersNothing)
{
    TempDir dir;
    WriteFile(dir.File("VELDA.DIC"), DictionaryImage(kCodeMagic, {}));
    WriteFile(dir.File("KOMPA.DIC"), DictionaryImage(kAddressMagic, {}));
    TCodeAddress codes;
    TPostCode addresses;
    codes.OpenDictionary(dir.File("VELDA.DIC"));
    addresses.OpenDictionary(dir.File("KOMPA.DIC"));
    ASSERT_TRUE(codes.IsOpen());
    ASSERT_TRUE(addresses.IsOpen());

    TStringResultList list;
    codes.Search("1000001", list, true);
    EXPECT_TRUE(list.lines.empty());
    EXPECT_EQ(addresses.SearchAddress(Sjis("千代田区"), list, true), TAddressLevel::None);
    addresses.SearchAll(Sjis("千代田"), list, true);
    EXPECT_TRUE(list.lines.empty());
    EXPECT_EQ(list.updateDepth, 0);
}

TEST(CodeLookupFullData, AnswersFromTheBundledData)
{
    FullDictionaries full;
    TCodeAddress dict;
    dict.OpenDictionary(full.CodeFile());
    TStringResultList list;
    dict.Search("1000001", list, false);
    EXPECT_EQ(list.lines, SjisLines({"1000001 千代田区千代田"}));
    dict.Search("1000001", list, true);
    EXPECT_EQ(list.lines, SjisLines({"1000001 東京都千代田区千代田"}));

    // Every line of the source whose code begins with 100, in source order.
    Lines expected;
    std::string source = ReadFile(KOMPA_KEN_ALL);
    for (std::size_t at = source.find(",\"100"); at != std::string::npos;
         at = source.find(",\"100", at + 1)) {
        std::size_t lineStart = source.rfind('\n', at) + 1;
        if (at - lineStart == 13) // the comma before field 2
            expected.push_back(source.substr(at + 2, 7));
    }
    dict.Search("100", list, false);
    ASSERT_EQ(list.Count(), static_cast<int>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(list.lines[i].substr(0, 7), expected[i]);
}

} // namespace
} // namespace kompa::test
