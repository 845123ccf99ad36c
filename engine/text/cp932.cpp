#include "cp932.h"
#include "sjis.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace kompa::cp932 {

namespace {

// One iconv descriptor per direction and thread, reset before every conversion.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv_open's failure value
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as possible; stops at the first sequence it cannot convert and returns
    // false with in/inLeft on it.
    bool Run(char*& in, std::size_t& inLeft, std::string& out)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[1024];
        while (inLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            std::size_t rc = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
            int err = errno;
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (rc == static_cast<std::size_t>(-1) && err != E2BIG)
                return false;
        }
        return true;
    }

private:
    iconv_t cd_;
};

Converter& ToUtf8Converter()
{
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

Converter& FromUtf8Converter()
{
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

// Length of the UTF-8 sequence that starts with lead (1 for a stray byte).
std::size_t Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

} // namespace

std::string ToUtf8(std::string_view sjis)
{
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    std::string input(sjis);
    char* in = input.data();
    std::size_t left = input.size();
    while (!ToUtf8Converter().Run(in, left, out)) {
        // Skip the unconvertible character: a lead byte with a valid trail byte, or one byte
        // (a broken pair keeps its second byte, which may be a delimiter or a digit).
        std::size_t skip = 1;
        if (left >= 2 && IsSjisLeadByte(static_cast<unsigned char>(in[0])) &&
            IsSjisTrailByte(static_cast<unsigned char>(in[1])))
            skip = 2;
        out += "\xEF\xBF\xBD";
        in += skip;
        left -= skip;
    }
    return out;
}

std::string FromUtf8(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::string input(utf8);
    char* in = input.data();
    std::size_t left = input.size();
    while (!FromUtf8Converter().Run(in, left, out)) {
        std::size_t skip = std::min(left, Utf8Length(static_cast<unsigned char>(*in)));
        out += '?';
        in += skip;
        left -= skip;
    }
    return out;
}

bool FromUtf8Strict(std::string_view utf8, std::string& sjis, std::string* badChar)
{
    sjis.clear();
    std::string input(utf8);
    char* in = input.data();
    std::size_t left = input.size();
    if (FromUtf8Converter().Run(in, left, sjis))
        return true;
    if (badChar)
        badChar->assign(in, std::min(left, Utf8Length(static_cast<unsigned char>(*in))));
    return false;
}

namespace {

constexpr std::uint16_t kNoForm = 0xFFFF;
constexpr std::uint16_t kNotAsked = 0xFFFE; // no CP932 text is FF FE

// CP932 bytes of one BMP code point (one byte when below 0x100), or kNoForm: iconv's own answer,
// so the table converts exactly as FromUtf8Strict does.
std::uint16_t AskIconv(char32_t code)
{
    char utf8[3];
    std::size_t left;
    if (code < 0x80) {
        utf8[0] = static_cast<char>(code);
        left = 1;
    } else if (code < 0x800) {
        utf8[0] = static_cast<char>(0xC0 | code >> 6);
        utf8[1] = static_cast<char>(0x80 | (code & 0x3F));
        left = 2;
    } else {
        utf8[0] = static_cast<char>(0xE0 | code >> 12);
        utf8[1] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        utf8[2] = static_cast<char>(0x80 | (code & 0x3F));
        left = 3;
    }
    char* in = utf8;
    std::string sjis;
    if (!FromUtf8Converter().Run(in, left, sjis) || sjis.empty() || sjis.size() > 2)
        return kNoForm;
    return sjis.size() == 1 ? static_cast<unsigned char>(sjis[0])
                            : static_cast<std::uint16_t>(static_cast<unsigned char>(sjis[0]) << 8 |
                                                         static_cast<unsigned char>(sjis[1]));
}

} // namespace

bool FromUtf8Fast(std::string_view utf8, std::string& sjis)
{
    // Filled as characters are met: a book uses a few thousand of the 63,000, and asking iconv
    // for all of them up front cost more than the rest of a UTF-8 book's extra work.
    static std::vector<std::uint16_t> table(0x10000, kNotAsked);
    // No character takes more bytes in Shift-JIS than in UTF-8.
    sjis.resize(utf8.size());
    char* out = sjis.data();
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const unsigned char* end = p + utf8.size();
    while (p < end) {
        const unsigned char lead = *p;
        char32_t code;
        if (lead < 0x80) {
            code = lead;
            ++p;
        } else if (lead >= 0xC2 && lead <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            code = (lead & 0x1F) << 6 | (p[1] & 0x3F);
            p += 2;
        } else if (lead >= 0xE0 && lead <= 0xEF && end - p >= 3 && (p[1] & 0xC0) == 0x80 &&
                   (p[2] & 0xC0) == 0x80) {
            code = (lead & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F);
            if (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))
                return false;
            p += 3;
        } else {
            return false; // invalid, or beyond the BMP where CP932 has nothing
        }
        std::uint16_t value = table[code];
        if (value == kNotAsked)
            value = table[code] = AskIconv(code);
        if (value == kNoForm)
            return false;
        if (value > 0xFF)
            *out++ = static_cast<char>(value >> 8);
        *out++ = static_cast<char>(value & 0xFF);
    }
    sjis.resize(static_cast<std::size_t>(out - sjis.data()));
    return true;
}

namespace {

bool Convert(Converter& converter, std::string_view text, std::string& out, std::size_t* stoppedAt)
{
    out.clear();
    out.reserve(text.size() * 3 / 2);
    char* in = const_cast<char*>(text.data());
    std::size_t left = text.size();
    const bool done = converter.Run(in, left, out);
    if (!done && stoppedAt)
        *stoppedAt = text.size() - left;
    return done;
}

} // namespace

bool Utf16ToUtf8(std::string_view utf16, bool bigEndian, std::string& utf8, std::size_t* stoppedAt)
{
    thread_local Converter little("UTF-8", "UTF-16LE");
    thread_local Converter big("UTF-8", "UTF-16BE");
    return Convert(bigEndian ? big : little, utf16, utf8, stoppedAt);
}

bool Utf8ToUtf16(std::string_view utf8, bool bigEndian, std::string& utf16)
{
    thread_local Converter little("UTF-16LE", "UTF-8");
    thread_local Converter big("UTF-16BE", "UTF-8");
    return Convert(bigEndian ? big : little, utf8, utf16, nullptr);
}

} // namespace kompa::cp932
