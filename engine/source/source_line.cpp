#include "source_line.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kompa {

namespace {

// Blanks are 0x01 to 0x20; 0x00 wraps around to the top.
bool IsBlank(char c)
{
    return static_cast<unsigned char>(static_cast<unsigned char>(c) - 1u) < 0x20u;
}

const char* SkipBlanks(const char* p, const char* end)
{
    while (p < end && IsBlank(*p))
        ++p;
    return p;
}

// Quoted fields are the long ones: look at 16 bytes at a time where the line has them.
const char* FindQuote(const char* p, const char* end)
{
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"');
    while (end - p >= 16) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, quote)));
        if (mask != 0)
            return p + __builtin_ctz(mask);
        p += 16;
    }
#endif
    while (p < end && *p != '"')
        ++p;
    return p;
}

// Reads a quoted field from just after its opening quote; returns the position after the
// closing quote, or the end of the line when the quote is never closed.
const char* ReadQuoted(const char* p, const char* end, std::string_view& field,
                       std::string& scratch)
{
    const char* quote = FindQuote(p, end);
    if (quote == end || quote + 1 == end || quote[1] != '"') {
        field = std::string_view(p, static_cast<std::size_t>(quote - p));
        return quote == end ? end : quote + 1;
    }
    // Doubled quotes inside: undouble into scratch, whose room was reserved for the whole line.
    const std::size_t from = scratch.size();
    for (;;) {
        scratch.append(p, quote);
        if (quote == end)
            break;
        if (quote + 1 < end && quote[1] == '"') {
            scratch.push_back('"');
            p = quote + 2;
            quote = FindQuote(p, end);
            continue;
        }
        ++quote;
        break;
    }
    field = std::string_view(scratch).substr(from);
    return quote;
}

} // namespace

void SplitSourceLine(std::string_view line, std::vector<std::string_view>& fields,
                     std::string& scratch, std::size_t maxFields)
{
    fields.clear();
    scratch.clear();
    scratch.reserve(line.size());
    const char* end = line.data() + line.size();
    const char* p = SkipBlanks(line.data(), end);
    if (p == end)
        return;
    while (fields.size() < maxFields) {
        std::string_view field;
        if (p < end && *p == '"') {
            p = ReadQuoted(p + 1, end, field, scratch);
        } else {
            const char* start = p;
            while (p < end && *p != ',' && !IsBlank(*p))
                ++p;
            field = std::string_view(start, static_cast<std::size_t>(p - start));
        }
        fields.push_back(field);

        p = SkipBlanks(p, end);
        if (p == end)
            break;
        // After a comma (and the blanks after it) the next field starts, even at the end of the
        // line, where it is empty. Any other byte starts the next field itself.
        if (*p == ',')
            p = SkipBlanks(p + 1, end);
    }
}

bool SplitPlainSourceLine(std::string_view line, std::vector<std::string_view>& fields,
                          std::size_t maxFields)
{
    fields.clear();
    const char* p = line.data();
    const char* end = p + line.size();
    for (;;) {
        // Blanks to skip or a field left empty: the general rules decide.
        if (p == end || IsBlank(*p))
            return false;
        const char* start = p;
        const char* stop;
        if (*p == '"') {
            start = p + 1;
            stop = FindQuote(start, end);
            if (stop == end || (stop + 1 < end && stop[1] == '"'))
                return false; // never closed, or a doubled quote inside
            p = stop + 1;
        } else {
            while (p < end && *p != ',' && !IsBlank(*p))
                ++p;
            stop = p;
        }
        fields.emplace_back(start, static_cast<std::size_t>(stop - start));
        if (fields.size() == maxFields)
            return true;
        if (p == end || *p != ',')
            return false;
        ++p;
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
