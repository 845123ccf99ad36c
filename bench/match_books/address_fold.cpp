#include "address_fold.h"

#include <algorithm>
#include <array>

#include "utf8_chars.h"

namespace kompa::books {
namespace {

// Each group: the common form first, then the forms the data and people also use. People write
// the first kWrittenGroups either way; the rest only the fold knows (the data or an old hand has
// them).
constexpr std::array<std::u32string_view, 42> kKanjiGroups = {
    U"高髙", U"崎﨑嵜碕", U"辺邊邉", U"斉齋齊", U"浜濱", U"沢澤", U"桜櫻", U"桧檜",   U"島嶋嶌",
    U"富冨", U"広廣",     U"国國",   U"徳德",   U"竜龍", U"篭籠", U"曽曾", U"薮藪籔", U"滝瀧",
    U"峰峯", U"槙槇",     U"渕淵",   U"館舘",   U"条條", U"鴬鶯", U"寿壽", U"恵惠",   U"真眞",
    U"実實", U"静靜",     U"浅淺",   U"瀬瀨",   U"荘莊", U"児兒", U"弥彌", U"礼禮",   U"蔵藏",
    U"麸麩", U"晋晉",     U"欅﨔",   U"県縣",   U"旧舊", U"万萬"};
constexpr std::size_t kWrittenGroups = 24;
constexpr std::u32string_view kKeGroup = U"ケヶがガヵ";
constexpr std::u32string_view kNoGroup = U"ノの之";
constexpr std::u32string_view kKanjiDigits = U"〇一二三四五六七八九";

std::u32string_view GroupOf(char32_t c)
{
    if (kKeGroup.find(c) != std::u32string_view::npos)
        return kKeGroup;
    if (kNoGroup.find(c) != std::u32string_view::npos)
        return kNoGroup;
    for (std::u32string_view group : kKanjiGroups)
        if (group.find(c) != std::u32string_view::npos)
            return group;
    return {};
}

bool IsHyphen(char32_t c)
{
    return (c >= 0x2010 && c <= 0x2015) || c == 0x2212 || c == 0xFE63 || c == 0xFF0D || c == '-';
}

bool IsDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool IsKanji(char32_t c)
{
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0xF900 && c <= 0xFAFF) || c == U'々' || c == U'〇';
}

bool IsKanjiDigit(char32_t c)
{
    return c == U'十' || kKanjiDigits.find(c) != std::u32string_view::npos;
}

int KanjiNumberValue(std::u32string_view run)
{
    const std::size_t ten = run.find(U'十');
    auto digits = [](std::u32string_view part) {
        int value = 0;
        for (char32_t c : part)
            value = value * 10 + static_cast<int>(kKanjiDigits.find(c));
        return value;
    };
    if (ten == std::u32string_view::npos)
        return digits(run);
    const int tens = ten == 0 ? 1 : digits(run.substr(0, ten));
    return tens * 10 + digits(run.substr(ten + 1));
}

std::u32string KanjiNumber(int value)
{
    std::u32string out;
    if (value >= 10) {
        if (value >= 20)
            out += kKanjiDigits[static_cast<std::size_t>(value / 10)];
        out += U'十';
        value %= 10;
        if (value == 0)
            return out;
    }
    out += kKanjiDigits[static_cast<std::size_t>(value)];
    return out;
}

std::u32string SpellingsOf(char32_t c)
{
    const std::u32string_view group = GroupOf(c);
    if (std::find(kKanjiGroups.begin() + kWrittenGroups, kKanjiGroups.end(), group) !=
        kKanjiGroups.end())
        return {};
    std::u32string others;
    for (char32_t other : group)
        if (other != c)
            others += other;
    return others;
}

bool IsKanaConnective(char32_t c)
{
    return kKeGroup.find(c) != std::u32string_view::npos ||
           kNoGroup.find(c) != std::u32string_view::npos;
}

bool IsKanjiVariant(char32_t c)
{
    return !IsKanaConnective(c) && !SpellingsOf(c).empty();
}

std::string FoldKey(std::string_view utf8)
{
    const std::u32string in = Chars(utf8);
    std::u32string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t c = in[i];
        if (c == ' ' || c == U'\u3000' || c == '\t')
            continue;
        if (IsKanjiDigit(c)) {
            std::size_t end = i;
            while (end < in.size() && IsKanjiDigit(in[end]))
                ++end;
            for (char d :
                 std::to_string(KanjiNumberValue(std::u32string_view(in).substr(i, end - i))))
                out += static_cast<char32_t>(d);
            i = end - 1;
            continue;
        }
        if (c >= 0xFF01 && c <= 0xFF5E)
            c -= 0xFEE0;
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        if (IsHyphen(c) || ((c == U'ー' || c == 0xFF70) && !out.empty() && IsDigit(out.back())))
            c = '-';
        if (const std::u32string_view group = GroupOf(c); !group.empty())
            c = group.front();
        out += c;
    }
    return Utf8(out);
}

} // namespace kompa::books
