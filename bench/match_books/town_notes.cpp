#include "town_notes.h"

#include <algorithm>

#include "utf8_chars.h"

namespace kompa::books {
namespace {

using View = std::u32string_view;

bool IsDigitChar(char32_t c)
{
    return (c >= '0' && c <= '9') || (c >= U'０' && c <= U'９');
}

// The number at the front of text (ASCII or full-width digits), consumed; -1 when none.
int TakeNumber(View& text)
{
    int value = -1;
    while (!text.empty() && IsDigitChar(text.front())) {
        const int digit =
            static_cast<int>(text.front() >= U'０' ? text.front() - U'０' : text.front() - '0');
        value = (value < 0 ? 0 : value) * 10 + digit;
        text.remove_prefix(1);
    }
    return value;
}

bool Take(View& text, View word)
{
    if (!text.starts_with(word))
        return false;
    text.remove_prefix(word.size());
    return true;
}

bool HasDigit(View text)
{
    return std::any_of(text.begin(), text.end(), IsDigitChar);
}

// Items of a note, split at 、 outside 「」 and 〔〕.
std::vector<View> SplitItems(View note)
{
    std::vector<View> items;
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < note.size(); ++i) {
        if (note[i] == U'「' || note[i] == U'〔')
            ++depth;
        else if (note[i] == U'」' || note[i] == U'〕')
            --depth;
        else if (note[i] == U'、' && depth == 0) {
            items.push_back(note.substr(start, i - start));
            start = i + 1;
        }
    }
    items.push_back(note.substr(start));
    return items;
}

// N丁目, N～M丁目 or N丁目～M丁目, the whole item.
bool ReadChome(View item, NumberRange& range)
{
    const int lo = TakeNumber(item);
    if (lo < 0)
        return false;
    const bool first = Take(item, U"丁目") || Take(item, U"丁");
    if (Take(item, U"～")) {
        const int hi = TakeNumber(item);
        if (hi < lo || !(Take(item, U"丁目") || Take(item, U"丁")) || !item.empty())
            return false;
        range = {lo, hi};
        return true;
    }
    range = {lo, lo};
    return first && item.empty();
}

// 第N地割, N地割, 第N地割～第M地割, each number optionally after name.
bool ReadChiwari(View item, View name, NumberRange& range)
{
    Take(item, name);
    Take(item, U"第");
    const int lo = TakeNumber(item);
    if (lo < 0 || !Take(item, U"地割"))
        return false;
    int hi = lo;
    if (Take(item, U"～")) {
        Take(item, name);
        Take(item, U"第");
        hi = TakeNumber(item);
        if (hi < lo || !Take(item, U"地割"))
            return false;
    }
    range = {lo, hi};
    return item.empty();
}

bool TakeBanchiWord(View& item)
{
    return Take(item, U"番地") || Take(item, U"番");
}

// N, N－S, NのS, N番地のS, N～M, N番地～M番地, N～ (and on), each with 番地 or 番 after it or
// not, and N番地以上 / 以降 / 以下.
bool ReadBanchi(View item, BanchiItem& banchi)
{
    banchi.lo = TakeNumber(item);
    if (banchi.lo < 0)
        return false;
    banchi.hi = banchi.lo;
    TakeBanchiWord(item);
    if (Take(item, U"－") || Take(item, U"の")) {
        banchi.sub = TakeNumber(item);
        if (banchi.sub < 0)
            return false;
    } else if (Take(item, U"～")) {
        banchi.hi = item.empty() ? kOpenEnd : TakeNumber(item);
        if (banchi.hi < banchi.lo)
            return false;
    }
    TakeBanchiWord(item);
    const bool single = banchi.sub < 0 && banchi.hi == banchi.lo;
    if (Take(item, U"以上") || Take(item, U"以降")) {
        if (!single)
            return false;
        banchi.hi = kOpenEnd;
    } else if (Take(item, U"以下")) {
        if (!single)
            return false;
        banchi.lo = 1;
    }
    return item.empty();
}

bool IsStreet(View item)
{
    return item.find(U'通') != View::npos || item.find(U"上る") != View::npos ||
           item.find(U"下る") != View::npos || item.find(U'入') != View::npos;
}

void MarkUnreadable(TownNote& note, const char* why)
{
    if (note.shape != NoteShape::Unreadable) {
        note.shape = NoteShape::Unreadable;
        note.unreadable = why;
    }
}

// N－M－K, the whole item.
bool ReadBlock(View item, std::array<int, 3>& block)
{
    for (std::size_t k = 0; k < 3; ++k) {
        if (k > 0 && !Take(item, U"－"))
            return false;
        block[k] = TakeNumber(item);
        if (block[k] < 0)
            return false;
    }
    return item.empty();
}

// One item of a parenthesised note into note; what cannot be read marks the note unreadable.
void ReadItem(View item, bool kyoto, TownNote& note)
{
    NumberRange range;
    BanchiItem banchi;
    std::array<int, 3> block{};
    if (item.empty())
        MarkUnreadable(note, "empty-item");
    else if (item == U"その他")
        note.others = true;
    else if (item == U"次のビルを除く")
        note.exceptBuildings = true;
    else if (item == U"地階・階層不明")
        note.floor = 0;
    else if (item.size() > 1 && item.ends_with(U"階") && IsDigitChar(item.front())) {
        View digits = item.substr(0, item.size() - 1);
        note.floor = TakeNumber(digits);
        if (!digits.empty())
            MarkUnreadable(note, "floor");
    } else if (item == U"丁目")
        note.chomeWritten = 1;
    else if (item == U"番地" || item == U"大字")
        note.chomeWritten = 0;
    else if (item.find(U'「') != View::npos || item.find(U'〔') != View::npos)
        MarkUnreadable(note, "quoted-exception");
    else if (kyoto && IsStreet(item))
        note.street = Utf8(item);
    else if (ReadChome(item, range))
        note.chome.push_back(range);
    else if (ReadChiwari(item, U"", range))
        note.chiwari.push_back(range);
    else if (ReadBanchi(item, banchi))
        note.banchi.push_back(banchi);
    else if (ReadBlock(item, block))
        note.blocks.push_back(block);
    else if (IsDigitChar(item.front()) && item.find(U"丁目") != View::npos) {
        // 5丁目1番地 and the like: the 丁目 is known, the rest is not read.
        View rest = item;
        const int chome = TakeNumber(rest);
        if (Take(rest, U"丁目"))
            note.chome.push_back({chome, chome});
        MarkUnreadable(note, "chome-and-banchi");
    } else if (HasDigit(item) &&
               (item.find(U'～') != View::npos || item.find(U'・') != View::npos ||
                item.find(U'番') != View::npos || item.find(U'の') != View::npos ||
                item.find(U'－') != View::npos || IsDigitChar(item.back())))
        MarkUnreadable(note, "numbered-part"); // 越虫６８: a part and its lot
    else
        note.parts.push_back(Utf8(item));
}

void ReadParenNote(View text, bool kyoto, TownNote& note)
{
    for (View item : SplitItems(text))
        ReadItem(item, kyoto, note);
}

// The 地割 written in the town name itself: 種市第１地割～第３地割, 湯本２９地割、湯本３０地割.
bool ReadChiwariTown(View base, TownNote& note)
{
    std::size_t at = 0;
    while (at < base.size() && base[at] != U'第' && !IsDigitChar(base[at]))
        ++at;
    if (at == 0 || at == base.size())
        return false;
    const View name = base.substr(0, at);
    for (View item : SplitItems(base.substr(at))) {
        NumberRange range;
        if (!ReadChiwari(item, name, range))
            return false;
        note.chiwari.push_back(range);
    }
    note.base = Utf8(name);
    return true;
}

NoteShape MainShape(const TownNote& note)
{
    if (note.shape == NoteShape::Unreadable)
        return NoteShape::Unreadable;
    const int kinds = (note.floor >= 0) + note.exceptBuildings + !note.street.empty() +
                      note.others + !note.chome.empty() + (note.chomeWritten >= 0) +
                      !note.banchi.empty() + !note.parts.empty() + !note.blocks.empty();
    if (note.floor > 0 && kinds == 1)
        return NoteShape::Floor;
    if (note.floor == 0 && kinds == 1)
        return NoteShape::Basement;
    if (note.exceptBuildings && kinds == 1)
        return NoteShape::ExceptBuildings;
    if (!note.street.empty() && kinds == 1)
        return NoteShape::Street;
    if (note.others && kinds == 1)
        return NoteShape::Others;
    if (kinds == 0 && !note.chiwari.empty())
        return NoteShape::Chiwari;
    if (!note.chome.empty() && kinds == 1)
        return NoteShape::ChomeRange;
    if (note.chomeWritten >= 0 && kinds == 1)
        return note.chomeWritten ? NoteShape::ChomeWritten : NoteShape::ChomeNotWritten;
    if (!note.banchi.empty() && kinds == 1)
        return NoteShape::Banchi;
    if (!note.blocks.empty() && kinds == 1)
        return NoteShape::Block;
    if (!note.parts.empty() && kinds == 1)
        return note.chiwari.empty() ? NoteShape::Parts : NoteShape::Chiwari;
    if (note.others && !note.chiwari.empty() && kinds == 1)
        return NoteShape::Others;
    return kinds == 0 ? NoteShape::Plain : NoteShape::Unreadable;
}

} // namespace

const char* ShapeName(NoteShape shape)
{
    switch (shape) {
    case NoteShape::Plain:
        return "plain";
    case NoteShape::CityDefault:
        return "city-default";
    case NoteShape::WholeCity:
        return "ichien";
    case NoteShape::ChomeRange:
        return "chome-range";
    case NoteShape::ChomeWritten:
        return "chome-written";
    case NoteShape::ChomeNotWritten:
        return "chome-not-written";
    case NoteShape::Banchi:
        return "banchi-range";
    case NoteShape::Chiwari:
        return "chiwari";
    case NoteShape::Parts:
        return "koaza";
    case NoteShape::Others:
        return "sonota";
    case NoteShape::Floor:
        return "floor";
    case NoteShape::Basement:
        return "basement";
    case NoteShape::ExceptBuildings:
        return "except-buildings";
    case NoteShape::Street:
        return "kyoto-street";
    case NoteShape::Block:
        return "block";
    case NoteShape::Unreadable:
        return "unreadable";
    }
    return "?";
}

std::string CityWithoutGun(std::string_view city)
{
    const std::u32string chars = Chars(city);
    const std::size_t gun = chars.find(U'郡');
    if (gun == std::u32string::npos || gun == 0 || gun + 1 >= chars.size() ||
        (chars.back() != U'町' && chars.back() != U'村'))
        return {};
    return Utf8(View(chars).substr(gun + 1));
}

bool InRanges(const std::vector<NumberRange>& ranges, int n)
{
    return std::any_of(ranges.begin(), ranges.end(),
                       [n](const NumberRange& r) { return n >= r.lo && n <= r.hi; });
}

TownNote ReadTownNote(std::string_view town, std::string_view city)
{
    TownNote note;
    const std::u32string chars = Chars(town);
    const View text(chars);
    if (text.empty() || text == U"以下に掲載がない場合") {
        note.shape = NoteShape::CityDefault;
        return note;
    }
    const std::string shortCity = CityWithoutGun(city);
    if (text.ends_with(U"一円") &&
        Utf8(text.substr(0, text.size() - 2)) == (shortCity.empty() ? city : shortCity)) {
        note.shape = NoteShape::WholeCity;
        return note;
    }
    // The bundled file keeps a wing in a floor's town (名駅ミッドランドスクエア（高層棟）１階):
    // only a town that ends in ） carries a note.
    const std::size_t open = text.ends_with(U"）") ? text.find(U'（') : View::npos;
    View base = text.substr(0, open);
    note.base = Utf8(base);
    if (base.find(U'、') != View::npos && base.find(U"地割") == View::npos) {
        MarkUnreadable(note, "town-list");
        return note;
    }
    if (base.find(U"地割") != View::npos && !ReadChiwariTown(base, note)) {
        MarkUnreadable(note, "chiwari-town");
        return note;
    }
    if (open != View::npos) {
        View inner = text.substr(open + 1, text.size() - open - 2);
        // 名駅ミッドランドスクエア（高層棟）（６階）: the wing belongs to the building's name.
        if (const std::size_t second = inner.find(U"）（"); second != View::npos) {
            note.base += Utf8(text.substr(open, second + 2));
            inner = inner.substr(second + 2);
        }
        if (inner.find(U'（') != View::npos) {
            MarkUnreadable(note, "nested");
            return note;
        }
        ReadParenNote(inner, city.starts_with("京都市"), note);
    }
    note.shape = MainShape(note);
    if (note.shape == NoteShape::Unreadable && note.unreadable.empty())
        note.unreadable = "mixed-note";
    return note;
}

} // namespace kompa::books
