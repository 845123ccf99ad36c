// Reading side of both dictionaries: opening a file and holding its index, loading a block (read
// once, then kept), and the code query. Blocks are scanned in place; strings are made only for
// the lines a query lists.

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <optional>
#include <typeinfo>

#include "dictionary.h"
#include "dictionary_format.h"
#include "engine/io/errors.h"
#include "engine/io/file_set.h"
#include "engine/io/messages.h"
#include "engine/source/ken.h"
#include "engine/text/int_parse.h"

namespace kompa {

namespace {

// Thrown inside OpenDictionary for a file that is not a dictionary; never leaves it.
struct NotADictionary {};

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
    FOpenFileName.clear();
    ForgetBlocks();
    // A replacement of the pair that was interrupted is completed before anything is read, so
    // no reader sees one new file beside an old one.
    std::optional<io::Directory> dir;
    try {
        dir = io::RecoverBeforeReading(fileName);
    } catch (const Exception&) {
        CloseDictionary();
        throw;
    }
    if (!FStream.Open(fileName)) {
        CloseDictionary();
        Raise(FormatMessage(msg::kFileOpenError, fileName));
    }
    try {
        unsigned char header[format::kHeaderSize];
        if (FStream.ReadAt(0, header, sizeof header) < format::kMagicSize ||
            std::memcmp(header, FMagic, format::kMagicSize) != 0)
            throw NotADictionary{};
        if (FStream.ReadAt(0, header, sizeof header) < sizeof header)
            throw NotADictionary{};
        std::int32_t count = format::GetLe32(header + format::kCountOffset);
        if (count < 0)
            throw NotADictionary{};
        // An index that cannot fit in the file is refused before anything is allocated for it.
        const long long indexBytes = static_cast<long long>(format::kEntrySize) * count;
        if (static_cast<long long>(format::kHeaderSize) + indexBytes > FStream.Size())
            throw NotADictionary{};
        std::vector<unsigned char> raw(static_cast<std::size_t>(indexBytes));
        if (FStream.ReadAt(format::kHeaderSize, raw.data(), raw.size()) != raw.size())
            throw NotADictionary{};
        FIndex.resize(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < FIndex.size(); ++i)
            FIndex[i] = format::GetEntry(raw.data() + format::kEntrySize * i);
        FKept.resize(FIndex.size());
        FIndexCount = count;
        FOpenFileName = fileName;
    } catch (const NotADictionary&) {
        CloseDictionary();
    } catch (const std::bad_alloc&) {
        CloseDictionary();
    } catch (const Exception&) { // a read error of the header or index
        CloseDictionary();
    }
    // A file of the pair replaced by hand, while its partner stayed, is not used.
    if (IsOpen() && dir) {
        if (const auto mixed =
                io::MixedSetMember(*dir, kDictionarySetName, io::NamePart(fileName))) {
            CloseDictionary();
            Raise(FormatMessage(msg::kSetMixed, dir->Path() + *mixed));
        }
    }
}

void TCodeAddress::CloseDictionary()
{
    FStream.Close();
    FOpenFileName.clear();
    std::vector<TIndexEntry>().swap(FIndex);
    FIndexCount = 0;
    ForgetBlocks();
}

void TCodeAddress::ForgetBlocks()
{
    FCurrentBytes = nullptr;
    FCurrentUsed = 0;
    FCurrentKept = nullptr;
    std::vector<std::unique_ptr<KeptBlock>>().swap(FKept);
    FKeptBytes = 0;
    FLooseBytes.reset();
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
    FCurrentBytes = nullptr;
    FCurrentUsed = 0;
    FCurrentKept = nullptr;
    int i = FindIndex(key);
    if (i < 0)
        return;
    if (KeptBlock* kept = FKept[static_cast<std::size_t>(i)].get()) {
        FCurrentBytes = kept->bytes.get();
        FCurrentUsed = kept->used;
        FCurrentKept = kept;
        return;
    }
    ReadBlockBytes(i);
}

void TCodeAddress::ReadBlockBytes(int position)
{
    const TIndexEntry& entry = FIndex[static_cast<std::size_t>(position)];
    // The list is sized to Size div 20 first, so that is what refuses a very negative size.
    int capacity = entry.Size / 20;
    if (capacity < 0)
        Raise(msg::kListIndexError);
    // A damaged entry never makes us allocate or read beyond the file.
    if (entry.Size < 0 || entry.Offset < 0 ||
        static_cast<long long>(entry.Offset) + entry.Size > FStream.Size())
        Raise(msg::kStreamReadError);

    auto size = static_cast<std::size_t>(entry.Size);
    auto bytes = std::make_unique_for_overwrite<char[]>(size + RecordOrder::kPadding);
    std::memset(bytes.get() + size, 0, RecordOrder::kPadding);
    if (FStream.ReadAt(entry.Offset, bytes.get(), size) != size)
        Raise(msg::kStreamReadError);

    // Walk the length bytes once; a record that runs past the block ends the block.
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.get());
    std::size_t pos = 0;
    while (pos < size) {
        std::size_t length = data[pos];
        // Not kept: every query of this block fails the same way.
        if (length == 0)
            Raise(msg::kIntOverflow);
        if (length > size - pos)
            break;
        pos += length;
    }
    // Blocks of a damaged index may overlap; what is kept never exceeds the file's size.
    if (FKeptBytes + entry.Size > FStream.Size()) {
        FLooseBytes = std::move(bytes);
        FCurrentBytes = FLooseBytes.get();
        FCurrentUsed = pos;
        return;
    }
    auto kept = std::make_unique<KeptBlock>();
    kept->bytes = std::move(bytes);
    kept->used = pos;
    FKeptBytes += entry.Size;
    FCurrentBytes = kept->bytes.get();
    FCurrentUsed = pos;
    FCurrentKept = kept.get();
    FKept[static_cast<std::size_t>(position)] = std::move(kept);
}

const RecordOrder* TCodeAddress::QueryOrder()
{
    if (FCurrentKept == nullptr)
        return nullptr;
    KeptBlock& block = *FCurrentKept;
    if (!block.order.Built()) {
        if (++block.queries < 2)
            return nullptr;
        block.order.Build(BlockBytes(), FOrderFrom);
    }
    return &block.order;
}

void TCodeAddress::ListOrdered(const RecordOrder& order, std::string_view prefix, TResultList& list,
                               bool withKen, int* reach)
{
    FMatches.clear();
    if (order.Matching(BlockBytes(), prefix, FMatches, reach)) {
        ForEachRecord([&](std::string_view record) {
            if (record.size() >= FOrderFrom && record.substr(FOrderFrom).starts_with(prefix))
                AddResultLine(list, record, withKen);
        });
        return;
    }
    for (std::uint32_t start : FMatches)
        AddResultLine(list, RecordAt(start), withKen);
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

bool TCodeAddress::ForEachRecordInFile(
    const std::function<void(std::string_view, std::uint32_t)>& f) const
{
    if (!IsOpen() || FStream.Size() <= 0)
        return false;
    std::string bytes(static_cast<std::size_t>(FStream.Size()), '\0');
    if (FStream.ReadAt(0, bytes.data(), bytes.size()) != bytes.size())
        return false;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (const TIndexEntry& entry : FIndex) {
        if (entry.Size <= 0 || entry.Offset < 0 ||
            static_cast<long long>(entry.Offset) + entry.Size > FStream.Size())
            continue;
        const std::size_t end = static_cast<std::size_t>(entry.Offset) + entry.Size;
        for (std::size_t pos = static_cast<std::size_t>(entry.Offset); pos < end;) {
            const std::size_t length = data[pos];
            if (length == 0 || pos + length > end)
                break;
            f(std::string_view(bytes.data() + pos + 1, length - 1),
              static_cast<std::uint32_t>(pos));
            pos += length;
        }
    }
    return true;
}

std::string TCodeAddress::RecordTextAt(std::uint32_t fileOffset) const
{
    unsigned char length = 0;
    if (!IsOpen() || FStream.ReadAt(fileOffset, &length, 1) != 1 || length < 2)
        return {};
    std::string text(length - 1u, '\0');
    if (FStream.ReadAt(fileOffset + 1LL, text.data(), text.size()) != text.size())
        return {};
    return text;
}

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
    // The two classes as they are match a beginning of the ordered text; another class may
    // match otherwise and is walked.
    const bool codes = typeid(*this) == typeid(TCodeAddress);
    if (codes || typeid(*this) == typeid(TPostCode)) {
        const std::string_view prefix =
            codes ? std::string_view(FSearchText).substr(0, 7) : std::string_view(FSearchText);
        if (!prefix.empty()) {
            if (const RecordOrder* order = QueryOrder()) {
                ListOrdered(*order, prefix, list, withKen);
                return;
            }
        }
    }
    auto listMatches = [&](auto matches) {
        ForEachRecord([&](std::string_view record) {
            if (matches(record))
                AddResultLine(list, record, withKen);
        });
    };
    // The code query walks hundreds of records for a line or two; when MatchRecord cannot be
    // overridden, the test is inlined instead of called through the virtual table.
    if (codes)
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
