#pragma once
// TBookLines: a user's address book held as its bytes in one buffer with a span per line, in
// the file's own format (encoding, byte-order mark, line end). A line written back is kept as
// its difference from the line as read, so a converted book costs little more than its file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text/text_encoding.h"

namespace kompa {

class TBookLines {
public:
    // Reads the file and splits it by the line rules of its format: with CR LF, a line ends at
    // CR, an LF right after it belongs to the line end and a lone LF is an ordinary byte; with
    // LF (a file holding an LF and no CR) a line ends at LF. 0x1A or the physical end ends the
    // input; a last line without a line end is still read. The I/O failure raises its message and
    // leaves the list empty. A file starting with UTF-16's byte-order mark is UTF-16 whatever the
    // choice: it is held as UTF-8 and written back as UTF-16 with its mark, byte for byte where
    // nothing changed; one that does not decode is refused naming the file and the line.
    void LoadFromFile(const std::string& fileName, TEncodingChoice choice);
    // The same over bytes already read; fileName only names the file in messages.
    void SetBytes(std::string bytes, TEncodingChoice choice, const std::string& fileName = {});
    void Clear();

    int Count() const { return static_cast<int>(spans_.size()); }
    // The line without its end. Valid until the next Get or Put; a bad index raises.
    std::string_view Get(int index) const;
    std::string_view operator[](int index) const { return Get(index); }
    void Put(int index, std::string_view line);

    const TFileFormat& Format() const { return format_; }
    // The byte-order mark when there was one, then every line followed by the format's line
    // end, then the 0x1A that ended the lines and every byte after it, as read.
    std::string GetTextStr() const;
    // Writes GetTextStr() to fd in pieces; false with errno set on failure.
    bool WriteTo(int fd) const;

private:
    // A line as read: start and length in bytes_. An edited line has kEdited set in length and
    // start pointing to its edit record in edits_.
    struct Span {
        std::uint32_t start;
        std::uint32_t length;
    };
    static constexpr std::uint32_t kEdited = 0x80000000u;

    Span Original(int index) const;
    void Check(int index) const;
    // Stores an edit record; returns its offset.
    std::uint32_t AddEdit(std::string_view record);
    const char* EditAt(std::uint32_t offset) const;
    template <typename Sink> bool Emit(Sink&& sink) const;
    template <typename Sink> bool EmitText(Sink&& sink) const;

    std::string bytes_;
    std::size_t textStart_ = 0; // after a byte-order mark kept in bytes_
    std::size_t textEnd_ = 0;   // where a 0x1A ended the lines, else bytes_.size()
    std::vector<Span> spans_;
    // Edit records: original start, then prefix kept, bytes dropped, bytes inserted (LEB128),
    // then the inserted bytes. Kept in chunks, so that growing never holds two copies and
    // never leaves half a buffer unused; an offset counts through the chunks in order.
    std::vector<std::string> edits_;
    std::vector<std::uint32_t> editStarts_; // offset of each chunk's first byte
    std::size_t editSize_ = 0;
    mutable std::string scratch_;
    TFileFormat format_;
};

} // namespace kompa
