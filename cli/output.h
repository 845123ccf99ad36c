#pragma once
// Buffered output of the query commands: one large buffer written with write(2), no per-line
// flush. Engine text goes through Text(), which converts it to UTF-8 unless the output is
// Shift-JIS; the structure (tabs, digits, marks, line ends) is ASCII and goes through Raw().

#include <string>
#include <string_view>

namespace kompa::cli {

class Output {
public:
    Output(int fd, bool sjis);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Raw(std::string_view ascii) { buffer_ += ascii; }
    void Raw(char c) { buffer_ += c; }
    void Number(long long value);
    void Text(std::string_view sjis);
    // Ends a line and writes the buffer out once it is large.
    void EndLine();
    // Writes everything out; false when a write failed (also an earlier one).
    bool Flush();
    // The errno of the first failed write, or 0.
    int Error() const { return error_; }

private:
    static constexpr std::size_t kFlushAt = 1 << 16;
    int fd_;
    bool sjis_;
    int error_ = 0;
    std::string buffer_;
};

} // namespace kompa::cli
