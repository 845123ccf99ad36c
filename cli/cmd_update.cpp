// kompa-cli update: refreshes the dictionaries a user reads, without administrator rights.

#include <cstdio>
#include <exception>

#include "codec.h"
#include "commands.h"
#include "engine/data_dirs.h"
#include "engine/errors.h"
#include "options.h"

namespace kompa::cli {
namespace {

constexpr char kUsage[] =
    "usage: kompa-cli update SOURCE\n"
    "Builds KOMPA.DIC and VELDA.DIC from the ministry postal-code file SOURCE into the\n"
    "per-user data directory ($XDG_DATA_HOME/kompa, by default ~/.local/share/kompa),\n"
    "creating it, and prints where they went. From then on the query commands and the\n"
    "desktop program read the dictionaries from there. On failure the message goes to\n"
    "standard error (exit status 1) and both dictionaries are left as they were.\n"
    "  --help  show this help\n";

} // namespace

int RunUpdate(int argc, char** argv)
{
    ParsedArgs args;
    if (int status = ParseOperandsOnly(argc, argv, "update", kUsage, 1, args); status >= 0)
        return status;

    const std::string& source = args.operands[0];
    try {
        const std::string dir = UpdateUserDictionaries(source);
        std::printf("KOMPA.DIC and VELDA.DIC written to %s\n", dir.c_str());
    } catch (const Exception& e) {
        // The message names either the source or a file in the per-user directory.
        const std::string& message = e.Message();
        const std::string named =
            message.find(source) != std::string::npos ? source : UserDataDir();
        std::fprintf(stderr, "kompa-cli: %s\n", MessageToUtf8(message, named).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kompa-cli: %s\n", e.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace kompa::cli
