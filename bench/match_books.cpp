// Address books with the true code of every record, and their scores after a conversion.
//
//   bench_match_books generate --source FILE --count N --seed S [--utf8] > book.csv
//       N records written as people write addresses, from the ministry file FILE (as the
//       dictionary build reads it). Columns: name, present code (mostly empty), address, true
//       code, whether the address decides it (1/0), kind of address. Shift-JIS with CR LF, or
//       UTF-8 with LF. What was not written from, and why, goes to standard error.
//   bench_match_books score BOOK CONVERTED
//       the outcome of a conversion of BOOK (kompa-cli convert --post-col 2 --addr-col 3),
//       overall and per kind, with the first wrong fills and decided records left.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "engine/io/errors.h"
#include "engine/source/source_text.h"
#include "engine/text/cp932.h"
#include "match_books/book_generator.h"
#include "match_books/book_score.h"

namespace {

using namespace kompa::books;

constexpr char kUsage[] =
    "usage: bench_match_books generate --source FILE --count N --seed S [--utf8] > BOOK\n"
    "       bench_match_books score [--strict] BOOK CONVERTED\n"
    "  --strict  exit 1 when a record whose address decides its code is filled wrong, or when\n"
    "            fewer than 99 % of those are filled right\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

std::string ReadAll(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + fileName);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void PrintStats(const std::vector<BookRecord>& book, const BookStats& stats)
{
    int decided = 0;
    for (const BookRecord& record : book)
        decided += record.decided;
    std::fprintf(stderr, "%zu records, %d decided by their address, %d not\n", book.size(), decided,
                 static_cast<int>(book.size()) - decided);
    std::fprintf(stderr, "undecided only because of a line whose note is not read: %d\n",
                 stats.undecidedByUnread);
    int towns = 0;
    int lines = 0;
    for (const auto& [shape, count] : stats.unreadableTowns) {
        towns += count;
        lines += stats.unreadableLines.at(shape);
    }
    std::fprintf(stderr, "not written from (note not read): %d towns, %d lines\n", towns, lines);
    for (const auto& [shape, count] : stats.unreadableTowns)
        std::fprintf(stderr, "  %-24s %d towns, %d lines\n", shape.c_str(), count,
                     stats.unreadableLines.at(shape));
    std::fprintf(stderr, "writings sent back by the reader: %d; lines given up:", stats.rewrites);
    for (const auto& [shape, count] : stats.givenUp)
        std::fprintf(stderr, " %s %d", shape.c_str(), count);
    std::fputc('\n', stderr);
}

int Generate(int argc, char** argv)
{
    std::string source;
    long count = -1;
    long seed = -1;
    bool utf8 = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--utf8")
            utf8 = true;
        else if (i + 1 < argc && arg == "--source")
            source = argv[++i];
        else if (i + 1 < argc && arg == "--count")
            count = std::strtol(argv[++i], nullptr, 10);
        else if (i + 1 < argc && arg == "--seed")
            seed = std::strtol(argv[++i], nullptr, 10);
        else
            return Usage();
    }
    if (source.empty() || count <= 0 || seed < 0)
        return Usage();
    std::string bytes = ReadAll(source);
    if (bytes.starts_with("\xFD"
                          "7zXZ"))
        throw std::runtime_error(source + " is xz-compressed: unpack it first (xz -dk)");
    const PlaceIndex index(ReadMinistryTowns(kompa::DecodeSource(std::move(bytes))));
    if (index.Places().empty())
        throw std::runtime_error("no ministry lines in " + source);
    BookStats stats;
    const std::vector<BookRecord> book =
        GenerateBook(index, static_cast<int>(count), static_cast<std::uint32_t>(seed), utf8, stats);
    const std::string text = BookText(book, utf8);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        std::fputs("bench_match_books: the book could not be written\n", stderr);
        return 1;
    }
    PrintStats(book, stats);
    return 0;
}

int ScoreCommand(int argc, char** argv)
{
    const bool strict = argc == 5 && std::string_view(argv[2]) == "--strict";
    if (argc != (strict ? 5 : 4))
        return Usage();
    const Score score = ScoreBooks(ReadAll(argv[argc - 2]), ReadAll(argv[argc - 1]));
    const std::string report = ScoreReport(score);
    std::fwrite(report.data(), 1, report.size(), stdout);
    const ScoreRow& all = score.all;
    if (strict && (score.wrongOnDecided > 0 || all.rightDecided() * 100 < all.decided * 99)) {
        std::fputs("bench_match_books: below the bar\n", stderr);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        if (argc >= 2 && std::string_view(argv[1]) == "generate")
            return Generate(argc, argv);
        if (argc >= 2 && std::string_view(argv[1]) == "score")
            return ScoreCommand(argc, argv);
        return Usage();
    } catch (const kompa::Exception& e) {
        std::fprintf(stderr, "bench_match_books: %s\n", kompa::cp932::ToUtf8(e.Message()).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_match_books: %s\n", e.what());
    }
    return 1;
}
