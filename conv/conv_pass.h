#pragma once
// One conversion pass over a user's delimited file, without any presentation: the file held as
// lines, the record-by-record lookup in the shared address dictionary, the automatic write-back
// of unambiguous answers, the user's OK and skip on the others, and the save with its backup.
// The conversion window and `kompa-cli convert` both drive it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "book_lines.h"
#include "book_save.h"
#include "char_set.h"
#include "code_text.h"
#include "csv_fields.h"
#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/office_dictionary.h"
#include "engine/dictionary/result_list.h"
#include "engine/io/file_io.h"
#include "engine/match/precise_matcher.h"

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

// How a record's address is looked up: by the address dictionary's prefix search alone, as the
// conversion always did, or by precise matching over the ministry's notes.
enum class TMatchMode { Literal, Precise };

// What became of a record's postal code.
enum class TCodeOutcome {
    Blank,    // no address: not looked up
    New,      // a code written where there was none
    Replaced, // a code written over a different one
    Kept,     // the code found is the one the record holds
    Left,     // skipped, or waiting when the pass ended unattended
};

// One record's account, for the report of a pass.
struct TRecordReport {
    int line = 0;       // counted from 1
    std::string before; // the postal-code field as read (file's encoding)
    std::string after;  // as written
    TCodeOutcome outcome = TCodeOutcome::Left;
    bool staleBefore = false; // before was a code the dictionary no longer holds
    std::string rule;         // the rule that decided, or the reason it was left (ASCII key)
    int candidates = 0;
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
    // The column holding a company's name (-1: none). A record whose name and address are those
    // of exactly one office of OFFICE.DIC (beside KOMPA.DIC; without it the column is unused)
    // gets that office's own code; any other is converted as without the column. Precise
    // matching only; takes effect at the next ResetConversion(true).
    void SetOfficeColumn(int col) { FOfficeCol = col; }
    // Records that got an office's own code.
    int OfficeCodeCount() const { return FOfficeCodeCount; }
    // Whether this pass reads the office column: one is set, OFFICE.DIC opened, precise mode.
    bool OfficeColumnInUse() const { return FOffices != nullptr; }
    // Takes effect at the next ResetConversion(true). Precise matching goes with the precise
    // mode's writing and headings (SetPreciseMode); literal matching with the literal ones.
    void SetMatchMode(TMatchMode mode)
    {
        FMatchMode = mode;
        FPrecise = mode == TMatchMode::Precise;
    }
    TMatchMode MatchMode() const { return FMatchMode; }
    // Each record's account as it is dealt with (written, kept, skipped, blank).
    std::function<void(const TRecordReport&)> OnRecord;
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
    // Precise mode (the default) recognises a heading line by itself and writes codes in the
    // form the book uses, leaving a present code that is already right byte for byte. Off, a
    // code is written as its seven digits and only a heading the caller names is kept.
    void SetPreciseMode(bool precise) { FPrecise = precise; }
    bool PreciseMode() const { return FPrecise; }

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
    // The heading line is left out of the comparison.
    int FieldCountReference() const;

    // --- the heading line -----------------------------------------------------------------
    // Whether the first line is a heading for the address column addrCol: its field there
    // reads as a column name (ColumnNameOf) and holds no address the dictionary matches.
    // Opens the dictionary for the question when it is not open, and closes it again. Always
    // false outside precise mode.
    bool RecogniseHeading(int addrCol);
    // The address column by which the first line is recognised as a heading: addrCol when it
    // is, else the first column named like an address by which it is; -1 when none.
    int HeadingAddressColumn(int addrCol);
    // The first line is a heading: it is never converted, counted or compared, and is saved as
    // read. Set before ConvertRecords; a newly loaded file has none.
    void SetHeading(bool heading) { FHeading = heading; }
    bool HasHeading() const { return FHeading && FLines.Count() > 0; }
    int HeadingCount() const { return HasHeading() ? 1 : 0; }
    // The heading's field of column col (Shift-JIS; a UTF-8 book's converted), or an empty
    // text when there is no heading or no such field: the column's name for the report.
    std::string ColumnName(int col) const;
    // The heading's fields, as split with the read delimiters (in the file's encoding).
    TFieldList HeadingFields() const;
    // The lines that are records: every line but the heading.
    int FirstRecord() const { return HeadingCount(); }
    int RecordCount() const { return FLines.Count() - FirstRecord(); }

    // --- the pass -------------------------------------------------------------------------
    // Counters to zero, FCurrent to 0; opens the dictionary when active (a failure raises and
    // leaves FActive as it was), else closes it. Drops any waiting record.
    void ResetConversion(bool active);
    // Converts from FCurrent on (never the heading) until a record waits or the pass ends.
    // Refused unless ResetConversion(true) prepared a pass over at least one line that has not
    // ended since. An empty line is a record with an empty address. A record lacking a chosen
    // column, or a failed search, raises and stops the pass at that record.
    TStepResult ConvertRecords();
    // OK on the waiting record with codeText (Shift-JIS), written as WriteBack says.
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
    // The line index of the record at hand (the heading, when there is one, is line 0).
    int Current() const { return FCurrent; }
    int ConvCount() const { return FConvCount; }
    int SkipCount() const { return FSkipCount; }
    int BlankCount() const { return FBlankCount; }
    // Of the codes written or confirmed: new ones, replaced ones (and of those, replaced codes
    // that the dictionary no longer holds), and present codes found right and kept.
    int NewCount() const { return FNewCount; }
    int ReplacedCount() const { return FReplacedCount; }
    int StaleCount() const { return FStaleCount; }
    int KeptCount() const { return FKeptCount; }
    // While a record waits in precise mode: why (empty in literal mode), in Shift-JIS.
    const std::string& WaitReason() const { return FWaitReasonText; }
    const char* WaitReasonKey() const { return match::ReasonKey(FWaitReason); }
    TAddressLevel Level() const { return FLevel; }
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
    // Writes codeText unless the record already holds that code; counts and reports it.
    void Settle(std::string_view codeText, const std::string& rule);
    void Report(TCodeOutcome outcome, const std::string& rule, int candidates);
    // The one office whose name and address the current record holds; true when written.
    bool MatchOffice(std::string_view address);
    // Precise matching of the current record; true when it was written, false when it waits.
    bool MatchPrecisely(const std::string& key, std::string_view address, bool matchable);
    // The record's present code as seven digits, or empty; read once per record.
    const std::string& PresentCode();
    // The record's postal-code field := codeText. A code in any written form (ReadWrittenCode)
    // is written as its seven digits, or in precise mode in the form of the record's present
    // code (the book's usual form when that is no code), the record left as read when its code
    // already is that one; any other text as its first seven bytes, never half a character.
    // False when the record was left as read.
    bool WriteBack(std::string_view codeText);
    // The present code (in the file's encoding) whose form most of the book's codes share;
    // none when no record holds a code.
    const std::optional<std::string>& BookCodeForm();
    void ShowCandidates(const std::string& key);
    TStepResult Advance();
    char WriteDelimiter() const;
    std::string DictionaryFile() const;
    // A field as the dictionary reads it: a UTF-8 book's converted to Shift-JIS.
    std::string InSjis(const std::string& field) const;
    // Whether the dictionary lists the address as written (or with ヶ/ケ exchanged).
    bool DictionaryMatches(const std::string& address);
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
    bool FPrecise = true;
    bool FHeading = false;
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
    TAddressLevel FLevel = TAddressLevel::TooShort;
    int FNewCount = 0;
    int FReplacedCount = 0;
    int FStaleCount = 0;
    int FKeptCount = 0;
    int FOfficeCol = -1;
    int FOfficeCodeCount = 0;
    std::unique_ptr<TOfficeDictionary> FOffices; // open while a pass with an office column runs

    TMatchMode FMatchMode = TMatchMode::Literal;
    std::shared_ptr<const match::TPreciseMatcher> FMatcher; // while a precise pass runs
    match::TPreciseAnswer FAnswer;
    match::TWaitReason FWaitReason = match::TWaitReason::None;
    std::string FWaitReasonText;
    std::string FBefore; // the waiting record's postal-code field as read
    std::string FPresent;
    bool FPresentRead = false;

    TPassState FState = TPassState::Idle;
    bool FReady = false; // ResetConversion(true) ran and the pass has not ended since
    std::string FWaitKey;
    std::string FWaitPostCode;
    std::string FWaitAddress;
    std::string FLookup;  // a UTF-8 record's address in Shift-JIS
    std::string FCleaned; // the same in UTF-8, made ready for it
    bool FBookFormKnown = false;
    std::optional<std::string> FBookForm;
    std::string FBackupProblem;
};

} // namespace kompa
