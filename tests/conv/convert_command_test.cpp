#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cli/run_cli.h"
#include "support/test_support.h"

// kompa-cli convert as a script runs it, against the dictionary built from the bundled data.
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
                             std::vector<std::string> options)
    {
        std::vector<std::string> args{"convert", "--post-col", post, "--addr-col", addr};
        if (std::find(options.begin(), options.end(), "--dict") == options.end())
            options.insert(options.begin(), {"--dict", dicts.Path().string()});
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(file);
        return RunCli(args);
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
    EXPECT_NE(again.err.find("バックアップを作成出来ません"), std::string::npos);
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
}

TEST_F(ConvertCommand, FailuresAndUsageErrors)
{
    WriteFile(file, Sjis("a,,大阪府大阪市北区梅田\r\nb,,\r\nc\r\n"));
    CliResult r = Convert({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kompa-cli: field counts differ: line 1 has 3, line 3 has 1; converting "
                     "every line anyway\nkompa-cli: ﾘｽﾄのｲﾝﾃﾞｯｸｽが範囲を超えています\n");
    EXPECT_FALSE(std::filesystem::exists(backup));

    // A record lacking the address column fails the run even after records that were
    // skipped: none of them is reported, nothing is counted or written.
    WriteFile(file, Sjis("a,,不明町1\r\nb,,大阪府大阪市北区梅田\r\nc,1\r\n"));
    r = Convert({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kompa-cli: field counts differ: line 1 has 3, line 3 has 2; converting "
                     "every line anyway\nkompa-cli: ﾘｽﾄのｲﾝﾃﾞｯｸｽが範囲を超えています\n");
    EXPECT_FALSE(std::filesystem::exists(backup));

    // So does a record with an address but no postal-code column; a blank one without it
    // passes.
    WriteFile(file, Sjis("東京都\r\n不明町1\r\n大阪府大阪市北区梅田\r\n"));
    r = ConvertColumns("2", "1", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kompa-cli: ﾘｽﾄのｲﾝﾃﾞｯｸｽが範囲を超えています\n");
    WriteFile(file, Sjis("\r\n 1\r\n"));
    r = ConvertColumns("2", "1", {"--dry-run"});
    EXPECT_EQ(r.status, 1) << "the empty line has no address column";
    WriteFile(file, Sjis(" 1\r\n東京都\r\n"));
    r = ConvertColumns("2", "1", {"--dry-run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "総データ数 2\n住所が空のデータ 2\n変換データ数 0\n未変換 0\n");

    WriteFile(file, "");
    r = Convert({"--dict", dir.File("nowhere")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, "");

    WriteFile(file, book);
    EXPECT_EQ(Convert({"--dict", dir.File("nowhere")}).status, 1);
    EXPECT_EQ(ConvertColumns("2", "2", {}).status, 2);
    EXPECT_EQ(ConvertColumns("0", "2", {}).status, 2);
    EXPECT_EQ(Convert({"--read-delims", "semicolon"}).status, 2);
    EXPECT_EQ(Convert({"--output", dir.File("o"), "--dry-run"}).status, 2);
    EXPECT_EQ(ReadFile(file), book);
}

} // namespace
} // namespace kompa::test
