#pragma once
// The queries done the plain way, over a dictionary file's bytes read here by the file's layout
// rather than through the reader. The unit tests and the dictionary fuzzer check the real
// queries against them.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/dictionary_format.h"

namespace kompa::test {

// A dictionary file as its bytes say: the index keys in file order and each entry's record
// texts. A block's walk ends at a record of length 0 or one that runs past the block; an entry
// whose block lies outside the file has no records. Nothing at all when the magic differs or the
// index does not fit in the file.
class PlainDictionary {
public:
    PlainDictionary(const std::string& fileName, std::string_view magic)
    {
        std::ifstream in(fileName, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        const auto size = static_cast<long long>(bytes.size());
        if (size < static_cast<long long>(format::kHeaderSize) ||
            bytes.compare(0, format::kMagicSize, magic) != 0)
            return;
        const std::int32_t count = format::GetLe32(data + format::kCountOffset);
        const long long indexEnd = static_cast<long long>(format::kHeaderSize) +
                                   static_cast<long long>(format::kEntrySize) * count;
        if (count < 0 || indexEnd > size)
            return;
        for (std::int32_t i = 0; i < count; ++i) {
            const unsigned char* entry = data + format::kHeaderSize + format::kEntrySize * i;
            const std::int32_t blockSize = format::GetLe32(entry + format::kEntrySizeField);
            const std::int32_t offset = format::GetLe32(entry + format::kEntryOffsetField);
            keys_.push_back(format::GetLe16(entry + format::kEntryKeyField));
            std::vector<std::string>& records = blocks_.emplace_back();
            if (blockSize < 0 || offset < 0 || static_cast<long long>(offset) + blockSize > size)
                continue;
            const long long end = static_cast<long long>(offset) + blockSize;
            for (long long pos = offset; pos < end && data[pos] != 0 && pos + data[pos] <= end;
                 pos += data[pos])
                records.emplace_back(bytes, static_cast<std::size_t>(pos) + 1, data[pos] - 1u);
        }
    }

    int Count() const { return static_cast<int>(keys_.size()); }
    std::uint16_t Key(int i) const { return keys_[static_cast<std::size_t>(i)]; }
    // The records of the entry a binary search of the index finds for key, as the reader looks
    // a key up (in a damaged index with keys out of order, which entry that is matters).
    const std::vector<std::string>& Find(std::uint16_t key) const
    {
        int lo = 0;
        int hi = Count() - 1;
        while (lo <= hi) {
            const int mid = lo + (hi - lo) / 2;
            if (Key(mid) == key)
                return blocks_[static_cast<std::size_t>(mid)];
            if (Key(mid) < key)
                lo = mid + 1;
            else
                hi = mid - 1;
        }
        return none_;
    }

private:
    std::vector<std::uint16_t> keys_;
    std::vector<std::vector<std::string>> blocks_;
    std::vector<std::string> none_;
};

// The whole-file search: every block by its key, in index order, and every record whose text
// holds the text first inside the address.
inline std::vector<std::string> PlainSearchAll(const std::string& fileName, std::string_view text)
{
    const PlainDictionary dict(fileName, kAddressMagic);
    std::vector<std::string> out;
    for (int i = 0; i < dict.Count(); ++i) {
        for (const std::string& record : dict.Find(dict.Key(i))) {
            const std::size_t at = record.find(text);
            if (at != std::string::npos && at >= format::kAddressStart)
                out.push_back(record.substr(1));
        }
    }
    return out;
}

} // namespace kompa::test
