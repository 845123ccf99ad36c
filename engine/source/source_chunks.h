#pragma once
// Lines of a Shift-JIS ministry file that needs no decoding, read in chunks from any offset of
// the open file, so two threads can each take one half without the whole file in memory: the
// rules of TSourceLines (a line ends at CR, at CR LF or at a lone LF, 0x1A ends the text, a last
// line without an end still counts).

#include <cstddef>
#include <string>
#include <string_view>

namespace kompa {

class SourceChunks {
public:
    // Reads fd from offset with pread, or from its position with read when offset is negative
    // (a pipe). Lines are cut to their first maxBytes bytes.
    SourceChunks(int fd, long long offset, std::size_t maxBytes);

    // The next line and the file offset it starts at; false at the end of the input. The line
    // stays valid until the next call. Raises the I/O message when a read fails.
    bool Next(std::string_view& line, long long& start);

private:
    bool Refill();

    int fd_;
    long long next_; // file offset of the byte after the buffered ones
    bool positioned_;
    std::size_t maxBytes_;
    std::string buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool ended_ = false;
    bool pendingLf_ = false;
    std::string cut_; // the kept beginning of a line longer than the buffer holds
};

} // namespace kompa
