#include "cli/run_cli.h"

#include <stdio_ext.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "cli/commands.h"

namespace kompa::test {
namespace {

// One of the descriptors 0, 1, 2 on a file until the end of the scope.
class StreamOnFile {
public:
    StreamOnFile(int stream, const std::string& file, int flags)
        : stream_(stream), saved_(::dup(stream))
    {
        const int fd = ::open(file.c_str(), flags, 0600);
        if (fd < 0 || saved_ < 0 || ::dup2(fd, stream) < 0)
            throw std::runtime_error("cannot redirect to " + file);
        ::close(fd);
    }
    ~StreamOnFile()
    {
        ::dup2(saved_, stream_);
        ::close(saved_);
    }
    StreamOnFile(const StreamOnFile&) = delete;
    StreamOnFile& operator=(const StreamOnFile&) = delete;

private:
    int stream_;
    int saved_;
};

// Variables given as NAME=VALUE, set until the end of the scope.
class Variables {
public:
    explicit Variables(const std::vector<std::string>& assignments)
    {
        for (const std::string& assignment : assignments) {
            const auto eq = assignment.find('=');
            std::string name = assignment.substr(0, eq);
            const char* old = std::getenv(name.c_str());
            ::setenv(name.c_str(), assignment.c_str() + eq + 1, 1);
            saved_.emplace_back(std::move(name),
                                old ? std::optional<std::string>(old) : std::nullopt);
        }
    }
    ~Variables()
    {
        for (const auto& [name, old] : saved_)
            old ? ::setenv(name.c_str(), old->c_str(), 1) : ::unsetenv(name.c_str());
    }
    Variables(const Variables&) = delete;
    Variables& operator=(const Variables&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// What exit() would flush, written out while the descriptors are still the command's; what
// cannot be written (a full device) is dropped rather than left for the test's own output.
void FlushStandardStreams()
{
    for (std::FILE* stream : {stdout, stderr}) {
        std::fflush(stream);
        __fpurge(stream);
        std::clearerr(stream);
    }
}

} // namespace

CliResult RunCli(const std::vector<std::string>& args, const std::string& stdinBytes,
                 const std::vector<std::string>& env, const std::string& stdoutFile)
{
    const cli::Command* command = args.empty() ? nullptr : cli::FindCommand(args[0]);
    if (command == nullptr)
        throw std::invalid_argument("not a command; the program's dispatch needs SpawnCli");
    TempDir io;
    const std::string in = io.File("in"), err = io.File("err");
    const std::string out = stdoutFile.empty() ? io.File("out") : stdoutFile;
    WriteFile(in, stdinBytes);

    std::vector<std::string> strings = args;
    std::vector<char*> argv;
    for (std::string& arg : strings)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    CliResult result;
    std::fflush(stdout);
    std::fflush(stderr);
    {
        const Variables variables(env);
        const StreamOnFile input(0, in, O_RDONLY);
        const StreamOnFile output(1, out, O_WRONLY | (stdoutFile.empty() ? O_CREAT | O_TRUNC : 0));
        const StreamOnFile error(2, err, O_WRONLY | O_CREAT | O_TRUNC);
        struct Flush {
            ~Flush() { FlushStandardStreams(); }
        } flushBeforeRestoring;
        result.status = command->run(static_cast<int>(strings.size()), argv.data());
    }
    if (stdoutFile.empty())
        result.out = ReadFile(out);
    result.err = ReadFile(err);
    return result;
}

} // namespace kompa::test
