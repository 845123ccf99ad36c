// kompa-cli update: refreshes the dictionaries a user reads, without administrator rights.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "build_operands.h"
#include "codec.h"
#include "commands.h"
#include "engine/dictionary/data_dirs.h"
#include "engine/io/errors.h"

namespace kompa::cli {
namespace {

constexpr char kUsage[] =
    "usage: kompa-cli update [--office OFFICE] [SOURCE [SOURCE2]]\n"
    "Builds the dictionaries from the ministry's data files into the per-user data\n"
    "directory ($XDG_DATA_HOME/kompa, by default ~/.local/share/kompa), creating it,\n"
    "and prints where they went: KOMPA.DIC and VELDA.DIC from the postal-code file,\n"
    "OFFICE.DIC from the business-office file (told from its content, or named by\n"
    "--office). Given both, all three are replaced together; given one, only its\n"
    "own. OFFICE.DIC alone into a directory without KOMPA.DIC and VELDA.DIC takes\n"
    "along a copy of the pair in use, beside which it is read. From then on the\n"
    "query commands and the desktop program read the dictionaries from there. On\n"
    "failure the message goes to standard error (exit status 1) and every\n"
    "dictionary is left as it was. When the report cannot be printed, standard\n"
    "error says so; the status stays 0.\n"
    "  --office OFFICE  the business-office file, whatever its content looks like\n"
    "  --help           show this help\n";

std::string WrittenNames(const TBuiltFiles& built)
{
    if (built.pair && built.offices)
        return "KOMPA.DIC, VELDA.DIC and OFFICE.DIC";
    return built.pair ? "KOMPA.DIC and VELDA.DIC" : "OFFICE.DIC";
}

} // namespace

int RunUpdate(int argc, char** argv)
{
    BuildOperands operands;
    if (int status = ParseBuildOperands(argc, argv, "update", kUsage, false, operands); status >= 0)
        return status;
    std::vector<std::string> named = operands.NamedFiles();
    named.push_back(UserDataDir());
    TUserUpdate update;
    try {
        std::vector<TBuildSource> sources;
        for (const BuildOperands::Source& source : operands.sources)
            sources.push_back(ReadBuildSource(source.fileName, source.office));
        update = UpdateUserDictionaries(sources);
    } catch (const std::exception& e) {
        // The message names a source or a file in the per-user directory.
        return ReportBuildFailure(e, named);
    }
    // The dictionaries are in place: a report that cannot be written changes nothing of that.
    std::printf("%s written to %s", WrittenNames(update.built).c_str(), update.dir.c_str());
    if (!update.pairCopiedFrom.empty())
        std::printf(", with KOMPA.DIC and VELDA.DIC copied from %s", update.pairCopiedFrom.c_str());
    std::printf("\n");
    if (std::fflush(stdout) != 0)
        std::fprintf(stderr,
                     "kompa-cli: update: the dictionaries were written to %s, but this report "
                     "could not be printed: %s\n",
                     update.dir.c_str(), std::strerror(errno));
    return 0;
}

} // namespace kompa::cli
