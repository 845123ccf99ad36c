#pragma once
// Replacing several files of one directory all or none, as databases commit with a journal:
// the new files are written and synced under temporary names, then a journal naming every
// exchange is put in place, then the files are exchanged one by one, then the journal goes. A
// process killed at any moment leaves either every old file (before the journal: its
// temporary files are removed later as abandoned) or a journal, and the next open or build in
// that directory completes what the journal says before it reads anything. While a replacement
// is under way its journal is locked, so readers know to wait instead of completing it.
//
// A companion file may record which files were built together, as sizes and hashes of their
// beginning and end; a file replaced by hand while a partner stayed is then found out. Files the
// companion does not list, and directories without one, are taken as they are.
//
// docs/file-replacement.md describes the scheme and the files it uses.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "file_replace.h"

namespace kompa::io {

// The journal's name in the directory, while a replacement is under way or was interrupted.
inline constexpr char kJournalName[] = ".kompa-journal";

class FileSetReplacement {
public:
    // Opens dir, completes an interrupted replacement found there, and claims every name: a file
    // that a reader holds (a shared lock), that may not be written or replaced, or that is not
    // a regular file refuses the whole set with "ﾌｧｲﾙ %s を作成できません" (and why), before
    // anything is written. Removes temporary files that killed replacements of these names
    // left. companion, when not empty, names the companion file to keep up to date.
    FileSetReplacement(const std::string& dir, std::vector<std::string> names,
                       std::string companion = {});
    ~FileSetReplacement();
    FileSetReplacement(const FileSetReplacement&) = delete;
    FileSetReplacement& operator=(const FileSetReplacement&) = delete;

    // The companion records only these members (by default every one): files that must be read
    // together, where a set also replaces files that are read on their own.
    void RecordOnly(std::vector<std::string> names) { recorded_ = std::move(names); }

    std::size_t Count() const { return members_.size(); }
    // Writes the new content of member i (in the order of names) and puts it on disk. Different
    // members may be written on different threads at once. Raises the I/O message on failure.
    void Write(std::size_t i, const TBytesWriter& write);
    // Puts every member in place, all or none, once each has been written; then the old files
    // are removed. Raises "ﾌｧｲﾙ %s を作成できません" when a file cannot be put in place.
    void Commit();

private:
    struct Member;
    void Claim(Member& m);
    void AddCompanion();
    void WriteJournal();
    void Exchange();

    Directory dir_;
    std::string companion_;
    std::optional<std::vector<std::string>> recorded_;
    std::vector<std::unique_ptr<Member>> members_;
    std::unique_ptr<NewFile> journal_;
};

enum class TSetRecovery {
    Nothing,   // no journal: nothing was interrupted
    Completed, // an interrupted replacement has been completed
    Busy,      // a replacement is under way in another process
    Failed,    // a journal is there and cannot be completed (no right to, or files gone)
};
// Completes the replacement an interrupted process left in dir, if any.
TSetRecovery RecoverFileSet(const Directory& dir);
// The same for the directory of fileName, before fileName is read: the directory, or nothing when
// it cannot be opened. Raises "ﾌｧｲﾙ %s を開けません" and why while a replacement is under way
// there or cannot be completed.
std::optional<Directory> RecoverBeforeReading(const std::string& fileName);

// When dir's companion file lists name among files built together, and one of those files is
// no longer the file that was built while another still is: the name of the first that is not.
// Files missing are not judged. Nothing when there is no companion.
std::optional<std::string> MixedSetMember(const Directory& dir, const std::string& companion,
                                          const std::string& name);

} // namespace kompa::io
