// kompa-cli build: the desktop program's dictionary-build command, for scripts and the build.

#include <cstdio>
#include <exception>

#include "codec.h"
#include "commands.h"
#include "engine/dictionary.h"
#include "engine/dictionary_build.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "options.h"

namespace kompa::cli {
namespace {

constexpr char kUsage[] =
    "usage: kompa-cli build SOURCE [DIR]\n"
    "Builds DIR/KOMPA.DIC and DIR/VELDA.DIC from the ministry postal-code file\n"
    "SOURCE: the Shift-JIS CSV, its UTF-8 edition (CR LF or LF), or the ZIP archive\n"
    "holding either. DIR defaults to the directory of SOURCE. Prints nothing on\n"
    "success; on failure the message goes to standard error (exit status 1) and\n"
    "both dictionary files are left as they were.\n"
    "  --help  show this help\n";

} // namespace

int RunBuild(int argc, char** argv)
{
    ParsedArgs args;
    if (int status = ParseOperandsOnly(argc, argv, "build", kUsage, 2, args); status >= 0)
        return status;

    const std::string& source = args.operands[0];
    const std::string dir =
        args.operands.size() == 2 ? args.operands[1] : io::DirectoryPart(source);
    try {
        MakeDictionaries(source, dir);
    } catch (const std::exception& e) {
        return ReportBuildFailure(e, {source, JoinPath(dir, kAddressDictName),
                                      JoinPath(dir, kCodeDictName),
                                      JoinPath(dir, kDictionarySetName)});
    }
    return 0;
}

} // namespace kompa::cli
