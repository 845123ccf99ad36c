#pragma once
// A postal code as people write it in their books and type it into the window: "1234567",
// "123-4567", "〒123-4567", "１２３－４５６７", with blanks around. Shift-JIS bytes unless said.
// A new code can be written the way an old one was.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kompa {

inline constexpr std::size_t kCodeDigits = 7;

// The code written in text: blanks (ASCII or full-width) around it, an optional "〒" and blanks
// after it, three digits, an optional hyphen (- － − ‐ ー), four digits; each digit ASCII or
// full-width. Its seven ASCII digits, or nothing for any other text.
std::optional<std::string> ReadWrittenCode(std::string_view text);

// A written code (one ReadWrittenCode reads, in Shift-JIS or as UTF-8) with its seven digits
// replaced by digits, each in the width of the digit it replaces: every other byte is kept.
std::string RewriteDigits(std::string_view writtenCode, std::string_view digits, bool utf8);

// The first limit bytes of a Shift-JIS text, ending before a double-byte character that the
// limit would cut in two.
std::string_view CutOnWholeCharacter(std::string_view sjis, std::size_t limit);

} // namespace kompa
