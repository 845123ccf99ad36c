#include "output.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "codec.h"

namespace kompa::cli {

Output::Output(int fd, bool sjis) : fd_(fd), sjis_(sjis)
{
    buffer_.reserve(kFlushAt * 2);
}

Output::~Output()
{
    Flush();
}

void Output::Number(long long value)
{
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    buffer_.append(digits, end);
}

void Output::Text(std::string_view sjis)
{
    if (sjis_)
        buffer_ += sjis;
    else
        AppendUtf8(buffer_, sjis);
}

void Output::EndLine()
{
    buffer_ += '\n';
    if (buffer_.size() >= kFlushAt)
        Flush();
}

bool Output::Flush()
{
    std::size_t done = 0;
    while (done < buffer_.size() && error_ == 0) {
        ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            error_ = n < 0 ? errno : EIO;
        else
            done += static_cast<std::size_t>(n);
    }
    // After a failure the rest is dropped: nobody can read it, and the exit status tells.
    buffer_.clear();
    return error_ == 0;
}

} // namespace kompa::cli
