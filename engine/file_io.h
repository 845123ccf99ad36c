#pragma once
// The platform's file services as the engine needs them: the system's I/O messages, text-file
// reading by the line rules, dictionary files opened without sharing, whole-file saves that never
// leave a half-written target, and a rename that refuses to replace.

#include <cstdint>
#include <string>
#include <string_view>

namespace kompa::io {

// The text-file I/O message for a system error number (errno).
std::string IoErrorMessage(int err);
[[noreturn]] void RaiseIo(int err);

bool FileExists(const std::string& fileName);
// Size in bytes, or -1 when there is no such file.
long long FileSizeOrMinus1(const std::string& fileName);

// Everything up to and including the last '/', or empty.
std::string DirectoryPart(const std::string& fileName);
// Everything after the last '/'.
std::string NamePart(const std::string& fileName);
// Full name of the running program file (its real path).
std::string ProgramFileName();

// Reads a text file line by line: a line ends at CR, an LF right after the CR belongs to the
// line end, a lone LF is an ordinary byte, 0x1A or the physical end ends the input. A last line
// without a line end is still read.
class TextFileReader {
public:
    // Raises the I/O message for the failure when the file cannot be opened.
    TextFileReader(const std::string& fileName, std::size_t bufferSize);
    ~TextFileReader();
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    bool AtEnd();
    // Reads the next line into line (without its end). Returns false at the end of the input.
    // Only the first maxBytes bytes are kept; the rest of a longer line is skipped.
    bool ReadLine(std::string& line, std::size_t maxBytes = std::string::npos);
    // The same without copying: line points into the read buffer when the line lies wholly in
    // it, and into spill otherwise. Valid until the next read.
    bool ReadLineView(std::string_view& line, std::string& spill,
                      std::size_t maxBytes = std::string::npos);

private:
    bool Fill();
    int fd_ = -1;
    std::string buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool eof_ = false;
    bool pendingLf_ = false; // the last line ended at CR; an LF right after it belongs to it
};

// A file held open for reading without sharing: while it is open, every other open (of this
// process or another) and every CreateFileReplacing of the same file fails.
class ExclusiveFile {
public:
    ExclusiveFile() = default;
    ~ExclusiveFile() { Close(); }
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    // Returns false (errno set) when the file cannot be opened or is held by someone else.
    bool Open(const std::string& fileName);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    long long Size() const { return size_; }
    // Reads up to count bytes at offset; returns the number read (fewer at the end of file).
    std::size_t ReadAt(long long offset, void* into, std::size_t count) const;

private:
    int fd_ = -1;
    long long size_ = 0;
};

// Writes bytes to fileName through a temporary file in the same directory that is renamed over
// the target, so a failure leaves the old file whole and no half-written file behind.
// Fails with "ﾌｧｲﾙ %s を作成できません" when the target is held open by an ExclusiveFile or the
// temporary file cannot be created; a failing write raises the system's I/O message.
void SaveFileReplacing(const std::string& fileName, std::string_view bytes);

// Renames from to to; fails (returns false, errno set) when to already exists.
bool RenameNoReplace(const std::string& from, const std::string& to);

} // namespace kompa::io
