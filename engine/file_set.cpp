#include "file_set.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>
#include <thread>

#include "errors.h"
#include "file_io.h"
#include "messages.h"

namespace kompa::io {

namespace {

constexpr char kJournalHead[] = "KOMPA-JOURNAL 1\n";
constexpr char kCompanionHead[] = "KOMPA-SET 1\n";
// A file is told by its size and the hash of this much of its beginning and of its end: the
// header and index of a dictionary, and its last records.
constexpr std::size_t kFingerprintPart = 64 * 1024;
constexpr std::size_t kSmallFileMax = 1 << 20; // journal and companion are read whole

std::uint64_t Fnv(std::uint64_t hash, std::string_view bytes)
{
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

constexpr std::uint64_t kFnvStart = 14695981039346656037ull;

std::string Hex(std::uint64_t value)
{
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return text;
}

struct Fingerprint {
    long long size = -1;
    std::uint64_t hash = 0;
    bool operator==(const Fingerprint&) const = default;
};

bool ReadAt(int fd, std::string& into, std::size_t count, off_t at)
{
    into.resize(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd, into.data() + done, count - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<Fingerprint> FingerprintOf(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    Fingerprint print;
    print.size = static_cast<long long>(st.st_size);
    const auto size = static_cast<std::size_t>(st.st_size);
    const std::size_t head = std::min(size, kFingerprintPart);
    const std::size_t tailFrom =
        std::max(head, size > kFingerprintPart ? size - kFingerprintPart : 0);
    std::string bytes;
    if (!ReadAt(fd, bytes, head, 0))
        return std::nullopt;
    print.hash = Fnv(kFnvStart, bytes);
    if (!ReadAt(fd, bytes, size - tailFrom, static_cast<off_t>(tailFrom)))
        return std::nullopt;
    print.hash = Fnv(print.hash, bytes);
    return print;
}

// A small file of the directory, whole; nullopt when it is not there or cannot be read.
std::optional<std::string> ReadSmallFile(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size > static_cast<off_t>(kSmallFileMax))
        return std::nullopt;
    std::string bytes;
    if (!ReadAt(fd, bytes, static_cast<std::size_t>(st.st_size), 0))
        return std::nullopt;
    return bytes;
}

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// Lines after the first, which must be head.
std::optional<std::vector<std::string>> BodyLines(std::string_view text, std::string_view head)
{
    if (!text.starts_with(head))
        return std::nullopt;
    std::vector<std::string> lines;
    std::istringstream in{std::string(text.substr(head.size()))};
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A plain name of the directory itself: nothing read from its files may lead out of it.
bool MayBeMemberName(const std::string& name)
{
    return !name.empty() && name.find_first_of("/ \t\r\n") == std::string::npos && name != "." &&
           name != "..";
}

// --- the companion ------------------------------------------------------------------------

struct CompanionEntry {
    std::string name;
    std::string group;
    Fingerprint print;
};

std::vector<CompanionEntry> ParseCompanion(std::string_view text)
{
    std::vector<CompanionEntry> entries;
    const auto lines = BodyLines(text, kCompanionHead);
    if (!lines)
        return entries;
    for (const std::string& line : *lines) {
        const std::vector<std::string> w = Words(line);
        if (w.size() != 4 || !MayBeMemberName(w[0]))
            continue;
        CompanionEntry e{w[0], w[1], {}};
        char* end = nullptr;
        e.print.size = std::strtoll(w[2].c_str(), &end, 10);
        e.print.hash = std::strtoull(w[3].c_str(), &end, 16);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<CompanionEntry> ReadCompanion(const Directory& dir, const std::string& companion)
{
    UniqueFd fd(::openat(dir.Fd(), companion.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return {};
    const std::optional<std::string> text = ReadSmallFile(fd.Get());
    return text ? ParseCompanion(*text) : std::vector<CompanionEntry>();
}

std::optional<Fingerprint> FingerprintOf(const Directory& dir, const std::string& name)
{
    UniqueFd fd(::openat(dir.Fd(), name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return std::nullopt;
    return FingerprintOf(fd.Get());
}

// --- the journal --------------------------------------------------------------------------

struct JournalEntry {
    std::string temp;
    std::string target;
    unsigned long long inode = 0;
};

std::optional<std::vector<JournalEntry>> ParseJournal(std::string_view text)
{
    const std::size_t end = text.rfind("END ");
    if (end == std::string_view::npos || Words(std::string(text.substr(end))).size() != 2 ||
        Words(std::string(text.substr(end)))[1] != Hex(Fnv(kFnvStart, text.substr(0, end))))
        return std::nullopt;
    const auto lines = BodyLines(text.substr(0, end), kJournalHead);
    if (!lines)
        return std::nullopt;
    std::vector<JournalEntry> entries;
    for (const std::string& line : *lines) {
        const std::vector<std::string> w = Words(line);
        if (w.size() != 3 || !w[0].starts_with(".kompa-") || !MayBeMemberName(w[0]) ||
            !MayBeMemberName(w[1]))
            return std::nullopt;
        entries.push_back({w[0], w[1], std::strtoull(w[2].c_str(), nullptr, 10)});
    }
    return entries;
}

bool HasInode(const Directory& dir, const std::string& name, unsigned long long inode, bool& exists)
{
    struct stat st {};
    exists = ::fstatat(dir.Fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    return exists && static_cast<unsigned long long>(st.st_ino) == inode;
}

std::string RandomGroup()
{
    std::uint64_t value = 0;
    if (::getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value))
        value = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ull ^
                static_cast<std::uint64_t>(::time(nullptr));
    return Hex(value);
}

} // namespace

struct FileSetReplacement::Member {
    std::string name;
    UniqueFd guard; // the old file, locked so no reader opens it meanwhile
    struct stat old {};
    bool existed = false;
    std::unique_ptr<NewFile> file;
    bool written = false;
    bool exchanged = false; // the old file now under the temporary name
    bool renamed = false;   // put in place over no file, or where nothing could be exchanged
};

FileSetReplacement::FileSetReplacement(const std::string& dir, std::vector<std::string> names,
                                       std::string companion)
    : companion_(std::move(companion))
{
    IgnoreFileSizeSignal();
    const std::string shown = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    try {
        dir_ = Directory::Open(dir);
    } catch (const Exception&) {
        Raise(FormatMessage(msg::kFileCreateError, shown + (names.empty() ? "" : names.front())));
    }
    for (std::string& name : names) {
        if (!MayBeMemberName(name))
            Raise(FormatMessage(msg::kFileCreateError, shown + name));
        members_.push_back(std::make_unique<Member>());
        members_.back()->name = std::move(name);
    }
    switch (RecoverFileSet(dir_)) {
    case TSetRecovery::Busy:
        Raise(FormatMessage(msg::kFileCreateError, dir_.Path() + members_.front()->name) +
              msg::kSentenceEnd + msg::kBeingReplaced);
    case TSetRecovery::Failed:
        Raise(FormatMessage(msg::kFileCreateError, dir_.Path() + members_.front()->name) +
              msg::kSentenceEnd + msg::kReplacementStuck);
    default:
        break;
    }
    for (auto& m : members_)
        Claim(*m);
    std::vector<std::string> claimed;
    for (const auto& m : members_)
        claimed.push_back(m->name);
    if (!companion_.empty())
        claimed.push_back(companion_);
    RemoveAbandonedTemps(dir_, claimed, true);
}

FileSetReplacement::~FileSetReplacement() = default;

void FileSetReplacement::Claim(Member& m)
{
    const std::string path = dir_.Path() + m.name;
    // Followed like a reader follows it: a reader of the file a link leads to counts too.
    m.guard.Reset(::openat(dir_.Fd(), m.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!m.guard) {
        struct stat st {};
        if (errno != ENOENT || ::fstatat(dir_.Fd(), m.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            Raise(FormatMessage(msg::kFileCreateError, path));
        if (!dir_.MayReplace(nullptr))
            Raise(FormatMessage(msg::kFileCreateError, path));
        return;
    }
    if (::fstat(m.guard.Get(), &m.old) != 0 || !S_ISREG(m.old.st_mode) ||
        ::faccessat(dir_.Fd(), m.name.c_str(), W_OK, AT_EACCESS) != 0 || !dir_.MayReplace(&m.old))
        Raise(FormatMessage(msg::kFileCreateError, path));
    m.existed = true;
    if (::flock(m.guard.Get(), LOCK_EX | LOCK_NB) != 0)
        Raise(FormatMessage(msg::kFileCreateError, path) + msg::kSentenceEnd + msg::kFileInUse);
}

void FileSetReplacement::Write(std::size_t i, const TBytesWriter& write)
{
    Member& m = *members_.at(i);
    const std::string path = dir_.Path() + m.name;
    try {
        m.file = std::make_unique<NewFile>(dir_, m.name, m.existed ? 0600u : 0666u);
    } catch (const Exception&) {
        Raise(FormatMessage(msg::kFileCreateError, path));
    }
    if (m.existed && !m.file->TakeRightsOf(m.guard.Get(), m.old))
        Raise(FormatMessage(msg::kRightsNotCopied, path) + msg::kSentenceEnd +
              IoErrorMessage(errno));
    if (!m.file->Write(write))
        RaiseIo(errno);
    m.written = true;
}

void FileSetReplacement::AddCompanion()
{
    // Kept up to date wherever one is, and started by a set of several files.
    std::vector<CompanionEntry> entries = ReadCompanion(dir_, companion_);
    UniqueFd present(::openat(dir_.Fd(), companion_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    auto isRecorded = [this](const std::string& name) {
        return !recorded_ ||
               std::find(recorded_->begin(), recorded_->end(), name) != recorded_->end();
    };
    const auto recordedCount = std::count_if(members_.begin(), members_.end(),
                                             [&](const auto& m) { return isRecorded(m->name); });
    if (recordedCount == 0 || (!present && recordedCount < 2))
        return;
    std::string text = kCompanionHead;
    const std::string group = RandomGroup();
    for (const auto& m : members_) {
        if (!isRecorded(m->name))
            continue;
        const std::optional<Fingerprint> print = FingerprintOf(m->file->Fd());
        if (!print)
            RaiseIo(errno == 0 ? EIO : errno);
        text += m->name + " " + group + " " + std::to_string(print->size) + " " + Hex(print->hash) +
                "\n";
    }
    // Files of other sets stay listed, with the set they were built with.
    for (const CompanionEntry& e : entries) {
        bool replaced = false;
        for (const auto& m : members_)
            replaced |= m->name == e.name;
        if (!replaced && ::faccessat(dir_.Fd(), e.name.c_str(), F_OK, 0) == 0)
            text += e.name + " " + e.group + " " + std::to_string(e.print.size) + " " +
                    Hex(e.print.hash) + "\n";
    }
    auto m = std::make_unique<Member>();
    m->name = companion_;
    Claim(*m);
    members_.push_back(std::move(m));
    Write(members_.size() - 1, [&text](int fd) { return WriteAll(fd, text); });
}

void FileSetReplacement::WriteJournal()
{
    std::string text = kJournalHead;
    for (const auto& m : members_) {
        struct stat st {};
        if (::fstat(m->file->Fd(), &st) != 0)
            RaiseIo(errno);
        text += m->file->TempName() + " " + m->name + " " +
                std::to_string(static_cast<unsigned long long>(st.st_ino)) + "\n";
    }
    text += "END " + Hex(Fnv(kFnvStart, text)) + "\n";
    const std::string path = dir_.Path() + members_.front()->name;
    try {
        journal_ = std::make_unique<NewFile>(dir_, kJournalName, 0600u);
    } catch (const Exception&) {
        Raise(FormatMessage(msg::kFileCreateError, path));
    }
    if (!journal_->Write([&text](int fd) { return WriteAll(fd, text); }))
        RaiseIo(errno);
    // Another replacement's journal is never replaced: that one is under way.
    if (!journal_->LinkAs(kJournalName)) {
        const int err = errno;
        journal_.reset();
        Raise(FormatMessage(msg::kFileCreateError, path) +
              (err == EEXIST ? msg::kSentenceEnd + std::string(msg::kBeingReplaced) : ""));
    }
    // The new files and the journal are on disk before the first exchange.
    dir_.Sync();
}

void FileSetReplacement::Exchange()
{
    for (auto& m : members_) {
        if (m->file->PutInPlace(m->existed)) {
            (m->existed && !m->file->TempName().empty() ? m->exchanged : m->renamed) = true;
            continue;
        }
        const int err = errno;
        // Undone in reverse, as far as it can be: what was exchanged goes back.
        for (auto back = members_.rbegin(); back != members_.rend(); ++back) {
            Member& b = **back;
            if (b.exchanged && b.file->PutInPlace(true))
                b.exchanged = false;
            else if (b.renamed && !b.existed)
                ::unlinkat(dir_.Fd(), b.name.c_str(), 0);
        }
        journal_.reset();
        dir_.Sync();
        errno = err;
        Raise(FormatMessage(msg::kFileCreateError, dir_.Path() + m->name));
    }
}

void FileSetReplacement::Commit()
{
    for (const auto& m : members_)
        if (!m->written)
            Raise(FormatMessage(msg::kFileCreateError, dir_.Path() + m->name));
    if (!companion_.empty())
        AddCompanion();
    for (const auto& m : members_)
        if (!m->file->Link())
            Raise(FormatMessage(msg::kFileCreateError, dir_.Path() + m->name));
    if (members_.size() > 1)
        WriteJournal();
    Exchange();
    // The exchanges are on disk before the journal goes; a journal that a crash brings back
    // after that finds every file in place and only goes again.
    dir_.Sync();
    journal_.reset();
    // Freeing a large old file takes a while: all at once.
    std::vector<std::thread> freeing;
    for (std::size_t i = 1; i < members_.size(); ++i)
        freeing.emplace_back([&m = *members_[i]] {
            m.file.reset();
            m.guard.Reset();
        });
    members_.front()->file.reset();
    members_.front()->guard.Reset();
    for (std::thread& t : freeing)
        t.join();
}

void ReplaceFileSet(const std::string& dir,
                    const std::vector<std::pair<std::string, TBytesWriter>>& files,
                    const std::string& companion)
{
    std::vector<std::string> names;
    names.reserve(files.size());
    for (const auto& file : files)
        names.push_back(file.first);
    FileSetReplacement set(dir, std::move(names), companion);
    for (std::size_t i = 0; i < files.size(); ++i)
        set.Write(i, files[i].second);
    set.Commit();
}

TSetRecovery RecoverFileSet(const Directory& dir)
{
    UniqueFd fd(::openat(dir.Fd(), kJournalName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return errno == ENOENT ? TSetRecovery::Nothing : TSetRecovery::Failed;
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return TSetRecovery::Busy;
    // Completed by someone else meanwhile: the name no longer holds this journal.
    struct stat held {};
    struct stat named {};
    if (::fstat(fd.Get(), &held) != 0 ||
        ::fstatat(dir.Fd(), kJournalName, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        held.st_ino != named.st_ino)
        return TSetRecovery::Nothing;
    // Only a journal this user, or root, wrote is followed: one that another user put in a
    // directory both may write (a sticky one) would have this process rename that user's file
    // over one of its own.
    if (held.st_uid != ::geteuid() && held.st_uid != 0)
        return TSetRecovery::Failed;
    const std::optional<std::string> text = ReadSmallFile(fd.Get());
    const auto entries = text ? ParseJournal(*text) : std::nullopt;
    if (!entries)
        return TSetRecovery::Failed;
    for (const JournalEntry& e : *entries) {
        bool targetThere = false;
        bool tempThere = false;
        if (HasInode(dir, e.target, e.inode, targetThere))
            continue;
        if (!HasInode(dir, e.temp, e.inode, tempThere))
            return TSetRecovery::Failed;
        const bool done =
            targetThere ? ::renameat2(dir.Fd(), e.temp.c_str(), dir.Fd(), e.target.c_str(),
                                      RENAME_EXCHANGE) == 0 ||
                              ::renameat(dir.Fd(), e.temp.c_str(), dir.Fd(), e.target.c_str()) == 0
                        : ::renameat(dir.Fd(), e.temp.c_str(), dir.Fd(), e.target.c_str()) == 0;
        if (!done)
            return TSetRecovery::Failed;
    }
    dir.Sync();
    if (::unlinkat(dir.Fd(), kJournalName, 0) != 0)
        return TSetRecovery::Failed;
    dir.Sync();
    // The temporary names now hold the old files, or nothing.
    for (const JournalEntry& e : *entries)
        ::unlinkat(dir.Fd(), e.temp.c_str(), 0);
    return TSetRecovery::Completed;
}

std::optional<Directory> RecoverBeforeReading(const std::string& fileName)
{
    std::optional<Directory> dir;
    try {
        dir.emplace(Directory::OpenForReading(DirectoryPart(fileName)));
    } catch (const Exception&) {
        return std::nullopt; // no such directory: opening the file says so
    }
    const TSetRecovery recovery = RecoverFileSet(*dir);
    if (recovery == TSetRecovery::Busy || recovery == TSetRecovery::Failed)
        Raise(FormatMessage(msg::kFileOpenError, fileName) + msg::kSentenceEnd +
              (recovery == TSetRecovery::Busy ? msg::kBeingReplaced : msg::kReplacementStuck));
    return dir;
}

std::optional<std::string> MixedSetMember(const Directory& dir, const std::string& companion,
                                          const std::string& name)
{
    const std::vector<CompanionEntry> entries = ReadCompanion(dir, companion);
    const CompanionEntry* own = nullptr;
    for (const CompanionEntry& e : entries)
        if (e.name == name)
            own = &e;
    if (own == nullptr)
        return std::nullopt;
    bool anyKept = false;
    std::optional<std::string> replaced;
    for (const CompanionEntry& e : entries) {
        if (e.group != own->group)
            continue;
        const std::optional<Fingerprint> now = FingerprintOf(dir, e.name);
        if (!now)
            continue;
        if (*now == e.print)
            anyKept = true;
        else if (!replaced)
            replaced = e.name;
    }
    // Every file of the set changed: replaced together (a pair copied in), not mixed.
    return anyKept ? replaced : std::nullopt;
}

} // namespace kompa::io
