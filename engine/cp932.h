#pragma once
// The one CP932 (Windows-31J) converter, used only at the boundaries: the windows' text and the
// command line's UTF-8 arguments and output. The engine itself never converts.

#include <string>
#include <string_view>

namespace kompa::cp932 {

// Shift-JIS bytes to UTF-8; a byte sequence with no CP932 meaning becomes U+FFFD.
std::string ToUtf8(std::string_view sjis);

// UTF-8 to Shift-JIS; a character with no CP932 form becomes "?" (the Windows default character).
std::string FromUtf8(std::string_view utf8);

// UTF-8 to Shift-JIS; returns false at the first character with no CP932 form (or invalid
// UTF-8), with that character (as UTF-8) in badChar.
bool FromUtf8Strict(std::string_view utf8, std::string& sjis, std::string* badChar = nullptr);

// The same as FromUtf8Strict, table-driven for text converted record by record (a user's UTF-8
// address book): each character's entry is iconv's own answer, asked the first time the character
// is met. The table is shared and unguarded: call from one thread.
bool FromUtf8Fast(std::string_view utf8, std::string& sjis);

} // namespace kompa::cp932
