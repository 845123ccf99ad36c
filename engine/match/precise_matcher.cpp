#include "precise_matcher.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <functional>
#include <future>

#include "address_parts.h"
#include "canonical.h"
#include "engine/dictionary/dictionary.h"
#include "engine/io/file_io.h"
#include "engine/source/ken.h"

namespace kompa::match {

namespace {

// Three answers to "does this line cover the address": no, can't tell, yes.
enum class T3 : std::uint8_t { No, Maybe, Yes };

struct Verdict {
    T3 v = T3::Yes;
    TWaitReason why = TWaitReason::None;
    TMatchRule rule = TMatchRule::Town;
    void Lower(T3 x, TWaitReason reason)
    {
        if (x == T3::Yes || v == T3::No)
            return;
        if (x == T3::No) {
            v = T3::No;
            return;
        }
        if (why == TWaitReason::None)
            why = reason;
        v = T3::Maybe;
    }
};

struct Words {
    static std::string C(const char* utf8) { return Canonical(Sjis(utf8)); }
    std::string oaza = C("大字"), koaza = C("小字"), aza = C("字");
    std::vector<std::string> cityEnds = {C("市"), C("区"), C("町"), C("村")};
    std::array<std::uint16_t, 4> cityEndCodes = [this] {
        std::array<std::uint16_t, 4> codes{};
        for (std::size_t k = 0; k < 4; ++k)
            codes[k] =
                static_cast<std::uint16_t>((static_cast<unsigned char>(cityEnds[k][0]) << 8) |
                                           static_cast<unsigned char>(cityEnds[k][1]));
        return codes;
    }();
    std::vector<std::string> directionWords = {C("西入"), C("東入"), C("上る"), C("下る"),
                                               C("入る"), C("上ル"), C("下ル"), C("入ル")};
    std::vector<std::string> directionTails = {C("る"), C("ル")};
    std::string chome = C("丁目"), sujime = C("筋目"), postalMark = C("〒");
    std::vector<std::string> streetWords = {C("通"),   C("上る"), C("下る"), C("入る"), C("西入"),
                                            C("東入"), C("上ル"), C("下ル"), C("入ル")};
};

const Words& W()
{
    static const Words words;
    return words;
}

// Past a 丁目 or 筋目 after a direction: 寺町通今出川上る３丁目.
void ReadNumberedTail(std::string_view s, std::size_t& i)
{
    std::size_t j = i;
    while (j < s.size() && IsDigit(s[j]))
        ++j;
    if (j == i)
        return;
    if (StartsWithAt(s, j, W().chome))
        i = j + W().chome.size();
    else if (StartsWithAt(s, j, W().sujime))
        i = j + W().sujime.size();
}

bool ContainsAt(std::string_view hay, std::string_view needle)
{
    return !needle.empty() && hay.find(needle) != std::string_view::npos;
}

enum class TCmp { Less, Greater, Within, Short };

TCmp Compare(const std::int32_t* a, std::size_t n, const TPath& b)
{
    const std::size_t k = std::min<std::size_t>(n, b.n);
    for (std::size_t i = 0; i < k; ++i) {
        if (a[i] < b.v[i])
            return TCmp::Less;
        if (a[i] > b.v[i])
            return TCmp::Greater;
    }
    return n >= b.n ? TCmp::Within : TCmp::Short;
}

T3 InRange(const std::int32_t* a, std::size_t n, const TPathRange& r)
{
    T3 result = T3::Yes;
    if (r.lo.n) {
        const TCmp c = Compare(a, n, r.lo);
        if (c == TCmp::Less)
            return T3::No;
        if (c == TCmp::Short)
            result = T3::Maybe;
    }
    if (r.hi.n) {
        const TCmp c = Compare(a, n, r.hi);
        if (c == TCmp::Greater)
            return T3::No;
        if (c == TCmp::Short)
            result = T3::Maybe;
    }
    return result;
}

TWaitReason ReasonOf(THead h)
{
    switch (h) {
    case THead::Chome:
        return TWaitReason::NoChome;
    case THead::Jiwari:
        return TWaitReason::NoJiwari;
    default:
        return TWaitReason::NoLot;
    }
}

// A dash-written first number this large is a lot, never a 丁目.
constexpr std::int32_t kLargestChome = 99;

// What the town's lines say of the part the address names, for the lines that name none.
enum class TPartKnown : std::uint8_t { NoPart, Listed, Unlisted };

Verdict EvalItem(const TNoteItem& item, const TAddressParts& p, const TTownGroup& g,
                 std::string_view street, TPartKnown part)
{
    Verdict verdict;
    if (!item.descriptor.empty()) {
        verdict.rule = TMatchRule::Street;
        if (!ContainsAt(street, item.descriptor))
            verdict.Lower(T3::Maybe, TWaitReason::NoStreet);
        return verdict;
    }
    if (item.chomeSelector != 0) {
        verdict.rule = TMatchRule::Chome;
        T3 hasChome = T3::Maybe;
        if (p.Has(THead::Chome))
            hasChome = T3::Yes;
        else if (!p.lots.empty() && (p.lotSaysBanchi || p.lots[0] > kLargestChome))
            hasChome = T3::No;
        // A part named where the town lists parts is not the town's plain lots; one it does
        // not list may be.
        if (item.chomeSelector < 0 && part == TPartKnown::Listed)
            hasChome = T3::Yes;
        // Beside a line for all the others, lots alone do not tell （番地） from （その他）,
        // unless 番地 is written.
        if (item.chomeSelector < 0 && hasChome == T3::No &&
            (part == TPartKnown::Unlisted || (g.Is(TTownGroup::kHasOther) && !p.lotSaysBanchi))) {
            verdict.Lower(T3::Maybe, TWaitReason::NoPart);
            return verdict;
        }
        if (hasChome != T3::Maybe && (hasChome == T3::Yes) != (item.chomeSelector > 0))
            verdict.Lower(T3::No, TWaitReason::NoChome);
        else if (hasChome == T3::Maybe)
            verdict.Lower(T3::Maybe, TWaitReason::NoChome);
        return verdict;
    }
    if (!item.name.empty()) {
        verdict.rule = TMatchRule::Part;
        // A part left out (the empty name begins every name) or cut short may still be this one.
        if (p.name != item.name) {
            const bool begins =
                p.name.starts_with(item.name) || std::string_view(item.name).starts_with(p.name);
            verdict.Lower(begins ? T3::Maybe : T3::No, TWaitReason::NoPart);
        }
        if (verdict.v == T3::No)
            return verdict;
    } else if (part == TPartKnown::Listed) {
        // The address names one of the town's listed parts: not this line's.
        verdict.Lower(T3::No, TWaitReason::NoPart);
        return verdict;
    } else if (part == TPartKnown::Unlisted) {
        // A part the town's lines do not list: the numbers alone cannot say where it falls.
        verdict.Lower(T3::Maybe, TWaitReason::NoPart);
    }
    // The numbers: the 丁目 of a town written only with 丁目 may be the first dash number.
    bool chomeKnown = p.Has(THead::Chome);
    std::int32_t chome = p.Head(THead::Chome);
    const std::int32_t* lots = p.lots.data();
    std::size_t lotCount = p.lots.size();
    if (item.Has(THead::Chome) && !chomeKnown && g.Is(TTownGroup::kChomeOnly) && lotCount > 0 &&
        p.heads == 0 && !p.lotSaysBanchi && lots[0] <= kLargestChome) {
        chome = lots[0];
        ++lots;
        --lotCount;
        chomeKnown = true;
    }
    for (int h = 0; h < kHeadCount; ++h) {
        const auto head = static_cast<THead>(h);
        if (!item.Has(head))
            continue;
        if (verdict.rule == TMatchRule::Town || verdict.rule == TMatchRule::Part)
            verdict.rule = head == THead::Chome    ? TMatchRule::Chome
                           : head == THead::Jiwari ? TMatchRule::Jiwari
                                                   : TMatchRule::Lot;
        const bool known = head == THead::Chome ? chomeKnown : p.Has(head);
        if (!known) {
            verdict.Lower(T3::Maybe, ReasonOf(head));
            continue;
        }
        const std::int32_t value = head == THead::Chome ? chome : p.Head(head);
        const TIntRange r = item.head[static_cast<std::size_t>(h)];
        if (value < r.lo || value > r.hi)
            verdict.Lower(T3::No, ReasonOf(head));
    }
    if (verdict.v == T3::No || (item.lots.empty() && item.except.empty()))
        return verdict;
    std::int32_t seq[8];
    std::size_t n = 0;
    if (item.heads == 0 && chomeKnown)
        seq[n++] = chome;
    for (std::size_t k = 0; k < lotCount && n < 8; ++k)
        seq[n++] = lots[k];
    if (!item.lots.empty()) {
        if (verdict.rule == TMatchRule::Town || verdict.rule == TMatchRule::Part)
            verdict.rule = TMatchRule::Lot;
        T3 any = T3::No;
        for (const TPathRange& r : item.lots)
            any = std::max(any, InRange(seq, n, r));
        verdict.Lower(any, TWaitReason::NoLot);
    }
    for (const TPathRange& r : item.except)
        if (InRange(seq, n, r) != T3::No)
            verdict.Lower(T3::Maybe, TWaitReason::NoLot);
    if (item.uncertain)
        verdict.Lower(T3::Maybe, TWaitReason::NoLot);
    return verdict;
}

Verdict EvalNote(const TNote& note, const TAddressParts& p, const TTownGroup& g,
                 std::string_view street, TPartKnown part)
{
    // The condition in the town's name holds whatever part the address names.
    const TNoteItem* base = note.Base();
    if (note.items.size() == note.FirstItem())
        return base ? EvalItem(*base, p, g, street, TPartKnown::NoPart) : Verdict{};
    Verdict best;
    best.v = T3::No;
    for (std::size_t k = note.FirstItem(); k < note.items.size(); ++k) {
        const Verdict v = EvalItem(note.items[k], p, g, street, part);
        if (v.v > best.v || (v.v == best.v && best.why == TWaitReason::None))
            best = v;
        if (best.v == T3::Yes)
            break;
    }
    if (base) {
        const Verdict b = EvalItem(*base, p, g, street, TPartKnown::NoPart);
        if (b.v < best.v || (b.v == T3::Maybe && best.why == TWaitReason::None)) {
            best.v = std::min(best.v, b.v);
            best.why = best.why == TWaitReason::None ? b.why : best.why;
        }
    }
    return best;
}

TMatchRule FallbackRule(TNoteKind kind, bool alone)
{
    if (kind == TNoteKind::NotBuilding)
        return TMatchRule::NotBuilding;
    if (kind == TNoteKind::Other)
        return TMatchRule::Other;
    return alone ? TMatchRule::Town : TMatchRule::Other;
}

} // namespace

struct TPreciseMatcher::Reading {
    struct Candidate {
        std::uint32_t entry;
        Verdict verdict;
    };
    std::vector<Candidate> candidates; // Yes and Maybe only
    bool town = false;                 // a listed town was found (or the city is one code)
    bool onlyDefault = false;          // the candidates are the city's default alone
    bool open = false;                 // codes other than the candidates' may be meant
    std::uint32_t city = 0;
    TWaitReason why = TWaitReason::None;
};

namespace {

std::unique_ptr<TPostCode> OpenReader(const std::string& file)
{
    auto reader = std::make_unique<TPostCode>();
    reader->OpenDictionary(file);
    return reader;
}

} // namespace

TPreciseMatcher::TPreciseMatcher(const std::string& dictionaryFile)
    : dictionary_(OpenReader(dictionaryFile)), index_(*dictionary_)
{
    for (int k = 0; k < kKenCount; ++k)
        kenNames_.push_back(Canonical(KenNames[k]));
}

std::string TPreciseMatcher::CodeText(std::uint32_t code)
{
    std::string digits(7, '0');
    for (int i = 6; i >= 0; --i) {
        digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + code % 10);
        code /= 10;
    }
    return digits;
}

std::string TPreciseAnswer::CodeText() const
{
    return TPreciseMatcher::CodeText(code);
}

bool TPreciseMatcher::IsAddressOf(std::string_view sjisAddress, char ken, std::string_view city,
                                  std::string_view town, std::string_view street)
{
    TCanonicalText text;
    Canonicalize(sjisAddress, text);
    std::string_view s = text.text;
    std::size_t at = 0;
    const int kenIndex = static_cast<unsigned char>(ken) - kFirstKenChar;
    if (kenIndex < 0 || kenIndex >= kKenCount)
        return false;
    const std::string kenName = Canonical(KenNames[kenIndex]);
    if (s.starts_with(kenName)) {
        at = kenName.size();
    } else {
        for (int k = 0; k < kKenCount; ++k)
            if (s.starts_with(Canonical(KenNames[k])))
                return false; // another prefecture written
    }
    // The city, with its 郡 or without.
    const std::string cityName = Canonical(city);
    std::string bare;
    if (const std::size_t gun = cityName.find(Canonical(Sjis("郡")));
        gun != std::string::npos && gun > 0)
        bare = cityName.substr(gun + 2);
    if (StartsWithAt(s, at, cityName))
        at += cityName.size();
    else if (!bare.empty() && StartsWithAt(s, at, bare))
        at += bare.size();
    else
        return false;
    // The town.
    const std::string townName = Canonical(town);
    for (const std::string* aza : {&W().oaza, &W().koaza, &W().aza})
        if (!StartsWithAt(s, at, townName) && StartsWithAt(s, at, *aza) &&
            StartsWithAt(s, at + aza->size(), townName))
            at += aza->size();
    if (!StartsWithAt(s, at, townName))
        return false;
    at += townName.size();
    // The street part's numbers begin the address's.
    TCanonicalText streetText;
    Canonicalize(street, streetText);
    TAddressParts want, have;
    ReadAddressParts(streetText, 0, want);
    ReadAddressParts(text, at, have);
    if (!want.name.empty() && want.name != have.name)
        return false;
    std::int32_t wantSeq[8], haveSeq[8];
    std::size_t wn = 0, hn = 0;
    if (want.Has(THead::Chome))
        wantSeq[wn++] = want.Head(THead::Chome);
    for (std::size_t k = 0; k < want.lots.size() && wn < 8; ++k)
        wantSeq[wn++] = want.lots[k];
    if (have.Has(THead::Chome))
        haveSeq[hn++] = have.Head(THead::Chome);
    for (std::size_t k = 0; k < have.lots.size() && hn < 8; ++k)
        haveSeq[hn++] = have.lots[k];
    if (hn < wn)
        return false;
    return std::equal(wantSeq, wantSeq + wn, haveSeq);
}

bool TPreciseMatcher::NamesOnlyAPrefecture(std::string_view sjisAddress)
{
    // Blanks of either width around the name are no part of it.
    std::string_view s = sjisAddress;
    for (;;) {
        if (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20)
            s.remove_prefix(1);
        else if (s.size() >= 2 && s[0] == '\x81' && s[1] == '\x40')
            s.remove_prefix(2);
        else if (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20)
            s.remove_suffix(1);
        else if (s.size() >= 2 && s[s.size() - 2] == '\x81' && s.back() == '\x40')
            s.remove_suffix(2);
        else
            break;
    }
    return s.size() <= 8 && KenCode(s) >= 0;
}

std::string TPreciseMatcher::CandidateLine(std::uint32_t entry, bool withKen) const
{
    const TTownEntry& e = index_.Entries()[entry];
    std::string text = dictionary_->RecordTextAt(e.record);
    if (text.size() < 9)
        return CodeText(e.code);
    if (e.Joined())
        text = text.substr(0, 9) + index_.JoinedAddress(e);
    return TCodeAddress::ResultLine(text, withKen);
}

namespace {

// The one matcher kept: the file it was made of, and the making (done, or on its thread).
struct KeptMatcher {
    io::FileIdentity identity;
    std::shared_future<std::shared_ptr<const TPreciseMatcher>> made;
};
KeptMatcher kept;

io::FileIdentity IdentityOfFile(const std::string& file)
{
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? io::IdentityOf(st) : io::FileIdentity{};
}

void Keep(const std::string& file, const io::FileIdentity& identity, std::launch how)
{
    kept = {}; // the old matcher's memory goes before the new one is made
    kept.identity = identity;
    kept.made = std::async(how, [file] {
                    return std::shared_ptr<const TPreciseMatcher>(
                        std::make_shared<const TPreciseMatcher>(file));
                }).share();
}

} // namespace

void ForgetPreciseMatchers()
{
    if (kept.made.valid())
        kept.made.wait();
    kept = {};
}

void StartPreciseMatcher(const std::string& dictionaryFile)
{
    const io::FileIdentity identity = IdentityOfFile(dictionaryFile);
    if (identity.size < 0 || (kept.made.valid() && kept.identity == identity))
        return;
    Keep(dictionaryFile, identity, std::launch::async);
}

std::shared_ptr<const TPreciseMatcher> PreciseMatcherFor(const TCodeAddress& dictionary)
{
    if (!dictionary.IsOpen())
        return nullptr;
    const io::FileIdentity identity = dictionary.OpenFileIdentity();
    if (!kept.made.valid() || !(kept.identity == identity))
        Keep(dictionary.OpenFileName(), identity, std::launch::deferred);
    return kept.made.get();
}

// NOLINTNEXTLINE(readability-function-size): one reading, in the order an address is written
void TPreciseMatcher::ReadCity(const TCanonicalText& text, std::size_t at, std::uint32_t cityId,
                               Reading& out) const
{
    const Words& w = W();
    const TCity& city = index_.Cities()[cityId];
    const std::string_view s = text.text;
    out.city = cityId;
    // The town: the longest listed name the rest begins with, 大字 or 字 before it or not; a
    // street description may come first (Kyoto). A town name followed by 通 is a street's.
    std::size_t townAt = at;
    std::int32_t group = index_.LongestTownAt(city, s.substr(at));
    for (const std::string* aza : {&w.oaza, &w.koaza, &w.aza}) {
        if (!StartsWithAt(s, at, *aza))
            continue;
        // 大字 and 小字 are never part of a listed name; 字 may be (字 alone is rare).
        const std::int32_t stripped = index_.LongestTownAt(city, s.substr(at + aza->size()));
        const auto length = [&](std::int32_t g) {
            return g < 0
                       ? 0
                       : static_cast<int>(index_.Groups()[static_cast<std::size_t>(g)].baseLength);
        };
        if (stripped >= 0 &&
            (aza != &w.aza || length(stripped) + static_cast<int>(aza->size()) > length(group))) {
            group = stripped;
            townAt = at + aza->size();
        }
        break;
    }
    // 寺町通今出川上る毘沙門町, 三条通白川橋東４丁目中之町: a street description comes first
    // when a direction (上る, 西入 …), or a 丁目 after a 通, is followed by one of the city's
    // street-described towns; the last such town is the address's.
    bool sawStreet = false;
    for (std::size_t j = at; city.streetTowns && j < s.size() && j < at + 120;
         j += CharLength(s, j)) {
        if (StartsWithAt(s, j, w.streetWords.front()))
            sawStreet = true;
        std::size_t end = j;
        for (const std::string& word : w.directionWords)
            if (end == j && StartsWithAt(s, j, word))
                end = j + word.size();
        if (end != j) {
            for (const std::string& tail : w.directionTails)
                if (StartsWithAt(s, end, tail))
                    end += tail.size();
            ReadNumberedTail(s, end);
        } else if (sawStreet && IsDigit(s[j]) && (j == at || !IsDigit(s[j - 1]))) {
            ReadNumberedTail(s, end);
        }
        if (end == j)
            continue;
        const std::int32_t found = index_.LongestTownAt(city, s.substr(end));
        if (found >= 0 &&
            index_.Groups()[static_cast<std::size_t>(found)].Is(TTownGroup::kNamesStreets)) {
            group = found;
            townAt = end;
        }
    }
    // A town name followed by 通 names a street.
    if (group >= 0 && townAt == at &&
        StartsWithAt(s, townAt + index_.Groups()[static_cast<std::size_t>(group)].baseLength,
                     w.streetWords.front()))
        group = -1;
    const TLazyStreet streetOf{s.substr(at)};

    TAddressParts parts;
    if (group < 0) {
        // No listed town: the city-wide lines, if the city has any.
        ReadAddressParts(text, at, parts);
        const auto first = index_.Groups().begin() + city.firstGroup;
        if (city.groupCount == 0 || first->baseLength != 0) {
            out.why = TWaitReason::NoTown;
            return;
        }
        // Does the address name something that could be one of the city's towns: the start
        // of a listed name, or a listed name inside what it names?
        // (Not the beginning of a listed name: 中新 is not 中新里 cut short, but a place of
        // its own.)
        // A town whose name ends in a kanji numeral (大宇陀万六, 邑久町宗三) run into a 丁目 in
        // kanji (四丁目) reads as another name and digits: it could be that town.
        bool couldBeListed =
            !parts.name.empty() && (index_.TownDiffersByOne(city, parts.name) ||
                                    index_.SomeTownBeginsWithThenNumeral(city, parts.name));
        const std::size_t nameAt = static_cast<std::size_t>(parts.name.data() - s.data());
        for (std::size_t j = 0; !couldBeListed && j < parts.name.size();
             j += CharLength(parts.name, j))
            couldBeListed = index_.LongestTownAt(city, s.substr(nameAt + j)) >= 0;
        const TTownGroup& g = *first;
        bool onlyDefault = true;
        for (std::uint32_t e = g.firstEntry; e < index_.EntryEnd(city.firstGroup); ++e) {
            const TTownEntry& entry = index_.Entries()[e];
            Verdict v;
            switch (entry.Kind()) {
            case TNoteKind::WholeCity:
                v.rule = TMatchRule::WholeCity;
                break;
            case TNoteKind::CityDefault:
                v.rule = TMatchRule::CityDefault;
                if (couldBeListed) {
                    // Perhaps a listed town, written in a way not read: its code is open.
                    v.Lower(T3::Maybe, TWaitReason::NoTown);
                    out.open = true;
                }
                break;
            case TNoteKind::Items:
                v = EvalNote(index_.Notes()[entry.Value()], parts, g, streetOf(),
                             TPartKnown::NoPart);
                v.rule = TMatchRule::CityLots;
                if (!parts.name.empty())
                    v.Lower(T3::Maybe, TWaitReason::NoTown);
                break;
            default:
                v.Lower(T3::Maybe, TWaitReason::Unreadable);
                break;
            }
            if (v.v == T3::No)
                continue;
            if (entry.Kind() != TNoteKind::CityDefault)
                onlyDefault = false;
            out.candidates.push_back({e, v});
        }
        out.town = !onlyDefault;
        out.onlyDefault = onlyDefault && !out.candidates.empty();
        if (out.candidates.empty())
            out.why = TWaitReason::NoSuchLot;
        return;
    }

    // The town, and the shorter listed towns it begins with when they too can be read: when
    // the text after the longer reads as more of a name or names a part it does not list
    // (生野屋西村団地 is 生野屋 and its part 西村団地 when 生野屋西 is listed), or when the
    // rest is one of the shorter town's listed parts (庶路宮下 is also 庶路 and its 宮下). A
    // shorter town the rest fits by a listed part overrides longer ones read only as far as
    // their names went.
    out.town = true;
    bool unsure = false; // the readings so far leave room for a shorter town
    for (bool first = true; group >= 0; first = false) {
        const std::size_t length = index_.Groups()[static_cast<std::size_t>(group)].baseLength;
        Reading one;
        const TTownRead read =
            ReadTown(text, townAt, static_cast<std::uint32_t>(group), streetOf, one);
        const bool fits = std::any_of(
            one.candidates.begin(), one.candidates.end(), [](const Reading::Candidate& c) {
                return c.verdict.v == T3::Yes && c.verdict.rule == TMatchRule::Part;
            });
        if (first || unsure || fits) {
            if (fits && out.open) {
                out.candidates.clear();
                out.open = false;
            }
            out.candidates.insert(out.candidates.end(), one.candidates.begin(),
                                  one.candidates.end());
            out.open = out.open || one.open;
            if (out.why == TWaitReason::None)
                out.why = one.why;
            unsure = read.trailing || read.unlistedPart;
        }
        if (length <= 2)
            break;
        group = index_.LongestTownAt(city, s.substr(townAt, length - 2));
        if (group >= 0 && !unsure &&
            !index_.Groups()[static_cast<std::size_t>(group)].Is(TTownGroup::kNamesParts))
            break;
    }
    if (out.candidates.empty() && out.why == TWaitReason::None)
        out.why = TWaitReason::NoSuchLot;
}

// NOLINTNEXTLINE(readability-function-size): one reading, in the order an address is written
TPreciseMatcher::TTownRead TPreciseMatcher::ReadTown(const TCanonicalText& text, std::size_t townAt,
                                                     std::uint32_t groupIndex,
                                                     const TLazyStreet& streetOf,
                                                     Reading& out) const
{
    std::int32_t group = static_cast<std::int32_t>(groupIndex);
    TAddressParts parts;
    // A building's own name read as the town: its town is the one it stands in.
    const TTownGroup* town = &index_.Groups()[static_cast<std::size_t>(group)];
    if (const TBuildingLink* link = index_.Building(*town); link && link->parent >= 0) {
        group = link->parent;
        town = &index_.Groups()[static_cast<std::size_t>(group)];
    }
    const TBuildingLink* held = index_.Building(*town);
    const std::uint32_t firstChild = held ? held->firstChild : 0;
    const std::uint32_t childCount = held && held->parent < 0 ? held->childCount : 0;
    const std::size_t afterTown = townAt + town->baseLength;
    ReadAddressParts(text, afterTown, parts, town->Is(TTownGroup::kNamesParts));

    // The listed building the address names, the longest if several, and its floor.
    std::int32_t building = -1;
    std::size_t buildingLength = 0;
    int floor = 0;
    bool buildingFirst = false;
    for (std::uint32_t k = firstChild; k < firstChild + childCount; ++k) {
        const TTownGroup& b = index_.Groups()[index_.Children()[k]];
        const std::string_view name = index_.Base(b).substr(index_.Building(b)->nameOffset);
        const std::size_t where = parts.all.find(name);
        if (name.empty() || where == std::string_view::npos || name.size() <= buildingLength)
            continue;
        building = static_cast<std::int32_t>(index_.Children()[k]);
        buildingLength = name.size();
        floor = FloorAfter(parts.all.substr(where + name.size()));
        buildingFirst = where == 0;
    }
    // The part the address names, against the parts the town's lines list.
    TPartKnown part = TPartKnown::NoPart;
    if (!parts.name.empty() && town->Is(TTownGroup::kNamesParts)) {
        part = TPartKnown::Unlisted;
        const std::uint32_t end = index_.EntryEnd(static_cast<std::uint32_t>(group));
        for (std::uint32_t e = town->firstEntry; e < end && part != TPartKnown::Listed; ++e) {
            if (index_.Entries()[e].Kind() != TNoteKind::Items)
                continue;
            for (const TNoteItem& item : index_.Notes()[index_.Entries()[e].Value()].items)
                if (!item.name.empty() && parts.name == item.name)
                    part = TPartKnown::Listed;
        }
    }
    // Text right after the town that no line of it can read may be another, unlisted town.
    const bool trailing = parts.nameLeads && !text.SpaceAt(afterTown) && !parts.nameAfterAza &&
                          !town->Is(TTownGroup::kNamesParts) &&
                          !town->Is(TTownGroup::kNamesStreets) && !buildingFirst;

    struct Eval {
        std::uint32_t entry;
        Verdict verdict;
        bool fallback;
    };
    static thread_local std::vector<Eval> evals;
    evals.clear();
    T3 strongest = T3::No; // over the lines that are not fallbacks
    TWaitReason strongestWhy = TWaitReason::None;
    bool anyConditioned = false;
    auto consider = [&](std::uint32_t e, const TTownGroup& g, bool inBuilding) {
        const TTownEntry& entry = index_.Entries()[e];
        Verdict v;
        bool fallback = false;
        switch (entry.Kind()) {
        case TNoteKind::Plain:
        case TNoteKind::Other:
        case TNoteKind::NotBuilding:
            fallback = true;
            if (entry.Kind() == TNoteKind::NotBuilding && building >= 0)
                v.Lower(T3::No, TWaitReason::None);
            if (entry.Kind() != TNoteKind::Plain && entry.Value() != 0) {
                const Verdict base = EvalItem(*index_.Notes()[entry.Value() - 1].Base(), parts, g,
                                              streetOf(), TPartKnown::NoPart);
                v.Lower(base.v, base.why);
            }
            break;
        case TNoteKind::Items:
            v = EvalNote(index_.Notes()[entry.Value()], parts, g, streetOf(), part);
            break;
        case TNoteKind::Floor:
        case TNoteKind::UnknownFloor: {
            const bool here =
                inBuilding ? building == static_cast<std::int32_t>(&g - index_.Groups().data())
                           : true;
            const int f = inBuilding ? floor : FloorAfter(parts.all);
            v.rule =
                entry.Kind() == TNoteKind::Floor ? TMatchRule::Floor : TMatchRule::UnknownFloor;
            const bool fits =
                entry.Kind() == TNoteKind::Floor ? f == static_cast<int>(entry.Value()) : f <= 0;
            if (!here || !fits)
                v.Lower(T3::No, TWaitReason::NoSuchFloor);
            break;
        }
        default:
            v.Lower(T3::Maybe, TWaitReason::Unreadable);
            break;
        }
        if (trailing && v.v == T3::Yes) {
            v.Lower(T3::Maybe, TWaitReason::AfterTown);
            out.open = true; // perhaps a town not listed
        }
        if (!fallback) {
            anyConditioned = true;
            if (v.v > strongest || (v.v == strongest && strongestWhy == TWaitReason::None))
                strongestWhy = v.why;
            strongest = std::max(strongest, v.v);
        }
        evals.push_back({e, v, fallback});
    };
    for (std::uint32_t e = town->firstEntry; e < index_.EntryEnd(static_cast<std::uint32_t>(group));
         ++e)
        consider(e, *town, false);
    // Only the building the address names has lines that can cover it.
    if (building >= 0) {
        const auto b = static_cast<std::uint32_t>(building);
        for (std::uint32_t e = index_.Groups()[b].firstEntry; e < index_.EntryEnd(b); ++e)
            consider(e, index_.Groups()[b], true);
    }
    // A street description written exactly settles the town among its namesakes; a line
    // that the address fits by what it writes (丁目, 区, 地割, a part) outweighs lines that
    // it fits only by leaving their part unwritten.
    bool streetSettled = false, positive = false;
    for (const Eval& ev : evals) {
        if (ev.verdict.v == T3::Yes && ev.verdict.rule == TMatchRule::Street)
            streetSettled = true;
        if (ev.verdict.v == T3::Yes && !ev.fallback && ev.verdict.rule != TMatchRule::Town)
            positive = true;
    }
    // A listed building the address names decides by its own lines.
    bool buildingDecides = false;
    for (const Eval& ev : evals)
        if (ev.verdict.v == T3::Yes &&
            (ev.verdict.rule == TMatchRule::Floor || ev.verdict.rule == TMatchRule::UnknownFloor))
            buildingDecides = true;
    if (positive) {
        strongest = T3::No;
        for (Eval& ev : evals) {
            const TNoteKind kind = index_.Entries()[ev.entry].Kind();
            const bool buildingLine = kind == TNoteKind::Floor || kind == TNoteKind::UnknownFloor;
            if (!ev.fallback && ev.verdict.v == T3::Maybe &&
                (ev.verdict.why == TWaitReason::NoPart || (buildingDecides && !buildingLine)))
                ev.verdict.v = T3::No;
            if (!ev.fallback)
                strongest = std::max(strongest, ev.verdict.v);
        }
    }
    const std::size_t plainCount =
        static_cast<std::size_t>(std::count_if(evals.begin(), evals.end(), [&](const Eval& ev) {
            return index_.Entries()[ev.entry].Kind() == TNoteKind::Plain && ev.fallback;
        }));
    for (Eval& ev : evals) {
        if (streetSettled && ev.verdict.v == T3::Maybe && ev.verdict.why == TWaitReason::NoStreet)
            ev.verdict.v = T3::No;
        if (!ev.fallback || ev.verdict.v == T3::No)
            continue;
        const TNoteKind kind = index_.Entries()[ev.entry].Kind();
        ev.verdict.rule = FallbackRule(kind, !anyConditioned && plainCount + 1 >= evals.size());
        if (strongest == T3::Yes)
            ev.verdict.v = T3::No;
        else if (strongest == T3::Maybe)
            ev.verdict.Lower(T3::Maybe, strongestWhy);
        if (trailing && ev.verdict.v == T3::Yes) {
            ev.verdict.Lower(T3::Maybe, TWaitReason::AfterTown);
            out.open = true;
        }
    }
    bool any = false;
    for (const Eval& ev : evals) {
        if (ev.verdict.v == T3::No)
            continue;
        out.candidates.push_back({ev.entry, ev.verdict});
        any = true;
    }
    if (!any && building >= 0 && out.why == TWaitReason::None)
        out.why = TWaitReason::NoSuchFloor;
    return {trailing, part == TPartKnown::Unlisted};
}

void TPreciseMatcher::Match(std::string_view sjisAddress, std::string_view present,
                            TPreciseAnswer& out) const
{
    out = {};
    TCanonicalText text;
    Canonicalize(sjisAddress, text);
    const std::string_view s = text.text;
    // A postal code written before the address (〒100-0004 東京都…) is no part of it.
    std::size_t at = 0;
    {
        std::size_t i = StartsWithAt(s, 0, W().postalMark) ? W().postalMark.size() : 0;
        std::size_t digits = 0;
        for (; i < s.size() && (IsDigit(s[i]) || (s[i] == '-' && digits == 3)); ++i)
            digits += IsDigit(s[i]) ? 1 : 0;
        if (digits == 7)
            at = i;
    }
    // A prefecture written limits the answer to it.
    int ken = -1;
    for (int k = 0; k < kKenCount && s.size() >= 2; ++k) {
        const std::string& name = kenNames_[static_cast<std::size_t>(k)];
        if (s.size() >= at + 2 && name[0] == s[at] && name[1] == s[at + 1] &&
            StartsWithAt(s, at, name)) {
            ken = k;
            at += kenNames_[static_cast<std::size_t>(k)].size();
            break;
        }
    }
    // Cities: for each prefecture the longest name (with or without 郡) the rest begins with.
    struct CityAt {
        std::uint32_t city;
        std::size_t end;
    };
    static thread_local std::vector<CityAt> cities;
    cities.clear();
    const Words& w = W();
    for (std::size_t j = at; j < s.size() && j < at + 64;) {
        const std::size_t n = CharLength(s, j);
        j += n;
        if (n != 2)
            continue;
        const auto code = static_cast<std::uint16_t>((static_cast<unsigned char>(s[j - 2]) << 8) |
                                                     static_cast<unsigned char>(s[j - 1]));
        if (std::find(w.cityEndCodes.begin(), w.cityEndCodes.end(), code) == w.cityEndCodes.end())
            continue;
        const std::vector<std::uint32_t>* named = index_.CitiesNamed(s.substr(at, j - at));
        if (!named)
            continue;
        for (std::uint32_t c : *named) {
            const char cityKen = index_.Cities()[c].ken;
            if (ken >= 0 && cityKen != static_cast<char>(kFirstKenChar + ken))
                continue;
            auto same = std::find_if(cities.begin(), cities.end(), [&](const CityAt& x) {
                return index_.Cities()[x.city].ken == cityKen;
            });
            if (same == cities.end())
                cities.push_back({c, j});
            else if (j > same->end)
                *same = {c, j};
        }
    }
    if (cities.empty()) {
        out.reason = TWaitReason::NoCity;
        return;
    }
    static thread_local std::vector<Reading> readings;
    readings.resize(cities.size());
    for (Reading& r : readings) {
        r.candidates.clear();
        r.town = r.onlyDefault = r.open = false;
        r.why = TWaitReason::None;
    }
    bool anyTown = false;
    for (std::size_t k = 0; k < cities.size(); ++k) {
        ReadCity(text, cities[k].end, cities[k].city, readings[k]);
        anyTown = anyTown || (readings[k].town && !readings[k].candidates.empty());
    }
    // Gather what every reading leaves, best first.
    static thread_local std::vector<std::uint32_t> sure, unsure, codes, citiesWithTown;
    sure.clear();
    unsure.clear();
    codes.clear();
    citiesWithTown.clear();
    TWaitReason why = TWaitReason::None;
    TMatchRule rule = TMatchRule::OneCode;
    bool haveRule = false;
    bool open = false;
    for (const Reading& r : readings) {
        if (anyTown && r.onlyDefault)
            continue;
        open = open || r.open;
        if (why == TWaitReason::None)
            why = r.why;
        if (!r.candidates.empty() && r.town)
            citiesWithTown.push_back(r.city);
        for (const Reading::Candidate& c : r.candidates) {
            const std::uint32_t code = index_.Entries()[c.entry].code;
            if (std::find(codes.begin(), codes.end(), code) == codes.end())
                codes.push_back(code);
            (c.verdict.v == T3::Yes ? sure : unsure).push_back(c.entry);
            if (c.verdict.v == T3::Maybe && why == TWaitReason::None)
                why = c.verdict.why;
            if (c.verdict.v == T3::Yes && !haveRule) {
                rule = c.verdict.rule;
                haveRule = true;
            }
        }
    }
    out.candidates = sure;
    out.candidates.insert(out.candidates.end(), unsure.begin(), unsure.end());
    if (codes.size() == 1 && !open) {
        out.decided = true;
        out.code = codes[0];
        out.rule = rule;
        if (unsure.empty() && sure.size() > 1) {
            // several lines, one code: the first one's rule stands
        }
        return;
    }
    if (codes.empty()) {
        out.reason = why == TWaitReason::None ? TWaitReason::NoTown : why;
        return;
    }
    std::sort(citiesWithTown.begin(), citiesWithTown.end());
    citiesWithTown.erase(std::unique(citiesWithTown.begin(), citiesWithTown.end()),
                         citiesWithTown.end());
    if (citiesWithTown.size() > 1)
        why = TWaitReason::TwoCities;
    else if (unsure.empty() && sure.size() > 1 && !open)
        why = TWaitReason::TwiceInCity;
    out.reason = why == TWaitReason::None ? TWaitReason::TwiceInCity : why;
    // The code the record holds, when it is one of those left, decides.
    if (present.size() == 7) {
        const std::uint32_t held = [&] {
            std::uint32_t v = 0;
            for (char c : present)
                v = v * 10 + static_cast<std::uint32_t>(c - '0');
            return v;
        }();
        if (std::find(codes.begin(), codes.end(), held) != codes.end()) {
            out.decided = true;
            out.code = held;
            out.rule = TMatchRule::PresentCode;
            out.reason = TWaitReason::None;
            std::stable_partition(
                out.candidates.begin(), out.candidates.end(),
                [&](std::uint32_t e) { return index_.Entries()[e].code == held; });
        }
    }
}

} // namespace kompa::match
