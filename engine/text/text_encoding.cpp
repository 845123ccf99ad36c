#include "text_encoding.h"

#include <cstdint>
#include <cstring>

namespace kompa {

namespace {

// Walks bytes as UTF-8; false on the first invalid sequence. wide tells whether a character
// at or above U+3000 was seen.
bool WalkUtf8(std::string_view bytes, bool& wide)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* end = p + bytes.size();
    bool seen = false; // a local, so the loop keeps it in a register
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            // ASCII runs eight bytes at a time.
            if (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, 8);
                if ((word & 0x8080808080808080ull) == 0) {
                    p += 8;
                    continue;
                }
            }
            ++p;
            continue;
        }
        // Kana and kanji, most of a Japanese text, in one step: leads E1..EC and EE..EF have no
        // overlong form or surrogate to rule out, and from E3 on they are U+3000 or above.
        if (lead >= 0xE1 && lead != 0xED && lead <= 0xEF && end - p >= 3 &&
            ((p[1] & 0xC0) | ((p[2] & 0xC0) >> 2)) == 0xA0) {
            seen |= lead >= 0xE3;
            p += 3;
            continue;
        }
        std::size_t length;
        char32_t code;
        char32_t least;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
            least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            least = 0x10000;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length)
            return false;
        for (std::size_t i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        if (code >= 0x3000)
            seen = true;
        p += length;
    }
    wide = seen;
    return true;
}

// Whether text (after a UTF-8 mark) is rather Shift-JIS: among its non-ASCII sequences, more
// are invalid as UTF-8 than valid. A UTF-8 text with a damaged character stays UTF-8.
bool MostlyInvalidUtf8(std::string_view text)
{
    std::size_t valid = 0;
    std::size_t invalid = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                                   : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                  : 0;
        bool wide = false;
        if (length != 0 && i + length <= text.size() && WalkUtf8(text.substr(i, length), wide)) {
            ++valid;
            i += length;
        } else {
            ++invalid;
            ++i;
        }
    }
    return invalid > valid;
}

} // namespace

TUtf16 DetectUtf16(std::string_view bytes)
{
    if (bytes.starts_with("\xFF\xFE"))
        return TUtf16::LittleEndian;
    if (bytes.starts_with("\xFE\xFF"))
        return TUtf16::BigEndian;
    return TUtf16::None;
}

std::string_view Utf16Bom(TUtf16 form)
{
    return form == TUtf16::BigEndian ? std::string_view("\xFE\xFF") : std::string_view("\xFF\xFE");
}

bool IsValidUtf8(std::string_view bytes)
{
    bool wide;
    return WalkUtf8(bytes, wide);
}

TTextEncoding DetectEncoding(std::string_view bytes)
{
    if (bytes.starts_with(kUtf8Bom))
        return TTextEncoding::Utf8;
    bool wide;
    return WalkUtf8(bytes, wide) && wide ? TTextEncoding::Utf8 : TTextEncoding::ShiftJis;
}

TFileFormat DetectFileFormat(std::string_view bytes, TEncodingChoice choice)
{
    TFileFormat format;
    bool markedShiftJis = false;
    switch (choice) {
    case TEncodingChoice::Auto:
        format.encoding = DetectEncoding(bytes);
        if (bytes.starts_with(kUtf8Bom) && !IsValidUtf8(bytes.substr(kUtf8Bom.size())) &&
            MostlyInvalidUtf8(bytes.substr(kUtf8Bom.size()))) {
            format.encoding = TTextEncoding::ShiftJis;
            markedShiftJis = true;
        }
        break;
    case TEncodingChoice::ShiftJis:
        format.encoding = TTextEncoding::ShiftJis;
        break;
    case TEncodingChoice::Utf8:
        format.encoding = TTextEncoding::Utf8;
        break;
    }
    format.bom =
        (format.encoding == TTextEncoding::Utf8 || markedShiftJis) && bytes.starts_with(kUtf8Bom);
    // A file without any line end keeps CR LF, as before.
    format.lineEnd =
        bytes.find('\r') == std::string_view::npos && bytes.find('\n') != std::string_view::npos
            ? TLineEnd::Lf
            : TLineEnd::CrLf;
    return format;
}

} // namespace kompa
