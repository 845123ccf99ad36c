#include "book_score.h"

#include <cstdio>
#include <stdexcept>

#include "address_fold.h"
#include "conv/csv_fields.h"
#include "engine/text/cp932.h"
#include "engine/text/text_encoding.h"

namespace kompa::books {
namespace {

std::vector<TFieldList> Records(std::string_view bytes)
{
    const std::string text =
        DetectEncoding(bytes) == TTextEncoding::Utf8
            ? std::string(bytes.starts_with(kUtf8Bom) ? bytes.substr(3) : bytes)
            : cp932::ToUtf8(bytes);
    TCharSet comma;
    comma.Add(',');
    std::vector<TFieldList> records;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        start = end + 1;
        if (line.empty())
            continue;
        records.emplace_back();
        SplitFields(records.back(), line, comma);
    }
    return records;
}

std::string Field(const TFieldList& fields, int index)
{
    return index < fields.Count() ? fields[index] : std::string();
}

void Count(ScoreRow& row, bool decided, int outcome)
{
    ++row.records;
    row.decided += decided;
    switch (outcome) {
    case 0:
        ++row.right;
        row.rightUndecided += !decided;
        break;
    case 1:
        ++row.wrong;
        break;
    default:
        ++(decided ? row.leftDecided : row.leftUndecided);
        break;
    }
}

std::string Percent(int part, int whole)
{
    char text[16];
    std::snprintf(text, sizeof text, "%5.1f %%", whole ? 100.0 * part / whole : 0.0);
    return text;
}

std::string Row(const std::string& kind, const ScoreRow& row)
{
    char text[200];
    std::snprintf(text, sizeof text, "%-20s %7d %7d %7d %7d %6d %7d %7d  %s\n", kind.c_str(),
                  row.records, row.decided, row.right, row.rightUndecided, row.wrong,
                  row.leftDecided, row.leftUndecided,
                  Percent(row.rightDecided(), row.decided).c_str());
    return text;
}

} // namespace

std::optional<std::string> CodeOf(std::string_view utf8Field)
{
    std::string digits;
    const std::string key = FoldKey(utf8Field);
    std::string_view rest = key;
    if (rest.starts_with("〒"))
        rest.remove_prefix(std::string_view("〒").size());
    for (char c : rest) {
        if (c == '-')
            continue;
        if (c < '0' || c > '9')
            return std::nullopt;
        digits += c;
    }
    if (digits.size() != 7)
        return std::nullopt;
    return digits;
}

Score ScoreBooks(std::string_view bookBytes, std::string_view convertedBytes, std::size_t listed)
{
    const std::vector<TFieldList> book = Records(bookBytes);
    const std::vector<TFieldList> converted = Records(convertedBytes);
    if (book.size() != converted.size())
        throw std::runtime_error("the books hold " + std::to_string(book.size()) + " and " +
                                 std::to_string(converted.size()) + " records");
    Score score;
    for (std::size_t i = 0; i < book.size(); ++i) {
        const TFieldList& record = book[i];
        if (Field(record, 2) != Field(converted[i], 2))
            throw std::runtime_error("record " + std::to_string(i + 1) +
                                     " has another address after the conversion");
        const std::optional<std::string> before = CodeOf(Field(record, 1));
        const std::optional<std::string> after = CodeOf(Field(converted[i], 1));
        const std::string truth = Field(record, 3);
        const bool decided = Field(record, 4) == "1";
        const bool changed = after ? after != before : before.has_value();
        int outcome = 2;
        if (changed)
            outcome = after == truth ? 0 : 1;
        else if (before == truth)
            outcome = 0;
        Count(score.all, decided, outcome);
        Count(score.byKind[Field(record, 5)], decided, outcome);
        const std::string where = "  line " + std::to_string(i + 1) + " [" + Field(record, 5) +
                                  (decided ? ", decided" : ", undecided") + "] " +
                                  Field(record, 2) + "  was '" + Field(record, 1) + "'";
        if (outcome == 1 && decided)
            ++score.wrongOnDecided;
        if (outcome == 1 && score.wrongFills.size() < listed)
            score.wrongFills.push_back(where + " -> '" + Field(converted[i], 1) + "', true " +
                                       truth);
        if (outcome == 2 && decided && score.decidedLeft.size() < listed)
            score.decidedLeft.push_back(where + ", true " + truth);
    }
    return score;
}

std::string ScoreReport(const Score& score)
{
    std::string text = "kind                 records decided   right  (undec)  WRONG left-dec "
                       "left-und  right of decided\n";
    for (const auto& [kind, row] : score.byKind)
        text += Row(kind, row);
    text += Row("ALL", score.all);
    text += "\nwrong fills (first " + std::to_string(score.wrongFills.size()) + "):\n";
    for (const std::string& line : score.wrongFills)
        text += line + "\n";
    text += "\ndecided but left (first " + std::to_string(score.decidedLeft.size()) + "):\n";
    for (const std::string& line : score.decidedLeft)
        text += line + "\n";
    return text;
}

} // namespace kompa::books
