#include "commands.h"

namespace kompa::cli {
namespace {

// A new command is one source file defining its Run function plus one line here.
const Command kCommands[] = {
    {"build", RunBuild, "build [--office OFFICE] [SOURCE [SOURCE2]] [DIR]"},
    {"update", RunUpdate, "update [--office OFFICE] [SOURCE [SOURCE2]]"},
    {"code", RunCode, "code [--dict DIR] [--ken] [--sjis] [CODE...]"},
    {"address", RunAddress, "address [--dict DIR] [--ken] [--sjis] [ADDRESS...]"},
    {"all", RunAll, "all [--dict DIR] [--ken] [--sjis] [TEXT...]"},
    {"find", RunFind, "find [--dict DIR] [--ken] [--sjis] [TEXT...]"},
    {"office", RunOffice, "office [--dict DIR] [--ken] [--sjis] [NAME...]"},
    {"normalize", RunNormalize, "normalize [--sjis] [ADDRESS...]"},
    {"convert", RunConvert,
     "convert [--dict DIR] [--ken] [--sjis] --post-col N --addr-col M [...] FILE"},
};

} // namespace

std::span<const Command> Commands()
{
    return kCommands;
}

const Command* FindCommand(std::string_view name)
{
    for (const Command& command : kCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

} // namespace kompa::cli
