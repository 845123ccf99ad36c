#pragma once
// A postal code as people write it in their books and type it into the window: "1234567",
// "123-4567", "〒123-4567", "１２３－４５６７", with blanks around. All text is Shift-JIS bytes.
// The shape of a written code is kept so that a new code can be written the same way.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kompa {

inline constexpr std::size_t kCodeDigits = 7;

struct TWrittenCode {
    std::string digits; // the seven ASCII digits
    std::string text;   // the code as written
    // Where each digit stands in text, and whether it is a full-width (two-byte) digit.
    std::array<std::size_t, kCodeDigits> at{};
    std::array<bool, kCodeDigits> wide{};
};

// The code written in text: blanks (ASCII or full-width) around it, an optional "〒" and blanks
// after it, three digits, an optional hyphen (- － − ‐ ー), four digits; each digit ASCII or
// full-width. Nothing for any other text.
std::optional<TWrittenCode> ReadWrittenCode(std::string_view text);

// The seven ASCII digits written as shape writes its code: every other byte of shape's text
// kept, each digit in the width of the digit it replaces.
std::string WriteLikeShape(const TWrittenCode& shape, std::string_view digits);

// The first limit bytes of a Shift-JIS text, ending before a double-byte character that the
// limit would cut in two.
std::string_view CutOnWholeCharacter(std::string_view sjis, std::size_t limit);

} // namespace kompa
