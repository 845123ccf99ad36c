#include "csv_fields.h"

#include "engine/errors.h"
#include "engine/messages.h"

namespace kompa {

void TFieldList::Check(int index) const
{
    if (index < 0 || index >= Count())
        Raise(msg::kListIndexOutOfBounds);
}

const std::string& TFieldList::Get(int index) const
{
    Check(index);
    return items_[static_cast<std::size_t>(index)];
}

void TFieldList::Put(int index, std::string field)
{
    Check(index);
    items_[static_cast<std::size_t>(index)] = std::move(field);
}

void SplitFields(TFieldList& fields, std::string_view line, const TCharSet& readDelimiters)
{
    fields.Clear();
    if (line.empty())
        return;
    std::size_t cursor = 0;
    for (;;) {
        if (line[cursor] == kQuoteChar)
            fields.Add(ReadQuotedField(line, cursor, readDelimiters));
        else
            fields.Add(ReadPlainField(line, cursor, readDelimiters));
        if (cursor >= line.size())
            return;
        ++cursor; // the one delimiter that ended the field
        if (cursor == line.size()) {
            fields.Add(std::string()); // a delimiter at the end encloses an empty last field
            return;
        }
    }
}

std::string ReadPlainField(std::string_view line, std::size_t& cursor, const TCharSet& delimiters)
{
    const std::size_t start = cursor;
    while (cursor < line.size() && !delimiters.Contains(line[cursor]))
        ++cursor;
    return std::string(line.substr(start, cursor - start));
}

namespace {

// Drops the opening quote and undoubles the rest in one walk: a quote is dropped and the byte
// after it kept whatever it is.
std::string Unquote(std::string_view raw)
{
    std::string value;
    value.reserve(raw.size());
    std::size_t i = 0; // raw[0], the opening quote, pairs with the byte after it
    while (i < raw.size()) {
        if (raw[i] == kQuoteChar) {
            if (i + 1 < raw.size())
                value += raw[i + 1];
            i += 2;
        } else {
            value += raw[i];
            ++i;
        }
    }
    return value;
}

} // namespace

std::string ReadQuotedField(std::string_view line, std::size_t& cursor, const TCharSet& delimiters)
{
    const std::size_t start = cursor;
    std::size_t pos = cursor + 1;
    bool closed = false;
    while (pos < line.size()) {
        if (line[pos] == kQuoteChar) {
            if (pos + 1 < line.size() && line[pos + 1] == kQuoteChar) {
                pos += 2;
                continue;
            }
            closed = true;
            while (pos < line.size() && !delimiters.Contains(line[pos]))
                ++pos;
            break;
        }
        ++pos;
    }
    cursor = pos;
    std::string_view raw = line.substr(start, pos - start);
    // An unclosed field keeps all its bytes; a closed one is cut before its last quote, which
    // drops the closing quote and whatever stood between it and the delimiter.
    if (closed)
        raw = raw.substr(0, raw.rfind(kQuoteChar));
    return Unquote(raw);
}

void QuoteField(std::string& field)
{
    std::string quoted;
    quoted.reserve(field.size() + 2);
    quoted += kQuoteChar;
    for (char c : field) {
        if (c == kQuoteChar)
            quoted += kQuoteChar;
        quoted += c;
    }
    quoted += kQuoteChar;
    field = std::move(quoted);
}

std::string JoinFields(const TFieldList& fields, char writeDelimiter, const TCharSet& quoteTargets)
{
    TCharSet targets = quoteTargets;
    targets.Add(writeDelimiter);
    targets.Add(kQuoteChar);

    std::string line;
    std::size_t total = 0;
    for (const std::string& field : fields.Items())
        total += field.size() + 3;
    line.reserve(total);
    bool first = true;
    for (const std::string& field : fields.Items()) {
        if (!first)
            line += writeDelimiter;
        first = false;
        bool quote = false;
        for (char c : field)
            if (targets.Contains(c)) {
                quote = true;
                break;
            }
        if (!quote) {
            line += field;
            continue;
        }
        line += kQuoteChar;
        for (char c : field) {
            if (c == kQuoteChar)
                line += kQuoteChar;
            line += c;
        }
        line += kQuoteChar;
    }
    return line;
}

} // namespace kompa
