// The build side of both dictionary classes: construction, block keys, reading the ministry
// file into build strings and planning the file image.

#include "dictionary.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>

#include "dictionary_build.h"
#include "dictionary_format.h"
#include "engine/io/both_at_once.h"
#include "engine/io/errors.h"
#include "engine/io/file_set.h"
#include "engine/io/messages.h"
#include "engine/source/ken.h"
#include "engine/source/source_chunks.h"
#include "engine/source/source_line.h"
#include "engine/source/source_text.h"
#include "engine/text/int_parse.h"

namespace kompa {

namespace {

using format::kHeaderSize;
using format::kRecordMax;

constexpr int kSourcePreset = 120000;
constexpr std::size_t kIndexPreset = 1000;
// Below this, splitting the source on a second thread costs more than it saves.
constexpr std::size_t kHalvesFrom = std::size_t{1} << 20;
constexpr long long kWholeFile = std::numeric_limits<long long>::max();
// How far the first line of a source is looked for.
constexpr std::size_t kHeadLook = 65536;
// Offsets and sizes are 32-bit signed: the records of a file, with the largest index before
// them, must stay within that, or the file could not address them.
constexpr std::size_t kMaxImage = 0x7FFFFFFF - kHeaderSize - format::kEntrySize * 65536;

// Fields of a ministry line the build uses.
constexpr std::size_t kCodeField = 2;
constexpr std::size_t kKenField = 6;
constexpr std::size_t kCityField = 7;
constexpr std::size_t kTownField = 8;

// Finds the index position of a key in O(1); the index itself stays a plain list.
class KeySlots {
public:
    KeySlots() : slots_(65536, -1) {}
    int Find(std::uint16_t key) const { return slots_[key]; }
    void Set(std::uint16_t key, int position) { slots_[key] = position; }

private:
    std::vector<int> slots_;
};

// Calls add(buildString) for every line, in line order. A build string is the record text
// behind one placeholder byte: prefecture character, code, blank, city, town.
template <typename Next, typename Add> void MakeBuildStrings(Next&& next, Add&& add)
{
    std::string_view line;
    std::string scratch;
    std::vector<std::string_view> fields;
    char build[kRecordMax];
    int lastKen = -1; // lines come grouped by prefecture
    long long number = 0;
    while (next(line)) {
        ++number;
        // Nothing past field 8 is ever used.
        if (!SplitPlainSourceLine(line, fields, kTownField + 1))
            SplitSourceLine(line, fields, scratch, kTownField + 1);
        if (fields.size() <= kKenField)
            throw LineError(msg::kListIndexOutOfBounds, number);
        const std::string_view kenName = fields[kKenField];
        const int ken = lastKen >= 0 && KenNames[lastKen - kFirstKenChar] == kenName
                            ? lastKen
                            : KenCode(kenName);
        if (ken < 0)
            throw LineError(msg::kKenNotFound, number);
        lastKen = ken;
        if (fields.size() <= kTownField)
            throw LineError(msg::kListIndexOutOfBounds, number);

        std::size_t size = 0;
        auto put = [&](std::string_view part) {
            std::size_t n = std::min(part.size(), kRecordMax - size);
            std::memcpy(build + size, part.data(), n);
            size += n;
        };
        build[size++] = ' '; // placeholder for the record length
        build[size++] = static_cast<char>(ken);
        put(fields[kCodeField]);
        put(" ");
        put(fields[kCityField]);
        put(fields[kTownField]);
        add(std::string_view(build, size));
    }
}

template <typename Add> void MakeBuildStrings(TSourceLines lines, Add&& add)
{
    MakeBuildStrings([&](std::string_view& line) { return lines.Next(line, kSourceLineMax); }, add);
}

// The build strings of the lines of a source file that needs no decoding starting at file
// offsets from `from` up to before `to`, read in chunks: lines starting earlier are passed over
// unread. Returns false when the text ended before a line starting at `to` or later.
template <typename Add> bool MakeBuildStrings(int fd, long long from, long long to, Add&& add)
{
    SourceChunks lines(fd, std::max(0LL, from - 2), kSourceLineMax);
    bool stopped = false;
    MakeBuildStrings(
        [&](std::string_view& line) {
            long long start = 0;
            while (lines.Next(line, start)) {
                if (start < from)
                    continue;
                stopped = start >= to;
                return !stopped;
            }
            return false;
        },
        add);
    return stopped;
}

// Where the lines starting at the middle of text or later begin: after the first CR there
// (and the LF right after it), or at the end.
std::size_t SecondHalf(std::string_view text)
{
    const std::size_t cr = text.find('\r', text.size() / 2);
    if (cr == std::string_view::npos)
        return text.size();
    const std::size_t start = cr + 1;
    return start < text.size() && text[start] == '\n' ? start + 1 : start;
}

// Grouping pass of a layout: one index entry per key, in order of first appearance, then sorted
// by key. Returns each record's key; slots maps a key to its entry's place before the sort.
// recordAt(i) gives the i-th record text.
template <typename RecordAt>
std::vector<std::uint16_t> GroupByKey(const TCodeAddress& dict, int count, RecordAt recordAt,
                                      std::vector<TIndexEntry>& index, KeySlots& slots)
{
    index.clear();
    index.reserve(kIndexPreset);
    std::vector<std::uint16_t> keys(static_cast<std::size_t>(count));
    std::size_t total = 0;
    for (int i = 0; i < count; ++i) {
        const std::string_view s = std::string_view(recordAt(i)).substr(0, kRecordMax);
        total += s.size();
        if (total > kMaxImage)
            Raise(msg::kRangeCheckError);
        // A record comes from the line of its number: a key that fails names that line.
        std::uint16_t key = 0;
        try {
            key = dict.RecordKey(s);
        } catch (const LineError&) {
            throw;
        } catch (const Exception& e) {
            throw LineError(e.Message(), i + 1LL);
        }
        keys[static_cast<std::size_t>(i)] = key;
        const int at = slots.Find(key);
        if (at < 0) {
            slots.Set(key, static_cast<int>(index.size()));
            index.push_back(TIndexEntry{static_cast<std::int32_t>(s.size()), 0, key});
        } else {
            index[static_cast<std::size_t>(at)].Size += static_cast<std::int32_t>(s.size());
        }
    }
    std::sort(index.begin(), index.end(), [](const TIndexEntry& a, const TIndexEntry& b) {
        return TCodeAddress::CompareKeys(a, b) < 0;
    });
    if (index.empty()) // no line, so no last entry to size the file by
        Raise(msg::kListIndexOutOfBounds);
    return keys;
}

} // namespace

TCodeAddress::TCodeAddress()
{
    std::memcpy(FMagic, kCodeMagic, sizeof FMagic);
}

TCodeAddress::~TCodeAddress()
{
    CloseDictionary();
}

TPostCode::TPostCode()
{
    FOrderFrom = format::kAddressStart;
    std::memcpy(FMagic, kAddressMagic, sizeof FMagic);
}

std::uint16_t TCodeAddress::RecordKey(std::string_view buildString) const
{
    // Positions 3 to 5: the first three characters of the code, whatever they are. Three
    // digits, by far the usual case, need no general parse.
    if (buildString.size() >= 5) {
        const auto d0 = static_cast<unsigned>(buildString[2] - '0');
        const auto d1 = static_cast<unsigned>(buildString[3] - '0');
        const auto d2 = static_cast<unsigned>(buildString[4] - '0');
        if (d0 < 10 && d1 < 10 && d2 < 10)
            return static_cast<std::uint16_t>(d0 * 100 + d1 * 10 + d2);
    }
    std::int32_t value =
        StrToInt(buildString.substr(std::min<std::size_t>(2, buildString.size()), 3));
    if (value < 0 || value > 65535)
        Raise(msg::kRangeCheckError);
    return static_cast<std::uint16_t>(value);
}

std::uint16_t TPostCode::RecordKey(std::string_view buildString) const
{
    // The address's first two bytes, the first in the low half; missing bytes count as 0.
    auto byteAt = [&](std::size_t i) -> std::uint16_t {
        return i < buildString.size() ? static_cast<unsigned char>(buildString[i]) : 0;
    };
    return static_cast<std::uint16_t>(byteAt(10) | (byteAt(11) << 8));
}

int TCodeAddress::CompareKeys(const TIndexEntry& a, const TIndexEntry& b)
{
    return static_cast<int>(a.Key) - static_cast<int>(b.Key);
}

BuildStrings::BuildStrings(std::size_t sizeHint)
{
    bytes_.reserve(sizeHint);
    ends_.reserve(kSourcePreset);
}

// Splits two halves of a source at once into parts: half(i, add) adds half i's build strings
// and returns false when the text ended inside it (a 0x1A), which leaves no second half. The
// first half decides first: its failure, or its end of text, wins over anything of the second.
template <typename Half> BuildStrings JoinHalves(BuildStrings (&parts)[2], Half half)
{
    bool firstHalfEnded = false;
    std::exception_ptr secondFailed;           // counts only when there is a second half
    std::optional<LineError> secondLineFailed; // its line counted within the second half
    BothAtOnce([&](int i) {
        auto add = [&](std::string_view s) { parts[i].Add(s); };
        if (i == 0) {
            firstHalfEnded = !half(0, add);
            return;
        }
        try {
            half(1, add);
        } catch (const LineError& e) {
            secondLineFailed = e;
        } catch (...) {
            secondFailed = std::current_exception();
        }
    });
    if (!firstHalfEnded) {
        // Every line of the first half gave one string.
        if (secondLineFailed)
            throw LineError(secondLineFailed->Message(),
                            secondLineFailed->Line() + parts[0].Count());
        if (secondFailed)
            std::rethrow_exception(secondFailed);
        parts[0].Append(std::move(parts[1]));
    }
    return std::move(parts[0]);
}

std::optional<BuildStrings> BuildStrings::ReadPlainSource(const std::string& sourceFileName)
{
    // A large Shift-JIS file with CR line ends, as published, is what DecodeSource returns
    // unchanged: it is split in halves straight from the file, read in chunks, so that it is
    // never held whole in memory. Its first line tells.
    long long size = 0;
    const io::UniqueFd fd = OpenSource(sourceFileName, size);
    if (size < static_cast<long long>(kHalvesFrom) || size >= static_cast<long long>(kMaxImage))
        return std::nullopt;
    std::string head(kHeadLook, '\0');
    const ssize_t n = ::pread(fd.Get(), head.data(), head.size(), 0);
    const std::size_t cr = n > 0 ? head.find('\r') : std::string::npos;
    if (cr == std::string::npos || cr >= static_cast<std::size_t>(n) ||
        !IsPlainSourceHead(std::string_view(head).substr(0, cr + 1)))
        return std::nullopt;

    // The lines starting before the middle, and the rest; a failure, or a 0x1A that ends the
    // text, in the first half decides first.
    const long long mid = size / 2;
    BuildStrings parts[2] = {BuildStrings(static_cast<std::size_t>(mid)),
                             BuildStrings(static_cast<std::size_t>(size - mid))};
    return JoinHalves(parts, [&](int i, const auto& add) {
        return i == 0 ? MakeBuildStrings(fd.Get(), 0, mid, add)
                      : MakeBuildStrings(fd.Get(), mid, kWholeFile, add);
    });
}

BuildStrings BuildStrings::Read(const std::string& sourceFileName)
{
    if (std::optional<BuildStrings> strings = ReadPlainSource(sourceFileName))
        return std::move(*strings);
    // Decoded whole before the first line: a source that cannot be decoded builds nothing.
    return FromText(ReadSourceText(sourceFileName));
}

BuildStrings BuildStrings::FromText(std::string_view text)
{
    // A large text is split in two halves on two threads: the lines starting before the middle,
    // and the rest. A failure, or a 0x1A that ends the text, in the first half decides first.
    // Only a text too short to reach the size limit is halved, as that limit is checked in line
    // order (a build string is always shorter than its line).
    const std::size_t half =
        text.size() >= kHalvesFrom && text.size() < kMaxImage ? SecondHalf(text) : text.size();
    if (half == text.size()) {
        BuildStrings strings(text.size());
        MakeBuildStrings(TSourceLines(text), [&](std::string_view s) { strings.Add(s); });
        return strings;
    }
    BuildStrings parts[2] = {BuildStrings(half), BuildStrings(text.size() - half)};
    return JoinHalves(parts, [&](int i, const auto& add) {
        std::string_view part = i == 0 ? text.substr(0, half) : text.substr(half);
        const std::size_t ctrlZ = part.find('\x1A');
        MakeBuildStrings(TSourceLines(part.substr(0, ctrlZ), TSourceLines::NoCtrlZ{}), add);
        return ctrlZ == std::string_view::npos;
    });
}

void BuildStrings::PlaceLengths()
{
    if (head_)
        head_->PlaceLengths();
    std::size_t start = 0;
    for (const std::uint32_t end : ends_) {
        if (end > start)
            bytes_[start] = static_cast<char>(end - start);
        start = end;
    }
}

ImagePlan PlanImage(const TCodeAddress& dict, const BuildStrings& records)
{
    std::vector<TIndexEntry> index;
    const int count = records.Count();
    KeySlots slots;
    const std::vector<std::uint16_t> keys = GroupByKey(
        dict, count, [&](int i) { return records[i]; }, index, slots);

    ImagePlan plan;
    plan.head.assign(kHeaderSize + format::kEntrySize * index.size(), '\0');
    char* out = plan.head.data();
    std::memcpy(out, dict.Magic().data(), dict.Magic().size());
    format::PutLe32(out + format::kCountOffset, static_cast<std::int32_t>(index.size()));
    auto offset = static_cast<std::int32_t>(plan.head.size());
    for (std::size_t i = 0; i < index.size(); ++i) {
        format::PutEntry(out + kHeaderSize + format::kEntrySize * i,
                         {index[i].Size, offset, index[i].Key});
        offset += index[i].Size;
        slots.Set(index[i].Key, static_cast<int>(i));
    }

    // The records block by block, each block's in line order (a counting sort); records that
    // follow each other in memory too make one run.
    std::vector<int> next(index.size() + 1, 0);
    for (int i = 0; i < count; ++i)
        ++next[static_cast<std::size_t>(slots.Find(keys[static_cast<std::size_t>(i)])) + 1];
    for (std::size_t b = 1; b < next.size(); ++b)
        next[b] += next[b - 1];
    std::vector<int> order(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        order[static_cast<std::size_t>(
            next[static_cast<std::size_t>(slots.Find(keys[static_cast<std::size_t>(i)]))]++)] = i;
    for (const int i : order) {
        const std::string_view s = records[i].substr(0, kRecordMax);
        if (s.empty())
            continue;
        if (!plan.records.empty() &&
            plan.records.back().data() + plan.records.back().size() == s.data())
            plan.records.back() =
                std::string_view(plan.records.back().data(), plan.records.back().size() + s.size());
        else
            plan.records.push_back(s);
    }
    return plan;
}

void BuildStrings::Add(std::string_view s)
{
    const std::size_t before = head_ ? head_->bytes_.size() : 0;
    if (before + bytes_.size() + s.size() > kMaxImage)
        Raise(msg::kRangeCheckError);
    bytes_.append(s);
    ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
}

void BuildStrings::Append(BuildStrings&& more)
{
    if (bytes_.size() + more.bytes_.size() > kMaxImage)
        Raise(msg::kRangeCheckError);
    auto head = std::make_unique<BuildStrings>(std::move(*this));
    *this = std::move(more);
    headCount_ = head->Count();
    head_ = std::move(head);
}

} // namespace kompa
