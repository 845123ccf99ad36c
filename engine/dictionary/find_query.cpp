#include "find_query.h"

#include <array>
#include <span>

#include "dictionary.h"
#include "engine/source/ken.h"
#include "engine/text/int_parse.h"
#include "engine/text/sjis.h"
#include "office_dictionary.h"

namespace kompa {
namespace {

constexpr std::string_view kPostMark = "\x81\xA7";  // 〒
constexpr std::string_view kWideBlank = "\x81\x40"; // full-width space
constexpr std::string_view kHyphens[] = {"-", "\x81\x7C", "\x81\x5D", "\x81\x5B"}; // - －/− ‐ ー

bool IsBlank(std::string_view c)
{
    return c == " " || c == "\t" || c == kWideBlank;
}

// The digit's ASCII form; 0 when the character is no digit. Full-width digits are 82 4F..82 58.
char WideDigit(std::string_view c)
{
    if (c.size() == 2 && c[0] == '\x82' && c[1] >= '\x4F' && c[1] <= '\x58')
        return static_cast<char>('0' + (c[1] - '\x4F'));
    return 0;
}

} // namespace

char CodeDigitOf(std::string_view c)
{
    if (c.size() == 1 && c[0] >= '0' && c[0] <= '9')
        return c[0];
    return WideDigit(c);
}

bool IsCodeHyphen(std::string_view c)
{
    for (std::string_view hyphen : kHyphens)
        if (c == hyphen)
            return true;
    return false;
}

// The longest a typed code can be: a mark, three digits, a hyphen and four digits.
constexpr std::size_t kMaxCodeChars = 9;

std::optional<std::string> TypedPostalCode(std::string_view text)
{
    // Every query passes here, so the characters are cut into a small fixed array rather than
    // vectors. A blank between other characters never belongs to a code, nor do more than
    // kMaxCodeChars characters, so both end the search at once.
    std::array<std::string_view, kMaxCodeChars> kept;
    std::size_t count = 0;
    bool blankSeen = false;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t width =
            IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        const std::string_view c = text.substr(i, width);
        i += width;
        if (IsBlank(c)) {
            blankSeen = count > 0;
            continue;
        }
        if (blankSeen || count == kept.size())
            return std::nullopt;
        kept[count++] = c;
    }
    const std::span<const std::string_view> chars(kept.data(), count);

    std::string digits;
    bool allWide = true;
    for (std::string_view c : chars) {
        const char wide = WideDigit(c);
        if (!wide) {
            allWide = false;
            break;
        }
        digits += wide;
    }
    if (allWide && digits.size() >= 3 && digits.size() <= 7)
        return digits;

    const std::size_t start = !chars.empty() && chars.front() == kPostMark ? 1 : 0;
    if (chars.size() - start != 8 || !IsCodeHyphen(chars[start + 3]))
        return std::nullopt;
    digits.clear();
    for (std::size_t i = start; i < chars.size(); ++i) {
        if (i == start + 3)
            continue;
        const char digit = CodeDigitOf(chars[i]);
        if (!digit)
            return std::nullopt;
        digits += digit;
    }
    return digits;
}

TFindAnswer FindAsSearchWindow(const TFindDictionaries& dictionaries, std::string_view text,
                               TResultList& list, bool withKen, const TSearchWrapper& wrapWholeFile,
                               bool officeNames)
{
    TOfficeDictionary* offices =
        dictionaries.offices && dictionaries.offices->IsOpen() ? dictionaries.offices : nullptr;
    std::optional<std::string> code = TypedPostalCode(text);
    if (!code) {
        const auto head = TryStrToInt(text.substr(0, 3));
        if (head && *head >= 1)
            code = std::string(text.substr(0, 7));
    }
    if (code) {
        dictionaries.codes().Search(*code, list, withKen);
        if (offices)
            offices->AddCodeLines(*code, list, withKen);
        return {TFindKind::Code, std::nullopt, *code};
    }
    TPostCode& addresses = dictionaries.addresses();
    const TAddressLevel level = addresses.SearchAddress(text, list, withKen);
    TFindAnswer answer{TFindKind::Address, level, std::string(text)};
    if (list.Count() == 0) {
        const std::function<void()> wholeFile = [&] {
            addresses.SearchAll(DeleteKen(text), list, withKen);
        };
        if (wrapWholeFile)
            wrapWholeFile(wholeFile);
        else
            wholeFile();
        answer.kind = TFindKind::WholeFile;
    }
    if (offices && officeNames)
        offices->AddNameLines(text, list, withKen);
    return answer;
}

} // namespace kompa
