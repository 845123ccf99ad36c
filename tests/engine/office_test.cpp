// The office dictionary: the office file's lines and what is wrong with a malformed one, the
// file written to the byte, code queries beside the pair's lines, name folding and the name
// search, and a damaged file failing cleanly.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/dictionary/dictionary_build.h"
#include "engine/dictionary/find_query.h"
#include "engine/dictionary/office_build.h"
#include "engine/dictionary/office_dictionary.h"
#include "engine/dictionary/office_name.h"
#include "engine/io/messages.h"
#include "engine/text/cp932.h"
#include "tests/engine/dictionary_fixture.h"

namespace kompa::test {
namespace {

struct OfficeRow {
    const char* code;
    const char* name; // UTF-8
    const char* ken = "東京都";
    const char* city = "千代田区";
    const char* town = "霞が関";
    const char* street = "１－１";
    const char* kind = "0";
};

// One line of the business-office file (13 fields, CR LF) in Shift-JIS.
std::string OfficeLine(const OfficeRow& row)
{
    return Sjis(std::string("13101,\"\",\"") + row.name + "\",\"" + row.ken + "\",\"" + row.city +
                "\",\"" + row.town + "\",\"" + row.street + "\",\"" + row.code +
                "\",\"100  \",\"\"," + row.kind + ",0,0\r\n");
}

// An open office dictionary built from the lines.
class Offices {
public:
    explicit Offices(const std::string& lines)
    {
        WriteFile(dir.File("JIGYOSYO.CSV"), lines);
        WriteFile(dir.File("OFFICE.DIC"), OfficeImage(lines));
        dict.OpenDictionary(dir.File("OFFICE.DIC"));
    }
    Lines Code(std::string_view text, bool withKen = false)
    {
        TStringResultList list;
        dict.AddCodeLines(text, list, withKen);
        return list.lines;
    }
    Lines Name(const char* utf8)
    {
        TStringResultList list;
        dict.SearchName(Sjis(utf8), list, false);
        return list.lines;
    }
    TempDir dir;
    TOfficeDictionary dict;
};

TEST(OfficeFile, EachMalformedLineIsNamedWithWhatIsWrongAndNothingIsBuilt)
{
    const std::string good = OfficeLine({"1008926", "総務省"});
    const std::string wrong[] = {
        Sjis("13101,\"\",\"総務省\",\"東京都\",\"千代田区\",\"霞が関\",\"1008926\",0,0,0\r\n"),
        OfficeLine({"1008926", "総務省", "東京府"}),
        OfficeLine({"100892", "総務省"}),
        OfficeLine({"100892X", "総務省"}),
        OfficeLine({"1008926", "総務省", "東京都", "千代田区", "霞が関", "１", "2"}),
        OfficeLine({"1008926", ""}),
        OfficeLine({"1008926", std::string(256, 'x').c_str()}),
    };
    const char* why[] = {msg::kOfficeFieldCount,  msg::kOfficeBadKen,  msg::kOfficeBadCode,
                         msg::kOfficeBadCode,     msg::kOfficeBadKind, msg::kOfficeNoName,
                         msg::kOfficeFieldTooLong};
    for (std::size_t i = 0; i < std::size(wrong); ++i) {
        const std::string expected =
            FormatMessage(FormatMessage(msg::kOfficeLineMalformed, 3), why[i]);
        EXPECT_EQ(MessageOf([&] { OfficeImage(good + good + wrong[i] + good); }), expected) << i;
    }
    // Nothing at all is no office file either.
    EXPECT_EQ(MessageOf([] { OfficeImage(""); }),
              FormatMessage(FormatMessage(msg::kOfficeLineMalformed, 1), msg::kOfficeFieldCount));
}

TEST(OfficeFile, TheKindOfADataFileIsToldFromItsFirstLine)
{
    EXPECT_EQ(KindOfSourceText(OfficeLine({"1008926", "総務省"})), TSourceKind::Office);
    EXPECT_EQ(KindOfSourceText(MinistryLine({"1000001", "東京都", "千代田区", "千代田"})),
              TSourceKind::Residential);
    EXPECT_EQ(KindOfSourceText("code,name\r\n"), TSourceKind::Residential);
    EXPECT_EQ(KindOfSourceText(""), TSourceKind::Residential);
}

TEST(OfficeFile, IsWrittenToTheByte)
{
    // Two keys, given out of order; a post-office box; an empty town and street.
    const std::string lines = OfficeLine({"1008926", "総務省"}) +
                              OfficeLine({"0608651", "ｶﾞｽ㈱", "北海道", "札幌市", "", "", "1"});
    auto record = [](const char* code, char kind, char ken,
                     std::initializer_list<const char*> texts) {
        std::string bytes;
        std::string lengths;
        for (const char* t : texts) {
            bytes += Sjis(t);
            lengths += static_cast<char>(Sjis(t).size());
        }
        const std::size_t size = 15 + bytes.size();
        return std::string{static_cast<char>(size), '\0'} + code + kind + ken + lengths + bytes;
    };
    const std::string box = record("0608651", '1', '0', {"ｶﾞｽ㈱", "札幌市", "", ""});
    const std::string office =
        record("1008926", '0', '<', {"総務省", "千代田区", "霞が関", "１－１"});
    auto le32 = [](std::int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto entry = [&](std::size_t size, std::int32_t offset, std::uint16_t key) {
        return le32(static_cast<std::int32_t>(size)) + le32(offset) +
               std::string(reinterpret_cast<const char*>(&key), 2);
    };
    const std::int32_t blocks = 24 + 20;
    const std::string names = Sjis("ガス") + "\n" + Sjis("総務省") + "\n";
    const std::string expected =
        std::string("OFFICEV1") + le32(2) + le32(2) +
        le32(blocks + static_cast<std::int32_t>(box.size() + office.size())) +
        le32(static_cast<std::int32_t>(names.size())) + entry(box.size(), blocks, 60) +
        entry(office.size(), blocks + static_cast<std::int32_t>(box.size()), 100) + box + office +
        names;
    EXPECT_EQ(OfficeImage(lines), expected);

    // The same file from the UTF-8 edition with LF line ends, as downloaded.
    TempDir dir;
    std::string utf8 = cp932::ToUtf8(lines);
    std::erase(utf8, '\r');
    WriteFile(dir.File("JIGYOSYO.CSV"), utf8);
    const TBuildSource source = ReadBuildSource(dir.File("JIGYOSYO.CSV"));
    EXPECT_EQ(source.kind, TSourceKind::Office);
    EXPECT_EQ(MakeDictionaryFiles({source}, dir.Path().string()).offices, true);
    EXPECT_EQ(ReadFile(dir.File("OFFICE.DIC")), expected);
    EXPECT_FALSE(std::filesystem::exists(dir.File("KOMPA.DIC")));
}

TEST(OfficeCodes, FollowTheCodeQueryRuleInLineOrder)
{
    Offices offices(OfficeLine({"1008926", "総務省"}) + OfficeLine({"0608651", "道庁", "北海道"}) +
                    OfficeLine({"1008798", "郵便", "東京都", "千代田区", "大手町", "２", "1"}) +
                    OfficeLine({"1008926", "総務省別館"}));
    const std::string soumu = "1008926 ［事業所］総務省 千代田区霞が関１－１";
    const std::string bekkan = "1008926 ［事業所］総務省別館 千代田区霞が関１－１";
    const std::string box = "1008798 ［私書箱］郵便 千代田区大手町２";
    EXPECT_EQ(offices.Code("1008926"), SjisLines({soumu.c_str(), bekkan.c_str()}));
    EXPECT_EQ(offices.Code("100"), SjisLines({soumu.c_str(), box.c_str(), bekkan.c_str()}));
    EXPECT_EQ(offices.Code("1008926999"), offices.Code("1008926"));
    EXPECT_EQ(offices.Code("060", true),
              SjisLines({"0608651 ［事業所］道庁 北海道千代田区霞が関１－１"}));
    // Two digits choose the block of their number and then fail to match its codes, and a
    // hyphen never equals a digit, as for the pair.
    EXPECT_EQ(offices.Code("60"), Lines{});
    EXPECT_EQ(offices.Code("100-892"), Lines{});
    EXPECT_EQ(offices.Code("999"), Lines{});
}

TEST(OfficeCodes, ComeAfterTheAddressesOfACodeBothCarryAndCountInTheAnswer)
{
    BuiltDictionaries pair(
        {{"1008926", "東京都", "千代田区", "霞が関"}, {"1000001", "東京都", "千代田区", "千代田"}});
    Offices offices(OfficeLine({"1008926", "総務省"}));
    TCodeAddress codes;
    TPostCode addresses;
    codes.OpenDictionary(pair.CodeFile());
    addresses.OpenDictionary(pair.AddressFile());
    TFindDictionaries dicts{[&]() -> TCodeAddress& { return codes; },
                            [&]() -> TPostCode& { return addresses; }, &offices.dict};
    TStringResultList list;
    for (const char* typed : {"1008926", "〒100-8926", "１００８９２６"}) {
        const TFindAnswer answer = FindAsSearchWindow(dicts, Sjis(typed), list, false);
        EXPECT_EQ(answer.key, "1008926");
        EXPECT_EQ(list.lines, SjisLines({"1008926 千代田区霞が関",
                                         "1008926 ［事業所］総務省 千代田区霞が関１－１"}))
            << typed;
        EXPECT_EQ(list.updateDepth, 0);
    }
    // A code no office carries answers as the pair alone does; an address search lists offices
    // only when asked to.
    FindAsSearchWindow(dicts, "1000001", list, false);
    EXPECT_EQ(list.lines, SjisLines({"1000001 千代田区千代田"}));
    FindAsSearchWindow(dicts, Sjis("総務省"), list, false, {}, false);
    EXPECT_EQ(list.lines, Lines{});
    FindAsSearchWindow(dicts, Sjis("総務省"), list, false, {}, true);
    EXPECT_EQ(list.lines, SjisLines({"1008926 ［事業所］総務省 千代田区霞が関１－１"}));
}

TEST(OfficeNames, FoldWidthsBlanksAndLegalForms)
{
    const std::pair<const char*, const char*> cases[] = {
        {"株式会社　北洋銀行　本店", "北洋銀行本店"},
        {"（株）北洋銀行 本店", "北洋銀行本店"},
        {"(株)北洋銀行", "北洋銀行"},
        {"北洋銀行㈱", "北洋銀行"},
        {"有限会社ａｂｃ", "ABC"},
        {"ＮＴＴ－ＭＥ", "NTT-ME"},
        {"ntt東日本", "NTT東日本"},
        {"ｶﾌﾞｼｷｶﾞｲｼｬ ﾊﾟﾝ", "カブシキガイシャパン"},
        {"ｳﾞｧｲｵﾘﾝ･ｰ", "ヴァイオリン・ー"},
        {"ﾞﾟ", "゛゜"},
        // Blanks go first, so a legal form written with one goes too.
        {"株式　会社　北洋", "北洋"},
    };
    for (const auto& [name, folded] : cases)
        EXPECT_EQ(FoldOfficeName(Sjis(name)), Sjis(folded)) << name;
    // A lead byte at the very end stays.
    EXPECT_EQ(FoldOfficeName("AB\x82"), "AB\x82");
}

TEST(OfficeNames, AreFoundByAnyFoldedPartOnACharacterBoundary)
{
    Offices offices(OfficeLine({"1008926", "株式会社　北洋銀行"}) +
                    OfficeLine({"0608651", "（株）北洋銀行　本店"}) +
                    OfficeLine({"0608652", "カ"})); // カ is 83 4A: its trail byte reads "J"
    EXPECT_EQ(offices.Name("北洋銀行").size(), 2u);
    EXPECT_EQ(offices.Name("ﾎｸﾖｳ"), Lines{});
    EXPECT_EQ(offices.Name("(株) 北洋銀行本店"),
              SjisLines({"0608651 ［事業所］（株）北洋銀行　本店 千代田区霞が関１－１"}));
    EXPECT_EQ(offices.Name("j"), Lines{});
    EXPECT_EQ(offices.Name("ｶ").size(), 1u);
    EXPECT_EQ(offices.Name("株式会社"), Lines{}); // folds to nothing
    const std::vector<TOffice> exact =
        offices.dict.FindByName(Sjis("北洋銀行"), TNameMatch::Equals);
    ASSERT_EQ(exact.size(), 1u);
    EXPECT_EQ(exact[0].code, "1008926");
    EXPECT_EQ(exact[0].city, Sjis("千代田区"));
    EXPECT_EQ(exact[0].town, Sjis("霞が関"));
    EXPECT_EQ(exact[0].street, Sjis("１－１"));
    EXPECT_EQ(exact[0].ken, '<');
}

TEST(OfficeDictionary, DamageFailsCleanly)
{
    const std::string lines =
        OfficeLine({"1008926", "総務省"}) + OfficeLine({"0608651", "道庁", "北海道"});
    const std::string image = OfficeImage(lines);
    TempDir dir;
    auto open = [&](const std::string& bytes, TOfficeDictionary& dict) {
        WriteFile(dir.File("OFFICE.DIC"), bytes);
        dict.OpenDictionary(dir.File("OFFICE.DIC"));
    };
    // Header or index wrong: stays closed without a word, and adds no line to a code query.
    for (std::size_t cut : {std::size_t{0}, std::size_t{20}, image.size() - 1}) {
        TOfficeDictionary dict;
        open(image.substr(0, cut), dict);
        EXPECT_FALSE(dict.IsOpen()) << cut;
        TStringResultList list;
        dict.AddCodeLines("1008926", list, false);
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(MessageOf([&] { dict.SearchName("x", list, false); }), msg::kNoDictionary);
    }
    std::string swapped = image;
    std::swap(swapped[32], swapped[42]); // the two keys out of order
    TOfficeDictionary unordered;
    open(swapped, unordered);
    EXPECT_FALSE(unordered.IsOpen());

    // A record whose lengths do not add up, and a code of another block: opens, then the query
    // of that block and the name search fail; the other block still answers.
    for (std::size_t at : {std::size_t{44 + 11}, std::size_t{44 + 4}}) {
        std::string damaged = image;
        damaged[at] = static_cast<char>(damaged[at] + 1);
        TOfficeDictionary dict;
        open(damaged, dict);
        ASSERT_TRUE(dict.IsOpen());
        TStringResultList list;
        EXPECT_EQ(MessageOf([&] { dict.AddCodeLines("0608651", list, false); }),
                  msg::kOfficeDictionaryDamaged);
        EXPECT_EQ(MessageOf([&] { dict.SearchName(Sjis("総務省"), list, false); }),
                  msg::kOfficeDictionaryDamaged);
        dict.AddCodeLines("1008926", list, false);
        EXPECT_EQ(list.Count(), 1);
    }
    // A name list missing its last end mark.
    std::string names = image;
    names.back() = 'x';
    TOfficeDictionary dict;
    open(names, dict);
    TStringResultList list;
    EXPECT_EQ(MessageOf([&] { dict.SearchName(Sjis("総務省"), list, false); }),
              msg::kOfficeDictionaryDamaged);
}

} // namespace
} // namespace kompa::test
