#include "cp932.h"
#include "sjis.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace kompa::cp932 {

namespace {

// One iconv descriptor per direction and thread, reset before every conversion.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
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

bool IsSjisTrail(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
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
            IsSjisTrail(static_cast<unsigned char>(in[1])))
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

} // namespace kompa::cp932
