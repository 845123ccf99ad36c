#include "code_text.h"

#include <algorithm>

#include "engine/dictionary/find_query.h"
#include "engine/text/sjis.h"

namespace kompa {
namespace {

constexpr std::string_view kPostMark = "\x81\xA7";  // 〒
constexpr std::string_view kWideBlank = "\x81\x40"; // full-width space

// Walks a Shift-JIS text character by character.
class Characters {
public:
    explicit Characters(std::string_view text) : text_(text) {}
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

} // namespace

std::optional<std::string> ReadWrittenCode(std::string_view text)
{
    std::string digits;
    Characters chars(text);
    chars.SkipBlanks();
    if (chars.Peek() == kPostMark) {
        chars.Next();
        chars.SkipBlanks();
    }
    for (std::size_t i = 0; i < kCodeDigits; ++i) {
        if (i == 3 && IsCodeHyphen(chars.Peek()))
            chars.Next();
        const char digit = CodeDigitOf(chars.Peek());
        if (!digit)
            return std::nullopt;
        digits += digit;
        chars.Next();
    }
    chars.SkipBlanks();
    if (!chars.AtEnd())
        return std::nullopt;
    return digits;
}

std::string RewriteDigits(std::string_view writtenCode, std::string_view digits, bool utf8)
{
    // Nothing but the seven digits is a digit in a written code, and no other character's
    // bytes can be taken for one: a full-width digit is 82 4F..58 in Shift-JIS (whose trail
    // bytes are never looked at alone here) and EF BC 90..99 in UTF-8.
    std::string written(writtenCode);
    std::size_t next = 0;
    for (std::size_t i = 0; i < written.size() && next < digits.size();) {
        const auto byte = static_cast<unsigned char>(written[i]);
        if (byte >= '0' && byte <= '9') {
            written[i++] = digits[next++];
        } else if (!utf8 && byte == 0x82 && i + 1 < written.size() &&
                   static_cast<unsigned char>(written[i + 1]) >= 0x4F &&
                   static_cast<unsigned char>(written[i + 1]) <= 0x58) {
            written[i + 1] = static_cast<char>(0x4F + (digits[next++] - '0'));
            i += 2;
        } else if (utf8 && byte == 0xEF && i + 2 < written.size() && written[i + 1] == '\xBC' &&
                   static_cast<unsigned char>(written[i + 2]) >= 0x90 &&
                   static_cast<unsigned char>(written[i + 2]) <= 0x99) {
            written[i + 2] = static_cast<char>(0x90 + (digits[next++] - '0'));
            i += 3;
        } else {
            i += !utf8 && IsSjisLeadByte(byte) ? 2 : 1;
        }
    }
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
