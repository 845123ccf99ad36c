// Query speed on dictionaries built from the bundled data: code lookups, address searches typed
// the way people type them, the whole-file substring search, an office's code and the office-name
// search; beside each, its floor (the same answer from plain sorted arrays in memory, or memmem
// over the texts, bench/floor.h), so ratios come from one run. An office code query is held to
// the code floor (Floor_CodeFull), the name search to memmem over the names (FloorOfficeNames).
//
//   build/bin/bench_query --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include "bench/floor.h"
#include "bench/query_data.h"
#include "engine/dictionary/result_list.h"

namespace {

using namespace kompa;
using bench::Shared;
using bench::TimeEach;
using Data = bench::Data;

void BM_CodeFull(benchmark::State& state)
{
    Data& d = Shared();
    TTextResultList list;
    std::size_t i = 0;
    for (auto _ : state) {
        d.codes.Search(d.fullCodes[i++ % d.fullCodes.size()], list, true);
        benchmark::DoNotOptimize(list.Count());
    }
}
BENCHMARK(BM_CodeFull);

void BM_CodePrefix3(benchmark::State& state)
{
    Data& d = Shared();
    TTextResultList list;
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

// An office's own code answered as the search window and `kompa-cli code` answer it: the pair's
// lines (none), then the office's.
void BM_OfficeCode(benchmark::State& state)
{
    Data& d = Shared();
    TTextResultList list;
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& code = d.officeCodes[i++ % d.officeCodes.size()];
        d.codes.Search(code, list, true);
        d.offices.AddCodeLines(code, list, true);
        benchmark::DoNotOptimize(list.Count());
    }
}
BENCHMARK(BM_OfficeCode);

void OfficeName(benchmark::State& state, const char* utf8)
{
    Data& d = Shared();
    const std::string text = cp932::FromUtf8(utf8);
    TTextResultList list;
    for (auto _ : state)
        d.offices.SearchName(text, list, false);
    state.counters["lines"] = list.Count();
}
BENCHMARK_CAPTURE(OfficeName, rare, "北洋銀行");
BENCHMARK_CAPTURE(OfficeName, common, "支店");

void BM_SearchAddress(benchmark::State& state)
{
    Data& d = Shared();
    TTextResultList list;
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
    TTextResultList list;
    TimeEach(state, d.typed, [&](const std::string& text) {
        benchmark::DoNotOptimize(d.addresses.SearchAddress(text, list, true));
    });
}
BENCHMARK(BM_SearchAddressDistribution)->Iterations(3);

void SearchAll(benchmark::State& state, const char* utf8)
{
    Data& d = Shared();
    const std::string text = cp932::FromUtf8(utf8);
    TTextResultList list;
    for (auto _ : state)
        d.addresses.SearchAll(text, list, false);
    state.counters["lines"] = list.Count();
}
BENCHMARK_CAPTURE(SearchAll, rare, "霞が関");
BENCHMARK_CAPTURE(SearchAll, common, "町");

} // namespace

BENCHMARK_MAIN();
