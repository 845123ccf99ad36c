#include "codec.h"

#include "engine/io/errors.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "engine/text/cp932.h"
#include "engine/text/sjis.h"
#include "engine/text/text_encoding.h"

namespace kompa::cli {
namespace {

// UTF-8 of every single byte and every lead/trail pair, filled on first use.
class UnitCache {
public:
    // calloc: fresh zero pages straight from the system, so only the slots in use are touched.
    UnitCache() : units_(static_cast<Unit*>(std::calloc(kSingles + 65536, sizeof(Unit))))
    {
        if (!units_)
            throw std::bad_alloc();
    }

    static constexpr unsigned kSingles = 256;
    // Readable bytes of each unit, whatever its length.
    static constexpr std::size_t kUnitRoom = 7;

    struct Unit {
        unsigned char length; // 0 until filled
        std::array<char, kUnitRoom> bytes;
    };

    Unit* Units() const { return units_.get(); }

    // Kept out of line: the loops calling it stay small, and it runs once per unit.
    [[gnu::noinline]] static void Fill(Unit& unit, std::string_view sjis)
    {
        std::string utf8 = cp932::ToUtf8(sjis);
        // At most three bytes for each byte it stands for (U+FFFD for one byte).
        if (utf8.size() > 3 * sjis.size() || utf8.empty())
            utf8 = "\xEF\xBF\xBD";
        unit.length = static_cast<unsigned char>(utf8.size());
        utf8.copy(unit.bytes.data(), utf8.size());
    }

private:
    struct Free {
        void operator()(Unit* units) const { std::free(units); }
    };
    std::unique_ptr<Unit[], Free> units_;
};

UnitCache& Cache()
{
    static UnitCache cache;
    return cache;
}

} // namespace

void AppendUtf8(std::string& out, std::string_view sjis)
{
    // A CP932 byte or pair never takes more than three bytes of UTF-8 per byte: room for the
    // worst case is made once and the unused part cut off at the end.
    // The table's address is held here: the writes through to may alias anything, so a
    // member would be loaded again for every character.
    UnitCache::Unit* const units = Cache().Units();
    const std::size_t n = sjis.size();
    const std::size_t start = out.size();
    // Each unit is copied as its whole slot (kUnitRoom bytes) whatever its length, which
    // needs no length-dependent copy; the slack behind the worst case takes the overhang.
    out.resize(start + 3 * n + UnitCache::kUnitRoom);
    char* to = out.data() + start;
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(sjis[i]);
        // CP932 keeps 0x00-0x7F as they are.
        if (b < 0x80) {
            *to++ = static_cast<char>(b);
            ++i;
            continue;
        }
        std::size_t width = 1;
        unsigned slot = b;
        if (IsSjisLeadByte(b) && i + 1 < n &&
            IsSjisTrailByte(static_cast<unsigned char>(sjis[i + 1]))) {
            width = 2;
            slot = UnitCache::kSingles + (b << 8 | static_cast<unsigned char>(sjis[i + 1]));
        }
        UnitCache::Unit& unit = units[slot];
        if (unit.length == 0)
            UnitCache::Fill(unit, sjis.substr(i, width));
        std::memcpy(to, unit.bytes.data(), UnitCache::kUnitRoom);
        to += unit.length;
        i += width;
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

std::string SjisToUtf8(std::string_view sjis)
{
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    AppendUtf8(out, sjis);
    return out;
}

namespace {

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is not valid.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

bool FromUtf8Cached(std::string_view utf8, std::string& sjis)
{
    return cp932::FromUtf8Fast(utf8, sjis);
}

std::string DescribeChar(std::string_view utf8)
{
    char32_t cp = 0;
    char buffer[32];
    if (!utf8.empty() && DecodeUtf8(utf8, 0, cp) == utf8.size()) {
        std::snprintf(buffer, sizeof buffer, " (U+%04X)", static_cast<unsigned>(cp));
        return "'" + std::string(utf8) + "'" + buffer;
    }
    std::string hex = "invalid UTF-8:";
    for (unsigned char b : utf8) {
        std::snprintf(buffer, sizeof buffer, " 0x%02X", b);
        hex += buffer;
    }
    return hex;
}

std::string MessageToUtf8(std::string_view message, std::string_view fileName)
{
    const std::size_t at = fileName.empty() ? message.npos : message.find(fileName);
    if (at == message.npos || !IsValidUtf8(fileName))
        return SjisToUtf8(message);
    std::string out = SjisToUtf8(message.substr(0, at));
    out += fileName;
    AppendUtf8(out, message.substr(at + fileName.size()));
    return out;
}

std::string MessageToUtf8(std::string_view message, const std::vector<std::string>& fileNames)
{
    std::string out;
    for (;;) {
        // The earliest name, the longest of those starting there.
        std::size_t at = message.npos;
        std::size_t length = 0;
        for (const std::string& name : fileNames) {
            const std::size_t found = name.empty() ? message.npos : message.find(name);
            if (found != message.npos && IsValidUtf8(name) &&
                (found < at || (found == at && name.size() > length))) {
                at = found;
                length = name.size();
            }
        }
        if (at == message.npos) {
            AppendUtf8(out, message);
            return out;
        }
        AppendUtf8(out, message.substr(0, at));
        out += message.substr(at, length);
        message.remove_prefix(at + length);
    }
}

int ReportBuildFailure(const std::exception& failure, const std::vector<std::string>& fileNames)
{
    std::string text = "kompa-cli: ";
    if (const auto* line = dynamic_cast<const LineError*>(&failure))
        text += "line " + std::to_string(line->Line()) + ": ";
    if (const auto* e = dynamic_cast<const Exception*>(&failure))
        text += MessageToUtf8(e->Message(), fileNames);
    else
        text += failure.what();
    text += '\n';
    std::fputs(text.c_str(), stderr);
    return 1;
}

} // namespace kompa::cli
