// kompa-cli convert: the conversion window's pass over a file, with nobody at the keyboard.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/dialect_options.h"
#include "codec.h"
#include "commands.h"
#include "conv/conv_pass.h"
#include "conv/csv_dialect.h"
#include "conv/unattended.h"
#include "engine/dictionary/data_dirs.h"
#include "engine/io/errors.h"
#include "engine/io/messages.h"
#include "engine/text/cp932.h"
#include "options.h"
#include "report_texts.h"

namespace kompa::cli {
namespace {

constexpr char kUsage[] =
    "usage: kompa-cli convert [--dict DIR] [--ken] [--sjis] --post-col N --addr-col M\n"
    "                         [--match M] [--report REPORT] [--header H] [--office-col K]\n"
    "                         [--read-delims LIST] [--write-delim D] [--quote LIST]\n"
    "                         [--encoding E] [--format F] [--output OUT | --dry-run] FILE\n"
    "  --match        precise (default): the ministry's notes and the ways people write\n"
    "                 addresses decide, and a code is written only when the address leaves\n"
    "                 one; literal: the address dictionary's prefix search alone\n"
    "  --report       one tab-separated line per record to REPORT (- for standard output):\n"
    "                 line, code before, code\n"
    "                 after, outcome (new, replaced, kept, left, blank), the rule that\n"
    "                 decided or the reason it was left, number of candidates\n"
    "  --format F     text (default) or json: the report's records and the counts as JSON\n"
    "                 objects, one a line, in UTF-8 (see kompa-cli(1))\n"
    "  --office-col K the column of a company's name: a record whose name and address are\n"
    "                 those of one office of OFFICE.DIC gets the office's own code\n"
    "  --dry-run      convert and report, but write nothing\n"
    "  --read-delims  comma,tab,space,control,char:X or none (default comma,tab,control)\n"
    "  --write-delim  comma, tab, space or char:X; by default the one delimiter the\n"
    "                 book's fields are separated by (a tab-separated book stays so),\n"
    "                 else comma\n"
    "  --quote        tab,space,control,all or none (default tab,space,control)\n"
    "  --encoding     auto (default), sjis or utf-8: auto reads a file as UTF-8 when it\n"
    "                 starts with a byte-order mark, or is valid UTF-8 holding kana, kanji\n"
    "                 or full-width forms; else as Shift-JIS. The file is written back in\n"
    "                 its own encoding, byte-order mark and line ends (LF when it has LF\n"
    "                 and no CR)\n"
    "  --header       auto (default), yes or no: whether the first line is a heading,\n"
    "                 kept as read and never converted or counted. auto takes it for one\n"
    "                 when its address field reads as a column name (as \"address\" or\n"
    "                 its Japanese forms do) and is no address the dictionary matches\n";

// What precise matching adds to the counts: 新規, 変更, うち辞書にない番号, 維持.
constexpr const char* kCodeCountCaptions[] = {"新規", "変更", "うち辞書にない番号", "維持"};

// The counts' captions as the result dialog shows them.
constexpr const char* kCountCaptions[] = {report::kTotal, report::kBlankAddress, report::kConverted,
                                          report::kSkipped};
// The heading line kept, when there is one.
constexpr const char* kHeadingCaption = report::kHeadingLines;

int Usage(const std::string& reason)
{
    std::fprintf(stderr, "kompa-cli: convert: %s\n%s", reason.c_str(), kUsage);
    return 2;
}

bool ParseColumn(const std::string& text, int& column)
{
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 1)
        return false;
    column = value - 1;
    return true;
}

// Collects one stream's text and writes it in large pieces.
class Stream {
public:
    Stream(std::FILE* file, bool sjis) : file_(file), sjis_(sjis) {}
    ~Stream() { Flush(); }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    void Ascii(std::string_view text) { buffer_ += text; }
    void Text(std::string_view sjisText)
    {
        if (sjis_)
            buffer_ += sjisText;
        else
            AppendUtf8(buffer_, sjisText);
    }
    void EndLine()
    {
        buffer_ += '\n';
        if (buffer_.size() >= (1u << 16))
            Flush();
    }
    // False once anything could not be written, and for good.
    bool Flush()
    {
        if (!buffer_.empty() &&
            std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            ok_ = false;
        buffer_.clear();
        if (std::fflush(file_) != 0)
            ok_ = false;
        return ok_;
    }

private:
    std::FILE* file_;
    bool sjis_;
    bool ok_ = true;
    std::string buffer_;
};

enum class THeadingChoice { Auto, Yes, No };

struct Settings {
    std::string dictDir;
    bool withKen = false;
    bool sjis = false;
    int postCol = -1;
    int addrCol = -1;
    TCsvDialect dialect;
    std::string output;
    bool dryRun = false;
    TMatchMode match = TMatchMode::Precise;
    std::string report;
    int officeCol = -1;
    TEncodingChoice encoding = TEncodingChoice::Auto;
    THeadingChoice heading = THeadingChoice::Auto;
    bool json = false;
    std::string fileName;
    bool writeDelimiterGiven = false;
};

// Returns 0 when the settings are complete, else the usage error's exit status.
int ReadSettings(int argc, char** argv, Settings& settings)
{
    ParsedArgs args;
    std::string reason;
    if (!ParseArgs(argc, argv,
                   {{"dict", true},
                    {"ken", false},
                    {"sjis", false},
                    {"post-col", true},
                    {"addr-col", true},
                    {"read-delims", true},
                    {"write-delim", true},
                    {"quote", true},
                    {"output", true},
                    {"dry-run", false},
                    {"encoding", true},
                    {"match", true},
                    {"report", true},
                    {"office-col", true},
                    {"header", true},
                    {"format", true},
                    {"help", false}},
                   args, reason))
        return Usage(reason);
    if (args.Has("help")) {
        std::fputs(kUsage, stdout);
        return -1;
    }
    if (args.operands.size() != 1)
        return Usage("exactly one FILE is needed");
    settings.fileName = args.operands.front();
    settings.withKen = args.Has("ken");
    settings.sjis = args.Has("sjis");
    settings.dictDir = args.Has("dict") ? args.Value("dict") : FindDictionaryDir();
    if (!args.Has("post-col") || !ParseColumn(args.Value("post-col"), settings.postCol))
        return Usage("--post-col N is needed, N counting from 1");
    if (!args.Has("addr-col") || !ParseColumn(args.Value("addr-col"), settings.addrCol))
        return Usage("--addr-col M is needed, M counting from 1");
    if (settings.postCol == settings.addrCol)
        return Usage("--post-col and --addr-col name the same column");
    if (args.Has("read-delims") &&
        !ParseReadDelimiters(args.Value("read-delims"), settings.dialect, reason))
        return Usage("--read-delims: " + reason);
    settings.writeDelimiterGiven = args.Has("write-delim");
    if (args.Has("write-delim") &&
        !ParseWriteDelimiter(args.Value("write-delim"), settings.dialect, reason))
        return Usage("--write-delim: " + reason);
    if (args.Has("quote") && !ParseQuoteTargets(args.Value("quote"), settings.dialect, reason))
        return Usage("--quote: " + reason);
    if (args.Has("encoding")) {
        const std::string encoding = args.Value("encoding");
        if (encoding == "sjis")
            settings.encoding = TEncodingChoice::ShiftJis;
        else if (encoding == "utf-8")
            settings.encoding = TEncodingChoice::Utf8;
        else if (encoding != "auto")
            return Usage("--encoding: auto, sjis or utf-8, not '" + encoding + "'");
    }
    if (args.Has("match")) {
        const std::string mode = args.Value("match");
        if (mode == "literal")
            settings.match = TMatchMode::Literal;
        else if (mode != "precise")
            return Usage("--match: precise or literal, not '" + mode + "'");
    }
    if (args.Has("office-col")) {
        if (!ParseColumn(args.Value("office-col"), settings.officeCol))
            return Usage("--office-col K, K counting from 1");
        if (settings.officeCol == settings.postCol || settings.officeCol == settings.addrCol)
            return Usage("--office-col names the postal-code or the address column");
    }
    if (args.Has("report")) {
        settings.report = args.Value("report");
        if (settings.report.empty())
            return Usage("--report needs a file name");
    }
    if (args.Has("header")) {
        const std::string heading = args.Value("header");
        if (heading == "yes")
            settings.heading = THeadingChoice::Yes;
        else if (heading == "no")
            settings.heading = THeadingChoice::No;
        else if (heading != "auto")
            return Usage("--header: auto, yes or no, not '" + heading + "'");
    }
    if (args.Has("format")) {
        const std::string format = args.Value("format");
        settings.json = format == "json";
        if (!settings.json && format != "text")
            return Usage("--format: text or json, not '" + format + "'");
    }
    settings.dryRun = args.Has("dry-run");
    if (args.Has("output")) {
        if (settings.dryRun)
            return Usage("--output and --dry-run exclude each other");
        settings.output = args.Value("output");
        if (settings.output.empty())
            return Usage("--output needs a file name");
    }
    return 0;
}

// Keys in the order written.
using Json = nlohmann::ordered_json;

std::string JsonLine(const Json& object)
{
    // A UTF-8 book's field may hold a stray byte; it never makes the dump throw.
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The counts as one JSON object, under the names the text's captions have in English.
bool WriteJsonCounts(Stream& out, const TConversionPass& pass)
{
    Json counts = {{"records", pass.RecordCount()},
                   {"blank", pass.BlankCount()},
                   {"converted", pass.ConvCount()},
                   {"left", pass.SkipCount()}};
    if (pass.HasHeading())
        counts["heading"] = pass.HeadingCount();
    if (pass.MatchMode() == TMatchMode::Precise) {
        counts["new"] = pass.NewCount();
        counts["replaced"] = pass.ReplacedCount();
        counts["stale"] = pass.StaleCount();
        counts["kept"] = pass.KeptCount();
        counts["office"] = pass.OfficeCodeCount();
    }
    out.Ascii(JsonLine({{"counts", std::move(counts)}}));
    out.EndLine();
    return out.Flush();
}

// The four counts of the result dialog; false when they could not be written.
bool WriteCounts(Stream& out, const TConversionPass& pass, bool json)
{
    if (json)
        return WriteJsonCounts(out, pass);
    const int counts[] = {pass.RecordCount(), pass.BlankCount(), pass.ConvCount(),
                          pass.SkipCount()};
    for (int i = 0; i < 4; ++i) {
        out.Text(kCountCaptions[i]);
        out.Ascii(" " + std::to_string(counts[i]));
        out.EndLine();
    }
    if (pass.HasHeading()) {
        out.Text(kHeadingCaption);
        out.Ascii(" " + std::to_string(pass.HeadingCount()));
        out.EndLine();
    }
    if (pass.MatchMode() == TMatchMode::Precise) {
        const int codes[] = {pass.NewCount(), pass.ReplacedCount(), pass.StaleCount(),
                             pass.KeptCount()};
        for (int i = 0; i < 4; ++i) {
            out.Text(cp932::FromUtf8(kCodeCountCaptions[i]));
            out.Ascii(" " + std::to_string(codes[i]));
            out.EndLine();
        }
        if (pass.OfficeCodeCount() > 0) {
            out.Text(cp932::FromUtf8("事業所の番号"));
            out.Ascii(" " + std::to_string(pass.OfficeCodeCount()));
            out.EndLine();
        }
    }
    return out.Flush();
}

const char* OutcomeWord(TCodeOutcome outcome)
{
    switch (outcome) {
    case TCodeOutcome::Blank:
        return "blank";
    case TCodeOutcome::New:
        return "new";
    case TCodeOutcome::Replaced:
        return "replaced";
    case TCodeOutcome::Kept:
        return "kept";
    case TCodeOutcome::Left:
        break;
    }
    return "left";
}

void WriteJsonReportLine(Stream& report, const TRecordReport& r, bool utf8Book)
{
    const auto field = [&](const std::string& text) { return utf8Book ? text : SjisToUtf8(text); };
    report.Ascii(JsonLine({{"line", r.line},
                           {"before", field(r.before)},
                           {"after", field(r.after)},
                           {"outcome", OutcomeWord(r.outcome)},
                           {"stale", r.staleBefore},
                           {"rule", r.rule},
                           {"candidates", r.candidates}}));
    report.EndLine();
}

// One report line; a field with a tab or line end in it has them turned into blanks.
void WriteReportLine(Stream& report, const TRecordReport& r, bool utf8Book)
{
    auto field = [&](const std::string& text) {
        std::string clean = text;
        for (char& c : clean)
            if (c == '\t' || c == '\r' || c == '\n')
                c = ' ';
        if (utf8Book)
            report.Ascii(clean);
        else
            report.Text(clean);
    };
    report.Ascii(std::to_string(r.line) + "\t");
    field(r.before);
    report.Ascii("\t");
    field(r.after);
    report.Ascii(std::string("\t") + OutcomeWord(r.outcome) + (r.staleBefore ? "-stale" : "") +
                 "\t" + r.rule + "\t" + std::to_string(r.candidates));
    report.EndLine();
}

int CountsNotWritten(Stream& err)
{
    const int cause = errno;
    err.Ascii("kompa-cli: convert: cannot write the counts: ");
    err.Ascii(std::strerror(cause));
    err.Ascii("; nothing was saved");
    err.EndLine();
    return 1;
}

void WarnFieldCounts(const TConversionPass& pass, Stream& err)
{
    const int mismatch = pass.FirstFieldCountMismatch();
    if (mismatch < 0)
        return;
    const int reference = pass.FieldCountReference();
    TFieldList scratch;
    SplitFields(scratch, pass.Lines()[reference], pass.ReadDelimiters());
    const int firstCount = scratch.Count();
    SplitFields(scratch, pass.Lines()[mismatch], pass.ReadDelimiters());
    err.Ascii("kompa-cli: field counts differ: line " + std::to_string(reference + 1) + " has " +
              std::to_string(firstCount) + ", line " + std::to_string(mismatch + 1) + " has " +
              std::to_string(scratch.Count()) + "; converting every line anyway");
    err.EndLine();
}

// The files a message may name, so that a UTF-8 name is shown as it was given.
std::vector<std::string> NamedFiles(const Settings& settings)
{
    std::string dictFile = settings.dictDir;
    if (!dictFile.empty() && dictFile.back() != '/')
        dictFile += '/';
    dictFile += kAddressDictName;
    return {settings.fileName, TConversionPass::BackupFileName(settings.fileName), settings.output,
            dictFile};
}

int Convert(const Settings& settings, Stream& out, Stream& err)
{
    io::IgnoreFileSizeSignal();
    TPostCode postCode;
    TConversionPass pass(postCode);
    TCsvDialect dialect = settings.dialect;
    // The matcher is made while the book is read; whatever happens, its making has ended
    // before the command does.
    struct MatcherMade {
        ~MatcherMade() { match::ForgetPreciseMatchers(); }
    } matcherMade;
    if (settings.match == TMatchMode::Precise)
        match::StartPreciseMatcher(JoinPath(settings.dictDir, kAddressDictName));
    pass.SetEncodingChoice(settings.encoding);
    pass.LoadFromFile(settings.fileName, dialect.GetReadDelimiters(), dialect.GetQuoteTargets());
    // Nothing to convert: the counts are all 0 and nothing is written.
    if (pass.Lines().Count() == 0)
        return WriteCounts(out, pass, settings.json) ? 0 : CountsNotWritten(err);

    pass.SetColumns(settings.postCol, settings.addrCol);
    pass.SetWithKen(settings.withKen);
    if (!settings.writeDelimiterGiven)
        WriteWithTheBooksDelimiter(pass.Lines(), pass.ReadDelimiters(), dialect);
    pass.SetWriteDelimiterSource([&dialect] { return dialect.GetWriteDelimiter(); });
    pass.SetDictionaryDir(settings.dictDir);
    pass.SetMatchMode(settings.match);
    pass.SetOfficeColumn(settings.officeCol);
    std::FILE* reportFile = nullptr;
    // "-" is standard output: the report's lines come before the counts.
    const bool reportToStdout = settings.report == "-";
    if (reportToStdout) {
        reportFile = stdout;
    } else if (!settings.report.empty()) {
        reportFile = std::fopen(settings.report.c_str(), "w");
        if (!reportFile)
            Raise(FormatMessage(msg::kFileCreateError, settings.report));
    }
    struct Closer {
        std::FILE* f;
        ~Closer()
        {
            if (f && f != stdout)
                std::fclose(f);
        }
    } closeReport{reportFile};
    std::optional<Stream> report;
    if (reportFile) {
        report.emplace(reportFile, settings.sjis);
        const bool utf8Book = pass.Format().encoding == TTextEncoding::Utf8;
        pass.OnRecord = [&report, utf8Book, json = settings.json](const TRecordReport& r) {
            if (json)
                WriteJsonReportLine(*report, r, utf8Book);
            else
                WriteReportLine(*report, r, utf8Book);
        };
    }
    pass.ResetConversion(true);
    if (!postCode.IsOpen())
        Raise(msg::kNoDictionary);
    // Recognised over the open dictionary; the field counts leave the heading out.
    pass.SetHeading(
        settings.heading == THeadingChoice::Yes ||
        (settings.heading == THeadingChoice::Auto && pass.RecogniseHeading(settings.addrCol)));
    WarnFieldCounts(pass, err);
    // A heading names the report's columns: a first line beginning with '#'. A JSON record names
    // its own fields.
    if (report && pass.HasHeading() && !settings.json) {
        const std::string post = pass.ColumnName(settings.postCol);
        report->Ascii("#line\t");
        report->Text(post);
        report->Ascii(" before\t");
        report->Text(post);
        report->Ascii(" after\toutcome\trule\tcandidates");
        report->EndLine();
    }

    // Held until the pass has ended: a run that fails on a later record reports only the
    // failure, with the record's line.
    std::vector<TSkippedRecord> skipped;
    try {
        RunUnattended(pass,
                      [&skipped](const TSkippedRecord& record) { skipped.push_back(record); });
    } catch (const Exception& e) {
        if (pass.State() != TPassState::Stopped)
            throw;
        Raise("line " + std::to_string(pass.Current() + 1) + ": " + e.Message());
    }
    for (const TSkippedRecord& record : skipped) {
        err.Ascii("line " + std::to_string(record.line) + ": ");
        if (record.reason.empty())
            err.Ascii(std::to_string(LevelNumber(record.level)));
        else
            err.Text(record.reason);
        err.Ascii(" " + std::to_string(record.count) + " ");
        err.Text(record.key);
        err.EndLine();
    }
    err.Flush();
    if (report && !report->Flush()) {
        const int cause = errno;
        Raise(FormatMessage(msg::kFileCreateError, settings.report) + ": " + std::strerror(cause));
    }
    // A script that cannot learn the counts must not find its file changed either.
    if (!WriteCounts(out, pass, settings.json))
        return CountsNotWritten(err);

    if (settings.dryRun)
        return 0;
    if (!settings.output.empty()) {
        pass.SaveTo(settings.output);
        return 0;
    }
    if (pass.SaveWithBackup() != TSaveResult::Saved) {
        // Why, too: the backup name is taken, or is the file's own name.
        std::string text = msg::kCannotBackup;
        if (!pass.BackupProblem().empty())
            text += msg::kSentenceEnd + pass.BackupProblem();
        err.Ascii("kompa-cli: ");
        if (settings.sjis)
            err.Text(text);
        else
            err.Ascii(MessageToUtf8(text, NamedFiles(settings)));
        err.EndLine();
        return 1;
    }
    return 0;
}

} // namespace

int RunConvert(int argc, char** argv)
{
    Settings settings;
    if (int status = ReadSettings(argc, argv, settings); status != 0)
        return status < 0 ? 0 : status;
    Stream out(stdout, settings.sjis);
    Stream err(stderr, settings.sjis);
    try {
        return Convert(settings, out, err);
    } catch (const Exception& e) {
        err.Ascii("kompa-cli: ");
        if (settings.sjis)
            err.Text(e.Message());
        else
            err.Ascii(MessageToUtf8(e.Message(), NamedFiles(settings)));
        err.EndLine();
        return 1;
    } catch (const std::exception& e) {
        err.Ascii("kompa-cli: ");
        err.Ascii(e.what());
        err.EndLine();
        return 1;
    }
}

} // namespace kompa::cli
