#pragma once
// The UTF-8 / Shift-JIS boundary of the command line. The engine speaks Shift-JIS only.

#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace kompa::cli {

// Appends sjis to out as UTF-8. Each CP932 character converts on its own (a per-character cache
// makes repeated text cheap); a byte sequence with no CP932 meaning becomes U+FFFD. A lead byte
// followed by a byte that cannot trail it becomes U+FFFD alone, so the next byte (a blank, a
// digit) is never swallowed.
void AppendUtf8(std::string& out, std::string_view sjis);
std::string SjisToUtf8(std::string_view sjis);

// UTF-8 to Shift-JIS as cp932::FromUtf8Strict converts it, through the engine's table
// (cp932::FromUtf8Fast). Returns false, with sjis unspecified, at the first character without a
// CP932 form or at invalid UTF-8: cp932::FromUtf8Strict then names it.
bool FromUtf8Cached(std::string_view utf8, std::string& sjis);

// Human-readable name of one character as FromUtf8Strict reports it: "'〜' (U+301C)", or the
// bytes in hex when they are not valid UTF-8.
std::string DescribeChar(std::string_view utf8);

// An engine message for a UTF-8 terminal. A file name inside it came from the command line as
// raw bytes, so it is kept as it is when it is valid UTF-8 instead of being decoded as CP932.
std::string MessageToUtf8(std::string_view message, std::string_view fileName = {});
// The same for a message that may name several files (a file and its backup).
std::string MessageToUtf8(std::string_view message, const std::vector<std::string>& fileNames);

// Prints a failed build's message to standard error ("kompa-cli: ", then "line N: " when it
// belongs to a line of the source) and returns the exit status 1.
int ReportBuildFailure(const std::exception& failure, const std::vector<std::string>& fileNames);

} // namespace kompa::cli
