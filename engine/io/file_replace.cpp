#include "file_replace.h"

#include <acl/libacl.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "errors.h"
#include "messages.h"

namespace kompa::io {

namespace {

constexpr int kMaxLinks = 8; // links followed in a row before giving up (ELOOP)
constexpr char kTempHead[] = ".kompa-";

std::string StripTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path.empty() ? std::string(".") : path;
}

bool OwnLink(const struct stat& st)
{
    return st.st_uid == ::geteuid() || st.st_uid == 0;
}

// What a link open as fd (O_PATH) says, or empty with errno set.
std::string LinkText(int fd)
{
    std::string text(PATH_MAX, '\0');
    const ssize_t n = ::readlinkat(fd, "", text.data(), text.size());
    if (n < 0)
        return {};
    text.resize(static_cast<std::size_t>(n));
    return text;
}

// The link at path (not followed), opened, when it is one the process may follow; raises for
// another user's link. Returns what it says, relative links made relative to its directory.
std::string FollowLink(const std::string& path, const struct stat& st, int fd)
{
    if (!OwnLink(st))
        Raise(FormatMessage(msg::kForeignLink, path));
    const std::string text = LinkText(fd);
    if (text.empty())
        RaiseIo(errno == 0 ? ENOENT : errno);
    return text.front() == '/' ? text : DirectoryPart(path) + text;
}

std::string WithSlash(std::string dir)
{
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

std::uint32_t NameTag(std::string_view name)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

std::string TempHeadOf(const std::string& target)
{
    char tag[16];
    std::snprintf(tag, sizeof tag, "%08x-", static_cast<unsigned>(NameTag(target)));
    return std::string(kTempHead) + tag;
}

std::string RandomSuffix()
{
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[6] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // Without the entropy source the name only has to differ from its neighbours.
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u + ++counter;
        for (std::size_t i = 0; i < sizeof random; ++i)
            random[i] = static_cast<unsigned char>(seed >> (i * 5));
    }
    std::string suffix;
    for (const unsigned char r : random)
        suffix += kChars[r % (sizeof kChars - 1)];
    return suffix;
}

bool IsAlnum(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool EndsInSixAlnum(std::string_view entry, std::size_t head)
{
    if (entry.size() != head + 6)
        return false;
    for (std::size_t i = head; i < entry.size(); ++i)
        if (!IsAlnum(entry[i]))
            return false;
    return true;
}

// --- rights -------------------------------------------------------------------------------

struct AclDeleter {
    void operator()(void* acl) const { acl_free(acl); }
};
using AclHandle = std::unique_ptr<struct __acl_ext, AclDeleter>;

// Gives the ACL group entry no more than others have: a group that could not be kept must not
// gain what the old group had.
bool NarrowGroupEntry(acl_t acl)
{
    acl_entry_t entry;
    acl_permset_t group = nullptr;
    acl_permset_t other = nullptr;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1;
         which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(entry, &tag) != 0)
            return false;
        if (tag == ACL_GROUP_OBJ && acl_get_permset(entry, &group) != 0)
            return false;
        if (tag == ACL_OTHER && acl_get_permset(entry, &other) != 0)
            return false;
    }
    if (group == nullptr || other == nullptr)
        return false;
    for (const acl_perm_t perm : {ACL_READ, ACL_WRITE, ACL_EXECUTE})
        if (acl_get_perm(other, perm) != 1 && acl_delete_perm(group, perm) != 0)
            return false;
    return true;
}

bool NoAclHere(int err)
{
    return err == ENOTSUP || err == EOPNOTSUPP || err == ENOSYS;
}

bool CopyAcl(int from, int to, bool narrowGroup)
{
    AclHandle acl(acl_get_fd(from));
    if (!acl)
        return NoAclHere(errno);
    // Set even when it only mirrors the mode: that takes away an ACL the new file inherited
    // from the directory's default.
    if (narrowGroup && !NarrowGroupEntry(acl.get()))
        return false;
    if (acl_set_fd(to, acl.get()) == 0)
        return true;
    return NoAclHere(errno) && acl_equiv_mode(acl.get(), nullptr) == 0;
}

bool IsAclName(std::string_view name)
{
    return name == "system.posix_acl_access" || name == "system.posix_acl_default";
}

bool XattrValue(int fd, const char* name, std::string& value)
{
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
        if (size < 0)
            return false;
        value.resize(static_cast<std::size_t>(size));
        const ssize_t n = ::fgetxattr(fd, name, value.data(), value.size());
        if (n >= 0) {
            value.resize(static_cast<std::size_t>(n));
            return true;
        }
        if (errno != ERANGE) // grown meanwhile: ask again
            return false;
    }
}

bool CopyXattrs(int from, int to)
{
    std::string names;
    for (;;) {
        const ssize_t size = ::flistxattr(from, nullptr, 0);
        if (size < 0)
            return NoAclHere(errno);
        names.resize(static_cast<std::size_t>(size));
        const ssize_t n = ::flistxattr(from, names.data(), names.size());
        if (n >= 0) {
            names.resize(static_cast<std::size_t>(n));
            break;
        }
        if (errno != ERANGE)
            return false;
    }
    std::string value;
    std::string present;
    for (std::size_t at = 0; at < names.size();) {
        const char* name = names.c_str() + at;
        at += std::strlen(name) + 1;
        if (IsAclName(name))
            continue;
        if (!XattrValue(from, name, value)) {
            if (errno == ENODATA) // removed meanwhile
                continue;
            return false;
        }
        if (::fsetxattr(to, name, value.data(), value.size(), 0) == 0)
            continue;
        // One the system gives the new file by itself (a security label) may already match.
        const int err = errno;
        if (!XattrValue(to, name, present) || present != value) {
            errno = err;
            return false;
        }
    }
    return true;
}

// --- user files ---------------------------------------------------------------------------

[[noreturn]] void RaiseUntouched(const std::string& cause, const std::string& fileName,
                                 const std::string& backupLeft = {})
{
    std::string message = cause + msg::kSentenceEnd + FormatMessage(msg::kOriginalKept, fileName);
    if (!backupLeft.empty())
        message += msg::kSentenceEnd + FormatMessage(msg::kBackupMade, backupLeft);
    Raise(std::move(message));
}

[[noreturn]] void RaiseChanged(const std::string& fileName)
{
    Raise(FormatMessage(msg::kChangedSinceRead, fileName));
}

// A file without any write permission is one the user keeps read-only, for root as well.
bool MayWrite(const Directory& dir, const std::string& name, const struct stat& st)
{
    return (st.st_mode & 0222) != 0 && ::faccessat(dir.Fd(), name.c_str(), W_OK, AT_EACCESS) == 0;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool HasIdentity(const Directory& dir, const std::string& name, const FileIdentity& identity)
{
    struct stat st {};
    return ::fstatat(dir.Fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode) && IdentityOf(st) == identity;
}

// File systems without hard links (FAT) refuse link() with one of these.
bool NoHardLinks(int err)
{
    return err == EPERM || err == EXDEV || err == ENOTSUP || err == EOPNOTSUPP;
}

// Why the backup cannot be made before anything is written, or empty. reuse is set when the
// backup name already holds this very file: a save killed after its backup left it.
std::string BackupProblem(const Directory& dir, const std::string& name, const std::string& backup,
                          const struct stat& st, bool& reuse)
{
    reuse = false;
    if (backup == name)
        return FormatMessage(msg::kBackupIsBook, dir.Path() + name);
    struct stat there {};
    if (::fstatat(dir.Fd(), backup.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? std::string()
                               : FormatMessage(msg::kBackupCannotCreate, dir.Path() + backup) +
                                     msg::kSentenceEnd + IoErrorMessage(errno);
    if (S_ISREG(there.st_mode) && SameFile(there, st)) {
        reuse = true;
        return {};
    }
    std::string problem = FormatMessage(msg::kBackupExists, dir.Path() + backup);
    // ".home" and ".work" both have the backup ".bak".
    if (name.size() > 1 && name.front() == '.' && name.find('.', 1) == std::string::npos)
        problem += msg::kSentenceEnd + std::string(msg::kBackupNameShared);
    return problem;
}

// The backup as a copy, created exclusively so that no existing file is ever replaced.
bool CopyBackup(const Directory& dir, int from, const struct stat& st, const std::string& backup)
{
    UniqueFd to(::openat(dir.Fd(), backup.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!to)
        return false;
    bool done = false;
    struct Remove {
        const Directory& dir;
        const std::string& name;
        bool& done;
        ~Remove()
        {
            if (!done)
                ::unlinkat(dir.Fd(), name.c_str(), 0);
        }
    } remove{dir, backup, done};
    if (::fchown(to.Get(), st.st_uid, st.st_gid) != 0)
        (void)::fchown(to.Get(), static_cast<uid_t>(-1), st.st_gid);
    if (::fchmod(to.Get(), st.st_mode & 07777) != 0)
        return false;
    std::string buffer(1 << 16, '\0');
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(from, buffer.data(), buffer.size(), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!WriteAll(to.Get(), std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return false;
        at += n;
    }
    done = ::fsync(to.Get()) == 0 && to.Close();
    return done;
}

} // namespace

// --- Directory ----------------------------------------------------------------------------

Directory Directory::Open(const std::string& dirPath)
{
    return OpenFollowing(dirPath, false, 0);
}

Directory Directory::OpenForReading(const std::string& dirPath)
{
    return OpenFollowing(dirPath, true, 0);
}

Directory Directory::OpenFollowing(const std::string& dirPath, bool anyLink, int depth)
{
    // A trailing '/' would make even O_NOFOLLOW follow a link.
    const std::string path = StripTrailingSlashes(dirPath);
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    UniqueFd fd(::open(path.c_str(), flags | (anyLink ? 0 : O_NOFOLLOW)));
    if (!fd) {
        const int err = errno;
        if (err != ELOOP && err != ENOTDIR)
            RaiseIo(err);
        UniqueFd link(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!link || ::fstat(link.Get(), &st) != 0 || !S_ISLNK(st.st_mode))
            RaiseIo(err);
        if (depth >= kMaxLinks)
            RaiseIo(ELOOP);
        return OpenFollowing(FollowLink(path, st, link.Get()), anyLink, depth + 1);
    }
    Directory dir;
    // The link followed, if any, is in dirPath only for its reader; messages name the path.
    dir.fd_ = std::move(fd);
    dir.path_ = dirPath.empty() ? std::string() : WithSlash(dirPath);
    return dir;
}

bool Directory::MayReplace(const struct stat* file) const
{
    if (::faccessat(fd_.Get(), ".", W_OK | X_OK, AT_EACCESS) != 0)
        return false;
    struct stat st {};
    if (file == nullptr || ::fstat(fd_.Get(), &st) != 0 || !(st.st_mode & S_ISVTX))
        return true;
    // In a sticky directory only the file's owner, the directory's or root may replace it.
    const uid_t me = ::geteuid();
    return me == 0 || me == file->st_uid || me == st.st_uid;
}

void Directory::Sync() const
{
    ::fsync(fd_.Get());
}

FileLocation LocateFile(const std::string& fileName)
{
    std::string path = fileName;
    for (int depth = 0;; ++depth) {
        if (path.empty() || path.back() == '/')
            RaiseIo(path.empty() ? ENOENT : EISDIR);
        FileLocation at{Directory::Open(DirectoryPart(path)), NamePart(path)};
        UniqueFd link(::openat(at.dir.Fd(), at.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!link || ::fstat(link.Get(), &st) != 0 || !S_ISLNK(st.st_mode))
            return at;
        if (depth >= kMaxLinks)
            RaiseIo(ELOOP);
        // The link's own directory stays in the path: a relative link counts from there.
        path = FollowLink(at.dir.Path() + at.name, st, link.Get());
    }
}

// --- NewFile ------------------------------------------------------------------------------

NewFile::NewFile(const Directory& dir, std::string target, unsigned mode)
    : dir_(&dir), target_(std::move(target))
{
    const auto fileMode = static_cast<mode_t>(mode);
    fd_.Reset(::openat(dir.Fd(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, fileMode));
    if (!fd_) {
        // No unnamed files here: a named one from the start.
        for (int attempt = 0; attempt < 100 && !fd_; ++attempt) {
            temp_ = TempHeadOf(target_) + RandomSuffix();
            fd_.Reset(::openat(dir.Fd(), temp_.c_str(),
                               O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, fileMode));
            if (!fd_ && errno != EEXIST)
                break;
        }
        if (!fd_)
            RaiseIo(errno);
        linked_ = true;
    }
    // Held until this process is done with it, so no cleaner takes it for abandoned.
    ::flock(fd_.Get(), LOCK_EX | LOCK_NB);
}

NewFile::~NewFile()
{
    RemoveTemp();
}

bool NewFile::TakeRightsOf(int from, const struct stat& st)
{
    const int fd = fd_.Get();
    bool groupKept = ::fchown(fd, st.st_uid, st.st_gid) == 0 ||
                     ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) == 0;
    struct stat now {};
    if (!groupKept && ::fstat(fd, &now) == 0 && now.st_gid == st.st_gid)
        groupKept = true;
    mode_t mode = st.st_mode & 07777;
    if (!groupKept)
        mode = (mode & ~mode_t{070}) | (mode & 070 & ((mode & 07) << 3));
    return ::fchmod(fd, mode) == 0 && CopyAcl(from, fd, !groupKept) && CopyXattrs(from, fd);
}

bool NewFile::Write(const TBytesWriter& write)
{
    return write(fd_.Get()) && ::fsync(fd_.Get()) == 0;
}

bool NewFile::LinkAs(const std::string& name)
{
    if (linked_) {
        // Named from the start: the new name too, then the first one goes.
        if (::linkat(dir_->Fd(), temp_.c_str(), dir_->Fd(), name.c_str(), 0) != 0)
            return false;
        ::unlinkat(dir_->Fd(), temp_.c_str(), 0);
        temp_ = name;
        return true;
    }
    // An unnamed file gets a name through its descriptor: the /proc link works for everyone,
    // AT_EMPTY_PATH where /proc is missing and the process is privileged.
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_.Get());
    if (::linkat(AT_FDCWD, self, dir_->Fd(), name.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
        (errno == EEXIST || ::linkat(fd_.Get(), "", dir_->Fd(), name.c_str(), AT_EMPTY_PATH) != 0))
        return false;
    temp_ = name;
    linked_ = true;
    return true;
}

bool NewFile::Link()
{
    if (linked_)
        return true;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (LinkAs(TempHeadOf(target_) + RandomSuffix()))
            return true;
        if (errno != EEXIST)
            break;
    }
    return false;
}

bool NewFile::PutInPlace(bool exchange)
{
    if (exchange &&
        ::renameat2(dir_->Fd(), temp_.c_str(), dir_->Fd(), target_.c_str(), RENAME_EXCHANGE) == 0)
        return true;
    if (::renameat(dir_->Fd(), temp_.c_str(), dir_->Fd(), target_.c_str()) != 0)
        return false;
    // Nothing is left under the temporary name.
    linked_ = false;
    temp_.clear();
    return true;
}

void NewFile::RemoveTemp()
{
    if (linked_ && !temp_.empty()) {
        const int err = errno;
        ::unlinkat(dir_->Fd(), temp_.c_str(), 0);
        errno = err;
    }
    linked_ = false;
    temp_.clear();
}

void RemoveAbandonedTemps(const Directory& dir, const std::vector<std::string>& targets,
                          bool legacyToo)
{
    const int listed = ::openat(dir.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = listed < 0 ? nullptr : ::fdopendir(listed);
    if (listing == nullptr) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    std::vector<std::string> heads;
    for (const std::string& target : targets) {
        heads.push_back(TempHeadOf(target));
        if (legacyToo)
            heads.push_back("." + target + ".");
    }
    while (const dirent* e = ::readdir(listing)) {
        const std::string_view entry = e->d_name;
        bool ours = false;
        for (const std::string& head : heads)
            ours |= entry.starts_with(head) && EndsInSixAlnum(entry, head.size());
        if (!ours)
            continue;
        UniqueFd fd(::openat(dir.Fd(), e->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        struct stat st {};
        if (fd && ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dir.Fd(), e->d_name, 0);
    }
    ::closedir(listing);
}

// --- ReplaceFile --------------------------------------------------------------------------

TReplaceResult ReplaceFile(const std::string& givenName, const TBytesWriter& write,
                           const ReplaceOptions& options, std::string* backupProblem)
{
    IgnoreFileSizeSignal();
    if (givenName.empty())
        Raise(msg::kIoInvalidFileName);
    // Messages name the file as the user gave it; the work is done where it really is.
    auto raiseUntouched = [&](const std::string& cause, const std::string& backupLeft = {}) {
        RaiseUntouched(cause, givenName, backupLeft);
    };
    std::optional<FileLocation> located;
    try {
        located.emplace(LocateFile(givenName));
    } catch (const Exception& e) {
        raiseUntouched(e.Message());
    }
    const FileLocation& at = *located;
    const Directory& dir = at.dir;

    UniqueFd old(
        ::openat(dir.Fd(), at.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    bool exists = false;
    if (old) {
        if (::fstat(old.Get(), &st) != 0)
            raiseUntouched(IoErrorMessage(errno));
        exists = true;
    } else if (::fstatat(dir.Fd(), at.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        // There, but not to be opened: not a file we could take over, or a link put there
        // since it was located.
        if (!S_ISREG(st.st_mode))
            Raise(FormatMessage(msg::kNotRegularFile, givenName));
        raiseUntouched(IoErrorMessage(EACCES));
    } else if (errno != ENOENT) {
        raiseUntouched(IoErrorMessage(errno));
    }
    if (exists) {
        if (!S_ISREG(st.st_mode))
            Raise(FormatMessage(msg::kNotRegularFile, givenName));
        if (options.asRead && !(IdentityOf(st) == *options.asRead))
            RaiseChanged(givenName);
        if (!MayWrite(dir, at.name, st))
            raiseUntouched(msg::kIoAccessDenied);
    } else if (options.asRead) {
        RaiseChanged(givenName);
    }
    // Whatever could stop the rename is found before any backup exists: a backup that then
    // could not be taken back (in a sticky directory) would block every later save.
    if (!dir.MayReplace(exists ? &st : nullptr))
        raiseUntouched(msg::kIoAccessDenied);

    std::string backup;
    bool reuseBackup = false;
    if (options.backupNameOf && exists) {
        backup = options.backupNameOf(at.name);
        std::string problem = BackupProblem(dir, at.name, backup, st, reuseBackup);
        if (!problem.empty()) {
            if (backupProblem)
                *backupProblem = std::move(problem);
            return TReplaceResult::BackupFailed;
        }
    }

    RemoveAbandonedTemps(dir, {at.name});
    std::optional<NewFile> temp;
    try {
        temp.emplace(dir, at.name, exists ? 0600u : 0666u);
    } catch (const Exception& e) {
        raiseUntouched(e.Message());
    }
    if (exists && !temp->TakeRightsOf(old.Get(), st))
        raiseUntouched(FormatMessage(msg::kRightsNotCopied, givenName) + msg::kSentenceEnd +
                       IoErrorMessage(errno));
    if (!temp->Write(write))
        raiseUntouched(IoErrorMessage(errno));

    // Writing took a while: look again before touching any name.
    if (options.asRead && !HasIdentity(dir, at.name, *options.asRead))
        RaiseChanged(givenName);
    bool backupMade = false;
    if (!backup.empty() && !reuseBackup) {
        if (::linkat(dir.Fd(), at.name.c_str(), dir.Fd(), backup.c_str(), 0) == 0) {
            backupMade = true;
            // The name may have been given another file just before the link.
            if (options.asRead && !HasIdentity(dir, backup, *options.asRead)) {
                ::unlinkat(dir.Fd(), backup.c_str(), 0);
                RaiseChanged(givenName);
            }
        } else if (NoHardLinks(errno) && CopyBackup(dir, old.Get(), st, backup)) {
            backupMade = true;
        } else {
            const int err = errno;
            if (backupProblem)
                *backupProblem =
                    err == EEXIST ? FormatMessage(msg::kBackupExists, dir.Path() + backup)
                                  : FormatMessage(msg::kBackupCannotCreate, dir.Path() + backup) +
                                        msg::kSentenceEnd + IoErrorMessage(err);
            return TReplaceResult::BackupFailed;
        }
    }
    if (!temp->Link() || !temp->PutInPlace(false)) {
        const int err = errno;
        // A backup this save made goes again, so the next save does not find it in the way.
        const bool backupLeft =
            backupMade && ::unlinkat(dir.Fd(), backup.c_str(), 0) != 0 && errno != ENOENT;
        raiseUntouched(IoErrorMessage(err), backupLeft ? dir.Path() + backup : std::string());
    }
    dir.Sync();
    return TReplaceResult::Saved;
}

} // namespace kompa::io
