#pragma once
// Every city and town of the address dictionary, in the form the precise matcher compares:
// derived from the dictionary's own records when a process first matches, so the dictionary
// files stay as they are. A record's address is its city and town run together; the city is
// told apart by the lines that name a city alone (以下に掲載がない場合, 〜一円, an empty
// town). A town split over several lines is joined again, its note read, and the lines of one
// town name grouped.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "note_conditions.h"

namespace kompa {
class TCodeAddress;
}

namespace kompa::match {

// One line (or one town split over lines) of the dictionary.
class TTownEntry {
public:
    TTownEntry() = default;
    TTownEntry(std::uint32_t codeNumber, std::uint32_t recordOffset, TNoteKind kind,
               std::uint32_t value, bool joined)
        : code(codeNumber), record(recordOffset),
          packed_(static_cast<std::uint32_t>(kind) | (joined ? 0x10u : 0u) | (value << 5))
    {
    }
    std::uint32_t code = 0;   // the seven digits as a number
    std::uint32_t record = 0; // file offset of its (first) record in the dictionary
    TNoteKind Kind() const { return static_cast<TNoteKind>(packed_ & 0xF); }
    bool Joined() const { return packed_ & 0x10; } // whole address in JoinedAddress
    // Items: the note (TTownIndex::Notes); Floor: the floor; Other and NotBuilding: the note
    // holding the condition of their town's name, plus one (0: none).
    std::uint32_t Value() const { return packed_ >> 5; }

private:
    std::uint32_t packed_ = 0;
};

// The lines of one town name of a city; its entries run to the next group's first.
struct TTownGroup {
    std::uint32_t base = 0; // canonical town name in Names()
    std::uint32_t firstEntry = 0;
    std::uint32_t head = 0; // the name's first four bytes, first byte highest: compared first
    std::uint8_t baseLength = 0;
    std::uint8_t flags = 0;
    std::uint16_t building = 0xFFFF; // into Buildings() for a building or a town holding some

    enum : std::uint8_t {
        kChomeOnly = 1,    // every line of the town speaks of its 丁目
        kNamesParts = 2,   // a line names 小字 or parts
        kNamesStreets = 4, // a line is a street description
        kHasFloors = 8,    // lines of floors: a building
        kHasOther = 16,    // a line for all the others (その他)
    };
    bool Is(std::uint8_t flag) const { return flags & flag; }
};

// A building listed floor by floor, or a town holding such buildings.
struct TBuildingLink {
    std::int32_t parent = -1;     // a building's town
    std::uint16_t nameOffset = 0; // a building's own name starts this far into its base
    std::uint16_t childCount = 0; // a town's buildings: Children()[firstChild ...]
    std::uint32_t firstChild = 0;
};

struct TCity {
    char ken = 0;
    std::uint8_t nameLength = 0;
    std::uint8_t bareOffset = 0;  // where the name without its 郡 begins (0: no 郡)
    bool streetTowns = false;     // some town is told apart by street descriptions (Kyoto)
    std::uint32_t name = 0;       // canonical, with its 郡
    std::uint32_t firstGroup = 0; // groups sorted by base; the city-wide ones (empty base) first
    std::uint32_t groupCount = 0;
};

struct TIndexStats {
    int records = 0;
    int joinedLines = 0;     // lines merged into the line before them
    int unreadableLines = 0; // lines whose note could not be read
    int cityless = 0;        // records whose city was not found (matched by literal rules only)
};

// The first four bytes of text, first byte highest, zeros past its end: compares as the text
// does, as far as it goes.
inline std::uint32_t HeadOf(std::string_view text)
{
    std::uint32_t head = 0;
    for (std::size_t i = 0; i < 4; ++i)
        head = (head << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    return head;
}

class TTownIndex {
public:
    // Reads every record of the open address dictionary.
    explicit TTownIndex(const TCodeAddress& dictionary);

    const std::string& Names() const { return names_; }
    std::string_view Name(std::uint32_t at, std::size_t length) const
    {
        return std::string_view(names_).substr(at, length);
    }
    std::string_view Base(const TTownGroup& g) const { return Name(g.base, g.baseLength); }
    std::string_view CityName(const TCity& c) const { return Name(c.name, c.nameLength); }
    const std::vector<TCity>& Cities() const { return cities_; }
    // Every group, and one more at the end whose firstEntry ends the last group's entries.
    const std::vector<TTownGroup>& Groups() const { return groups_; }
    const std::vector<TTownEntry>& Entries() const { return entries_; }
    const std::vector<TNote>& Notes() const { return notes_; }
    // The entries of group g.
    std::uint32_t EntryEnd(std::uint32_t g) const { return groups_[g + 1].firstEntry; }
    const TBuildingLink* Building(const TTownGroup& g) const
    {
        return g.building == 0xFFFF ? nullptr : &links_[g.building];
    }
    const std::vector<std::uint32_t>& Children() const { return children_; }
    const TIndexStats& Stats() const { return stats_; }
    // Cities by canonical name, with and without 郡.
    const std::vector<std::uint32_t>* CitiesNamed(std::string_view name) const;
    // The longest town of the city whose name begins text, or -1.
    std::int32_t LongestTownAt(const TCity& city, std::string_view text) const;
    // Whether some town of the city is named as name but for one kanji, in a name of three
    // characters or more: an old form of a character that the canonical form does not know.
    bool TownDiffersByOne(const TCity& city, std::string_view name) const;
    // Whether some town of the city is named prefix and then a kanji numeral.
    bool SomeTownBeginsWithThenNumeral(const TCity& city, std::string_view prefix) const;
    // Whether some town of the city has a name beginning with prefix.
    bool SomeTownBeginsWith(const TCity& city, std::string_view prefix) const;
    // The whole Shift-JIS address (city and town with notes) of a joined entry.
    const std::string& JoinedAddress(const TTownEntry& e) const;
    // Whether some line of the dictionary carries the code.
    bool HasCode(std::uint32_t code) const;
    std::size_t MemoryBytes() const;

private:
    std::string names_;
    std::vector<TCity> cities_;
    std::vector<TTownGroup> groups_;
    std::vector<TTownEntry> entries_;
    std::vector<TNote> notes_;
    std::vector<TBuildingLink> links_;
    std::vector<std::uint32_t> children_;
    std::vector<std::uint32_t> codes_; // sorted, each once
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const
        {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::unordered_map<std::string, std::vector<std::uint32_t>, NameHash, std::equal_to<>>
        cityNames_;
    std::unordered_map<std::uint32_t, std::string> joined_; // by record offset
    TIndexStats stats_;
};

} // namespace kompa::match
