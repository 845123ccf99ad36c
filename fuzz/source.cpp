// A ministry source as arbitrary bytes: decoded (ZIP archive, UTF-8, LF line ends), then read
// line by line both ways the build reads a text (whole in memory, and in chunks from any offset
// of a file), and every line split into fields. Both ways must give the same lines.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/io/errors.h"
#include "engine/source/source_chunks.h"
#include "engine/source/source_line.h"
#include "engine/source/source_text.h"

namespace {

using namespace kompa;

// The text as a file, so the chunked reader reads it as it reads a source.
int TextFile(const std::string& text)
{
    static const int fd = ::memfd_create("kompa-fuzz-source", 0);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
        __builtin_trap();
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text;
    try {
        text = DecodeSource(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const Exception&) {
        return 0;
    }

    std::vector<std::string> whole;
    TSourceLines lines(text);
    std::string_view line;
    std::vector<std::string_view> fields;
    std::vector<std::string_view> plain;
    std::string scratch;
    while (lines.Next(line, kSourceLineMax)) {
        whole.emplace_back(line);
        SplitSourceLine(line, fields, scratch, 9);
        if (SplitPlainSourceLine(line, plain, 9) && plain != fields)
            __builtin_trap();
    }

    const int fd = TextFile(text);
    SourceChunks chunks(fd, 0, kSourceLineMax);
    long long start = 0;
    std::size_t count = 0;
    try {
        while (chunks.Next(line, start)) {
            if (count >= whole.size() || whole[count] != line)
                __builtin_trap();
            ++count;
        }
    } catch (const Exception&) {
        __builtin_trap();
    }
    if (count != whole.size())
        __builtin_trap();
    return 0;
}
