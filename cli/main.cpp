// kompa-cli: the dictionary build and the queries of the desktop program, for scripts.
// Reads no configuration; of the environment only where the per-user dictionaries live
// ($XDG_DATA_HOME, $HOME). Every other choice is on the command line. The commands are in the
// kompa_cli library (commands.h); this file only picks one.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "commands.h"

namespace kompa::cli {
namespace {

void PrintUsage(std::FILE* to)
{
    std::fputs("usage: kompa-cli COMMAND [ARGS...]\n       kompa-cli COMMAND --help\n"
               "       kompa-cli --version\ncommands:\n",
               to);
    for (const Command& command : Commands())
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
    if (const Command* command = FindCommand(name))
        return command->run(argc - 1, argv + 1);
    std::fprintf(stderr, "kompa-cli: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
