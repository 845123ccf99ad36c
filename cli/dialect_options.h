#pragma once
// The dialect as command-line words: the read delimiters ("comma,tab,control", "char:;",
// "none"), the write delimiter ("comma", "tab", "space", "char:X") and the quote targets
// ("tab,space,control", "all", "none"). Each sets the matching controls of a TCsvDialect.

#include <string>
#include <string_view>

#include "conv/book_lines.h"
#include "conv/csv_dialect.h"

namespace kompa {

// Each returns false with a reason in error for a word it does not know; the dialect is then
// partly set.
bool ParseReadDelimiters(std::string_view list, TCsvDialect& dialect, std::string& error);
bool ParseWriteDelimiter(std::string_view word, TCsvDialect& dialect, std::string& error);
bool ParseQuoteTargets(std::string_view list, TCsvDialect& dialect, std::string& error);

// Without --write-delim, a book whose fields are all separated by one and the same delimiter is
// written back with it (a tab-separated book stays tab-separated); any other keeps the default.
void WriteWithTheBooksDelimiter(const TBookLines& lines, const TCharSet& readDelimiters,
                                TCsvDialect& dialect);

} // namespace kompa
