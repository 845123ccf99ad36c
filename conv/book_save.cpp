#include "book_save.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/errors.h"
#include "engine/messages.h"

namespace kompa {

namespace {

[[noreturn]] void RaiseUntouched(const std::string& cause, const std::string& fileName,
                                 const std::string& backupMade = {})
{
    std::string message = cause + msg::kSentenceEnd + FormatMessage(msg::kOriginalKept, fileName);
    if (!backupMade.empty())
        message += msg::kSentenceEnd + FormatMessage(msg::kBackupMade, backupMade);
    Raise(std::move(message));
}

[[noreturn]] void RaiseChanged(const std::string& fileName)
{
    Raise(FormatMessage(msg::kChangedSinceRead, fileName));
}

// A file without any write permission is one the user keeps read-only, for root as well.
bool MayWrite(const std::string& fileName, const struct stat& st)
{
    return (st.st_mode & 0222) != 0 &&
           ::faccessat(AT_FDCWD, fileName.c_str(), W_OK, AT_EACCESS) == 0;
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool HasIdentity(const std::string& fileName, const io::FileIdentity& identity)
{
    struct stat st {};
    return ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           io::IdentityOf(st) == identity;
}

// File systems without hard links (FAT) refuse link() with one of these.
bool NoHardLinks(int err)
{
    return err == EPERM || err == EXDEV || err == ENOTSUP || err == EOPNOTSUPP;
}

// Removes a file this save created unless it was handed over.
class CreatedFile {
public:
    explicit CreatedFile(std::string name) : name_(std::move(name)) {}
    ~CreatedFile()
    {
        if (!name_.empty())
            ::unlink(name_.c_str());
    }
    CreatedFile(const CreatedFile&) = delete;
    CreatedFile& operator=(const CreatedFile&) = delete;
    void Keep() { name_.clear(); }

private:
    std::string name_;
};

// Owner and group as far as the process may set them; then the mode, which a change of owner
// may have cut and the umask may have narrowed.
bool TakeOverOwnerAndMode(int fd, const struct stat& original)
{
    if (::fchown(fd, original.st_uid, original.st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), original.st_gid);
    return ::fchmod(fd, original.st_mode & 07777) == 0;
}

// The backup as a copy, created exclusively so that no existing file is ever replaced.
bool CopyBackup(const std::string& fileName, const std::string& shownName,
                const std::string& backupName, const io::FileIdentity* asRead)
{
    io::UniqueFd from(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!from || ::fstat(from.Get(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode) || (asRead && !(io::IdentityOf(st) == *asRead)))
        RaiseChanged(shownName);
    io::UniqueFd to(::open(backupName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!to)
        return false;
    CreatedFile created(backupName);
    if (!TakeOverOwnerAndMode(to.Get(), st))
        return false;
    std::string buffer(1 << 16, '\0');
    for (;;) {
        const ssize_t n = ::read(from.Get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!io::WriteAll(to.Get(), std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return false;
    }
    if (::fsync(to.Get()) != 0 || !to.Close())
        return false;
    created.Keep();
    return true;
}

// The file as read under backupName, replacing nothing; false when it cannot be made.
bool MakeBackup(const std::string& fileName, const std::string& shownName,
                const std::string& backupName, const io::FileIdentity* asRead)
{
    if (::link(fileName.c_str(), backupName.c_str()) != 0)
        return NoHardLinks(errno) && CopyBackup(fileName, shownName, backupName, asRead);
    // The name may have been given another file just before the link.
    if (asRead && !HasIdentity(backupName, *asRead)) {
        ::unlink(backupName.c_str());
        RaiseChanged(shownName);
    }
    return true;
}

// The file a symbolic link leads to: it is that file that is replaced, the link stays.
std::string FinalTarget(const std::string& fileName)
{
    struct stat st {};
    if (::lstat(fileName.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return fileName;
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(fileName.c_str(), nullptr),
                                                     &std::free);
    return real ? std::string(real.get()) : fileName;
}

void SyncDirectory(const std::string& fileName)
{
    const std::string dir = io::DirectoryPart(fileName);
    io::UniqueFd fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // The rename is done and both files were whole on disk before it: a directory that cannot
    // be synced changes nothing the user could act on.
    if (fd)
        ::fsync(fd.Get());
}

} // namespace

TReplaceResult SaveUserFileReplacing(const std::string& fileName, std::string_view bytes,
                                     const io::FileIdentity* asRead, const std::string& backupName)
{
    return SaveUserFileReplacing(
        fileName, [bytes](int fd) { return io::WriteAll(fd, bytes); }, asRead, backupName);
}

TReplaceResult SaveUserFileReplacing(const std::string& givenName, const TBytesWriter& write,
                                     const io::FileIdentity* asRead, const std::string& backupName)
{
    io::IgnoreFileSizeSignal();
    if (givenName.empty())
        Raise(msg::kIoInvalidFileName);
    // Messages name the file as the user gave it; the work is done on the file itself.
    const std::string fileName = FinalTarget(givenName);
    auto raiseUntouched = [&](const std::string& cause, const std::string& backupMade = {}) {
        RaiseUntouched(cause, givenName, backupMade);
    };

    struct stat st {};
    const bool exists = ::stat(fileName.c_str(), &st) == 0;
    if (!exists) {
        if (errno == ENOENT && asRead)
            RaiseChanged(givenName);
        if (errno != ENOENT)
            raiseUntouched(io::IoErrorMessage(errno));
    } else {
        if (!S_ISREG(st.st_mode))
            Raise(FormatMessage(msg::kNotRegularFile, givenName));
        if (asRead && !(io::IdentityOf(st) == *asRead))
            RaiseChanged(givenName);
        if (!MayWrite(fileName, st))
            raiseUntouched(msg::kIoAccessDenied);
    }
    // An existing backup is never replaced: ask before anything is written.
    struct stat backupStat {};
    if (!backupName.empty() && ::lstat(backupName.c_str(), &backupStat) == 0)
        return TReplaceResult::BackupFailed;

    std::string temp = io::DirectoryPart(fileName) + "." + io::NamePart(fileName) + ".XXXXXX";
    io::UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd)
        raiseUntouched(io::IoErrorMessage(errno));
    CreatedFile created(temp);
    const bool modeSet =
        exists ? TakeOverOwnerAndMode(fd.Get(), st) : ::fchmod(fd.Get(), NewFileMode()) == 0;
    if (!modeSet || !write(fd.Get()) || ::fsync(fd.Get()) != 0 || !fd.Close())
        raiseUntouched(io::IoErrorMessage(errno));

    // Writing took a while: look again before touching any name.
    if (asRead && !HasIdentity(fileName, *asRead))
        RaiseChanged(givenName);
    if (!backupName.empty() && !MakeBackup(fileName, givenName, backupName, asRead))
        return TReplaceResult::BackupFailed;
    if (::rename(temp.c_str(), fileName.c_str()) != 0)
        raiseUntouched(io::IoErrorMessage(errno), backupName);
    created.Keep();
    SyncDirectory(fileName);
    return TReplaceResult::Saved;
}

bool IsStreamFile(const std::string& fileName)
{
    struct stat st {};
    return ::stat(fileName.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode));
}

void WriteToStreamFile(const std::string& fileName, std::string_view bytes)
{
    WriteToStreamFile(fileName, [bytes](int fd) { return io::WriteAll(fd, bytes); });
}

void WriteToStreamFile(const std::string& fileName, const TBytesWriter& write)
{
    io::IgnoreFileSizeSignal();
    io::UniqueFd fd(::open(fileName.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd || !write(fd.Get()) || !fd.Close())
        io::RaiseIo(errno);
}

} // namespace kompa
