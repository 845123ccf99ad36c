#include "file_io.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "errors.h"
#include "file_replace.h"
#include "messages.h"

namespace kompa::io {

namespace {

int OpenRead(const std::string& fileName, int extraFlags = 0)
{
    if (fileName.empty()) {
        errno = EINVAL;
        return -1;
    }
    UniqueFd fd;
    do {
        fd.Reset(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | extraFlags));
    } while (!fd && errno == EINTR);
    if (!fd)
        return -1;
    // Linux opens directories for reading; the platform refuses them like any denied file.
    struct stat st {};
    if (::fstat(fd.Get(), &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    return fd.Release();
}

// Opens a text file for reading, as ReadWholeFile does; raises on failure.
UniqueFd OpenText(const std::string& fileName, bool regularOnly, FileIdentity& identity)
{
    if (regularOnly)
        return OpenRegularFile(fileName, &identity);
    UniqueFd fd(OpenRead(fileName));
    if (!fd)
        RaiseIo(errno);
    struct stat st {};
    if (::fstat(fd.Get(), &st) == 0)
        identity = IdentityOf(st);
    return fd;
}

} // namespace

void UniqueFd::Reset(int fd)
{
    if (fd_ >= 0) {
        // A cleanup on a failure path must not replace the failure's errno.
        const int err = errno;
        ::close(fd_);
        errno = err;
    }
    fd_ = fd;
}

bool UniqueFd::Close()
{
    const int fd = Release();
    return fd < 0 || ::close(fd) == 0;
}

FileIdentity IdentityOf(const struct stat& st)
{
    FileIdentity identity;
    identity.device = static_cast<unsigned long long>(st.st_dev);
    identity.inode = static_cast<unsigned long long>(st.st_ino);
    identity.size = static_cast<long long>(st.st_size);
    identity.modifiedSeconds = static_cast<long long>(st.st_mtim.tv_sec);
    identity.modifiedNanoseconds = static_cast<long long>(st.st_mtim.tv_nsec);
    return identity;
}

void IgnoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
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
    case EFBIG:
        return msg::kIoFileTooLarge;
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

UniqueFd OpenRegularFile(const std::string& fileName, FileIdentity* identity)
{
    // Opened where it really is, without following a link put there meanwhile; a socket or a
    // device is refused before it is opened, and a FIFO opens without waiting for a writer.
    const auto raiseNamed = [&](const std::string& cause) {
        Raise(FormatMessage(msg::kFileOpenError, fileName) + msg::kSentenceEnd + cause);
    };
    std::optional<FileLocation> at;
    try {
        at.emplace(LocateFile(fileName));
    } catch (const Exception& e) {
        raiseNamed(e.Message());
    }
    struct stat st {};
    if (::fstatat(at->dir.Fd(), at->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(st.st_mode))
        Raise(FormatMessage(msg::kNotRegularFile, fileName));
    UniqueFd fd(
        ::openat(at->dir.Fd(), at->name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!fd)
        raiseNamed(IoErrorMessage(errno == ELOOP ? EACCES : errno));
    if (::fstat(fd.Get(), &st) != 0)
        raiseNamed(IoErrorMessage(errno));
    if (!S_ISREG(st.st_mode))
        Raise(FormatMessage(msg::kNotRegularFile, fileName));
    ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    if (identity)
        *identity = IdentityOf(st);
    return fd;
}

UniqueFd OpenTextFile(const std::string& fileName)
{
    FileIdentity opened;
    return OpenText(fileName, false, opened);
}

std::string ReadWholeFile(const std::string& fileName, bool regularOnly, FileIdentity* identity)
{
    FileIdentity opened;
    const UniqueFd fd = OpenText(fileName, regularOnly, opened);
    if (identity)
        *identity = opened;
    std::string bytes;
    // One byte beyond the size tells the end without a second buffer; a file that grew or a
    // pipe still reads whole.
    bytes.resize(opened.size > 0 ? static_cast<std::size_t>(opened.size) + 1 : 65536);
    std::size_t size = 0;
    for (;;) {
        if (size == bytes.size())
            bytes.resize(size * 2);
        const ssize_t n = ::read(fd.Get(), bytes.data() + size, bytes.size() - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseIo(errno);
        if (n == 0)
            break;
        size += static_cast<std::size_t>(n);
    }
    bytes.resize(size);
    return bytes;
}

// --- SharedFile --------------------------------------------------------------------------

bool SharedFile::Open(const std::string& fileName)
{
    Close();
    // A FIFO where a dictionary should be must neither block the program nor be read.
    UniqueFd fd(OpenRead(fileName, O_NONBLOCK));
    if (!fd)
        return false;
    struct stat type {};
    if (::fstat(fd.Get(), &type) != 0 || !S_ISREG(type.st_mode)) {
        errno = EACCES;
        return false;
    }
    if (::flock(fd.Get(), LOCK_SH | LOCK_NB) != 0) {
        errno = EACCES;
        return false;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return false;
    fd_ = std::move(fd);
    size_ = static_cast<long long>(st.st_size);
    return true;
}

void SharedFile::Close()
{
    fd_.Reset();
    size_ = 0;
}

FileIdentity SharedFile::Identity() const
{
    struct stat st {};
    if (!fd_ || ::fstat(fd_.Get(), &st) != 0)
        return {};
    return IdentityOf(st);
}

std::size_t SharedFile::ReadAt(long long offset, void* into, std::size_t count) const
{
    auto* out = static_cast<char*>(into);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd_.Get(), out + done, count - done,
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

} // namespace kompa::io
