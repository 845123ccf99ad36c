// Query speed on dictionaries built from the bundled data: code lookups, address searches typed
// the way people type them, and the whole-file substring search; beside each, its floor (the
// same answer from plain sorted arrays in memory, bench/floor.h), so ratios come from one run.
//
//   build/bin/bench_query --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>


#include "bench/floor.h"
#include "bench/query_data.h"
#include "engine/result_list.h"

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
