// kompa-cli as a whole process: one code query, 100,000 piped mixed queries (Shift-JIS and
// UTF-8), and the build of both dictionaries from the bundled file. Each run starts the program.
// Peak RSS comes from scripts/bench-cli.sh (/usr/bin/time -v): a child spawned from here inherits
// this process's memory high-water mark, so wait4 cannot tell it.
//
//   bench_cli_process                          the benchmarks
//   bench_cli_process --write-queries FILE     writes the 100,000 queries (Shift-JIS), for
//                                              scripts/bench-cli.sh
//
// The queries: half seven-digit codes, half addresses typed with the prefecture name and block
// numbers (full-width, half-width, after a blank), from fixed pseudo-random lines of the bundled
// file, kept only when the address search answers them at once (level 1), so every query is
// answered by the first search.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/dictionary_build.h"
#include "engine/source/ken.h"
#include "engine/text/cp932.h"

extern char** environ;

namespace {

using namespace kompa;

constexpr int kQueryPairs = 50000;
const std::string kCli = KOMPA_BIN_DIR "/kompa-cli";

std::string MixedQueries()
{
    const BuildStrings source = BuildStrings::Read(KOMPA_KEN_ALL);
    TPostCode dictionary;
    dictionary.OpenDictionary(KOMPA_BIN_DIR "/KOMPA.DIC");
    TStringResultList list;

    // Block numbers as people type them: １－２－３, 1-2-3, " ２丁目５", １０番地.
    const char* const tails[] = {"\x82\x50\x81\x7C\x82\x51\x81\x7C\x82\x52", "1-2-3",
                                 " \x82\x51\x92\x9A\x96\xDA\x82\x54",
                                 "\x82\x50\x82\x4F\x94\xD4\x92\x6E"};
    std::uint32_t seed = 12345;
    auto nextLine = [&] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(source.Count()));
    };
    // A build string: placeholder, prefecture character, code, blank, address.
    std::string queries;
    int made = 0;
    for (int attempt = 0; made < kQueryPairs; ++attempt) {
        if (attempt > 20 * kQueryPairs)
            throw std::runtime_error("too few addresses answered by the first search");
        const std::string_view record = source[nextLine()];
        std::string address = std::string(KenName(static_cast<unsigned char>(record[1]))) +
                              std::string(record.substr(10)) + tails[attempt % 4];
        if (dictionary.SearchAddress(address, list, false) != TAddressLevel::Found ||
            list.Count() == 0)
            continue;
        queries += std::string(source[nextLine()].substr(2, 7)) + "\n" + address + "\n";
        ++made;
    }
    return queries;
}

const std::string& QueryFile(bool utf8)
{
    static const std::string sjis = [] {
        std::string name = std::filesystem::temp_directory_path() / "kompa-bench-queries.sjis";
        std::ofstream(name, std::ios::binary) << MixedQueries();
        return name;
    }();
    static const std::string utf8Name = [] {
        std::ifstream in(sjis, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        std::string name = std::filesystem::temp_directory_path() / "kompa-bench-queries.utf8";
        std::ofstream(name, std::ios::binary) << cp932::ToUtf8(text);
        return name;
    }();
    return utf8 ? utf8Name : sjis;
}

// Runs kompa-cli with stdin from inputFile (or /dev/null), stdout to /dev/null.
void RunCli(const std::vector<std::string>& args, const std::string& inputFile = "/dev/null")
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inputFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv{const_cast<char*>(kCli.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, kCli.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + kCli);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("kompa-cli failed");
}

void BM_FindOneCode(benchmark::State& state)
{
    for (auto _ : state)
        RunCli({"find", "1000001"});
}
BENCHMARK(BM_FindOneCode)->Unit(benchmark::kMillisecond);

void BM_FindPipedQueries(benchmark::State& state)
{
    const bool utf8 = state.range(0) != 0;
    const std::string& input = QueryFile(utf8);
    std::vector<std::string> args{"find"};
    if (!utf8)
        args.push_back("--sjis");
    for (auto _ : state)
        RunCli(args, input);
    state.SetLabel(utf8 ? "UTF-8, 100,000 queries" : "Shift-JIS, 100,000 queries");
}
BENCHMARK(BM_FindPipedQueries)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BuildBothDictionaries(benchmark::State& state)
{
    const auto dir = std::filesystem::temp_directory_path() / "kompa-bench-build";
    std::filesystem::create_directories(dir);
    for (auto _ : state)
        RunCli({"build", KOMPA_KEN_ALL, dir.string()});
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_BuildBothDictionaries)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--write-queries") {
        std::ofstream out(argv[2], std::ios::binary);
        out << MixedQueries();
        return out ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
