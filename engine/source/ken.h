#pragma once
// The 47 prefectures and their one-byte prefecture characters ("0" 0x30 for 北海道 up to "^" 0x5E
// for 沖縄県, in the order of their JIS X 0401 codes), and the removal of a leading prefecture
// name from an address. All text is Shift-JIS bytes.

#include <string>
#include <string_view>

namespace kompa {

inline constexpr int kKenCount = 47;
inline constexpr unsigned char kFirstKenChar = 0x30;
inline constexpr unsigned char kLastKenChar = 0x5E;

extern const std::string_view KenNames[kKenCount];

// The prefecture character (48..94) of the name, compared byte for byte; -1 when none equals it.
int KenCode(std::string_view name);

// The name of a prefecture character; raises "範囲ﾁｪｯｸｴﾗｰ" outside 0x30..0x5E.
std::string_view KenName(unsigned char kenChar);

// The address without a leading prefecture name.
std::string DeleteKen(std::string_view address);

} // namespace kompa
