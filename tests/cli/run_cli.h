#pragma once
// Runs a kompa-cli command and captures everything: RunCli in this process, the others as a
// separate process, for what only the program decides (its dispatch, where it lives, its
// environment at start).

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_support.h"

extern char** environ;

namespace kompa::test {

struct CliResult {
    int status = -1; // exit status; -1 when the process did not exit normally
    std::string out;
    std::string err;
};

inline std::string CliPath()
{
    return KOMPA_BIN_DIR "/kompa-cli";
}

// Runs program with args, stdinBytes on standard input and the given environment (the caller's
// when empty).
inline CliResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& stdinBytes = {},
                            const std::vector<std::string>& env = {})
{
    TempDir io;
    const std::string in = io.File("in"), out = io.File("out"), err = io.File("err");
    WriteFile(in, stdinBytes);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& var : env)
        envp.push_back(const_cast<char*>(var.c_str()));
    envp.push_back(nullptr);

    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(),
                               env.empty() ? environ : envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + program);
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    CliResult result;
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    return result;
}

inline CliResult SpawnCli(const std::vector<std::string>& args)
{
    return RunProgram(CliPath(), args);
}

// Runs the command args[0] in this process with its standard streams on files, as
// RunProgram does for the program: the same bytes, the status main() would return. The names
// in env are set for the run (the process keeps the rest of its environment).
CliResult RunCli(const std::vector<std::string>& args, const std::string& stdinBytes = {},
                 const std::vector<std::string>& env = {}, const std::string& stdoutFile = {});

} // namespace kompa::test

namespace kompa::test {

// One line of the ministry's file (Shift-JIS, CR LF) with the fields the build reads.
inline std::string MinistryLine(const std::string& code, const std::string& ken,
                                const std::string& city, const std::string& town)
{
    return "13101,\"100  \",\"" + code + "\",\"x\",\"x\",\"x\",\"" + Sjis(ken) + "\",\"" +
           Sjis(city) + "\",\"" + town + "\",0,0,0,0,0,0\r\n";
}

inline std::string MinistryLine(const std::string& code, const std::string& ken,
                                const std::string& city, const char* townUtf8)
{
    return MinistryLine(code, ken, city, Sjis(townUtf8));
}

} // namespace kompa::test
