#pragma once
// The dialect as command-line words: the read delimiters ("comma,tab,control", "char:;",
// "none"), the write delimiter ("comma", "tab", "space", "char:X") and the quote targets
// ("tab,space,control", "all", "none"). Each sets the matching controls of a TCsvDialect.

#include <string>
#include <string_view>

#include "conv/csv_dialect.h"

namespace kompa {

// Each returns false with a reason in error for a word it does not know; the dialect is then
// partly set.
bool ParseReadDelimiters(std::string_view list, TCsvDialect& dialect, std::string& error);
bool ParseWriteDelimiter(std::string_view word, TCsvDialect& dialect, std::string& error);
bool ParseQuoteTargets(std::string_view list, TCsvDialect& dialect, std::string& error);

} // namespace kompa
