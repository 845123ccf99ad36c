#include "address_parts.h"

namespace kompa::match {

namespace {

struct Words {
    static std::string C(const char* utf8) { return Canonical(Sjis(utf8)); }
    std::string oaza = C("大字"), koaza = C("小字"), aza = C("字"), dai = C("第");
    std::string chome = C("丁目"), cho = C("丁"), jiwari = C("地割"), sen = C("線");
    std::string jo = C("条"), ku = C("区"), kumi = C("組"), go = C("号"), banchi = C("番地");
    std::string ban = C("番"), no = C("の"), floor = C("階"), chika = C("地下"), chikai = C("地階");
    std::string room = C("号室");
    std::vector<std::string> buildingWords = {
        C("ビル"),   C("マンション"), C("ハイツ"),   C("コーポ"), C("荘"),
        C("ハウス"), C("レジデンス"), C("アパート"), C("タワー"), C("パレス"),
        C("メゾン"), C("コート"),     C("ヒルズ"),   C("ハイム")};
};

const Words& W()
{
    static const Words words;
    return words;
}

std::int32_t ReadNumber(std::string_view s, std::size_t& i)
{
    std::int64_t v = 0;
    while (i < s.size() && IsDigit(s[i])) {
        v = std::min<std::int64_t>(v * 10 + (s[i] - '0'), 1'000'000'000);
        ++i;
    }
    return static_cast<std::int32_t>(v);
}

bool EatWord(std::string_view s, std::size_t& i, std::string_view word)
{
    if (!StartsWithAt(s, i, word))
        return false;
    i += word.size();
    return true;
}

// 丁 alone as 丁目 (２丁), but not in a name (五丁歩).
bool ChoAt(std::string_view s, std::size_t& i)
{
    if (!StartsWithAt(s, i, W().cho))
        return false;
    const std::size_t next = i + W().cho.size();
    if (next < s.size() && CharLength(s, next) == 2 && static_cast<unsigned char>(s[next]) >= 0x88)
        return false;
    i = next;
    return true;
}

} // namespace

bool LooksLikeBuilding(std::string_view name, bool townListsParts)
{
    for (std::size_t i = 0; i < name.size(); i += CharLength(name, i)) {
        for (const std::string& word : W().buildingWords)
            if (StartsWithAt(name, i, word))
                return true;
        const auto b = static_cast<unsigned char>(name[i]);
        if (!townListsParts && (b == 0x83 || (b >= 'A' && b <= 'Z')))
            return true;
    }
    return false;
}

bool NumberStartsAt(std::string_view s, std::size_t i)
{
    if (i < s.size() && IsDigit(s[i]))
        return true;
    return StartsWithAt(s, i, W().dai) && i + W().dai.size() < s.size() &&
           IsDigit(s[i + W().dai.size()]);
}

void ReadAddressParts(const TCanonicalText& text, std::size_t start, TAddressParts& parts,
                      bool townListsParts)
{
    const Words& w = W();
    const std::string_view s = text.text;
    parts = {};
    parts.all = s.substr(start);
    std::size_t i = start;
    if (EatWord(s, i, w.oaza) || EatWord(s, i, w.koaza) || EatWord(s, i, w.aza))
        parts.nameAfterAza = true;
    // The name runs to the first number, space or dash.
    const std::size_t nameStart = i;
    while (i < s.size() && !NumberStartsAt(s, i) && s[i] != '-' &&
           (i == nameStart || !text.SpaceAt(i)))
        i += CharLength(s, i);
    parts.name = s.substr(nameStart, i - nameStart);
    parts.nameLeads = !parts.name.empty();
    // A building's name (katakana, Latin letters, 荘): what follows is its room, not a lot.
    if (LooksLikeBuilding(parts.name, townListsParts)) {
        parts.after = s.substr(nameStart);
        parts.name = {};
        parts.nameLeads = false;
        return;
    }
    if (!parts.name.empty() && text.SpaceAt(i) && !NumberStartsAt(s, i)) {
        parts.after = s.substr(i);
        return;
    }
    // A 字 after the name: 大字中新里字北原 leaves the town for the 小字.
    bool inLots = false;
    while (i < s.size()) {
        if (i > nameStart && text.SpaceAt(i) && (inLots || parts.heads))
            break;
        const std::size_t numberStart = i;
        // A part named after the numbered parts: 杉名畑第44地割当楽188.
        if (!inLots && parts.heads && parts.name.empty() && i < s.size() && !IsDigit(s[i]) &&
            !NumberStartsAt(s, i) && s[i] != '-') {
            std::size_t end = i;
            if (EatWord(s, end, w.aza))
                i = end;
            const std::size_t partStart = i;
            while (end < s.size() && !NumberStartsAt(s, end) && s[end] != '-' && !text.SpaceAt(end))
                end += CharLength(s, end);
            if (end < s.size() && NumberStartsAt(s, end) && end > partStart) {
                parts.name = s.substr(partStart, end - partStart);
                i = end;
            } else {
                i = numberStart;
                break;
            }
        }
        const bool dai = EatWord(s, i, w.dai);
        if (i >= s.size() || !IsDigit(s[i])) {
            i = numberStart;
            break;
        }
        const std::int32_t n = ReadNumber(s, i);
        auto setHead = [&](THead h) {
            parts.heads |= static_cast<std::uint8_t>(1u << static_cast<int>(h));
            parts.head[static_cast<int>(h)] = n;
        };
        if (!inLots) {
            if (EatWord(s, i, w.chome) || ChoAt(s, i)) {
                setHead(THead::Chome);
                continue;
            }
            if (EatWord(s, i, w.jiwari)) {
                setHead(THead::Jiwari);
                continue;
            }
            if (EatWord(s, i, w.sen)) {
                setHead(THead::Sen);
                continue;
            }
            if (EatWord(s, i, w.jo)) {
                setHead(THead::Jo);
                continue;
            }
            if (EatWord(s, i, w.ku)) {
                setHead(THead::Ku);
                continue;
            }
            if (EatWord(s, i, w.kumi)) {
                setHead(THead::Kumi);
                continue;
            }
            if (dai && EatWord(s, i, w.go)) {
                setHead(THead::Go);
                continue;
            }
        }
        if (StartsWithAt(s, i, w.room) || StartsWithAt(s, i, w.floor) ||
            (i < s.size() && s[i] == 'F')) {
            i = numberStart; // a room or a floor, not a lot
            break;
        }
        if (parts.lots.size() < 6)
            parts.lots.push_back(n);
        const bool first = !inLots;
        inLots = true;
        if (EatWord(s, i, w.banchi) || EatWord(s, i, w.ban)) {
            if (first)
                parts.lotSaysBanchi = true;
            if (i < s.size() && (s[i] == '-' || StartsWithAt(s, i, w.no)) && i + 1 < s.size())
                i += s[i] == '-' ? 1 : w.no.size();
            if (i < s.size() && IsDigit(s[i]) && !text.SpaceAt(i))
                continue;
            break;
        }
        if (EatWord(s, i, w.go))
            break;
        if (i < s.size() && !text.SpaceAt(i) && (s[i] == '-' || StartsWithAt(s, i, w.no))) {
            const std::size_t next = i + (s[i] == '-' ? 1 : w.no.size());
            if (next < s.size() && IsDigit(s[next]) && !text.SpaceAt(next)) {
                i = next;
                continue;
            }
        }
        break;
    }
    parts.after = s.substr(i);
}

int FloorAfter(std::string_view s)
{
    const Words& w = W();
    // The first floor written after the name: 5階, 5F, 地下1階, B1F, 地階; the building's lot
    // number or a part of it (高層棟) may stand between.
    for (std::size_t i = 0; i < s.size();) {
        if (StartsWithAt(s, i, w.chikai))
            return -1;
        const bool below = StartsWithAt(s, i, w.chika) || s[i] == 'B';
        std::size_t j = i + (StartsWithAt(s, i, w.chika) ? w.chika.size() : s[i] == 'B' ? 1 : 0);
        if (j < s.size() && IsDigit(s[j]) && (j == 0 || !IsDigit(s[j - 1]) || below)) {
            const std::int32_t n = ReadNumber(s, j);
            if (StartsWithAt(s, j, w.floor) || (j < s.size() && s[j] == 'F'))
                return below ? -1 : std::max(1, n);
            i = j;
            continue;
        }
        // Another name (katakana, Latin letters) is another building's: its floor is not ours.
        const auto lead = static_cast<unsigned char>(s[i]);
        if ((lead >= 'A' && lead <= 'Z' && !below) ||
            (lead == 0x83 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) <= 0x96))
            return 0;
        // Past this character; a number that was no floor is passed whole above.
        i += std::max<std::size_t>(1, below ? j - i : CharLength(s, i));
        while (i < s.size() && IsDigit(s[i]) && i > 0 && IsDigit(s[i - 1]))
            ++i;
    }
    return 0;
}

} // namespace kompa::match
