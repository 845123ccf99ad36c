#include "light_strings.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <istream>
#include <ostream>
#include <unistd.h>

#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/io/messages.h"

namespace kompa {

namespace {

// Capacities up to this are reserved at once; beyond it the storage grows as it fills, so a
// huge requested capacity costs nothing until it is used.
constexpr std::size_t kEagerReserveLimit = std::size_t{1} << 20;

bool NeedsQuotes(std::string_view s)
{
    return std::any_of(s.begin(), s.end(), [](char c) {
        auto b = static_cast<unsigned char>(c);
        return b <= 0x20 || b == ',' || b == '"';
    });
}

} // namespace

TLightStrings::~TLightStrings()
{
    Clear();
}

int TLightStrings::Add(std::string s)
{
    if (FCount == FCapacity)
        SetCapacity(FCapacity + 32);
    FList.push_back(std::move(s));
    return FCount++;
}

void TLightStrings::Clear()
{
    if (FCapacity > 0) {
        SetCount(0);
        SetCapacity(0);
    }
}

const std::string& TLightStrings::Get(int index) const
{
    if (index < 0 || index >= FCount)
        Error();
    return FList[static_cast<std::size_t>(index)];
}

void TLightStrings::Put(int index, std::string s)
{
    if (index < 0 || index >= FCount)
        Error();
    FList[static_cast<std::size_t>(index)] = std::move(s);
}

void TLightStrings::SetCount(int newCount)
{
    if (newCount < 0 || newCount > kMaxListSize)
        Error();
    if (newCount > FCapacity)
        SetCapacity(newCount);
    FList.resize(static_cast<std::size_t>(newCount));
    FCount = newCount;
}

void TLightStrings::SetCapacity(int newCapacity)
{
    if (newCapacity > kMaxListSize)
        Error();
    if (newCapacity == FCapacity)
        return;
    if (newCapacity < FCount)
        Error();
    auto wanted = static_cast<std::size_t>(newCapacity);
    if (newCapacity == 0) {
        std::vector<std::string>().swap(FList);
    } else if (wanted > FList.capacity()) {
        // Geometric growth beneath the reported capacity keeps Add-by-Add filling linear.
        if (wanted <= kEagerReserveLimit)
            FList.reserve(std::max(wanted, FList.capacity() * 2));
    } else if (FList.capacity() > 2 * wanted + 64) {
        FList.shrink_to_fit();
    }
    FCapacity = newCapacity;
}

void TLightStrings::Error() const
{
    Raise(msg::kListIndexError);
}

int TLightStrings::IndexOf(std::string_view s) const
{
    for (int i = 0; i < FCount; ++i) {
        if (FList[static_cast<std::size_t>(i)] == s)
            return i;
    }
    return -1;
}

std::string TLightStrings::GetTextStr() const
{
    std::size_t size = 0;
    for (const auto& entry : FList)
        size += entry.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& entry : FList) {
        text += entry;
        text += "\r\n";
    }
    return text;
}

void TLightStrings::SetTextStr(std::string_view value)
{
    Clear();
    if (value.empty())
        return;
    SetCapacity(static_cast<int>(std::min<std::size_t>(value.size() / 28, kMaxListSize + 1ull)));
    std::size_t pos = 0;
    while (pos < value.size()) {
        std::size_t end = value.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = value.size();
        Add(std::string(value.substr(pos, end - pos)));
        pos = end;
        if (pos < value.size() && value[pos] == '\r')
            ++pos;
        if (pos < value.size() && value[pos] == '\n')
            ++pos;
    }
    SetCapacity(FCount);
}

void TLightStrings::SetCommaText(std::string_view value)
{
    Clear();
    if (value.empty())
        return;
    std::size_t pos = 0;
    for (;;) {
        std::string field;
        if (value[pos] == '"') {
            std::size_t scan = pos + 1;
            while (scan < value.size()) {
                if (value[scan] == '"') {
                    if (scan + 1 < value.size() && value[scan + 1] == '"') {
                        scan += 2;
                        continue;
                    }
                    scan = value.find(',', scan);
                    if (scan == std::string_view::npos)
                        scan = value.size();
                    break;
                }
                ++scan;
            }
            field.assign(value.substr(pos, scan - pos));
            pos = scan;
            // Drop the closing quote and whatever followed it, then the opening quote.
            field.erase(field.rfind('"'));
            if (!field.empty())
                field.erase(0, 1);
            // Undouble the quotes; the byte that moves into a deleted place is kept as it is.
            for (std::size_t i = 1; i < field.size(); ++i) {
                if (field[i] == '"')
                    field.erase(i, 1);
            }
        } else {
            std::size_t end = value.find(',', pos);
            if (end == std::string_view::npos)
                end = value.size();
            field.assign(value.substr(pos, end - pos));
            pos = end;
        }
        Add(std::move(field));
        if (pos >= value.size())
            break;
        ++pos; // the comma
        if (pos == value.size()) {
            Add(std::string());
            break;
        }
    }
}

std::string TLightStrings::GetCommaText() const
{
    std::string text;
    text.reserve(4096);
    for (const auto& entry : FList) {
        if (!entry.empty() && NeedsQuotes(entry)) {
            text += '"';
            for (char c : entry) {
                if (c == '"')
                    text += '"';
                text += c;
            }
            text += '"';
        } else {
            text += entry;
        }
        text += ',';
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

void TLightStrings::SaveToStream(std::ostream& stream) const
{
    std::string text = GetTextStr();
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void TLightStrings::LoadFromStream(std::istream& stream)
{
    Clear();
    std::streampos start = stream.tellg();
    stream.seekg(0, std::ios::end);
    std::streampos end = stream.tellg();
    stream.seekg(start);
    if (start < 0 || end < 0 || !stream)
        Raise(msg::kStreamReadError);
    auto n = static_cast<std::size_t>(end - start);
    if (n == 0)
        return;
    std::string bytes(n, '\0');
    if (!stream.read(bytes.data(), static_cast<std::streamsize>(n)))
        Raise(msg::kStreamReadError);
    SetTextStr(bytes);
}

void TLightStrings::LoadFromFile(const std::string& fileName)
{
    Clear();
    // A larger buffer than the classic 8 KiB: the lines come out the same, with fewer reads.
    io::TextFileReader reader(fileName, 65536);
    LoadFromReader(reader);
}

void TLightStrings::LoadFromReader(io::TextFileReader& reader)
{
    Clear();
    const long long size = reader.Identity().size;
    SetCapacity(static_cast<int>(std::min<long long>(size / 28, kMaxListSize + 1ll)));
    std::string_view line;
    std::string spill;
    while (reader.ReadLineView(line, spill))
        Add(std::string(line));
    SetCapacity(FCount);
}

void TLightStrings::SaveToFile(const std::string& fileName) const
{
    if (fileName.empty())
        Raise(msg::kIoInvalidFileName);
    int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        io::RaiseIo(errno);
    std::string buffer;
    buffer.reserve(8192 * 2);
    auto flush = [&] {
        std::size_t done = 0;
        while (done < buffer.size()) {
            ssize_t n = ::write(fd, buffer.data() + done, buffer.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                int err = errno;
                ::close(fd);
                io::RaiseIo(err);
            }
            done += static_cast<std::size_t>(n);
        }
        buffer.clear();
    };
    for (const auto& entry : FList) {
        if (buffer.size() + entry.size() + 2 > 8192)
            flush();
        if (entry.size() + 2 > 8192) {
            buffer = entry;
            buffer += "\r\n";
            flush();
            continue;
        }
        buffer += entry;
        buffer += "\r\n";
    }
    flush();
    if (::close(fd) != 0)
        io::RaiseIo(errno);
}

} // namespace kompa
