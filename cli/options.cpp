#include "options.h"

#include <algorithm>

namespace kompa::cli {

bool ParsedArgs::Has(std::string_view name) const
{
    return std::any_of(options.begin(), options.end(),
                       [&](const auto& option) { return option.first == name; });
}

std::string ParsedArgs::Value(std::string_view name, std::string fallback) const
{
    for (auto it = options.rbegin(); it != options.rend(); ++it)
        if (it->first == name)
            return it->second;
    return fallback;
}

namespace {

// "-12", "-1.5", "-.5": queries such as "-12" are texts, not options.
bool IsNegativeNumber(std::string_view arg)
{
    std::string_view rest = arg.substr(1);
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const std::size_t point = rest.find('.');
    const std::string_view whole = rest.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : rest.substr(point + 1);
    if (!std::all_of(whole.begin(), whole.end(), digit) ||
        !std::all_of(fraction.begin(), fraction.end(), digit))
        return false;
    return point == std::string_view::npos ? !whole.empty() : !fraction.empty();
}

} // namespace

bool ParseArgs(int argc, char** argv, const std::vector<OptionSpec>& specs, ParsedArgs& out,
               std::string& error)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        // A lone "-", a negative number and everything after "--" are operands.
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || IsNegativeNumber(arg)) {
            out.operands.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view body = arg.substr(arg[1] == '-' ? 2 : 1);
        std::string_view name = body.substr(0, body.find('='));
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : specs)
            if (arg[1] == '-' && candidate.name == name)
                spec = &candidate;
        if (spec == nullptr) {
            error = "unknown option '" + std::string(arg) + "'";
            return false;
        }
        if (!spec->takesValue) {
            if (name.size() != body.size()) {
                error = "option '--" + std::string(name) + "' takes no value";
                return false;
            }
            out.options.emplace_back(name, "");
        } else if (name.size() != body.size()) {
            out.options.emplace_back(name, body.substr(name.size() + 1));
        } else if (i + 1 < argc) {
            out.options.emplace_back(name, argv[++i]);
        } else {
            error = "option '--" + std::string(name) + "' needs a value";
            return false;
        }
    }
    return true;
}

std::string JoinPath(const std::string& dir, std::string_view name)
{
    if (dir.empty())
        return std::string(name);
    std::string path = dir;
    if (path.back() != '/')
        path += '/';
    path += name;
    return path;
}

} // namespace kompa::cli
