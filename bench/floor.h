#pragma once
// The physical floor of each query kind: the same lines answered from plain arrays in memory,
// sorted once, with nothing but a binary search (codes, address texts) or memmem (all address
// texts in one buffer) and the copying of the answer's lines into one buffer. Included by
// bench_query, so the ratios come from one run, and by bench_floor on its own.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bench/query_data.h"

namespace kompa::bench {

struct Floor {
    Floor()
    {
        const Data& d = Shared();
        for (const SourceRow& row : d.rows) {
            const std::size_t start = text.size();
            text += row.city;
            text += row.town;
            addresses.push_back({start, text.size() - start});
            text += '\n';
            lines.push_back(row.code + " " + row.city + row.town);
            linesWithKen.push_back(row.code + " " + row.ken + row.city + row.town);
        }
        byCode.resize(d.rows.size());
        for (std::uint32_t i = 0; i < byCode.size(); ++i)
            byCode[i] = i;
        byAddress = byCode;
        std::stable_sort(byCode.begin(), byCode.end(), [&](std::uint32_t a, std::uint32_t b) {
            return d.rows[a].code < d.rows[b].code;
        });
        std::stable_sort(byAddress.begin(), byAddress.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return Address(a) < Address(b); });
    }
    std::string_view Address(std::uint32_t row) const
    {
        return std::string_view(text).substr(addresses[row].first, addresses[row].second);
    }
    // Rows whose key begins with prefix, found by binary search in order, then copied.
    template <class Key>
    void Answer(const std::vector<std::uint32_t>& order, Key key, std::string_view prefix,
                const std::vector<std::string>& from)
    {
        out.clear();
        ends.clear();
        auto first = std::partition_point(order.begin(), order.end(),
                                          [&](std::uint32_t r) { return key(r) < prefix; });
        for (auto it = first; it != order.end() && key(*it).substr(0, prefix.size()) == prefix;
             ++it) {
            out += from[*it];
            ends.push_back(out.size());
        }
    }

    std::string text; // every address, each followed by a line feed
    std::vector<std::pair<std::size_t, std::size_t>> addresses;
    std::vector<std::string> lines, linesWithKen;
    std::vector<std::uint32_t> byCode, byAddress;
    std::string out; // the answer's lines, side by side
    std::vector<std::size_t> ends;
};

inline Floor& SharedFloor()
{
    static Floor floor;
    return floor;
}

inline void Floor_CodeFull(benchmark::State& state)
{
    Floor& f = SharedFloor();
    const Data& d = Shared();
    auto code = [&](std::uint32_t r) { return std::string_view(d.rows[r].code); };
    std::size_t i = 0;
    for (auto _ : state) {
        f.Answer(f.byCode, code, d.fullCodes[i++ % d.fullCodes.size()], f.linesWithKen);
        benchmark::DoNotOptimize(f.out.data());
    }
}
BENCHMARK(Floor_CodeFull);

inline void Floor_CodePrefix3(benchmark::State& state)
{
    Floor& f = SharedFloor();
    const Data& d = Shared();
    auto code = [&](std::uint32_t r) { return std::string_view(d.rows[r].code); };
    std::size_t i = 0;
    long long lines = 0;
    for (auto _ : state) {
        f.Answer(f.byCode, code, d.prefixes[i++ % d.prefixes.size()], f.lines);
        lines += static_cast<long long>(f.ends.size());
    }
    state.counters["lines"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kAvgIterations);
}
BENCHMARK(Floor_CodePrefix3);

inline void Floor_AddressPrefix(benchmark::State& state)
{
    Floor& f = SharedFloor();
    const Data& d = Shared();
    auto address = [&](std::uint32_t r) { return f.Address(r); };
    std::size_t i = 0;
    long long lines = 0;
    for (auto _ : state) {
        f.Answer(f.byAddress, address, d.typedKeys[i++ % d.typedKeys.size()], f.linesWithKen);
        lines += static_cast<long long>(f.ends.size());
    }
    state.counters["lines"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kAvgIterations);
}
BENCHMARK(Floor_AddressPrefix);

// Each sampled address on its own, as BM_SearchAddressDistribution times KOMPA.
inline void Floor_AddressPrefixDistribution(benchmark::State& state)
{
    Floor& f = SharedFloor();
    const Data& d = Shared();
    auto address = [&](std::uint32_t r) { return f.Address(r); };
    std::vector<double> micros;
    for (auto _ : state) {
        micros.clear();
        for (const std::string& key : d.typedKeys) {
            auto start = std::chrono::steady_clock::now();
            f.Answer(f.byAddress, address, key, f.linesWithKen);
            benchmark::DoNotOptimize(f.out.data());
            std::chrono::duration<double, std::micro> took =
                std::chrono::steady_clock::now() - start;
            micros.push_back(took.count());
        }
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}
BENCHMARK(Floor_AddressPrefixDistribution)->Iterations(3);

// memmem over all address texts at once; each hit copies its line and the search goes on after it.
inline void FloorAll(benchmark::State& state, const char* utf8)
{
    Floor& f = SharedFloor();
    const std::string needle = cp932::FromUtf8(utf8);
    std::size_t found = 0;
    for (auto _ : state) {
        f.out.clear();
        f.ends.clear();
        const char* at = f.text.data();
        const char* end = at + f.text.size();
        while (const void* hit = ::memmem(at, static_cast<std::size_t>(end - at), needle.data(),
                                          needle.size())) {
            const char* p = static_cast<const char*>(hit);
            const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* lineStart = p;
            while (lineStart > f.text.data() && lineStart[-1] != '\n')
                --lineStart;
            f.out.append(lineStart, lineEnd);
            f.ends.push_back(f.out.size());
            at = lineEnd + 1;
        }
        found = f.ends.size();
    }
    state.counters["lines"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(FloorAll, rare, "霞が関");
BENCHMARK_CAPTURE(FloorAll, common, "町");

} // namespace kompa::bench
