#pragma once
// How a user's text file is written: which encoding, whether it starts with a byte-order mark,
// and which line end. Decided once when the file is read, so that it is written back the same.

#include <string_view>

namespace kompa {

enum class TTextEncoding { ShiftJis, Utf8 };
enum class TLineEnd { CrLf, Lf };
// What the user asked for; Auto leaves it to DetectEncoding.
enum class TEncodingChoice { Auto, ShiftJis, Utf8 };

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct TFileFormat {
    TTextEncoding encoding = TTextEncoding::ShiftJis;
    bool bom = false;
    TLineEnd lineEnd = TLineEnd::CrLf;
};

// UTF-8 when bytes start with the UTF-8 byte-order mark, or when all of bytes is valid UTF-8
// holding at least one character at or above U+3000 (kana, kanji, full-width forms): plain
// ASCII and Shift-JIS half-width katakana that happen to be valid UTF-8 stay Shift-JIS.
TTextEncoding DetectEncoding(std::string_view bytes);

// Whether bytes is valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The format of bytes under choice: a file holding LF but no CR byte at all has LF line ends
// (one without any line end has CR LF, as before); the byte-order mark counts only for UTF-8.
TFileFormat DetectFileFormat(std::string_view bytes, TEncodingChoice choice);

// The line-end bytes of a format.
inline std::string_view LineEndBytes(TLineEnd end)
{
    return end == TLineEnd::Lf ? std::string_view("\n") : std::string_view("\r\n");
}

} // namespace kompa
