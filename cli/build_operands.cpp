#include "build_operands.h"

#include <sys/stat.h>

#include <cstdio>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/office_dictionary.h"
#include "engine/io/file_io.h"
#include "options.h"

namespace kompa::cli {
namespace {

bool IsRegularFile(const std::string& name)
{
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Sorts the operands into data files and the directory; the reason when they do not fit.
std::string SortOperands(const std::vector<std::string>& given, bool takesDir,
                         BuildOperands& operands)
{
    std::vector<BuildOperands::Source> sources;
    const bool officeGiven = !operands.sources.empty();
    bool dirGiven = false;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const bool first = i == 0 && !officeGiven;
        if (!takesDir || first || IsRegularFile(given[i])) {
            sources.push_back({given[i], false});
        } else if (i + 1 == given.size()) {
            operands.dir = given[i];
            dirGiven = true;
        } else {
            return "too many arguments";
        }
    }
    sources.insert(sources.end(), operands.sources.begin(), operands.sources.end());
    operands.sources = std::move(sources);
    if (operands.sources.empty())
        return "missing SOURCE";
    if (operands.sources.size() > 2)
        return "too many arguments";
    if (takesDir && !dirGiven)
        operands.dir = io::DirectoryPart(operands.sources.front().fileName);
    return {};
}

} // namespace

std::vector<std::string> BuildOperands::NamedFiles() const
{
    std::vector<std::string> names;
    for (const Source& source : sources)
        names.push_back(source.fileName);
    for (const char* name : {kAddressDictName, kCodeDictName, kOfficeDictName, kDictionarySetName})
        names.push_back(JoinPath(dir, name));
    names.push_back(dir); // a directory that cannot be made
    return names;
}

int ParseBuildOperands(int argc, char** argv, const char* command, const char* usage, bool takesDir,
                       BuildOperands& operands)
{
    ParsedArgs args;
    std::string reason;
    if (ParseArgs(argc, argv, {{"help", false}, {"office", true}}, args, reason)) {
        if (args.Has("help")) {
            std::fputs(usage, stdout);
            return 0;
        }
        for (const auto& [name, value] : args.options)
            if (name == "office")
                operands.sources.push_back({value, true});
        if (operands.sources.size() > 1)
            reason = "--office given twice";
        else
            reason = SortOperands(args.operands, takesDir, operands);
        if (reason.empty())
            return -1;
    }
    std::fprintf(stderr, "kompa-cli: %s: %s\n", command, reason.c_str());
    std::fputs(usage, stderr);
    return 2;
}

} // namespace kompa::cli
