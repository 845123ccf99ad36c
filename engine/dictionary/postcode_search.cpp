// Address queries of TPostCode: the block search by the text's first character, the address
// search with its two fallbacks, the whole-file substring search and the search form of a
// typed address.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "dictionary.h"
#include "dictionary_format.h"
#include "engine/source/ken.h"
#include "engine/text/sjis.h"

namespace kompa {

namespace {

constexpr std::size_t kAddressStart = format::kAddressStart;

std::uint16_t KeyOf(std::string_view text)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(text[0]) |
                                      (static_cast<unsigned char>(text[1]) << 8));
}

// Finds a needle of 2 bytes or more. Sixteen start positions at a time are tested for the
// needle's first and last byte together, which rules out nearly every position of Shift-JIS text
// at once; only those left are compared whole. Several times faster than memmem on the
// whole-file search. The tested bytes are spread once per search, not once per hit: a common
// character hits in most records.
class NeedleFinder {
public:
    explicit NeedleFinder(std::string_view needle) : needle_(needle)
    {
        for (int k = 0; k < 16; ++k) {
            first_[k] = static_cast<unsigned char>(needle.front());
            last_[k] = static_cast<unsigned char>(needle.back());
        }
    }

    // The first occurrence in hay, or null.
    const char* Find(const char* hay, std::size_t hayLength) const
    {
        const std::size_t n = needle_.size();
        if (n > hayLength)
            return nullptr;
        const std::size_t starts = hayLength - n + 1;
        const Bytes first = first_;
        const Bytes last = last_;
        std::size_t i = 0;
        for (; i + 16 <= starts; i += 16) {
            Bytes a, b;
            std::memcpy(&a, hay + i, 16);
            std::memcpy(&b, hay + i + n - 1, 16);
            const Bytes both = (a == first) & (b == last);
            std::uint64_t halves[2];
            std::memcpy(halves, &both, 16);
            if ((halves[0] | halves[1]) == 0)
                continue;
            for (std::size_t half = 0; half < 2; ++half) {
                // A byte of a half is 0xFF where both ends match: one bit of it per position.
                std::uint64_t bits = halves[half] & 0x0101010101010101u;
                for (; bits != 0; bits &= bits - 1) {
                    const std::size_t at =
                        i + half * 8 + static_cast<std::size_t>(std::countr_zero(bits)) / 8;
                    // A two-byte needle, one double-byte character, is compared whole already.
                    if (n == 2 || std::memcmp(hay + at + 1, needle_.data() + 1, n - 2) == 0)
                        return hay + at;
                }
            }
        }
        for (; i < starts; ++i) {
            if (hay[i] == needle_[0] && std::memcmp(hay + i, needle_.data(), n) == 0)
                return hay + i;
        }
        return nullptr;
    }

private:
    using Bytes = unsigned char __attribute__((vector_size(16)));
    std::string_view needle_;
    Bytes first_, last_;
};

// Compares the search text with the address part of a record. Reach is the 1-based position of
// the first differing byte or, when the address is a shorter equal beginning, its length.
bool MatchAddress(std::string_view searchText, std::string_view record, int& reach)
{
    int addressLength = static_cast<int>(record.size()) - static_cast<int>(kAddressStart);
    int n = std::min(static_cast<int>(searchText.size()), addressLength);
    if (n > 0) {
        const char* address = record.data() + kAddressStart;
        // Most records differ at once; the byte-wise look for the difference runs only then.
        if (std::memcmp(searchText.data(), address, static_cast<std::size_t>(n)) != 0) {
            int i = 0;
            while (searchText[static_cast<std::size_t>(i)] == address[i])
                ++i;
            reach = i + 1;
            return false;
        }
    }
    reach = n;
    return n == static_cast<int>(searchText.size());
}

} // namespace

bool TPostCode::MatchRecord(std::string_view recordText) const
{
    if (static_cast<long long>(recordText.size()) - static_cast<long long>(kAddressStart) <
        static_cast<long long>(FSearchText.size()))
        return false;
    return recordText.compare(kAddressStart, FSearchText.size(), FSearchText) == 0;
}

void TPostCode::Search(std::string_view text, TResultList& list, bool withKen)
{
    FSearchText.assign(text);
    SearchBlock(text.size() < 2 ? std::uint16_t{0xFFFF} : KeyOf(text), list, withKen);
}

std::string TPostCode::NormalizeAddress(std::string_view text) const
{
    std::size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) <= 32)
        ++start;
    std::string withoutKen = DeleteKen(text.substr(start));
    std::erase(withoutKen, ' ');

    std::size_t end = 0;
    while (end + 1 < withoutKen.size()) {
        auto lead = static_cast<unsigned char>(withoutKen[end]);
        auto trail = static_cast<unsigned char>(withoutKen[end + 1]);
        if (lead == 0x81 && trail == 0x40)
            break; // full-width space
        if (lead == 0x82 && trail >= 0x4F && trail <= 0x58)
            break; // full-width digit
        if (!IsSjisLeadByte(lead))
            break; // ASCII, half-width katakana and every other single byte
        end += 2;
    }
    withoutKen.resize(end);
    return withoutKen;
}

namespace {

// Exchanges the first ヶ for ケ or, when there is none, the first ケ for ヶ. Returns where it
// changed the text (npos when it did not), so that exactly that change can be undone.
std::size_t ToggleKe(std::string& text)
{
    if (auto at = text.find("\x83\x96"); at != std::string::npos) {
        text[at + 1] = '\x50'; // ヶ -> ケ
        return at;
    }
    if (auto at = text.find("\x83\x50"); at != std::string::npos) {
        text[at + 1] = '\x96'; // ケ -> ヶ
        return at;
    }
    return std::string::npos;
}

// Takes back what ToggleKe did at. Toggling a second time would do the same for a text with
// one ヶ or ケ, but with two it would exchange the other one and search a text nobody typed.
void UndoToggleKe(std::string& text, std::size_t at)
{
    if (at != std::string::npos)
        text[at + 1] = text[at + 1] == '\x50' ? '\x96' : '\x50';
}

} // namespace

TAddressLevel TPostCode::SearchAddress(std::string_view address, TResultList& list, bool withKen)
{
    list.Clear();
    std::string searchForm = NormalizeAddress(address);
    if (searchForm.size() < 2)
        return TAddressLevel::TooShort;
    LoadBlock(KeyOf(searchForm));

    UpdateBracket bracket(list);
    FSearchText = std::move(searchForm);
    const RecordOrder* order = QueryOrder();

    // One search of the loaded block: adds what matches, returns the furthest reach of the rest.
    auto pass = [&] {
        int bestReach = 0;
        if (order != nullptr) {
            ListOrdered(*order, FSearchText, list, withKen, &bestReach);
        } else {
            ForEachRecord([&](std::string_view record) {
                int reach = 0;
                if (MatchAddress(FSearchText, record, reach))
                    AddResultLine(list, record, withKen);
                else
                    bestReach = std::max(bestReach, reach);
            });
        }
        // A difference inside a character cuts before that character.
        return bestReach % 2 == 0 ? bestReach - 1 : bestReach;
    };

    int bestReach1 = pass();
    if (list.Count() > 0)
        return TAddressLevel::Found;
    std::size_t toggled = ToggleKe(FSearchText);
    int bestReach2 = pass();
    if (list.Count() > 0)
        return TAddressLevel::FoundKeExchanged;
    int reach = bestReach2;
    if (bestReach1 > bestReach2) {
        UndoToggleKe(FSearchText, toggled);
        reach = bestReach1;
    }
    if (reach < 4)
        return TAddressLevel::None;
    FSearchText.resize(static_cast<std::size_t>(reach - 1));
    pass();
    return TAddressLevel::Shortened;
}

void TPostCode::SearchAll(std::string_view text, TResultList& list, bool withKen)
{
    FSearchText.assign(text);
    list.Clear();
    if (text.size() < 2)
        return;
    UpdateBracket bracket(list);
    const NeedleFinder finder(FSearchText);
    const std::size_t needleSize = FSearchText.size();
    for (int i = 0; i < FIndexCount; ++i) {
        LoadBlock(FIndex[static_cast<std::size_t>(i)].Key);
        const std::string_view bytes = BlockBytes();
        // Search the whole block at once; a hit counts for the record that holds all of it, and
        // only a record's first hit decides, so after it the walk moves to the next record.
        std::size_t recordStart = 0;
        std::size_t recordEnd = bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]);
        std::size_t from = 0;
        while (from < bytes.size()) {
            const char* hit = finder.Find(bytes.data() + from, bytes.size() - from);
            if (hit == nullptr)
                break;
            auto at = static_cast<std::size_t>(hit - bytes.data());
            while (at >= recordEnd) {
                recordStart = recordEnd;
                recordEnd += static_cast<unsigned char>(bytes[recordEnd]);
            }
            if (at == recordStart || at + needleSize > recordEnd) {
                // Over the length byte or into the next record: not inside this record's text.
                from = at + 1;
                continue;
            }
            std::string_view record = bytes.substr(recordStart + 1, recordEnd - recordStart - 1);
            if (at - (recordStart + 1) >= kAddressStart)
                AddResultLine(list, record, withKen);
            from = recordEnd;
        }
    }
}

} // namespace kompa
