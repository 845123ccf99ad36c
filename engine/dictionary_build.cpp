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
#include <exception>
#include <thread>

#include "both_at_once.h"
#include "dictionary.h"
#include "errors.h"
#include "file_io.h"
#include "messages.h"
#include "office_dictionary.h"
#include "source_text.h"

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
void RemoveAbandonedTemps(const std::string& dir, const std::vector<TNewFile>& files)
{
    DIR* listing = ::opendir(dir.empty() ? "." : dir.c_str());
    if (listing == nullptr)
        return;
    while (const dirent* e = ::readdir(listing)) {
        const std::string entry = e->d_name;
        if (std::none_of(files.begin(), files.end(),
                         [&](const TNewFile& f) { return IsTempOf(entry, f.name); }))
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

// Runs work(i) for every i below count at once, each on a thread of its own (the first here),
// and rethrows the failure of the lowest i that failed.
template <class Work> void EachAtOnce(std::size_t count, Work&& work)
{
    std::vector<std::exception_ptr> failed(count);
    std::vector<std::thread> others;
    for (std::size_t i = 1; i < count; ++i)
        others.emplace_back([&, i] {
            try {
                work(i);
            } catch (...) {
                failed[i] = std::current_exception();
            }
        });
    if (count > 0) {
        try {
            work(0);
        } catch (...) {
            failed[0] = std::current_exception();
        }
    }
    for (std::thread& other : others)
        other.join();
    for (const std::exception_ptr& e : failed)
        if (e)
            std::rethrow_exception(e);
}

// The plans of the pair, from the records of a ministry file.
void PlanPair(BuildStrings& records, std::vector<TNewFile>& files)
{
    // Each image is laid out, and later written, on its own thread. Failures are reported as a
    // build of the address dictionary first would report them. The records are the build
    // strings with their lengths in place, and both files are written from them, so no image is
    // put together in memory.
    records.PlaceLengths();
    ImagePlan plans[2];
    BothAtOnce([&](int i) {
        plans[i] = i == 0 ? PlanImage(TPostCode(), records) : PlanImage(TCodeAddress(), records);
    });
    files.push_back({kAddressDictName, std::move(plans[0])});
    files.push_back({kCodeDictName, std::move(plans[1])});
}

std::string Folder(const std::string& dir)
{
    return dir.empty() || dir.back() == '/' ? dir : dir + "/";
}

// How far the first line of a source is looked for.
constexpr std::size_t kHeadLook = 65536;

} // namespace

void ReplaceFilesTogether(const std::string& folder, const std::vector<TNewFile>& files)
{
    std::vector<Replacement> replaced(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        replaced[i].target = folder + files[i].name;
        Claim(replaced[i]);
    }
    RemoveAbandonedTemps(folder, files);
    EachAtOnce(files.size(), [&](std::size_t i) {
        WriteTemp(replaced[i], files[i].plan);
        if (!replaced[i].tempFd.Close())
            io::RaiseIo(errno);
    });
    for (std::size_t i = 0; i < replaced.size(); ++i) {
        if (SwapIn(replaced[i]))
            continue;
        for (std::size_t back = 0; back < i; ++back)
            SwapBack(replaced[back]);
        RaiseCreate(replaced[i].target);
    }
    SyncDirectory(folder);
    // Freeing an old file (now under the temporary name) takes a while: all at once.
    EachAtOnce(replaced.size(), [&](std::size_t i) { replaced[i].Discard(); });
}

void MakeDictionaries(const std::string& sourceFileName, const std::string& dir)
{
    // A write over the file-size limit then fails with a message instead of ending the process.
    io::IgnoreFileSizeSignal();
    // The source is read once.
    BuildStrings records = BuildStrings::Read(sourceFileName);
    std::vector<TNewFile> files;
    PlanPair(records, files);
    ReplaceFilesTogether(Folder(dir), files);
}

TBuildSource ReadBuildSource(const std::string& fileName, bool office)
{
    TBuildSource source{fileName, TSourceKind::Office, std::nullopt};
    if (!office) {
        // A Shift-JIS file with CR line ends, as published, tells its kind by its first line as
        // it lies; the residential build then reads it straight from the file.
        const io::UniqueFd fd = io::OpenTextFile(fileName);
        std::string head(kHeadLook, '\0');
        const ssize_t n = ::pread(fd.Get(), head.data(), head.size(), 0);
        head.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        const std::size_t cr = head.find('\r');
        if (cr != std::string::npos &&
            IsPlainSourceHead(std::string_view(head).substr(0, cr + 1))) {
            source.kind = KindOfSourceText(std::string_view(head).substr(0, cr + 1));
            return source;
        }
    }
    source.text = ReadSourceText(fileName);
    if (!office)
        source.kind = KindOfSourceText(*source.text);
    return source;
}

void CheckSourceKinds(const std::vector<TBuildSource>& sources)
{
    for (std::size_t i = 0; i < sources.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (sources[j].kind == sources[i].kind)
                Raise(FormatMessage(FormatMessage(msg::kSourcesOfOneKind, sources[j].fileName),
                                    sources[i].fileName));
}

TBuiltFiles MakeDictionaryFiles(const std::vector<TBuildSource>& sources, const std::string& dir,
                                const std::vector<TFileCopy>& copies)
{
    io::IgnoreFileSizeSignal();
    CheckSourceKinds(sources);
    const TBuildSource* ofKind[2] = {nullptr, nullptr}; // residential, office
    for (const TBuildSource& source : sources)
        ofKind[source.kind == TSourceKind::Office ? 1 : 0] = &source;
    // The plans point into the records and the office image, which outlive the replacement.
    // The office image is laid out beside the pair's, on a thread of its own; a failure of the
    // pair's is reported first.
    std::vector<TNewFile> files;
    std::optional<BuildStrings> records;
    ImagePlan officePlan;
    BothAtOnce([&](int i) {
        if (i == 0 && ofKind[0]) {
            const TBuildSource& residential = *ofKind[0];
            records.emplace(residential.text ? BuildStrings::FromText(*residential.text)
                                             : BuildStrings::Read(residential.fileName));
            PlanPair(*records, files);
        } else if (i == 1 && ofKind[1]) {
            const TBuildSource& offices = *ofKind[1];
            officePlan.head =
                OfficeImage(offices.text ? std::string_view(*offices.text)
                                         : std::string_view(ReadSourceText(offices.fileName)));
        }
    });
    if (ofKind[1])
        files.push_back({kOfficeDictName, std::move(officePlan)});
    for (const TFileCopy& copy : copies)
        files.push_back({copy.name, ImagePlan{{}, {std::string_view(copy.bytes)}}});
    ReplaceFilesTogether(Folder(dir), files);
    return {ofKind[0] != nullptr, ofKind[1] != nullptr};
}

} // namespace kompa
