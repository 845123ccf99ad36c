#include "cli/dialect_options.h"

#include "conv/csv_fields.h"

#include <vector>

namespace kompa {

namespace {

std::vector<std::string_view> SplitList(std::string_view list)
{
    std::vector<std::string_view> words;
    for (;;) {
        const std::size_t comma = list.find(',');
        words.push_back(list.substr(0, comma));
        if (comma == std::string_view::npos)
            return words;
        list.remove_prefix(comma + 1);
    }
}

// "char:X" with X one byte. "char:," is a comma, so a list is split only before "char:".
bool CharWord(std::string_view word, std::string& value)
{
    constexpr std::string_view prefix = "char:";
    if (word.substr(0, prefix.size()) != prefix || word.size() != prefix.size() + 1)
        return false;
    value.assign(1, word.back());
    return true;
}

// Like SplitList, but a "char:" word takes the byte after it whatever it is.
std::vector<std::string_view> SplitReadList(std::string_view list)
{
    std::vector<std::string_view> words;
    std::size_t start = 0;
    std::size_t pos = 0;
    while (pos <= list.size()) {
        if (list.substr(pos, 5) == "char:" && pos == start && pos + 5 < list.size()) {
            pos += 6;
            continue;
        }
        if (pos == list.size() || list[pos] == ',') {
            words.push_back(list.substr(start, pos - start));
            start = pos + 1;
        }
        ++pos;
    }
    return words;
}

bool Unknown(std::string_view word, std::string& error)
{
    error = "unknown word '" + std::string(word) + "'";
    return false;
}

} // namespace

bool ParseReadDelimiters(std::string_view list, TCsvDialect& dialect, std::string& error)
{
    dialect.rcbComma = dialect.rcbTAb = dialect.rcbBlank = dialect.rcbOther = false;
    dialect.rcbDs = false;
    dialect.edRSep.clear();
    if (list == "none")
        return true;
    for (std::string_view word : SplitReadList(list)) {
        if (word == "comma")
            dialect.rcbComma = true;
        else if (word == "tab")
            dialect.rcbTAb = true;
        else if (word == "space")
            dialect.rcbBlank = true;
        else if (word == "control")
            dialect.rcbOther = true;
        else if (!dialect.rcbDs && CharWord(word, dialect.edRSep))
            dialect.rcbDs = true;
        else
            return Unknown(word, error);
    }
    return true;
}

bool ParseWriteDelimiter(std::string_view word, TCsvDialect& dialect, std::string& error)
{
    dialect.edWSep.clear();
    if (word == "comma")
        dialect.rgSep = 0;
    else if (word == "tab")
        dialect.rgSep = 1;
    else if (word == "space")
        dialect.rgSep = 2;
    else if (CharWord(word, dialect.edWSep))
        dialect.rgSep = 3;
    else
        return Unknown(word, error);
    return true;
}

bool ParseQuoteTargets(std::string_view list, TCsvDialect& dialect, std::string& error)
{
    dialect.wcbTab = dialect.wcbBlank = dialect.wcbOther = dialect.wcbAll = false;
    if (list == "none")
        return true;
    for (std::string_view word : SplitList(list)) {
        if (word == "tab")
            dialect.wcbTab = true;
        else if (word == "space")
            dialect.wcbBlank = true;
        else if (word == "control")
            dialect.wcbOther = true;
        else if (word == "all")
            dialect.wcbAll = true;
        else
            return Unknown(word, error);
    }
    return true;
}

void WriteWithTheBooksDelimiter(const TBookLines& lines, const TCharSet& readDelimiters,
                                TCsvDialect& dialect)
{
    TCharSet used;
    int distinct = 0;
    unsigned char only = 0;
    for (int i = 0; i < lines.Count() && distinct < 2; ++i) {
        const TCharSet before = used;
        CollectDelimiters(lines[i], readDelimiters, used);
        if (used == before)
            continue;
        distinct = 0;
        for (unsigned c = 0; c < 256 && distinct < 2; ++c)
            if (used.Contains(static_cast<unsigned char>(c))) {
                ++distinct;
                only = static_cast<unsigned char>(c);
            }
    }
    if (distinct != 1)
        return;
    const char c = static_cast<char>(only);
    dialect.rgSep = c == ',' ? 0 : c == '\t' ? 1 : c == ' ' ? 2 : 3;
    if (dialect.rgSep == 3)
        dialect.edWSep = std::string(1, c);
}

} // namespace kompa
