#pragma once
// Entry points of the kompa-cli commands. Each gets argv[0] = the command's name and returns the
// process exit status: 0 success, 1 a failure reported on stderr, 2 a usage error.

#include <span>
#include <string_view>

namespace kompa::cli {

int RunBuild(int argc, char** argv);
int RunCode(int argc, char** argv);
int RunAddress(int argc, char** argv);
int RunAll(int argc, char** argv);
int RunFind(int argc, char** argv);
int RunNormalize(int argc, char** argv);
int RunOffice(int argc, char** argv);
int RunUpdate(int argc, char** argv);
int RunConvert(int argc, char** argv);

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* synopsis;
};

// Every command, in the order the usage lists them.
std::span<const Command> Commands();
// The command of that name, or null.
const Command* FindCommand(std::string_view name);

} // namespace kompa::cli
