#pragma once
// The search window's one box: what a typed text asks for and the answer to it, shared by the
// window and `kompa-cli find`. All text is Shift-JIS bytes.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kompa {

class TCodeAddress;
class TOfficeDictionary;
class TPostCode;
class TResultList;
enum class TAddressLevel;

// A postal code as people write it, as the ASCII digits to search: after trimming blanks, an
// optional "〒", three digits, one hyphen (- － ‐ ー −) and four digits (ASCII or full-width), or
// three to seven full-width digits. Nothing for any other text.
std::optional<std::string> TypedPostalCode(std::string_view text);
// One character of a written code: the ASCII form of an ASCII or full-width digit, else 0; and
// whether it is one of the hyphens a code may hold.
char CodeDigitOf(std::string_view c);
bool IsCodeHyphen(std::string_view c);

enum class TFindKind { Code, Address, WholeFile };

struct TFindAnswer {
    TFindKind kind;
    std::optional<TAddressLevel> level; // the address search's; none for a code search
    std::string key;                    // the key as shown: the code searched, or the text
};

// A code search when the text is a typed postal code or its first three bytes are a number of at
// least 1 (the key is then its first seven bytes); else an address search and, when that lists
// nothing, a search of the whole file for the text without its prefecture name. The slow
// whole-file search runs inside wrapWholeFile when given (the window shows its hourglass).
// The dictionaries are asked for only when needed: one that failed to open fails only the queries
// that use it. When an office dictionary is open, a code search lists its offices of the code
// after the addresses, and with officeNames an address search lists after its lines the offices
// whose name holds the text.
struct TFindDictionaries {
    std::function<TCodeAddress&()> codes;
    std::function<TPostCode&()> addresses;
    TOfficeDictionary* offices = nullptr;
};
using TSearchWrapper = std::function<void(const std::function<void()>& search)>;
TFindAnswer FindAsSearchWindow(const TFindDictionaries& dictionaries, std::string_view text,
                               TResultList& list, bool withKen,
                               const TSearchWrapper& wrapWholeFile = {}, bool officeNames = false);

} // namespace kompa
