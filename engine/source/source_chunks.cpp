#include "source_chunks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/io/file_io.h"

namespace kompa {

namespace {

constexpr std::size_t kChunk = 128 * 1024;

} // namespace

SourceChunks::SourceChunks(int fd, long long offset, std::size_t maxBytes)
    : fd_(fd), next_(offset < 0 ? 0 : offset), positioned_(offset >= 0), maxBytes_(maxBytes),
      buffer_(kChunk, '\0')
{
}

// Moves the unread bytes to the front and reads more after them; false when no input came.
bool SourceChunks::Refill()
{
    if (ended_)
        return false;
    std::memmove(buffer_.data(), buffer_.data() + pos_, len_ - pos_);
    len_ -= pos_;
    pos_ = 0;
    ssize_t n;
    do {
        n = positioned_ ? ::pread(fd_, buffer_.data() + len_, buffer_.size() - len_,
                                  static_cast<off_t>(next_))
                        : ::read(fd_, buffer_.data() + len_, buffer_.size() - len_);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        io::RaiseIo(errno);
    next_ += n;
    if (n == 0)
        ended_ = true;
    const std::size_t had = len_;
    const char* fresh = buffer_.data() + len_;
    len_ += static_cast<std::size_t>(n);
    // Ctrl-Z ends the input for good: no line is read after it.
    if (const auto* ctrlZ =
            static_cast<const char*>(std::memchr(fresh, '\x1A', static_cast<std::size_t>(n)))) {
        const auto kept = static_cast<std::size_t>(ctrlZ - buffer_.data());
        next_ -= static_cast<long long>(len_ - kept); // so that line starts stay file offsets
        len_ = kept;
        ended_ = true;
    }
    // Bytes after a 0x1A are no input: a text that ends at once gives no line.
    return len_ > had;
}

namespace {

// The first CR or LF in [from, from + n), or null.
const char* LineEnd(const char* from, std::size_t n)
{
    const auto* cr = static_cast<const char*>(std::memchr(from, '\r', n));
    const auto* lf = static_cast<const char*>(
        std::memchr(from, '\n', cr ? static_cast<std::size_t>(cr - from) : n));
    return lf ? lf : cr;
}

} // namespace

bool SourceChunks::Next(std::string_view& line, long long& start)
{
    if (pos_ == len_ && !Refill() && pos_ == len_)
        return false;
    if (pendingLf_) {
        pendingLf_ = false;
        if (buffer_[pos_] == '\n' && ++pos_ == len_ && !Refill() && pos_ == len_)
            return false;
    }
    start = next_ - static_cast<long long>(len_ - pos_);
    bool cutting = false;
    cut_.clear();
    for (;;) {
        const char* from = buffer_.data() + pos_;
        const char* end = LineEnd(from, len_ - pos_);
        if (end != nullptr || ended_) {
            const std::size_t run =
                end != nullptr ? static_cast<std::size_t>(end - from) : len_ - pos_;
            if (!cutting) {
                line = std::string_view(from, std::min(run, maxBytes_));
            } else {
                cut_.append(from, std::min(run, maxBytes_ - std::min(maxBytes_, cut_.size())));
                line = cut_;
            }
            pos_ += run;
            if (end != nullptr) {
                ++pos_;
                // An LF right after a CR belongs to the same line end.
                pendingLf_ = *end == '\r';
            }
            return true;
        }
        // The line runs on past the buffered bytes. A short one is moved to the front; of a
        // long one only its kept beginning is.
        if (!cutting && len_ - pos_ > buffer_.size() / 2) {
            cutting = true;
        }
        if (cutting) {
            cut_.append(from, std::min(len_ - pos_, maxBytes_ - std::min(maxBytes_, cut_.size())));
            pos_ = len_;
        }
        Refill();
    }
}

} // namespace kompa
