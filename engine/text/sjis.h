#pragma once
// The one test for a Shift-JIS (CP932) lead byte, the first byte of a double-byte character, and
// for the bytes that can follow one.

namespace kompa {

constexpr bool IsSjisLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool IsSjisTrailByte(unsigned char b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

} // namespace kompa
