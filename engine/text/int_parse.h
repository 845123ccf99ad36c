#pragma once
// The platform's integer parser: leading blanks (0x20) are skipped, then an optional "+" or "-"
// followed by decimal digits, or "$" followed by hexadecimal digits; nothing may follow.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kompa {

std::optional<std::int32_t> TryStrToInt(std::string_view text);
// Raises "'%s' は整数ではありません" with the text when it is not an integer.
std::int32_t StrToInt(std::string_view text);
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);

} // namespace kompa
