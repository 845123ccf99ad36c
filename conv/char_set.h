#pragma once
// TCharSet: a set of the 256 byte values, one bit each. Delimiter and quote-target sets.

#include <array>
#include <cstdint>

namespace kompa {

class TCharSet {
public:
    constexpr TCharSet() = default;

    static constexpr TCharSet Empty() { return TCharSet(); }
    static constexpr TCharSet Full()
    {
        TCharSet s;
        s.bits_.fill(~std::uint64_t{0});
        return s;
    }
    // The bytes first .. last, both included.
    static constexpr TCharSet Range(unsigned char first, unsigned char last)
    {
        TCharSet s;
        for (unsigned v = first; v <= last; ++v)
            s.Add(static_cast<unsigned char>(v));
        return s;
    }
    // The control codes 0x00 .. 0x1F.
    static constexpr TCharSet ControlCodes() { return Range(0x00, 0x1F); }

    constexpr bool Contains(unsigned char c) const { return (bits_[c >> 6] >> (c & 63)) & 1u; }
    constexpr bool Contains(char c) const { return Contains(static_cast<unsigned char>(c)); }

    constexpr void Add(unsigned char c) { bits_[c >> 6] |= std::uint64_t{1} << (c & 63); }
    constexpr void Add(char c) { Add(static_cast<unsigned char>(c)); }

    constexpr TCharSet& operator|=(const TCharSet& other)
    {
        for (std::size_t i = 0; i < bits_.size(); ++i)
            bits_[i] |= other.bits_[i];
        return *this;
    }
    friend constexpr TCharSet operator|(TCharSet a, const TCharSet& b) { return a |= b; }
    friend constexpr bool operator==(const TCharSet&, const TCharSet&) = default;

    constexpr bool IsEmpty() const
    {
        for (std::uint64_t word : bits_)
            if (word != 0)
                return false;
        return true;
    }
    constexpr bool IsFull() const { return *this == Full(); }

private:
    std::array<std::uint64_t, 4> bits_{};
};

} // namespace kompa
