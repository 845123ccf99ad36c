// The dictionary build as the build command runs it: both files from the bundled ministry file,
// and all three from both bundled files.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/dictionary_build.h"

namespace {

// A scratch directory next to the other temporary files, removed afterwards.
class ScratchDir {
public:
    ScratchDir()
        : path_(std::filesystem::temp_directory_path() /
                ("kompa-bench-build-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(File(name), std::ios::binary) << bytes;
    }

private:
    std::filesystem::path path_;
};

// The pair as the build command and kompa-cli build make it, and all three files from both
// bundled data files in one build: the ratio of the two is the office file's cost.
void BM_MakePair(benchmark::State& state)
{
    ScratchDir dir;
    for (auto _ : state)
        kompa::MakeDictionaryFiles({kompa::ReadBuildSource(KOMPA_KEN_ALL)}, dir.File(""));
}
BENCHMARK(BM_MakePair)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MakeAllThree(benchmark::State& state)
{
    ScratchDir dir;
    for (auto _ : state) {
        std::vector<kompa::TBuildSource> sources;
        for (const char* file : {KOMPA_KEN_ALL, KOMPA_JIGYOSYO})
            sources.push_back(kompa::ReadBuildSource(file));
        kompa::MakeDictionaryFiles(sources, dir.File(""));
    }
}
BENCHMARK(BM_MakeAllThree)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadSource(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(kompa::BuildStrings::Read(KOMPA_KEN_ALL).Count());
}
BENCHMARK(BM_ReadSource)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
