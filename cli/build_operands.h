#pragma once
// The command line of build and update: --help, --office FILE, and the data files (and, for
// build, the directory) as operands.

#include <string>
#include <vector>

namespace kompa::cli {

struct BuildOperands {
    struct Source {
        std::string fileName;
        bool office = false; // named by --office
    };
    std::vector<Source> sources; // one or two, in the order given (--office last)
    std::string dir;             // build only: where the dictionaries go

    // Every file name a message may hold, kept as given when it is shown.
    std::vector<std::string> NamedFiles() const;
};

// Returns -1 when the command should run (operands filled); otherwise the exit status to end
// with: 0 after printing the usage for --help, 2 after a usage error printed with the usage.
// With takesDir, a last operand that is no existing regular file is the directory (by default
// the first file's), and an operand after the first is a data file only when it is one.
int ParseBuildOperands(int argc, char** argv, const char* command, const char* usage, bool takesDir,
                       BuildOperands& operands);

} // namespace kompa::cli
