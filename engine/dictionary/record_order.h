#pragma once
// The records of one block ordered by their text from a fixed position, so that exact and
// prefix queries are a binary search plus a scan of the matches. The block's bytes stay where
// they are (whole records, each a length byte then its text); only the record starts are kept,
// two bytes each where the block is small enough.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kompa {

class RecordOrder {
public:
    // The bytes given to a RecordOrder must be followed by this many readable bytes: keys are
    // compared eight bytes at a time.
    static constexpr std::size_t kPadding = 8;

    bool Built() const { return built_; }
    // Orders the records of bytes (whole records only) whose text reaches textFrom.
    void Build(std::string_view bytes, std::size_t textFrom);

    // Appends the starts (length bytes) of the records whose text from textFrom begins with
    // prefix to out, in file order. Returns true instead, with out untouched, when so many
    // match that the caller had better walk the block and test each record. When nothing
    // matches and reach is given, it receives the largest, over all ordered records, of the
    // 1-based position of the first byte where the record differs from prefix, or the record's
    // length when it is a shorter beginning of prefix.
    bool Matching(std::string_view bytes, std::string_view prefix, std::vector<std::uint32_t>& out,
                  int* reach = nullptr) const;

private:
    template <class F> decltype(auto) Visit(F&& f) const
    {
        return narrow_ ? f(starts16_) : f(starts32_);
    }

    bool built_ = false;
    bool narrow_ = true;
    std::size_t from_ = 0;
    std::vector<std::uint16_t> starts16_;
    std::vector<std::uint32_t> starts32_;
};

} // namespace kompa
