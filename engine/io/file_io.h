#pragma once
// The platform's file services as the engine needs them: the system's I/O messages, text-file
// reading by the line rules, and dictionary files opened for shared reading. Replacing files is
// file_replace.h's.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

struct stat;

namespace kompa::io {

// Owns one open file descriptor and closes it on every way out.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release() { return std::exchange(fd_, -1); }
    // Closes the held descriptor (errors ignored) and takes fd.
    void Reset(int fd = -1);
    // Closes now; false (errno set) when the close reports a delayed write error.
    bool Close();

private:
    int fd_ = -1;
};

// What tells one state of a file from another: the same name may later hold another file
// (replaced), or the same file other bytes (written to).
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = -1;
    long long modifiedSeconds = 0;
    long long modifiedNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(const struct ::stat& st);

// A write beyond the file-size limit then fails with EFBIG instead of killing the process, so
// the save in progress can clean up and say what happened. Safe to call any number of times.
void IgnoreFileSizeSignal();

// Writes all of bytes; false with errno set on failure.
bool WriteAll(int fd, std::string_view bytes);

// The text-file I/O message for a system error number (errno).
std::string IoErrorMessage(int err);
[[noreturn]] void RaiseIo(int err);

bool FileExists(const std::string& fileName);

// Everything up to and including the last '/', or empty.
std::string DirectoryPart(const std::string& fileName);
// Everything after the last '/'.
std::string NamePart(const std::string& fileName);
// Full name of the running program file (its real path).
std::string ProgramFileName();

// Opens fileName for reading as ReadWholeFile does; raises the system's message on failure.
UniqueFd OpenTextFile(const std::string& fileName);
// Opens a user's file (a book, a build source) where it really is (see LocateFile in
// file_replace.h): only a regular file, never waiting for a FIFO. A failure raises
// "ﾌｧｲﾙ %s は開けません" and its cause, or "ファイル %s は通常のファイルではありません".
// identity, when given, receives the file as opened.
UniqueFd OpenRegularFile(const std::string& fileName, FileIdentity* identity = nullptr);

// The whole file's bytes; raises the I/O message for the failure, and with regularOnly refuses
// anything but a regular file (a FIFO, a device, a directory) before a byte is read, never
// waiting for a FIFO's writer. identity, when given, receives the file as opened.
std::string ReadWholeFile(const std::string& fileName, bool regularOnly = false,
                          FileIdentity* identity = nullptr);

// A file held open for reading under a shared lock: any number of readers (of this process or
// another) hold it at once, while a build refuses to replace it. Anything but a regular file is
// refused (EACCES) without waiting, a FIFO too.
class SharedFile {
public:
    SharedFile() = default;
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    // Returns false (errno set) when the file cannot be opened or is being replaced.
    bool Open(const std::string& fileName);
    void Close();
    bool IsOpen() const { return static_cast<bool>(fd_); }
    long long Size() const { return size_; }
    // The file as it is held (device, inode, size, modification time); empty when closed.
    FileIdentity Identity() const;
    // Reads up to count bytes at offset; returns the number read (fewer at the end of file).
    std::size_t ReadAt(long long offset, void* into, std::size_t count) const;

private:
    UniqueFd fd_;
    long long size_ = 0;
};

} // namespace kompa::io
