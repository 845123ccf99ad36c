#pragma once
// Queries read from standard input: the whole input at once, in large reads, then split into
// lines (LF ends a line, one CR right before it is dropped, a last line without LF counts).

#include <string>
#include <string_view>
#include <vector>

namespace kompa::cli {

// Reads the file descriptor to its end. Returns false (errno set) on a read error.
bool ReadAll(int fd, std::string& into);

// Views into text; they live as long as text does.
std::vector<std::string_view> SplitLines(std::string_view text);

} // namespace kompa::cli
