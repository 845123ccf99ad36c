// Blocks kept in memory and searched in the order of their text must answer exactly as the walk
// of a freshly read block does: the same lines in file order, the same level, the same message.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "engine/io/messages.h"
#include "engine/source/source_line.h"
#include "tests/engine/dictionary_fixture.h"

namespace kompa::test {
namespace {

struct Answer {
    int level = 0;
    Lines lines;
    std::string message;
    bool operator==(const Answer&) const = default;
};

template <class Dict> Answer Ask(Dict& dict, const std::function<int(Dict&, TResultList&)>& query)
{
    Answer a;
    TStringResultList list;
    a.message = MessageOf([&] { a.level = query(dict, list); });
    a.lines = list.lines;
    return a;
}

// The answer of a dictionary that has answered before (the block is kept and ordered) against
// a dictionary opened afresh, which walks the block it reads.
template <class Dict>
void ExpectSameAsFresh(Dict& warm, const std::string& file,
                       const std::function<int(Dict&, TResultList&)>& query,
                       const std::string& what)
{
    Ask(warm, query);
    const Answer ordered = Ask(warm, query);
    Dict fresh;
    fresh.OpenDictionary(file);
    EXPECT_EQ(ordered, Ask(fresh, query)) << what;
}

TEST(KeptBlocks, EveryQueryKindMatchesTheWalkOverTheBundledData)
{
    FullDictionaries full;
    TCodeAddress codes;
    codes.OpenDictionary(full.CodeFile());
    TPostCode addresses;
    addresses.OpenDictionary(full.AddressFile());

    std::vector<std::string> source;
    const std::string whole = test::ReadFile(KOMPA_KEN_ALL);
    for (std::size_t at = 0, end; (end = whole.find("\r\n", at)) != std::string::npos; at = end + 2)
        source.push_back(whole.substr(at, end - at));
    const std::string ke = Sjis("ケ");
    const std::string smallKe = Sjis("ヶ");
    for (std::size_t i = 0; i < source.size(); i += 97) {
        const std::vector<std::string> f = SplitSourceLine(source[i]);
        const std::string& code = f[2];
        for (std::size_t n : {1, 3, 5, 7, 8}) {
            const std::string text = code.substr(0, n);
            for (bool withKen : {false, true})
                ExpectSameAsFresh<TCodeAddress>(
                    codes, full.CodeFile(),
                    [&](TCodeAddress& d, TResultList& l) { return d.Search(text, l, withKen), 0; },
                    "code " + text);
        }
        const std::string address = f[7] + f[8];
        std::vector<std::string> texts = {address,
                                          f[6] + address + Sjis("１－２"),
                                          f[7] + Sjis("存在しない町"),
                                          address.substr(0, 2),
                                          address.substr(0, 4) + "x",
                                          f[7] + f[8] + f[8]};
        for (const std::string& from : {ke, smallKe}) {
            std::string swapped = address;
            if (auto at = swapped.find(from); at != std::string::npos) {
                swapped.replace(at, 2, from == ke ? smallKe : ke);
                texts.push_back(swapped);
            }
        }
        for (const std::string& text : texts) {
            ExpectSameAsFresh<TPostCode>(
                addresses, full.AddressFile(),
                [&](TPostCode& d, TResultList& l) {
                    return LevelNumber(d.SearchAddress(text, l, true));
                },
                "address " + text);
            ExpectSameAsFresh<TPostCode>(
                addresses, full.AddressFile(),
                [&](TPostCode& d, TResultList& l) { return d.Search(text, l, false), 0; },
                "prefix " + text);
        }
    }
}

TEST(KeptBlocks, DamagedBlocksFailEveryTimeAndKeptOnesOutliveTheFile)
{
    TempDir dir;
    const std::string record = StoredRecord(Sjis("<1000005 千代田区丸の内"));
    const std::string name = dir.File("K.DIC");
    WriteFile(name, DictionaryImage(kAddressMagic, {{0x8C93, StoredRecord(Sjis("<1000001 東京"))},
                                                    {0xE790, record + '\0' + record}}));
    TPostCode dict;
    dict.OpenDictionary(name);
    TStringResultList list;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(MessageOf([&] { dict.SearchAddress(Sjis("千代田区"), list, false); }),
                  msg::kIntOverflow);
    }
    dict.Search(Sjis("東京"), list, false);
    std::filesystem::resize_file(name, 20);
    dict.Search(Sjis("東京"), list, false);
    EXPECT_EQ(list.lines, SjisLines({"1000001 東京"}));
}

} // namespace
} // namespace kompa::test
