#include "file_io.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "errors.h"
#include "messages.h"

namespace kompa::io {

namespace {

int OpenRead(const std::string& fileName)
{
    if (fileName.empty()) {
        errno = EINVAL;
        return -1;
    }
    int fd;
    do {
        fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    // Linux opens directories for reading; the platform refuses them like any denied file.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

[[noreturn]] void RaiseCreate(const std::string& fileName)
{
    Raise(FormatMessage(msg::kFileCreateError, fileName));
}

mode_t NewFileMode()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::string IoErrorMessage(int err)
{
    switch (err) {
    case ENOENT:
        return msg::kIoFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
        return msg::kIoInvalidFileName;
    case EMFILE:
    case ENFILE:
        return msg::kIoTooManyFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return msg::kIoAccessDenied;
    case ENOSPC:
    case EDQUOT:
        return msg::kIoDiskFull;
    default:
        return FormatMessage(msg::kIoOther, static_cast<long long>(err));
    }
}

void RaiseIo(int err)
{
    Raise(IoErrorMessage(err));
}

bool FileExists(const std::string& fileName)
{
    struct stat st {};
    return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

long long FileSizeOrMinus1(const std::string& fileName)
{
    struct stat st {};
    if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return -1;
    return static_cast<long long>(st.st_size);
}

std::string DirectoryPart(const std::string& fileName)
{
    auto slash = fileName.rfind('/');
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string NamePart(const std::string& fileName)
{
    return fileName.substr(DirectoryPart(fileName).size());
}

std::string ProgramFileName()
{
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    return std::string(path, static_cast<std::size_t>(n));
}

// --- TextFileReader -------------------------------------------------------------------------

TextFileReader::TextFileReader(const std::string& fileName, std::size_t bufferSize)
{
    fd_ = OpenRead(fileName);
    if (fd_ < 0)
        RaiseIo(errno);
    buffer_.resize(bufferSize == 0 ? 1 : bufferSize);
}

TextFileReader::~TextFileReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool TextFileReader::Fill()
{
    if (eof_)
        return false;
    ssize_t n;
    do {
        n = ::read(fd_, buffer_.data(), buffer_.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        RaiseIo(errno);
    pos_ = 0;
    len_ = static_cast<std::size_t>(n);
    if (n == 0)
        eof_ = true;
    // Ctrl-Z ends the input for good: nothing after it is ever read.
    if (auto* ctrlZ = static_cast<const char*>(std::memchr(buffer_.data(), '\x1A', len_))) {
        len_ = static_cast<std::size_t>(ctrlZ - buffer_.data());
        eof_ = true;
    }
    return len_ > 0;
}

bool TextFileReader::AtEnd()
{
    for (;;) {
        if (pos_ >= len_ && !Fill())
            return true;
        if (!pendingLf_ || buffer_[pos_] != '\n')
            return false;
        pendingLf_ = false;
        ++pos_;
    }
}

bool TextFileReader::ReadLineView(std::string_view& line, std::string& spill, std::size_t maxBytes)
{
    line = {};
    if (AtEnd())
        return false;
    pendingLf_ = false;
    spill.clear();
    bool spilled = false;
    while (pos_ < len_ || Fill()) {
        const char* start = buffer_.data() + pos_;
        std::size_t avail = len_ - pos_;
        auto* cr = static_cast<const char*>(std::memchr(start, '\r', avail));
        std::size_t run = cr ? static_cast<std::size_t>(cr - start) : avail;
        pos_ += run;
        if (cr) {
            ++pos_;
            pendingLf_ = true;
        }
        // With eof_ set the buffer holds the last bytes of the input: the line ends with it.
        bool ends = cr || eof_;
        if (!spilled && ends) {
            line = std::string_view(start, std::min(run, maxBytes));
            return true;
        }
        // The line runs on past the buffer: keep what fits before the buffer is refilled.
        spilled = true;
        if (spill.size() < maxBytes)
            spill.append(start, std::min(run, maxBytes - spill.size()));
        if (ends)
            break;
    }
    line = spill;
    return true;
}

bool TextFileReader::ReadLine(std::string& line, std::size_t maxBytes)
{
    std::string_view view;
    if (!ReadLineView(view, line, maxBytes)) {
        line.clear();
        return false;
    }
    if (view.data() != line.data())
        line.assign(view);
    return true;
}

// --- ExclusiveFile --------------------------------------------------------------------------

bool ExclusiveFile::Open(const std::string& fileName)
{
    Close();
    int fd = OpenRead(fileName);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        errno = EACCES;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        errno = err;
        return false;
    }
    fd_ = fd;
    size_ = static_cast<long long>(st.st_size);
    return true;
}

void ExclusiveFile::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        size_ = 0;
    }
}

std::size_t ExclusiveFile::ReadAt(long long offset, void* into, std::size_t count) const
{
    auto* out = static_cast<char*>(into);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd_, out + done, count - done,
                            static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseIo(errno);
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// --- saving ---------------------------------------------------------------------------------

void SaveFileReplacing(const std::string& fileName, std::string_view bytes)
{
    if (fileName.empty())
        RaiseCreate(fileName);
    // Replacing by rename needs no write permission on the file itself; a file that could not
    // be overwritten in place must not be replaced either.
    struct stat existing {};
    if (::stat(fileName.c_str(), &existing) == 0 && !S_ISDIR(existing.st_mode) &&
        ::faccessat(AT_FDCWD, fileName.c_str(), W_OK, AT_EACCESS) != 0)
        RaiseCreate(fileName);

    mode_t mode = NewFileMode();
    // A file held open by an ExclusiveFile carries its lock; keep our own test lock until the
    // rename so nobody opens the old file in between and sees it vanish.
    int guard = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (guard >= 0) {
        struct stat st {};
        if (::fstat(guard, &st) == 0) {
            if (S_ISDIR(st.st_mode)) {
                ::close(guard);
                RaiseCreate(fileName);
            }
            mode = st.st_mode & 07777;
        }
        if (::flock(guard, LOCK_EX | LOCK_NB) != 0) {
            ::close(guard);
            RaiseCreate(fileName);
        }
    }
    auto closeGuard = [&] {
        if (guard >= 0)
            ::close(guard);
    };

    std::string temp = DirectoryPart(fileName) + "." + NamePart(fileName) + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        closeGuard();
        RaiseCreate(fileName);
    }
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        closeGuard();
        RaiseIo(err);
    };
    if (::fchmod(fd, mode) != 0)
        fail(errno);
    if (!WriteAll(fd, bytes))
        fail(errno);
    // On disk before the rename, so a crash never leaves a renamed but empty file.
    if (::fdatasync(fd) != 0)
        fail(errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        closeGuard();
        RaiseIo(err);
    }
    if (::rename(temp.c_str(), fileName.c_str()) != 0) {
        ::unlink(temp.c_str());
        closeGuard();
        RaiseCreate(fileName);
    }
    closeGuard();
}

bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    // The filesystem cannot rename without replacing: a hard link refuses an existing name.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    if (::unlink(from.c_str()) != 0) {
        int err = errno;
        ::unlink(to.c_str());
        errno = err;
        return false;
    }
    return true;
}

} // namespace kompa::io
