// The conversion pass over a generated 100,000-record address book, as kompa-cli convert runs
// it, and the field routines on their own.
//
//   bench_convert                         the benchmarks
//   bench_convert --generate FILE [N]     writes the address book (N records, default 100000)
//                                         for timing kompa-cli convert itself

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "address_book.h"
#include "conv/conv_pass.h"
#include "conv/csv_dialect.h"
#include "conv/unattended.h"
#include "engine/file_io.h"

namespace {

using namespace kompa;

constexpr int kBookSize = 100000;

std::string BookText(int count)
{
    static const std::vector<bench::AddressRecord> addresses =
        bench::ReadMinistryAddresses(KOMPA_KEN_ALL);
    std::string text;
    for (const std::string& line : bench::MakeAddressBook(addresses, count)) {
        text += line;
        text += "\r\n";
    }
    return text;
}

const std::string& BookFile()
{
    static const std::string name = [] {
        std::string file = (std::filesystem::temp_directory_path() / "kompa_bench_book.csv");
        io::SaveFileReplacing(file, BookText(kBookSize));
        return file;
    }();
    return name;
}

void BM_ConvertBook(benchmark::State& state)
{
    const std::string& book = BookFile();
    const std::string output = book + ".out";
    TCsvDialect dialect;
    int converted = 0;
    int skipped = 0;
    for (auto _ : state) {
        TPostCode postCode;
        TConversionPass pass(postCode);
        pass.LoadFromFile(book, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
        pass.SetColumns(1, 2);
        pass.SetDictionaryDir(KOMPA_BIN_DIR);
        pass.SetWriteDelimiterSource([&dialect] { return dialect.GetWriteDelimiter(); });
        pass.ResetConversion(true);
        RunUnattended(pass, [](const TSkippedRecord& record) {
            benchmark::DoNotOptimize(record.key.data());
        });
        pass.SaveTo(output);
        converted = pass.ConvCount();
        skipped = pass.SkipCount();
    }
    state.counters["records"] = kBookSize;
    state.counters["converted"] = converted;
    state.counters["skipped"] = skipped;
    std::remove(output.c_str());
}
BENCHMARK(BM_ConvertBook)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

void BM_SplitJoinRecord(benchmark::State& state)
{
    const std::string line =
        bench::MakeAddressBook(bench::ReadMinistryAddresses(KOMPA_KEN_ALL), 1, 7).front();
    TCsvDialect dialect;
    const TCharSet read = dialect.GetReadDelimiters();
    const TCharSet quote = dialect.GetQuoteTargets();
    TFieldList fields;
    for (auto _ : state) {
        SplitFields(fields, line, read);
        fields.Put(1, "1000014");
        std::string joined = JoinFields(fields, ',', quote);
        benchmark::DoNotOptimize(joined.data());
    }
}
BENCHMARK(BM_SplitJoinRecord);

int Generate(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: bench_convert --generate FILE [N]\n", stderr);
        return 2;
    }
    const int count = argc > 3 ? std::atoi(argv[3]) : kBookSize;
    io::SaveFileReplacing(argv[2], BookText(count));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--generate") == 0)
        return Generate(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
