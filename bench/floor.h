#pragma once
// The physical floor of each query kind: the same lines answered from plain arrays in memory,
// sorted once, with nothing but a binary search (codes, address texts) or memmem (all address
// texts in one buffer) and the copying of the answer's lines into one buffer. Included by
// bench_query, so the ratios come from one run, and by bench_floor on its own.

#include <benchmark/benchmark.h>

#include <algorithm>
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
            lineStarts.push_back(lines.size());
            lines += row.code + " " + row.city + row.town;
            lineStartsWithKen.push_back(linesWithKen.size());
            linesWithKen += row.code + " " + row.ken + row.city + row.town;
        }
        for (const OfficeRow& row : d.officeRows) {
            officeNames += row.name;
            officeNames += '\n';
        }
        lineStarts.push_back(lines.size());
        lineStartsWithKen.push_back(linesWithKen.size());
        for (std::uint32_t r = 0; r < d.rows.size(); ++r) {
            Code c{};
            std::memcpy(c.code, d.rows[r].code.data(),
                        std::min<std::size_t>(7, d.rows[r].code.size()));
            c.row = r;
            byCode.push_back(c);
            byAddress.push_back({Address(r), r});
        }
        std::stable_sort(byCode.begin(), byCode.end(), [](const Code& a, const Code& b) {
            return std::memcmp(a.code, b.code, 7) < 0;
        });
        std::stable_sort(byAddress.begin(), byAddress.end(),
                         [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
    }
    std::string_view Address(std::uint32_t row) const
    {
        return std::string_view(text).substr(addresses[row].first, addresses[row].second);
    }
    void Copy(std::uint32_t row, bool withKen)
    {
        const std::string& from = withKen ? linesWithKen : lines;
        const std::vector<std::size_t>& at = withKen ? lineStartsWithKen : lineStarts;
        out.append(from, at[row], at[row + 1] - at[row]);
        ends.push_back(out.size());
    }
    // Rows whose code begins with prefix: a binary search over the sorted codes, then a scan.
    void AnswerCode(std::string_view prefix, bool withKen)
    {
        out.clear();
        ends.clear();
        auto first = std::partition_point(byCode.begin(), byCode.end(), [&](const Code& c) {
            return std::string_view(c.code, 7) < prefix;
        });
        for (auto it = first;
             it != byCode.end() && std::memcmp(it->code, prefix.data(), prefix.size()) == 0; ++it)
            Copy(it->row, withKen);
    }
    // Rows whose address begins with prefix, the same way over the sorted address texts.
    void AnswerAddress(std::string_view prefix, bool withKen)
    {
        out.clear();
        ends.clear();
        auto first = std::partition_point(byAddress.begin(), byAddress.end(),
                                          [&](const Keyed& k) { return k.key < prefix; });
        for (auto it = first; it != byAddress.end() && it->key.starts_with(prefix); ++it)
            Copy(it->row, withKen);
    }

    struct Code {
        char code[7];
        std::uint32_t row;
    };
    struct Keyed {
        std::string_view key;
        std::uint32_t row;
    };
    std::string text;        // every address, each followed by a line feed
    std::string officeNames; // every office's name as written, each followed by a line feed
    std::vector<std::pair<std::size_t, std::size_t>> addresses;
    std::string lines, linesWithKen; // every result line, side by side
    std::vector<std::size_t> lineStarts, lineStartsWithKen;
    std::vector<Code> byCode;
    std::vector<Keyed> byAddress;
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
    std::size_t i = 0;
    for (auto _ : state) {
        f.AnswerCode(d.fullCodes[i++ % d.fullCodes.size()], true);
        benchmark::DoNotOptimize(f.out.data());
    }
}
BENCHMARK(Floor_CodeFull);

inline void Floor_CodePrefix3(benchmark::State& state)
{
    Floor& f = SharedFloor();
    const Data& d = Shared();
    std::size_t i = 0;
    long long lines = 0;
    for (auto _ : state) {
        f.AnswerCode(d.prefixes[i++ % d.prefixes.size()], false);
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
    std::size_t i = 0;
    long long lines = 0;
    for (auto _ : state) {
        f.AnswerAddress(d.typedKeys[i++ % d.typedKeys.size()], true);
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
    TimeEach(state, d.typedKeys, [&](const std::string& key) {
        f.AnswerAddress(key, true);
        benchmark::DoNotOptimize(f.out.data());
    });
}
BENCHMARK(Floor_AddressPrefixDistribution)->Iterations(3);

// memmem over lines of text, each ended by a line feed: each hit copies its line into out and the
// search goes on after it.
inline void CopyLinesHolding(std::string_view text, std::string_view needle, std::string& out,
                             std::vector<std::size_t>& ends)
{
    out.clear();
    ends.clear();
    const char* const begin = text.data();
    const char* at = begin;
    const char* const end = begin + text.size();
    while (const void* hit =
               ::memmem(at, static_cast<std::size_t>(end - at), needle.data(), needle.size())) {
        const char* p = static_cast<const char*>(hit);
        const char* lineEnd =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* lineStart = p;
        while (lineStart > begin && lineStart[-1] != '\n')
            --lineStart;
        out.append(lineStart, lineEnd);
        ends.push_back(out.size());
        at = lineEnd + 1;
    }
}

// memmem over all address texts at once.
inline void FloorAll(benchmark::State& state, const char* utf8)
{
    Floor& f = SharedFloor();
    const std::string needle = cp932::FromUtf8(utf8);
    for (auto _ : state)
        CopyLinesHolding(f.text, needle, f.out, f.ends);
    state.counters["lines"] = static_cast<double>(f.ends.size());
}
BENCHMARK_CAPTURE(FloorAll, rare, "霞が関");
BENCHMARK_CAPTURE(FloorAll, common, "町");

// memmem over every office's name as written, each hit copying its name.
inline void FloorOfficeNames(benchmark::State& state, const char* utf8)
{
    Floor& f = SharedFloor();
    const std::string needle = cp932::FromUtf8(utf8);
    for (auto _ : state)
        CopyLinesHolding(f.officeNames, needle, f.out, f.ends);
    state.counters["lines"] = static_cast<double>(f.ends.size());
}
BENCHMARK_CAPTURE(FloorOfficeNames, rare, "北洋銀行");
BENCHMARK_CAPTURE(FloorOfficeNames, common, "支店");

} // namespace kompa::bench
