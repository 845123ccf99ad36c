// Reading side of both dictionaries: opening a file and holding its index, loading one block,
// and the code query. A block is read into one reused buffer and scanned in place; strings are
// made only for the lines a query lists (and for FBlock when someone asks for it).

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <typeinfo>

#include "dictionary.h"
#include "errors.h"
#include "int_parse.h"
#include "ken.h"
#include "messages.h"

namespace kompa {

namespace {

constexpr long long kHeaderSize = 12; // magic and count

// Thrown inside OpenDictionary for a file that is not a dictionary; never leaves it.
struct NotADictionary {};

std::int32_t LoadInt32(const unsigned char* p)
{
    std::uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
    return static_cast<std::int32_t>(v);
}

// The code test of MatchRecord: the first n (at most 7) bytes of the search text against the
// code, which starts at the record's second byte. A record of 8 bytes or more is compared as one
// 64-bit word under a mask; the code query runs this on every record of its block.
class CodePrefix {
public:
    explicit CodePrefix(std::string_view searchText)
        : n_(std::min<std::size_t>(searchText.size(), 7)), searchText_(searchText)
    {
        for (std::size_t i = 0; i < n_; ++i) {
            pattern_ |= std::uint64_t{static_cast<unsigned char>(searchText[i])} << (8 * (i + 1));
            mask_ |= std::uint64_t{0xFF} << (8 * (i + 1));
        }
    }
    bool operator()(std::string_view record) const
    {
        if (n_ == 0)
            return true;
        if (record.size() >= 8) {
            std::uint64_t word;
            std::memcpy(&word, record.data(), 8);
            return ((LittleEndian(word) ^ pattern_) & mask_) == 0;
        }
        if (record.size() < n_ + 1)
            return false;
        return record.compare(1, n_, searchText_.substr(0, n_)) == 0;
    }

private:
    static std::uint64_t LittleEndian(std::uint64_t word)
    {
        if constexpr (std::endian::native == std::endian::big)
            return __builtin_bswap64(word);
        return word;
    }

    std::size_t n_;
    std::string_view searchText_;
    std::uint64_t pattern_ = 0;
    std::uint64_t mask_ = 0;
};

} // namespace

void TCodeAddress::OpenDictionary(const std::string& fileName)
{
    FStream.Close();
    if (!FStream.Open(fileName)) {
        CloseDictionary();
        Raise(FormatMessage(msg::kFileOpenError, fileName));
    }
    try {
        unsigned char header[kHeaderSize];
        if (FStream.ReadAt(0, header, sizeof header) < 8 || std::memcmp(header, FMagic, 8) != 0)
            throw NotADictionary{};
        if (FStream.ReadAt(0, header, sizeof header) < sizeof header)
            throw NotADictionary{};
        std::int32_t count = LoadInt32(header + 8);
        if (count < 0)
            throw NotADictionary{};
        // An index that cannot fit in the file is refused before anything is allocated for it.
        long long indexBytes = 10LL * count;
        if (kHeaderSize + indexBytes > FStream.Size())
            throw NotADictionary{};
        FIndex.resize(static_cast<std::size_t>(count));
        if (FStream.ReadAt(kHeaderSize, FIndex.data(), static_cast<std::size_t>(indexBytes)) !=
            static_cast<std::size_t>(indexBytes))
            throw NotADictionary{};
        FIndexCount = count;
    } catch (const NotADictionary&) {
        CloseDictionary();
    } catch (const std::bad_alloc&) {
        CloseDictionary();
    } catch (const Exception&) { // a read error of the header or index
        CloseDictionary();
    }
}

void TCodeAddress::CloseDictionary()
{
    FStream.Close();
    std::vector<TIndexEntry>().swap(FIndex);
    FIndexCount = 0;
}

int TCodeAddress::FindIndex(std::uint16_t key) const
{
    int lo = 0;
    int hi = FIndexCount - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        std::uint16_t midKey = FIndex[static_cast<std::size_t>(mid)].Key;
        if (midKey == key)
            return mid;
        if (midKey < key)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

void TCodeAddress::LoadBlock(std::uint16_t key)
{
    if (!IsOpen())
        Raise(msg::kNoDictionary);
    FBlockUsed = 0;
    FRecordStarts.clear();
    FBlockCapacity = 0;
    FBlockPending = true;
    int i = FindIndex(key);
    if (i < 0)
        return;
    ReadBlockBytes(FIndex[static_cast<std::size_t>(i)]);
}

void TCodeAddress::ReadBlockBytes(const TIndexEntry& entry)
{
    // The list is sized to Size div 20 first, so that is what refuses a very negative size.
    int capacity = entry.Size / 20;
    if (capacity < 0)
        Raise(msg::kListIndexError);
    // A damaged entry never makes us allocate or read beyond the file.
    if (entry.Size < 0 || entry.Offset < 0 ||
        static_cast<long long>(entry.Offset) + entry.Size > FStream.Size())
        Raise(msg::kStreamReadError);
    FBlockCapacity = capacity;

    auto size = static_cast<std::size_t>(entry.Size);
    if (FBlockBytes.size() < size)
        FBlockBytes.resize(size);
    if (FStream.ReadAt(entry.Offset, FBlockBytes.data(), size) != size)
        Raise(msg::kStreamReadError);

    // Walk the length bytes once; a record that runs past the block ends the block.
    const auto* bytes = reinterpret_cast<const unsigned char*>(FBlockBytes.data());
    std::size_t pos = 0;
    while (pos < size) {
        std::size_t length = bytes[pos];
        if (length == 0) {
            FBlockUsed = pos;
            Raise(msg::kIntOverflow);
        }
        if (length > size - pos)
            break;
        FRecordStarts.push_back(static_cast<std::uint32_t>(pos));
        pos += length;
    }
    FBlockUsed = pos;
}

const TLightStrings& TCodeAddress::Block() const
{
    if (FBlockPending) {
        FBlockPending = false;
        FBlock.Clear();
        FBlock.SetCapacity(FBlockCapacity);
        ForEachRecord([this](std::string_view record) { FBlock.Add(std::string(record)); });
    }
    return FBlock;
}

bool TCodeAddress::MatchRecord(std::string_view recordText) const
{
    return CodePrefix(FSearchText)(recordText);
}

namespace {

void AppendResultLine(std::string& line, std::string_view recordText, bool withKen)
{
    if (!withKen) {
        line.append(recordText.substr(std::min<std::size_t>(1, recordText.size())));
        return;
    }
    // A record too short to hold a prefecture character has none in range.
    std::string_view ken = KenName(recordText.empty() ? 0 : recordText[0]);
    line.append(recordText.substr(std::min<std::size_t>(1, recordText.size()), 7));
    line += ' ';
    line.append(ken);
    if (recordText.size() > 9)
        line.append(recordText.substr(9));
}

} // namespace

std::string TCodeAddress::ResultLine(std::string_view recordText, bool withKen)
{
    std::string line;
    AppendResultLine(line, recordText, withKen);
    return line;
}

void TCodeAddress::AddResultLine(TResultList& list, std::string_view recordText, bool withKen)
{
    if (!withKen) {
        list.Add(recordText.substr(std::min<std::size_t>(1, recordText.size())));
        return;
    }
    thread_local std::string line;
    line.clear();
    AppendResultLine(line, recordText, withKen);
    list.Add(line);
}

void TCodeAddress::SearchBlock(std::uint16_t key, TResultList& list, bool withKen)
{
    list.Clear();
    LoadBlock(key);
    UpdateBracket bracket(list);
    auto listMatches = [&](auto matches) {
        ForEachRecord([&](std::string_view record) {
            if (matches(record))
                AddResultLine(list, record, withKen);
        });
    };
    // The code query walks hundreds of records for a line or two; when MatchRecord cannot be
    // overridden, the test is inlined instead of called through the virtual table.
    if (typeid(*this) == typeid(TCodeAddress))
        listMatches(CodePrefix(FSearchText));
    else
        listMatches([this](std::string_view r) { return MatchRecord(r); });
}

void TCodeAddress::Search(std::string_view text, TResultList& list, bool withKen)
{
    FSearchText.assign(text);
    std::int32_t key = StrToIntDef(text.substr(0, 3), 0);
    if (key < 0 || key > 0xFFFF)
        Raise(msg::kRangeCheckError);
    SearchBlock(static_cast<std::uint16_t>(key), list, withKen);
}

} // namespace kompa
