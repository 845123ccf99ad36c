#pragma once
// The form office names are compared in, so that a name typed one way finds the name written
// another: full-width letters, digits and signs become ASCII (letters upper case), half-width
// katakana become full-width (with their voiced marks joined), blanks of either width go, and so
// do the marks of a company's legal form (株式会社, （株）, (株), ㈱, and the same for 有限・合同・
// 合資・合名会社). All text is Shift-JIS bytes.

#include <string>
#include <string_view>

namespace kompa {

std::string FoldOfficeName(std::string_view name);
// The same, into out (emptied first), so a loop over many names reuses one buffer.
void FoldOfficeName(std::string_view name, std::string& out);

} // namespace kompa
