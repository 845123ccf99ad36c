#pragma once
// What the query commands share: their options, the queries (arguments or standard input lines),
// the UTF-8 boundary, the dictionaries opened once, and the output of each answer.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/dictionary.h"
#include "engine/result_list.h"
#include "output.h"

namespace kompa::cli {

// Which dictionary files a command opens, and how.
enum class DictionaryUse {
    None,
    CodeOnly,       // VELDA.DIC
    AddressOnly,    // KOMPA.DIC
    AsSearchWindow, // KOMPA.DIC always, VELDA.DIC when it exists and KOMPA.DIC opened
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

    bool WithKen() const { return withKen_; }
    TTextResultList& List() { return list_; }
    // Keeps an answer's key that is not the query's own text until the next query.
    void KeepKey(std::string key) { key_ = std::move(key); }
    std::string_view Key() const { return key_; }
    // The raw file name of the dictionary whose opening failed (kept as given in messages).
    const std::string& FailedFileName() const { return failedFileName_; }

private:
    void OpenOne(TCodeAddress& dictionary, const std::string& fileName,
                 std::optional<std::string>& error);

    bool withKen_;
    TCodeAddress code_;
    TPostCode address_;
    std::optional<std::string> codeOpenError_;
    std::optional<std::string> addressOpenError_;
    std::string failedFileName_;
    TTextResultList list_;
    std::string key_;
};

// One answer: LEVEL (-1 prints "-"), KEY, and the lines in the session's result list.
struct Reply {
    int level = -1;
    std::string_view key;
};

using AnswerFunction = Reply (*)(QuerySession& session, std::string_view text);

struct QueryCommand {
    const char* name;
    const char* operandName;
    const char* description;
    DictionaryUse use;
    AnswerFunction answer;
    // A query the command cannot take at all (Shift-JIS text): a usage error, with this reason;
    // empty for one it answers. Null when every text is a query.
    std::string (*refuse)(std::string_view text) = nullptr;
};

// The whole command: options, queries, answers, exit status.
int RunQueryCommand(const QueryCommand& command, int argc, char** argv);

} // namespace kompa::cli
