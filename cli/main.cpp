// kompa-cli: the dictionary build and the queries of the desktop program, for scripts.
// Reads no configuration; of the environment only where the per-user dictionaries live
// ($XDG_DATA_HOME, $HOME). Every other choice is on the command line.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "commands.h"

namespace kompa::cli {
namespace {

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* synopsis;
};

// The command table. A new command is one source file defining its Run function (declared in
// commands.h) plus one line here. `convert` lives in cmd_convert.cpp; until that file exists its
// weak entry is null and the command is left out.
const Command kCommands[] = {
    {"build", RunBuild, "build [--office OFFICE] [SOURCE [SOURCE2]] [DIR]"},
    {"update", RunUpdate, "update [--office OFFICE] [SOURCE [SOURCE2]]"},
    {"code", RunCode, "code [--dict DIR] [--ken] [--sjis] [CODE...]"},
    {"address", RunAddress, "address [--dict DIR] [--ken] [--sjis] [ADDRESS...]"},
    {"all", RunAll, "all [--dict DIR] [--ken] [--sjis] [TEXT...]"},
    {"find", RunFind, "find [--dict DIR] [--ken] [--sjis] [TEXT...]"},
    {"office", RunOffice, "office [--dict DIR] [--ken] [--sjis] [NAME...]"},
    {"normalize", RunNormalize, "normalize [--sjis] [ADDRESS...]"},
    {"convert", RunConvert,
     "convert [--dict DIR] [--ken] [--sjis] --post-col N --addr-col M [...] FILE"},
};

void PrintUsage(std::FILE* to)
{
    std::fputs("usage: kompa-cli COMMAND [ARGS...]\n       kompa-cli COMMAND --help\n"
               "       kompa-cli --version\ncommands:\n",
               to);
    for (const Command& command : kCommands)
        if (command.run != nullptr)
            std::fprintf(to, "  kompa-cli %s\n", command.synopsis);
}

} // namespace
} // namespace kompa::cli

int main(int argc, char** argv)
{
    using namespace kompa::cli;
    // The one variable the C library would read behind our back: where the CP932 converter is
    // loaded from. Never setlocale(): the locale variables stay without effect.
    unsetenv("GCONV_PATH");
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return 0;
    }
    if (name == "--version") {
        std::fputs("kompa-cli " KOMPA_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    for (const Command& command : kCommands)
        if (command.run != nullptr && name == command.name)
            return command.run(argc - 1, argv + 1);
    std::fprintf(stderr, "kompa-cli: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
