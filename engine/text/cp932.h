#pragma once
// The one CP932 (Windows-31J) converter, used only at the boundaries: the windows' text and the
// command line's UTF-8 arguments and output; and UTF-16 for books kept in it. The engine itself
// compares Shift-JIS only.

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

// UTF-16 without its byte-order mark (little- or big-endian) to UTF-8 and back, for a book
// exported as "Unicode text". False at the first sequence that does not convert (an unpaired
// surrogate, an odd last byte, invalid UTF-8), with *stoppedAt its offset in the input.
bool Utf16ToUtf8(std::string_view utf16, bool bigEndian, std::string& utf8,
                 std::size_t* stoppedAt = nullptr);
bool Utf8ToUtf16(std::string_view utf8, bool bigEndian, std::string& utf16);

} // namespace kompa::cp932
