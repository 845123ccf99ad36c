#pragma once
// The towns of a ministry file, one per town however many lines it takes: a line whose （ is
// not closed goes on in the following lines of the same code, which are joined to it.

#include <string>
#include <string_view>
#include <vector>

namespace kompa::books {

struct MinistryTown {
    std::string code; // seven digits
    std::string pref; // UTF-8, as the file spells them
    std::string city;
    std::string town;  // the joined town field, notes included
    int firstLine = 0; // 1-based
    int lineCount = 1;
};

// The towns of a Shift-JIS ministry text (CR LF lines, 15 fields), as DecodeSource gives it
// from any form the dictionary build reads.
std::vector<MinistryTown> ReadMinistryTowns(std::string_view sjisText);

// Whether a town field leaves a （ open.
bool LeavesParenOpen(std::string_view utf8Town);

} // namespace kompa::books
