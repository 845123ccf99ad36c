// kompa-cli build: the desktop program's dictionary-build command, for scripts and the build.

#include <cstdio>
#include <exception>

#include "codec.h"
#include "commands.h"
#include "engine/dictionary.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "options.h"

namespace kompa::cli {
namespace {

void PrintUsage(std::FILE* to)
{
    std::fputs("usage: kompa-cli build SOURCE [DIR]\n"
               "Builds DIR/KOMPA.DIC, then DIR/VELDA.DIC, from the ministry postal-code file\n"
               "SOURCE (Shift-JIS CSV). DIR defaults to the directory of SOURCE. Prints nothing\n"
               "on success; on failure the message goes to standard error (exit status 1) and\n"
               "the dictionary file being built is left as it was.\n"
               "  --help  show this help\n",
               to);
}

int UsageError(const std::string& reason)
{
    std::fprintf(stderr, "kompa-cli: build: %s\n", reason.c_str());
    PrintUsage(stderr);
    return 2;
}

} // namespace

int RunBuild(int argc, char** argv)
{
    ParsedArgs args;
    std::string reason;
    if (!ParseArgs(argc, argv, {{"help", false}}, args, reason))
        return UsageError(reason);
    if (args.Has("help")) {
        PrintUsage(stdout);
        return 0;
    }
    if (args.operands.empty())
        return UsageError("missing SOURCE");
    if (args.operands.size() > 2)
        return UsageError("too many arguments");

    const std::string& source = args.operands[0];
    const std::string dir =
        args.operands.size() == 2 ? args.operands[1] : io::DirectoryPart(source);
    std::string target;
    try {
        // The address dictionary first, as the desktop program builds them; a failure stops
        // before the second.
        target = JoinPath(dir, kAddressDictName);
        TPostCode().MakeDictionary(source, target);
        target = JoinPath(dir, kCodeDictName);
        TCodeAddress().MakeDictionary(source, target);
    } catch (const Exception& e) {
        std::fprintf(stderr, "kompa-cli: %s\n", MessageToUtf8(e.Message(), target).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kompa-cli: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace kompa::cli
