// The office dictionary from the command line: build and update with one or both data files,
// office lines after a code's addresses, and the office-name search.

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/run_cli.h"

namespace kompa::test {
namespace {

std::string OfficeLine(const std::string& code, const std::string& name, const char* kind = "0")
{
    return Sjis("13101,\"\",\"" + name + "\",\"東京都\",\"千代田区\",\"霞が関\",\"２－１\",\"" +
                code + "\",\"100  \",\"\"," + kind + ",0,0\r\n");
}

class OfficeCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(dir.File("KEN_ALL.CSV"),
                  MinistryLine("1000001", "東京都", "千代田区", "千代田") +
                      MinistryLine("1008926", "東京都", "千代田区", "霞が関"));
        WriteFile(dir.File("JIGYOSYO.CSV"),
                  OfficeLine("1008926", "総務省") + OfficeLine("1008798", "株式会社　郵便", "1"));
    }
    CliResult Query(std::vector<std::string> args)
    {
        args.insert(args.begin() + 1, {"--dict", dir.Path().string()});
        return RunCli(args);
    }
    TempDir dir;
};

TEST_F(OfficeCommands, BothFilesBuildAllThreeAndOneAloneOnlyItsOwn)
{
    // Either order; the kind comes from the content.
    auto r = RunCli({"build", dir.File("JIGYOSYO.CSV"), dir.File("KEN_ALL.CSV")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string pair = ReadFile(dir.File("KOMPA.DIC")) + ReadFile(dir.File("VELDA.DIC"));
    EXPECT_EQ(ReadFile(dir.File("OFFICE.DIC")).substr(0, 8), "OFFICEV1");

    WriteFile(dir.File("JIGYOSYO.CSV"), OfficeLine("1008926", "総務省　別館"));
    TempDir out;
    r = RunCli({"build", dir.File("JIGYOSYO.CSV"), out.Path().string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out.File("KOMPA.DIC")));
    r = RunCli({"build", "--office", dir.File("JIGYOSYO.CSV")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.File("KOMPA.DIC")) + ReadFile(dir.File("VELDA.DIC")), pair);
    EXPECT_EQ(ReadFile(dir.File("OFFICE.DIC")), ReadFile(out.File("OFFICE.DIC")));

    // A malformed line fails with its number and leaves all three files as they were.
    const std::string offices = ReadFile(dir.File("OFFICE.DIC"));
    WriteFile(dir.File("bad.csv"), OfficeLine("1008926", "総務省") + OfficeLine("100-892", "x"));
    r = RunCli({"build", dir.File("KEN_ALL.CSV"), dir.File("bad.csv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kompa-cli: 2 行目は事業所データとして正しくありません: "
                     "郵便番号が7桁の数字ではありません\n");
    EXPECT_EQ(ReadFile(dir.File("KOMPA.DIC")) + ReadFile(dir.File("VELDA.DIC")), pair);
    EXPECT_EQ(ReadFile(dir.File("OFFICE.DIC")), offices);

    // --office forces the kind: a residential file then fails as an office file.
    r = RunCli({"build", "--office", dir.File("KEN_ALL.CSV"), out.Path().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "kompa-cli: 1 行目は事業所データとして正しくありません: 項目が13個ではありません\n");
    r = RunCli({"build", dir.File("KEN_ALL.CSV"), dir.File("KEN_ALL.CSV")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("はどちらも同じ種類のデータファイルです"), std::string::npos) << r.err;
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"build", dir.File("KEN_ALL.CSV"), dir.File("JIGYOSYO.CSV"),
                                   dir.File("bad.csv")},
          {"build", "--office", "a.csv", "--office", "b.csv"},
          {"update", dir.File("KEN_ALL.CSV"), "b.csv", "c.csv"}})
        EXPECT_EQ(RunCli(wrong).status, 2) << wrong.back();
}

TEST_F(OfficeCommands, CodeAndFindListTheOfficesAfterTheAddressesAndOfficeSearchesNames)
{
    ASSERT_EQ(RunCli({"build", dir.File("KEN_ALL.CSV"), dir.File("JIGYOSYO.CSV")}).status, 0);
    const std::string soumu = "1008926 ［事業所］総務省 千代田区霞が関２－１\n";
    auto r = Query({"code", "1008926", "100", "1000001"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "#\t-\t2\t1008926\n1008926 千代田区霞が関\n" + soumu +
                         "#\t-\t4\t100\n1000001 千代田区千代田\n1008926 千代田区霞が関\n" + soumu +
                         "1008798 ［私書箱］株式会社　郵便 千代田区霞が関２－１\n"
                         "#\t-\t1\t1000001\n1000001 千代田区千代田\n");
    r = Query({"find", "--ken", "〒100-8926"});
    EXPECT_EQ(r.out, "#\t-\t2\t1008926\n1008926 東京都千代田区霞が関\n"
                     "1008926 ［事業所］総務省 東京都千代田区霞が関２－１\n");
    r = Query({"office", "(株)郵便", "ｿｳﾑ", "総務"});
    EXPECT_EQ(r.out, "#\t-\t1\t(株)郵便\n1008798 ［私書箱］株式会社　郵便 千代田区霞が関２－１\n"
                     "#\t-\t0\tｿｳﾑ\n#\t-\t1\t総務\n" +
                         soumu);

    // As JSON, an office's line is split into its kind, its name and its address.
    r = Query({"code", "--format", "json", "1008798"});
    EXPECT_EQ(r.out, R"({"query":"1008798","key":"1008798","level":null,"lines":[)"
                     R"({"code":"1008798","prefecture":"東京都","address":"千代田区霞が関２－１",)"
                     R"("office":{"kind":"post-office-box","name":"株式会社　郵便"}}]})"
                     "\n");

    // Without OFFICE.DIC the code query answers as the pair alone, and office fails.
    std::filesystem::remove(dir.File("OFFICE.DIC"));
    r = Query({"code", "1008926"});
    EXPECT_EQ(r.out, "#\t-\t1\t1008926\n1008926 千代田区霞が関\n");
    r = Query({"office", "総務"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "!\tﾌｧｲﾙ " + dir.File("OFFICE.DIC") + " は開けません\n");
}

TEST_F(OfficeCommands, UpdateOfAnOfficeFileAloneTakesThePairInUseAlong)
{
    const std::vector<std::string> env = {"XDG_DATA_HOME=" + dir.File("xdg")};
    const std::string userDir = dir.File("xdg") + "/kompa/";
    auto r = RunCli({"update", dir.File("JIGYOSYO.CSV")}, {}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "OFFICE.DIC written to " + userDir +
                         ", with KOMPA.DIC and VELDA.DIC copied from " KOMPA_BIN_DIR "/\n");
    EXPECT_EQ(ReadFile(userDir + "VELDA.DIC"), ReadFile(KOMPA_BIN_DIR "/VELDA.DIC"));
    r = RunCli({"code", "1008798"}, {}, env);
    EXPECT_EQ(r.out, "#\t-\t1\t1008798\n1008798 ［私書箱］株式会社　郵便 千代田区霞が関２－１\n");

    r = RunCli({"update", dir.File("KEN_ALL.CSV"), dir.File("JIGYOSYO.CSV")}, {}, env);
    EXPECT_EQ(r.out, "KOMPA.DIC, VELDA.DIC and OFFICE.DIC written to " + userDir + "\n");
    r = RunCli({"update", dir.File("JIGYOSYO.CSV")}, {}, env);
    EXPECT_EQ(r.out, "OFFICE.DIC written to " + userDir + "\n");
    r = RunCli({"code", "1008926"}, {}, env);
    EXPECT_EQ(r.out, "#\t-\t2\t1008926\n1008926 千代田区霞が関\n"
                     "1008926 ［事業所］総務省 千代田区霞が関２－１\n");
}

} // namespace
} // namespace kompa::test
