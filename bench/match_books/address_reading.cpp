#include "address_reading.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "address_fold.h"

namespace kompa::books {
namespace {

enum class Fit { No, Maybe, Yes, YesSpecific };

Fit Both(Fit a, Fit b)
{
    if (a == Fit::No || b == Fit::No)
        return Fit::No;
    if (a == Fit::Maybe || b == Fit::Maybe)
        return Fit::Maybe;
    return std::max(a, b);
}

Fit ChomeFit(const TownNote& note, const WrittenParts& w)
{
    const int value = w.chome >= 0 ? w.chome : (w.bare ? w.banchi : -1);
    if (value < 0)
        return Fit::Maybe;
    return InRanges(note.chome, value) ? Fit::Yes : Fit::No;
}

Fit ChomeWrittenFit(const TownNote& note, const WrittenParts& w)
{
    const bool withChome = w.chome >= 0;
    const bool withBanchi = w.chome < 0 && !w.bare && w.banchi >= 0;
    if (!withChome && !withBanchi)
        return Fit::Maybe;
    return withChome == (note.chomeWritten == 1) ? Fit::Yes : Fit::No;
}

Fit BanchiFit(const TownNote& note, const WrittenParts& w)
{
    if (w.chome >= 0 || w.banchi < 0)
        return Fit::Maybe;
    Fit best = Fit::No;
    for (const BanchiItem& item : note.banchi) {
        Fit fit = Fit::No;
        if (item.sub >= 0) {
            if (w.banchi == item.lo)
                fit =
                    w.second < 0 ? Fit::Maybe : (w.second == item.sub ? Fit::YesSpecific : Fit::No);
        } else if (w.banchi >= item.lo && w.banchi <= item.hi) {
            fit = Fit::Yes;
        }
        best = std::max(best, fit);
    }
    return best;
}

// 1-1-8 as 1丁目1番8号, read from the front: what is not written cannot rule a block out.
Fit BlockFit(const TownNote& note, const WrittenParts& w)
{
    const int written[3] = {w.chome >= 0 ? w.chome : (w.bare ? w.banchi : -1), w.second, w.third};
    Fit best = Fit::No;
    for (const std::array<int, 3>& block : note.blocks) {
        Fit fit = Fit::YesSpecific;
        for (std::size_t k = 0; k < 3; ++k) {
            if (written[k] < 0 || written[k] != block[k]) {
                fit = written[k] < 0 ? Fit::Maybe : Fit::No;
                break;
            }
        }
        best = std::max(best, fit);
    }
    return best;
}

Fit PartFit(const TownNote& note, const WrittenParts& w)
{
    if (!w.partWritten)
        return Fit::Maybe;
    Fit best = Fit::No;
    for (const std::string& part : note.parts) {
        const std::string key = FoldKey(part);
        if (key == w.partKey)
            return Fit::Yes;
        if (w.partKey.starts_with(key) || key.starts_with(w.partKey))
            best = Fit::Maybe;
    }
    return best;
}

// How well a line fits, leaving out its その他 (which depends on the other lines).
Fit OwnFit(const Place& place, const City& city, const WrittenParts& w)
{
    const TownNote& note = place.note;
    // A listed building written is its own lines' address, and no other line's.
    const auto buildings = city.buildingsByBase.find(place.baseKey);
    const bool listedBuilding = w.buildingWritten && buildings != city.buildingsByBase.end() &&
                                buildings->second.count(w.buildingKey);
    if (listedBuilding && note.floor < 0)
        return Fit::No;
    Fit fit = Fit::Yes;
    if (!note.chome.empty())
        fit = Both(fit, ChomeFit(note, w));
    if (note.chomeWritten >= 0)
        fit = Both(fit, ChomeWrittenFit(note, w));
    if (!note.banchi.empty())
        fit = Both(fit, BanchiFit(note, w));
    if (!note.blocks.empty())
        fit = Both(fit, BlockFit(note, w));
    if (!note.chiwari.empty())
        fit = Both(fit, w.chiwari < 0 ? Fit::Maybe
                                      : (InRanges(note.chiwari, w.chiwari) ? Fit::Yes : Fit::No));
    if (!note.parts.empty())
        fit = Both(fit, note.partRequired && !w.partWritten ? Fit::No : PartFit(note, w));
    if (note.withoutPart)
        fit = Both(fit, w.partWritten ? Fit::No : Fit::Yes);
    if (!note.street.empty())
        fit = Both(fit, !w.streetWritten
                            ? Fit::Maybe
                            : (FoldKey(note.street) == w.streetKey ? Fit::Yes : Fit::No));
    if (note.floor >= 0) {
        if (!w.buildingWritten)
            fit = Both(fit, Fit::Maybe);
        else if (w.buildingKey != place.buildingKey)
            fit = Fit::No;
        else
            fit = Both(fit, (note.floor == 0 ? w.floor <= 0 : w.floor == note.floor) ? Fit::Yes
                                                                                     : Fit::No);
    }
    if (note.exceptBuildings && !w.buildingWritten)
        fit = Both(fit, Fit::Maybe);
    if (note.shape == NoteShape::Unreadable)
        fit = Both(fit, Fit::Maybe);
    return fit;
}

Fit PlaceFit(const std::vector<int>& lines, int self, const PlaceIndex& index,
             const WrittenParts& w)
{
    const Place& place = index.Places()[static_cast<std::size_t>(self)];
    const City& city = index.Cities()[static_cast<std::size_t>(place.city)];
    Fit fit = OwnFit(place, city, w);
    if (!place.note.others || fit == Fit::No)
        return fit;
    // その他: the addresses no other line of the town takes.
    Fit others = Fit::Yes;
    for (int line : lines) {
        const Place& other = index.Places()[static_cast<std::size_t>(line)];
        if (line == self || other.note.others)
            continue;
        const Fit otherFit = OwnFit(other, city, w);
        if (otherFit >= Fit::Yes)
            return Fit::No;
        if (otherFit == Fit::Maybe)
            others = Fit::Maybe;
    }
    return Both(fit, others);
}

struct Reading {
    int city;
    std::string_view rest;
};

// The towns of city the rest begins with: the longest, and the writer's own if it is another.
std::vector<const std::vector<int>*> TownsRead(const City& city, std::string_view rest,
                                               bool writersCity, const std::string& writersBase)
{
    std::vector<std::string_view> rests{rest};
    // 京都市: 寺町通今出川上る毘沙門町 is read as the street, then the town.
    std::size_t street = 0;
    for (const std::string& key : city.streetKeys)
        if (rest.starts_with(key))
            street = std::max(street, key.size());
    if (street > 0)
        rests = {rest.substr(street)};
    for (std::string_view prefix : {std::string_view("大字"), std::string_view("字")})
        if (rests.front().starts_with(prefix))
            rests.push_back(rests.front().substr(prefix.size()));
    const std::vector<int>* longest = nullptr;
    const std::vector<int>* writers = nullptr;
    std::size_t longestSize = 0;
    for (const auto& [key, lines] : city.byBase) {
        if (key.empty())
            continue;
        for (std::string_view r : rests) {
            if (!r.starts_with(key))
                continue;
            if (key.size() > longestSize) {
                longestSize = key.size();
                longest = &lines;
            }
            if (writersCity && key == writersBase)
                writers = &lines;
        }
    }
    std::vector<const std::vector<int>*> towns;
    if (longest)
        towns.push_back(longest);
    if (writers && writers != longest)
        towns.push_back(writers);
    return towns;
}

} // namespace

std::set<std::string> ReadCodes(const PlaceIndex& index, const std::string& text,
                                const WrittenParts& parts, bool skipUnreadable)
{
    const std::string key = FoldKey(text);
    std::string_view rest = key;
    std::string_view pref;
    for (const std::string& prefKey : index.PrefKeys())
        if (rest.starts_with(prefKey)) {
            pref = prefKey;
            rest.remove_prefix(prefKey.size());
            break;
        }
    std::vector<Reading> readings;
    for (int c = 0; c < static_cast<int>(index.Cities().size()); ++c) {
        const City& city = index.Cities()[static_cast<std::size_t>(c)];
        if (!pref.empty() && city.prefKey != pref)
            continue;
        if (rest.starts_with(city.nameKey))
            readings.push_back({c, rest.substr(city.nameKey.size())});
        else if (!city.shortKey.empty() && rest.starts_with(city.shortKey))
            readings.push_back({c, rest.substr(city.shortKey.size())});
    }

    std::set<std::string> codes;
    std::vector<int> fitting;
    bool specific = false;
    std::vector<Fit> fits;
    bool townRead = false;
    for (const Reading& reading : readings) {
        const City& city = index.Cities()[static_cast<std::size_t>(reading.city)];
        for (const std::vector<int>* lines :
             TownsRead(city, reading.rest, reading.city == parts.city, parts.baseKey))
            for (int line : *lines) {
                townRead = true;
                if (skipUnreadable && index.Places()[static_cast<std::size_t>(line)].note.shape ==
                                          NoteShape::Unreadable)
                    continue;
                const Fit fit = PlaceFit(*lines, line, index, parts);
                if (fit == Fit::No)
                    continue;
                fitting.push_back(line);
                fits.push_back(fit);
                specific = specific || fit == Fit::YesSpecific;
            }
    }
    if (!townRead) {
        // No listed town: the city's own code, where the city has one.
        for (const Reading& reading : readings) {
            const City& city = index.Cities()[static_cast<std::size_t>(reading.city)];
            for (int line : city.defaults)
                codes.insert(index.Places()[static_cast<std::size_t>(line)].source.code);
        }
        return codes;
    }
    for (std::size_t i = 0; i < fitting.size(); ++i) {
        // 400番地 gives way to 400-2番地 where the address says 400-2.
        const Place& place = index.Places()[static_cast<std::size_t>(fitting[i])];
        if (specific && fits[i] == Fit::Yes && !place.note.banchi.empty())
            continue;
        codes.insert(place.source.code);
    }
    return codes;
}

} // namespace kompa::books
