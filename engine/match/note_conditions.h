#pragma once
// What a note of the ministry's town names says about the addresses it covers, read into
// conditions that a written address can be held against: （１～１９丁目）, （１２３番地）,
// （次のビルを除く）, （３階）, （地階・階層不明）, （その他）, lists of 小字 names with 「…」
// exceptions, 地割, 線 and 区 numbers, Kyoto's street descriptions. A note that cannot be read
// is marked so, and its town is then never decided by its notes.

#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kompa::match {

// Numbered parts of an address that come before the lot number, each with its own counter.
enum class THead : std::uint8_t { Chome, Jiwari, Sen, Jo, Ku, Kumi, Go };
inline constexpr int kHeadCount = 7;

struct TIntRange {
    std::int32_t lo = INT_MIN;
    std::int32_t hi = INT_MAX;
};

// A lot number and its sub-numbers: 123番地4 is {123, 4}; 2丁目5番3号 written as a path of
// its own is {2, 5, 3}.
struct TPath {
    std::array<std::int32_t, 4> v{};
    std::uint8_t n = 0;
    void Push(std::int32_t x)
    {
        if (n < v.size())
            v[n++] = x;
    }
};

// Paths from lo to hi in the order of their numbers; a side with no numbers is open.
struct TPathRange {
    TPath lo, hi;
};

struct TNoteItem {
    std::string name;       // 小字 or part name the address names after the town (canonical)
    std::string descriptor; // a street description (Kyoto), canonical
    std::uint8_t heads = 0; // bit per THead that this item constrains
    std::array<TIntRange, kHeadCount> head{};
    // Lot numbers: any of these (empty: any lot). Compared with the address's numbers from
    // the first after the heads; with no heads, from the first number of the address.
    std::vector<TPathRange> lots;
    // Lots that belong elsewhere. An address among them is undecided rather than excluded:
    // some exceptions of the data are written ambiguously.
    std::vector<TPathRange> except;
    // （丁目） and （番地）: +1 covers the addresses written with a 丁目, -1 those without.
    std::int8_t chomeSelector = 0;
    // Written so that its extent is unclear (５１３の１以内): an address it covers is undecided.
    bool uncertain = false;

    bool Has(THead h) const { return heads & (1u << static_cast<int>(h)); }
    void Set(THead h, TIntRange r)
    {
        heads |= static_cast<std::uint8_t>(1u << static_cast<int>(h));
        head[static_cast<int>(h)] = r;
    }
};

enum class TNoteKind : std::uint8_t {
    Plain,        // no note: the whole town, unless a sibling line says otherwise
    Items,        // any of the items
    Other,        // （その他）: the town's addresses that no sibling line covers
    NotBuilding,  // （次のビルを除く）: the town but its listed buildings
    Floor,        // （N階） of a building
    UnknownFloor, // （地階・階層不明）
    CityDefault,  // 以下に掲載がない場合: the city's addresses in towns not listed
    WholeCity,    // 〜一円: the whole city
    Unreadable,
};

struct TNote {
    TNoteKind kind = TNoteKind::Plain;
    std::int16_t floor = 0;
    // A condition written into the town name itself (種市第１５地割～第２１地割), which must
    // hold beside any of the others: it is then items[0].
    bool hasBaseCondition = false;
    std::vector<TNoteItem> items;
    const TNoteItem* Base() const { return hasBaseCondition ? items.data() : nullptr; }
    std::size_t FirstItem() const { return hasBaseCondition ? 1 : 0; }
};

// A street description in the form it is compared in: る/ル after 上, 下, 入 and the り of
// 通り dropped (canonical text in, canonical text out).
std::string StreetForm(std::string_view canonical);

// Reads the text between a town note's outer parentheses (Shift-JIS, as in the dictionary).
TNote ParseNote(std::string_view sjisNote);

// A town name as the dictionary holds it, parted into the name proper (canonical) and its
// note. cityBare is the city's name without its 郡 (canonical), for 〜一円 and
// 〜の次に番地がくる場合.
struct TTownName {
    std::string base; // canonical, empty for the city-wide lines
    TNote note;
};
TTownName ReadTownName(std::string_view sjisTown, std::string_view cityCanonical,
                       std::string_view cityBareCanonical);

} // namespace kompa::match
