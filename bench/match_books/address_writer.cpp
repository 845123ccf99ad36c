#include "address_writer.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "address_fold.h"
#include "made_up_names.h"
#include "utf8_chars.h"
#include "written_numbers.h"

namespace kompa::books {
namespace {

using Text = std::u32string;

struct Forms {
    bool prefOut = false;
    bool gunOut = false;
    bool prefSpace = false;
    bool townSpace = false;
    bool oaza = false;
    bool kana = false;
    bool kanji = false;
    bool kanjiInCity = false;
    bool numeral = false;
    bool fullWidth = false;
    bool building = false;
};

bool IsDigitChar(char32_t c)
{
    return (c >= '0' && c <= '9') || (c >= U'０' && c <= U'９');
}

std::vector<std::size_t> KanaPositions(const Text& name)
{
    std::vector<std::size_t> at;
    for (std::size_t i = 1; i + 1 < name.size(); ++i)
        if (IsKanaConnective(name[i]) && IsKanji(name[i - 1]) && IsKanji(name[i + 1]))
            at.push_back(i);
    return at;
}

std::vector<std::size_t> KanjiPositions(const Text& name)
{
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (IsKanjiVariant(name[i]))
            at.push_back(i);
    return at;
}

// A number in a name that people write either way: 北一条西, ５条通, 四十四地割, 一番町.
struct NumeralRun {
    std::size_t start = 0;
    std::size_t end = 0;
    int value = 0;
    int form = 0; // 0 kanji, 1 ASCII, 2 full-width
};

std::vector<NumeralRun> NumeralRuns(const Text& name)
{
    std::vector<NumeralRun> runs;
    for (std::size_t i = 0; i < name.size();) {
        const bool kanji = IsKanjiDigit(name[i]);
        if (!kanji && !IsDigitChar(name[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < name.size() && (kanji ? IsKanjiDigit(name[end]) : IsDigitChar(name[end])))
            ++end;
        const std::u32string_view after = std::u32string_view(name).substr(end);
        const bool unit = after.starts_with(U"条") || after.starts_with(U"線") ||
                          after.starts_with(U"丁目") || after.starts_with(U"番町") ||
                          after.starts_with(U"地割");
        // 一ノ瀬, 九十九里 and the like are names, not numbers.
        if (unit && (i == 0 || !IsKanjiDigit(name[i - 1]))) {
            NumeralRun run{i, end, 0, kanji ? 0 : (name[i] >= U'０' ? 2 : 1)};
            const std::u32string_view digits = std::u32string_view(name).substr(i, end - i);
            if (kanji) {
                run.value = KanjiNumberValue(digits);
            } else {
                for (char32_t c : digits)
                    run.value = run.value * 10 + static_cast<int>(c >= U'０' ? c - U'０' : c - '0');
            }
            if (run.value > 0 && run.value < 100)
                runs.push_back(run);
        }
        i = end;
    }
    return runs;
}

// One of the characters at is written in another of its spellings.
void ChangeSpelling(Text& name, const std::vector<std::size_t>& at, Dice& dice)
{
    if (at.empty())
        return;
    const std::size_t i = dice.Pick(at);
    const Text others = SpellingsOf(name[i]);
    name[i] = others[static_cast<std::size_t>(dice.Below(static_cast<int>(others.size())))];
}

void ChangeNumeral(Text& name, Dice& dice)
{
    const std::vector<NumeralRun> runs = NumeralRuns(name);
    if (runs.empty())
        return;
    const NumeralRun run = dice.Pick(runs);
    const int form = (run.form + 1 + dice.Below(2)) % 3;
    const Text written = form == 0 ? KanjiNumber(run.value) : Chars(Digits(run.value, form == 2));
    name.replace(run.start, run.end - run.start, written);
}

// Where 大字 in front of the town is something people write.
bool OazaPlausible(const City& city, const Place& place)
{
    const Text base = Chars(place.note.base);
    if (base.empty() || !place.note.chome.empty() || place.note.chomeWritten == 1 ||
        place.note.floor >= 0 || place.note.exceptBuildings || !place.note.street.empty())
        return false;
    if (base.back() == U'目' || std::any_of(base.begin(), base.end(), IsDigitChar) ||
        base.find(U'条') != Text::npos)
        return false;
    const Text cityName = Chars(city.name);
    return cityName.back() == U'町' || cityName.back() == U'村' || !place.note.parts.empty() ||
           place.note.others || !place.note.banchi.empty();
}

bool Rural(const City& city)
{
    const Text name = Chars(city.name);
    return name.back() == U'町' || name.back() == U'村';
}

// The secondary forms, at rates scaled by percent.
void MixForms(Forms& forms, Dice& dice, int percent, const City& city, const Text& town,
              bool oazaPlausible, bool withNumerals)
{
    auto chance = [&](int rate) { return dice.Chance(rate * percent / 100); };
    forms.prefOut = forms.prefOut || chance(30);
    forms.gunOut = forms.gunOut || (!city.shortName.empty() && chance(25));
    forms.prefSpace = forms.prefSpace || chance(6);
    forms.townSpace = forms.townSpace || chance(4);
    forms.kana = forms.kana || (!KanaPositions(town).empty() && chance(20));
    forms.kanji = forms.kanji || (!KanjiPositions(town).empty() && chance(15));
    forms.numeral = forms.numeral || (withNumerals && chance(25));
    forms.fullWidth = forms.fullWidth || chance(20);
    forms.building = forms.building || chance(8);
    forms.oaza = forms.oaza || (oazaPlausible && chance(5));
}

// The primary form of a line without notes, among those that can apply to it.
std::string PickPlainForm(Forms& forms, Dice& dice, const City& city, const Text& town,
                          bool oazaPlausible, bool withNumerals)
{
    std::vector<std::pair<const char*, int>> options = {
        {"plain", 18}, {"no-pref", 12}, {"fw-digits", 8}, {"building", 8}, {"space", 5}};
    if (!city.shortName.empty())
        options.push_back({"no-gun", 10});
    if (!KanaPositions(town).empty())
        options.push_back({"ke-variant", 8});
    if (!KanjiPositions(town).empty() || !KanjiPositions(Chars(city.name)).empty())
        options.push_back({"old-kanji", 8});
    if (withNumerals)
        options.push_back({"kanji-num", 8});
    if (oazaPlausible)
        options.push_back({"oaza", 6});
    std::vector<int> weights;
    weights.reserve(options.size());
    for (const auto& option : options)
        weights.push_back(option.second);
    std::string kind = options[static_cast<std::size_t>(dice.Weighted(weights))].first;
    if (kind == "no-pref")
        forms.prefOut = true;
    else if (kind == "fw-digits")
        forms.fullWidth = true;
    else if (kind == "building")
        forms.building = true;
    else if (kind == "space")
        (dice.Chance(60) ? forms.prefSpace : forms.townSpace) = true;
    else if (kind == "no-gun")
        forms.gunOut = true;
    else if (kind == "ke-variant")
        forms.kana = true;
    else if (kind == "old-kanji") {
        forms.kanji = !KanjiPositions(town).empty();
        forms.kanjiInCity = !forms.kanji || dice.Chance(25);
    } else if (kind == "kanji-num")
        forms.numeral = true;
    else if (kind == "oaza")
        forms.oaza = true;
    return kind;
}

std::string Gap(Dice& dice)
{
    const int roll = dice.Below(10);
    return roll < 3 ? "" : roll < 6 ? " " : "\u3000";
}

// ＪＡビル as JAビル now and then, and a wing's parentheses left out: ミッドランドスクエア高層棟.
std::string BuildingAsWritten(const std::string& name, Dice& dice)
{
    Text chars = Chars(name);
    const bool ascii = dice.Chance(30);
    Text out;
    for (char32_t c : chars) {
        if (c == U'（' || c == U'）')
            continue;
        out += ascii && c >= 0xFF01 && c <= 0xFF5E ? c - 0xFEE0 : c;
    }
    return Utf8(out);
}

int PickIn(Dice& dice, const std::vector<NumberRange>& ranges)
{
    const NumberRange& r = dice.Pick(ranges);
    return dice.Between(r.lo, std::min(r.hi, r.lo + 30));
}

bool HasPartSiblings(const City& city, const Place& place, const PlaceIndex& index)
{
    const auto it = city.byBase.find(place.baseKey);
    if (it == city.byBase.end())
        return false;
    return std::any_of(it->second.begin(), it->second.end(), [&](int line) {
        return !index.Places()[static_cast<std::size_t>(line)].note.parts.empty();
    });
}

} // namespace

// NOLINTNEXTLINE(readability-function-size): one decision after another, in writing order
WrittenAddress WriteAddress(const PlaceIndex& index, int placeId, Dice& dice, bool leaveOut)
{
    const Place& place = index.Places()[static_cast<std::size_t>(placeId)];
    const City& city = index.Cities()[static_cast<std::size_t>(place.city)];
    const TownNote& note = place.note;
    WrittenAddress out;
    WrittenParts& parts = out.parts;
    parts.city = place.city;
    parts.baseKey = place.baseKey;

    Text town = Chars(note.base);
    const bool oazaPlausible = OazaPlausible(city, place);
    const bool withNumerals = !NumeralRuns(town).empty();
    Forms forms;
    if (note.shape == NoteShape::Plain) {
        out.kind = PickPlainForm(forms, dice, city, town, oazaPlausible, withNumerals);
        if (out.kind != "plain")
            MixForms(forms, dice, 50, city, town, oazaPlausible, withNumerals);
        if (leaveOut) {
            forms.prefOut = true;
            out.kind = "shared-city";
        }
    } else {
        out.kind = place.source.lineCount > 1 ? "split-town" : ShapeName(note.shape);
        MixForms(forms, dice, 100, city, town, oazaPlausible, withNumerals);
    }
    const bool buildingLine = note.floor >= 0;
    if (buildingLine || note.exceptBuildings)
        forms.building = false;

    if (forms.kana)
        ChangeSpelling(town, KanaPositions(town), dice);
    if (forms.kanji)
        ChangeSpelling(town, KanjiPositions(town), dice);
    if (forms.numeral)
        ChangeNumeral(town, dice);

    std::string text;
    if (!forms.prefOut) {
        text += city.pref;
        if (forms.prefSpace)
            text += dice.Chance(70) ? "\u3000" : " ";
    }
    Text cityName = Chars(forms.gunOut && !city.shortName.empty() ? city.shortName : city.name);
    if (forms.kanjiInCity)
        ChangeSpelling(cityName, KanjiPositions(cityName), dice);
    text += Utf8(cityName);
    if (forms.townSpace)
        text += dice.Chance(70) ? "\u3000" : " ";

    const NumberStyle style = PickNumberStyle(dice, forms.fullWidth);
    std::string number;
    switch (note.shape) {
    case NoteShape::CityDefault:
        text += MadeUpTown(dice);
        number = AnyNumber(dice, style, Rural(city), parts);
        break;
    case NoteShape::WholeCity:
        number = BanchiNumber(dice, style, dice.Between(1, 3000), -1, true, parts);
        break;
    default:
        if (!note.street.empty()) {
            if (!leaveOut && dice.Chance(50)) {
                text += note.street;
                parts.streetWritten = true;
                parts.streetKey = FoldKey(note.street);
                out.kind = "kyoto-street";
            } else {
                out.kind = "kyoto";
            }
        }
        if (forms.oaza)
            text += dice.Chance(80) ? "大字" : "字";
        text += Utf8(town);
        break;
    }

    if (!note.chiwari.empty()) {
        if (leaveOut) {
            out.kind = "no-chiwari";
        } else {
            parts.chiwari = PickIn(dice, note.chiwari);
            text += (dice.Chance(60) ? "第" : "") + Digits(parts.chiwari, style.fullWidth) + "地割";
        }
    }
    if (!note.parts.empty()) {
        if (leaveOut) {
            out.kind = "no-part";
        } else {
            const std::string& part = dice.Pick(note.parts);
            if (dice.Chance(25))
                text += "字";
            text += part;
            parts.partWritten = true;
            parts.partKey = FoldKey(part);
        }
    } else if (note.others && HasPartSiblings(city, place, index) && !leaveOut && dice.Chance(65)) {
        const std::string part = MadeUpPart(dice);
        text += part;
        parts.partWritten = true;
        parts.partKey = FoldKey(part);
    }

    switch (note.shape) {
    case NoteShape::CityDefault:
    case NoteShape::WholeCity:
        break;
    case NoteShape::ChomeRange:
    case NoteShape::ChomeWritten:
        if (leaveOut) {
            out.kind = "no-chome";
            if (dice.Chance(60))
                number = NumberWithoutChome(dice, style, parts);
        } else {
            const int chome = note.chome.empty() ? dice.Between(1, 9) : PickIn(dice, note.chome);
            number = note.shape == NoteShape::ChomeWritten
                         ? ExplicitChomeNumber(dice, style, chome, parts)
                         : ChomeNumber(dice, style, chome, parts);
        }
        break;
    case NoteShape::Block:
        number = BlockNumber(dice, style, dice.Pick(note.blocks), parts);
        break;
    case NoteShape::ChomeNotWritten:
        number = BanchiNumber(dice, style, dice.Between(1, 3000), -1, dice.Chance(30), parts);
        break;
    case NoteShape::Banchi:
        if (leaveOut) {
            out.kind = "no-banchi";
        } else {
            const BanchiItem& item = dice.Pick(note.banchi);
            const int n =
                item.sub >= 0 ? item.lo : dice.Between(item.lo, std::min(item.hi, item.lo + 500));
            number = BanchiNumber(dice, style, n, item.sub, true, parts);
        }
        break;
    default:
        if (!note.chiwari.empty()) {
            number = BanchiNumber(dice, style, dice.Between(1, 300), -1, true, parts);
            parts.bare = false; // after a 地割 the first number is its 番地
        } else if (buildingLine || note.exceptBuildings) {
            number = dice.Chance(70)
                         ? ChomeNumber(dice, style, dice.Between(1, 9), parts)
                         : BanchiNumber(dice, style, dice.Between(1, 50), -1, true, parts);
        } else if (note.shape != NoteShape::Plain || dice.Chance(92)) {
            number = AnyNumber(dice, style,
                               Rural(city) || !note.parts.empty() || note.others ||
                                   parts.partWritten || !note.street.empty(),
                               parts);
        }
        break;
    }
    text += number;

    if (buildingLine) {
        if (leaveOut) {
            out.kind = "no-building";
        } else {
            text += Gap(dice) + BuildingAsWritten(note.building, dice);
            parts.buildingWritten = true;
            parts.buildingKey = place.buildingKey;
            if (note.floor > 0) {
                text += (dice.Chance(60) ? "" : " ") + FloorText(dice, style, note.floor);
                parts.floor = note.floor;
            } else if (dice.Chance(50)) {
                text += BasementText(dice, style);
                parts.floor = 0;
            }
        }
    } else if (forms.building || (note.exceptBuildings && dice.Chance(60))) {
        const std::string building = MadeUpBuilding(dice, style.fullWidth);
        text += Gap(dice) + building;
        parts.buildingWritten = true;
        parts.buildingKey = FoldKey(MadeUpBuildingName(building));
    }
    out.text = std::move(text);
    return out;
}

} // namespace kompa::books
