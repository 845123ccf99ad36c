#include "canonical.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "engine/text/cp932.h"

namespace kompa::match {

namespace {

using Code = std::uint16_t; // a double-byte character, lead byte high; below 0x100 one byte

// Forms that people and the data use for one character: the first of each group is kept.
constexpr const char* kVariantGroups[] = {
    "ケヶがガヵ",
    "のノ之",
    "ツッ",
    "高髙",
    "崎﨑嵜碕",
    "辺邊邉",
    "斉齋齊斎",
    "浜濱濵",
    "沢澤",
    "桜櫻",
    "桧檜",
    "島嶋嶌",
    "富冨",
    "広廣",
    "国國",
    "徳德",
    "竜龍",
    "滝瀧",
    "曽曾",
    "槙槇",
    "万萬",
    "恵惠",
    "寿壽",
    "鉄鐵",
    "真眞",
    "渕淵",
    "峰峯",
    "館舘",
    "条條",
    "県縣",
    "鴎鷗",
    "薮藪籔",
    "篭籠",
    "円圓",
    "渋澁",
    "駅驛",
    "村邨",
    "礼禮",
    "増增",
    "静靜",
    "来來",
    "仏佛",
    "台臺",
    "学學",
    "与與",
    "遥遙",
    "黒黑",
    "亀龜",
    "桑桒",
    "祢禰",
    "弥彌",
    "芦蘆",
    "蛍螢",
    "鶯鴬",
    "蛎蠣",
    "船舩",
    "鶴靍",
    "岳嶽",
    "会會",
    "実實",
    "壱壹",
    "参參",
    "郷鄕",
    "厩廐",
    "豊豐",
    "浅淺",
    "梅楳",
    "橋槗",
    "荘莊",
    "蔵藏",
    "随隨",
    "険險",
    "児兒",
    "為爲",
    "昼晝",
    "峨峩",
    "柳栁",
    "巌巖",
    "穂穗",
    "点點",
    "園薗",
    "旧舊",
    "発發",
    "変變",
    "区區",
    "騨驒",
    "余餘",
    "栄榮",
    "鉱鑛",
    "関關",
    "雑雜",
    "稲稻",
    "塩鹽",
    "郎郞",
    "猪豬",
    "閑閒",
    "温溫",
    "姫姬",
    "卯夘",
    "戸戶",
    "鯵鰺",
    // compatibility ideographs that CP932 holds in its extension rows
    "塚\uFA10",
    "神\uFA19",
    "福\uFA1B",
    "都\uFA26",
    "晴\uFA12",
    "隆\uF9DC",
};

constexpr const char kHalfKana[] = "ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝ";
constexpr const char kFullKana[] = "ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテト"
                                   "ナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";
constexpr const char kHalfPunctuation[] = "｡｢｣､･"; // 0xA1..0xA5
constexpr const char kFullPunctuation[] = "。「」、・";

constexpr const char kNumerals[] = "〇一二三四五六七八九";
constexpr const char kMultipliers[] = "十百千";

// Words after which a kanji numeral is a number: 三丁目, 北十条, 二十三番地, 第二地割 ...
constexpr const char* kCounters[] = {"丁", "条", "條", "線", "番", "号", "地割", "区", "階", "組"};

// Dashes people type between numbers.
constexpr const char kDashes[] = "－‐―─";

Code CodeAt(std::string_view s, std::size_t i)
{
    return static_cast<Code>((static_cast<unsigned char>(s[i]) << 8) |
                             static_cast<unsigned char>(s[i + 1]));
}

// The double-byte Shift-JIS character of each character of a UTF-8 text; 0 for one that has
// none (CP932 lacks a few of the variant forms).
std::vector<Code> Codes(std::string_view utf8)
{
    std::vector<Code> codes;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t n = 1;
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b >= 0xF0)
            n = 4;
        else if (b >= 0xE0)
            n = 3;
        else if (b >= 0xC0)
            n = 2;
        std::string sjis;
        const bool ok = cp932::FromUtf8Strict(utf8.substr(i, n), sjis);
        codes.push_back(ok && sjis.size() == 2 ? CodeAt(sjis, 0) : 0);
        i += n;
    }
    return codes;
}

// What a double-byte character asks of the canonical form beyond its mapping.
enum CharKind : std::uint8_t { kPlain, kNumeral, kDash, kSpace, kLongVowel, kStreetRi };

struct Tables {
    std::vector<Code> map = std::vector<Code>(65536); // double-byte → canonical (0: itself)
    std::vector<std::uint8_t> kind = std::vector<std::uint8_t>(65536, kPlain);
    std::array<Code, 64> halfKana{}; // 0xA0..0xDF → full-width
    std::vector<std::int8_t> numeral = std::vector<std::int8_t>(65536, -1); // 0..9, 10, 100, 1000
    std::vector<std::string> counters;
    std::vector<Code> dashes;
    Code longVowel = 0;
    Code dori = 0;
    Code voicedMark = 0, semiVoicedMark = 0;

    Tables()
    {
        for (const char* group : kVariantGroups) {
            const std::vector<Code> codes = Codes(group);
            // A form with no Shift-JIS character comes back as '?': such pairs are dropped.
            for (std::size_t k = 1; k < codes.size(); ++k)
                if (codes[k] != 0 && codes[k] != codes[0])
                    map[codes[k]] = codes[0];
        }
        for (int d = 0; d < 10; ++d)
            map[0x824F + d] = static_cast<Code>('0' + d);
        for (int l = 0; l < 26; ++l) {
            map[0x8260 + l] = static_cast<Code>('A' + l);
            map[0x8281 + l] = static_cast<Code>('A' + l);
        }
        const std::vector<Code> full = Codes(kFullKana);
        const std::string half = cp932::FromUtf8(kHalfKana);
        for (std::size_t k = 0; k < half.size() && k < full.size(); ++k)
            halfKana[static_cast<unsigned char>(half[k]) - 0xA0] = full[k];
        const std::vector<Code> fullPunct = Codes(kFullPunctuation);
        const std::string halfPunct = cp932::FromUtf8(kHalfPunctuation);
        for (std::size_t k = 0; k < halfPunct.size() && k < fullPunct.size(); ++k)
            halfKana[static_cast<unsigned char>(halfPunct[k]) - 0xA0] = fullPunct[k];
        const std::vector<Code> numerals = Codes(kNumerals);
        for (std::size_t d = 0; d < numerals.size(); ++d)
            numeral[numerals[d]] = static_cast<std::int8_t>(d);
        const std::vector<Code> multipliers = Codes(kMultipliers);
        numeral[multipliers[0]] = 10;
        numeral[multipliers[1]] = 100;
        numeral[multipliers[2]] = -2; // 千: marked apart, since int8 cannot hold 1000
        for (const char* counter : kCounters)
            counters.push_back(Sjis(counter));
        dashes = Codes(kDashes);
        longVowel = Codes("ー")[0];
        voicedMark = static_cast<Code>(static_cast<unsigned char>(Sjis("ﾞ")[0]));
        semiVoicedMark = static_cast<Code>(static_cast<unsigned char>(Sjis("ﾟ")[0]));
        for (std::size_t c = 0; c < map.size(); ++c)
            if (map[c] == 0)
                map[c] = static_cast<Code>(c);
        for (std::size_t c = 0; c < numeral.size(); ++c)
            if (numeral[c] != -1)
                kind[c] = kNumeral;
        for (Code d : dashes)
            kind[d] = kDash;
        kind[0x8140] = kSpace;
        kind[longVowel] = kLongVowel;
        kind[Codes("り")[0]] = kStreetRi;
        dori = Codes("通")[0];
    }

    bool IsNumeral(Code c) const { return numeral[c] != -1; }
    bool IsDash(Code c) const { return kind[c] == kDash; }
};

const Tables& GetTables()
{
    static const Tables tables;
    return tables;
}

// Builds the canonical text in a fixed buffer; run for every address of a book.
class Writer {
public:
    explicit Writer(TCanonicalText& out) : out_(out) { out_.spaceBefore.reset(); }
    void Space() { space_ = true; }
    bool Full() const { return n_ >= kMaxCanonical; }
    void Put(Code c)
    {
        Mark();
        if (c >= 0x100)
            buffer_[n_++] = static_cast<char>(c >> 8);
        buffer_[n_++] = static_cast<char>(c & 0xFF);
    }
    void PutNumber(long value)
    {
        Mark();
        char digits[24];
        int k = 0;
        do {
            digits[k++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value > 0 && k < 20);
        while (k > 0 && n_ < kMaxCanonical + 1)
            buffer_[n_++] = digits[--k];
    }
    // Overlong input: whatever went past the limit is dropped.
    void Finish()
    {
        n_ = std::min(n_, kMaxCanonical);
        if (space_)
            out_.spaceBefore[n_] = true;
        out_.text.assign(buffer_, n_);
    }
    char Last() const { return n_ == 0 ? '\0' : buffer_[n_ - 1]; }
    bool EndsWith(Code c) const
    {
        return n_ >= 2 && static_cast<unsigned char>(buffer_[n_ - 2]) == (c >> 8) &&
               static_cast<unsigned char>(buffer_[n_ - 1]) == (c & 0xFF);
    }

private:
    void Mark()
    {
        if (space_) {
            out_.spaceBefore[std::min(n_, kMaxCanonical)] = true;
            space_ = false;
        }
    }

    TCanonicalText& out_;
    char buffer_[kMaxCanonical + 2];
    std::size_t n_ = 0;
    bool space_ = false;
};

// Whether a number could follow at s[i]: digits of either width, a kanji numeral, a dash.
bool NumberAt(const Tables& t, std::string_view s, std::size_t i)
{
    if (i >= s.size())
        return false;
    const auto b = static_cast<unsigned char>(s[i]);
    if (IsDigit(s[i]) || b == '-')
        return true;
    if (i + 1 >= s.size())
        return false;
    const Code c = CodeAt(s, i);
    return (c >= 0x824F && c <= 0x8258) || t.IsNumeral(c) || t.IsDash(c);
}

// A counter, or a dash before more numbers (三-四-五). Not a digit: 政和第三488 and 助七1-16
// are names followed by a lot.
bool CounterAt(const Tables& t, std::string_view s, std::size_t i)
{
    for (const std::string& counter : t.counters)
        if (StartsWithAt(s, i, counter))
            return true;
    if (i >= s.size())
        return false;
    if (s[i] == '-')
        return true;
    return i + 1 < s.size() && t.IsDash(CodeAt(s, i));
}

} // namespace

std::string_view CleanUtf8(std::string_view text, std::string& scratch)
{
    // Only bytes of three- and four-byte sequences can begin what is cleaned.
    if (std::none_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0xC2; }))
        return text;
    scratch.clear();
    bool changed = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (i + n > text.size()) {
            scratch.append(text.substr(i));
            break;
        }
        std::uint32_t cp = n == 1 ? b : b & (0xFF >> (n + 1));
        for (std::size_t k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        const char* to = nullptr;
        if ((cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xE0100 && cp <= 0xE01EF) ||
            (cp >= 0x200B && cp <= 0x200D) || cp == 0x2060 || cp == 0xFEFF)
            to = "";
        else if ((cp >= 0x2010 && cp <= 0x2015) || cp == 0x2043 || cp == 0x2212 || cp == 0xFE58 ||
                 cp == 0xFE63)
            to = "-";
        else if (cp == 0x00A0 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x202F || cp == 0x205F)
            to = " ";
        else if (cp == 0x20BB7)
            to = "吉";
        else if (cp == 0x9AD9 || cp == 0xFA11)
            to = nullptr; // 髙 and 﨑 are in CP932: kept as written
        if (to) {
            scratch += to;
            changed = true;
        } else {
            scratch.append(text.substr(i, n));
        }
        i += n;
    }
    return changed ? std::string_view(scratch) : text;
}

std::string Sjis(std::string_view utf8)
{
    return cp932::FromUtf8(utf8);
}

long KanjiNumberValue(std::string_view s)
{
    const Tables& t = GetTables();
    if (s.empty() || s.size() % 2 != 0)
        return -1;
    long total = 0, digit = -1, positional = 0;
    bool multiplied = false;
    for (std::size_t i = 0; i < s.size(); i += 2) {
        const Code c = CodeAt(s, i);
        const int v = t.numeral[c]; // NOLINT(bugprone-signed-char-misuse): small signed codes
        if (v == -1)
            return -1;
        if (v >= 0 && v <= 9) {
            digit = v;
            positional = positional * 10 + v;
            continue;
        }
        const long factor = v == 10 ? 10 : v == 100 ? 100 : 1000;
        total += (digit < 0 ? 1 : digit) * factor;
        digit = -1;
        multiplied = true;
    }
    return multiplied ? total + (digit < 0 ? 0 : digit) : positional;
}

void Canonicalize(std::string_view s, TCanonicalText& out)
{
    const Tables& t = GetTables();
    Writer w(out);
    std::size_t i = 0;
    while (i < s.size() && !w.Full()) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b <= 0x20 || b == 0x7F) {
            w.Space();
            ++i;
            continue;
        }
        if (IsSjisLeadByte(b) && i + 1 < s.size()) {
            const Code c = CodeAt(s, i);
            const std::uint8_t kind = t.kind[c];
            if (kind == kPlain) {
                w.Put(t.map[c]);
                i += 2;
                continue;
            }
            if (kind == kStreetRi) { // 中央通り is written 中央通 too: the り is dropped
                if (!w.EndsWith(t.dori))
                    w.Put(c);
                i += 2;
                continue;
            }
            if (kind == kSpace) { // full-width space
                w.Space();
                i += 2;
                continue;
            }
            if (kind == kNumeral) {
                std::size_t end = i;
                while (end + 1 < s.size() && t.IsNumeral(CodeAt(s, end)))
                    end += 2;
                const long value =
                    CounterAt(t, s, end) ? KanjiNumberValue(s.substr(i, end - i)) : -1;
                if (value >= 0) {
                    w.PutNumber(value);
                } else {
                    for (std::size_t k = i; k < end; k += 2)
                        w.Put(CodeAt(s, k));
                }
                i = end;
                continue;
            }
            if (kind == kDash || (IsDigit(w.Last()) && NumberAt(t, s, i + 2))) {
                w.Put('-');
                i += 2;
                continue;
            }
            w.Put(c); // the long vowel mark
            i += 2;
            continue;
        }
        if (b >= 0xA1 && b <= 0xDF) {
            Code full = t.halfKana[b - 0xA0];
            if (full == 0) { // the voicing marks on their own
                ++i;
                continue;
            }
            const Code next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
            if (next == t.voicedMark || next == t.semiVoicedMark) {
                // カ..ト and ハ..ホ take the voiced form one code up, the half-voiced two up;
                // ウ becomes ヴ.
                const Code voiced = full == 0x8345
                                        ? 0x8394
                                        : static_cast<Code>(full + (next == t.voicedMark ? 1 : 2));
                const bool voiceable = (full >= 0x834A && full <= 0x8367 && next == t.voicedMark) ||
                                       (full >= 0x836E && full <= 0x837A) || full == 0x8345;
                if (voiceable) {
                    full = voiced;
                    ++i;
                }
            }
            w.Put(t.map[full]);
            ++i;
            continue;
        }
        if (b >= 'a' && b <= 'z')
            w.Put(static_cast<Code>(b - 'a' + 'A'));
        else if (b == '(')
            w.Put(0x8169);
        else if (b == ')')
            w.Put(0x816A);
        else
            w.Put(b);
        ++i;
    }
    w.Finish();
}

std::string Canonical(std::string_view sjis)
{
    TCanonicalText text;
    Canonicalize(sjis, text);
    return text.text;
}

} // namespace kompa::match
