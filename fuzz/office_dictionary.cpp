// Arbitrary bytes opened as an office dictionary, then its code queries and name searches. A
// block is answered first as read from the file, then as kept, then out of everything loaded for
// a name search: all three answers must agree. Input: a flag byte (bit 0 put the magic in front,
// bit 1 with prefecture), a query length byte, the query, then the file's bytes.

#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/dictionary/office_dictionary.h"
#include "engine/io/errors.h"
#include "fuzz/scratch_file.h"

namespace {

using namespace kompa;

const std::string& ScratchFile()
{
    return fuzz::ScratchFile("kompa-fuzz-office-");
}

// The lines of a query, or its failure message; the update bracket must be closed either way.
template <class Query> std::string Answer(Query&& query)
{
    TStringResultList list;
    std::string answer;
    try {
        query(list);
    } catch (const Exception& e) {
        answer = "! " + e.Message();
    }
    if (list.updateDepth != 0)
        __builtin_trap();
    for (const std::string& line : list.lines)
        answer += line + "\n";
    return answer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::optional<fuzz::DictionaryInput> input = fuzz::SplitInput(data, size);
    if (!input)
        return 0;
    const std::uint8_t flags = input->flags;
    const std::string& query = input->query;
    std::string& image = input->image;
    if ((flags & 1) != 0)
        image.insert(0, kOfficeMagic);
    const bool withKen = (flags & 2) != 0;
    fuzz::WriteScratch(ScratchFile(), image);

    TOfficeDictionary dict;
    try {
        dict.OpenDictionary(ScratchFile());
    } catch (const Exception&) {
        return 0;
    }
    auto code = [&](const std::string& text) {
        return Answer([&](TResultList& list) { dict.AddCodeLines(text, list, withKen); });
    };
    const std::string read = code(query);
    if (code(query) != read)
        __builtin_trap();
    const std::string known = code("1008926");
    const std::string names =
        Answer([&](TResultList& list) { dict.SearchName(query, list, withKen); });
    // A failed name search leaves nothing loaded, so the blocks answer as before either way.
    if (code(query) != read || code("1008926") != known)
        __builtin_trap();
    for (const TNameMatch match : {TNameMatch::Holds, TNameMatch::Equals}) {
        try {
            for (const TOffice& office : dict.FindByName(query, match))
                if (office.code.size() != 7 || office.name.empty())
                    __builtin_trap();
        } catch (const Exception&) {
        }
    }
    return 0;
}
