#pragma once
// Splitting one line of the ministry's postal-code file into fields. Commas and blanks (0x01 to
// 0x20) separate, double quotes enclose a field and a pair of them inside stands for one; bytes
// right after a closing quote start a new field; a comma at the end gives one more, empty field.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kompa {

// Longest part of a ministry line the build looks at; the rest of the line is skipped.
inline constexpr std::size_t kSourceLineMax = 255;

// Splits line into fields without copying: each field points into line, or into scratch when
// it held doubled quotes. Stops after maxFields fields, as the build never looks further.
// The views stay valid while line and scratch are unchanged.
void SplitSourceLine(std::string_view line, std::vector<std::string_view>& fields,
                     std::string& scratch, std::size_t maxFields = static_cast<std::size_t>(-1));

// The same for the usual line, quicker: splits the first maxFields fields when each is either
// quoted without a quote inside or bare without a blank, a single comma after each. Returns
// false for any other line, which SplitSourceLine then splits.
bool SplitPlainSourceLine(std::string_view line, std::vector<std::string_view>& fields,
                          std::size_t maxFields);

// The same, as copies.
std::vector<std::string> SplitSourceLine(std::string_view line);

} // namespace kompa
