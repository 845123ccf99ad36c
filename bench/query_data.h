#pragma once
// The data the query benchmarks share: dictionaries built from the bundled file and queries
// sampled from its lines (seven-digit codes, three-digit prefixes, addresses typed with the
// prefecture and block numbers), and the same lines as plain rows for the floor benchmarks.

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

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/dictionary_build.h"
#include "engine/dictionary/office_build.h"
#include "engine/dictionary/office_dictionary.h"
#include "engine/text/cp932.h"

namespace kompa::bench {

namespace fs = std::filesystem;

struct SourceRow {
    std::string code, ken, city, town;
};

struct OfficeRow {
    std::string code, name;
};

// Fields of one line of the bundled files, which quote every text field and hold no quote or
// comma inside one.
inline std::vector<std::string> SplitBundledLine(const std::string& line)
{
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
    return fields;
}

// Fields 7 and 2 of every line of the business-office file.
inline std::vector<OfficeRow> ReadOfficeRows()
{
    std::ifstream in(KOMPA_JIGYOSYO, std::ios::binary);
    std::string line;
    std::vector<OfficeRow> rows;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = SplitBundledLine(line);
        if (fields.size() >= 13)
            rows.push_back({fields[7], fields[2]});
    }
    return rows;
}

// Fields 2, 6, 7 and 8 of every line; the bundled file quotes every text field and holds no
// quote or comma inside one.
inline std::vector<SourceRow> ReadRows()
{
    std::ifstream in(KOMPA_KEN_ALL, std::ios::binary);
    std::string line;
    std::vector<SourceRow> rows;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = SplitBundledLine(line);
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
            MakeDictionaryFiles({ReadBuildSource(KOMPA_KEN_ALL)}, dir.string());
        }
        addresses.OpenDictionary((dir / kAddressDictName).string());
        codes.OpenDictionary((dir / kCodeDictName).string());
        if (fs::exists(bin / kOfficeDictName)) {
            fs::copy_file(bin / kOfficeDictName, dir / kOfficeDictName);
        } else {
            std::ifstream in(KOMPA_JIGYOSYO, std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            std::ofstream(dir / kOfficeDictName, std::ios::binary) << OfficeImage(text);
        }
        offices.OpenDictionary((dir / kOfficeDictName).string());
        officeRows = ReadOfficeRows();

        rows = ReadRows();
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
            typedKeys.push_back(row.city + town);
        }
        std::uniform_int_distribution<std::size_t> pickOffice(0, officeRows.size() - 1);
        for (int i = 0; i < 5000; ++i)
            officeCodes.push_back(officeRows[pickOffice(random)].code);
    }
    ~Data()
    {
        addresses.CloseDictionary();
        codes.CloseDictionary();
        offices.CloseDictionary();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    fs::path dir;
    TPostCode addresses;
    TCodeAddress codes;
    TOfficeDictionary offices;
    std::vector<SourceRow> rows;
    std::vector<OfficeRow> officeRows;
    std::vector<std::string> officeCodes; // sampled office codes, seven digits
    std::vector<std::string> fullCodes, prefixes, typed;
    // What each typed address asks for once the prefecture and block numbers are gone.
    std::vector<std::string> typedKeys;
};

inline Data& Shared()
{
    static Data data;
    return data;
}

// Each item answered and timed on its own, every iteration: the median, the 99th percentile and
// the maximum in microseconds.
template <typename Items, typename Answer>
void TimeEach(benchmark::State& state, const Items& items, Answer answer)
{
    std::vector<double> micros;
    for (auto _ : state) {
        micros.clear();
        for (const auto& item : items) {
            const auto start = std::chrono::steady_clock::now();
            answer(item);
            const std::chrono::duration<double, std::micro> took =
                std::chrono::steady_clock::now() - start;
            micros.push_back(took.count());
        }
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["max_us"] = micros.back();
}

} // namespace kompa::bench
