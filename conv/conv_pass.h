#pragma once
// One conversion pass over a user's delimited file, without any presentation: the file held as
// lines, the record-by-record lookup in the shared address dictionary, the automatic write-back
// of unambiguous answers, the user's OK and skip on the others, and the save with its backup.
// The conversion window and `kompa-cli convert` both drive it.

#include <functional>
#include <string>
#include <string_view>

#include "book_lines.h"
#include "book_save.h"
#include "char_set.h"
#include "csv_fields.h"
#include "engine/dictionary.h"
#include "engine/file_io.h"
#include "engine/result_list.h"

namespace kompa {

// Where the pass stands.
enum class TPassState {
    Idle,     // no record in hand: nothing loaded, a pass not started yet, or one just ended
    Running,  // inside ConvertRecords
    Waiting,  // a record waits for OK or skip
    Finished, // every record dealt with; save, continue or discard
    Stopped,  // a failure ended the pass at FCurrent; it cannot be resumed
};

// What a step of the pass ended in.
enum class TStepResult {
    Waiting,  // a record waits (the OnWait callback has run)
    Finished, // the last record was dealt with
    Refused,  // no record waits: the step did nothing
};

enum class TSaveResult {
    Saved,        // written; the file as read is kept under the backup name when one was made
    BackupFailed, // the backup rename failed and nothing was written: ask the user
    Refused,      // no finished pass to save
};

class TConversionPass {
public:
    // postCode is the shared address dictionary; the pass opens and closes it.
    explicit TConversionPass(TPostCode& postCode);
    TConversionPass(const TConversionPass&) = delete;
    TConversionPass& operator=(const TConversionPass&) = delete;

    // --- set-up ---------------------------------------------------------------------------
    // Directory holding "KOMPA.DIC" (with or without a trailing '/').
    void SetDictionaryDir(std::string dir) { FDictDir = std::move(dir); }
    // Zero-based columns, as the field dialog chose them.
    void SetColumns(int postCol, int addrCol)
    {
        FPostCol = postCol;
        FAddrCol = addrCol;
    }
    // "置き換え動作の確認": every record with an address waits for the user.
    void SetConfirm(bool confirm) { FConfirm = confirm; }
    // "県名も表示": candidate lines carry the prefecture name.
    void SetWithKen(bool withKen) { FWithKen = withKen; }
    // Asked afresh for every written record; "," when unset.
    void SetWriteDelimiterSource(std::function<char()> source)
    {
        FWriteDelimiter = std::move(source);
    }
    // SetCurrent: the record index and the line count, after each record (progress display).
    std::function<void(int current, int count)> OnCurrent;
    // A record waits: WaitKey(), Candidates(), WaitPostCode(), WaitAddress() describe it.
    std::function<void()> OnWait;
    // How the next LoadFromFile decides the file's encoding.
    void SetEncodingChoice(TEncodingChoice choice) { FEncodingChoice = choice; }

    // --- the file -------------------------------------------------------------------------
    // Replaces the held lines (also in the middle of a pass: a waiting record is dropped, so
    // nothing of an earlier file can be written into these lines). The delimiter sets stay
    // those of this opening for every later pass over the same lines. Read failures raise
    // the I/O message; the lines are then empty. Only a regular file is read. The file's
    // format (encoding, byte-order mark, line end) is kept for the save. In a UTF-8 file the
    // fields are split and joined byte-wise; only the address is converted, for the lookup.
    // A 0x1A ends the lines; it and everything after it are kept to be written back as read.
    void LoadFromFile(const std::string& fileName, const TCharSet& readDelimiters,
                      const TCharSet& quoteTargets);
    // Whether every line has as many fields as the first. Empty lines, records without any
    // field, are left out.
    bool CheckFieldCounts() const;
    // Index of the first line whose field count differs from the first line's, or -1.
    int FirstFieldCountMismatch() const;
    // Index of the line the others are compared with (the first that is not empty), or -1.
    int FieldCountReference() const;

    // --- the pass -------------------------------------------------------------------------
    // Counters to zero, FCurrent to 0; opens the dictionary when active (a failure raises and
    // leaves FActive as it was), else closes it. Drops any waiting record.
    void ResetConversion(bool active);
    // Converts from FCurrent on until a record waits or the pass ends. Refused unless
    // ResetConversion(true) prepared a pass over at least one line that has not ended since.
    // An empty line is a record with an empty address. A record lacking a chosen column, or a
    // failed search, raises and stops the pass at that record.
    TStepResult ConvertRecords();
    // OK on the waiting record: its postal-code field := the first seven bytes of codeText.
    TStepResult Ok(std::string_view codeText);
    // Skip the waiting record; it stays as read.
    TStepResult Skip();
    // "再検索" and "単語検索" on the waiting record's key text; false (list untouched) when no
    // record waits.
    bool Research(std::string_view keyText, TResultList& list);
    bool WordSearch(std::string_view keyText, TResultList& list);

    // --- the end --------------------------------------------------------------------------
    // The backup name of fileName: the extension of the name part replaced by ".bak", or
    // ".bak" appended when it has none. Shift-JIS aware, so a trail byte is never a '.'/'/'.
    static std::string BackupFileName(const std::string& fileName);
    // "結果を保存": every line in the file's format, then the bytes from a 0x1A on, replace
    // the file (SaveUserFileReplacing), the file as read kept under its backup name (never
    // replacing an existing file); then the pass ends. A file that is no longer the one read,
    // or any failure, raises and keeps the lines and the pass, the file untouched.
    TSaveResult SaveWithBackup();
    // After BackupFailed: why the backup could not be made (Shift-JIS, naming the backup).
    const std::string& BackupProblem() const { return FBackupProblem; }
    // After BackupFailed, when the user goes on: the same without a backup.
    TSaveResult SaveWithoutBackup();
    // Writes the lines elsewhere (kompa-cli --output) by the same replacing, or straight into
    // a FIFO or device such as /dev/stdout; the pass stays.
    void SaveTo(const std::string& fileName) const;
    // What a save writes.
    std::string OutputBytes() const;
    // "結果を破棄" (also after a BackupFailed the user cancelled): ends the pass unsaved.
    void Discard();

    // --- state ----------------------------------------------------------------------------
    TPassState State() const { return FState; }
    bool Waiting() const { return FState == TPassState::Waiting; }
    bool Active() const { return FActive; }
    int Current() const { return FCurrent; }
    int ConvCount() const { return FConvCount; }
    int SkipCount() const { return FSkipCount; }
    int BlankCount() const { return FBlankCount; }
    int Level() const { return FLevel; }
    const std::string& CsvFileName() const { return FCsvFileName; }
    const TCharSet& ReadDelimiters() const { return FReadDelimiters; }
    const TBookLines& Lines() const { return FLines; }
    const TFileFormat& Format() const { return FLines.Format(); }
    const TTextResultList& Candidates() const { return FCandidates; }
    // While a record waits: the key the window shows in edKey (the whole key when there is no
    // candidate, else the text the dictionary finally searched; Shift-JIS), and the record's
    // postal-code and address fields (in the file's encoding).
    const std::string& WaitKey() const { return FWaitKey; }
    const std::string& WaitPostCode() const { return FWaitPostCode; }
    const std::string& WaitAddress() const { return FWaitAddress; }

private:
    void SetCurrent(int index);
    void DropWaitingRecord();
    void WriteBack(std::string_view codeText);
    void ShowCandidates(const std::string& key);
    TStepResult Advance();
    char WriteDelimiter() const;
    // Writes what OutputBytes() holds, in pieces.
    TBytesWriter Writer() const;
    // The record's address as the dictionary reads it (Shift-JIS). matchable is false when a
    // UTF-8 address holds a character with no Shift-JIS form ("?" in its place then).
    const std::string& LookupAddress(bool& matchable);

    TPostCode& FPostCode;
    std::string FDictDir;
    std::function<char()> FWriteDelimiter;
    bool FConfirm = false;
    bool FWithKen = false;
    int FPostCol = 0;
    int FAddrCol = 1;

    TBookLines FLines;
    TEncodingChoice FEncodingChoice = TEncodingChoice::Auto;
    io::FileIdentity FIdentity; // the file as it was opened for reading
    TFieldList FFields;
    std::string FJoined; // the record written back, its buffer kept between records
    TTextResultList FCandidates;
    std::string FCsvFileName;
    TCharSet FReadDelimiters;
    TCharSet FQuoteTargets;
    bool FActive = false;
    int FCurrent = 0;
    int FConvCount = 0;
    int FSkipCount = 0;
    int FBlankCount = 0;
    int FLevel = 0;

    TPassState FState = TPassState::Idle;
    bool FReady = false; // ResetConversion(true) ran and the pass has not ended since
    std::string FWaitKey;
    std::string FWaitPostCode;
    std::string FWaitAddress;
    std::string FLookup; // a UTF-8 record's address in Shift-JIS
    std::string FBackupProblem;
};

} // namespace kompa
