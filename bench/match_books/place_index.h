#pragma once
// The whole ministry file as a careful reader keeps it in mind: every town with its notes read,
// grouped by city, each city findable by its name with and without its 郡, each town by the
// key of its name.

#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "ministry_towns.h"
#include "town_notes.h"

namespace kompa::books {

struct Place {
    MinistryTown source;
    TownNote note;
    int city = 0;
    std::string baseKey; // FoldKey(note.base)
    std::string buildingKey;
};

struct City {
    std::string pref;
    std::string name;
    std::string shortName; // without its 郡, or empty
    std::string prefKey, nameKey, shortKey;
    std::vector<int> places;
    std::vector<int> defaults; // 以下に掲載がない場合 and 一円 lines
    std::map<std::string, std::vector<int>> byBase;
    std::map<std::string, std::unordered_set<std::string>> buildingsByBase;
    std::unordered_set<std::string> streetKeys; // 京都市: the streets its notes name
};

class PlaceIndex {
public:
    explicit PlaceIndex(std::vector<MinistryTown> towns);

    const std::vector<Place>& Places() const { return places_; }
    const std::vector<City>& Cities() const { return cities_; }
    const std::vector<std::string>& PrefKeys() const { return prefKeys_; }
    bool HasCode(const std::string& code) const { return codes_.count(code) != 0; }

private:
    void SplitBuildings();
    void FindBundledFloors();
    void ReadSiblings();

    std::vector<Place> places_;
    std::vector<City> cities_;
    std::vector<std::string> prefKeys_;
    std::unordered_set<std::string> codes_;
};

} // namespace kompa::books
