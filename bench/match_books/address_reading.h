#pragma once
// Which codes a careful reader who knows the whole ministry file can give to a written address:
// every reading its words allow (the prefecture if written, the city with or without its 郡,
// the longest listed town the rest begins with, 大字/字 written or not), then the notes of
// that town held against what the rest of the address says. The address decides its code when
// all readings lead to one code.

#include <set>
#include <string>

#include "place_index.h"

namespace kompa::books {

// What a written address says beyond its words, as its writer put it down.
struct WrittenParts {
    int city = -1;       // the city and town the writer meant
    std::string baseKey; // (the reader also tries them when a longer town matches too)
    int chome = -1;      // the first number, written with 丁目
    int banchi = -1;     // the first number, written with 番地/番 or bare
    bool bare = false;   // written without 丁目 or 番地 (3-4-5): a 丁目 or a 番地
    int second = -1;     // the numbers after the first (3丁目4番5号, 123番地4)
    int third = -1;
    int chiwari = -1;
    bool partWritten = false;
    std::string partKey;
    bool buildingWritten = false;
    std::string buildingKey;
    int floor = -1; // 0 for a basement (地下1階, B1)
    bool streetWritten = false;
    std::string streetKey;
};

// The codes of every reading of text (UTF-8); empty when no reading leads anywhere.
// skipUnreadable leaves out the lines whose notes are not read (which otherwise can never be
// ruled out), to tell how many undecided addresses rest on them alone.
std::set<std::string> ReadCodes(const PlaceIndex& index, const std::string& text,
                                const WrittenParts& parts, bool skipUnreadable = false);

} // namespace kompa::books
