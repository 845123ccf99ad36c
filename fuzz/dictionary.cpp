// Arbitrary bytes opened as either dictionary, then every kind of query on them. Input: a flag
// byte (bit 0 address dictionary, bit 1 put the right magic in front, bit 2 with prefecture), a
// query length byte, the query, then the file's bytes.

#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/dictionary/dictionary.h"
#include "engine/io/errors.h"
#include "engine/text/int_parse.h"
#include "fuzz/scratch_file.h"
#include "tests/support/plain_search.h"

namespace {

using namespace kompa;

const std::string& ScratchFile()
{
    return fuzz::ScratchFile("kompa-fuzz-dict-");
}

// Runs the query; returns its failure message, empty when it answered.
template <class Query> std::string Run(TStringResultList& list, Query&& query)
{
    std::string message;
    try {
        query();
    } catch (const Exception& e) {
        message = e.Message() + " ";
    }
    if (list.updateDepth != 0)
        __builtin_trap();
    return message;
}

// The first query of a block walks it; the next ones search its records in their order. Both
// must give the same answer: lines, result code and message. Query gets a dictionary of its own,
// freshly opened.
template <class Dict, class Query> void AskTwice(Query&& query)
{
    Dict dict;
    dict.OpenDictionary(ScratchFile());
    TStringResultList list;
    int first = 0;
    const std::string message = Run(list, [&] { first = query(dict, list); });
    const std::vector<std::string> lines = list.lines;
    for (int i = 0; i < 2; ++i) {
        int again = 0;
        if (Run(list, [&] { again = query(dict, list); }) != message || again != first ||
            list.lines != lines)
            __builtin_trap();
    }
}

// The code query done the plain way over the file's bytes, by the definition of a code match:
// the records of the block of the text's first three characters whose code begins with the
// text's first seven.
std::vector<std::string> PlainCodeSearch(std::string_view text)
{
    const test::PlainDictionary dict(ScratchFile(), kCodeMagic);
    std::vector<std::string> out;
    const std::size_t n = std::min<std::size_t>(text.size(), 7);
    const auto key = static_cast<std::uint16_t>(StrToIntDef(text.substr(0, 3), 0));
    for (const std::string& record : dict.Find(key)) {
        if (n == 0 || (record.size() >= n + 1 && record.compare(1, n, text.substr(0, n)) == 0))
            out.push_back(record.substr(std::min<std::size_t>(1, record.size())));
    }
    return out;
}

void QueryCodes(const std::string& query, bool withKen)
{
    TCodeAddress dict;
    dict.OpenDictionary(ScratchFile());
    TStringResultList list;
    bool searched = false;
    Run(list, [&] {
        dict.Search(query, list, false);
        searched = true;
    });
    if (searched && list.lines != PlainCodeSearch(query))
        __builtin_trap();
    AskTwice<TCodeAddress>(
        [&](TCodeAddress& d, TStringResultList& l) { return d.Search(query, l, withKen), 0; });
    Run(list, [&] { dict.Search(query, list, withKen); });
    Run(list, [&] { dict.Search("1000001", list, withKen); });
    Run(list, [&] { dict.Search("", list, withKen); });
}

void QueryAddresses(const std::string& query, bool withKen)
{
    TPostCode dict;
    dict.OpenDictionary(ScratchFile());
    TStringResultList list;
    Run(list, [&] { dict.Search(query, list, withKen); });
    Run(list, [&] {
        const int level = LevelNumber(dict.SearchAddress(query, list, withKen));
        bool listed = list.Count() > 0;
        if ((level == 1 || level == 2 || level == 5) != listed)
            __builtin_trap();
    });
    AskTwice<TPostCode>([&](TPostCode& d, TStringResultList& l) {
        return LevelNumber(d.SearchAddress(query, l, withKen));
    });
    AskTwice<TPostCode>(
        [&](TPostCode& d, TStringResultList& l) { return d.Search(query, l, !withKen), 0; });
    bool searched = false;
    Run(list, [&] {
        dict.SearchAll(query, list, false);
        searched = true;
    });
    // A file the dictionary refused leaves nothing to search, whatever its bytes hold.
    if (searched && query.size() >= 2 && dict.IsOpen()) {
        std::vector<std::string> found = list.lines;
        if (found != kompa::test::PlainSearchAll(ScratchFile(), query))
            __builtin_trap();
    }
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
    const bool address = (flags & 1) != 0;
    if ((flags & 2) != 0)
        image.insert(0, address ? kAddressMagic : kCodeMagic);
    fuzz::WriteScratch(ScratchFile(), image);
    if (address)
        QueryAddresses(query, (flags & 4) != 0);
    else
        QueryCodes(query, (flags & 4) != 0);
    return 0;
}
