// The office file's lines to OFFICE.DIC: every line checked and turned into a record and its
// folded name, the records grouped by the first three digits of the code (line order within a
// group), the index, the blocks, then the names in the same order.

#include "office_build.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dictionary_format.h"
#include "engine/io/errors.h"
#include "engine/io/messages.h"
#include "engine/source/ken.h"
#include "engine/source/source_line.h"
#include "engine/source/source_text.h"
#include "office_dictionary.h"
#include "office_name.h"

namespace kompa {

namespace {

namespace of = office_format;

constexpr std::size_t kOfficeFields = 13;
constexpr std::size_t kName = 2;
constexpr std::size_t kKen = 3;
constexpr std::size_t kCity = 4;
constexpr std::size_t kTown = 5;
constexpr std::size_t kStreet = 6;
constexpr std::size_t kCode = 7;
constexpr std::size_t kKind = 10;
constexpr std::size_t kTextMax = 255;

// One office as laid out: where its record and folded name lie in the shared buffers.
struct Laid {
    std::uint16_t key;
    std::uint32_t record, recordSize, name, nameSize;
};

[[noreturn]] void RaiseLine(long long number, const char* why)
{
    Raise(FormatMessage(FormatMessage(msg::kOfficeLineMalformed, number), why));
}

bool IsSevenDigits(std::string_view code)
{
    return code.size() == 7 &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The usual line by the quick split: exactly 13 fields, the last one ending the line. False
// for any other line, which the general rules then split.
bool SplitsIntoThirteen(std::string_view line, std::vector<std::string_view>& fields)
{
    if (!SplitPlainSourceLine(line, fields, kOfficeFields))
        return false;
    const std::string_view last = fields.back();
    const char* lineEnd = line.data() + line.size();
    const char* lastEnd = last.data() + last.size();
    return lastEnd == lineEnd || (lastEnd + 1 == lineEnd && *lastEnd == '"');
}

} // namespace

TSourceKind KindOfSourceText(std::string_view text)
{
    TSourceLines lines(text);
    std::string_view first;
    if (!lines.Next(first, kSourceLineMax))
        return TSourceKind::Residential;
    std::vector<std::string_view> fields;
    std::string scratch;
    SplitSourceLine(first, fields, scratch, 7);
    if (fields.size() > 6 && KenCode(fields[6]) >= 0)
        return TSourceKind::Residential;
    if (fields.size() > kKen && KenCode(fields[kKen]) >= 0)
        return TSourceKind::Office;
    return TSourceKind::Residential;
}

std::string OfficeImage(std::string_view text)
{
    std::string records;
    std::string names;
    std::vector<Laid> laid;
    records.reserve(text.size());
    names.reserve(text.size() / 4);
    laid.reserve(text.size() / 100);

    TSourceLines lines(text);
    std::string_view line;
    std::vector<std::string_view> fields;
    std::string scratch;
    std::string folded;
    long long number = 0;
    int lastKen = -1; // lines come grouped by prefecture
    while (lines.Next(line, std::string_view::npos)) {
        ++number;
        if (!SplitsIntoThirteen(line, fields))
            SplitSourceLine(line, fields, scratch, kOfficeFields + 1);
        if (fields.size() != kOfficeFields)
            RaiseLine(number, msg::kOfficeFieldCount);
        const int ken = lastKen >= 0 && KenNames[lastKen - kFirstKenChar] == fields[kKen]
                            ? lastKen
                            : KenCode(fields[kKen]);
        lastKen = ken;
        if (ken < 0)
            RaiseLine(number, msg::kOfficeBadKen);
        if (!IsSevenDigits(fields[kCode]))
            RaiseLine(number, msg::kOfficeBadCode);
        if (fields[kKind] != "0" && fields[kKind] != "1")
            RaiseLine(number, msg::kOfficeBadKind);
        if (fields[kName].empty())
            RaiseLine(number, msg::kOfficeNoName);
        const std::string_view texts[] = {fields[kName], fields[kCity], fields[kTown],
                                          fields[kStreet]};
        std::size_t size = of::kRecordTexts;
        for (std::string_view t : texts) {
            if (t.size() > kTextMax)
                RaiseLine(number, msg::kOfficeFieldTooLong);
            size += t.size();
        }

        Laid office{};
        const std::string_view code = fields[kCode];
        office.key = static_cast<std::uint16_t>((code[0] - '0') * 100 + (code[1] - '0') * 10 +
                                                (code[2] - '0'));
        office.record = static_cast<std::uint32_t>(records.size());
        office.recordSize = static_cast<std::uint32_t>(size);
        char head[of::kRecordTexts] = {static_cast<char>(size & 0xFF),
                                       static_cast<char>(size >> 8)};
        std::memcpy(head + of::kRecordCode, code.data(), 7);
        head[of::kRecordKind] = fields[kKind][0];
        head[of::kRecordKen] = static_cast<char>(ken);
        for (std::size_t t = 0; t < std::size(texts); ++t)
            head[of::kRecordLengths + t] = static_cast<char>(texts[t].size());
        records.append(head, sizeof head);
        for (std::string_view t : texts)
            records.append(t);
        FoldOfficeName(fields[kName], folded);
        office.name = static_cast<std::uint32_t>(names.size());
        office.nameSize = static_cast<std::uint32_t>(folded.size());
        names += folded;
        laid.push_back(office);
        if (records.size() + names.size() + laid.size() > 0x7FFF0000u)
            Raise(msg::kRangeCheckError);
    }
    // An empty file is no office file; replacing a dictionary with nothing would only lose it.
    if (number == 0)
        RaiseLine(1, msg::kOfficeFieldCount);

    // Grouped by key, line order kept within a group.
    std::stable_sort(laid.begin(), laid.end(),
                     [](const Laid& a, const Laid& b) { return a.key < b.key; });
    std::vector<TIndexEntry> index;
    for (const Laid& office : laid) {
        if (index.empty() || index.back().Key != office.key)
            index.push_back({0, 0, office.key});
        index.back().Size += static_cast<std::int32_t>(office.recordSize);
    }
    auto offset = static_cast<std::int32_t>(of::kHeaderSize + format::kEntrySize * index.size());
    for (TIndexEntry& entry : index) {
        entry.Offset = offset;
        offset += entry.Size;
    }
    const std::int32_t namesOffset = offset;
    const std::size_t namesSize = names.size() + laid.size();

    std::string image;
    image.reserve(static_cast<std::size_t>(namesOffset) + namesSize);
    image.resize(of::kHeaderSize + format::kEntrySize * index.size());
    char* head = image.data();
    std::memcpy(head, kOfficeMagic, format::kMagicSize);
    format::PutLe32(head + format::kCountOffset, static_cast<std::int32_t>(index.size()));
    format::PutLe32(head + of::kOfficeCountOffset, static_cast<std::int32_t>(laid.size()));
    format::PutLe32(head + of::kNamesOffsetField, namesOffset);
    format::PutLe32(head + of::kNamesSizeField, static_cast<std::int32_t>(namesSize));
    for (std::size_t i = 0; i < index.size(); ++i)
        format::PutEntry(head + of::kHeaderSize + format::kEntrySize * i, index[i]);
    for (const Laid& office : laid)
        image.append(records, office.record, office.recordSize);
    for (const Laid& office : laid) {
        image.append(names, office.name, office.nameSize);
        image += of::kNameEnd;
    }
    return image;
}

} // namespace kompa
