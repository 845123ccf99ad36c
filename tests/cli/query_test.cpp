// The query commands against dictionaries built from a small source.

#include <gtest/gtest.h>

#include "cli/run_cli.h"
#include "engine/dictionary/dictionary.h"

namespace kompa::test {
namespace {

class QueryCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string source = dir.File("KEN_ALL.CSV");
        WriteFile(source, MinistryLine("1000001", "東京都", "千代田区", "千代田") +
                              MinistryLine("1000005", "東京都", "千代田区", "丸の内") +
                              MinistryLine("1006290", "東京都", "千代田区", "丸の内ＪＰタワー") +
                              MinistryLine("0600001", "北海道", "札幌市中央区", "北一条西") +
                              MinistryLine("9200937", "石川県", "金沢市", "丸の内") +
                              MinistryLine("3501105", "埼玉県", "川越市", "霞ケ関北"));
        test::BuildPair(source, dir.Path().string());
    }

    CliResult Run(std::vector<std::string> args, const std::string& input = {})
    {
        args.insert(args.begin() + 1, {"--dict", dir.Path().string()});
        return RunCli(args, input);
    }

    TempDir dir;
};

TEST_F(QueryCommands, CodeListsTheCodesBeginningWithTheText)
{
    auto r = Run({"code", "1000001", "100", "12", "100-000"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "#\t-\t1\t1000001\n1000001 千代田区千代田\n"
                     "#\t-\t3\t100\n1000001 千代田区千代田\n1000005 千代田区丸の内\n"
                     "1006290 千代田区丸の内ＪＰタワー\n"
                     "#\t-\t0\t12\n"
                     "#\t-\t0\t100-000\n");

    r = Run({"code", "--ken", "060"});
    EXPECT_EQ(r.out, "#\t-\t1\t060\n0600001 北海道札幌市中央区北一条西\n");
}

TEST_F(QueryCommands, AddressReportsLevelAndFinalSearchForm)
{
    auto r = Run({"address", "東京都 千代田区丸の内１－２", "川越市霞ヶ関北５", "千代田区永田町",
                  "千葉市", "１２３"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              // found
              "#\t1\t2\t千代田区丸の内\n1000005 千代田区丸の内\n1006290 千代田区丸の内ＪＰタワー\n"
              // found after exchanging ヶ and ケ: the key is the exchanged form
              "#\t2\t1\t川越市霞ケ関北\n3501105 川越市霞ケ関北\n"
              // unknown town: shortened to the longest shared whole characters
              "#\t5\t3\t千代田区\n1000001 千代田区千代田\n1000005 千代田区丸の内\n"
              "1006290 千代田区丸の内ＪＰタワー\n"
              // only one shared character: nothing
              "#\t3\t0\t千葉市\n"
              // no search form: level 0 with an empty key
              "#\t0\t0\t\n");

    r = Run({"address", "--ken", "石川県金沢市丸の内"});
    EXPECT_EQ(r.out, "#\t1\t1\t金沢市丸の内\n9200937 石川県金沢市丸の内\n");
}

TEST_F(QueryCommands, AllSearchesEveryBlockInIndexOrder)
{
    // 金 (key $E08B) comes before 千 (key $E790).
    auto r = Run({"all", "丸の内", "丸"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "#\t-\t3\t丸の内\n9200937 金沢市丸の内\n1000005 千代田区丸の内\n"
                     "1006290 千代田区丸の内ＪＰタワー\n"
                     "#\t-\t3\t丸\n9200937 金沢市丸の内\n1000005 千代田区丸の内\n"
                     "1006290 千代田区丸の内ＪＰタワー\n");
}

TEST_F(QueryCommands, CodesAsPeopleWriteThem)
{
    const std::string chiyoda = "#\t-\t1\t1000001\n1000001 千代田区千代田\n";
    EXPECT_EQ(Run({"find", "100-0001", "〒１００－０００１"}).out, chiyoda + chiyoda);
    EXPECT_EQ(Run({"code", " 100ー0001"}).out, chiyoda);
}

TEST_F(QueryCommands, FindDecidesLikeTheSearchWindow)
{
    auto r =
        Run({"find", "1000001999", "千代田区千代田", "東京都丸の内", "", "000", "-12", "--", "-x"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              // a code: the key is the first seven bytes
              "#\t-\t1\t1000001\n1000001 千代田区千代田\n"
              "#\t1\t1\t千代田区千代田\n1000001 千代田区千代田\n"
              // not in the block of 丸: the whole-file search without the prefecture, the key
              // as typed and the level of the address search
              "#\t3\t3\t東京都丸の内\n9200937 金沢市丸の内\n1000005 千代田区丸の内\n"
              "1006290 千代田区丸の内ＪＰタワー\n"
              "#\t0\t0\t\n"
              // 000 and -12 (a number, so no option) are not codes of at least 1
              "#\t0\t0\t000\n"
              "#\t0\t0\t-12\n"
              "#\t0\t0\t-x\n");
}

TEST_F(QueryCommands, JsonGivesEachQueryOneObjectOnALine)
{
    auto r = Run({"address", "--format", "json", "千代田区丸の内１", "１２３"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              R"({"query":"千代田区丸の内１","key":"千代田区丸の内","level":"found","lines":[)"
              R"({"code":"1000005","prefecture":"東京都","address":"千代田区丸の内"},)"
              R"({"code":"1006290","prefecture":"東京都","address":"千代田区丸の内ＪＰタワー"}]})"
              "\n"
              R"({"query":"１２３","key":"","level":"too-short","lines":[]})"
              "\n");

    // find says which search answered; --match precise adds the precise answer.
    r = Run({"find", "--format", "json", "--match", "precise", "千代田区"});
    EXPECT_EQ(r.out,
              R"({"query":"千代田区","search":"address","key":"千代田区","level":"found",)"
              R"("lines":[{"code":"1000001","prefecture":"東京都","address":"千代田区千代田"},)"
              R"({"code":"1000005","prefecture":"東京都","address":"千代田区丸の内"},)"
              R"({"code":"1006290","prefecture":"東京都","address":"千代田区丸の内ＪＰタワー"}],)"
              R"("precise":{"code":null,"rule":null,"reason":"no-city",)"
              R"("text":"市区町村が見つかりません"}})"
              "\n");
    r = RunCli({"address", "--dict", KOMPA_BIN_DIR, "--format", "json", "--match", "precise",
                "東京都千代田区霞が関１－１"});
    EXPECT_NE(r.out.find(R"(,"precise":{"code":"1000013","rule":"not-building","reason":null,)"
                         R"("text":"ビル以外"}}
)"),
              std::string::npos)
        << r.out;

    // A failed query is an object too; a wrong format is a usage error.
    r = RunCli({"all", "--format", "json", "--dict", "/nonexistent", "丸"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, R"({"query":"丸","error":"ﾌｧｲﾙ /nonexistent/KOMPA.DIC は開けません"})"
                     "\n");
    EXPECT_EQ(Run({"code", "--format", "csv", "100"}).status, 2);
}

TEST_F(QueryCommands, NormalizeNeedsNoDictionary)
{
    auto r = RunCli({"normalize", "--dict", "/nonexistent", "東京都 千代田区丸の内１－２", "abc"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "#\t-\t1\t東京都 千代田区丸の内１－２\n千代田区丸の内\n#\t-\t1\tabc\n\n");
}

TEST_F(QueryCommands, StandardInputLinesAreQueries)
{
    // CR LF, LF, an empty line, a last line without LF.
    auto r = Run({"code"}, "1000001\r\n060\n\n12");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "#\t-\t1\t1000001\n1000001 千代田区千代田\n"
                     "#\t-\t1\t060\n0600001 札幌市中央区北一条西\n"
                     "#\t-\t0\t\n"
                     "#\t-\t0\t12\n");

    EXPECT_EQ(Run({"code"}, "").out, "");
    // Arguments win over standard input.
    EXPECT_EQ(Run({"code", "12"}, "1000001\n").out, "#\t-\t0\t12\n");
}

TEST_F(QueryCommands, SjisPassesBytesThroughUnchanged)
{
    auto r = Run({"address", "--sjis", Sjis("千代田区千代田")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Sjis("#\t1\t1\t千代田区千代田\n1000001 千代田区千代田\n"));

    r = Run({"find", "--sjis"}, Sjis("東京都千代田区丸の内\r\n"));
    EXPECT_EQ(r.out, Sjis("#\t1\t2\t東京都千代田区丸の内\n1000005 千代田区丸の内\n"
                          "1006290 千代田区丸の内ＪＰタワー\n"));
}

TEST_F(QueryCommands, UnmappableInputIsAUsageErrorAndNothingRuns)
{
    auto r = Run({"find", "1000001", "千代田区\xF0\x9F\x98\x80"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("U+1F600"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usage: kompa-cli find"), std::string::npos);

    r = Run({"code"}, "1000001\n\xE2\x82\xAC\n"); // the euro sign has no CP932 form
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("line 2: no Shift-JIS form for '\xE2\x82\xAC' (U+20AC)"),
              std::string::npos)
        << r.err;

    r = Run({"code", "\xFF"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("0xFF"), std::string::npos) << r.err;

    // A code query no block can answer (a negative number) is no query either.
    r = Run({"code"}, "100\n-12\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("line 2: '-12' is not a postal code"), std::string::npos) << r.err;
}

TEST(QueryOutput, InvalidShiftJisBecomesReplacementCharacters)
{
    TempDir dir;
    // An unassigned pair, and a lead byte before a byte that cannot trail it: the "!" survives.
    WriteFile(dir.File("src.csv"),
              MinistryLine("1000001", "東京都", "千代田区", Sjis("千代田") + "\x85\x40\x81!"));
    test::BuildPair(dir.File("src.csv"), dir.Path().string());

    auto r = RunCli({"code", "--dict", dir.Path().string(), "1000001"});
    EXPECT_EQ(r.out, "#\t-\t1\t1000001\n1000001 千代田区千代田\xEF\xBF\xBD\xEF\xBF\xBD!\n");
    r = RunCli({"code", "--sjis", "--dict", dir.Path().string(), "1000001"});
    EXPECT_EQ(r.out, Sjis("#\t-\t1\t1000001\n1000001 千代田区千代田") + "\x85\x40\x81!\n");
}

} // namespace
} // namespace kompa::test
