#pragma once
// The number part of an address as people write it: 3丁目4番5号, 3-4-5, ３－４－５, 三丁目4-5,
// 123番地, 123番地4, 123-4, 1の2, in ASCII or full-width digits with any of the hyphens people
// use; floors as 5階, 5F or ５Ｆ. Each form also records what it says for the reader.

#include <array>
#include <string>

#include "address_reading.h"
#include "dice.h"

namespace kompa::books {

struct NumberStyle {
    bool fullWidth = false;
    std::string hyphen = "-";
};

NumberStyle PickNumberStyle(Dice& dice, bool fullWidth);
std::string Digits(int n, bool fullWidth);

// A 丁目 number with the 番 and 号 after it, in one of the forms people use.
std::string ChomeNumber(Dice& dice, const NumberStyle& style, int chome, WrittenParts& parts);
// A 丁目 number that has to be read as one: always written with 丁目.
std::string ExplicitChomeNumber(Dice& dice, const NumberStyle& style, int chome,
                                WrittenParts& parts);
// One 丁目, 番 and 号: 1丁目1番8号, 1-1-8, 1丁目1-8.
std::string BlockNumber(Dice& dice, const NumberStyle& style, const std::array<int, 3>& block,
                        WrittenParts& parts);
// A 番地 with or without the number after it (sub < 0: chosen here, or none); bare forms (123-4)
// only when allowBare.
std::string BanchiNumber(Dice& dice, const NumberStyle& style, int banchi, int sub, bool allowBare,
                         WrittenParts& parts);
// 4番5号 or 12番地: a number that says no 丁目.
std::string NumberWithoutChome(Dice& dice, const NumberStyle& style, WrittenParts& parts);
// A number for a town whose notes do not care: a 丁目 form or a 番地 form.
std::string AnyNumber(Dice& dice, const NumberStyle& style, bool rural, WrittenParts& parts);

std::string FloorText(Dice& dice, const NumberStyle& style, int floor);
// 地下1階, B1, B1F.
std::string BasementText(Dice& dice, const NumberStyle& style);

} // namespace kompa::books
