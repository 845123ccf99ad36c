#include "book_generator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "address_fold.h"
#include "address_writer.h"
#include "engine/text/cp932.h"
#include "made_up_names.h"
#include "written_numbers.h"

namespace kompa::books {
namespace {

constexpr int kWritings = 8; // writings of one line before it is given up

// What leaving something out means for a line: whether it has something to leave out.
bool CanLeaveOut(const PlaceIndex& index, const Place& place,
                 const std::map<std::string, int>& cityNames)
{
    const TownNote& note = place.note;
    switch (note.shape) {
    case NoteShape::ChomeRange:
    case NoteShape::ChomeWritten:
    case NoteShape::Banchi:
    case NoteShape::Chiwari:
    case NoteShape::Parts:
    case NoteShape::Floor:
    case NoteShape::Basement:
    case NoteShape::Street:
        return true;
    case NoteShape::Plain: {
        const City& city = index.Cities()[static_cast<std::size_t>(place.city)];
        return cityNames.at(city.nameKey) > 1;
    }
    default:
        return false;
    }
}

std::string FullWidth(const std::string& digits)
{
    std::string text;
    for (char c : digits)
        text += Digits(c - '0', true);
    return text;
}

std::string PresentCode(const PlaceIndex& index, const Place& place, Dice& dice)
{
    std::string code = place.source.code;
    if (dice.Chance(22)) {
        if (dice.Chance(50)) {
            // A code that is no longer in the file.
            for (int tries = 0; tries < 20 && index.HasCode(code); ++tries)
                code = code.substr(0, 5) + Digits(dice.Between(0, 99) + 100, false).substr(1);
            if (index.HasCode(code))
                return {};
        } else {
            // The code of another line of the same city.
            const City& city = index.Cities()[static_cast<std::size_t>(place.city)];
            const int other = dice.Pick(city.places);
            code = index.Places()[static_cast<std::size_t>(other)].source.code;
        }
    }
    const int form = dice.Below(100);
    if (form < 35)
        return code;
    std::string hyphenated = code.substr(0, 3) + "-" + code.substr(3);
    if (form < 80)
        return hyphenated;
    if (form < 92)
        return FullWidth(code.substr(0, 3)) + "－" + FullWidth(code.substr(3));
    return "〒" + hyphenated;
}

void AppendField(std::string& line, const std::string& field)
{
    if (field.find_first_of(" ,\"\t") == std::string::npos) {
        line += field;
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

} // namespace

std::vector<BookRecord> GenerateBook(const PlaceIndex& index, int count, std::uint32_t seed,
                                     bool utf8, BookStats& stats)
{
    std::vector<int> usable;
    std::map<NoteShape, std::vector<int>> byShape;
    std::vector<int> defaults;
    std::map<std::string, int> cityNames;
    for (const City& city : index.Cities()) {
        ++cityNames[city.nameKey];
        if (!city.shortKey.empty() && city.shortKey != city.nameKey)
            ++cityNames[city.shortKey];
        // A city with several default lines (the bundled file's emptied towns) names none.
        if (city.defaults.size() == 1)
            defaults.push_back(city.defaults.front());
    }
    for (int i = 0; i < static_cast<int>(index.Places().size()); ++i) {
        const TownNote& note = index.Places()[static_cast<std::size_t>(i)].note;
        if (note.shape == NoteShape::Unreadable) {
            ++stats.unreadableTowns[note.unreadable];
            stats.unreadableLines[note.unreadable] +=
                index.Places()[static_cast<std::size_t>(i)].source.lineCount;
            continue;
        }
        if (note.shape == NoteShape::CityDefault || note.shape == NoteShape::WholeCity)
            continue;
        usable.push_back(i);
        if (note.shape != NoteShape::Plain)
            byShape[note.shape].push_back(i);
    }
    std::vector<int> sharedNames;
    for (int i : usable) {
        const Place& place = index.Places()[static_cast<std::size_t>(i)];
        if (place.note.shape == NoteShape::Plain && CanLeaveOut(index, place, cityNames))
            sharedNames.push_back(i);
    }
    // Every shape is written from, the rare ones less often (by the root of their count).
    std::vector<NoteShape> shapes;
    std::vector<int> shapeWeights;
    for (const auto& [shape, lines] : byShape) {
        shapes.push_back(shape);
        shapeWeights.push_back(static_cast<int>(std::lround(10 * std::sqrt(lines.size()))));
    }

    if (usable.empty())
        throw std::runtime_error("the ministry file has no town to write an address from");
    Dice dice(seed);
    int givenUp = 0;
    std::vector<BookRecord> book;
    book.reserve(static_cast<std::size_t>(count));
    std::string sjis;
    while (static_cast<int>(book.size()) < count) {
        const int roll = dice.Below(100);
        int id = 0;
        if (roll < 4 && !defaults.empty())
            id = dice.Pick(defaults);
        else if (roll < 30 && !shapes.empty())
            id = dice.Pick(byShape[shapes[static_cast<std::size_t>(dice.Weighted(shapeWeights))]]);
        else
            id = dice.Pick(usable);
        const bool shared = roll >= 30 && roll < 33 && !sharedNames.empty();
        if (shared)
            id = dice.Pick(sharedNames); // the prefecture of a name two prefectures have, left out
        const Place& place = index.Places()[static_cast<std::size_t>(id)];
        const bool leaveOut = shared || (dice.Chance(9) && CanLeaveOut(index, place, cityNames));
        bool written = false;
        for (int attempt = 0; attempt < kWritings && !written; ++attempt) {
            WrittenAddress address = WriteAddress(index, id, dice, leaveOut);
            // A floor line's building left out is, by the rule of these books, an address of
            // the town that is no listed building's: its code is not the floor's. Such a
            // record would hold a true code its address does not give, so none is written.
            if (address.kind == "no-building")
                break;
            if (!utf8 && !cp932::FromUtf8Strict(address.text, sjis)) {
                ++stats.rewrites;
                continue;
            }
            const std::set<std::string> codes = ReadCodes(index, address.text, address.parts);
            if (!codes.count(place.source.code)) {
                ++stats.rewrites;
                continue;
            }
            BookRecord record;
            record.name = PersonName(dice);
            record.present = dice.Chance(12) ? PresentCode(index, place, dice) : std::string();
            record.address = std::move(address.text);
            record.trueCode = place.source.code;
            record.decided = codes.size() == 1;
            record.kind = std::move(address.kind);
            if (!record.decided &&
                ReadCodes(index, record.address, address.parts, true).size() == 1)
                ++stats.undecidedByUnread;
            book.push_back(std::move(record));
            written = true;
        }
        if (!written) {
            ++stats.givenUp[ShapeName(place.note.shape)];
            if (++givenUp > count + 1000)
                throw std::runtime_error("the reader sends back nearly every address written");
        }
    }
    return book;
}

std::string BookText(const std::vector<BookRecord>& book, bool utf8)
{
    std::string text;
    std::string line;
    for (const BookRecord& record : book) {
        line.clear();
        AppendField(line, record.name);
        line += ',';
        AppendField(line, record.present);
        line += ',';
        AppendField(line, record.address);
        line += ',' + record.trueCode + ',' + (record.decided ? "1" : "0") + ',' + record.kind;
        text += utf8 ? line : cp932::FromUtf8(line);
        text += utf8 ? "\n" : "\r\n";
    }
    return text;
}

} // namespace kompa::books
