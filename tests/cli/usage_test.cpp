// Usage contract: help on stdout with status 0, usage errors on stderr with status 2. What
// main() decides before any command runs is tried on the program itself.

#include <gtest/gtest.h>

#include "cli/run_cli.h"

namespace kompa::test {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

TEST(Usage, HelpGoesToStandardOutput)
{
    auto r = SpawnCli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(StartsWith(r.out, "usage: kompa-cli")) << r.out;
    EXPECT_EQ(r.err, "");

    for (const char* command : {"build", "code", "address", "all", "find", "normalize"}) {
        r = RunCli({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_TRUE(StartsWith(r.out, std::string("usage: kompa-cli ") + command)) << r.out;
        EXPECT_EQ(r.err, "") << command;
    }
    r = SpawnCli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(StartsWith(r.out, "kompa-cli 1.")) << r.out;

    // Help wins over the rest, and runs nothing.
    r = RunCli({"build", "/nonexistent.csv", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST(Usage, ErrorsGoToStandardErrorWithStatus2)
{
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"frobnicate"},
        {"build"},
        {"build", "a.csv", "dir", "extra"},
        {"build", "--force", "a.csv"},
        {"find", "--dict"},
        {"find", "--bogus", "1000001"},
        {"code", "--ken=yes", "1000001"},
        {"code", "-k", "1000001"},
    };
    for (const auto& args : wrong) {
        // No command, or an unknown one, is main()'s to refuse.
        auto r =
            args.empty() || args[0] == "frobnicate" ? SpawnCli(args) : RunCli(args, "1000001\n");
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: kompa-cli"), std::string::npos) << r.err;
    }
}

} // namespace
} // namespace kompa::test
