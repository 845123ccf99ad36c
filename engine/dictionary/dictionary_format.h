#pragma once
// The dictionary file's sizes and offsets (docs/dictionary-format.md), and the little-endian
// field access both the build and the reader use. Nothing here depends on how a struct is laid
// out in memory.

#include <cstddef>
#include <cstdint>

namespace kompa {

// One index entry, decoded from the file field by field.
struct TIndexEntry {
    std::int32_t Size;   // length of the block in bytes
    std::int32_t Offset; // absolute position of the block's first byte
    std::uint16_t Key;   // block key shared by all records of the block
};

} // namespace kompa

namespace kompa::format {

inline constexpr std::size_t kMagicSize = 8;
inline constexpr std::size_t kCountOffset = 8; // int32: number of index entries
inline constexpr std::size_t kHeaderSize = 12;

// One index entry: Size (int32), Offset (int32), Key (uint16).
inline constexpr std::size_t kEntrySize = 10;
inline constexpr std::size_t kEntrySizeField = 0;
inline constexpr std::size_t kEntryOffsetField = 4;
inline constexpr std::size_t kEntryKeyField = 8;

// A record's length byte counts itself, so its text is at most 254 bytes.
inline constexpr std::size_t kRecordMax = 255;
// Where the address starts in a record text: prefecture character, code (7), blank.
inline constexpr std::size_t kAddressStart = 9;

inline std::int32_t GetLe32(const unsigned char* p)
{
    std::uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
    return static_cast<std::int32_t>(v);
}

inline std::uint16_t GetLe16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline void PutLe32(char* at, std::int32_t value)
{
    auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void PutLe16(char* at, std::uint16_t value)
{
    at[0] = static_cast<char>(value & 0xFF);
    at[1] = static_cast<char>(value >> 8);
}

// The index entry stored at entry (kEntrySize bytes), as both dictionaries' files hold them.
inline TIndexEntry GetEntry(const unsigned char* entry)
{
    return {GetLe32(entry + kEntrySizeField), GetLe32(entry + kEntryOffsetField),
            GetLe16(entry + kEntryKeyField)};
}

inline void PutEntry(char* entry, const TIndexEntry& e)
{
    PutLe32(entry + kEntrySizeField, e.Size);
    PutLe32(entry + kEntryOffsetField, e.Offset);
    PutLe16(entry + kEntryKeyField, e.Key);
}

} // namespace kompa::format
