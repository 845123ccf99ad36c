// kompa-cli update: the pair goes into the per-user directory, and the queries read it from there.

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/run_cli.h"
#include "tests/engine/dictionary_fixture.h"

namespace kompa::test {
namespace {

TEST(UpdateCommand, BuildsIntoTheUserDirectoryAndQueriesReadFromIt)
{
    TempDir data;
    WriteFile(data.File("KEN_ALL.CSV"), MinistryLine("9990001", "東京都", "千代田区", "千代田"));
    const std::vector<std::string> env = {"XDG_DATA_HOME=" + data.File("xdg")};
    const std::string userDir = data.File("xdg") + "/kompa/";

    auto r = RunCli({"update", data.File("KEN_ALL.CSV")}, {}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "KOMPA.DIC and VELDA.DIC written to " + userDir + "\n");

    // The bundled pair beside the program knows no 9990001; the user's pair does.
    r = RunCli({"find", "9990001"}, {}, env);
    EXPECT_EQ(r.out, "#\t-\t1\t9990001\n9990001 千代田区千代田\n");
    EXPECT_NE(RunCli({"find", "--help"}, {}, env).out.find("now " + userDir), std::string::npos);
    // --dict still overrides.
    r = RunCli({"find", "--dict", KOMPA_BIN_DIR, "9990001"}, {}, env);
    EXPECT_EQ(r.out, "#\t-\t0\t9990001\n");
}

TEST(UpdateCommand, MissingSourceFailsAndCreatesNothing)
{
    TempDir data;
    const auto r =
        RunCli({"update", data.File("none.csv")}, {}, {"XDG_DATA_HOME=" + data.File("xdg")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err, "");
    EXPECT_FALSE(std::filesystem::exists(data.File("xdg")));
    EXPECT_NE(r.err.find(data.File("none.csv")), std::string::npos) << r.err;
    EXPECT_EQ(RunCli({"update"}).status, 2);
}

TEST(UpdateCommand, AReportThatCannotBePrintedDoesNotUndoTheUpdate)
{
    TempDir data;
    WriteFile(data.File("src.csv"), MinistryLine("1000001", "東京都", "千代田区", "千代田"));
    const auto r = RunCli({"update", data.File("src.csv")}, {},
                          {"XDG_DATA_HOME=" + data.File("xdg")}, "/dev/full");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("could not be printed"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(data.File("xdg/kompa/VELDA.DIC")));
}

} // namespace
} // namespace kompa::test
