#pragma once
// How a conversion did on a generated book: the book as generated and the same book after the
// conversion, line for line, compared on the code column.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kompa::books {

struct ScoreRow {
    int records = 0;
    int decided = 0;
    int right = 0;          // the true code, filled or kept
    int rightUndecided = 0; // of those, on records whose address does not decide it
    int wrong = 0;          // any other code written, or a code taken away
    int leftDecided = 0;    // nothing changed, the code not right, the address decides it
    int leftUndecided = 0;
    int rightDecided() const { return right - rightUndecided; }
};

struct Score {
    ScoreRow all;
    std::map<std::string, ScoreRow> byKind;
    std::vector<std::string> wrongFills; // the first ones, for a developer to read (UTF-8)
    std::vector<std::string> decidedLeft;
    int wrongOnDecided = 0; // filled wrong where the address decides the code
};

// The seven digits a code field holds (123-4567, １２３－４５６７, 〒123-4567), if it holds one.
std::optional<std::string> CodeOf(std::string_view utf8Field);

// Scores converted against book (each Shift-JIS or UTF-8 as written). Raises std::runtime_error
// when they do not hold the same records.
Score ScoreBooks(std::string_view book, std::string_view converted, std::size_t listed = 20);

std::string ScoreReport(const Score& score);

} // namespace kompa::books
