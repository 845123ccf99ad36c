#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "cli/run_cli.h"
#include "support/test_support.h"

// kompa-cli convert, against the dictionary built from the bundled data.
namespace kompa::test {
namespace {

class ConvertCommand : public ::testing::Test {
protected:
    // Every run reads a private copy of the dictionary: the file opens without sharing, and
    // tests running in parallel would otherwise refuse each other the build's own.
    ConvertCommand()
    {
        std::filesystem::copy_file(KOMPA_BIN_DIR "/KOMPA.DIC", dicts.File("KOMPA.DIC"));
    }
    CliResult Convert(std::vector<std::string> options)
    {
        return ConvertColumns("2", "3", std::move(options));
    }
    CliResult ConvertColumns(const std::string& post, const std::string& addr,
                             std::vector<std::string> options, const std::string& stdoutFile = {})
    {
        std::vector<std::string> args{"convert", "--post-col", post, "--addr-col", addr};
        if (std::find(options.begin(), options.end(), "--dict") == options.end())
            options.insert(options.begin(), {"--dict", dicts.Path().string()});
        // The conversion as the address search alone does it, unless a test names the mode.
        if (std::find(options.begin(), options.end(), "--match") == options.end())
            options.insert(options.begin(), {"--match", "literal"});
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(file);
        return RunCli(args, {}, {}, stdoutFile);
    }
    std::size_t FilesInDir() const
    {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(dir.Path()), {}));
    }
    TempDir dicts;
    TempDir dir;
    std::string file = dir.File("book.csv");
    std::string backup = dir.File("book.bak");
    const std::string book = Sjis("a,,大阪府大阪市北区梅田\r\nb,1,\r\nc,2,不明町1\r\n"
                                  "\"d e\",,札幌市中央区北一条西\r\n");
};

TEST_F(ConvertCommand, ConvertsSkipsReportsAndKeepsTheBackup)
{
    WriteFile(file, book);
    const CliResult r = Convert({});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "総データ数 4\n住所が空のデータ 1\n変換データ数 1\n未変換 2\n");
    EXPECT_EQ(r.err, "line 3: 3 0 不明町\nline 4: 1 2 札幌市中央区北一条西\n");
    EXPECT_EQ(ReadFile(backup), book);
    EXPECT_EQ(ReadFile(file), Sjis("a,5300001,大阪府大阪市北区梅田\r\nb,1,\r\nc,2,不明町1\r\n"
                                   "\"d e\",,札幌市中央区北一条西\r\n"));

    // The backup is never replaced: nothing is written the second time.
    const std::string converted = ReadFile(file);
    const CliResult again = Convert({});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.ends_with("\nkompa-cli: バックアップを作成出来ません。バックアップ " +
                                    backup + " が既にあります\n"))
        << again.err;
    EXPECT_EQ(ReadFile(file), converted);
    EXPECT_EQ(ReadFile(backup), book);
}

TEST_F(ConvertCommand, OutputDryRunSjisAndDialect)
{
    WriteFile(file, Sjis("a;;大阪府大阪市北区梅田;x y\r\n"));
    const std::string out = dir.File("out.txt");
    CliResult r = Convert({"--read-delims", "char:;", "--write-delim", "tab", "--quote", "all",
                           "--sjis", "--output", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 12), Sjis("総データ数 1"));
    EXPECT_EQ(ReadFile(out), Sjis("\"a\"\t\"5300001\"\t\"大阪府大阪市北区梅田\"\t\"x y\"\r\n"));
    EXPECT_EQ(ReadFile(file), Sjis("a;;大阪府大阪市北区梅田;x y\r\n"));

    r = Convert({"--read-delims", "char:;", "--dry-run"});
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(std::filesystem::exists(backup));

    // Without --write-delim a book whose fields one delimiter separates keeps it (a comma
    // inside quotes is no delimiter); a book of several gets commas, as before.
    WriteFile(file, Sjis("a\t\t大阪府大阪市北区梅田\t\"x,y\"\r\nb\t\t不明町\t\r\n"));
    r = Convert({"--output", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), Sjis("a\t5300001\t大阪府大阪市北区梅田\tx,y\r\nb\t\t不明町\t\r\n"));
    WriteFile(file, Sjis("a\t\t大阪府大阪市北区梅田,x\r\n"));
    r = Convert({"--output", out});
    EXPECT_EQ(ReadFile(out), Sjis("a,5300001,大阪府大阪市北区梅田,x\r\n"));
}

TEST_F(ConvertCommand, FailuresAndUsageErrors)
{
    WriteFile(file, Sjis("a,,大阪府大阪市北区梅田\r\nb,,\r\nc\r\n"));
    CliResult r = Convert({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kompa-cli: field counts differ: line 1 has 3, line 3 has 1; converting "
                     "every line anyway\nkompa-cli: line 3: ﾘｽﾄのｲﾝﾃﾞｯｸｽが範囲を超えています\n");
    EXPECT_FALSE(std::filesystem::exists(backup));

    // A record lacking the address column fails the run even after records that were
    // skipped: none of them is reported, nothing is counted or written.
    WriteFile(file, Sjis("a,,不明町1\r\nb,,大阪府大阪市北区梅田\r\nc,1\r\n"));
    r = Convert({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kompa-cli: field counts differ: line 1 has 3, line 3 has 2; converting "
                     "every line anyway\nkompa-cli: line 3: ﾘｽﾄのｲﾝﾃﾞｯｸｽが範囲を超えています\n");
    EXPECT_FALSE(std::filesystem::exists(backup));

    // So does a record with an address but no postal-code column; a blank one without it
    // passes, and so do empty lines, records with an empty address.
    WriteFile(file, Sjis("東京都\r\n不明町1\r\n大阪府大阪市北区梅田\r\n"));
    r = ConvertColumns("2", "1", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kompa-cli: line 2: ﾘｽﾄのｲﾝﾃﾞｯｸｽが範囲を超えています\n");
    WriteFile(file, Sjis("\r\n 1\r\n東京都\r\n\r\n"));
    r = ConvertColumns("2", "1", {"--dry-run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "総データ数 4\n住所が空のデータ 4\n変換データ数 0\n未変換 0\n");

    WriteFile(file, book);
    EXPECT_EQ(Convert({"--dict", dir.File("nowhere")}).status, 1);
    EXPECT_EQ(ConvertColumns("2", "2", {}).status, 2);
    EXPECT_EQ(ConvertColumns("0", "2", {}).status, 2);
    EXPECT_EQ(Convert({"--read-delims", "semicolon"}).status, 2);
    EXPECT_EQ(Convert({"--output", dir.File("o"), "--dry-run"}).status, 2);
    EXPECT_EQ(Convert({"--encoding", "euc-jp"}).status, 2);
    EXPECT_EQ(ReadFile(file), book);
}

TEST_F(ConvertCommand, ExitStatusesTellWhatHappened)
{
    // Counts that cannot be written: status 1, and the file is not touched either.
    WriteFile(file, book);
    CliResult r = ConvertColumns("2", "3", {}, "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write the counts"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(file), book);
    EXPECT_EQ(FilesInDir(), 1u);

    // An empty book: four zero counts, nothing written, even without a dictionary.
    WriteFile(file, "");
    r = Convert({"--dict", dir.File("nowhere")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "総データ数 0\n住所が空のデータ 0\n変換データ数 0\n未変換 0\n");
    EXPECT_EQ(FilesInDir(), 1u);

    // Not a regular file: refused at once, nothing renamed or created.
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    r = Convert({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kompa-cli: ファイル " + file + " は通常のファイルではありません\n");
    EXPECT_TRUE(std::filesystem::is_fifo(file));
    EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(ConvertCommand, OutputReplacesThroughATemporaryFileAndKeepsTheMode)
{
    WriteFile(file, book);
    const std::string out = dir.File("out.csv");
    WriteFile(out, "old");
    ::chmod(out.c_str(), 0600);
    EXPECT_EQ(Convert({"--output", out}).status, 0);
    EXPECT_EQ(ReadFile(out).substr(0, 10), "a,5300001,");
    EXPECT_EQ(std::filesystem::status(out).permissions(), std::filesystem::perms(0600));

    // The input file itself as OUT: converted in place, without a backup.
    EXPECT_EQ(Convert({"--output", file}).status, 0);
    EXPECT_EQ(ReadFile(file), ReadFile(out));
    EXPECT_FALSE(std::filesystem::exists(backup));
    EXPECT_EQ(FilesInDir(), 2u);

    // A link named as OUT stays a link to the converted file; a device is written to.
    std::filesystem::create_symlink(out, dir.File("link.csv"));
    EXPECT_EQ(Convert({"--output", dir.File("link.csv")}).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.csv")));
    EXPECT_EQ(ReadFile(out), ReadFile(file));
    EXPECT_EQ(Convert({"--output", "/dev/null"}).status, 0);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// A spreadsheet's heading line is kept as read and never converted or counted: found by
// itself, named with --header yes, or read as a record with --header no.
TEST_F(ConvertCommand, AHeadingLineIsKept)
{
    const std::string heading = Sjis("氏名,郵便番号,住所,電話\r\n");
    const std::string records =
        Sjis("a,,大阪府大阪市北区梅田,1\r\nb,530-0000,大阪府大阪市北区梅田,2\r\n");
    WriteFile(file, heading + records);
    const std::string codes = "新規 1\n変更 1\nうち辞書にない番号 0\n維持 0\n";
    CliResult r = Convert({"--match", "precise"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "総データ数 2\n住所が空のデータ 0\n変換データ数 2\n未変換 0\n見出し行 1\n" + codes);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(file), heading + Sjis("a,530-0001,大阪府大阪市北区梅田,1\r\n"
                                             "b,530-0001,大阪府大阪市北区梅田,2\r\n"));

    std::filesystem::remove(backup);
    WriteFile(file, heading + records);
    r = Convert({"--match", "precise", "--header", "no", "--dry-run"});
    EXPECT_EQ(r.out, "総データ数 3\n住所が空のデータ 0\n変換データ数 2\n未変換 1\n" + codes);
    EXPECT_EQ(r.err, "line 1: 市区町村が見つかりません 0 住所\n");

    // A heading the table does not know, named by the user, with fewer fields than the records:
    // no field-count warning.
    WriteFile(file, Sjis("お名前,送り先\r\n") + records);
    r = Convert({"--header", "yes", "--dry-run"});
    EXPECT_EQ(r.out, "総データ数 2\n住所が空のデータ 0\n変換データ数 2\n未変換 0\n見出し行 1\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Convert({"--header", "maybe"}).status, 2);
}

// A UTF-8 book with a byte-order mark and LF line ends is converted as its Shift-JIS form is
// and written back in its own format; the report keeps the output's encoding rules.
TEST_F(ConvertCommand, Utf8BookKeepsItsFormat)
{
    std::string utf8 = "\xEF\xBB\xBF"
                       "a,,大阪府大阪市北区梅田\nb,1,\nc,2,不明町1\n"
                       "\"d e\",,札幌市中央区北一条西\n";
    WriteFile(file, utf8);
    const CliResult r = Convert({});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "総データ数 4\n住所が空のデータ 1\n変換データ数 1\n未変換 2\n");
    EXPECT_EQ(r.err, "line 3: 3 0 不明町\nline 4: 1 2 札幌市中央区北一条西\n");
    EXPECT_EQ(ReadFile(backup), utf8);
    EXPECT_EQ(ReadFile(file), "\xEF\xBB\xBF"
                              "a,5300001,大阪府大阪市北区梅田\nb,1,\nc,2,不明町1\n"
                              "\"d e\",,札幌市中央区北一条西\n");

    // Read as Shift-JIS on request: nothing matches, nothing is written.
    WriteFile(file, utf8);
    std::filesystem::remove(backup);
    const CliResult forced = Convert({"--encoding", "sjis", "--dry-run"});
    EXPECT_EQ(forced.status, 0);
    EXPECT_NE(forced.out.find("変換データ数 0"), std::string::npos);
}

} // namespace
} // namespace kompa::test

namespace kompa::test {
namespace {

// Precise matching from the command line: the report's line per record, --dry-run writing
// nothing, and an address query's precise answer before the address search's lines.
TEST(PreciseCommandLine, ReportsEachRecordAndAnswersQueries)
{
    TempDir dir;
    const std::string book = dir.File("book.csv"), report = dir.File("report.tsv");
    const std::string text = Sjis("a,,埼玉県神川町中新里2720\r\nb,,札幌市中央区大通西\r\nc,,\r\n");
    WriteFile(book, text);
    CliResult r = RunCli({"convert", "--dict", KOMPA_BIN_DIR, "--post-col", "2", "--addr-col", "3",
                          "--report", report, "--dry-run", book});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(book), text);
    EXPECT_EQ(ReadFile(report), "1\t\t3670231\tnew\ttown\t1\n"
                                "2\t\t\tleft\ttwice-in-city\t2\n"
                                "3\t\t\tblank\tblank\t0\n");
    EXPECT_EQ(r.out, "総データ数 3\n住所が空のデータ 1\n変換データ数 1\n未変換 1\n"
                     "新規 1\n変更 0\nうち辞書にない番号 0\n維持 0\n");

    // A company column: the office's own code where its name and address are one office's, the
    // area's code where the address is another (or the name another office's).
    WriteFile(book, Sjis("a,,東京都千代田区霞が関2-1-2,総務省\r\n"
                         "b,,大阪府大阪市北区梅田1-1-3,総務省\r\n"
                         "c,,千代田区九段南1-2-1,総務省　関東総合通信局\r\n"));
    r = RunCli({"convert", "--dict", KOMPA_BIN_DIR, "--post-col", "2", "--addr-col", "3",
                "--office-col", "4", "--report", "-", "--dry-run", book});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("総データ数")),
              "1\t\t1008926\tnew\toffice\t1\n2\t\t5300001\tnew\ttown\t1\n"
              "3\t\t1028795\tnew\toffice\t1\n");
    EXPECT_NE(r.out.find("事業所の番号 2\n"), std::string::npos);

    // As JSON: each record an object, then the counts, all on standard output.
    r = RunCli({"convert", "--dict", KOMPA_BIN_DIR, "--post-col", "2", "--addr-col", "3",
                "--office-col", "4", "--report", "-", "--format", "json", "--dry-run", book});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
              R"({"line":1,"before":"","after":"1008926","outcome":"new","stale":false,)"
              R"("rule":"office","candidates":1})"
              "\n");
    EXPECT_NE(r.out.find(R"({"counts":{"records":3,"blank":0,"converted":3,"left":0,"new":3,)"
                         R"("replaced":0,"stale":0,"kept":0,"office":2}})"
                         "\n"),
              std::string::npos)
        << r.out;

    r = RunCli({"address", "--dict", KOMPA_BIN_DIR, "--match", "precise", "神川町中新里2720"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "=\t3670231\ttown\t町名");
    EXPECT_EQ(RunCli({"address", "--match", "exact", "x"}).status, 2);
}

} // namespace
} // namespace kompa::test
