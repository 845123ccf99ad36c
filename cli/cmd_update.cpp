// kompa-cli update: refreshes the dictionaries a user reads, without administrator rights.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "codec.h"
#include "commands.h"
#include "engine/data_dirs.h"
#include "engine/dictionary.h"
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
    "standard error (exit status 1) and both dictionaries are left as they were. When\n"
    "the report cannot be printed, standard error says so; the status stays 0.\n"
    "  --help  show this help\n";

} // namespace

int RunUpdate(int argc, char** argv)
{
    ParsedArgs args;
    if (int status = ParseOperandsOnly(argc, argv, "update", kUsage, 1, args); status >= 0)
        return status;

    const std::string& source = args.operands[0];
    std::string dir;
    try {
        dir = UpdateUserDictionaries(source);
    } catch (const std::exception& e) {
        const std::string userDir = UserDataDir();
        return ReportBuildFailure(e, {source, userDir, userDir + kAddressDictName,
                                      userDir + kCodeDictName, userDir + kDictionarySetName});
    }
    // The pair is in place: a report that cannot be written changes nothing of that.
    std::printf("KOMPA.DIC and VELDA.DIC written to %s\n", dir.c_str());
    if (std::fflush(stdout) != 0)
        std::fprintf(stderr,
                     "kompa-cli: update: the dictionaries were written to %s, but this report "
                     "could not be printed: %s\n",
                     dir.c_str(), std::strerror(errno));
    return 0;
}

} // namespace kompa::cli
