#pragma once
// What the query commands share: their options, the queries (arguments or standard input lines),
// the UTF-8 boundary, the dictionaries opened once, and the output of each answer.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/office_dictionary.h"
#include "engine/dictionary/result_list.h"
#include "engine/match/precise_matcher.h"
#include "output.h"

namespace kompa::cli {

// Which dictionary files a command opens, and how.
enum class DictionaryUse {
    None,
    CodeOnly,       // VELDA.DIC, and OFFICE.DIC when it exists
    AddressOnly,    // KOMPA.DIC
    AsSearchWindow, // KOMPA.DIC always, VELDA.DIC and OFFICE.DIC when they exist and it opened
    OfficeOnly,     // OFFICE.DIC
};

class QuerySession {
public:
    explicit QuerySession(bool withKen) : withKen_(withKen) {}

    void Open(DictionaryUse use, const std::string& dictDir);

    // The dictionaries; each query checks first that its dictionary did not fail to open.
    TCodeAddress& Code();
    TPostCode& Address();
    // Usable without a file (NormalizeAddress).
    TPostCode& AddressObject() { return address_; }
    TOfficeDictionary& Offices();
    // The office dictionary when it is open; it is optional beside the pair.
    TOfficeDictionary* OpenOffices() { return offices_.IsOpen() ? &offices_ : nullptr; }

    bool WithKen() const { return withKen_; }
    // --match precise: address queries answer precisely too.
    void SetPrecise(bool precise) { precise_ = precise; }
    bool Precise() const { return precise_; }
    TTextResultList& List() { return list_; }
    // Keeps an answer's key that is not the query's own text until the next query.
    void KeepKey(std::string key) { key_ = std::move(key); }
    std::string_view Key() const { return key_; }
    // The raw file name of the dictionary whose opening failed (kept as given in messages).
    const std::string& FailedFileName() const { return failedFileName_; }

private:
    template <class Dictionary>
    void OpenOne(Dictionary& dictionary, const std::string& fileName,
                 std::optional<std::string>& error);
    void OpenOfficeFile(const std::string& fileName, bool required);

    bool withKen_;
    bool precise_ = false;
    TCodeAddress code_;
    TPostCode address_;
    TOfficeDictionary offices_;
    std::optional<std::string> codeOpenError_;
    std::optional<std::string> addressOpenError_;
    std::optional<std::string> officesOpenError_;
    std::string failedFileName_;
    TTextResultList list_;
    std::string key_;
};

// One answer: LEVEL (none prints "-"), KEY, and the lines in the session's result list; with
// --match precise, an address query's precise answer first ("=<TAB>CODE<TAB>RULE<TAB>TEXT").
struct Reply {
    std::optional<TAddressLevel> level;
    std::string_view key;
    std::optional<match::TPreciseAnswer> precise;
    const char* search = nullptr; // find: which search answered ("code", "address", "whole-file")
};

using AnswerFunction = Reply (*)(QuerySession& session, std::string_view text);

struct QueryCommand {
    const char* name;
    const char* operandName;
    const char* description;
    DictionaryUse use;
    AnswerFunction answer;
    bool takesMatch = false;  // --match literal|precise
    bool takesFormat = false; // --format text|json
    // A query the command cannot take at all (Shift-JIS text): a usage error, with this reason;
    // empty for one it answers. Null when every text is a query.
    std::string (*refuse)(std::string_view text) = nullptr;
};

// The whole command: options, queries, answers, exit status.
int RunQueryCommand(const QueryCommand& command, int argc, char** argv);

} // namespace kompa::cli
