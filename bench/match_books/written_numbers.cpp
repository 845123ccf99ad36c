#include "written_numbers.h"

#include "address_fold.h"
#include "utf8_chars.h"

namespace kompa::books {

NumberStyle PickNumberStyle(Dice& dice, bool fullWidth)
{
    NumberStyle style;
    style.fullWidth = fullWidth;
    const int h = dice.Below(100);
    if (fullWidth)
        style.hyphen = h < 70 ? "－" : h < 85 ? "ー" : "−";
    else
        style.hyphen = h < 75 ? "-" : h < 85 ? "－" : h < 92 ? "‐" : "−";
    return style;
}

std::string Digits(int n, bool fullWidth)
{
    std::string text;
    for (char c : std::to_string(n)) {
        if (fullWidth) {
            text += "\xEF\xBC";
            text += static_cast<char>(0x90 + (c - '0'));
        } else {
            text += c;
        }
    }
    return text;
}

std::string ChomeNumber(Dice& dice, const NumberStyle& style, int chome, WrittenParts& parts)
{
    if (dice.Chance(35)) {
        // 3-4-5
        const int ban = dice.Between(1, 30);
        parts.bare = true;
        parts.banchi = chome;
        parts.second = ban;
        std::string text =
            Digits(chome, style.fullWidth) + style.hyphen + Digits(ban, style.fullWidth);
        if (dice.Chance(80)) {
            parts.third = dice.Between(1, 40);
            text += style.hyphen + Digits(parts.third, style.fullWidth);
        }
        return text;
    }
    return ExplicitChomeNumber(dice, style, chome, parts);
}

std::string ExplicitChomeNumber(Dice& dice, const NumberStyle& style, int chome,
                                WrittenParts& parts)
{
    parts.chome = chome;
    std::string text =
        chome <= 99 && dice.Chance(20) ? Utf8(KanjiNumber(chome)) : Digits(chome, style.fullWidth);
    text += "丁目";
    const int ban = dice.Between(1, 30);
    const int go = dice.Between(1, 40);
    const int form = dice.Below(4);
    if (form == 3 && dice.Chance(50))
        return text;
    parts.second = ban;
    if (form == 3)
        return text + Digits(ban, style.fullWidth);
    parts.third = go;
    switch (form) {
    case 0:
        return text + Digits(ban, style.fullWidth) + "番" + Digits(go, style.fullWidth) + "号";
    case 1:
        return text + Digits(ban, style.fullWidth) + style.hyphen + Digits(go, style.fullWidth);
    default:
        return text + Digits(ban, style.fullWidth) + "番地" + Digits(go, style.fullWidth);
    }
}

std::string BlockNumber(Dice& dice, const NumberStyle& style, const std::array<int, 3>& block,
                        WrittenParts& parts)
{
    parts.second = block[1];
    parts.third = block[2];
    const std::string ban = Digits(block[1], style.fullWidth);
    const std::string go = Digits(block[2], style.fullWidth);
    switch (dice.Below(3)) {
    case 0:
        parts.chome = block[0];
        return Digits(block[0], style.fullWidth) + "丁目" + ban + "番" + go + "号";
    case 1:
        parts.chome = block[0];
        return Digits(block[0], style.fullWidth) + "丁目" + ban + style.hyphen + go;
    default:
        parts.banchi = block[0];
        parts.bare = true;
        return Digits(block[0], style.fullWidth) + style.hyphen + ban + style.hyphen + go;
    }
}

std::string BanchiNumber(Dice& dice, const NumberStyle& style, int banchi, int sub, bool allowBare,
                         WrittenParts& parts)
{
    if (sub < 0 && dice.Chance(60))
        sub = dice.Between(1, 30);
    parts.banchi = banchi;
    parts.second = sub;
    std::string n = Digits(banchi, style.fullWidth);
    const std::string s = sub >= 0 ? Digits(sub, style.fullWidth) : std::string();
    const int form = dice.Below(allowBare ? 4 : 2);
    if (form >= 2) {
        parts.bare = true;
        if (sub < 0)
            return n;
        return n + (form == 2 ? style.hyphen : std::string("の")) + s;
    }
    if (sub < 0)
        return n + (form == 0 ? "番地" : "番");
    return form == 0 ? n + "番地" + s : n + "番地" + style.hyphen + s;
}

std::string NumberWithoutChome(Dice& dice, const NumberStyle& style, WrittenParts& parts)
{
    const int ban = dice.Between(1, 30);
    parts.banchi = ban;
    if (dice.Chance(50)) {
        parts.second = dice.Between(1, 40);
        return Digits(ban, style.fullWidth) + "番" + Digits(parts.second, style.fullWidth) + "号";
    }
    return Digits(ban, style.fullWidth) + "番地";
}

std::string AnyNumber(Dice& dice, const NumberStyle& style, bool rural, WrittenParts& parts)
{
    if (!rural && dice.Chance(50))
        return ChomeNumber(dice, style, dice.Between(1, 9), parts);
    return BanchiNumber(dice, style, dice.Between(1, 3000), -1, true, parts);
}

std::string FloorText(Dice& dice, const NumberStyle& style, int floor)
{
    switch (dice.Below(5)) {
    case 0:
    case 1:
        return Digits(floor, style.fullWidth) + "階";
    case 2:
    case 3:
        return Digits(floor, style.fullWidth) + (style.fullWidth ? "Ｆ" : "F");
    default:
        return Digits(floor, style.fullWidth) + "階" + Digits(dice.Between(1, 20), false) + "号室";
    }
}

std::string BasementText(Dice& dice, const NumberStyle& style)
{
    switch (dice.Below(3)) {
    case 0:
        return "地下" + Digits(1, style.fullWidth) + "階";
    case 1:
        return style.fullWidth ? "Ｂ１" : "B1";
    default:
        return style.fullWidth ? "Ｂ１Ｆ" : "B1F";
    }
}

} // namespace kompa::books
