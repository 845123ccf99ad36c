#include "code_text.h"

#include <algorithm>

#include "engine/sjis.h"

namespace kompa {
namespace {

constexpr std::string_view kPostMark = "\x81\xA7";  // 〒
constexpr std::string_view kWideBlank = "\x81\x40"; // full-width space
constexpr std::string_view kHyphens[] = {"-", "\x81\x7C", "\x81\x5D", "\x81\x5B"}; // - －/− ‐ ー

// Walks a Shift-JIS text character by character.
class Characters {
public:
    explicit Characters(std::string_view text) : text_(text) {}
    std::size_t Position() const { return pos_; }
    bool AtEnd() const { return pos_ >= text_.size(); }
    std::string_view Peek() const
    {
        if (AtEnd())
            return {};
        const bool lead = IsSjisLeadByte(static_cast<unsigned char>(text_[pos_]));
        return text_.substr(pos_, lead && pos_ + 1 < text_.size() ? 2 : 1);
    }
    void Next() { pos_ += Peek().size(); }
    void SkipBlanks()
    {
        for (std::string_view c = Peek(); c == " " || c == "\t" || c == kWideBlank; c = Peek())
            Next();
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// The digit's ASCII form, or 0. Full-width digits are 82 4F..82 58.
char DigitOf(std::string_view c)
{
    if (c.size() == 1 && c[0] >= '0' && c[0] <= '9')
        return c[0];
    if (c.size() == 2 && c[0] == '\x82' && c[1] >= '\x4F' && c[1] <= '\x58')
        return static_cast<char>('0' + (c[1] - '\x4F'));
    return 0;
}

bool IsHyphen(std::string_view c)
{
    for (std::string_view hyphen : kHyphens)
        if (c == hyphen)
            return true;
    return false;
}

} // namespace

std::optional<TWrittenCode> ReadWrittenCode(std::string_view text)
{
    TWrittenCode code;
    Characters chars(text);
    chars.SkipBlanks();
    if (chars.Peek() == kPostMark) {
        chars.Next();
        chars.SkipBlanks();
    }
    for (std::size_t i = 0; i < kCodeDigits; ++i) {
        if (i == 3 && IsHyphen(chars.Peek()))
            chars.Next();
        const std::string_view c = chars.Peek();
        const char digit = DigitOf(c);
        if (!digit)
            return std::nullopt;
        code.digits += digit;
        code.at[i] = chars.Position();
        code.wide[i] = c.size() == 2;
        chars.Next();
    }
    chars.SkipBlanks();
    if (!chars.AtEnd())
        return std::nullopt;
    code.text.assign(text);
    return code;
}

std::string WriteLikeShape(const TWrittenCode& shape, std::string_view digits)
{
    std::string written;
    std::size_t from = 0;
    for (std::size_t i = 0; i < kCodeDigits && i < digits.size(); ++i) {
        written.append(shape.text, from, shape.at[i] - from);
        if (shape.wide[i]) {
            written += '\x82';
            written += static_cast<char>('\x4F' + (digits[i] - '0'));
        } else {
            written += digits[i];
        }
        from = shape.at[i] + (shape.wide[i] ? 2 : 1);
    }
    written.append(shape.text, from);
    return written;
}

std::string_view CutOnWholeCharacter(std::string_view sjis, std::size_t limit)
{
    std::size_t whole = 0;
    while (whole < sjis.size()) {
        const std::size_t width = IsSjisLeadByte(static_cast<unsigned char>(sjis[whole])) ? 2 : 1;
        if (whole + width > limit)
            break;
        whole += width;
    }
    return sjis.substr(0, std::min(whole, sjis.size()));
}

} // namespace kompa
