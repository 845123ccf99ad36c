#include "place_index.h"

#include <algorithm>

#include "address_fold.h"
#include "utf8_chars.h"

namespace kompa::books {
namespace {

bool IsFullDigit(char32_t c)
{
    return c >= U'０' && c <= U'９';
}

// The floor at the end of a bundled town (大手町ＪＡビル３６階 -> 36), or -1.
int TrailingFloor(const std::u32string& town, std::size_t& start)
{
    if (town.size() < 3 || town.back() != U'階')
        return -1;
    start = town.size() - 1;
    while (start > 0 && IsFullDigit(town[start - 1]))
        --start;
    if (start == town.size() - 1 || start == 0)
        return -1;
    int floor = 0;
    for (std::size_t i = start; i + 1 < town.size(); ++i)
        floor = floor * 10 + static_cast<int>(town[i] - U'０');
    return floor;
}

// The keys of the towns of a listed base (甲、乙).
std::vector<std::string> TownListKeys(const std::string& base)
{
    const std::u32string chars = Chars(base);
    std::vector<std::string> keys;
    std::size_t start = 0;
    for (std::size_t k = 0; k <= chars.size(); ++k)
        if (k == chars.size() || chars[k] == U'、') {
            keys.push_back(FoldKey(Utf8(std::u32string_view(chars).substr(start, k - start))));
            start = k + 1;
        }
    return keys;
}

} // namespace

PlaceIndex::PlaceIndex(std::vector<MinistryTown> towns)
{
    std::map<std::string, int> cityIds;
    std::map<std::string, int> prefIds;
    places_.reserve(towns.size());
    for (MinistryTown& town : towns) {
        const std::string cityId = town.pref + "\t" + town.city;
        auto [it, added] = cityIds.emplace(cityId, static_cast<int>(cities_.size()));
        if (added) {
            City city;
            city.pref = town.pref;
            city.name = town.city;
            city.shortName = CityWithoutGun(town.city);
            city.prefKey = FoldKey(town.pref);
            city.nameKey = FoldKey(town.city);
            city.shortKey = FoldKey(city.shortName);
            cities_.push_back(std::move(city));
            if (prefIds.emplace(town.pref, static_cast<int>(prefKeys_.size())).second)
                prefKeys_.push_back(FoldKey(town.pref));
        }
        codes_.insert(town.code);
        Place place;
        place.note = ReadTownNote(town.town, town.city);
        place.source = std::move(town);
        place.city = it->second;
        places_.push_back(std::move(place));
    }
    FindBundledFloors();
    SplitBuildings();
    for (int i = 0; i < static_cast<int>(places_.size()); ++i) {
        Place& place = places_[static_cast<std::size_t>(i)];
        City& city = cities_[static_cast<std::size_t>(place.city)];
        city.places.push_back(i);
        const NoteShape shape = place.note.shape;
        if (shape == NoteShape::CityDefault || shape == NoteShape::WholeCity) {
            city.defaults.push_back(i);
            continue;
        }
        place.baseKey = FoldKey(place.note.base);
        if (place.note.unreadable == "town-list") {
            // 甲、乙（港新町）: the line stands under each of its towns.
            for (const std::string& name : TownListKeys(place.note.base))
                city.byBase[name].push_back(i);
            continue;
        }
        city.byBase[place.baseKey].push_back(i);
        if (!place.note.street.empty())
            city.streetKeys.insert(FoldKey(place.note.street));
        if (!place.note.building.empty()) {
            place.buildingKey = FoldKey(place.note.building);
            city.buildingsByBase[place.baseKey].insert(place.buildingKey);
        }
    }
    ReadSiblings();
}

// What a line means can depend on the other lines of its town: a town's plain line beside
// noted ones is every address they do not take (as （その他） would say), and （番地） beside
// named parts is the address that names no part.
void PlaceIndex::ReadSiblings()
{
    for (City& city : cities_) {
        for (const auto& [key, lines] : city.byBase) {
            bool noted = false;
            bool parts = false;
            bool chome = false;
            for (int line : lines) {
                const TownNote& note = places_[static_cast<std::size_t>(line)].note;
                noted = noted ||
                        (note.shape != NoteShape::Plain && note.floor < 0 && !note.exceptBuildings);
                parts = parts || !note.parts.empty();
                chome = chome || !note.chome.empty() || note.chomeWritten == 1;
            }
            for (int line : lines) {
                TownNote& note = places_[static_cast<std::size_t>(line)].note;
                if (note.shape == NoteShape::Plain && noted)
                    note.others = true;
                if (parts && !chome && note.chomeWritten == 0 &&
                    note.shape == NoteShape::ChomeNotWritten) {
                    note.chomeWritten = -1;
                    note.withoutPart = true;
                    for (int other : lines)
                        places_[static_cast<std::size_t>(other)].note.partRequired =
                            !places_[static_cast<std::size_t>(other)].note.parts.empty();
                }
            }
        }
    }
}

// The bundled file writes a building's floors into the town (大手町ＪＡビル３６階) and its
// basement line as the bare building (大手町ＪＡビル); the town itself is the line for every
// other address (大手町).
void PlaceIndex::FindBundledFloors()
{
    std::map<std::pair<int, std::string>, int> floorsOf;
    for (const Place& place : places_) {
        const std::u32string town = Chars(place.note.base);
        std::size_t start = 0;
        if (place.note.shape == NoteShape::Plain && TrailingFloor(town, start) > 0)
            ++floorsOf[{place.city, Utf8(std::u32string_view(town).substr(0, start))}];
    }
    for (Place& place : places_) {
        if (place.note.shape != NoteShape::Plain)
            continue;
        const std::u32string town = Chars(place.note.base);
        std::size_t start = 0;
        const int floor = TrailingFloor(town, start);
        if (floor > 0) {
            const std::string building = Utf8(std::u32string_view(town).substr(0, start));
            if (floorsOf[{place.city, building}] >= 2) {
                place.note.shape = NoteShape::Floor;
                place.note.floor = floor;
                place.note.base = building;
            }
        } else if (auto it = floorsOf.find({place.city, place.note.base});
                   it != floorsOf.end() && it->second >= 2) {
            place.note.shape = NoteShape::Basement;
            place.note.floor = 0;
        }
    }
}

// A building line's base is the town followed by the building's name: the town is the longest
// other town of the city the base begins with.
void PlaceIndex::SplitBuildings()
{
    std::map<int, std::vector<int>> townsOfCity;
    for (int i = 0; i < static_cast<int>(places_.size()); ++i) {
        const NoteShape shape = places_[static_cast<std::size_t>(i)].note.shape;
        if (shape != NoteShape::Floor && shape != NoteShape::Basement)
            townsOfCity[places_[static_cast<std::size_t>(i)].city].push_back(i);
    }
    for (Place& place : places_) {
        if (place.note.shape != NoteShape::Floor && place.note.shape != NoteShape::Basement)
            continue;
        std::size_t best = 0;
        int town = -1;
        for (int other : townsOfCity[place.city]) {
            const std::string& name = places_[static_cast<std::size_t>(other)].note.base;
            if (name.size() > best && name.size() < place.note.base.size() &&
                place.note.base.starts_with(name)) {
                best = name.size();
                town = other;
            }
        }
        if (town < 0) {
            place.note.shape = NoteShape::Unreadable;
            place.note.unreadable = "building-without-town";
            continue;
        }
        place.note.building = place.note.base.substr(best);
        place.note.base.resize(best);
        // In the bundled file the town's own plain line is every address but the buildings'.
        TownNote& townNote = places_[static_cast<std::size_t>(town)].note;
        if (townNote.shape == NoteShape::Plain) {
            townNote.shape = NoteShape::ExceptBuildings;
            townNote.exceptBuildings = true;
        }
    }
}

} // namespace kompa::books
