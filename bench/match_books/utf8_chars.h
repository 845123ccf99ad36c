#pragma once
// UTF-8 text as characters: the address books are written and read character by character.

#include <string>
#include <string_view>

namespace kompa::books {

// The characters of utf8; a byte that starts no valid sequence becomes U+FFFD.
std::u32string Chars(std::string_view utf8);

void AppendChar(std::string& utf8, char32_t c);
std::string Utf8(std::u32string_view chars);

} // namespace kompa::books
