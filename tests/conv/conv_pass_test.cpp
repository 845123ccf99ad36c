#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "conv/code_text.h"
#include "conv/column_names.h"
#include "conv/conv_pass.h"
#include "conv/csv_dialect.h"
#include "conv/unattended.h"
#include "engine/dictionary/dictionary.h"
#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/io/messages.h"
#include "engine/text/cp932.h"
#include "support/test_support.h"

namespace kompa {
namespace {

using test::MessageOf;
using test::Sjis;

// A small address dictionary built once from a source in the ministry's layout.
class Dictionary {
public:
    Dictionary()
    {
        struct Row {
            const char* code;
            const char* ken;
            const char* city;
            const char* town;
        };
        const Row rows[] = {
            {"1000014", "東京都", "千代田区", "永田町"},
            {"1000013", "東京都", "千代田区", "霞が関"},
            {"0600001", "北海道", "札幌市中央区", "北一条西"},
            {"0600042", "北海道", "札幌市中央区", "大通西"},
            {"0600041", "北海道", "札幌市中央区", "大通東"},
            {"3010000", "茨城県", "竜ケ崎市", "馴馬町"},
            {"9990001", "東京都", "所在地", "一丁目"}, // a place named like a heading
        };
        std::string source;
        for (const Row& row : rows)
            source +=
                Sjis(std::string("13101,\"100  \",\"") + row.code + "\",\"ｱ\",\"ｲ\",\"ｳ\",\"" +
                     row.ken + "\",\"" + row.city + "\",\"" + row.town + "\",0,0,0,0,0,0\r\n");
        test::WriteFile(dir.File("ken.csv"), source);
        test::BuildOne(dir.File("ken.csv"), dir.File(kAddressDictName), kAddressDictName);
    }
    test::TempDir dir;
};

class ConversionPass : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dictionary = new Dictionary(); }
    static void TearDownTestSuite()
    {
        delete dictionary;
        dictionary = nullptr;
    }

    ConversionPass()
    {
        pass.SetDictionaryDir(dictionary->dir.Path().string());
        pass.SetColumns(1, 2);
        pass.OnWait = [this] { ++waits; };
    }

    // Writes the lines (UTF-8 in the test, Shift-JIS on disk) and loads them.
    void Load(const std::vector<std::string>& lines)
    {
        std::string text;
        for (const std::string& line : lines)
            text += Sjis(line) + "\r\n";
        test::WriteFile(file, text);
        pass.LoadFromFile(file, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
    }
    TStepResult Start()
    {
        pass.ResetConversion(true);
        return pass.ConvertRecords();
    }
    std::string Line(int i) const { return std::string(pass.Lines()[i]); }
    void ExpectCountsAddUp() const
    {
        EXPECT_EQ(pass.BlankCount() + pass.ConvCount() + pass.SkipCount(), pass.RecordCount());
    }

    static Dictionary* dictionary;
    test::TempDir work;
    std::string file = work.File("book.csv");
    TCsvDialect dialect;
    TPostCode postCode;
    TConversionPass pass{postCode};
    int waits = 0;
};

Dictionary* ConversionPass::dictionary = nullptr;

TEST_F(ConversionPass, UniqueAnswersConvertWithoutStopping)
{
    Load({"山田,,東京都千代田区永田町１－７－１", "鈴木,999,札幌市中央区北一条西2丁目", "佐藤,,",
          "高橋,, 　東京都", "\"伊藤 様\",,竜ヶ崎市馴馬町"});
    std::vector<int> progress;
    pass.OnCurrent = [&](int current, int count) {
        EXPECT_EQ(count, 5);
        progress.push_back(current);
    };
    EXPECT_EQ(Start(), TStepResult::Finished);
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(pass.ConvCount(), 3);
    EXPECT_EQ(pass.BlankCount(), 2);
    ExpectCountsAddUp();
    EXPECT_EQ(progress, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Line(0), Sjis("山田,1000014,東京都千代田区永田町１－７－１"));
    EXPECT_EQ(Line(1), Sjis("鈴木,0600001,札幌市中央区北一条西2丁目"));
    EXPECT_EQ(Line(2), Sjis("佐藤,,"));
    EXPECT_EQ(Line(3), Sjis("高橋,, 　東京都")); // unconverted lines stay byte for byte
    EXPECT_EQ(Line(4), Sjis("\"伊藤 様\",3010000,竜ヶ崎市馴馬町"));
    EXPECT_EQ(pass.State(), TPassState::Finished);
    EXPECT_TRUE(pass.Active());
}

TEST_F(ConversionPass, ConfirmationMakesEveryAddressWait)
{
    Load({"a,0000000,千代田区永田町", "b,,"});
    pass.SetConfirm(true);
    ASSERT_EQ(Start(), TStepResult::Waiting);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(pass.Level(), TAddressLevel::Found);
    ASSERT_EQ(pass.Candidates().Count(), 1);
    EXPECT_EQ(pass.Candidates().Line(0), Sjis("1000014 千代田区永田町"));
    EXPECT_EQ(pass.WaitKey(), Sjis("千代田区永田町"));
    EXPECT_EQ(pass.WaitPostCode(), "0000000");
    EXPECT_EQ(pass.WaitAddress(), Sjis("千代田区永田町"));
    EXPECT_EQ(pass.Ok(pass.Candidates().Line(0)), TStepResult::Finished);
    EXPECT_EQ(Line(0), Sjis("a,1000014,千代田区永田町"));
    EXPECT_EQ(pass.ConvCount(), 1);
    EXPECT_EQ(pass.BlankCount(), 1);
}

TEST_F(ConversionPass, WithPrefectureCandidatesCarryTheName)
{
    Load({"a,,千代田区永田町"});
    pass.SetConfirm(true);
    pass.SetWithKen(true);
    ASSERT_EQ(Start(), TStepResult::Waiting);
    EXPECT_EQ(pass.Candidates().Line(0), Sjis("1000014 東京都千代田区永田町"));
}

TEST_F(ConversionPass, WaitingRecordsShowWhatTheWindowShows)
{
    Load({"a,1,不明町1", "b,2,札幌市中央区大通", "c,3,千代田区永田町三丁目", "d,4,千代田区霞ヶ関"});
    ASSERT_EQ(Start(), TStepResult::Waiting);
    EXPECT_EQ(pass.Level(), TAddressLevel::None); // no candidate: the whole key
    EXPECT_EQ(pass.Candidates().Count(), 0);
    EXPECT_EQ(pass.WaitKey(), Sjis("不明町"));
    EXPECT_EQ(pass.WaitPostCode(), "1");

    ASSERT_EQ(pass.Skip(), TStepResult::Waiting); // several candidates
    EXPECT_EQ(pass.Current(), 1);
    EXPECT_EQ(pass.Level(), TAddressLevel::Found);
    EXPECT_EQ(pass.Candidates().Count(), 2);

    ASSERT_EQ(pass.Skip(), TStepResult::Waiting); // one, but only through a shortened key
    EXPECT_EQ(pass.Level(), TAddressLevel::Shortened);
    EXPECT_EQ(pass.Candidates().Count(), 1);
    EXPECT_EQ(pass.WaitKey(), postCode.SearchText());
    EXPECT_EQ(pass.WaitKey(), Sjis("千代田区永田"));

    // ヶ/ケ is the only spelling exchanged: 霞ヶ関 shares just 千代田区霞 with 霞が関.
    ASSERT_EQ(pass.Skip(), TStepResult::Waiting);
    EXPECT_EQ(pass.Level(), TAddressLevel::Shortened);
    EXPECT_EQ(pass.WaitKey(), Sjis("千代田区霞"));
    ASSERT_EQ(pass.Skip(), TStepResult::Finished);
    EXPECT_EQ(pass.SkipCount(), 4);
    ExpectCountsAddUp();
    EXPECT_EQ(Line(0), Sjis("a,1,不明町1"));
}

TEST_F(ConversionPass, OkNeverCutsACode)
{
    // Literal mode: a code in any written form becomes its seven digits; other text its first
    // seven bytes, never half a character.
    pass.SetPreciseMode(false);
    Load({"a,1234567,不明町", "b,1234567,不明町", "c,1234567,不明町", "d,1,不明町", "e,1,不明町"});
    dialect.rgSep = 1;
    pass.SetWriteDelimiterSource([this] { return dialect.GetWriteDelimiter(); });
    ASSERT_EQ(Start(), TStepResult::Waiting);
    ASSERT_EQ(pass.Ok(""), TStepResult::Waiting);
    EXPECT_EQ(Line(0), Sjis("a\t\t不明町"));
    dialect.rgSep = 0; // asked afresh for every written record
    ASSERT_EQ(pass.Ok(Sjis("１２３４５")), TStepResult::Waiting);
    EXPECT_EQ(Line(1), Sjis("b,１２３,不明町"));
    ASSERT_EQ(pass.Ok("9876543 extra"), TStepResult::Waiting);
    EXPECT_EQ(Line(2), Sjis("c,9876543,不明町"));
    ASSERT_EQ(pass.Ok("472-0013"), TStepResult::Waiting);
    EXPECT_EQ(Line(3), Sjis("d,4720013,不明町"));
    ASSERT_EQ(pass.Ok(Sjis(" 〒４７２－００１３ ")), TStepResult::Finished);
    EXPECT_EQ(Line(4), Sjis("e,4720013,不明町"));
    EXPECT_EQ(pass.ConvCount(), 5);

    // The same in a UTF-8 book.
    test::WriteFile(file, "a,1,\xE4\xB8\x8D\xE6\x98\x8E\n" + std::string("b,1,\xE4\xB8\x8D\n"));
    pass.LoadFromFile(file, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
    ASSERT_EQ(Start(), TStepResult::Waiting);
    ASSERT_EQ(pass.Ok(Sjis("〒472-0013")), TStepResult::Waiting);
    EXPECT_EQ(Line(0), "a,4720013,\xE4\xB8\x8D\xE6\x98\x8E");
    ASSERT_EQ(pass.Ok(Sjis("１２３４５")), TStepResult::Finished);
    EXPECT_EQ(Line(1), "b,\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x93,\xE4\xB8\x8D");
}

TEST_F(ConversionPass, PreciseModeWritesCodesInTheBooksOwnForm)
{
    // Each record's own form; an empty field takes the form most of the book uses; a code
    // that is already right leaves its record byte for byte.
    Load({"a,100-0000,千代田区永田町", "b,〒１００－００００,千代田区永田町", "c,,千代田区永田町",
          "\"d\",\"100-0014\",千代田区永田町", "e,060-0000,札幌市中央区大通",
          "f,??,千代田区永田町"});
    ASSERT_EQ(Start(), TStepResult::Waiting);
    EXPECT_EQ(Line(0), Sjis("a,100-0014,千代田区永田町"));
    EXPECT_EQ(Line(1), Sjis("b,〒１００－００１４,千代田区永田町"));
    EXPECT_EQ(Line(2), Sjis("c,100-0014,千代田区永田町"));
    EXPECT_EQ(Line(3), Sjis("\"d\",\"100-0014\",千代田区永田町"));
    // OK on a waiting record without choosing a line keeps what is there.
    EXPECT_EQ(pass.WaitPostCode(), "060-0000");
    ASSERT_EQ(pass.Ok("060-0000"), TStepResult::Finished);
    EXPECT_EQ(Line(4), Sjis("e,060-0000,札幌市中央区大通"));
    EXPECT_EQ(Line(5), Sjis("f,100-0014,千代田区永田町"));
    EXPECT_EQ(pass.ConvCount(), 6);
    ExpectCountsAddUp();

    // A UTF-8 book in full-width digits.
    test::WriteFile(file, "x,\xEF\xBC\x91\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x90"
                          "\xEF\xBC\x90\xEF\xBC\x90," +
                              cp932::ToUtf8(Sjis("千代田区永田町")) + "\n");
    pass.LoadFromFile(file, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
    ASSERT_EQ(Start(), TStepResult::Finished);
    EXPECT_EQ(Line(0), "x,\xEF\xBC\x91\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x90"
                       "\xEF\xBC\x91\xEF\xBC\x94," +
                           cp932::ToUtf8(Sjis("千代田区永田町")));

    // Literal mode writes seven digits and rewrites the record as it always did.
    pass.SetPreciseMode(false);
    Load({"\"d\",\"100-0014\",千代田区永田町"});
    ASSERT_EQ(Start(), TStepResult::Finished);
    EXPECT_EQ(Line(0), Sjis("d,1000014,千代田区永田町"));
}

TEST_F(ConversionPass, AHeadingLineIsRecognisedKeptAndNeverCounted)
{
    // Shift-JIS CR LF, with fewer fields than the records and quoted.
    Load({"\"氏名\",〒,住所", "山田,,千代田区永田町,x", "鈴木,,不明町,y"});
    EXPECT_FALSE(pass.CheckFieldCounts());
    EXPECT_EQ(pass.HeadingAddressColumn(-1), 2); // none chosen: the column named like an address
    EXPECT_EQ(pass.HeadingAddressColumn(1), 1);
    EXPECT_TRUE(pass.RecogniseHeading(2));
    EXPECT_FALSE(postCode.IsOpen()); // opened for the question only
    pass.SetHeading(true);
    EXPECT_TRUE(pass.CheckFieldCounts());
    EXPECT_EQ(pass.FieldCountReference(), 1);
    EXPECT_EQ(pass.ColumnName(1), Sjis("〒"));
    EXPECT_EQ(pass.ColumnName(3), "");
    std::vector<std::pair<int, int>> progress;
    pass.OnCurrent = [&](int current, int count) { progress.emplace_back(current, count); };
    ASSERT_EQ(Start(), TStepResult::Waiting);
    EXPECT_EQ(pass.Current(), 2);
    ASSERT_EQ(pass.Skip(), TStepResult::Finished);
    EXPECT_EQ(Line(0), Sjis("\"氏名\",〒,住所"));
    EXPECT_EQ(pass.RecordCount(), 2);
    EXPECT_EQ(pass.HeadingCount(), 1);
    EXPECT_EQ(pass.ConvCount(), 1);
    ExpectCountsAddUp();
    EXPECT_EQ(progress.front(), std::make_pair(0, 2));
    EXPECT_EQ(progress.back(), std::make_pair(2, 2));
    EXPECT_EQ(pass.OutputBytes(),
              Sjis("\"氏名\",〒,住所\r\n山田,1000014,千代田区永田町,x\r\n鈴木,,不明町,y\r\n"));

    // UTF-8 with LF, English and full-width names; a one-line book is a heading alone.
    test::WriteFile(file, "Name,ZIP Code,\xEF\xBC\xA1\xEF\xBD\x84\xEF\xBD\x84\xEF\xBD\x92"
                          "\xEF\xBD\x85\xEF\xBD\x93\xEF\xBD\x93\xEF\xBC\x91\n");
    pass.LoadFromFile(file, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
    EXPECT_FALSE(pass.HasHeading()); // a new file has none until told
    ASSERT_TRUE(pass.RecogniseHeading(2));
    pass.SetHeading(true);
    EXPECT_EQ(pass.ColumnName(1), "ZIP Code");
    ASSERT_EQ(Start(), TStepResult::Finished);
    EXPECT_EQ(pass.RecordCount(), 0);
    EXPECT_EQ(pass.OutputBytes(), test::ReadFile(file));

    // Not a heading: an address the dictionary lists though it reads as a column name, a
    // first record with heading-like fields beside its address, and any line in literal mode.
    Load({"a,,所在地", "b,,千代田区永田町"});
    EXPECT_FALSE(pass.RecogniseHeading(2));
    Load({"氏名,〒,千代田区永田町"});
    EXPECT_EQ(pass.HeadingAddressColumn(2), -1);
    Load({"氏名,郵便番号,住所"});
    pass.SetPreciseMode(false);
    EXPECT_FALSE(pass.RecogniseHeading(2));
    EXPECT_EQ(pass.HeadingAddressColumn(2), -1);
}

TEST(WrittenCodes, ReadAndWrittenInTheirOwnForm)
{
    struct Case {
        const char* text;
        const char* digits; // nullptr: no code
        const char* rewritten;
    };
    const Case cases[] = {
        {"4720013", "4720013", "1234567"},
        {"472-0013", "4720013", "123-4567"},
        {" 〒 472－0013　", "4720013", " 〒 123－4567　"},
        {"４７２ー００１３", "4720013", "１２３ー４５６７"},
        {"472０013", "4720013", "123４567"},
        {"472-001", nullptr, nullptr},
        {"4720-013", nullptr, nullptr},
        {"472--0013", nullptr, nullptr},
        {"472-0013x", nullptr, nullptr},
        {"〒〒4720013", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> digits = ReadWrittenCode(Sjis(c.text));
        ASSERT_EQ(digits.has_value(), c.digits != nullptr) << c.text;
        if (!digits)
            continue;
        EXPECT_EQ(*digits, c.digits) << c.text;
        EXPECT_EQ(RewriteDigits(Sjis(c.text), "1234567", false), Sjis(c.rewritten)) << c.text;
        EXPECT_EQ(RewriteDigits(c.text, "1234567", true), c.rewritten) << c.text;
    }
    EXPECT_EQ(CutOnWholeCharacter(Sjis("１２３４"), 7), Sjis("１２３"));
    EXPECT_EQ(CutOnWholeCharacter(Sjis("ab１２３"), 7), Sjis("ab１２"));
    EXPECT_EQ(CutOnWholeCharacter("123456789", 7), "1234567");
}

TEST(ColumnNames, TheTableFoldsWidthCaseAndNumbering)
{
    EXPECT_EQ(ColumnNameOf(Sjis("住所")), TColumnName::Address);
    EXPECT_EQ(ColumnNameOf(Sjis(" 住所１ ")), TColumnName::Address);
    EXPECT_EQ(ColumnNameOf(Sjis("住所（自宅）")), TColumnName::Address);
    EXPECT_EQ(ColumnNameOf(Sjis("ＡＤＤＲＥＳＳ 2")), TColumnName::Address);
    EXPECT_EQ(ColumnNameOf("Zip_Code"), TColumnName::PostalCode);
    EXPECT_EQ(ColumnNameOf(Sjis("〒")), TColumnName::PostalCode);
    EXPECT_EQ(ColumnNameOf(Sjis("郵便番号")), TColumnName::PostalCode);
    EXPECT_EQ(ColumnNameOf(Sjis("電話番号")), TColumnName::Other);
    EXPECT_EQ(ColumnNameOf(Sjis("東京都千代田区")), TColumnName::None);
    EXPECT_EQ(ColumnNameOf(Sjis("住所録")), TColumnName::None);
    EXPECT_EQ(ColumnNameOf(""), TColumnName::None);
}

TEST_F(ConversionPass, ResearchAndWordSearchActOnlyWhileARecordWaits)
{
    Load({"a,,不明町"});
    ASSERT_EQ(Start(), TStepResult::Waiting);
    TStringResultList list;
    EXPECT_TRUE(pass.Research(Sjis("東京都千代田区霞が関１"), list));
    EXPECT_EQ(list.lines, std::vector<std::string>{Sjis("1000013 千代田区霞が関")});
    EXPECT_EQ(pass.Level(), TAddressLevel::None); // the automatic search's level stays
    EXPECT_TRUE(pass.WordSearch(Sjis("大通"), list));
    EXPECT_EQ(list.Count(), 2);
    ASSERT_EQ(pass.Ok(list.lines[0]), TStepResult::Finished);
    list.lines.clear();
    EXPECT_FALSE(pass.Research(Sjis("永田町"), list));
    EXPECT_FALSE(pass.WordSearch(Sjis("永田町"), list));
    EXPECT_TRUE(list.lines.empty());
}

TEST_F(ConversionPass, NothingActsAfterThePassEnded)
{
    Load({"a,,不明町"});
    ASSERT_EQ(Start(), TStepResult::Waiting);
    ASSERT_EQ(pass.Skip(), TStepResult::Finished);
    EXPECT_EQ(pass.Skip(), TStepResult::Refused);
    EXPECT_EQ(pass.Ok("1234567"), TStepResult::Refused);
    EXPECT_EQ(pass.ConvertRecords(), TStepResult::Refused);
    EXPECT_EQ(pass.SkipCount(), 1);
    pass.Discard();
    EXPECT_EQ(pass.Lines().Count(), 0);
    EXPECT_FALSE(pass.Active());
    EXPECT_FALSE(postCode.IsOpen());
    EXPECT_EQ(pass.Skip(), TStepResult::Refused);
    EXPECT_EQ(pass.SaveWithBackup(), TSaveResult::Refused);
    // Starting again over the emptied lines finds nothing to save either.
    pass.ResetConversion(true);
    EXPECT_EQ(pass.ConvertRecords(), TStepResult::Refused);
    EXPECT_EQ(pass.SaveWithBackup(), TSaveResult::Refused);
    EXPECT_EQ(test::ReadFile(file), Sjis("a,,不明町\r\n"));
}

TEST_F(ConversionPass, OpeningAnotherFileDropsTheWaitingRecord)
{
    Load({"a,,不明町", "b,,不明町"});
    ASSERT_EQ(Start(), TStepResult::Waiting);
    ASSERT_EQ(pass.Skip(), TStepResult::Waiting);
    Load({"x,,1", "y,,2"}); // and its pass is not started
    EXPECT_FALSE(pass.Waiting());
    EXPECT_EQ(pass.Ok("1234567"), TStepResult::Refused);
    EXPECT_EQ(pass.Skip(), TStepResult::Refused);
    EXPECT_EQ(pass.ConvertRecords(), TStepResult::Refused);
    TStringResultList list;
    EXPECT_FALSE(pass.Research(Sjis("永田町"), list));
    EXPECT_EQ(Line(1), "y,,2");
}

TEST_F(ConversionPass, ContinueRunsAgainOverTheConvertedLines)
{
    Load({"a,,千代田区永田町", "b,,不明町"});
    ASSERT_EQ(Start(), TStepResult::Waiting);
    ASSERT_EQ(pass.Skip(), TStepResult::Finished);
    pass.SetConfirm(true);
    pass.ResetConversion(true); // "変換を続ける"
    EXPECT_EQ(pass.SkipCount(), 0);
    EXPECT_EQ(pass.Current(), 0);
    ASSERT_EQ(pass.ConvertRecords(), TStepResult::Waiting);
    EXPECT_EQ(pass.WaitPostCode(), "1000014"); // converted by the first pass
    ASSERT_EQ(pass.Ok("1111111"), TStepResult::Waiting);
    ASSERT_EQ(pass.Ok("2222222"), TStepResult::Finished);
    EXPECT_EQ(Line(0), Sjis("a,1111111,千代田区永田町"));
    EXPECT_EQ(Line(1), Sjis("b,2222222,不明町"));
}

TEST_F(ConversionPass, AMissingColumnStopsThePass)
{
    // Address column missing.
    Load({"a,,千代田区永田町", "b"});
    try {
        Start();
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), msg::kListIndexOutOfBounds);
    }
    EXPECT_EQ(pass.State(), TPassState::Stopped);
    EXPECT_EQ(pass.Current(), 1);
    EXPECT_EQ(pass.Skip(), TStepResult::Refused);

    // An empty line is no missing column: a record with an empty address, left as it is.
    Load({"", "a,,千代田区永田町", ""});
    EXPECT_EQ(Start(), TStepResult::Finished);
    EXPECT_EQ(pass.BlankCount(), 2);
    EXPECT_EQ(pass.ConvCount(), 1);
    EXPECT_EQ(pass.OutputBytes(), Sjis("\r\na,1000014,千代田区永田町\r\n\r\n"));

    // Postal-code column missing: fine while the key is empty, fatal once shown or written.
    pass.SetColumns(3, 0);
    Load({" ", "不明町", "x"});
    EXPECT_THROW(Start(), Exception);
    EXPECT_EQ(pass.Current(), 1);
    EXPECT_EQ(pass.BlankCount(), 1);
    Load({"千代田区永田町"});
    EXPECT_THROW(Start(), Exception);
    EXPECT_EQ(pass.ConvCount(), 0);
}

TEST_F(ConversionPass, AMissingDictionaryKeepsThePassFromStarting)
{
    Load({"a,,千代田区永田町"});
    pass.SetDictionaryDir(work.Path().string());
    try {
        Start();
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), FormatMessage(msg::kFileOpenError,
                                             work.Path().string() + "/" + kAddressDictName));
    }
    EXPECT_FALSE(pass.Active());
    EXPECT_EQ(pass.ConvertRecords(), TStepResult::Refused);
}

TEST_F(ConversionPass, FieldCounts)
{
    Load({"a,b,c", "\"x,y\",z,w", "1,2,3"});
    EXPECT_TRUE(pass.CheckFieldCounts());
    Load({"a,b,c", "a,b,c", "a,b", "a"});
    EXPECT_FALSE(pass.CheckFieldCounts());
    EXPECT_EQ(pass.FirstFieldCountMismatch(), 2);
    // Empty lines are records without fields, not damaged ones.
    Load({"", "a,b,c", "", "a,b"});
    EXPECT_EQ(pass.FieldCountReference(), 1);
    EXPECT_EQ(pass.FirstFieldCountMismatch(), 3);
}

TEST_F(ConversionPass, DelimiterSetsAreThoseOfTheOpening)
{
    dialect.rcbBlank = true;
    Load({"a 1 不明町"});
    dialect.Reset(); // a change after the opening does not apply to this file
    ASSERT_EQ(Start(), TStepResult::Waiting);
    EXPECT_EQ(pass.WaitAddress(), Sjis("不明町"));
    ASSERT_EQ(pass.Ok("7654321"), TStepResult::Finished);
    EXPECT_EQ(Line(0), Sjis("a,7654321,不明町"));
}

TEST(BackupFileName, ReplacesTheExtensionOfTheNamePart)
{
    EXPECT_EQ(TConversionPass::BackupFileName("/d/book.csv"), "/d/book.bak");
    EXPECT_EQ(TConversionPass::BackupFileName("/d/book.tar.csv"), "/d/book.tar.bak");
    EXPECT_EQ(TConversionPass::BackupFileName("/d.x/book"), "/d.x/book.bak");
    EXPECT_EQ(TConversionPass::BackupFileName("book"), "book.bak");
    EXPECT_EQ(TConversionPass::BackupFileName("/d/.csv"), "/d/.bak");
    const std::string hyo = Sjis("表.csv");
    EXPECT_EQ(TConversionPass::BackupFileName(hyo), Sjis("表.bak"));
    EXPECT_EQ(TConversionPass::BackupFileName("\xE3\x81\x82.csv"), "\xE3\x81\x82.bak");
}

class SavingPass : public ConversionPass {
protected:
    void FinishOnePass(bool write = true)
    {
        if (write)
            Load({"a,,千代田区永田町", "b,,不明町"});
        else
            pass.LoadFromFile(file, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
        ASSERT_EQ(Start(), TStepResult::Waiting);
        ASSERT_EQ(pass.Skip(), TStepResult::Finished);
        original = test::ReadFile(file);
    }
    std::string Converted() const { return Sjis("a,1000014,千代田区永田町\r\nb,,不明町\r\n"); }
    std::string backup = work.File("book.bak");
    std::string original;
};

TEST_F(SavingPass, SaveKeepsTheFileAsReadUnderTheBackupName)
{
    test::WriteFile(file, "");
    FinishOnePass();
    ASSERT_EQ(pass.SaveWithBackup(), TSaveResult::Saved);
    EXPECT_EQ(test::ReadFile(backup), original);
    EXPECT_EQ(test::ReadFile(file), Converted());
    EXPECT_FALSE(pass.Active());
    EXPECT_EQ(pass.Lines().Count(), 0);
    EXPECT_FALSE(postCode.IsOpen());
    EXPECT_EQ(pass.SaveWithBackup(), TSaveResult::Refused);
}

TEST_F(SavingPass, AnExistingBackupIsNeverReplaced)
{
    test::WriteFile(backup, "older original");
    FinishOnePass();
    ASSERT_EQ(pass.SaveWithBackup(), TSaveResult::BackupFailed);
    EXPECT_EQ(test::ReadFile(file), original); // nothing written yet
    EXPECT_TRUE(pass.Active());
    ASSERT_EQ(pass.SaveWithoutBackup(), TSaveResult::Saved);
    EXPECT_EQ(test::ReadFile(file), Converted());
    EXPECT_EQ(test::ReadFile(backup), "older original");
}

TEST_F(SavingPass, CancellingAfterAFailedBackupWritesNothing)
{
    test::WriteFile(backup, "older original");
    FinishOnePass();
    ASSERT_EQ(pass.SaveWithBackup(), TSaveResult::BackupFailed);
    pass.Discard();
    EXPECT_EQ(test::ReadFile(file), original);
    EXPECT_EQ(test::ReadFile(backup), "older original");
    EXPECT_EQ(pass.SaveWithoutBackup(), TSaveResult::Refused);
}

// Runs a save in a child process whose writes fail beyond limit bytes (SIGXFSZ as the
// default would have it: the save itself must keep the signal from killing it). Returns 0
// when saved, 3 when it failed with the message of a too large file.
int SaveUnderFileSizeLimit(TConversionPass& pass, rlim_t limit)
{
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit lowered{limit, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &lowered);
        try {
            _exit(pass.SaveWithBackup() == TSaveResult::Saved ? 0 : 2);
        } catch (const Exception& e) {
            const std::string tooLarge = msg::kIoFileTooLarge;
            _exit(e.Message().compare(0, tooLarge.size(), tooLarge) == 0 ? 3 : 1);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(SavingPass, AWriteFailingAtAnyOffsetLeavesTheFileAsReadOrTheWholeResult)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 60; ++i)
        lines.push_back("a,,千代田区永田町");
    Load(lines);
    ASSERT_EQ(Start(), TStepResult::Finished);
    original = test::ReadFile(file);
    const std::string converted = pass.OutputBytes();
    const rlim_t size = converted.size();
    for (rlim_t limit = 0; limit <= size; limit += (limit + 1 < size ? size / 23 + 1 : 1)) {
        const int status = SaveUnderFileSizeLimit(pass, limit);
        SCOPED_TRACE("limit " + std::to_string(limit));
        if (limit < size) {
            ASSERT_EQ(status, 3); // the file-size limit, in its own words
            ASSERT_EQ(test::ReadFile(file), original);
            ASSERT_FALSE(std::filesystem::exists(backup));
        } else {
            ASSERT_EQ(status, 0);
            EXPECT_EQ(test::ReadFile(file), converted);
            EXPECT_EQ(test::ReadFile(backup), original);
        }
        ASSERT_EQ(std::distance(std::filesystem::directory_iterator(work.Path()), {}),
                  limit < size ? 1 : 2)
            << "no temporary file is left";
    }
}

TEST_F(SavingPass, AFileChangedAfterReadingIsNotSaved)
{
    const std::string changed = FormatMessage(msg::kChangedSinceRead, file);
    // Appended to by another program: nothing saved, the results kept for a later try.
    FinishOnePass();
    test::WriteFile(file, original + "c,,\r\n");
    EXPECT_EQ(MessageOf([&] { pass.SaveWithBackup(); }), changed);
    EXPECT_EQ(MessageOf([&] { pass.SaveWithoutBackup(); }), changed);
    EXPECT_EQ(test::ReadFile(file), original + "c,,\r\n");
    EXPECT_FALSE(std::filesystem::exists(backup));
    EXPECT_EQ(pass.State(), TPassState::Finished);
    EXPECT_EQ(pass.Lines().Count(), 2);

    // Replaced, as an editor saves, or removed.
    FinishOnePass();
    test::WriteFile(work.File("edited"), original);
    std::filesystem::rename(work.File("edited"), file);
    EXPECT_EQ(MessageOf([&] { pass.SaveWithBackup(); }), changed);
    EXPECT_EQ(test::ReadFile(file), original);
    std::filesystem::remove(file);
    EXPECT_EQ(MessageOf([&] { pass.SaveWithBackup(); }), changed);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.Path()), {}), 0);
}

TEST_F(SavingPass, ModeKeptAndReadOnlyFileRefused)
{
    using std::filesystem::perms;
    FinishOnePass();
    ::chmod(file.c_str(), 0600);
    ASSERT_EQ(pass.SaveWithBackup(), TSaveResult::Saved);
    EXPECT_EQ(std::filesystem::status(file).permissions(), perms(0600));
    EXPECT_EQ(test::ReadFile(file), Converted());
    std::filesystem::remove(backup);

    // Mode 0444 is refused, for root as well, before any name is touched.
    FinishOnePass();
    ::chmod(file.c_str(), 0444);
    EXPECT_EQ(MessageOf([&] { pass.SaveWithBackup(); }),
              std::string(msg::kIoAccessDenied) + msg::kSentenceEnd +
                  FormatMessage(msg::kOriginalKept, file));
    EXPECT_EQ(test::ReadFile(file), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.Path()), {}), 1);
}

TEST_F(SavingPass, ABookReachedThroughALinkIsReplacedBehindIt)
{
    test::TempDir elsewhere;
    const std::string target = elsewhere.File("real.csv");
    test::WriteFile(target, Sjis("a,,千代田区永田町\r\nb,,不明町\r\n"));
    std::filesystem::create_symlink(target, file);
    FinishOnePass(false);
    ASSERT_EQ(pass.SaveWithBackup(), TSaveResult::Saved);
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_EQ(test::ReadFile(target), Converted());
    // Nothing is made outside the book's real directory: the backup is beside it.
    EXPECT_EQ(test::ReadFile(elsewhere.File("real.bak")), original);
    EXPECT_FALSE(std::filesystem::exists(backup));
}

TEST_F(SavingPass, BytesAfterAnEndOfFileMarkAreWrittenBack)
{
    test::WriteFile(file, Sjis("a,,千代田区永田町\r\n\x1A\r\nb,,不明町\x1A\r\n"));
    pass.LoadFromFile(file, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
    ASSERT_EQ(pass.Lines().Count(), 1);
    ASSERT_EQ(Start(), TStepResult::Finished);
    ASSERT_EQ(pass.SaveWithBackup(), TSaveResult::Saved);
    EXPECT_EQ(test::ReadFile(file), Sjis("a,1000014,千代田区永田町\r\n\x1A\r\nb,,不明町\x1A\r\n"));

    // A mark inside the last line: the line gets its line end, the mark and the rest follow.
    std::filesystem::remove(backup);
    test::WriteFile(file, Sjis("a,,千代田区永田町\x1Axyz"));
    pass.LoadFromFile(file, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
    ASSERT_EQ(Start(), TStepResult::Finished);
    ASSERT_EQ(pass.SaveWithBackup(), TSaveResult::Saved);
    EXPECT_EQ(test::ReadFile(file), Sjis("a,1000014,千代田区永田町\r\n\x1Axyz"));
}

TEST_F(SavingPass, OnlyRegularFilesAreRead)
{
    const std::string fifo = work.File("fifo.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0); // no writer: opening must not wait for one
    const std::string socketName = work.File("socket.csv");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketName.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    for (const std::string& name : {fifo, socketName, work.Path().string()}) {
        EXPECT_EQ(MessageOf([&] {
                      pass.LoadFromFile(name, dialect.GetReadDelimiters(),
                                        dialect.GetQuoteTargets());
                  }),
                  FormatMessage(msg::kNotRegularFile, name));
        EXPECT_EQ(pass.Lines().Count(), 0);
    }
    ::close(sock);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.Path()), {}), 2);
}

TEST_F(ConversionPass, UnattendedSkipsWhatWouldWait)
{
    Load({"a,,千代田区永田町", "b,,不明町1", "c,,", "d,,札幌市中央区大通"});
    pass.SetConfirm(true); // the unattended pass never asks
    pass.ResetConversion(true);
    std::vector<TSkippedRecord> skipped;
    RunUnattended(pass, [&](const TSkippedRecord& r) { skipped.push_back(r); });
    EXPECT_EQ(pass.State(), TPassState::Finished);
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0].line, 2);
    EXPECT_EQ(skipped[0].level, TAddressLevel::None);
    EXPECT_EQ(skipped[0].count, 0);
    EXPECT_EQ(skipped[0].key, Sjis("不明町"));
    EXPECT_EQ(skipped[1].line, 4);
    EXPECT_EQ(skipped[1].level, TAddressLevel::Found);
    EXPECT_EQ(skipped[1].count, 2);
    EXPECT_EQ(skipped[1].key, Sjis("札幌市中央区大通"));
    EXPECT_EQ(pass.ConvCount(), 1);
    EXPECT_EQ(pass.SkipCount(), 2);
    EXPECT_EQ(pass.BlankCount(), 1);
}

} // namespace
} // namespace kompa

namespace kompa {
namespace {

// Precise matching over the bundled dictionary: what it writes, keeps and leaves, and what it
// reports of each record.
TEST(PreciseConversionPass, WritesKeepsAndReportsEachCode)
{
    test::TempDir work;
    const std::string file = work.File("book.csv");
    test::WriteFile(file, Sjis("a,,埼玉県神川町中新里2720\r\n"    // new
                               "b,367-0231,神川町大字中新里5\r\n" // right: kept as written
                               "c,1000001,鎌ヶ谷市北初富9-16\r\n" // replaced
                               "d,9999999,夕張市大原12\r\n"       // replaced, no longer a code
                               "e,,札幌市中央区大通西\r\n"        // waits: two codes
                               "f,,　\r\n"));                     // blank
    TCsvDialect dialect;
    TPostCode postCode;
    TConversionPass pass{postCode};
    pass.SetDictionaryDir(KOMPA_BIN_DIR);
    pass.SetColumns(1, 2);
    pass.SetMatchMode(TMatchMode::Precise);
    pass.LoadFromFile(file, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
    std::vector<TRecordReport> reports;
    pass.OnRecord = [&](const TRecordReport& r) { reports.push_back(r); };
    pass.ResetConversion(true);
    ASSERT_EQ(pass.ConvertRecords(), TStepResult::Waiting);
    EXPECT_EQ(pass.Current(), 4);
    EXPECT_EQ(pass.WaitReason(), Sjis("同じ町名が市内に二つあります"));
    ASSERT_GE(pass.Candidates().Count(), 2);
    EXPECT_EQ(pass.Candidates().Line(0).substr(0, 7), "0600042");
    ASSERT_EQ(pass.Skip(), TStepResult::Finished);

    EXPECT_EQ(std::string(pass.Lines()[0]), Sjis("a,3670231,埼玉県神川町中新里2720"));
    EXPECT_EQ(std::string(pass.Lines()[1]), Sjis("b,367-0231,神川町大字中新里5"));
    EXPECT_EQ(std::string(pass.Lines()[2]), Sjis("c,2730126,鎌ヶ谷市北初富9-16"));
    EXPECT_EQ(std::string(pass.Lines()[3]), Sjis("d,0680400,夕張市大原12"));
    EXPECT_EQ(pass.NewCount(), 1);
    EXPECT_EQ(pass.ReplacedCount(), 2);
    EXPECT_EQ(pass.StaleCount(), 1);
    EXPECT_EQ(pass.KeptCount(), 1);
    EXPECT_EQ(pass.ConvCount(), 4);
    EXPECT_EQ(pass.SkipCount(), 1);
    EXPECT_EQ(pass.BlankCount(), 1);

    ASSERT_EQ(reports.size(), 6u);
    const TCodeOutcome outcomes[] = {TCodeOutcome::New,      TCodeOutcome::Kept,
                                     TCodeOutcome::Replaced, TCodeOutcome::Replaced,
                                     TCodeOutcome::Left,     TCodeOutcome::Blank};
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].line, static_cast<int>(i) + 1);
        EXPECT_EQ(reports[i].outcome, outcomes[i]) << i;
    }
    EXPECT_EQ(reports[0].rule, "town");
    EXPECT_TRUE(reports[3].staleBefore);
    EXPECT_FALSE(reports[2].staleBefore);
    EXPECT_EQ(reports[4].rule, "twice-in-city");
    EXPECT_EQ(reports[1].after, "367-0231");
}

} // namespace
} // namespace kompa
