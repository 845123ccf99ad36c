#pragma once
// Replacing a user's file with its converted bytes so that, whatever happens on the way (a full
// disk, a file-size limit, a crash, another program writing to it), the name holds either the
// file as read or the complete new bytes, and the file as read survives under the backup name
// whenever one was asked for.

#include <functional>
#include <string>
#include <string_view>

#include "engine/file_io.h"

namespace kompa {

enum class TReplaceResult {
    Saved,
    BackupFailed, // the backup could not be made; nothing was written, the original is untouched
};

// Writes bytes to fileName through a temporary file in the same directory (with the original's
// permission bits, and its owner and group where the process may set them), fsynced; then, when
// backupName is not empty, links the original under backupName without replacing anything (an
// exclusively created copy where the file system has no hard links); renames the temporary file
// over fileName and fsyncs the directory.
// A symbolic link stays: the file it leads to is replaced.
// asRead, when given, is the identity of the file as it was read: a file that is no longer that
// file is refused. Only regular files are replaced; a missing fileName is created when asRead
// is null. Every failure raises a message saying that the original is untouched (naming the
// backup when one was made), and leaves no temporary file behind.
TReplaceResult SaveUserFileReplacing(const std::string& fileName, std::string_view bytes,
                                     const io::FileIdentity* asRead, const std::string& backupName);

// Writes the new bytes to an open descriptor; false with errno set on failure. Lets a caller
// write its bytes in pieces instead of holding a second copy of the file.
using TBytesWriter = std::function<bool(int fd)>;
TReplaceResult SaveUserFileReplacing(const std::string& fileName, const TBytesWriter& write,
                                     const io::FileIdentity* asRead, const std::string& backupName);

// Writes bytes straight to a FIFO or a device the user named as the destination (such as
// /dev/stdout), which no rename could replace; raises the I/O message on failure.
void WriteToStreamFile(const std::string& fileName, std::string_view bytes);
void WriteToStreamFile(const std::string& fileName, const TBytesWriter& write);
// Whether fileName names an existing FIFO or character device.
bool IsStreamFile(const std::string& fileName);

} // namespace kompa
