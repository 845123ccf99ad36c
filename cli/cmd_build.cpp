// kompa-cli build: the desktop program's dictionary-build command, for scripts and the build.

#include <cstdio>
#include <exception>
#include <filesystem>

#include "build_operands.h"
#include "codec.h"
#include "commands.h"
#include "engine/dictionary/dictionary_build.h"
#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/io/messages.h"

namespace kompa::cli {
namespace {

constexpr char kUsage[] =
    "usage: kompa-cli build [--office OFFICE] [SOURCE [SOURCE2]] [DIR]\n"
    "Builds the dictionaries into DIR from the ministry's data files: KOMPA.DIC and\n"
    "VELDA.DIC from the postal-code file (KEN_ALL.CSV), OFFICE.DIC from the\n"
    "business-office file (JIGYOSYO.CSV). Each file is the Shift-JIS CSV, its UTF-8\n"
    "edition (CR LF or LF), or the ZIP archive holding either; which of the two it\n"
    "is comes from its content, or --office names the business-office file. Given\n"
    "both, all three dictionaries are replaced together; given one, only its own.\n"
    "DIR defaults to the directory of the first file; a last operand that is no\n"
    "existing file is DIR, created when missing (with its parents). Prints nothing\n"
    "on success; on failure the message goes to standard error (exit status 1) and\n"
    "every dictionary file is left as it was.\n"
    "  --office OFFICE  the business-office file, whatever its content looks like\n"
    "  --help           show this help\n";

} // namespace

int RunBuild(int argc, char** argv)
{
    BuildOperands operands;
    if (int status = ParseBuildOperands(argc, argv, "build", kUsage, true, operands); status >= 0)
        return status;
    try {
        std::vector<TBuildSource> sources;
        for (const BuildOperands::Source& source : operands.sources)
            sources.push_back(ReadBuildSource(source.fileName, source.office));
        // A build into a directory that is not there yet is meant: make it, like mkdir -p.
        // The sources are read first, so a missing source fails before anything is created.
        std::error_code error;
        if (!operands.dir.empty() && !std::filesystem::is_directory(operands.dir, error) &&
            !std::filesystem::create_directories(operands.dir, error) &&
            !std::filesystem::is_directory(operands.dir, error))
            Raise(FormatMessage(msg::kFileCreateError, operands.dir));
        MakeDictionaryFiles(sources, operands.dir);
    } catch (const std::exception& e) {
        return ReportBuildFailure(e, operands.NamedFiles());
    }
    return 0;
}

} // namespace kompa::cli
