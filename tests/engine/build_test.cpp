#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/dictionary_build.h"
#include "engine/io/errors.h"
#include "engine/io/messages.h"
#include "support/test_support.h"

namespace kompa {
namespace {

using test::MessageOf;
using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

// A ministry line in Shift-JIS with the four fields the build uses; the others are fillers.
std::string Line(std::string_view code, std::string_view ken, std::string_view city,
                 std::string_view town)
{
    return Sjis("01101,\"060  \",\"" + std::string(code) + "\",\"ﾎｯｶｲﾄﾞｳ\",\"ｻｯﾎﾟﾛｼ\",\"ｲｶ\",\"" +
                std::string(ken) + "\",\"" + std::string(city) + "\",\"" + std::string(town) +
                "\",0,0,0,0,0,0\r\n");
}

struct Block {
    std::uint16_t key;
    std::int32_t offset;
    std::vector<std::string> records; // record texts, without the length byte
};

std::uint32_t Le(const std::string& bytes, std::size_t at, int width)
{
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = v * 256 + static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

// Parses a dictionary file and checks the layout invariants on the way.
std::vector<Block> ParseDictionary(const std::string& file, std::string_view magic)
{
    EXPECT_EQ(file.substr(0, 8), magic);
    const auto n = static_cast<std::size_t>(Le(file, 8, 4));
    std::size_t expectedOffset = 12 + 10 * n;
    std::vector<Block> blocks;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = 12 + 10 * i;
        Block block{static_cast<std::uint16_t>(Le(file, at + 8, 2)),
                    static_cast<std::int32_t>(Le(file, at + 4, 4)),
                    {}};
        const auto size = static_cast<std::size_t>(Le(file, at, 4));
        if (!blocks.empty()) {
            EXPECT_LT(blocks.back().key, block.key) << "keys ascend as unsigned";
        }
        EXPECT_EQ(static_cast<std::size_t>(block.offset), expectedOffset) << "blocks back to back";
        for (std::size_t pos = expectedOffset; pos < expectedOffset + size;) {
            auto length = static_cast<unsigned char>(file[pos]);
            EXPECT_GE(length, 1);
            block.records.push_back(file.substr(pos + 1, length - 1u));
            pos += length;
            if (length == 0)
                break;
        }
        expectedOffset += size;
        blocks.push_back(std::move(block));
    }
    EXPECT_EQ(expectedOffset, file.size()) << "sizes sum to the file length";
    return blocks;
}

class BuildTest : public ::testing::Test {
protected:
    std::string Source(const std::string& bytes)
    {
        WriteFile(dir.File("KEN_ALL.CSV"), bytes);
        return dir.File("KEN_ALL.CSV");
    }
    std::string BuildCode(const std::string& bytes)
    {
        test::BuildPair(Source(bytes), dir.Path().string());
        return ReadFile(dir.File("VELDA.DIC"));
    }
    std::string BuildAddress(const std::string& bytes)
    {
        test::BuildPair(Source(bytes), dir.Path().string());
        return ReadFile(dir.File("KOMPA.DIC"));
    }
    // The message of a failed build of both files, which must leave both old files as they were.
    std::string FailedBuild(const std::string& bytes)
    {
        WriteFile(dir.File("VELDA.DIC"), "old code dictionary");
        WriteFile(dir.File("KOMPA.DIC"), "old address dictionary");
        std::filesystem::remove(dir.File(kDictionarySetName));
        std::string code = MessageOf([&] { BuildCode(bytes); });
        std::string address = MessageOf([&] { BuildAddress(bytes); });
        EXPECT_EQ(ReadFile(dir.File("VELDA.DIC")), "old code dictionary");
        EXPECT_EQ(ReadFile(dir.File("KOMPA.DIC")), "old address dictionary");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3)
            << "no temporary file left behind";
        return code == address ? code : code + " / " + address;
    }

    TempDir dir;
};

TEST_F(BuildTest, CodeDictionaryLayoutToTheByte)
{
    const std::string file = BuildCode(Line("1000001", "東京都", "千代田区", "丸の内") +
                                       Line("0600000", "北海道", "札幌市", "") +
                                       Line("1000002", "東京都", "千代田区", "大手町"));
    const std::string r1 = Sjis("<1000001 千代田区丸の内");
    const std::string r2 = Sjis("00600000 札幌市");
    const std::string r3 = Sjis("<1000002 千代田区大手町");
    auto rec = [](const std::string& text) { return static_cast<char>(text.size() + 1) + text; };
    std::string expected = "VELDAV20";
    expected += std::string("\x02\x00\x00\x00", 4);
    // Key 60 (code 060...) sorts before key 100.
    const std::size_t s60 = r2.size() + 1;
    const std::size_t s100 = r1.size() + r3.size() + 2;
    auto entry = [](std::size_t size, std::size_t offset, std::uint16_t key) {
        std::string e(10, '\0');
        for (std::size_t i = 0; i < 4; ++i) {
            e[i] = static_cast<char>(size >> (8 * i));
            e[4 + i] = static_cast<char>(offset >> (8 * i));
        }
        e[8] = static_cast<char>(key & 0xFF);
        e[9] = static_cast<char>(key >> 8);
        return e;
    };
    expected += entry(s60, 32, 60) + entry(s100, 32 + s60, 100);
    expected += rec(r2) + rec(r1) + rec(r3);
    EXPECT_EQ(file, expected);
}

TEST_F(BuildTest, AddressKeysPutTheLeadByteLow)
{
    const std::string file = BuildAddress(Line("2600001", "千葉県", "千葉市", "") +
                                          Line("1000001", "東京都", "東京", "") +
                                          Line("1000002", "東京都", "千代田区", ""));
    auto blocks = ParseDictionary(file, "KOMPAV02");
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].key, 0x8C93); // 東 93 8C: the larger lead byte, yet first
    EXPECT_EQ(blocks[0].records, std::vector<std::string>{Sjis("<1000001 東京")});
    EXPECT_EQ(blocks[1].key, 0xE790); // 千 90 E7
    EXPECT_EQ(blocks[1].records,
              (std::vector<std::string>{Sjis(";2600001 千葉市"), Sjis("<1000002 千代田区")}));
}

TEST_F(BuildTest, ShortAddressesCountMissingBytesAsZero)
{
    TPostCode post;
    EXPECT_EQ(post.RecordKey(Sjis(" <1000001 ")), 0);
    EXPECT_EQ(post.RecordKey(Sjis(" <1000001 A")), 'A');
    EXPECT_EQ(post.RecordKey(Sjis(" <1000001 AB")), 'A' + 256 * 'B');
    auto blocks = ParseDictionary(BuildAddress(Line("1000001", "東京都", "", "")), "KOMPAV02");
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].key, 0);
}

TEST_F(BuildTest, CodeKeysComeFromTheFirstThreeCharacters)
{
    TCodeAddress code;
    EXPECT_EQ(code.RecordKey(" 00600000 x"), 60);
    EXPECT_EQ(code.RecordKey(" <1000000 x"), 100);
    EXPECT_EQ(code.RecordKey(" <$FF0000 x"), 255);
    EXPECT_EQ(MessageOf([&] { code.RecordKey(" <12 x"); }),
              FormatMessage(msg::kNotAnInteger, "12 "));
    EXPECT_EQ(MessageOf([&] { code.RecordKey(" <-120000 x"); }), msg::kRangeCheckError);
}

TEST_F(BuildTest, DuplicatesAreKeptInLineOrder)
{
    const std::string line = Line("1000001", "東京都", "千代田区", "丸の内");
    auto blocks = ParseDictionary(
        BuildCode(line + Line("1000001", "東京都", "千代田区", "一") + line), "VELDAV20");
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].records, (std::vector<std::string>{Sjis("<1000001 千代田区丸の内"),
                                                           Sjis("<1000001 千代田区一"),
                                                           Sjis("<1000001 千代田区丸の内")}));
}

TEST_F(BuildTest, RecordsAreCutAt255BytesEvenInsideACharacter)
{
    // Build string: 10 bytes, then the address; 123 characters of town make 256 bytes.
    std::string town;
    for (int i = 0; i < 62; ++i)
        town += "町";
    const std::string line = Line("1000001", "東京都", "", town);
    ASSERT_LT(line.size(), 255u);
    auto blocks = ParseDictionary(BuildCode(line), "VELDAV20");
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].records[0].size(), 9u + 124u);

    std::string longTown;
    for (int i = 0; i < 123; ++i)
        longTown += "町";
    // The line itself passes 255 bytes: only its first 255 bytes count, so the town field is
    // cut (and its closing quote lost) and the fields after it are gone.
    const std::string longLine = Line("1000001", "東京都", "", longTown);
    auto cut = ParseDictionary(BuildCode(longLine), "VELDAV20");
    ASSERT_EQ(cut.size(), 1u);
    const std::string& record = cut[0].records[0];
    const std::size_t townStart = longLine.find(Sjis("町"));
    EXPECT_EQ(record.size(), 9u + (255 - townStart));
    EXPECT_EQ(record.substr(9), longLine.substr(townStart, 255 - townStart));

    // A line of exactly 255 bytes is used whole.
    std::string exact = Sjis("1,2,1000001,4,5,6,東京都,A,");
    const std::size_t townBytes = 255 - exact.size();
    exact += std::string(townBytes, 'B');
    auto whole = ParseDictionary(BuildCode(exact + "\r\n"), "VELDAV20");
    EXPECT_EQ(whole[0].records[0], Sjis("<1000001 A") + std::string(townBytes, 'B'));
    // The cut falls inside a character when the town starts at an odd distance from it.
    const std::string oddCut = Line("1000001", "東京都", "A", longTown);
    ASSERT_EQ((255 - oddCut.find(Sjis("町"))) % 2, 1u);
    auto odd = ParseDictionary(BuildCode(oddCut), "VELDAV20");
    EXPECT_EQ(static_cast<unsigned char>(odd[0].records[0].back()), 0x92); // lead byte of 町
}

TEST_F(BuildTest, LineRulesApplyToTheSource)
{
    // CR alone ends a line, CR LF too; a Ctrl-Z ends the source, the garbage after it unread.
    std::string source = Line("1000001", "東京都", "千代田区", "");
    source.pop_back();
    source += Line("1000002", "東京都", "港区", "") + "\x1A" + "not a line";
    auto blocks = ParseDictionary(BuildCode(source), "VELDAV20");
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].records.size(), 2u);
    // A last line without a line end is still read.
    std::string open = Line("1000003", "東京都", "港区", "");
    open.resize(open.size() - 2);
    EXPECT_EQ(ParseDictionary(BuildCode(open), "VELDAV20")[0].records.size(), 1u);
}

TEST_F(BuildTest, FailuresRaiseTheirMessagesAndKeepTheOldFiles)
{
    const std::string good = Line("1000001", "東京都", "千代田区", "");
    EXPECT_EQ(FailedBuild(good + Sjis("a,b,c,d,e,f,東京,g,h\r\n")), msg::kKenNotFound);
    EXPECT_EQ(FailedBuild(good + Sjis("a,b,c,d,e,f,\" 東京都\",g,h\r\n")), msg::kKenNotFound);
    // Unquoted, the blanks around the name only separate.
    EXPECT_EQ(
        ParseDictionary(BuildAddress(Sjis("a,b,1000001,d,e,f, 東京都 ,g,h")), "KOMPAV02").size(),
        1u);
    // A title line stops the build: nothing is skipped.
    EXPECT_EQ(FailedBuild(Sjis("code,a,b,c,d,e,prefecture,city,town\r\n") + good),
              msg::kKenNotFound);
    // A blank inside an unquoted field before field 6 shifts the later fields.
    EXPECT_EQ(FailedBuild(Sjis("1,2,1000001,ab cd,4,5,東京都,千代田区,x\r\n")), msg::kKenNotFound);
    EXPECT_EQ(FailedBuild(good + "\r\n"), msg::kListIndexOutOfBounds); // empty line
    EXPECT_EQ(FailedBuild(Sjis("1,2,3,4,5,6\r\n")), msg::kListIndexOutOfBounds);
    // Field 6 is looked up before fields 7 and 8 are missed.
    EXPECT_EQ(FailedBuild(Sjis("1,2,1000001,4,5,6,東京都,千代田区\r\n")),
              msg::kListIndexOutOfBounds);
    EXPECT_EQ(FailedBuild(Sjis("1,2,1000001,4,5,6,東京,千代田区\r\n")), msg::kKenNotFound);
    EXPECT_EQ(FailedBuild(""), msg::kListIndexOutOfBounds);
    EXPECT_EQ(FailedBuild("\x1A" + good), msg::kListIndexOutOfBounds);
}

TEST_F(BuildTest, CodeFailuresFailThePair)
{
    EXPECT_EQ(FailedBuild(Line("12", "東京都", "千代田区", "")),
              FormatMessage(msg::kNotAnInteger, "12 "));
    EXPECT_EQ(FailedBuild(Line("-123456", "東京都", "x", "")), msg::kRangeCheckError);
}

TEST_F(BuildTest, AMissingSourceIsNamedWithItsCause)
{
    EXPECT_EQ(MessageOf([&] { test::BuildPair(dir.File("none.csv"), dir.Path().string()); }),
              FormatMessage(msg::kFileOpenError, dir.File("none.csv")) + msg::kSentenceEnd +
                  msg::kIoFileNotFound);
    EXPECT_FALSE(std::filesystem::exists(dir.File("VELDA.DIC")));
}

TEST(BuildFull, BundledDataKeepsEveryInvariant)
{
    TempDir dir;
    test::BuildPair(KOMPA_KEN_ALL, dir.Path().string());
    // Record order = line order, block by block: replay the build strings.
    const BuildStrings buildStrings = BuildStrings::Read(KOMPA_KEN_ALL);
    ASSERT_EQ(buildStrings.Count(), 124495);
    for (bool address : {false, true}) {
        std::unique_ptr<TCodeAddress> dict =
            address ? std::make_unique<TPostCode>() : std::make_unique<TCodeAddress>();
        const std::string name = dir.File(address ? "KOMPA.DIC" : "VELDA.DIC");
        const std::string file = ReadFile(name);
        auto blocks = ParseDictionary(file, dict->Magic());

        std::map<std::uint16_t, std::vector<std::string>> expected;
        for (int i = 0; i < buildStrings.Count(); ++i) {
            const std::string_view s = buildStrings[i];
            expected[dict->RecordKey(s)].push_back(std::string(s.substr(1)));
        }
        ASSERT_EQ(blocks.size(), expected.size());
        std::size_t records = 0;
        for (const auto& block : blocks) {
            EXPECT_EQ(block.records, expected[block.key]) << block.key;
            records += block.records.size();
        }
        EXPECT_EQ(records, 124495u);
    }
    // A second build gives the same bytes.
    const std::string first = ReadFile(dir.File("KOMPA.DIC")) + ReadFile(dir.File("VELDA.DIC"));
    test::BuildPair(KOMPA_KEN_ALL, dir.Path().string());
    EXPECT_EQ(ReadFile(dir.File("KOMPA.DIC")) + ReadFile(dir.File("VELDA.DIC")), first);
}

} // namespace
} // namespace kompa
