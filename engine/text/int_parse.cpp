#include "int_parse.h"

#include <string>

#include "engine/io/errors.h"
#include "engine/io/messages.h"

namespace kompa {

namespace {

int HexDigit(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::optional<std::int32_t> TryStrToInt(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    if (pos == text.size())
        return std::nullopt;

    if (text[pos] == '$') {
        // Hexadecimal takes all 32 bits: "$FFFFFFFF" is -1, a ninth significant digit overflows.
        std::uint32_t value = 0;
        bool any = false;
        for (++pos; pos < text.size(); ++pos) {
            int digit = HexDigit(static_cast<unsigned char>(text[pos]));
            if (digit < 0 || value > 0x0FFFFFFFu)
                return std::nullopt;
            value = value * 16 + static_cast<std::uint32_t>(digit);
            any = true;
        }
        if (!any)
            return std::nullopt;
        return static_cast<std::int32_t>(value);
    }

    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-') {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t value = 0;
    bool any = false;
    for (; pos < text.size(); ++pos) {
        unsigned char c = static_cast<unsigned char>(text[pos]);
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit)
            return std::nullopt;
        any = true;
    }
    if (!any)
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::int32_t StrToInt(std::string_view text)
{
    if (auto value = TryStrToInt(text))
        return *value;
    Raise(FormatMessage(msg::kNotAnInteger, text));
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback)
{
    return TryStrToInt(text).value_or(fallback);
}

} // namespace kompa
