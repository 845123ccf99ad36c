// kompa-cli build: same files as the engine's build, silence on success, the message and an
// untouched old file on failure.

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/run_cli.h"
#include "engine/dictionary/dictionary.h"

namespace kompa::test {
namespace {

std::string Source()
{
    return MinistryLine("1000001", "東京都", "千代田区", "千代田") +
           MinistryLine("0600001", "北海道", "札幌市中央区", "北一条西");
}

TEST(BuildCommand, WritesBothDictionariesAsTheEngineDoes)
{
    TempDir dir, expected;
    WriteFile(dir.File("KEN_ALL.CSV"), Source());
    WriteFile(expected.File("KEN_ALL.CSV"), Source());
    test::BuildPair(expected.File("KEN_ALL.CSV"), expected.Path().string());

    // DIR defaults to the directory of SOURCE.
    auto r = RunCli({"build", dir.File("KEN_ALL.CSV")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(dir.File("KOMPA.DIC")), ReadFile(expected.File("KOMPA.DIC")));
    EXPECT_EQ(ReadFile(dir.File("VELDA.DIC")), ReadFile(expected.File("VELDA.DIC")));

    // A DIR that is not there yet is made, with its parents.
    TempDir other;
    r = RunCli({"build", dir.File("KEN_ALL.CSV"), other.File("new/dicts")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(other.File("new/dicts/VELDA.DIC")), ReadFile(expected.File("VELDA.DIC")));
}

TEST(BuildCommand, FailureReportsTheMessageAndKeepsTheOldFile)
{
    TempDir dir;
    WriteFile(dir.File("KOMPA.DIC"), "old address dictionary");
    WriteFile(dir.File("VELDA.DIC"), "old code dictionary");

    // A title line: the first build stops, neither file changes.
    WriteFile(dir.File("src.csv"), MinistryLine("code", "都道府県", "市", "町") + Source());
    auto r = RunCli({"build", dir.File("src.csv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kompa-cli: line 1: Ken NotFound\n");
    EXPECT_EQ(ReadFile(dir.File("KOMPA.DIC")), "old address dictionary");
    EXPECT_EQ(ReadFile(dir.File("VELDA.DIC")), "old code dictionary");

    // A code that is no number: the code image fails, so neither file is replaced.
    WriteFile(dir.File("src.csv"), MinistryLine("abc0001", "東京都", "千代田区", "千代田"));
    r = RunCli({"build", dir.File("src.csv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kompa-cli: line 1: 'abc' は整数ではありません\n");
    EXPECT_EQ(ReadFile(dir.File("KOMPA.DIC")), "old address dictionary");
    EXPECT_EQ(ReadFile(dir.File("VELDA.DIC")), "old code dictionary");
}

TEST(BuildCommand, FileErrorsNameTheFileAsGiven)
{
    TempDir dir;
    auto r = RunCli({"build", dir.File("missing.csv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kompa-cli: ﾌｧｲﾙ " + dir.File("missing.csv") +
                         " は開けません。ﾌｧｲﾙが見つかりません\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("KOMPA.DIC")));

    // A UTF-8 directory name stays readable inside the converted message; a DIR that cannot
    // be made (under a file) is named.
    WriteFile(dir.File("src.csv"), Source());
    WriteFile(dir.File("辞書"), "");
    const std::string target = dir.File("辞書") + "/none";
    r = RunCli({"build", dir.File("src.csv"), target});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kompa-cli: ﾌｧｲﾙ " + target + " を作成できません\n");
}

} // namespace
} // namespace kompa::test
