// The conversion pass over a generated 100,000-record address book, as kompa-cli convert runs
// it, and the field routines on their own.
//
//   bench_convert                         the benchmarks
//   bench_convert --generate FILE [N] [--utf8]
//                                         writes the address book (N records, default 100000;
//                                         UTF-8 with LF) for timing kompa-cli convert itself

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
#include "engine/io/file_io.h"
#include "engine/io/file_replace.h"
#include "engine/match/precise_matcher.h"
#include "engine/text/cp932.h"

namespace {

using namespace kompa;

constexpr int kBookSize = 100000;

// Writes a generated book as a save writes a book.
io::TBytesWriter Bytes(std::string bytes)
{
    return [bytes = std::move(bytes)](int fd) { return io::WriteAll(fd, bytes); };
}

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

// The book in Shift-JIS with CR LF, or as a Linux user keeps it: UTF-8 with LF.
std::string BookBytes(int count, bool utf8)
{
    std::string text = BookText(count);
    if (utf8) {
        text = cp932::ToUtf8(text);
        std::erase(text, '\r');
    }
    return text;
}

const std::string& BookFile(bool utf8)
{
    static const std::string names[2] = {
        [] {
            std::string file = (std::filesystem::temp_directory_path() / "kompa_bench_book.csv");
            io::ReplaceFile(file, Bytes(BookBytes(kBookSize, false)), {});
            return file;
        }(),
        [] {
            std::string file = (std::filesystem::temp_directory_path() / "kompa_bench_book8.csv");
            io::ReplaceFile(file, Bytes(BookBytes(kBookSize, true)), {});
            return file;
        }()};
    return names[utf8 ? 1 : 0];
}

// First argument 0: the Shift-JIS CR LF book; 1: its UTF-8 LF form. Second argument 0: the
// address search alone (--match literal); 1: precise matching, its matcher made anew in every
// run as a process converting once makes it.
void BM_ConvertBook(benchmark::State& state)
{
    const std::string& book = BookFile(state.range(0) != 0);
    const bool precise = state.range(1) != 0;
    std::size_t matcherBytes = 0;
    const std::string output = book + ".out";
    TCsvDialect dialect;
    int converted = 0;
    int skipped = 0;
    for (auto _ : state) {
        TPostCode postCode;
        TConversionPass pass(postCode);
        // As kompa-cli convert does: the matcher is made while the book is read.
        match::ForgetPreciseMatchers();
        if (precise)
            match::StartPreciseMatcher(KOMPA_BIN_DIR "/KOMPA.DIC");
        pass.LoadFromFile(book, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
        pass.SetColumns(1, 2);
        pass.SetDictionaryDir(KOMPA_BIN_DIR);
        pass.SetWriteDelimiterSource([&dialect] { return dialect.GetWriteDelimiter(); });
        pass.SetMatchMode(precise ? TMatchMode::Precise : TMatchMode::Literal);
        pass.ResetConversion(true);
        if (precise)
            matcherBytes = match::PreciseMatcherFor(postCode)->Index().MemoryBytes();
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
    if (precise)
        state.counters["matcher_per_dict"] =
            static_cast<double>(matcherBytes) /
            static_cast<double>(std::filesystem::file_size(KOMPA_BIN_DIR "/KOMPA.DIC"));
    std::remove(output.c_str());
}
BENCHMARK(BM_ConvertBook)
    ->ArgNames({"utf8", "precise"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(3);

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
        std::fputs("usage: bench_convert --generate FILE [N] [--utf8]\n", stderr);
        return 2;
    }
    const int count = argc > 3 ? std::atoi(argv[3]) : kBookSize;
    const bool utf8 = argc > 4 && std::strcmp(argv[4], "--utf8") == 0;
    io::ReplaceFile(argv[2], Bytes(BookBytes(count, utf8)), {});
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
