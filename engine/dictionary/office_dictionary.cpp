// Reading the business-office dictionary: the index at open, a block at its first code query,
// everything (records and name list) at the first name search. Every block is checked record by
// record as it is read, so a query never reads past what the file holds.

#include "office_dictionary.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "dictionary_format.h"
#include "engine/io/errors.h"
#include "engine/io/file_set.h"
#include "engine/io/messages.h"
#include "engine/source/ken.h"
#include "engine/text/int_parse.h"
#include "engine/text/sjis.h"
#include "office_name.h"

namespace kompa {

namespace {

namespace of = office_format;

// Thrown inside OpenDictionary for a file that is no office dictionary; never leaves it.
struct NotAnOfficeDictionary {};

[[noreturn]] void RaiseDamaged()
{
    Raise(msg::kOfficeDictionaryDamaged);
}

std::size_t RecordLength(const char* at)
{
    return static_cast<unsigned char>(at[0]) | (static_cast<unsigned char>(at[1]) << 8);
}

// The block key of a code: its first three digits as a number; -1 when they are no digits.
int CodeKey(std::string_view code)
{
    int key = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto d = static_cast<unsigned>(code[i] - '0');
        if (d > 9)
            return -1;
        key = key * 10 + static_cast<int>(d);
    }
    return key;
}

// Checks the records of a block of the given key; raises for anything a reader could trip on.
// Calls record(start) for each.
template <class F> void WalkBlock(std::string_view bytes, int key, F&& record)
{
    for (std::size_t pos = 0; pos < bytes.size();) {
        if (bytes.size() - pos < of::kRecordTexts)
            RaiseDamaged();
        const char* at = bytes.data() + pos;
        const std::size_t length = RecordLength(at);
        const auto* lengths = reinterpret_cast<const unsigned char*>(at + of::kRecordLengths);
        if (length > bytes.size() - pos ||
            length != of::kRecordTexts + lengths[0] + lengths[1] + lengths[2] + lengths[3] ||
            lengths[0] == 0)
            RaiseDamaged();
        const char kind = at[of::kRecordKind];
        const auto ken = static_cast<unsigned char>(at[of::kRecordKen]);
        if ((kind != '0' && kind != '1') || ken < kFirstKenChar || ken > kLastKenChar)
            RaiseDamaged();
        const std::string_view code(at + of::kRecordCode, 7);
        for (char c : code.substr(3))
            if (c < '0' || c > '9')
                RaiseDamaged();
        if (CodeKey(code) != key)
            RaiseDamaged();
        record(pos);
        pos += length;
    }
}

// Whether at lies on a character boundary of text (read from its start).
bool OnBoundary(std::string_view text, std::size_t at)
{
    std::size_t i = 0;
    while (i < at)
        i += IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    return i == at;
}

} // namespace

TOffice OfficeOfRecord(std::string_view record)
{
    const char* at = record.data();
    const auto* lengths = reinterpret_cast<const unsigned char*>(at + of::kRecordLengths);
    TOffice office;
    office.code = std::string_view(at + of::kRecordCode, 7);
    office.kind = at[of::kRecordKind] == '1' ? TOfficeKind::PostOfficeBox : TOfficeKind::Office;
    office.ken = static_cast<unsigned char>(at[of::kRecordKen]);
    const char* text = at + of::kRecordTexts;
    office.name = std::string_view(text, lengths[0]);
    text += lengths[0];
    office.city = std::string_view(text, lengths[1]);
    text += lengths[1];
    office.town = std::string_view(text, lengths[2]);
    text += lengths[2];
    office.street = std::string_view(text, lengths[3]);
    return office;
}

void TOfficeDictionary::OpenDictionary(const std::string& fileName)
{
    CloseDictionary();
    // A build of all three files that was interrupted is completed first, as for the pair.
    io::RecoverBeforeReading(fileName);
    if (!FStream.Open(fileName))
        Raise(FormatMessage(msg::kFileOpenError, fileName));
    try {
        unsigned char header[of::kHeaderSize];
        if (FStream.ReadAt(0, header, sizeof header) != sizeof header ||
            std::memcmp(header, kOfficeMagic, format::kMagicSize) != 0)
            throw NotAnOfficeDictionary{};
        const std::int32_t count = format::GetLe32(header + format::kCountOffset);
        const std::int32_t offices = format::GetLe32(header + of::kOfficeCountOffset);
        const std::int32_t namesOffset = format::GetLe32(header + of::kNamesOffsetField);
        const std::int32_t namesSize = format::GetLe32(header + of::kNamesSizeField);
        if (count < 0 || offices < 0 || namesOffset < 0 || namesSize < 0 ||
            static_cast<long long>(namesOffset) + namesSize != FStream.Size())
            throw NotAnOfficeDictionary{};
        // The blocks lie one after the other from the end of the index to the name list.
        long long next = static_cast<long long>(of::kHeaderSize) +
                         static_cast<long long>(format::kEntrySize) * count;
        if (next > namesOffset)
            throw NotAnOfficeDictionary{};
        std::vector<unsigned char> raw(format::kEntrySize * static_cast<std::size_t>(count));
        if (FStream.ReadAt(of::kHeaderSize, raw.data(), raw.size()) != raw.size())
            throw NotAnOfficeDictionary{};
        FIndex.resize(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < FIndex.size(); ++i) {
            TIndexEntry& e = FIndex[i];
            e = format::GetEntry(raw.data() + format::kEntrySize * i);
            if (e.Size <= 0 || e.Offset != next || e.Key > 999 ||
                (i > 0 && e.Key <= FIndex[i - 1].Key))
                throw NotAnOfficeDictionary{};
            next += e.Size;
        }
        // Every office has a record of at least 16 bytes and an entry of at least one.
        if (next != namesOffset || offices > namesSize ||
            16LL * offices > namesOffset - static_cast<long long>(of::kHeaderSize) -
                                 static_cast<long long>(format::kEntrySize) * count)
            throw NotAnOfficeDictionary{};
        FBlocks.resize(FIndex.size());
        FOfficeCount = offices;
        FNamesOffset = namesOffset;
        FNamesSize = static_cast<std::size_t>(namesSize);
    } catch (const NotAnOfficeDictionary&) {
        CloseDictionary();
    } catch (const std::bad_alloc&) {
        CloseDictionary();
    } catch (const Exception&) { // a read error of the header or index
        CloseDictionary();
    }
}

void TOfficeDictionary::CloseDictionary()
{
    FStream.Close();
    std::vector<TIndexEntry>().swap(FIndex);
    std::vector<Block>().swap(FBlocks);
    FOfficeCount = 0;
    FNamesOffset = 0;
    FNamesSize = 0;
    std::string().swap(FRecords);
    std::vector<std::uint32_t>().swap(FRecordStarts);
    std::string().swap(FNames);
    std::vector<std::uint32_t>().swap(FNameStarts);
    FEverything = false;
}

const TOfficeDictionary::Block& TOfficeDictionary::BlockAt(int position)
{
    Block& block = FBlocks[static_cast<std::size_t>(position)];
    if (block.ready)
        return block;
    const TIndexEntry& entry = FIndex[static_cast<std::size_t>(position)];
    const auto size = static_cast<std::size_t>(entry.Size);
    std::unique_ptr<char[]> owned;
    std::string_view bytes;
    if (FEverything) {
        // Checked as everything was loaded.
        bytes = std::string_view(FRecords).substr(
            static_cast<std::size_t>(entry.Offset - FIndex.front().Offset), size);
    } else {
        owned = std::make_unique_for_overwrite<char[]>(size);
        if (FStream.ReadAt(entry.Offset, owned.get(), size) != size)
            RaiseDamaged();
        bytes = std::string_view(owned.get(), size);
        WalkBlock(bytes, entry.Key, [](std::size_t) {});
    }
    std::vector<std::uint64_t> codes;
    std::vector<std::uint32_t> starts;
    for (std::size_t pos = 0; pos < bytes.size(); pos += RecordLength(bytes.data() + pos)) {
        std::uint64_t code = 0;
        for (std::size_t k = 0; k < 7; ++k)
            code |= std::uint64_t{static_cast<unsigned char>(bytes[pos + of::kRecordCode + k])}
                    << (8 * k);
        codes.push_back(code);
        starts.push_back(static_cast<std::uint32_t>(pos));
    }
    block.owned = std::move(owned);
    block.bytes = bytes;
    block.codes = std::move(codes);
    block.starts = std::move(starts);
    block.ready = true;
    return block;
}

void TOfficeDictionary::AddCodeLines(std::string_view text, TResultList& list, bool withKen)
{
    if (!IsOpen())
        return;
    // Three digits, by far the usual case, need no general parse.
    std::int32_t key = 0;
    if (text.size() >= 3 &&
        std::all_of(text.begin(), text.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }))
        key = (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
    else
        key = StrToIntDef(text.substr(0, 3), 0);
    if (key < 0 || key > 0xFFFF)
        Raise(msg::kRangeCheckError);
    const auto found = std::lower_bound(
        FIndex.begin(), FIndex.end(), key,
        [](const TIndexEntry& e, std::int32_t k) { return static_cast<std::int32_t>(e.Key) < k; });
    if (found == FIndex.end() || found->Key != key)
        return;
    const Block& block = BlockAt(static_cast<int>(found - FIndex.begin()));
    // The code test of the pair: the first n (at most 7) bytes of text against the code.
    std::uint64_t pattern = 0;
    std::uint64_t mask = 0;
    for (std::size_t k = 0; k < std::min<std::size_t>(text.size(), 7); ++k) {
        pattern |= std::uint64_t{static_cast<unsigned char>(text[k])} << (8 * k);
        mask |= std::uint64_t{0xFF} << (8 * k);
    }
    UpdateBracket bracket(list);
    thread_local std::string line;
    for (std::size_t r = 0; r < block.codes.size(); ++r) {
        if (((block.codes[r] ^ pattern) & mask) != 0)
            continue;
        const char* record = block.bytes.data() + block.starts[r];
        line.clear();
        AppendOfficeLine(line, OfficeOfRecord({record, RecordLength(record)}), withKen);
        list.Add(line);
    }
}

std::string_view TOfficeDictionary::ReadChecked(long long offset, std::size_t size)
{
    thread_local std::string scratch;
    scratch.resize(size);
    if (FStream.ReadAt(offset, scratch.data(), size) != size)
        RaiseDamaged();
    return scratch;
}

void TOfficeDictionary::LoadEverything()
{
    if (FEverything)
        return;
    const long long from = FIndex.empty() ? FNamesOffset : FIndex.front().Offset;
    std::string records(static_cast<std::size_t>(FNamesOffset - from), '\0');
    if (FStream.ReadAt(from, records.data(), records.size()) != records.size())
        RaiseDamaged();
    std::vector<std::uint32_t> recordStarts;
    recordStarts.reserve(static_cast<std::size_t>(FOfficeCount));
    for (const TIndexEntry& entry : FIndex) {
        const auto start = static_cast<std::size_t>(entry.Offset - from);
        WalkBlock(std::string_view(records).substr(start, static_cast<std::size_t>(entry.Size)),
                  entry.Key, [&](std::size_t pos) {
                      recordStarts.push_back(static_cast<std::uint32_t>(start + pos));
                  });
    }
    std::string names(ReadChecked(FNamesOffset, FNamesSize));
    std::vector<std::uint32_t> nameStarts{0};
    nameStarts.reserve(recordStarts.size() + 1);
    for (std::size_t pos = 0; pos < names.size();) {
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result): a search, nothing is copied
        const void* end = std::memchr(names.data() + pos, of::kNameEnd, names.size() - pos);
        if (end == nullptr)
            RaiseDamaged();
        pos = static_cast<std::size_t>(static_cast<const char*>(end) - names.data()) + 1;
        nameStarts.push_back(static_cast<std::uint32_t>(pos));
    }
    if (recordStarts.size() != static_cast<std::size_t>(FOfficeCount) ||
        nameStarts.size() != recordStarts.size() + 1)
        RaiseDamaged();
    FRecords = std::move(records);
    FRecordStarts = std::move(recordStarts);
    FNames = std::move(names);
    FNameStarts = std::move(nameStarts);
    FEverything = true;
}

template <class F>
void TOfficeDictionary::ForEachNameHit(std::string_view folded, TNameMatch match, F&& f)
{
    if (folded.empty())
        return;
    LoadEverything();
    const char* const names = FNames.data();
    const char* at = names;
    const char* const end = names + FNames.size();
    while (const void* hit =
               ::memmem(at, static_cast<std::size_t>(end - at), folded.data(), folded.size())) {
        const auto pos = static_cast<std::uint32_t>(static_cast<const char*>(hit) - names);
        // The name holding the hit: the last one starting at or before it.
        const auto next = std::upper_bound(FNameStarts.begin(), FNameStarts.end(), pos);
        const std::uint32_t start = *(next - 1);
        const std::uint32_t stop = *next - 1; // its end mark
        const std::string_view name(names + start, stop - start);
        const std::size_t within = pos - start;
        const bool whole =
            match == TNameMatch::Holds || (within == 0 && folded.size() == name.size());
        if (pos + folded.size() <= stop && whole && OnBoundary(name, within)) {
            f(static_cast<std::size_t>(next - FNameStarts.begin()) - 1);
            at = names + stop + 1; // one line per office
            continue;
        }
        at = static_cast<const char*>(hit) + 1;
    }
}

void TOfficeDictionary::SearchName(std::string_view text, TResultList& list, bool withKen)
{
    list.Clear();
    AddNameLines(text, list, withKen);
}

void TOfficeDictionary::AddNameLines(std::string_view text, TResultList& list, bool withKen)
{
    if (!IsOpen())
        Raise(msg::kNoDictionary);
    const std::string folded = FoldOfficeName(text);
    UpdateBracket bracket(list);
    thread_local std::string line;
    ForEachNameHit(folded, TNameMatch::Holds, [&](std::size_t office) {
        const char* record = FRecords.data() + FRecordStarts[office];
        line.clear();
        AppendOfficeLine(line, OfficeOfRecord({record, RecordLength(record)}), withKen);
        list.Add(line);
    });
}

std::vector<TOffice> TOfficeDictionary::FindByName(std::string_view name, TNameMatch match)
{
    std::vector<TOffice> found;
    if (!IsOpen())
        Raise(msg::kNoDictionary);
    ForEachNameHit(FoldOfficeName(name), match, [&](std::size_t office) {
        const char* record = FRecords.data() + FRecordStarts[office];
        found.push_back(OfficeOfRecord({record, RecordLength(record)}));
    });
    return found;
}

void TOfficeDictionary::AppendOfficeLine(std::string& line, const TOffice& office, bool withKen)
{
    line.append(office.code);
    line += ' ';
    line.append(office.kind == TOfficeKind::PostOfficeBox ? kBoxMark : kOfficeMark);
    line.append(office.name);
    line += ' ';
    if (withKen)
        line.append(KenName(office.ken));
    line.append(office.city);
    line.append(office.town);
    line.append(office.street);
}

} // namespace kompa
