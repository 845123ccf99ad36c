#pragma once
// The ministry file as the build reads it. The file may be given as published: the Shift-JIS
// CSV, its UTF-8 edition (with or without a byte-order mark, CR LF or LF line ends), or a ZIP
// archive holding one of these. The build always reads Shift-JIS with CR LF.

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/io/file_io.h"

namespace kompa {

// The source bytes as Shift-JIS text: a ZIP archive is replaced by its one file, UTF-8 text
// (detected as a user's address book is) is converted to Shift-JIS, and a text holding no CR
// gets CR LF line ends. Shift-JIS text with CR come back unchanged. Raises a message naming the
// line of a character with no Shift-JIS form, or saying why a ZIP archive cannot be read;
// fileName names the file in the messages about its size.
std::string DecodeSource(std::string bytes, const std::string& fileName = {});

// True when a source beginning with head, which ends at its first CR, is Shift-JIS text that
// DecodeSource returns unchanged: no ZIP archive, and not UTF-8 however it goes on (head is
// already no valid UTF-8) - so it can be read without decoding.
bool IsPlainSourceHead(std::string_view head);

// Opens a source file: only a regular file, at most 256 MB (a device or FIFO could give bytes
// without end), with size receiving its size. Raises a message naming the file otherwise.
io::UniqueFd OpenSource(const std::string& fileName, long long& size);

// Reads fileName as OpenSource opens it and decodes it. A ZIP archive's file is checked against
// the size the archive states and the same limit before and while it is inflated.
std::string ReadSourceText(const std::string& fileName);

// The lines of a source text: a line ends at CR, at CR LF or at a lone LF (a source whose lines
// end in both ways is read line by line, not glued), 0x1A ends the text. A last line without a
// line end is still read.
class TSourceLines {
public:
    explicit TSourceLines(std::string_view text);
    // Lines of a text known to hold no 0x1A, which is then not looked for again.
    struct NoCtrlZ {};
    TSourceLines(std::string_view text, NoCtrlZ) : text_(text) {}
    // The next line, cut to maxBytes; false at the end.
    bool Next(std::string_view& line, std::size_t maxBytes);

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace kompa
