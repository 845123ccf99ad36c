#include "ministry_towns.h"

#include "conv/csv_fields.h"
#include "engine/source/source_text.h"
#include "engine/text/cp932.h"

namespace kompa::books {

bool LeavesParenOpen(std::string_view utf8Town)
{
    int depth = 0;
    for (std::size_t at = 0; (at = utf8Town.find("\xEF\xBC", at)) != std::string_view::npos; ++at) {
        if (at + 2 < utf8Town.size() && utf8Town[at + 2] == '\x88') // （
            ++depth;
        else if (at + 2 < utf8Town.size() && utf8Town[at + 2] == '\x89') // ）
            --depth;
    }
    return depth > 0;
}

std::vector<MinistryTown> ReadMinistryTowns(std::string_view sjisText)
{
    TCharSet comma;
    comma.Add(',');
    TFieldList fields;
    TSourceLines lines(sjisText);
    std::string_view line;
    std::vector<MinistryTown> towns;
    bool open = false;
    for (int number = 1; lines.Next(line, 1 << 16); ++number) {
        SplitFields(fields, line, comma);
        if (fields.Count() < 9)
            continue;
        std::string town = cp932::ToUtf8(fields[8]);
        if (open && towns.back().code == fields[2]) {
            towns.back().town += town;
            ++towns.back().lineCount;
        } else {
            towns.push_back({fields[2], cp932::ToUtf8(fields[6]), cp932::ToUtf8(fields[7]),
                             std::move(town), number, 1});
        }
        open = LeavesParenOpen(towns.back().town);
    }
    return towns;
}

} // namespace kompa::books
