#pragma once
// Replacing a user's file with its converted bytes so that, whatever happens on the way (a full
// disk, a file-size limit, a kill, a crash, another program writing to it, another user swapping
// its directory), the name holds either the file as read or the complete new bytes, and the
// file as read survives under the backup name whenever one was asked for. The replacing itself
// is the engine's (engine/io/file_replace.h).

#include <string>
#include <string_view>

#include "engine/io/file_io.h"
#include "engine/io/file_replace.h"

namespace kompa {

using io::TBytesWriter;
using io::TReplaceResult;

// The backup name of fileName: the extension of the name part replaced by ".bak", or ".bak"
// appended when it has none. Neither '/' nor '.' can be a trail byte of a double-byte character
// (Shift-JIS or UTF-8), so a byte scan finds them safely.
std::string BackupNameOf(const std::string& fileName);

// Writes the new bytes over fileName (io::ReplaceFile): a temporary file in the file's real
// directory with its owner and group (where allowed), mode, ACL and extended attributes, synced;
// with withBackup, the original is then kept under BackupNameOf its name in that directory
// (a hard link, or a copy where the file system has none; a backup name that already holds this
// very file, as a killed save leaves it, is taken as it is); the temporary file is renamed over
// the file and the directory synced. A symbolic link stays: the file it leads to is replaced
// (only a link of the user running, or of root, is followed). Other hard links of the file keep
// the file as it was. asRead, when given, is the file as read: a file that is no longer that file
// is refused, and a missing one is not created. Every failure raises a message saying that the
// original is untouched and leaves no temporary file and no backup of its own behind.
// BackupFailed leaves everything untouched; backupProblem then says why.
TReplaceResult SaveUserFileReplacing(const std::string& fileName, std::string_view bytes,
                                     const io::FileIdentity* asRead, bool withBackup,
                                     std::string* backupProblem = nullptr);
TReplaceResult SaveUserFileReplacing(const std::string& fileName, const TBytesWriter& write,
                                     const io::FileIdentity* asRead, bool withBackup,
                                     std::string* backupProblem = nullptr);

// Writes bytes straight to a FIFO or a device the user named as the destination (such as
// /dev/stdout), which no rename could replace; raises the I/O message on failure.
void WriteToStreamFile(const std::string& fileName, std::string_view bytes);
void WriteToStreamFile(const std::string& fileName, const TBytesWriter& write);
// Whether fileName names an existing FIFO or character device.
bool IsStreamFile(const std::string& fileName);

} // namespace kompa
