#pragma once
// The whole-file search done the plain way: every block, every record,
// the first occurrence of the text inside the address. The unit tests and the dictionary fuzzer
// check the real search against it.

#include <string>
#include <string_view>
#include <vector>

#include "engine/dictionary/dictionary.h"

namespace kompa::test {

inline std::vector<std::string> PlainSearchAll(TPostCode& dict, std::string_view text)
{
    std::vector<std::string> out;
    for (int i = 0; i < dict.IndexCount(); ++i) {
        dict.LoadBlock(dict.IndexEntry(i).Key);
        const std::vector<std::string>& block = dict.Block();
        for (std::size_t r = 0; r < block.size(); ++r) {
            std::size_t at = block[r].find(text);
            if (at != std::string::npos && at >= 9)
                out.push_back(block[r].substr(1));
        }
    }
    return out;
}

} // namespace kompa::test
