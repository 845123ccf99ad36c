#pragma once
// The form in which addresses are compared: the written address and the dictionary's city and
// town names both go through it, so two writings of one place meet. Digits are ASCII (full-width
// and kanji numerals before 丁目, 条, 番地 and the like), Latin letters ASCII upper case,
// half-width katakana full-width, ヶ/ケ/が/ガ/ヵ one character, の/ノ/之 one, old and variant
// kanji forms their common form, dashes '-'. Spaces are dropped; where one stood is remembered,
// since a space often ends a town name. Everything stays Shift-JIS bytes.

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/text/sjis.h"

namespace kompa::match {

// Longest text canonicalised; a dictionary record holds at most 254 bytes, a user's field more.
inline constexpr std::size_t kMaxCanonical = 512;

struct TCanonicalText {
    std::string text;
    // spaceBefore[i]: a space (or several) stood before byte i of text, or at its end for
    // i == text.size().
    std::bitset<kMaxCanonical + 1> spaceBefore;
    bool SpaceAt(std::size_t i) const { return i <= kMaxCanonical && spaceBefore[i]; }
};

// Canonical form of Shift-JIS text. Text past kMaxCanonical bytes of output is dropped.
void Canonicalize(std::string_view sjis, TCanonicalText& out);
std::string Canonical(std::string_view sjis);

// A UTF-8 address made ready for its Shift-JIS form: variation selectors and zero-width
// characters dropped, dashes, minus signs and spaces of every kind made those CP932 holds, a
// few kanji outside CP932 made their common forms (𠮷 吉). Returns text itself when there was
// nothing to do, else a view of scratch.
std::string_view CleanUtf8(std::string_view text, std::string& scratch);

// Shift-JIS of a UTF-8 literal, for the tables built from readable text.
std::string Sjis(std::string_view utf8);

// Character length at text[i] (1 or 2), never past the end.
inline std::size_t CharLength(std::string_view text, std::size_t i)
{
    const auto b = static_cast<unsigned char>(text[i]);
    return IsSjisLeadByte(b) && i + 1 < text.size() ? 2 : 1;
}

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether text at i starts with the (Shift-JIS) word.
inline bool StartsWithAt(std::string_view text, std::size_t i, std::string_view word)
{
    return text.size() >= i + word.size() && text.compare(i, word.size(), word) == 0;
}

// The value of a kanji numeral run ("二十三", "三〇五", "十"), or -1 when text holds anything
// else. Used for notes and addresses alike.
long KanjiNumberValue(std::string_view sjis);

} // namespace kompa::match
