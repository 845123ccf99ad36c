#include "source_line.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kompa {

namespace {

// Fields are short: plain byte loops beat library scans that pay a call per field.
bool IsBlank(unsigned char c)
{
    return c >= 0x01 && c <= 0x20;
}

std::size_t SkipBlanks(std::string_view line, std::size_t pos)
{
    while (pos < line.size() && IsBlank(static_cast<unsigned char>(line[pos])))
        ++pos;
    return pos;
}

// Quoted fields are the long ones: look at 16 bytes at a time where the line has them.
std::size_t FindQuote(std::string_view line, std::size_t pos)
{
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"');
    while (pos + 16 <= line.size()) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + pos));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, quote)));
        if (mask != 0)
            return pos + static_cast<std::size_t>(__builtin_ctz(mask));
        pos += 16;
    }
#endif
    while (pos < line.size() && line[pos] != '"')
        ++pos;
    return pos;
}

// Reads a quoted field starting at its opening quote; returns the position after the closing
// quote, or the end of the line when the quote is never closed.
std::size_t ReadQuoted(std::string_view line, std::size_t pos, std::string_view& field,
                       std::string& scratch)
{
    const std::size_t start = ++pos;
    std::size_t quote = FindQuote(line, pos);
    if (quote == line.size()) {
        field = line.substr(start);
        return quote;
    }
    if (quote + 1 == line.size() || line[quote + 1] != '"') {
        field = line.substr(start, quote - start);
        return quote + 1;
    }
    // Doubled quotes inside: undouble into scratch, whose room was reserved for the whole line.
    const std::size_t from = scratch.size();
    for (;;) {
        scratch.append(line, pos, quote - pos);
        if (quote == line.size())
            break;
        if (quote + 1 < line.size() && line[quote + 1] == '"') {
            scratch.push_back('"');
            pos = quote + 2;
            quote = FindQuote(line, pos);
            continue;
        }
        ++quote;
        break;
    }
    field = std::string_view(scratch).substr(from);
    return quote;
}

std::size_t ReadPlain(std::string_view line, std::size_t pos, std::string_view& field)
{
    const std::size_t start = pos;
    while (pos < line.size() && line[pos] != ',' && !IsBlank(static_cast<unsigned char>(line[pos])))
        ++pos;
    field = line.substr(start, pos - start);
    return pos;
}

} // namespace

void SplitSourceLine(std::string_view line, std::vector<std::string_view>& fields,
                     std::string& scratch, std::size_t maxFields)
{
    fields.clear();
    scratch.clear();
    scratch.reserve(line.size());
    std::size_t pos = SkipBlanks(line, 0);
    if (pos == line.size())
        return;
    while (fields.size() < maxFields) {
        std::string_view field;
        if (pos < line.size() && line[pos] == '"')
            pos = ReadQuoted(line, pos, field, scratch);
        else
            pos = ReadPlain(line, pos, field);
        fields.push_back(field);

        pos = SkipBlanks(line, pos);
        if (pos == line.size())
            break;
        // After a comma (and the blanks after it) the next field starts, even at the end of the
        // line, where it is empty. Any other byte starts the next field itself.
        if (line[pos] == ',')
            pos = SkipBlanks(line, pos + 1);
    }
}

std::vector<std::string> SplitSourceLine(std::string_view line)
{
    std::vector<std::string_view> views;
    std::string scratch;
    SplitSourceLine(line, views, scratch);
    return {views.begin(), views.end()};
}

} // namespace kompa
