#include "csv_fields.h"

#include "engine/io/errors.h"
#include "engine/io/messages.h"

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

namespace {

// The end of the plain field starting at cursor: the delimiter that ends it, or line.size().
std::size_t PlainFieldEnd(std::string_view line, std::size_t cursor, const TCharSet& delimiters)
{
    while (cursor < line.size() && !delimiters.Contains(line[cursor]))
        ++cursor;
    return cursor;
}

// Where the quoted field whose opening quote is at cursor ends, and whether its quotes closed.
std::size_t QuotedFieldEnd(std::string_view line, std::size_t cursor, const TCharSet& delimiters,
                           bool& closed)
{
    std::size_t pos = cursor + 1;
    closed = false;
    while (pos < line.size()) {
        if (line[pos] == kQuoteChar) {
            if (pos + 1 < line.size() && line[pos + 1] == kQuoteChar) {
                pos += 2;
                continue;
            }
            closed = true;
            return PlainFieldEnd(line, pos, delimiters);
        }
        ++pos;
    }
    return pos;
}

// Drops the opening quote and undoubles the rest in one walk: a quote is dropped and the byte
// after it kept whatever it is.
void Unquote(std::string_view raw, std::string& value)
{
    value.clear();
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
}

// Reads the field at cursor into value, reusing its buffer.
void ReadFieldInto(std::string_view line, std::size_t& cursor, const TCharSet& delimiters,
                   std::string& value)
{
    const std::size_t start = cursor;
    if (line[start] != kQuoteChar) {
        cursor = PlainFieldEnd(line, start, delimiters);
        value.assign(line.data() + start, cursor - start);
        return;
    }
    bool closed = false;
    cursor = QuotedFieldEnd(line, start, delimiters, closed);
    std::string_view raw = line.substr(start, cursor - start);
    // An unclosed field keeps all its bytes; a closed one is cut before its last quote, which
    // drops the closing quote and whatever stood between it and the delimiter.
    if (closed)
        raw = raw.substr(0, raw.rfind(kQuoteChar));
    Unquote(raw, value);
}

} // namespace

void SplitFields(TFieldList& fields, std::string_view line, const TCharSet& readDelimiters)
{
    // The strings of the last record are overwritten in place: a book's records mostly have the
    // same fields, so after the first record splitting seldom allocates.
    std::vector<std::string>& items = fields.Items();
    std::size_t count = 0;
    const auto next = [&]() -> std::string& {
        if (count == items.size())
            items.emplace_back();
        return items[count++];
    };
    if (!line.empty()) {
        std::size_t cursor = 0;
        for (;;) {
            ReadFieldInto(line, cursor, readDelimiters, next());
            if (cursor >= line.size())
                break;
            ++cursor; // the one delimiter that ended the field
            if (cursor == line.size()) {
                next().clear(); // a delimiter at the end encloses an empty last field
                break;
            }
        }
    }
    items.resize(count);
}

bool FieldAt(std::string_view line, int index, const TCharSet& readDelimiters, std::string& field)
{
    if (line.empty() || index < 0)
        return false;
    std::size_t cursor = 0;
    for (int k = 0;; ++k) {
        if (k == index) {
            ReadFieldInto(line, cursor, readDelimiters, field);
            return true;
        }
        bool closed = false;
        cursor = line[cursor] == kQuoteChar ? QuotedFieldEnd(line, cursor, readDelimiters, closed)
                                            : PlainFieldEnd(line, cursor, readDelimiters);
        if (cursor >= line.size())
            return false;
        ++cursor;
        if (cursor == line.size()) { // a delimiter at the end encloses an empty last field
            field.clear();
            return k + 1 == index;
        }
    }
}

int CountFields(std::string_view line, const TCharSet& readDelimiters)
{
    if (line.empty())
        return 0;
    int count = 0;
    std::size_t cursor = 0;
    for (;;) {
        ++count;
        bool closed = false;
        cursor = line[cursor] == kQuoteChar ? QuotedFieldEnd(line, cursor, readDelimiters, closed)
                                            : PlainFieldEnd(line, cursor, readDelimiters);
        if (cursor >= line.size())
            return count;
        ++cursor;
        if (cursor == line.size())
            return count + 1;
    }
}

void CollectDelimiters(std::string_view line, const TCharSet& readDelimiters, TCharSet& used)
{
    for (std::size_t cursor = 0; cursor < line.size(); ++cursor) {
        bool closed = false;
        cursor = line[cursor] == kQuoteChar ? QuotedFieldEnd(line, cursor, readDelimiters, closed)
                                            : PlainFieldEnd(line, cursor, readDelimiters);
        if (cursor >= line.size())
            return;
        used.Add(line[cursor]);
    }
}

std::string ReadPlainField(std::string_view line, std::size_t& cursor, const TCharSet& delimiters)
{
    const std::size_t start = cursor;
    cursor = PlainFieldEnd(line, start, delimiters);
    return std::string(line.substr(start, cursor - start));
}

std::string ReadQuotedField(std::string_view line, std::size_t& cursor, const TCharSet& delimiters)
{
    std::string value;
    ReadFieldInto(line, cursor, delimiters, value);
    return value;
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
    std::string line;
    JoinFields(fields, writeDelimiter, quoteTargets, line);
    return line;
}

void JoinFields(const TFieldList& fields, char writeDelimiter, const TCharSet& quoteTargets,
                std::string& line)
{
    TCharSet targets = quoteTargets;
    targets.Add(writeDelimiter);
    targets.Add(kQuoteChar);

    line.clear();
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
}

} // namespace kompa
