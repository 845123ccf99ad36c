// Query speed on dictionaries built from the bundled data: code lookups, address searches typed
// the way people type them, and the whole-file substring search.
//
//   build/bin/bench_query --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/cp932.h"
#include "engine/dictionary.h"
#include "engine/ken.h"

namespace {

using namespace kompa;
namespace fs = std::filesystem;

struct SourceRow {
    std::string code, ken, city, town;
};

// Fields 2, 6, 7 and 8 of every line; the bundled file quotes every text field and holds no
// quote or comma inside one.
std::vector<SourceRow> ReadRows()
{
    std::ifstream in(KOMPA_KEN_ALL, std::ios::binary);
    std::string line;
    std::vector<SourceRow> rows;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        while (start <= line.size()) {
            std::size_t comma = line.find(',', start);
            if (comma == std::string::npos)
                comma = line.size();
            std::string f = line.substr(start, comma - start);
            if (f.size() >= 2 && f.front() == '"')
                f = f.substr(1, f.size() - 2);
            fields.push_back(f);
            start = comma + 1;
        }
        if (fields.size() >= 9)
            rows.push_back({fields[2], fields[6], fields[7], fields[8]});
    }
    return rows;
}

struct Data {
    Data()
    {
        dir = fs::temp_directory_path() / ("kompa-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        fs::path bin(KOMPA_BIN_DIR);
        if (fs::exists(bin / kAddressDictName) && fs::exists(bin / kCodeDictName)) {
            fs::copy_file(bin / kAddressDictName, dir / kAddressDictName);
            fs::copy_file(bin / kCodeDictName, dir / kCodeDictName);
        } else {
            TPostCode().MakeDictionary(KOMPA_KEN_ALL, (dir / kAddressDictName).string());
            TCodeAddress().MakeDictionary(KOMPA_KEN_ALL, (dir / kCodeDictName).string());
        }
        addresses.OpenDictionary((dir / kAddressDictName).string());
        codes.OpenDictionary((dir / kCodeDictName).string());

        std::vector<SourceRow> rows = ReadRows();
        std::mt19937 random(20240601);
        std::uniform_int_distribution<std::size_t> pick(0, rows.size() - 1);
        // Block numbers in full-width digits and a full-width hyphen, as typed into a form.
        const std::string block = cp932::FromUtf8("１－２－３");
        for (int i = 0; i < 5000; ++i) {
            const SourceRow& row = rows[pick(random)];
            fullCodes.push_back(row.code);
            prefixes.push_back(row.code.substr(0, 3));
            std::string town = row.town;
            // The catch-all town of a municipality is not something anyone types.
            if (town == cp932::FromUtf8("以下に掲載がない場合"))
                town.clear();
            typed.push_back(row.ken + row.city + town + block);
        }
    }
    ~Data()
    {
        addresses.CloseDictionary();
        codes.CloseDictionary();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    fs::path dir;
    TPostCode addresses;
    TCodeAddress codes;
    std::vector<std::string> fullCodes, prefixes, typed;
};

Data& Shared()
{
    static Data data;
    return data;
}

void BM_CodeFull(benchmark::State& state)
{
    Data& d = Shared();
    TStringResultList list;
    std::size_t i = 0;
    for (auto _ : state) {
        d.codes.Search(d.fullCodes[i++ % d.fullCodes.size()], list, true);
        benchmark::DoNotOptimize(list.lines.data());
    }
}
BENCHMARK(BM_CodeFull);

void BM_CodePrefix3(benchmark::State& state)
{
    Data& d = Shared();
    TStringResultList list;
    std::size_t i = 0;
    long long lines = 0;
    for (auto _ : state) {
        d.codes.Search(d.prefixes[i++ % d.prefixes.size()], list, false);
        lines += list.Count();
    }
    state.counters["lines"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CodePrefix3);

void BM_SearchAddress(benchmark::State& state)
{
    Data& d = Shared();
    TStringResultList list;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            d.addresses.SearchAddress(d.typed[i++ % d.typed.size()], list, true));
    }
}
BENCHMARK(BM_SearchAddress);

// Each of the sampled addresses timed on its own: the median and the 99th percentile.
void BM_SearchAddressDistribution(benchmark::State& state)
{
    Data& d = Shared();
    TStringResultList list;
    std::vector<double> micros;
    for (auto _ : state) {
        micros.clear();
        for (const std::string& text : d.typed) {
            auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(d.addresses.SearchAddress(text, list, true));
            std::chrono::duration<double, std::micro> took =
                std::chrono::steady_clock::now() - start;
            micros.push_back(took.count());
        }
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["max_us"] = micros.back();
}
BENCHMARK(BM_SearchAddressDistribution)->Iterations(3);

void SearchAll(benchmark::State& state, const char* utf8)
{
    Data& d = Shared();
    const std::string text = cp932::FromUtf8(utf8);
    TStringResultList list;
    for (auto _ : state)
        d.addresses.SearchAll(text, list, false);
    state.counters["lines"] = list.Count();
}
BENCHMARK_CAPTURE(SearchAll, rare, "霞が関");
BENCHMARK_CAPTURE(SearchAll, common, "町");

} // namespace

BENCHMARK_MAIN();
