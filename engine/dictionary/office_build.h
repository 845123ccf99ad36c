#pragma once
// Building the business-office dictionary from the operator's business-office file (13 fields a
// line: 0 municipality code, 1 name in kana, 2 name, 3 prefecture, 4 city, 5 town, 6 street part,
// 7 the office's code, 8 old code, 9 handling post office, 10 kind (0 office, 1 post-office box),
// 11 and 12 flags). The file is read as the residential file is: Shift-JIS or UTF-8, CR LF or
// LF, or the ZIP archive holding it.

#include <string>
#include <string_view>

namespace kompa {

// The whole OFFICE.DIC image of a decoded office file. Raises "%d 行目は事業所データとして正しく
// ありません: %s" naming the first malformed line and what is wrong with it.
std::string OfficeImage(std::string_view text);

// Which of the two kinds of data file a decoded text is, told from its first line: the office
// file carries the prefecture in field 3, the residential file in field 6. A text that is
// neither counts as residential, whose build then says what is wrong.
enum class TSourceKind { Residential, Office };
TSourceKind KindOfSourceText(std::string_view text);

} // namespace kompa
