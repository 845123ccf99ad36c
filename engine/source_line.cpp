#include "source_line.h"

namespace kompa {

namespace {

bool IsBlank(unsigned char c)
{
    return c >= 0x01 && c <= 0x20;
}

// Reads a quoted field starting at the opening quote; returns the position after the closing
// quote, or the end of the line when the quote is never closed.
std::size_t ReadQuoted(std::string_view line, std::size_t pos, std::string& field)
{
    ++pos;
    while (pos < line.size()) {
        std::size_t quote = line.find('"', pos);
        if (quote == std::string_view::npos)
            break;
        field.append(line, pos, quote - pos);
        if (quote + 1 < line.size() && line[quote + 1] == '"') {
            field.push_back('"');
            pos = quote + 2;
            continue;
        }
        return quote + 1;
    }
    if (pos < line.size())
        field.append(line, pos, line.size() - pos);
    return line.size();
}

std::size_t ReadPlain(std::string_view line, std::size_t pos, std::string& field)
{
    std::size_t start = pos;
    while (pos < line.size() && line[pos] != ',' && !IsBlank(static_cast<unsigned char>(line[pos])))
        ++pos;
    field.assign(line, start, pos - start);
    return pos;
}

std::size_t SkipBlanks(std::string_view line, std::size_t pos)
{
    while (pos < line.size() && IsBlank(static_cast<unsigned char>(line[pos])))
        ++pos;
    return pos;
}

} // namespace

std::size_t SplitSourceLine(std::string_view line, std::vector<std::string>& fields,
                            std::size_t maxFields)
{
    std::size_t count = 0;
    std::size_t pos = SkipBlanks(line, 0);
    if (pos == line.size())
        return 0;
    while (count < maxFields) {
        if (fields.size() == count)
            fields.emplace_back();
        std::string& field = fields[count];
        field.clear();
        if (pos < line.size() && line[pos] == '"')
            pos = ReadQuoted(line, pos, field);
        else
            pos = ReadPlain(line, pos, field);
        ++count;

        pos = SkipBlanks(line, pos);
        if (pos == line.size())
            break;
        if (line[pos] == ',') {
            pos = SkipBlanks(line, pos + 1);
            // A comma at the end of the line still announces one more, empty field: the next
            // round reads it from the end.
        }
    }
    return count;
}

} // namespace kompa
