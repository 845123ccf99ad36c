#include "query_session.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "codec.h"
#include "engine/dictionary/data_dirs.h"
#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/match/match_texts.h"
#include "engine/text/cp932.h"
#include "input.h"
#include "json_output.h"
#include "options.h"

namespace kompa::cli {

template <class Dictionary>
void QuerySession::OpenOne(Dictionary& dictionary, const std::string& fileName,
                           std::optional<std::string>& error)
{
    try {
        dictionary.OpenDictionary(fileName);
    } catch (const Exception& e) {
        error = e.Message();
        failedFileName_ = fileName;
    }
}

void QuerySession::OpenOfficeFile(const std::string& fileName, bool required)
{
    if (required) {
        OpenOne(offices_, fileName, officesOpenError_);
        return;
    }
    // Beside the pair the office dictionary is optional: one that cannot be read adds no lines.
    if (!io::FileExists(fileName))
        return;
    try {
        offices_.OpenDictionary(fileName);
    } catch (const Exception&) {
    }
}

void QuerySession::Open(DictionaryUse use, const std::string& dictDir)
{
    const std::string addressFile = JoinPath(dictDir, kAddressDictName);
    const std::string codeFile = JoinPath(dictDir, kCodeDictName);
    const std::string officeFile = JoinPath(dictDir, kOfficeDictName);
    switch (use) {
    case DictionaryUse::None:
        break;
    case DictionaryUse::CodeOnly:
        OpenOne(code_, codeFile, codeOpenError_);
        if (!codeOpenError_)
            OpenOfficeFile(officeFile, false);
        break;
    case DictionaryUse::AddressOnly:
        OpenOne(address_, addressFile, addressOpenError_);
        break;
    case DictionaryUse::AsSearchWindow:
        // As the search window: a failed KOMPA.DIC open leaves VELDA.DIC unopened (closed, not
        // failed), so code queries then report the closed dictionary.
        OpenOne(address_, addressFile, addressOpenError_);
        if (!addressOpenError_ && io::FileExists(codeFile))
            OpenOne(code_, codeFile, codeOpenError_);
        if (!addressOpenError_)
            OpenOfficeFile(officeFile, false);
        break;
    case DictionaryUse::OfficeOnly:
        OpenOfficeFile(officeFile, true);
        break;
    }
}

TCodeAddress& QuerySession::Code()
{
    if (codeOpenError_)
        throw Exception(*codeOpenError_);
    return code_;
}

TPostCode& QuerySession::Address()
{
    if (addressOpenError_)
        throw Exception(*addressOpenError_);
    return address_;
}

TOfficeDictionary& QuerySession::Offices()
{
    if (officesOpenError_)
        throw Exception(*officesOpenError_);
    return offices_;
}

namespace {

void PrintUsage(const QueryCommand& command, std::FILE* to)
{
    std::fprintf(to,
                 "usage: kompa-cli %s [--dict DIR] [--ken] [--sjis]%s%s [%s...]\n"
                 "%s\n"
                 "Each %s is one query; without any, each line of standard input is one.\n"
                 "  --dict DIR  directory of KOMPA.DIC and VELDA.DIC, and of OFFICE.DIC when it\n"
                 "              is there (default: the first holding both of\n"
                 "              $XDG_DATA_HOME/kompa, the program's directory and\n"
                 "              ../share/kompa beside it; now %s)\n"
                 "  --ken       put the prefecture name into the result lines\n"
                 "%s"
                 "  --sjis      arguments, input and output are Shift-JIS (default: UTF-8)\n"
                 "%s"
                 "  --help      show this help\n"
                 "Output per query: '#<TAB>LEVEL<TAB>COUNT<TAB>KEY' and COUNT result lines,\n"
                 "or '!<TAB>MESSAGE'. Exit status: 0 all answered, 1 a query failed, 2 usage.\n",
                 command.name, command.takesMatch ? " [--match M]" : "",
                 command.takesFormat ? " [--format F]" : "", command.operandName,
                 command.description, command.operandName, FindDictionaryDir().c_str(),
                 command.takesMatch
                     ? "  --match M   literal (default) or precise: an address query's precise\n"
                       "              answer first, '=<TAB>CODE<TAB>RULE<TAB>TEXT' (CODE '-'\n"
                       "              and the reason it is undecided when the address leaves\n"
                       "              more than one)\n"
                     : "",
                 command.takesFormat
                     ? "  --format F  text (default) or json: one JSON object a line per query,\n"
                       "              in UTF-8 (--sjis then reads the queries only), each line\n"
                       "              with its code, prefecture and address (see kompa-cli(1))\n"
                     : "");
}

int UsageError(const QueryCommand& command, const std::string& reason)
{
    std::fprintf(stderr, "kompa-cli: %s: %s\n", command.name, reason.c_str());
    PrintUsage(command, stderr);
    return 2;
}

// Converts a UTF-8 query to Shift-JIS; false with the reason when a character has no form.
bool ToSjis(std::string_view utf8, std::string& sjis, std::string& reason)
{
    // ASCII is the same in both; skipping the converter spares its start-up for plain codes.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) {
        sjis.assign(utf8);
        return true;
    }
    if (FromUtf8Cached(utf8, sjis))
        return true;
    std::string bad;
    if (cp932::FromUtf8Strict(utf8, sjis, &bad))
        return true;
    reason = "no Shift-JIS form for " + DescribeChar(bad);
    return false;
}

void WritePrecise(Output& out, const match::TPreciseAnswer& answer)
{
    out.Raw("=\t");
    if (answer.decided) {
        out.Raw(answer.CodeText());
        out.Raw('\t');
        out.Raw(match::RuleKey(answer.rule));
        out.Raw('\t');
        out.Text(match::RuleText(answer.rule));
    } else {
        out.Raw("-\t");
        out.Raw(match::ReasonKey(answer.reason));
        out.Raw('\t');
        out.Text(match::ReasonText(answer.reason));
    }
    out.EndLine();
}

void WriteReply(Output& out, const Reply& reply, const TTextResultList& list)
{
    if (reply.precise)
        WritePrecise(out, *reply.precise);
    out.Raw("#\t");
    if (reply.level)
        out.Number(LevelNumber(*reply.level));
    else
        out.Raw('-');
    out.Raw('\t');
    out.Number(list.Count());
    out.Raw('\t');
    out.Text(reply.key);
    out.EndLine();
    for (int i = 0; i < list.Count(); ++i) {
        out.Text(list.Line(i));
        out.EndLine();
    }
}

void WriteFailure(Output& out, std::string_view message, bool sjis, std::string_view fileName)
{
    out.Raw("!\t");
    if (sjis)
        out.Text(message);
    else
        out.Raw(MessageToUtf8(message, fileName));
    out.EndLine();
}

} // namespace

int RunQueryCommand(const QueryCommand& command, int argc, char** argv)
{
    ParsedArgs args;
    std::string reason;
    std::vector<OptionSpec> specs = {
        {"dict", true}, {"ken", false}, {"sjis", false}, {"help", false}};
    if (command.takesMatch)
        specs.push_back({"match", true});
    if (command.takesFormat)
        specs.push_back({"format", true});
    if (!ParseArgs(argc, argv, specs, args, reason))
        return UsageError(command, reason);
    bool precise = false;
    if (args.Has("match")) {
        const std::string mode = args.Value("match");
        if (mode == "precise")
            precise = true;
        else if (mode != "literal")
            return UsageError(command, "--match: literal or precise, not '" + mode + "'");
    }
    bool json = false;
    if (args.Has("format")) {
        const std::string format = args.Value("format");
        if (format == "json")
            json = true;
        else if (format != "text")
            return UsageError(command, "--format: text or json, not '" + format + "'");
    }
    if (args.Has("help")) {
        PrintUsage(command, stdout);
        return 0;
    }
    const bool sjis = args.Has("sjis");

    // All queries are read and converted before any runs: a usage error runs nothing.
    std::string input;
    std::vector<std::string_view> raw;
    if (args.operands.empty()) {
        if (!ReadAll(STDIN_FILENO, input)) {
            std::fprintf(stderr, "kompa-cli: %s: cannot read standard input: %s\n", command.name,
                         std::strerror(errno));
            return 1;
        }
        if (!sjis) {
            // Line ends are ASCII, so the whole input converts at once.
            std::string converted;
            if (!ToSjis(input, converted, reason)) {
                // Rare: find the line to name it.
                int lineNumber = 0;
                for (std::string_view line : SplitLines(input)) {
                    ++lineNumber;
                    if (!ToSjis(line, converted, reason))
                        break;
                }
                return UsageError(command, "line " + std::to_string(lineNumber) + ": " + reason);
            }
            input.swap(converted);
        }
        raw = SplitLines(input);
    } else {
        if (!sjis) {
            for (std::string& operand : args.operands) {
                std::string converted;
                if (!ToSjis(operand, converted, reason))
                    return UsageError(command, reason);
                operand.swap(converted);
            }
        }
        raw.assign(args.operands.begin(), args.operands.end());
    }

    if (command.refuse) {
        for (std::size_t i = 0; i < raw.size(); ++i) {
            reason = command.refuse(raw[i]);
            if (reason.empty())
                continue;
            return UsageError(command, args.operands.empty()
                                           ? "line " + std::to_string(i + 1) + ": " + reason
                                           : reason);
        }
    }

    const std::string dictDir = args.Has("dict") ? args.Value("dict") : FindDictionaryDir();

    // A JSON line holds its prefecture in a field of its own, split from the line that has it.
    QuerySession session(json || args.Has("ken"));
    session.SetPrecise(precise);
    session.Open(command.use, dictDir);

    Output out(STDOUT_FILENO, sjis && !json);
    bool allAnswered = true;
    for (std::string_view text : raw) {
        const auto fail = [&](std::string_view message, std::string_view fileName) {
            allAnswered = false;
            if (!json) {
                WriteFailure(out, message, sjis, fileName);
                return;
            }
            out.Raw(FailureJson(text, MessageToUtf8(message, fileName)));
            out.EndLine();
        };
        try {
            Reply reply = command.answer(session, text);
            if (!json) {
                WriteReply(out, reply, session.List());
                continue;
            }
            out.Raw(ReplyJson(text, reply, session.List()));
            out.EndLine();
        } catch (const Exception& e) {
            fail(e.Message(), session.FailedFileName());
        } catch (const std::exception& e) {
            fail(e.what(), {});
        }
    }
    if (!out.Flush()) {
        std::fprintf(stderr, "kompa-cli: %s: cannot write the answers: %s\n", command.name,
                     std::strerror(out.Error()));
        return 1;
    }
    return allAnswered ? 0 : 1;
}

} // namespace kompa::cli
