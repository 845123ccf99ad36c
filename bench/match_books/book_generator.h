#pragma once
// An address book of made-up people at real addresses, each record with the code the operator
// assigns to its address and whether the address as written decides that code.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "place_index.h"

namespace kompa::books {

struct BookRecord {
    std::string name;
    std::string present; // the code already in the book, often empty
    std::string address; // UTF-8
    std::string trueCode;
    bool decided = false;
    std::string kind;
};

struct BookStats {
    // Towns of the file no address is written from, by the note shape that was not read, and
    // the lines they take.
    std::map<std::string, int> unreadableTowns;
    std::map<std::string, int> unreadableLines;
    // Lines given up after every writing of them failed the reader, by shape.
    std::map<std::string, int> givenUp;
    int rewrites = 0;          // writings the reader sent back
    int undecidedByUnread = 0; // records left undecided only by an unreadable line
};

std::vector<BookRecord> GenerateBook(const PlaceIndex& index, int count, std::uint32_t seed,
                                     bool utf8, BookStats& stats);

// The book's text: Shift-JIS with CR LF, or UTF-8 with LF.
std::string BookText(const std::vector<BookRecord>& book, bool utf8);

} // namespace kompa::books
