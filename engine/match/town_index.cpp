#include "town_index.h"

#include <algorithm>
#include <unordered_set>

#include "canonical.h"
#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/dictionary_format.h"

namespace kompa::match {

namespace {

using Code = std::uint16_t;

Code CodeAt(std::string_view s, std::size_t i)
{
    return static_cast<Code>((static_cast<unsigned char>(s[i]) << 8) |
                             static_cast<unsigned char>(s[i + 1]));
}

Code CodeOf(const char* utf8)
{
    const std::string sjis = Sjis(utf8);
    return CodeAt(sjis, 0);
}

struct RawWords {
    std::string cityDefault = Sjis("以下に掲載がない場合");
    std::string whole = Sjis("一円");
    Code gun = CodeOf("郡"), shi = CodeOf("市"), ku = CodeOf("区"), machi = CodeOf("町");
    Code mura = CodeOf("村"), open = CodeOf("（"), close = CodeOf("）"), floor = CodeOf("階");
    Code jiwari = CodeOf("割"), baai = CodeOf("合"), en = CodeOf("円"), tsugi = CodeOf("次");
};

const RawWords& RW()
{
    static const RawWords words;
    return words;
}

// The last double-byte character of s, or 0.
Code LastCode(std::string_view s)
{
    return s.size() >= 2 ? CodeAt(s, s.size() - 2) : 0;
}

bool EndsLikeCity(const RawWords& w, std::string_view s)
{
    const Code c = LastCode(s);
    return c == w.shi || c == w.ku || c == w.machi || c == w.mura;
}

std::uint32_t CodeNumber(std::string_view digits)
{
    std::uint32_t v = 0;
    for (char c : digits)
        v = v * 10 + static_cast<std::uint32_t>(IsDigit(c) ? c - '0' : 0);
    return v;
}

// Where the name without its 郡 begins: 児玉郡神川町 → 神川町. Not for 郡山市 or 大和郡山市.
std::size_t BareStart(std::string_view city)
{
    const RawWords& w = RW();
    for (std::size_t i = 2; i + 2 < city.size(); i += CharLength(city, i)) {
        if (CharLength(city, i) == 2 && CodeAt(city, i) == w.gun) {
            const Code last = LastCode(city);
            return last == w.machi || last == w.mura ? i + 2 : 0;
        }
    }
    return 0;
}

// Parentheses still open at the end of a town's text: it goes on in the next line.
bool OpenAtEnd(std::string_view s)
{
    const RawWords& w = RW();
    int depth = 0;
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) {
        if (CharLength(s, i) != 2)
            continue;
        const Code c = CodeAt(s, i);
        depth += c == w.open ? 1 : c == w.close ? -1 : 0;
    }
    return depth > 0;
}

// A town that needs no more than its canonical form: no note, nothing special at its end.
bool PlainTown(std::string_view s)
{
    const RawWords& w = RW();
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i))
        if (CharLength(s, i) == 2 && CodeAt(s, i) == w.open)
            return false;
    const Code last = LastCode(s);
    return last != w.floor && last != w.jiwari && last != w.baai && last != w.en;
}

// Cities known by name, prefecture by prefecture (raw Shift-JIS).
class CitySet {
public:
    void Add(char ken, std::string_view name)
    {
        std::string key(1, ken);
        key += name;
        if (names_.count(key))
            return;
        keys_.push_back(std::move(key));
        names_.insert(keys_.back());
    }
    // The length of the longest known city that address begins with, or 0.
    std::size_t LongestPrefix(char ken, std::string_view address) const
    {
        const RawWords& w = RW();
        std::size_t best = 0;
        probe_.assign(1, ken);
        for (std::size_t i = 0; i < address.size();) {
            const std::size_t n = CharLength(address, i);
            probe_.append(address.substr(i, n));
            i += n;
            if (n == 2 && EndsLikeCity(w, probe_) && names_.count(probe_))
                best = i;
        }
        return best;
    }
    // Whether some known city of ken is longer than name and begins with it.
    bool Extended(char ken, std::string_view name) const
    {
        if (extended_.empty()) {
            extended_.insert(std::string());
            for (const std::string& key : keys_) {
                const std::string_view k(key);
                for (std::size_t i = 1; i < k.size(); i += CharLength(k, i))
                    if (i > 1 && names_.count(std::string(k.substr(0, i))))
                        extended_.insert(std::string(k.substr(0, i)));
            }
        }
        probe_.assign(1, ken);
        probe_ += name;
        return extended_.count(probe_) != 0;
    }

private:
    std::vector<std::string> keys_; // stable storage: a deque would do as well
    std::unordered_set<std::string> names_;
    mutable std::unordered_set<std::string> extended_;
    mutable std::string probe_;
};

// The city an 〜一円 line names: 利島村利島村一円, 犬上郡多賀町一円.
std::size_t WholeCityLength(std::string_view address)
{
    const std::string_view body = address.substr(0, address.size() - RW().whole.size());
    for (std::size_t k = CharLength(body, 0); k < body.size(); k += CharLength(body, k)) {
        const std::string_view city = body.substr(0, k), town = body.substr(k);
        if (town == city || town == city.substr(BareStart(city)))
            return k;
    }
    return EndsLikeCity(RW(), body) ? body.size() : 0;
}

struct RawRecord {
    char ken;
    std::uint32_t code;
    std::uint32_t offset;
    std::uint32_t at; // address in the raw pool
    std::uint16_t length;
};

// A town read, before the towns of its city are grouped.
struct ReadTown {
    std::uint32_t city;
    std::uint32_t base; // in the scratch pool
    std::uint16_t baseLength;
    TTownEntry entry;
};

} // namespace

// NOLINTNEXTLINE(readability-function-size): one pass over the records fills every table
TTownIndex::TTownIndex(const TCodeAddress& dictionary)
{
    const RawWords& w = RW();
    std::string raw;
    std::vector<RawRecord> records;
    records.reserve(130000);
    raw.reserve(3u << 20);
    dictionary.ForEachRecordInFile([&](std::string_view text, std::uint32_t offset) {
        if (text.size() <= format::kAddressStart)
            return;
        const std::string_view address = text.substr(format::kAddressStart);
        records.push_back({text[0], CodeNumber(text.substr(1, 7)), offset,
                           static_cast<std::uint32_t>(raw.size()),
                           static_cast<std::uint16_t>(address.size())});
        raw += address;
    });
    stats_.records = static_cast<int>(records.size());
    auto addressOf = [&](const RawRecord& r) {
        return std::string_view(raw).substr(r.at, r.length);
    };

    // The cities: named by their default line or their 一円 line; failing both, an address
    // ending like a city's name that begins with no city known (a town left empty).
    CitySet known;
    std::vector<std::uint32_t> candidates;
    for (std::uint32_t k = 0; k < records.size(); ++k) {
        const std::string_view a = addressOf(records[k]);
        if (a.size() > w.cityDefault.size() && a.ends_with(w.cityDefault))
            known.Add(records[k].ken, a.substr(0, a.size() - w.cityDefault.size()));
        else if (a.size() > w.whole.size() && a.ends_with(w.whole)) {
            if (const std::size_t n = WholeCityLength(a))
                known.Add(records[k].ken, a.substr(0, n));
        } else if (EndsLikeCity(w, a))
            candidates.push_back(k);
    }
    // Most of them are towns of a city already known (本町 …): the city of the record before
    // tells them apart at little cost; the others go shortest first.
    {
        std::string_view previous;
        char previousKen = 0;
        std::size_t kept = 0;
        for (std::uint32_t k : candidates) {
            const std::string_view a = addressOf(records[k]);
            if (records[k].ken == previousKen && !previous.empty() && a.starts_with(previous) &&
                a.size() > previous.size())
                continue;
            const std::size_t city = known.LongestPrefix(records[k].ken, a);
            if (city > 0 && city < a.size()) {
                previous = a.substr(0, city);
                previousKen = records[k].ken;
                continue;
            }
            candidates[kept++] = k;
        }
        candidates.resize(kept);
    }
    std::stable_sort(candidates.begin(), candidates.end(), [&](std::uint32_t x, std::uint32_t y) {
        return records[x].length < records[y].length;
    });
    for (std::uint32_t k : candidates) {
        const std::string_view a = addressOf(records[k]);
        if (known.LongestPrefix(records[k].ken, a) == 0)
            known.Add(records[k].ken, a);
    }

    // Each record into its city; a town whose （ is not closed goes on in the next lines of
    // the same code.
    std::vector<ReadTown> towns;
    towns.reserve(records.size());
    std::string scratch; // canonical town names, before grouping
    scratch.reserve(2u << 20);
    std::unordered_map<std::string, std::uint32_t> cityIds;
    TCanonicalText canonical;
    struct Pending {
        const RawRecord* record = nullptr;
        std::size_t cityLength = 0;
        std::string town;
        bool joined = false;
    } pending;
    auto finish = [&]() {
        if (!pending.record)
            return;
        const RawRecord& r = *pending.record;
        pending.record = nullptr;
        const std::uint32_t cityId = static_cast<std::uint32_t>(cities_.size() - 1);
        const std::string_view town = pending.town;
        ReadTown read{cityId, static_cast<std::uint32_t>(scratch.size()), 0, {}};
        if (!pending.joined && PlainTown(town)) {
            Canonicalize(town, canonical);
            scratch += canonical.text;
            read.baseLength = static_cast<std::uint16_t>(canonical.text.size());
            // A line of the city alone is its default, as 以下に掲載がない場合 is.
            read.entry = TTownEntry(
                r.code, r.offset,
                canonical.text.empty() ? TNoteKind::CityDefault : TNoteKind::Plain, 0, false);
        } else {
            const TCity& city = cities_[cityId];
            const std::string_view cityName = CityName(city);
            TTownName name = ReadTownName(town, cityName, cityName.substr(city.bareOffset));
            TNoteKind kind = name.note.kind;
            std::uint32_t value = 0;
            if (kind == TNoteKind::Floor) {
                value = static_cast<std::uint32_t>(std::max<int>(0, name.note.floor));
            } else if ((kind == TNoteKind::Other || kind == TNoteKind::NotBuilding) &&
                       name.note.hasBaseCondition) {
                // A fallback of the town's lines under the same 地割: it keeps the 地割.
                value = static_cast<std::uint32_t>(notes_.size()) + 1;
                notes_.push_back(std::move(name.note));
            } else if (kind == TNoteKind::Items || name.note.hasBaseCondition) {
                kind = TNoteKind::Items;
                value = static_cast<std::uint32_t>(notes_.size());
                notes_.push_back(std::move(name.note));
            }
            if (kind == TNoteKind::Unreadable)
                ++stats_.unreadableLines;
            scratch += name.base;
            read.baseLength =
                static_cast<std::uint16_t>(std::min<std::size_t>(name.base.size(), 255));
            read.entry = TTownEntry(r.code, r.offset, kind, value, pending.joined);
            if (pending.joined)
                joined_[r.offset] =
                    std::string(addressOf(r).substr(0, pending.cityLength)) + pending.town;
        }
        towns.push_back(read);
    };
    std::string_view lastCity;
    char lastKen = 0;
    bool lastExtended = false;
    bool open = false;
    for (const RawRecord& r : records) {
        const std::string_view a = addressOf(r);
        if (pending.record && open && r.code == pending.record->code && r.ken == lastKen &&
            a.starts_with(lastCity)) {
            pending.town += a.substr(lastCity.size());
            pending.joined = true;
            open = OpenAtEnd(pending.town);
            ++stats_.joinedLines;
            continue;
        }
        finish();
        std::size_t cityLength = 0;
        if (r.ken == lastKen && !lastCity.empty() && a.starts_with(lastCity) && !lastExtended)
            cityLength = lastCity.size();
        else
            cityLength = known.LongestPrefix(r.ken, a);
        if (cityLength == 0) {
            ++stats_.cityless;
            continue;
        }
        const std::string_view cityRaw = a.substr(0, cityLength);
        if (!(r.ken == lastKen && cityRaw == lastCity)) {
            std::string key(1, r.ken);
            key += cityRaw;
            auto [it, fresh] = cityIds.try_emplace(key, static_cast<std::uint32_t>(cities_.size()));
            if (!fresh) {
                // A city met again after others: rare; its towns join it at grouping.
                std::rotate(cities_.begin() + it->second, cities_.begin() + it->second + 1,
                            cities_.end());
                for (auto& [name, id] : cityIds)
                    if (id > it->second)
                        --id;
                for (ReadTown& t : towns)
                    t.city = t.city == it->second  ? static_cast<std::uint32_t>(cities_.size() - 1)
                             : t.city > it->second ? t.city - 1
                                                   : t.city;
                it->second = static_cast<std::uint32_t>(cities_.size() - 1);
            } else {
                TCity city;
                city.ken = r.ken;
                const std::size_t bare = BareStart(cityRaw);
                const std::string name = Canonical(cityRaw);
                city.name = static_cast<std::uint32_t>(names_.size());
                city.nameLength =
                    static_cast<std::uint8_t>(std::min<std::size_t>(name.size(), 255));
                city.bareOffset =
                    static_cast<std::uint8_t>(bare ? Canonical(cityRaw.substr(0, bare)).size() : 0);
                names_ += name.substr(0, city.nameLength);
                cities_.push_back(city);
            }
            lastCity = cityRaw;
            lastKen = r.ken;
            lastExtended = known.Extended(r.ken, cityRaw);
        }
        pending.record = &r;
        pending.cityLength = cityLength;
        pending.town.assign(a.substr(cityLength));
        pending.joined = false;
        open = OpenAtEnd(pending.town);
    }
    finish();

    // Groups: the lines of one town name; a city's towns in the order of their names.
    // Records come city by city (a city met again is rare): the cities are put in order
    // first, then each city's towns on their own, which costs far fewer comparisons.
    if (!std::is_sorted(towns.begin(), towns.end(),
                        [](const ReadTown& x, const ReadTown& y) { return x.city < y.city; }))
        std::stable_sort(towns.begin(), towns.end(),
                         [](const ReadTown& x, const ReadTown& y) { return x.city < y.city; });
    const std::string_view pool = scratch;
    for (std::size_t k = 0; k < towns.size();) {
        std::size_t end = k;
        while (end < towns.size() && towns[end].city == towns[k].city)
            ++end;
        std::stable_sort(towns.begin() + static_cast<std::ptrdiff_t>(k),
                         towns.begin() + static_cast<std::ptrdiff_t>(end),
                         [pool](const ReadTown& x, const ReadTown& y) {
                             return pool.substr(x.base, x.baseLength) <
                                    pool.substr(y.base, y.baseLength);
                         });
        k = end;
    }
    entries_.reserve(towns.size());
    groups_.reserve(towns.size() + 1);
    for (std::size_t k = 0; k < towns.size();) {
        const std::string_view base =
            std::string_view(scratch).substr(towns[k].base, towns[k].baseLength);
        TCity& city = cities_[towns[k].city];
        if (k == 0 || towns[k - 1].city != towns[k].city)
            city.firstGroup = static_cast<std::uint32_t>(groups_.size());
        TTownGroup g;
        g.base = static_cast<std::uint32_t>(names_.size());
        g.baseLength = static_cast<std::uint8_t>(base.size());
        g.head = HeadOf(base);
        names_ += base;
        g.firstEntry = static_cast<std::uint32_t>(entries_.size());
        bool allChome = true;
        std::size_t end = k;
        for (; end < towns.size() && towns[end].city == towns[k].city &&
               std::string_view(scratch).substr(towns[end].base, towns[end].baseLength) == base;
             ++end) {
            const TTownEntry& entry = towns[end].entry;
            entries_.push_back(entry);
            if (entry.Kind() == TNoteKind::Floor || entry.Kind() == TNoteKind::UnknownFloor)
                g.flags |= TTownGroup::kHasFloors;
            if (entry.Kind() == TNoteKind::Other)
                g.flags |= TTownGroup::kHasOther;
            if (entry.Kind() != TNoteKind::Items) {
                allChome = false;
                continue;
            }
            const TNote& note = notes_[entry.Value()];
            if (note.items.size() == note.FirstItem())
                allChome = false;
            for (std::size_t i = note.FirstItem(); i < note.items.size(); ++i) {
                const TNoteItem& item = note.items[i];
                if (!item.Has(THead::Chome))
                    allChome = false;
                if (!item.name.empty())
                    g.flags |= TTownGroup::kNamesParts;
                if (!item.descriptor.empty())
                    g.flags |= TTownGroup::kNamesStreets;
            }
        }
        if (allChome)
            g.flags |= TTownGroup::kChomeOnly;
        if (g.Is(TTownGroup::kNamesStreets))
            city.streetTowns = true;
        groups_.push_back(g);
        ++city.groupCount;
        k = end;
    }
    TTownGroup sentinel;
    sentinel.firstEntry = static_cast<std::uint32_t>(entries_.size());
    groups_.push_back(sentinel);
    std::vector<ReadTown>().swap(towns);
    std::string().swap(scratch);

    // Buildings: a group of floor lines stands in the longest town whose name begins its own.
    // A line of the building's name alone (as some editions of the data write it) is its
    // floor-unknown line, and a town's own line with no note is its line for all else.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs; // town, building
    for (const TCity& city : cities_) {
        for (std::uint32_t g = city.firstGroup; g < city.firstGroup + city.groupCount; ++g) {
            if (!groups_[g].Is(TTownGroup::kHasFloors) || groups_[g].baseLength == 0)
                continue;
            const std::string_view base = Base(groups_[g]);
            const std::int32_t parent = LongestTownAt(city, base.substr(0, base.size() - 1));
            for (std::uint32_t e = groups_[g].firstEntry; e < EntryEnd(g); ++e)
                if (entries_[e].Kind() == TNoteKind::Plain)
                    entries_[e] = TTownEntry(entries_[e].code, entries_[e].record,
                                             TNoteKind::UnknownFloor, 0, entries_[e].Joined());
            if (parent >= 0)
                pairs.emplace_back(static_cast<std::uint32_t>(parent), g);
        }
    }
    std::sort(pairs.begin(), pairs.end());
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const auto [town, building] = pairs[k];
        TTownGroup& t = groups_[town];
        if (t.building == 0xFFFF) {
            t.building = static_cast<std::uint16_t>(links_.size());
            links_.push_back({});
            links_.back().firstChild = static_cast<std::uint32_t>(children_.size());
            for (std::uint32_t e = t.firstEntry; e < EntryEnd(town); ++e)
                if (entries_[e].Kind() == TNoteKind::Plain)
                    entries_[e] = TTownEntry(entries_[e].code, entries_[e].record,
                                             TNoteKind::NotBuilding, 0, entries_[e].Joined());
        }
        ++links_[t.building].childCount;
        children_.push_back(building);
        TTownGroup& b = groups_[building];
        if (b.building == 0xFFFF) {
            b.building = static_cast<std::uint16_t>(links_.size());
            links_.push_back({});
        }
        links_[b.building].parent = static_cast<std::int32_t>(town);
        links_[b.building].nameOffset = t.baseLength;
    }

    for (std::uint32_t c = 0; c < cities_.size(); ++c) {
        const std::string_view name = CityName(cities_[c]);
        cityNames_[std::string(name)].push_back(c);
        if (cities_[c].bareOffset)
            cityNames_[std::string(name.substr(cities_[c].bareOffset))].push_back(c);
    }
    names_.shrink_to_fit();
    codes_.reserve(records.size());
    for (const RawRecord& r : records)
        codes_.push_back(r.code);
    std::sort(codes_.begin(), codes_.end());
    codes_.erase(std::unique(codes_.begin(), codes_.end()), codes_.end());
    codes_.shrink_to_fit();
}

bool TTownIndex::HasCode(std::uint32_t code) const
{
    return std::binary_search(codes_.begin(), codes_.end(), code);
}

const std::vector<std::uint32_t>* TTownIndex::CitiesNamed(std::string_view name) const
{
    const auto it = cityNames_.find(name);
    return it == cityNames_.end() ? nullptr : &it->second;
}

std::int32_t TTownIndex::LongestTownAt(const TCity& city, std::string_view text) const
{
    const auto first = groups_.begin() + city.firstGroup;
    const auto last = first + city.groupCount;
    std::string_view key = text;
    // The largest name not above key is the longest name beginning key when it begins key at
    // all; else the answer begins the part both share, and the search goes on with that.
    for (;;) {
        const std::uint32_t keyHead = HeadOf(key);
        auto it = std::upper_bound(first, last, key, [&](std::string_view k, const TTownGroup& g) {
            if (keyHead != g.head)
                return keyHead < g.head;
            return k < Base(g);
        });
        if (it == first)
            return -1;
        --it;
        const std::string_view base = Base(*it);
        if (base.empty())
            return -1;
        if (key.starts_with(base))
            return static_cast<std::int32_t>(it - groups_.begin());
        std::size_t shared = 0;
        while (shared < base.size() && shared < key.size() && base[shared] == key[shared])
            ++shared;
        if (shared == 0)
            return -1;
        key = key.substr(0, shared);
    }
}

bool TTownIndex::SomeTownBeginsWithThenNumeral(const TCity& city, std::string_view prefix) const
{
    const auto first = groups_.begin() + city.firstGroup;
    const auto last = first + city.groupCount;
    for (auto it =
             std::lower_bound(first, last, prefix,
                              [&](const TTownGroup&g, std::string_view k) { return Base(g) < k; });
         it != last && Base(*it).starts_with(prefix); ++it) {
        const std::string_view base = Base(*it);
        if (base.size() >= prefix.size() + 2 &&
            KanjiNumberValue(base.substr(prefix.size(), 2)) >= 0)
            return true;
    }
    return false;
}

bool TTownIndex::SomeTownBeginsWith(const TCity& city, std::string_view prefix) const
{
    const auto first = groups_.begin() + city.firstGroup;
    const auto last = first + city.groupCount;
    auto it = std::lower_bound(
        first, last, prefix, [&](const TTownGroup& g, std::string_view k) { return Base(g) < k; });
    return it != last && Base(*it).starts_with(prefix);
}

namespace {

// A kanji beyond the first level of JIS X 0208 (or in the extension rows): the old and variant
// forms people write are nearly all such.
bool RareKanji(std::string_view s, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    const auto trail = static_cast<unsigned char>(s[i + 1]);
    return lead > 0x98 || (lead == 0x98 && trail >= 0x9F);
}

} // namespace

bool TTownIndex::TownDiffersByOne(const TCity& city, std::string_view name) const
{
    if (name.size() < 4)
        return false;
    for (std::uint32_t g = city.firstGroup; g < city.firstGroup + city.groupCount; ++g) {
        const std::string_view base = Base(groups_[g]);
        if (base.size() > name.size() || base.size() < 4)
            continue;
        // One difference at most: the first or the second character is shared.
        if (base.compare(0, 2, name.substr(0, 2)) != 0 &&
            base.compare(2, 2, name.substr(2, 2)) != 0)
            continue;
        // The name may go on past the town: compare with its beginning of the same length. A
        // different common last character is a different name (月見野, 月見町), not another
        // form; a rare kanji anywhere may be one.
        int differences = 0;
        for (std::size_t i = 0; i < base.size() && differences < 2;) {
            const std::size_t n = CharLength(base, i);
            if (CharLength(name, i) != n)
                differences = 2;
            else if (base.compare(i, n, name.substr(i, n)) != 0)
                differences += n == 2 && static_cast<unsigned char>(base[i]) >= 0x88 &&
                                       (RareKanji(base, i) || RareKanji(name, i) ||
                                        (i + n < base.size() && base.size() >= 6))
                                   ? 1
                                   : 2;
            i += n;
        }
        if (differences == 1)
            return true;
    }
    return false;
}

const std::string& TTownIndex::JoinedAddress(const TTownEntry& e) const
{
    static const std::string none;
    const auto it = joined_.find(e.record);
    return it == joined_.end() ? none : it->second;
}

std::size_t TTownIndex::MemoryBytes() const
{
    std::size_t n = names_.capacity() + cities_.capacity() * sizeof(TCity) +
                    groups_.capacity() * sizeof(TTownGroup) +
                    entries_.capacity() * sizeof(TTownEntry) +
                    links_.capacity() * sizeof(TBuildingLink) + children_.capacity() * 4 +
                    codes_.capacity() * 4 + notes_.capacity() * sizeof(TNote);
    for (const TNote& note : notes_) {
        n += note.items.capacity() * sizeof(TNoteItem);
        for (const TNoteItem& item : note.items)
            n += item.lots.capacity() * sizeof(TPathRange) +
                 item.except.capacity() * sizeof(TPathRange) +
                 (item.name.size() > 15 ? item.name.capacity() : 0) +
                 (item.descriptor.size() > 15 ? item.descriptor.capacity() : 0);
    }
    for (const auto& [name, ids] : cityNames_)
        n += name.capacity() + ids.capacity() * 4 + 48;
    for (const auto& [at, text] : joined_)
        n += text.capacity() + 48;
    return n;
}

} // namespace kompa::match
