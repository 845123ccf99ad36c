// The query commands: one engine call each, answered as the desktop program answers.

#include <optional>
#include <string>

#include "codec.h"
#include "commands.h"
#include "engine/dictionary/find_query.h"
#include "engine/io/errors.h"
#include "engine/io/messages.h"
#include "engine/match/precise_matcher.h"
#include "engine/text/int_parse.h"
#include "query_session.h"

namespace kompa::cli {
namespace {

Reply AnswerCode(QuerySession& session, std::string_view text)
{
    // A code written with its hyphen or in full-width digits searches its ASCII digits.
    if (const std::optional<std::string> code = TypedPostalCode(text)) {
        session.KeepKey(*code);
        text = session.Key();
    }
    session.Code().Search(text, session.List(), session.WithKen());
    if (TOfficeDictionary* offices = session.OpenOffices())
        offices->AddCodeLines(text, session.List(), session.WithKen());
    return {std::nullopt, text, std::nullopt};
}

// The precise answer, when asked for and a matcher could be made.
std::optional<match::TPreciseAnswer> PreciseAnswer(QuerySession& session, std::string_view text)
{
    if (!session.Precise())
        return std::nullopt;
    const std::shared_ptr<const match::TPreciseMatcher> matcher =
        match::PreciseMatcherFor(session.Address());
    if (!matcher)
        return std::nullopt;
    match::TPreciseAnswer answer;
    matcher->Match(text, {}, answer);
    return answer;
}

// A code query whose first three characters read as a negative number (or one too large) has no
// block to look in: the search window would take it for an address, so code refuses it.
std::string NotACode(std::string_view text)
{
    if (TypedPostalCode(text))
        return {};
    const std::int32_t key = StrToIntDef(text.substr(0, 3), 0);
    if (key >= 0 && key <= 0xFFFF)
        return {};
    std::string reason = "'";
    reason += SjisToUtf8(text);
    reason += "' is not a postal code";
    return reason;
}

Reply AnswerAddress(QuerySession& session, std::string_view text)
{
    TPostCode& dictionary = session.Address();
    std::optional<match::TPreciseAnswer> precise = PreciseAnswer(session, text);
    const TAddressLevel level = dictionary.SearchAddress(text, session.List(), session.WithKen());
    // A form too short never reaches the file and leaves the previous query's text behind: no key.
    return {level,
            level == TAddressLevel::TooShort ? std::string_view()
                                             : std::string_view(dictionary.SearchText()),
            std::move(precise)};
}

Reply AnswerAll(QuerySession& session, std::string_view text)
{
    TPostCode& dictionary = session.Address();
    // The whole-file search lists nothing from a closed dictionary; a script must not take a
    // broken dictionary for "no match".
    if (!dictionary.IsOpen()) {
        session.List().Clear();
        Raise(msg::kNoDictionary);
    }
    dictionary.SearchAll(text, session.List(), session.WithKen());
    return {std::nullopt, text, std::nullopt};
}

Reply AnswerFind(QuerySession& session, std::string_view text)
{
    const TFindDictionaries dictionaries{[&]() -> TCodeAddress& { return session.Code(); },
                                         [&]() -> TPostCode& { return session.Address(); },
                                         session.OpenOffices()};
    const TFindAnswer answer =
        FindAsSearchWindow(dictionaries, text, session.List(), session.WithKen());
    session.KeepKey(answer.key);
    std::optional<match::TPreciseAnswer> precise;
    if (answer.kind != TFindKind::Code)
        precise = PreciseAnswer(session, text);
    const char* search = answer.kind == TFindKind::Code      ? "code"
                         : answer.kind == TFindKind::Address ? "address"
                                                             : "whole-file";
    return {answer.level, session.Key(), std::move(precise), search};
}

Reply AnswerOffice(QuerySession& session, std::string_view text)
{
    session.Offices().SearchName(text, session.List(), session.WithKen());
    return {std::nullopt, text, std::nullopt};
}

Reply AnswerNormalize(QuerySession& session, std::string_view text)
{
    TTextResultList& list = session.List();
    list.Clear();
    list.Add(session.AddressObject().NormalizeAddress(text));
    return {std::nullopt, text, std::nullopt};
}

const QueryCommand kCode = {
    "code",
    "CODE",
    "Lists the addresses whose postal code begins with CODE (VELDA.DIC), then the offices and\n"
    "post-office boxes of such codes (OFFICE.DIC, when it is there), marked ［事業所］ or "
    "［私書箱］.\nA CODE beginning with a negative number is a usage error.",
    DictionaryUse::CodeOnly,
    AnswerCode,
    false,
    true,
    NotACode};
const QueryCommand kAddress = {
    "address",
    "ADDRESS",
    "Lists the postal codes of a typed address, with the fallbacks of the address search; LEVEL\n"
    "is 0 (too short), 1 (found), 2 (found with ke exchanged), 3 (none) or 5 (shortened).",
    DictionaryUse::AddressOnly,
    AnswerAddress,
    true,
    true};
const QueryCommand kAll = {"all",
                           "TEXT",
                           "Lists every record whose address contains TEXT (whole KOMPA.DIC).",
                           DictionaryUse::AddressOnly,
                           AnswerAll,
                           false,
                           true};
const QueryCommand kFind = {
    "find",
    "TEXT",
    "Answers as the search window does: a code search when TEXT is a postal code (\"100-0001\",\n"
    "\"〒１００－０００１\", full-width digits) or its first three bytes are a number of at least "
    "1,\n"
    "else an address search and, when that lists nothing, a whole-file search. A code search\n"
    "lists the offices of the code after the addresses, as `code` does.",
    DictionaryUse::AsSearchWindow,
    AnswerFind,
    true,
    true};
const QueryCommand kOffice = {
    "office", "NAME",
    "Lists the offices and post-office boxes whose name holds NAME (OFFICE.DIC), compared with\n"
    "full-width and half-width forms alike, blanks left out and 株式会社, (株), ㈱ (and the like\n"
    "for 有限会社 ...) ignored.",
    DictionaryUse::OfficeOnly, AnswerOffice};
const QueryCommand kNormalize = {"normalize", "ADDRESS",
                                 "Prints the search form of a typed address.", DictionaryUse::None,
                                 AnswerNormalize};

} // namespace

int RunCode(int argc, char** argv)
{
    return RunQueryCommand(kCode, argc, argv);
}
int RunAddress(int argc, char** argv)
{
    return RunQueryCommand(kAddress, argc, argv);
}
int RunAll(int argc, char** argv)
{
    return RunQueryCommand(kAll, argc, argv);
}
int RunFind(int argc, char** argv)
{
    return RunQueryCommand(kFind, argc, argv);
}
int RunOffice(int argc, char** argv)
{
    return RunQueryCommand(kOffice, argc, argv);
}
int RunNormalize(int argc, char** argv)
{
    return RunQueryCommand(kNormalize, argc, argv);
}

} // namespace kompa::cli
