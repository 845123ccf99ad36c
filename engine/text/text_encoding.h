#pragma once
// How a user's text file is written: which encoding, whether it starts with a byte-order mark,
// and which line end. Decided once when the file is read, so that it is written back the same.

#include <string_view>

namespace kompa {

enum class TTextEncoding { ShiftJis, Utf8 };
enum class TLineEnd { CrLf, Lf };
// What the user asked for; Auto leaves it to DetectEncoding.
enum class TEncodingChoice { Auto, ShiftJis, Utf8 };

// A book kept in UTF-16 (a spreadsheet's "Unicode text"), told by its byte-order mark.
enum class TUtf16 { None, LittleEndian, BigEndian };

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct TFileFormat {
    // The text as the pass reads it: a UTF-16 file is held as UTF-8.
    TTextEncoding encoding = TTextEncoding::ShiftJis;
    // The file starts with a byte-order mark (UTF-8's; UTF-16's when utf16 is set), which a
    // Shift-JIS text may also carry by mistake: it is then kept as it was.
    bool bom = false;
    TLineEnd lineEnd = TLineEnd::CrLf;
    TUtf16 utf16 = TUtf16::None; // the file's own encoding, when it is UTF-16
};

// The byte-order mark of UTF-16 at the start of bytes, if any.
TUtf16 DetectUtf16(std::string_view bytes);
std::string_view Utf16Bom(TUtf16 form);

// UTF-8 when bytes start with the UTF-8 byte-order mark, or when all of bytes is valid UTF-8
// holding at least one character at or above U+3000 (kana, kanji, full-width forms): plain
// ASCII and Shift-JIS half-width katakana that happen to be valid UTF-8 stay Shift-JIS.
TTextEncoding DetectEncoding(std::string_view bytes);

// Whether bytes is valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The format of bytes (8-bit text, UTF-16 aside) under choice: a file holding LF but no CR byte
// at all has LF line ends (one without any line end has CR LF, as before). The UTF-8 byte-order
// mark counts for UTF-8, and under Auto also for the Shift-JIS text a program put behind it
// (text that is mostly invalid as UTF-8), which is then read as Shift-JIS with the mark kept.
TFileFormat DetectFileFormat(std::string_view bytes, TEncodingChoice choice);

// The line-end bytes of a format.
inline std::string_view LineEndBytes(TLineEnd end)
{
    return end == TLineEnd::Lf ? std::string_view("\n") : std::string_view("\r\n");
}

} // namespace kompa
