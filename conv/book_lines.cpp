#include "book_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/io/messages.h"
#include "engine/text/cp932.h"

namespace kompa {

namespace {

void PutNumber(std::string& to, std::size_t value)
{
    do {
        const auto low = static_cast<char>(value & 0x7F);
        value >>= 7;
        to += value ? static_cast<char>(low | 0x80) : low;
    } while (value);
}

std::size_t GetNumber(const char*& from)
{
    std::size_t value = 0;
    for (int shift = 0;; shift += 7) {
        const auto b = static_cast<unsigned char>(*from++);
        value |= static_cast<std::size_t>(b & 0x7F) << shift;
        if (!(b & 0x80))
            return value;
    }
}

// How many leading bytes a and b share, compared a word at a time.
std::size_t CommonPrefix(std::string_view a, std::string_view b)
{
    const std::size_t limit = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i + 8 <= limit; i += 8) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y)
            break;
    }
    while (i < limit && a[i] == b[i])
        ++i;
    return i;
}

} // namespace

void TBookLines::Clear()
{
    std::string().swap(bytes_);
    textStart_ = 0;
    textEnd_ = 0;
    std::vector<Span>().swap(spans_);
    std::vector<std::string>().swap(edits_);
    std::vector<std::uint32_t>().swap(editStarts_);
    editSize_ = 0;
    std::string().swap(scratch_);
    format_ = TFileFormat();
}

void TBookLines::LoadFromFile(const std::string& fileName, TEncodingChoice choice)
{
    Clear();
    SetBytes(io::ReadWholeFile(fileName), choice, fileName);
}

void TBookLines::SetBytes(std::string bytes, TEncodingChoice choice, const std::string& fileName)
{
    Clear();
    // Spans address the buffer with 32 bits.
    if (bytes.size() >= kEdited * std::size_t{2})
        io::RaiseIo(EFBIG);
    if (const TUtf16 wide = DetectUtf16(bytes); wide != TUtf16::None) {
        std::string utf8;
        std::size_t stopped = 0;
        const std::string_view units = std::string_view(bytes).substr(2);
        if (!cp932::Utf16ToUtf8(units, wide == TUtf16::BigEndian, utf8, &stopped)) {
            // The line is counted in what decoded before the fault.
            const auto lfs = std::count(utf8.begin(), utf8.end(), '\n');
            const auto crs = std::count(utf8.begin(), utf8.end(), '\r');
            Raise(FormatMessage(FormatMessage(msg::kUtf16Invalid, fileName),
                                static_cast<long long>(std::max(lfs, crs)) + 1));
        }
        format_ = DetectFileFormat(utf8, TEncodingChoice::Utf8);
        format_.bom = true;
        format_.utf16 = wide;
        bytes = std::move(utf8);
    } else {
        format_ = DetectFileFormat(bytes, choice);
    }
    bytes_ = std::move(bytes);
    std::string_view text = bytes_;
    textStart_ = format_.bom && format_.utf16 == TUtf16::None ? kUtf8Bom.size() : 0;
    std::size_t pos = textStart_;
    // Ctrl-Z ends the lines; it and every byte after it are kept as they are.
    textEnd_ = std::min(text.find('\x1A', pos), text.size());
    text = text.substr(0, textEnd_);
    const char end = format_.lineEnd == TLineEnd::Lf ? '\n' : '\r';
    spans_.reserve(static_cast<std::size_t>(std::count(text.begin() + pos, text.end(), end)) + 1);
    while (pos < text.size()) {
        std::size_t stop = text.find(end, pos);
        if (stop == std::string_view::npos)
            stop = text.size();
        if (stop - pos >= kEdited)
            io::RaiseIo(EFBIG);
        spans_.push_back({static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(stop - pos)});
        pos = stop + 1;
        if (end == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;
    }
    spans_.shrink_to_fit();
}

void TBookLines::Check(int index) const
{
    if (index < 0 || index >= Count())
        Raise(msg::kListIndexError);
}

TBookLines::Span TBookLines::Original(int index) const
{
    Span span = spans_[static_cast<std::size_t>(index)];
    if (span.length & kEdited) {
        const char* record = EditAt(span.start);
        span.start = static_cast<std::uint32_t>(GetNumber(record));
        span.length &= ~kEdited;
    }
    return span;
}

std::string_view TBookLines::Get(int index) const
{
    Check(index);
    const Span span = spans_[static_cast<std::size_t>(index)];
    if (!(span.length & kEdited))
        return std::string_view(bytes_).substr(span.start, span.length);
    const char* record = EditAt(span.start);
    const std::size_t start = GetNumber(record);
    const std::size_t kept = GetNumber(record);
    const std::size_t dropped = GetNumber(record);
    const std::size_t inserted = GetNumber(record);
    const std::size_t length = span.length & ~kEdited;
    scratch_.assign(bytes_, start, kept);
    scratch_.append(record, inserted);
    scratch_.append(bytes_, start + kept + dropped, length - kept - dropped);
    return scratch_;
}

void TBookLines::Put(int index, std::string_view line)
{
    Check(index);
    const Span original = Original(index);
    const std::string_view was = std::string_view(bytes_).substr(original.start, original.length);
    Span& span = spans_[static_cast<std::size_t>(index)];
    const std::size_t kept = CommonPrefix(was, line);
    if (kept == was.size() && kept == line.size()) {
        span = original;
        return;
    }
    // Most written lines differ from their original only in the postal-code field: keep the
    // common start and end, store the middle.
    const std::size_t limit = std::min(was.size(), line.size());
    std::size_t tail = 0;
    while (tail < limit - kept && was[was.size() - 1 - tail] == line[line.size() - 1 - tail])
        ++tail;
    std::string record;
    PutNumber(record, original.start);
    PutNumber(record, kept);
    PutNumber(record, was.size() - kept - tail);
    PutNumber(record, line.size() - kept - tail);
    record.append(line.substr(kept, line.size() - kept - tail));
    span = {AddEdit(record), original.length | kEdited};
}

std::uint32_t TBookLines::AddEdit(std::string_view record)
{
    constexpr std::size_t kChunk = 65536;
    if (editSize_ + record.size() >= kEdited * std::size_t{2})
        io::RaiseIo(EFBIG);
    if (edits_.empty() || edits_.back().size() + record.size() > edits_.back().capacity()) {
        edits_.emplace_back().reserve(std::max(kChunk, record.size()));
        editStarts_.push_back(static_cast<std::uint32_t>(editSize_));
    }
    const auto at = static_cast<std::uint32_t>(editSize_);
    edits_.back() += record;
    editSize_ += record.size();
    return at;
}

const char* TBookLines::EditAt(std::uint32_t offset) const
{
    const auto chunk = std::upper_bound(editStarts_.begin(), editStarts_.end(), offset) - 1;
    return edits_[static_cast<std::size_t>(chunk - editStarts_.begin())].data() + (offset - *chunk);
}

template <typename Sink> bool TBookLines::Emit(Sink&& sink) const
{
    if (format_.utf16 != TUtf16::None) {
        std::string wide;
        const bool big = format_.utf16 == TUtf16::BigEndian;
        return sink(Utf16Bom(format_.utf16)) && EmitText([&](std::string_view piece) {
                   if (!cp932::Utf8ToUtf16(piece, big, wide)) {
                       errno = EILSEQ;
                       return false;
                   }
                   return sink(std::string_view(wide));
               });
    }
    if (format_.bom && !sink(kUtf8Bom))
        return false;
    return EmitText(sink);
}

template <typename Sink> bool TBookLines::EmitText(Sink&& sink) const
{
    const std::string_view end = LineEndBytes(format_.lineEnd);
    for (int i = 0; i < Count(); ++i)
        if (!sink(Get(i)) || !sink(end))
            return false;
    return sink(std::string_view(bytes_).substr(textEnd_));
}

std::string TBookLines::GetTextStr() const
{
    std::string text;
    text.reserve(bytes_.size() + editSize_ + spans_.size() * 2);
    Emit([&text](std::string_view piece) {
        text += piece;
        return true;
    });
    return text;
}

bool TBookLines::WriteTo(int fd) const
{
    constexpr std::size_t kPiece = 65536;
    std::string buffer;
    buffer.reserve(kPiece);
    return Emit([&](std::string_view piece) {
               if (buffer.size() + piece.size() > kPiece) {
                   if (!io::WriteAll(fd, buffer))
                       return false;
                   buffer.clear();
               }
               if (piece.size() > kPiece)
                   return io::WriteAll(fd, piece);
               buffer += piece;
               return true;
           }) &&
           io::WriteAll(fd, buffer);
}

} // namespace kompa
