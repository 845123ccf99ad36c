#include "book_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kompa {

std::string BackupNameOf(const std::string& fileName)
{
    const std::size_t nameStart = io::DirectoryPart(fileName).size();
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return fileName + ".bak";
    return fileName.substr(0, dot) + ".bak";
}

TReplaceResult SaveUserFileReplacing(const std::string& fileName, std::string_view bytes,
                                     const io::FileIdentity* asRead, bool withBackup,
                                     std::string* backupProblem)
{
    return SaveUserFileReplacing(
        fileName, [bytes](int fd) { return io::WriteAll(fd, bytes); }, asRead, withBackup,
        backupProblem);
}

TReplaceResult SaveUserFileReplacing(const std::string& fileName, const TBytesWriter& write,
                                     const io::FileIdentity* asRead, bool withBackup,
                                     std::string* backupProblem)
{
    io::ReplaceOptions options;
    options.asRead = asRead;
    options.backupNameOf = withBackup ? &BackupNameOf : nullptr;
    return io::ReplaceFile(fileName, write, options, backupProblem);
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
