#include "record_order.h"

#include <algorithm>
#include <cstring>

namespace kompa {

namespace {

// The text of the record starting at start, from position from on.
inline std::string_view KeyAt(std::string_view bytes, std::size_t start, std::size_t from)
{
    const std::size_t length = static_cast<unsigned char>(bytes[start]);
    return bytes.substr(start + 1 + from, length - 1 - from);
}

// Compares as unsigned bytes, like memcmp.
std::size_t CommonLength(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// The first eight bytes of a key as one number that orders like the bytes; ties are rare.
std::uint64_t Head(std::string_view key)
{
    unsigned char b[8] = {};
    std::memcpy(b, key.data(), std::min<std::size_t>(8, key.size()));
    std::uint64_t v = 0;
    for (unsigned char c : b)
        v = (v << 8) | c;
    return v;
}

std::uint64_t MaskOf(std::size_t n)
{
    return n == 0 ? 0 : ~std::uint64_t{0} << (8 * (8 - n));
}

// The eight bytes at p as one big-endian number; p must have eight readable bytes.
std::uint64_t RawHead(const char* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}

// A text the record keys are compared with. Its first sixteen bytes are held as two numbers and
// the keys' are loaded the same way (their block has room behind it), so most comparisons need
// no call at all.
class Probe {
public:
    explicit Probe(std::string_view text)
        : text_(text), head_(Head(text)), mask_(MaskOf(std::min<std::size_t>(8, text.size()))),
          next_(text.size() > 8 ? Head(text.substr(8)) : 0),
          nextMask_(text.size() > 8 ? MaskOf(std::min<std::size_t>(8, text.size() - 8)) : 0)
    {
    }
    // Below, equal or above zero as key orders before, with or after the text.
    int Compare(std::string_view key) const
    {
        const std::uint64_t head =
            RawHead(key.data()) & MaskOf(std::min<std::size_t>(8, key.size()));
        if (head != head_)
            return head < head_ ? -1 : 1;
        // The first eight bytes are equal; so are the next ones, compared the same way, when
        // both go on past them.
        if (key.size() > 8 && text_.size() > 8) {
            const std::uint64_t next =
                RawHead(key.data() + 8) & MaskOf(std::min<std::size_t>(8, key.size() - 8));
            if (next != next_)
                return next < next_ ? -1 : 1;
        }
        return key.compare(text_);
    }
    bool BegunBy(std::string_view key) const
    {
        if (key.size() < text_.size() || ((RawHead(key.data()) ^ head_) & mask_) != 0)
            return false;
        if (text_.size() <= 8)
            return true;
        if (((RawHead(key.data() + 8) ^ next_) & nextMask_) != 0)
            return false;
        return text_.size() <= 16 ||
               std::memcmp(key.data() + 16, text_.data() + 16, text_.size() - 16) == 0;
    }

private:
    std::string_view text_;
    std::uint64_t head_;
    std::uint64_t mask_;
    std::uint64_t next_; // bytes 8 to 15
    std::uint64_t nextMask_;
};

template <class Start>
void Order(std::string_view bytes, std::size_t from, std::vector<Start>& starts)
{
    struct Item {
        std::uint64_t head;
        std::uint32_t start;
    };
    // Blocks are ordered one after another as queries reach them: one scratch list serves them
    // all instead of a fresh allocation (and fresh pages) for each.
    thread_local std::vector<Item> items;
    items.clear();
    for (std::size_t pos = 0; pos < bytes.size(); pos += static_cast<unsigned char>(bytes[pos])) {
        if (static_cast<unsigned char>(bytes[pos]) >= 1 + from)
            items.push_back({Head(KeyAt(bytes, pos, from)), static_cast<std::uint32_t>(pos)});
    }
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        if (a.head != b.head)
            return a.head < b.head;
        return KeyAt(bytes, a.start, from) < KeyAt(bytes, b.start, from);
    });
    starts.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        starts[i] = static_cast<Start>(items[i].start);
}

} // namespace

void RecordOrder::Build(std::string_view bytes, std::size_t textFrom)
{
    from_ = textFrom;
    narrow_ = bytes.size() <= 0xFFFF;
    if (narrow_)
        Order(bytes, from_, starts16_);
    else
        Order(bytes, from_, starts32_);
    built_ = true;
}

namespace {

// The furthest reach over the records around the place at where text would stand.
template <class It>
int ReachAround(std::string_view bytes, std::size_t from, It begin, It at, It end,
                std::string_view text)
{
    // The record sharing the longest beginning with text lies right before or right after that
    // place; so does one that differs right after it, if any does.
    int best = 0;
    auto consider = [&](std::string_view key) {
        const std::size_t common = CommonLength(text, key);
        const bool differs = common < std::min(text.size(), key.size());
        best = std::max(best, static_cast<int>(common + (differs ? 1 : 0)));
    };
    if (at != begin)
        consider(KeyAt(bytes, *(at - 1), from));
    if (at != end)
        consider(KeyAt(bytes, *at, from));
    return best;
}

} // namespace

bool RecordOrder::Matching(std::string_view bytes, std::string_view prefix,
                           std::vector<std::uint32_t>& out, int* reach) const
{
    const Probe probe(prefix);
    return Visit([&](const auto& starts) {
        auto begins = [&](auto s) { return probe.BegunBy(KeyAt(bytes, s, from_)); };
        auto first = std::partition_point(starts.begin(), starts.end(), [&](auto s) {
            return probe.Compare(KeyAt(bytes, s, from_)) < 0;
        });
        if (first == starts.end() || !begins(*first)) {
            if (reach != nullptr)
                *reach = ReachAround(bytes, from_, starts.begin(), first, starts.end(), prefix);
            return false;
        }
        // Matches are usually few: gallop to the end of them instead of halving the rest.
        auto known = first;
        auto probeAt = first + 1;
        for (std::ptrdiff_t step = 1; probeAt != starts.end() && begins(*probeAt); step *= 2) {
            known = probeAt;
            probeAt = starts.end() - probeAt > step ? probeAt + step : starts.end();
        }
        auto last = std::partition_point(known + 1, probeAt, begins);
        // Putting many matches back in file order costs more than testing every record.
        if (static_cast<std::size_t>(last - first) * 8 > starts.size())
            return true;
        const std::size_t from = out.size();
        out.insert(out.end(), first, last);
        std::sort(out.begin() + static_cast<std::ptrdiff_t>(from), out.end());
        return false;
    });
}

} // namespace kompa
