#pragma once
// Command-line parsing shared by the commands: long options only ("--name", "--name VALUE" or
// "--name=VALUE"), mixed freely with operands; "--" ends the options. Any other argument that
// begins with "-" is an unknown option, except "-" itself and negative numbers ("-12").

#include <string>
#include <string_view>
#include <vector>

namespace kompa::cli {

struct OptionSpec {
    std::string_view name; // without the leading "--"
    bool takesValue;
};

struct ParsedArgs {
    std::vector<std::string> operands;
    // Options seen, in order, with their values ("" for flags); a repeated option keeps all.
    std::vector<std::pair<std::string, std::string>> options;

    bool Has(std::string_view name) const;
    // The value of the last occurrence, or fallback.
    std::string Value(std::string_view name, std::string fallback = {}) const;
};

// Parses argv[1..argc-1] (argv[0] is the command's name). Returns false with a reason in error
// for an unknown option or an option missing its value.
bool ParseArgs(int argc, char** argv, const std::vector<OptionSpec>& specs, ParsedArgs& out,
               std::string& error);

// DIR joined with a file name: no separator doubled, an empty DIR meaning the current directory.
std::string JoinPath(const std::string& dir, std::string_view name);

} // namespace kompa::cli
