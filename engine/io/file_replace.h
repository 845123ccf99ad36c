#pragma once
// Replacing files so that each name holds either its old file or the complete new one, whatever
// happens on the way (a full disk, a file-size limit, a kill, a crash), with every step done
// relative to one opened directory: nobody can steer a step into another directory by swapping
// a directory for a symbolic link meanwhile. A new file takes over the old one's owner and group
// (where the process may set them), mode, ACL and extended attributes, and never grants anyone
// more than the old one did. docs/file-replacement.md describes the whole scheme.
//
// One file: ReplaceFile. Several files of one directory, all or none: FileSetReplacement
// (file_set.h), built on the same pieces.

#include <functional>
#include <string>
#include <vector>

#include "file_io.h"

namespace kompa::io {

// Writes a file's new bytes to fd; false with errno set on failure.
using TBytesWriter = std::function<bool(int fd)>;

// A directory opened once; files are named relative to it.
class Directory {
public:
    // Opens dirPath (a file name's DirectoryPart; empty for the current directory). A symbolic
    // link as its last component is followed only when it belongs to the user running or to
    // root: another user's is refused. Raises the I/O message (or that refusal) on failure.
    static Directory Open(const std::string& dirPath);
    // The same following any link, for readers: they change nothing there but what an
    // interrupted replacement left half done.
    static Directory OpenForReading(const std::string& dirPath);

    int Fd() const { return fd_.Get(); }
    // What goes before a name in messages: empty, or ending with '/'.
    const std::string& Path() const { return path_; }
    // Whether this process may put a file in place of the one described by st (or of none):
    // the directory is writable, and in a sticky one the file or the directory is its own.
    bool MayReplace(const struct stat* file) const;
    // Makes the renames done so far durable; a failure changes nothing the user could act on.
    void Sync() const;

private:
    static Directory OpenFollowing(const std::string& dirPath, bool anyLink, int depth);

    UniqueFd fd_;
    std::string path_;
};

// The file a user named: its real directory, opened, and its name there. A symbolic link as the
// file (or as a link it leads to) is followed to the file it names, existing or not, when the
// link belongs to the user running or to root; another user's link is refused.
struct FileLocation {
    Directory dir;
    std::string name;
};
FileLocation LocateFile(const std::string& fileName);

// A file being written to replace `target` in a directory. It has no name while it is written
// (where the file system can: a process killed meanwhile leaves nothing behind), is locked
// while this process holds it, and gets a short temporary name ".kompa-TAG-XXXXXX" (TAG from
// the target's name) only just before it takes the target's place.
class NewFile {
public:
    // mode: 0600 when the old file's rights are taken over afterwards; 0666 for a file of its
    // own, which the umask or the directory's default ACL then narrow as for any new file.
    // Raises the I/O message when no file can be created there.
    NewFile(const Directory& dir, std::string target, unsigned mode);
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    int Fd() const { return fd_.Get(); }
    const std::string& Target() const { return target_; }
    // Owner and group where allowed, mode, ACL and extended attributes of the old file, open as
    // from with status st. When the group cannot be kept, the group gets no more than others
    // have. False (errno set) when the ACL or an extended attribute cannot be given.
    bool TakeRightsOf(int from, const struct stat& st);
    // Writes the bytes and puts them on disk; false with errno set on failure.
    bool Write(const TBytesWriter& write);
    // Gives the file its temporary name; false with errno set.
    bool Link();
    // Gives it exactly this name instead, never replacing a file there (EEXIST); afterwards it
    // is that name's to remove. False with errno set.
    bool LinkAs(const std::string& name);
    const std::string& TempName() const { return temp_; }
    // Renames the temporary name over the target. With exchange (and a target present), the
    // old file is left under the temporary name, so the step can be undone. False with errno set.
    bool PutInPlace(bool exchange);
    // Removes the temporary name: whatever it holds (the new file before PutInPlace, the old
    // one after an exchange) is no longer needed.
    void RemoveTemp();

private:
    const Directory* dir_;
    std::string target_;
    UniqueFd fd_;
    std::string temp_;
    bool linked_ = false;
};

// Removes the temporary files of the targets that processes no longer alive left in dir (a live
// one holds its lock), and with legacyToo also the ".NAME.XXXXXX" form older builds used.
void RemoveAbandonedTemps(const Directory& dir, const std::vector<std::string>& targets,
                          bool legacyToo = false);

// How a user's file is replaced.
struct ReplaceOptions {
    // The file as it was read: a name that no longer holds that file is refused, and a missing
    // one is not created.
    const FileIdentity* asRead = nullptr;
    // Keep the file as it is under the backup name that this gives for its name, in the same
    // directory: a hard link (a copy where the file system has none), never replacing anything.
    std::string (*backupNameOf)(const std::string& name) = nullptr;
};

enum class TReplaceResult {
    Saved,
    BackupFailed, // the backup could not be made; nothing was written, the file is untouched
};

// Writes a user's file (a book, --output) anew. Only a regular file that may be written is
// replaced; a missing one is created. Every failure raises a message saying that the file is
// untouched (naming a backup this save made and could not take back), and leaves no temporary
// file behind; temporary files of earlier saves of the same name that were killed are removed.
// A backup name that holds another file gives BackupFailed, with the reason in backupProblem.
TReplaceResult ReplaceFile(const std::string& fileName, const TBytesWriter& write,
                           const ReplaceOptions& options, std::string* backupProblem = nullptr);

} // namespace kompa::io
