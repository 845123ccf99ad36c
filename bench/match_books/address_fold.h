#pragma once
// How a careful reader compares what people write with the names of the ministry file: widths,
// blanks, hyphens, ケ/ヶ/が/ガ/ヵ, の/ノ/之, old and new kanji forms and kanji numerals all count
// as the same. Two names with the same key are one name to that reader.

#include <string>
#include <string_view>

namespace kompa::books {

// The comparison key of a UTF-8 text.
std::string FoldKey(std::string_view utf8);

// The other spellings a writer may use for c: the other members of its group of kanji forms
// (of the groups people write either way), or of ケ/ヶ/が/ガ/ヵ, or of の/ノ/之; empty when c
// has none.
std::u32string SpellingsOf(char32_t c);
bool IsKanaConnective(char32_t c); // ケ, ヶ, が, ... and の, ノ, 之
bool IsKanjiVariant(char32_t c);

bool IsKanji(char32_t c);
// 〇一二三四五六七八九十
bool IsKanjiDigit(char32_t c);
// The value of a run of kanji numerals (十 read as tens: 二十三 = 23, 十 = 10).
int KanjiNumberValue(std::u32string_view run);
// 1..99 in kanji numerals as people write them (23 = 二十三).
std::u32string KanjiNumber(int value);

} // namespace kompa::books
