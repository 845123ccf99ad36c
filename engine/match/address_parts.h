#pragma once
// What follows the town name in a written address, read into the parts a note can speak of:
// a 小字 or part name, numbered parts with their counters (丁目, 地割, 線, 区 …), the lot
// number with its sub-numbers, and whatever comes after (a building, a floor, a room).

#include <array>
#include <cstdint>
#include <string_view>

#include "canonical.h"
#include "note_conditions.h"

namespace kompa::match {

struct TAddressParts {
    std::string_view name;     // a 小字 or part name before the numbers, canonical
    bool nameAfterAza = false; // the name came after 字, 大字 or 小字
    bool nameLeads = false;    // the name came right after the town, before any number
    std::uint8_t heads = 0;
    std::array<std::int32_t, kHeadCount> head{};
    // The lot number and its sub-numbers, at most six (a fixed array: read for every record).
    struct Lots {
        std::array<std::int32_t, 6> v{};
        std::uint8_t n = 0;
        bool empty() const { return n == 0; }
        std::size_t size() const { return n; }
        const std::int32_t* data() const { return v.data(); }
        std::int32_t operator[](std::size_t i) const { return v[i]; }
        void push_back(std::int32_t x) { v[n++] = x; }
    } lots;
    bool lotSaysBanchi = false; // 番地 or 番 written after the first lot number
    std::string_view after;     // what follows the numbers
    std::string_view all;       // everything after the town

    bool Has(THead h) const { return heads & (1u << static_cast<int>(h)); }
    std::int32_t Head(THead h) const { return head[static_cast<int>(h)]; }
    // Nothing at all after the town name: no name, number or building.
    bool Empty() const { return all.empty(); }
};

// Reads text[start, end) of a canonical address (the part after the town name).
// townListsParts: the town's lines name parts, which may be katakana (イ, クトネベツ).
void ReadAddressParts(const TCanonicalText& text, std::size_t start, TAddressParts& parts,
                      bool townListsParts = false);

// A floor written after a building's name: >0 a floor, 0 none written, -1 below ground.
int FloorAfter(std::string_view text);

// Whether a name read after a town is a building's: it ends as buildings' names do (ビル,
// マンション, 荘 …) or, where the town names no katakana parts, holds katakana or Latin
// letters.
bool LooksLikeBuilding(std::string_view canonicalName, bool townListsParts);

// Whether the canonical text at i begins a number (a digit, or 第 and a digit).
bool NumberStartsAt(std::string_view text, std::size_t i);

} // namespace kompa::match
