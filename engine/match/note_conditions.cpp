#include "note_conditions.h"

#include <optional>

#include "canonical.h"

namespace kompa::match {

namespace {

// The words of the notes, in canonical form (as the notes are read).
struct Words {
    static std::string C(const char* utf8) { return Canonical(Sjis(utf8)); }
    std::string chome = C("丁目"), cho = C("丁"), banchi = C("番地"), ban = C("番");
    std::string go = C("号"), jiwari = C("地割"), sen = C("線"), jo = C("条"), ku = C("区");
    std::string kumi = C("組"), dai = C("第"), tilde = C("～"), comma = C("、"), dot = C("・");
    std::string open = C("「"), close = C("」"), oyobi = C("及び"), no = C("の");
    std::string ijo = C("以上"), iko = C("以降"), ika = C("以下"), inai = C("以内");
    std::string nozoku = C("を除く"), igai = C("以外"), other = C("その他");
    std::string notBuilding = C("次のビルを除く"), unknownFloor = C("地階・階層不明");
    std::string floor = C("階"), cityDefault = C("以下に掲載がない場合"), whole = C("一円");
    std::string afterCity = C("の次に"), afterCityEnd = C("がくる場合");
    std::string parenOpen = C("（"), parenClose = C("）");
    std::string commentOpen = C("〔"), commentClose = C("〕");
    std::vector<std::string> streetWords = {C("通"),   C("上る"), C("下る"), C("入る"), C("西入"),
                                            C("東入"), C("筋目"), C("上ル"), C("下ル"), C("入ル")};
    std::string ru = C("る"), ruKana = C("ル"), dori = C("通り"), doriShort = C("通");
    std::string oaza = C("大字"), sujime = C("筋目");
};

const Words& W()
{
    static const Words words;
    return words;
}

bool Contains(std::string_view s, std::string_view word)
{
    for (std::size_t i = 0; i + word.size() <= s.size(); i += CharLength(s, i))
        if (s.compare(i, word.size(), word) == 0)
            return true;
    return false;
}

bool EndsWith(std::string_view s, std::string_view word)
{
    return s.size() >= word.size() && s.compare(s.size() - word.size(), word.size(), word) == 0;
}

// Splits at every top-level separator (outside 「」 and （）).
std::vector<std::string_view> SplitTop(std::string_view s, const std::vector<std::string>& seps)
{
    std::vector<std::string_view> parts;
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size();) {
        const std::string_view rest = s.substr(i);
        if (rest.starts_with(W().open) || rest.starts_with(W().parenOpen))
            ++depth;
        else if (rest.starts_with(W().close) || rest.starts_with(W().parenClose))
            --depth;
        else if (depth == 0) {
            bool split = false;
            for (const std::string& sep : seps) {
                if (rest.starts_with(sep)) {
                    parts.push_back(s.substr(start, i - start));
                    i += sep.size();
                    start = i;
                    split = true;
                    break;
                }
            }
            if (split)
                continue;
        }
        i += CharLength(s, i);
    }
    parts.push_back(s.substr(start));
    return parts;
}

} // namespace

std::string StreetForm(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const std::string_view rest = s.substr(i);
        if (rest.starts_with(W().dori)) {
            out += W().doriShort;
            i += W().dori.size();
            continue;
        }
        if ((rest.starts_with(W().ru) || rest.starts_with(W().ruKana)) && !out.empty()) {
            i += W().ru.size();
            continue;
        }
        const std::size_t n = CharLength(s, i);
        out.append(s.substr(i, n));
        i += n;
    }
    return out;
}

namespace {

// Reads numbers, counters and ranges left to right.
class Scanner {
public:
    explicit Scanner(std::string_view s) : s_(s) {}
    bool AtEnd() const { return p_ >= s_.size(); }
    std::size_t Pos() const { return p_; }
    void Seek(std::size_t p) { p_ = p; }
    std::string_view Rest() const { return s_.substr(p_); }
    bool DigitNext() const { return p_ < s_.size() && IsDigit(s_[p_]); }
    bool Eat(std::string_view word)
    {
        if (!Rest().starts_with(word))
            return false;
        p_ += word.size();
        return true;
    }
    bool Peek(std::string_view word) const { return Rest().starts_with(word); }
    std::int32_t Number()
    {
        std::int64_t v = 0;
        while (DigitNext()) {
            v = std::min<std::int64_t>(v * 10 + (s_[p_] - '0'), 1'000'000'000);
            ++p_;
        }
        return static_cast<std::int32_t>(v);
    }
    // "-" or "の" with a digit after it.
    bool EatJoiner()
    {
        const std::size_t save = p_;
        if (Eat("-") || Eat(W().no)) {
            if (DigitNext())
                return true;
        }
        p_ = save;
        return false;
    }

private:
    std::string_view s_;
    std::size_t p_ = 0;
};

std::optional<THead> HeadUnit(Scanner& sc, bool afterDai)
{
    const Words& w = W();
    if (sc.Eat(w.chome) || sc.Eat(w.cho))
        return THead::Chome;
    if (sc.Eat(w.jiwari))
        return THead::Jiwari;
    if (sc.Eat(w.sen))
        return THead::Sen;
    if (sc.Eat(w.jo))
        return THead::Jo;
    if (sc.Eat(w.ku))
        return THead::Ku;
    if (sc.Eat(w.kumi))
        return THead::Kumi;
    if (afterDai && sc.Eat(w.go))
        return THead::Go;
    if (afterDai) // 第３: a numbered part with no counter
        return THead::Go;
    return std::nullopt;
}

// [第]N[counter][～[第]M counter]: a head, or nothing (position kept).
bool ParseHead(Scanner& sc, TNoteItem& item)
{
    const std::size_t save = sc.Pos();
    const bool dai = sc.Eat(W().dai);
    if (!sc.DigitNext()) {
        sc.Seek(save);
        return false;
    }
    const std::int32_t lo = sc.Number();
    std::optional<THead> unit = HeadUnit(sc, dai);
    std::int32_t hi = lo;
    const std::size_t beforeTilde = sc.Pos();
    if (sc.Eat(W().tilde)) {
        const bool dai2 = sc.Eat(W().dai);
        if (sc.DigitNext()) {
            hi = sc.Number();
            if (std::optional<THead> unit2 = HeadUnit(sc, dai2))
                unit = unit2;
            else if (!unit) {
                sc.Seek(save);
                return false;
            }
        } else {
            sc.Seek(beforeTilde);
            if (!unit) {
                sc.Seek(save);
                return false;
            }
            // N丁目～: open above
            sc.Eat(W().tilde);
            hi = INT_MAX;
        }
    }
    if (!unit || item.Has(*unit)) {
        sc.Seek(save);
        return false;
    }
    item.Set(*unit, {lo, hi});
    return true;
}

// N[-M...] with 番地, 番 and 号 between the numbers.
bool ParsePath(Scanner& sc, TPath& path)
{
    if (!sc.DigitNext())
        return false;
    path = {};
    path.Push(sc.Number());
    for (;;) {
        if (sc.EatJoiner()) {
            path.Push(sc.Number());
            continue;
        }
        const std::size_t save = sc.Pos();
        if (sc.Eat(W().banchi) || sc.Eat(W().ban) || sc.Eat(W().go)) {
            if (sc.EatJoiner() || sc.DigitNext()) {
                path.Push(sc.Number());
                continue;
            }
            // A counter ending the path stays eaten; one before other text is not ours.
            if (sc.AtEnd() || sc.Peek(W().tilde) || sc.Peek(W().ijo) || sc.Peek(W().iko) ||
                sc.Peek(W().ika) || sc.Peek(W().inai) || sc.Peek(W().dot) || sc.Peek(W().nozoku) ||
                sc.Peek(W().open))
                break;
            sc.Seek(save);
        }
        break;
    }
    return true;
}

// The hi side of a range inherits what it leaves out from lo: 5363-7～8 is 5363-7～5363-8.
TPath Inherit(const TPath& from, const TPath& path)
{
    if (path.n >= from.n)
        return path;
    TPath out;
    for (std::uint8_t k = 0; k < from.n - path.n; ++k)
        out.Push(from.v[k]);
    for (std::uint8_t k = 0; k < path.n; ++k)
        out.Push(path.v[k]);
    return out;
}

// path[～path][以上|以降|以下|以内]
bool ParseLotRange(Scanner& sc, TPathRange& range)
{
    TPath lo;
    if (!ParsePath(sc, lo))
        return false;
    range = {lo, lo};
    if (sc.Eat(W().tilde)) {
        TPath hi;
        if (ParsePath(sc, hi))
            range.hi = Inherit(lo, hi);
        else
            range.hi = {};
    }
    if (sc.Eat(W().ijo) || sc.Eat(W().iko))
        range.hi = {};
    else if (sc.Eat(W().ika) || sc.Eat(W().inai)) {
        range.hi = range.lo;
        range.lo = {};
    }
    return true;
}

// A list of lots inside 「」: "２５、６３７、６４１", "１－１３、７１－１９２", "２９４～３００".
bool ParseLotList(std::string_view s, std::vector<TPathRange>& out)
{
    for (std::string_view part : SplitTop(s, {W().comma, W().dot})) {
        Scanner sc(part);
        TPathRange r;
        if (!ParseLotRange(sc, r) || !sc.AtEnd())
            return false;
        out.push_back(r);
        // "１－１３" may also mean 1 to 13: both readings are kept as exceptions.
        if (r.lo.n == 2 && r.hi.n == 2 && r.lo.v == r.hi.v && r.lo.v[1] > r.lo.v[0]) {
            TPathRange wide;
            wide.lo.Push(r.lo.v[0]);
            wide.hi.Push(r.lo.v[1]);
            out.push_back(wide);
        }
    }
    return true;
}

// What a 「…」 after an item says: lots excepted, lots restricted to, or only a description.
bool ApplyQuote(std::string_view quote, bool excepted, TNoteItem& item)
{
    const Words& w = W();
    if (EndsWith(quote, w.nozoku)) {
        quote.remove_suffix(w.nozoku.size());
        excepted = true;
    }
    if (quote == w.other)
        return true;
    std::vector<TPathRange> lots;
    if (!quote.empty() && IsDigit(quote[0]) && ParseLotList(quote, lots)) {
        auto& to = excepted ? item.except : item.lots;
        if (!excepted && !item.lots.empty()) {
            // 第２地割「７０～１３６」: the lots under the head just read
            item.lots.clear();
        }
        to.insert(to.end(), lots.begin(), lots.end());
        return true;
    }
    // A place description (「榛名湖畔」, 「古町」): nothing to hold an address against.
    return !excepted;
}

// An item's leading name: everything before its first number (or 第 and a number).
std::size_t NameEnd(std::string_view s)
{
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) {
        if (IsDigit(s[i]))
            return i;
        if (s.substr(i).starts_with(W().dai) && i + W().dai.size() < s.size() &&
            IsDigit(s[i + W().dai.size()]))
            return i;
    }
    return s.size();
}

// Names joined by ・: 甲・乙; 白滝Ｂ・Ｃ is 白滝B and 白滝C.
void AddNames(std::string_view s, std::vector<TNoteItem>& out)
{
    std::string last;
    for (std::string_view part : SplitTop(s, {W().dot})) {
        std::string name(part);
        if (name.size() == 1 && !last.empty() && last.back() >= 'A' && last.back() <= 'Z')
            name = last.substr(0, last.size() - 1) + name;
        TNoteItem item;
        item.name = name;
        out.push_back(item);
        last = name;
    }
}

// The heads and lots of one numbered part ("４丁目１～２番", "西５～８線７９～１１０番地").
bool ParseNumbered(Scanner& sc, TNoteItem& item)
{
    bool any = false;
    while (ParseHead(sc, item))
        any = true;
    TPathRange r;
    if (ParseLotRange(sc, r)) {
        item.lots.push_back(r);
        any = true;
    }
    return any;
}

// One item of a note's list, possibly several conditions (・ inside numbers).
bool ParseItem(std::string_view text, const TNoteItem* previous, std::vector<TNoteItem>& out)
{
    const Words& w = W();
    if (text.empty())
        return false;
    // （大字） is the town's part written without 丁目, as （番地） is.
    if (text == w.chome || text == w.banchi || text == w.oaza) {
        TNoteItem item;
        item.chomeSelector = text == w.chome ? 1 : -1;
        out.push_back(item);
        return true;
    }
    // A street description: a direction (上る, 西入 …), or a 通 and a 丁目 or 筋目 after it
    // (三条通白川橋東４丁目); 中通, 中央通り and 流通団地 are parts' names.
    const std::size_t dori = text.find(w.doriShort);
    const bool numberedStreet = dori != std::string_view::npos &&
                                (EndsWith(text, w.chome) || EndsWith(text, w.sujime)) &&
                                NameEnd(text) > dori;
    for (const std::string& word : w.streetWords) {
        const std::size_t at = text.find(word);
        if (at != std::string_view::npos && (word != w.doriShort || numberedStreet)) {
            TNoteItem item;
            item.descriptor = StreetForm(text);
            out.push_back(item);
            return true;
        }
    }
    // 「…」 parts after the main text, and 以外 after the last one.
    std::string_view main = text;
    std::vector<std::pair<std::string_view, bool>> quotes;
    if (const std::size_t q = text.find(w.open); q != std::string_view::npos) {
        main = text.substr(0, q);
        std::string_view rest = text.substr(q);
        while (!rest.empty()) {
            if (!rest.starts_with(w.open))
                return false;
            const std::size_t end = rest.find(w.close);
            if (end == std::string_view::npos)
                return false;
            quotes.emplace_back(rest.substr(w.open.size(), end - w.open.size()), false);
            rest.remove_prefix(end + w.close.size());
            if (rest.starts_with(w.igai)) {
                quotes.back().second = true;
                rest.remove_prefix(w.igai.size());
            }
        }
    }
    const std::size_t nameEnd = NameEnd(main);
    const std::string name(main.substr(0, nameEnd));
    std::string_view numbers = main.substr(nameEnd);
    if (numbers.empty()) {
        if (name.empty())
            return false;
        if (quotes.empty()) {
            AddNames(name, out);
            return true;
        }
        TNoteItem item;
        item.name = name;
        for (auto [quote, excepted] : quotes)
            if (!ApplyQuote(quote, excepted, item))
                return false;
        out.push_back(item);
        return true;
    }
    // Numbered parts joined by ・ share the heads and the name of the first.
    const TNoteItem* before = previous;
    const std::size_t firstOut = out.size();
    for (std::string_view part : SplitTop(numbers, {w.dot})) {
        Scanner sc(part);
        TNoteItem item;
        item.name = name;
        item.uncertain = Contains(part, w.inai);
        if (!ParseNumbered(sc, item) || !sc.AtEnd()) {
            // Numbers that are part of a name: 北１３号沢, 烏帽子国有林７７林班.
            if (out.size() == firstOut && quotes.empty() && !Contains(text, w.tilde) &&
                !Contains(text, w.dot)) {
                TNoteItem named;
                named.name = std::string(text);
                out.push_back(named);
                return true;
            }
            return false;
        }
        if (before && item.heads == 0 && item.name.empty() == before->name.empty()) {
            item.heads = before->heads;
            item.head = before->head;
            // ４の２・４・６: a lone number stands for the last sub-number.
            if (!before->lots.empty() && item.lots.size() == 1 &&
                item.lots[0].lo.n < before->lots.back().lo.n)
                item.lots[0] = {Inherit(before->lots.back().lo, item.lots[0].lo),
                                Inherit(before->lots.back().lo, item.lots[0].hi)};
        }
        out.push_back(item);
        before = &out.back();
    }
    for (std::size_t k = firstOut; k < out.size(); ++k)
        for (auto [quote, excepted] : quotes)
            if (!ApplyQuote(quote, excepted, out[k]))
                return false;
    return true;
}

// 第２地割「７０～１３６」～第４地割「３～１１」: the first 地割 from its lots on, those between
// whole, the last up to its lots.
bool ParseJiwariSpan(std::string_view text, std::vector<TNoteItem>& out)
{
    const Words& w = W();
    const std::size_t tilde = text.find(w.tilde + w.dai);
    if (tilde == std::string_view::npos || !Contains(text, w.jiwari) || !Contains(text, w.open))
        return false;
    struct End {
        std::int32_t jiwari = 0;
        std::string_view quote;
        bool has = false;
    };
    auto read = [&](std::string_view s, End& e) {
        Scanner sc(s);
        sc.Eat(w.dai);
        if (!sc.DigitNext())
            return false;
        e.jiwari = sc.Number();
        if (!sc.Eat(w.jiwari))
            return false;
        if (sc.AtEnd())
            return true;
        std::string_view rest = sc.Rest();
        if (!rest.starts_with(w.open) || !EndsWith(rest, w.close))
            return false;
        e.quote = rest.substr(w.open.size(), rest.size() - w.open.size() - w.close.size());
        e.has = true;
        return true;
    };
    End a, b;
    if (!read(text.substr(0, tilde), a) || !read(text.substr(tilde + w.tilde.size()), b) ||
        b.jiwari < a.jiwari)
        return false;
    TNoteItem first, middle, last;
    first.Set(THead::Jiwari, {a.jiwari, a.jiwari});
    last.Set(THead::Jiwari, {b.jiwari, b.jiwari});
    if (a.has && !ApplyQuote(a.quote, false, first))
        return false;
    if (b.has && !ApplyQuote(b.quote, false, last))
        return false;
    // 「７０～１３６」 on the first 地割 means from lot 70 on, and on the last up to lot 11.
    if (!first.lots.empty() && first.except.empty())
        first.lots = {{first.lots.front().lo, {}}};
    if (!last.lots.empty() && last.except.empty())
        last.lots = {{{}, last.lots.back().hi}};
    out.push_back(first);
    if (b.jiwari > a.jiwari + 1) {
        middle.Set(THead::Jiwari, {a.jiwari + 1, b.jiwari - 1});
        out.push_back(middle);
    }
    if (b.jiwari > a.jiwari)
        out.push_back(last);
    return true;
}

} // namespace

namespace {

TNote ParseCanonicalNote(std::string text)
{
    const Words& w = W();
    // 〔…〕 is a comment of the data.
    for (std::size_t open; (open = text.find(w.commentOpen)) != std::string::npos;) {
        const std::size_t close = text.find(w.commentClose, open);
        if (close == std::string::npos)
            break;
        text.erase(open, close + w.commentClose.size() - open);
    }
    TNote note;
    if (text == w.other) {
        note.kind = TNoteKind::Other;
        return note;
    }
    if (text == w.notBuilding) {
        note.kind = TNoteKind::NotBuilding;
        return note;
    }
    if (text == w.unknownFloor) {
        note.kind = TNoteKind::UnknownFloor;
        return note;
    }
    {
        Scanner sc(text);
        if (sc.DigitNext()) {
            const std::int32_t floor = sc.Number();
            if (sc.Eat(w.floor) && sc.AtEnd()) {
                note.kind = TNoteKind::Floor;
                note.floor = static_cast<std::int16_t>(std::min(floor, 32000));
                return note;
            }
        }
    }
    note.kind = TNoteKind::Items;
    for (std::string_view item : SplitTop(text, {w.comma, w.oyobi})) {
        const TNoteItem* previous = !note.items.empty() && note.items.back().Has(THead::Chome)
                                        ? &note.items.back()
                                        : nullptr;
        const std::size_t before = note.items.size();
        if (!ParseJiwariSpan(item, note.items) && !ParseItem(item, previous, note.items)) {
            note.items.resize(before);
            note.kind = TNoteKind::Unreadable;
            note.items.clear();
            return note;
        }
    }
    return note;
}

} // namespace

TNote ParseNote(std::string_view sjisNote)
{
    return ParseCanonicalNote(Canonical(sjisNote));
}

TTownName ReadTownName(std::string_view sjisTown, std::string_view city, std::string_view cityBare)
{
    const Words& w = W();
    TTownName town;
    const std::string canonical = Canonical(sjisTown);
    // City-wide lines.
    if (canonical == w.cityDefault) {
        town.note.kind = TNoteKind::CityDefault;
        return town;
    }
    if (canonical == w.whole || canonical == std::string(city) + w.whole ||
        canonical == std::string(cityBare) + w.whole) {
        town.note.kind = TNoteKind::WholeCity;
        return town;
    }
    std::string_view rest = canonical;
    // Some editions write a building's floors without parentheses: 大手町ＪＡビル１３階.
    if (EndsWith(rest, w.floor) && rest.size() > w.floor.size() &&
        IsDigit(rest[rest.size() - w.floor.size() - 1])) {
        std::size_t digits = rest.size() - w.floor.size();
        while (digits > 0 && IsDigit(rest[digits - 1]))
            --digits;
        std::int32_t floor = 0;
        for (std::size_t i = digits; i < rest.size() - w.floor.size(); ++i)
            floor = std::min(floor * 10 + (rest[i] - '0'), 32000);
        const std::string_view building = rest.substr(0, digits);
        if (!building.empty() && !IsDigit(building.back())) {
            town.base = std::string(building.substr(0, building.find(w.parenOpen)));
            town.note.kind = TNoteKind::Floor;
            town.note.floor = static_cast<std::int16_t>(floor);
            return town;
        }
    }
    std::string_view note;
    std::string_view quoteless = rest;
    if (const std::size_t open = rest.find(w.parenOpen); open != std::string_view::npos) {
        // The last parenthesised part is the note; one before it (（高層棟）) names a part
        // of the building that people leave out.
        const std::size_t lastOpen = rest.rfind(w.parenOpen);
        if (!EndsWith(rest, w.parenClose)) {
            town.base = std::string(rest.substr(0, open));
            town.note.kind = TNoteKind::Unreadable;
            return town;
        }
        note = rest.substr(lastOpen + w.parenOpen.size(),
                           rest.size() - lastOpen - w.parenOpen.size() - w.parenClose.size());
        quoteless = rest.substr(0, lastOpen);
    }
    std::string base(quoteless.substr(0, quoteless.find(w.parenOpen)));
    // 小菅村の次に１～６６３番地がくる場合: the city's own lots, with no town between.
    if (const std::size_t after = base.find(w.afterCity);
        after != std::string::npos && EndsWith(base, w.afterCityEnd)) {
        const std::string_view who = std::string_view(base).substr(0, after);
        const std::string_view spec = std::string_view(base).substr(
            after + w.afterCity.size(),
            base.size() - after - w.afterCity.size() - w.afterCityEnd.size());
        Scanner sc(spec);
        TNoteItem item;
        if ((who == city || who == cityBare) && ParseNumbered(sc, item) && sc.AtEnd()) {
            town.note.kind = TNoteKind::Items;
            town.note.items.push_back(item);
            return town; // its own note (（川西）) names the area only
        }
        town.base = base;
        town.note.kind = TNoteKind::Unreadable;
        return town;
    }
    // 種市第１５地割～第２１地割, 杉名畑４４地割, 穴明２２地割、穴明２３地割: the 地割 belongs to
    // the address, not to the town's name.
    if (EndsWith(base, w.jiwari)) {
        std::string name;
        std::int32_t lo = INT_MAX, hi = INT_MIN;
        bool readable = true;
        const std::vector<std::string_view> pieces = SplitTop(base, {w.comma, w.tilde});
        for (std::string_view piece : pieces) {
            const std::size_t start = NameEnd(piece);
            const std::string_view pieceName = piece.substr(0, start);
            if (name.empty())
                name = std::string(pieceName);
            Scanner sc(piece.substr(start));
            TNoteItem cond;
            if ((!pieceName.empty() && pieceName != name) || !ParseHead(sc, cond) || !sc.AtEnd() ||
                cond.heads != (1u << static_cast<int>(THead::Jiwari))) {
                readable = false;
                break;
            }
            const TIntRange r = cond.head[static_cast<int>(THead::Jiwari)];
            lo = std::min(lo, r.lo);
            hi = std::max(hi, r.hi);
        }
        // A list must leave no 地割 out between its ends to be read as their range.
        if (readable && base.find(w.comma) != std::string::npos &&
            hi - lo + 1 != static_cast<std::int32_t>(pieces.size()))
            readable = false;
        if (readable && !name.empty()) {
            TNoteItem cond;
            cond.Set(THead::Jiwari, {lo, hi});
            town.note.items.push_back(cond);
            town.note.hasBaseCondition = true;
            base = name;
        }
    }
    town.base = base;
    if (!note.empty()) {
        TNote parsed = ParseCanonicalNote(std::string(note));
        if (town.note.hasBaseCondition && parsed.kind != TNoteKind::Unreadable) {
            parsed.items.insert(parsed.items.begin(), town.note.items.front());
            parsed.hasBaseCondition = true;
        }
        town.note = std::move(parsed);
    }
    return town;
}

} // namespace kompa::match
