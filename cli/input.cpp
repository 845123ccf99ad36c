#include "input.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kompa::cli {

bool ReadAll(int fd, std::string& into)
{
    constexpr std::size_t kChunk = 1 << 20;
    std::size_t used = into.size();
    for (;;) {
        if (into.size() - used < kChunk / 2)
            into.resize(used + kChunk);
        ssize_t n = ::read(fd, into.data() + used, into.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            into.resize(used);
            return n == 0;
        }
        used += static_cast<std::size_t>(n);
    }
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const void* lf = std::memchr(text.data() + start, '\n', text.size() - start);
        std::size_t end =
            lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
        std::size_t contentEnd = end;
        if (lf && contentEnd > start && text[contentEnd - 1] == '\r')
            --contentEnd;
        lines.push_back(text.substr(start, contentEnd - start));
        start = end + 1;
    }
    return lines;
}

} // namespace kompa::cli
