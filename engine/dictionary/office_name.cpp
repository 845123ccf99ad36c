#include "office_name.h"

#include <array>
#include <cstdint>

#include "engine/text/sjis.h"

namespace kompa {
namespace {

// Full-width forms of ASCII signs in the 0x81 row, and their ASCII characters.
struct WideSign {
    unsigned char trail;
    char ascii;
};
constexpr WideSign kWideSigns[] = {
    {0x43, ','}, {0x44, '.'}, {0x46, ':'}, {0x47, ';'}, {0x48, '?'},  {0x49, '!'},
    {0x4D, '`'}, {0x4F, '^'}, {0x51, '_'}, {0x5E, '/'}, {0x5F, '\\'}, {0x60, '~'},
    {0x62, '|'}, {0x69, '('}, {0x6A, ')'}, {0x6D, '['}, {0x6E, ']'},  {0x6F, '{'},
    {0x70, '}'}, {0x7B, '+'}, {0x7C, '-'}, {0x81, '='}, {0x83, '<'},  {0x84, '>'},
    {0x90, '$'}, {0x93, '%'}, {0x94, '#'}, {0x95, '&'}, {0x96, '*'},  {0x97, '@'}};

// The ASCII form of a full-width character, or 0.
char AsciiOf(unsigned char lead, unsigned char trail)
{
    if (lead == 0x82) {
        if (trail >= 0x4F && trail <= 0x58)
            return static_cast<char>('0' + (trail - 0x4F));
        if (trail >= 0x60 && trail <= 0x79)
            return static_cast<char>('A' + (trail - 0x60));
        if (trail >= 0x81 && trail <= 0x9A)
            return static_cast<char>('A' + (trail - 0x81)); // lower case folds to upper
        return 0;
    }
    if (lead == 0x81) {
        static constexpr auto kSignOfTrail = [] {
            std::array<char, 256> table{};
            for (const WideSign& sign : kWideSigns)
                table[sign.trail] = sign.ascii;
            return table;
        }();
        return kSignOfTrail[trail];
    }
    // The quotes of the extension rows.
    if ((lead == 0xFA && trail == 0x56) || (lead == 0xEE && trail == 0xFB))
        return '\'';
    if ((lead == 0xFA && trail == 0x57) || (lead == 0xEE && trail == 0xFC))
        return '"';
    return 0;
}

// Full-width forms of the half-width katakana 0xA1 to 0xDF.
constexpr std::uint16_t kWideKana[] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
    0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A,
    0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360,
    0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374,
    0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B};

constexpr unsigned char kVoicedMark = 0xDE;     // ﾞ
constexpr unsigned char kSemiVoicedMark = 0xDF; // ﾟ

// The full-width form of half-width kana k followed by mark, when the two make one character.
std::uint16_t JoinedKana(unsigned char k, unsigned char mark)
{
    const bool voicedRow = (k >= 0xB6 && k <= 0xC4) || (k >= 0xCA && k <= 0xCE); // ｶ-ﾄ, ﾊ-ﾎ
    if (mark == kVoicedMark && voicedRow)
        return static_cast<std::uint16_t>(kWideKana[k - 0xA1] + 1);
    if (mark == kVoicedMark && k == 0xB3) // ｳﾞ
        return 0x8394;
    if (mark == kSemiVoicedMark && k >= 0xCA && k <= 0xCE)
        return static_cast<std::uint16_t>(kWideKana[k - 0xA1] + 2);
    return 0;
}

// The marks of a legal form, as they read once the characters are folded.
constexpr std::string_view kLegalForms[] = {
    "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0", // 株式会社
    "\x97\x4C\x8C\xC0\x89\xEF\x8E\xD0", // 有限会社
    "\x8D\x87\x93\xAF\x89\xEF\x8E\xD0", // 合同会社
    "\x8D\x87\x8E\x91\x89\xEF\x8E\xD0", // 合資会社
    "\x8D\x87\x96\xBC\x89\xEF\x8E\xD0", // 合名会社
    "(\x8A\x94)",                       // (株)
    "(\x97\x4C)",                       // (有)
    "(\x93\xAF)",                       // (同)
    "(\x8E\x91)",                       // (資)
    "(\x96\xBC)",                       // (名)
    "\x87\x8A",                         // ㈱
    "\xFA\x58",                         // ㈱ of the extension rows
    "\x87\x8B",                         // ㈲
};

std::size_t LegalFormAt(std::string_view text)
{
    // Most characters begin no legal form at all: only these first two bytes do.
    if (text.size() < 2)
        return 0;
    const unsigned first =
        static_cast<unsigned char>(text[0]) << 8 | static_cast<unsigned char>(text[1]);
    if (text[0] != '(' && first != 0x8A94 && first != 0x974C && first != 0x8D87 &&
        first != 0x878A && first != 0x878B && first != 0xFA58)
        return 0;
    for (std::string_view form : kLegalForms)
        if (text.starts_with(form))
            return form.size();
    return 0;
}

std::size_t CharWidth(std::string_view text, std::size_t at)
{
    return IsSjisLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

} // namespace

void FoldOfficeName(std::string_view name, std::string& out)
{
    // First the characters, then the legal forms, which can only be recognised once their
    // parentheses and blanks have been folded. No character grows beyond two bytes, so both
    // passes write into room made once.
    thread_local std::string chars;
    chars.resize(name.size() * 2);
    char* put = chars.data();
    for (std::size_t i = 0; i < name.size();) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (CharWidth(name, i) == 2) {
            const auto trail = static_cast<unsigned char>(name[i + 1]);
            i += 2;
            if (b == 0x81 && trail == 0x40) // full-width blank
                continue;
            if (const char ascii = AsciiOf(b, trail)) {
                *put++ = ascii;
                continue;
            }
            *put++ = static_cast<char>(b);
            *put++ = static_cast<char>(trail);
            continue;
        }
        ++i;
        if (b <= 0x20 || b == 0x7F) // blanks and control bytes
            continue;
        if (b >= 'a' && b <= 'z') {
            *put++ = static_cast<char>(b - 'a' + 'A');
        } else if (b >= 0xA1 && b <= 0xDF) {
            const std::uint16_t joined =
                i < name.size() ? JoinedKana(b, static_cast<unsigned char>(name[i])) : 0;
            if (joined != 0)
                ++i;
            const std::uint16_t wide = joined != 0 ? joined : kWideKana[b - 0xA1];
            *put++ = static_cast<char>(wide >> 8);
            *put++ = static_cast<char>(wide & 0xFF);
        } else {
            *put++ = static_cast<char>(b);
        }
    }
    const std::string_view folded(chars.data(), static_cast<std::size_t>(put - chars.data()));
    out.resize(folded.size());
    char* to = out.data();
    for (std::size_t i = 0; i < folded.size();) {
        if (const std::size_t form = LegalFormAt(folded.substr(i))) {
            i += form;
            continue;
        }
        *to++ = folded[i++];
        if (IsSjisLeadByte(static_cast<unsigned char>(folded[i - 1])) && i < folded.size())
            *to++ = folded[i++];
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

std::string FoldOfficeName(std::string_view name)
{
    std::string out;
    FoldOfficeName(name, out);
    return out;
}

} // namespace kompa
