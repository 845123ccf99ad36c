// Building the pair of dictionary files: the source split once, both images laid out, then both
// files replaced through temporary files that are exchanged with the old ones, so a failure
// anywhere leaves the old pair.

#include "dictionary_build.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "both_at_once.h"
#include "dictionary.h"
#include "errors.h"
#include "file_io.h"
#include "messages.h"

namespace kompa {

namespace {

using io::UniqueFd;

[[noreturn]] void RaiseCreate(const std::string& fileName)
{
    Raise(FormatMessage(msg::kFileCreateError, fileName));
}

// The name a temporary file of target gets: ".NAME." and six characters.
std::string TempPattern(const std::string& target)
{
    return io::DirectoryPart(target) + "." + io::NamePart(target) + ".XXXXXX";
}

bool IsTempOf(const std::string& entry, const std::string& name)
{
    const std::string head = "." + name + ".";
    return entry.size() == head.size() + 6 && entry.compare(0, head.size(), head) == 0;
}

// Removes the temporary files of the targets that a killed build left behind. A live build
// holds a lock on each of its temporary files, so only abandoned ones can be locked here.
void RemoveAbandonedTemps(const std::string& dir, const std::string (&names)[2])
{
    DIR* listing = ::opendir(dir.empty() ? "." : dir.c_str());
    if (listing == nullptr)
        return;
    while (const dirent* e = ::readdir(listing)) {
        const std::string entry = e->d_name;
        if (!IsTempOf(entry, names[0]) && !IsTempOf(entry, names[1]))
            continue;
        const std::string path = dir + entry;
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        struct stat st {};
        if (fd.Get() >= 0 && ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
    }
    ::closedir(listing);
}

// One file being replaced: the lock on the old file, and the new bytes in a temporary file.
struct Replacement {
    std::string target;
    UniqueFd guard; // the old file, locked so no reader opens it meanwhile
    mode_t mode = 0;
    bool existed = false;
    std::string temp;
    UniqueFd tempFd;

    ~Replacement() { Discard(); }

    // Whatever the temporary name still holds (the new bytes after a failure, or the old file
    // after an exchange) is no longer needed.
    void Discard()
    {
        if (!temp.empty())
            ::unlink(temp.c_str());
        temp.clear();
        guard.Reset();
    }
};

mode_t NewFileMode()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Locks the old file; refuses one that could not be overwritten in place, or is being read.
void Claim(Replacement& r)
{
    struct stat existing {};
    if (::stat(r.target.c_str(), &existing) == 0 && !S_ISDIR(existing.st_mode) &&
        ::faccessat(AT_FDCWD, r.target.c_str(), W_OK, AT_EACCESS) != 0)
        RaiseCreate(r.target);
    r.mode = NewFileMode();
    r.guard.Reset(::open(r.target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (r.guard.Get() < 0)
        return;
    struct stat st {};
    if (::fstat(r.guard.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        RaiseCreate(r.target);
    r.mode = st.st_mode & 07777;
    r.existed = true;
    if (::flock(r.guard.Get(), LOCK_EX | LOCK_NB) != 0)
        RaiseCreate(r.target);
}

// Writes the plan's bytes in order, gathered straight from where they lie, and starts each
// piece written on its way to the disk at once, so the disk works while the next piece is
// copied and the final flush has only the last one to wait for.
bool WritePlan(int fd, const ImagePlan& plan)
{
    constexpr std::size_t kPiece = 512 * 1024;
    std::vector<iovec> parts;
    parts.reserve(plan.records.size() + 1);
    parts.push_back({const_cast<char*>(plan.head.data()), plan.head.size()});
    for (const std::string_view run : plan.records)
        parts.push_back({const_cast<char*>(run.data()), run.size()});
    std::size_t at = 0;
    std::size_t written = 0;
    std::size_t started = 0; // bytes already on their way to the disk
    while (at < parts.size()) {
        // About a piece at a time.
        std::size_t count = 1;
        for (std::size_t bytes = parts[at].iov_len;
             at + count < parts.size() && count < IOV_MAX && bytes < kPiece; ++count)
            bytes += parts[at + count].iov_len;
        const ssize_t n = ::writev(fd, &parts[at], static_cast<int>(count));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += static_cast<std::size_t>(n);
        for (auto left = static_cast<std::size_t>(n); left > 0;) {
            iovec& part = parts[at];
            if (left < part.iov_len) {
                part.iov_base = static_cast<char*>(part.iov_base) + left;
                part.iov_len -= left;
                break;
            }
            left -= part.iov_len;
            ++at;
        }
        while (at < parts.size() && parts[at].iov_len == 0)
            ++at;
        if (written - started >= kPiece || at == parts.size()) {
            // Only a hint: where it fails, the flush does all the work.
            ::sync_file_range(fd, static_cast<off_t>(started),
                              static_cast<off_t>(written - started), SYNC_FILE_RANGE_WRITE);
            started = written;
        }
    }
    return true;
}

// Writes the new bytes to a temporary file beside the target, on disk before anything moves.
void WriteTemp(Replacement& r, const ImagePlan& plan)
{
    std::string temp = TempPattern(r.target);
    r.tempFd.Reset(::mkostemp(temp.data(), O_CLOEXEC));
    if (r.tempFd.Get() < 0)
        RaiseCreate(r.target);
    r.temp = temp;
    ::flock(r.tempFd.Get(), LOCK_EX | LOCK_NB);
    if (::fchmod(r.tempFd.Get(), r.mode) != 0 || !WritePlan(r.tempFd.Get(), plan) ||
        ::fdatasync(r.tempFd.Get()) != 0)
        io::RaiseIo(errno);
}

// Puts the new file in place. Where the file system can, the old file is exchanged into the
// temporary name, so the step can be undone.
bool SwapIn(Replacement& r)
{
    if (r.existed &&
        ::renameat2(AT_FDCWD, r.temp.c_str(), AT_FDCWD, r.target.c_str(), RENAME_EXCHANGE) == 0)
        return true;
    return ::rename(r.temp.c_str(), r.target.c_str()) == 0;
}

void SwapBack(Replacement& r)
{
    if (r.existed)
        ::renameat2(AT_FDCWD, r.temp.c_str(), AT_FDCWD, r.target.c_str(), RENAME_EXCHANGE);
    else
        ::rename(r.target.c_str(), r.temp.c_str());
}

void SyncDirectory(const std::string& dir)
{
    UniqueFd fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0)
        ::fsync(fd.Get());
}

} // namespace

void MakeDictionaries(const std::string& sourceFileName, const std::string& dir)
{
    // A write over the file-size limit then fails with a message instead of ending the process.
    io::IgnoreFileSizeSignal();

    // The source is read once; each image is laid out, and later written, on its own thread.
    // Failures are reported as a build of the address dictionary first would report them.
    // The records are the build strings with their lengths in place, and both files are written
    // from them, so no image is put together in memory.
    BuildStrings records = BuildStrings::Read(sourceFileName);
    records.PlaceLengths();
    ImagePlan plans[2];
    BothAtOnce([&](int i) {
        plans[i] = i == 0 ? PlanImage(TPostCode(), records) : PlanImage(TCodeAddress(), records);
    });

    const std::string folder = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    const std::string names[2] = {kAddressDictName, kCodeDictName};
    Replacement files[2];
    for (int i = 0; i < 2; ++i) {
        files[i].target = folder + names[i];
        Claim(files[i]);
    }
    RemoveAbandonedTemps(folder, names);
    BothAtOnce([&](int i) {
        WriteTemp(files[i], plans[i]);
        if (!files[i].tempFd.Close())
            io::RaiseIo(errno);
    });
    if (!SwapIn(files[0]))
        RaiseCreate(files[0].target);
    if (!SwapIn(files[1])) {
        SwapBack(files[0]);
        RaiseCreate(files[1].target);
    }
    SyncDirectory(folder);
    // Freeing an old file (now under the temporary name) takes a while: both at once.
    BothAtOnce([&](int i) { files[i].Discard(); });
}

} // namespace kompa
