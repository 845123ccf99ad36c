#include "source_text.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/io/messages.h"
#include "engine/text/cp932.h"
#include "engine/text/text_encoding.h"

namespace kompa {

namespace {

// The first CR or LF from p, 16 bytes at a time where the text has them (find_first_of would
// ask memchr about every byte).
const char* FindLineEnd(const char* p, const char* end)
{
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf))));
        if (mask != 0)
            return p + __builtin_ctz(mask);
        p += 16;
    }
#endif
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// The source's one line rule: CR, LF or CR LF ends a line. Where the line from pos stops, and
// where the next one begins.
struct LineSpan {
    std::size_t stop, next;
};

LineSpan SourceLineAt(std::string_view text, std::size_t pos)
{
    const char* begin = text.data();
    const auto stop =
        static_cast<std::size_t>(FindLineEnd(begin + pos, begin + text.size()) - begin);
    std::size_t next = stop + 1;
    if (stop < text.size() && text[stop] == '\r' && next < text.size() && text[next] == '\n')
        ++next;
    return {stop, next};
}

// The real file is about 12 MB; a source that would take more than this is no ministry file.
constexpr std::size_t kSourceMax = std::size_t{256} << 20;

bool IsZip(std::string_view bytes)
{
    // A local file header, or the end record of an empty archive.
    return bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06");
}

[[noreturn]] void RaiseZip(std::string_view reason)
{
    Raise(FormatMessage(msg::kZipUnreadable, reason));
}

// Raises the message of an error this code owns.
[[noreturn]] void RaiseZip(zip_error_t* error)
{
    const std::string reason = zip_error_strerror(error);
    zip_error_fini(error);
    RaiseZip(reason);
}

// The one file of the archive held in bytes; every entry's checksum is verified as it is read.
std::string Unzip(const std::string& bytes, const std::string& fileName)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (!source)
        RaiseZip(&error);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) {
        zip_source_free(source);
        RaiseZip(&error);
    }
    std::unique_ptr<zip_t, void (*)(zip_t*)> guard(archive, zip_discard);
    zip_int64_t chosen = -1;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (name && std::string_view(name).ends_with('/'))
            continue; // a folder
        if (chosen >= 0)
            Raise(msg::kZipNotOneFile);
        chosen = i;
    }
    if (chosen < 0)
        Raise(msg::kZipNotOneFile);
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(chosen), 0);
    if (!file)
        RaiseZip(zip_strerror(archive));
    // The size the archive states is checked before anything is inflated, and the bytes
    // inflated against it: a damaged or forged entry can neither grow without end nor differ.
    zip_stat_t stat;
    zip_stat_init(&stat);
    const bool stated = zip_stat_index(archive, static_cast<zip_uint64_t>(chosen), 0, &stat) == 0 &&
                        (stat.valid & ZIP_STAT_SIZE);
    if (stated && stat.size > kSourceMax) {
        zip_fclose(file);
        Raise(FormatMessage(msg::kZipMemberTooLarge, fileName));
    }
    const std::size_t limit = stated ? static_cast<std::size_t>(stat.size) : kSourceMax;
    std::string text;
    text.reserve(limit);
    char buffer[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            // A damaged entry: inflate fails, or the checksum at its end does not match.
            const std::string reason = zip_file_strerror(file);
            zip_fclose(file);
            RaiseZip(reason);
        }
        if (n == 0)
            break;
        if (static_cast<std::size_t>(n) > limit - text.size()) {
            zip_fclose(file);
            Raise(
                FormatMessage(stated ? msg::kZipSizeMismatch : msg::kZipMemberTooLarge, fileName));
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (stated && text.size() != limit) {
        zip_fclose(file);
        Raise(FormatMessage(msg::kZipSizeMismatch, fileName));
    }
    zip_fclose(file);
    return text;
}

std::string CodePointName(std::string_view utf8)
{
    char32_t code = 0;
    if (!utf8.empty()) {
        const auto lead = static_cast<unsigned char>(utf8[0]);
        code = lead < 0x80   ? lead
               : lead < 0xE0 ? lead & 0x1F
               : lead < 0xF0 ? lead & 0x0F
                             : lead & 0x07;
        for (std::size_t i = 1; i < utf8.size(); ++i)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
    }
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
    return name;
}

// Finds the first line of utf8 that cannot be converted and raises its message.
[[noreturn]] void RaiseUnconvertible(std::string_view utf8)
{
    // Lines are counted as the build counts them (CR, CR LF or LF ends one).
    long long number = 1;
    std::string sjis;
    std::string bad;
    for (std::size_t pos = 0; pos <= utf8.size(); ++number) {
        const LineSpan line = SourceLineAt(utf8, pos);
        if (!cp932::FromUtf8Strict(utf8.substr(pos, line.stop - pos), sjis, &bad))
            Raise(
                FormatMessage(FormatMessage(msg::kSourceCharNotSjis, number), CodePointName(bad)));
        pos = line.next;
    }
    Raise(FormatMessage(FormatMessage(msg::kSourceCharNotSjis, number), CodePointName(bad)));
}

} // namespace

std::string DecodeSource(std::string bytes, const std::string& fileName)
{
    if (IsZip(bytes))
        bytes = Unzip(bytes, fileName);
    if (DetectEncoding(bytes) == TTextEncoding::Utf8) {
        std::string_view utf8 = bytes;
        if (utf8.starts_with(kUtf8Bom))
            utf8.remove_prefix(kUtf8Bom.size());
        std::string sjis;
        if (!cp932::FromUtf8Strict(utf8, sjis))
            RaiseUnconvertible(utf8);
        bytes = std::move(sjis);
    }
    if (bytes.find('\r') != std::string::npos)
        return bytes;
    // LF line ends become the CR LF the build reads; no Shift-JIS trail byte is an LF.
    const auto lfs = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    if (bytes.size() + lfs > kSourceMax)
        Raise(FormatMessage(msg::kSourceTextTooLarge, fileName));
    std::string crlf;
    crlf.reserve(bytes.size() + lfs);
    for (char c : bytes) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    return crlf;
}

bool IsPlainSourceHead(std::string_view head)
{
    if (!head.ends_with('\r') || IsZip(head))
        return false;
    // With a wide UTF-8 character after it, head is detected as UTF-8 exactly when it is valid
    // UTF-8 itself (or starts with the mark). It ends at a CR, which no multi-byte character
    // holds, so a head that is not valid UTF-8 makes no longer text valid either.
    return DetectEncoding(std::string(head) + "\xE3\x81\x82") == TTextEncoding::ShiftJis;
}

io::UniqueFd OpenSource(const std::string& fileName, long long& size)
{
    io::UniqueFd fd = io::OpenRegularFile(fileName);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        io::RaiseIo(errno);
    if (static_cast<unsigned long long>(st.st_size) > kSourceMax)
        Raise(FormatMessage(msg::kSourceTooLarge, fileName));
    size = static_cast<long long>(st.st_size);
    return fd;
}

std::string ReadSourceText(const std::string& fileName)
{
    long long size = 0;
    const io::UniqueFd fd = OpenSource(fileName, size);
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    std::size_t done = 0;
    for (;;) {
        // A file that grows while it is read is held to the same limit.
        if (done == bytes.size()) {
            if (bytes.size() > kSourceMax)
                Raise(FormatMessage(msg::kSourceTooLarge, fileName));
            bytes.resize(std::min(bytes.size() * 2, kSourceMax + 1));
        }
        const ssize_t n = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            io::RaiseIo(errno);
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    if (done > kSourceMax)
        Raise(FormatMessage(msg::kSourceTooLarge, fileName));
    bytes.resize(done);
    return DecodeSource(std::move(bytes), fileName);
}

TSourceLines::TSourceLines(std::string_view text) : text_(text.substr(0, text.find('\x1A'))) {}

bool TSourceLines::Next(std::string_view& line, std::size_t maxBytes)
{
    if (pos_ >= text_.size())
        return false;
    const LineSpan span = SourceLineAt(text_, pos_);
    line = text_.substr(pos_, std::min(span.stop - pos_, maxBytes));
    pos_ = span.next;
    return true;
}

} // namespace kompa
