// kompa-cli build: the desktop program's dictionary-build command, for scripts and the build.

#include <cstdio>
#include <exception>
#include <filesystem>

#include "codec.h"
#include "commands.h"
#include "engine/dictionary.h"
#include "engine/dictionary_build.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/messages.h"
#include "options.h"

namespace kompa::cli {
namespace {

constexpr char kUsage[] =
    "usage: kompa-cli build SOURCE [DIR]\n"
    "Builds DIR/KOMPA.DIC and DIR/VELDA.DIC from the ministry postal-code file\n"
    "SOURCE: the Shift-JIS CSV, its UTF-8 edition (CR LF or LF), or the ZIP archive\n"
    "holding either. DIR defaults to the directory of SOURCE and is created when\n"
    "missing (with its parents). Prints nothing on\n"
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
        // As a build into a directory that is not there yet is meant: make it, like mkdir -p.
        // A source that is not there fails in the build, before anything is created.
        std::error_code error;
        if (!dir.empty() && io::FileExists(source) && !std::filesystem::is_directory(dir, error) &&
            !std::filesystem::create_directories(dir, error) &&
            !std::filesystem::is_directory(dir, error))
            Raise(FormatMessage(msg::kFileCreateError, dir));
        MakeDictionaries(source, dir);
    } catch (const Exception& e) {
        // The message names the file that failed, if any: keep that name's bytes as given.
        std::string named = dir;
        for (const std::string& file :
             {JoinPath(dir, kCodeDictName), JoinPath(dir, kAddressDictName)})
            if (e.Message().find(file) != std::string::npos)
                named = file;
        std::fprintf(stderr, "kompa-cli: %s\n", MessageToUtf8(e.Message(), named).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kompa-cli: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace kompa::cli
