#include "conv_pass.h"

#include <sys/stat.h>

#include <algorithm>

#include "book_save.h"
#include "engine/cp932.h"
#include "engine/file_io.h"

namespace kompa {

namespace {

constexpr std::size_t kCodeLength = 7; // a written postal code is at most this many bytes

// The first kCodeLength bytes of a Shift-JIS code text, as UTF-8. A double-byte character cut
// by the limit is dropped: UTF-8 has no half characters.
std::string CodeAsUtf8(std::string_view code)
{
    code = code.substr(0, kCodeLength);
    std::size_t whole = 0;
    while (whole < code.size()) {
        const auto lead = static_cast<unsigned char>(code[whole]);
        const std::size_t width =
            (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
        if (whole + width > code.size())
            break;
        whole += width;
    }
    code = code.substr(0, whole);
    // Digits, as almost always: the same bytes in both encodings.
    if (std::all_of(code.begin(), code.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(code);
    return cp932::ToUtf8(code);
}

} // namespace

TConversionPass::TConversionPass(TPostCode& postCode) : FPostCode(postCode) {}

void TConversionPass::SetCurrent(int index)
{
    FCurrent = index;
    if (index <= FLines.Count() && OnCurrent)
        OnCurrent(index, FLines.Count());
}

void TConversionPass::DropWaitingRecord()
{
    FState = TPassState::Idle;
    FReady = false;
    FFields.Clear();
    FCandidates.Clear();
    FWaitKey.clear();
    FWaitPostCode.clear();
    FWaitAddress.clear();
}

void TConversionPass::LoadFromFile(const std::string& fileName, const TCharSet& readDelimiters,
                                   const TCharSet& quoteTargets)
{
    DropWaitingRecord();
    FCsvFileName = fileName;
    FLines.Clear();
    FIdentity = {};
    FLines.SetBytes(io::ReadWholeFile(fileName, true, &FIdentity), FEncodingChoice, fileName);
    if (FLines.Count() == 0)
        return;
    FReadDelimiters = readDelimiters;
    FQuoteTargets = quoteTargets;
}

int TConversionPass::FieldCountReference() const
{
    for (int i = 0; i < FLines.Count(); ++i)
        if (!FLines.Get(i).empty())
            return i;
    return -1;
}

int TConversionPass::FirstFieldCountMismatch() const
{
    const int reference = FieldCountReference();
    if (reference < 0)
        return -1;
    const int first = CountFields(FLines.Get(reference), FReadDelimiters);
    for (int i = reference + 1; i < FLines.Count(); ++i) {
        const std::string_view line = FLines.Get(i);
        if (!line.empty() && CountFields(line, FReadDelimiters) != first)
            return i;
    }
    return -1;
}

bool TConversionPass::CheckFieldCounts() const
{
    return FirstFieldCountMismatch() < 0;
}

void TConversionPass::ResetConversion(bool active)
{
    DropWaitingRecord();
    SetCurrent(0);
    FConvCount = 0;
    FSkipCount = 0;
    FBlankCount = 0;
    if (active) {
        std::string dir = FDictDir;
        if (!dir.empty() && dir.back() != '/')
            dir += '/';
        FPostCode.OpenDictionary(dir + kAddressDictName);
    } else {
        FPostCode.CloseDictionary();
    }
    FActive = active;
    FReady = active;
}

char TConversionPass::WriteDelimiter() const
{
    return FWriteDelimiter ? FWriteDelimiter() : ',';
}

void TConversionPass::WriteBack(std::string_view codeText)
{
    if (FLines.Format().encoding == TTextEncoding::Utf8)
        FFields.Put(FPostCol, CodeAsUtf8(codeText));
    else
        FFields.Put(FPostCol, std::string(codeText.substr(0, kCodeLength)));
    JoinFields(FFields, WriteDelimiter(), FQuoteTargets, FJoined);
    FLines.Put(FCurrent, FJoined);
}

const std::string& TConversionPass::LookupAddress(bool& matchable)
{
    const std::string& field = FFields.Get(FAddrCol);
    matchable = true;
    if (FLines.Format().encoding != TTextEncoding::Utf8)
        return field;
    if (!cp932::FromUtf8Fast(field, FLookup)) {
        matchable = false;
        FLookup = cp932::FromUtf8(field);
    }
    return FLookup;
}

void TConversionPass::ShowCandidates(const std::string& key)
{
    FWaitKey = key;
    // The window shows both fields; a record lacking either stops the pass here.
    FWaitPostCode = FFields.Get(FPostCol);
    FWaitAddress = FFields.Get(FAddrCol);
    FState = TPassState::Waiting;
    if (OnWait)
        OnWait();
}

TStepResult TConversionPass::ConvertRecords()
{
    // No lines, no pass: a finished pass over nothing could only save an empty file.
    if (!FReady || FState == TPassState::Waiting || FLines.Count() == 0)
        return TStepResult::Refused;
    FState = TPassState::Running;
    try {
        while (FCurrent < FLines.Count()) {
            // An empty line has no field at all: a record whose address is empty.
            if (FLines.Get(FCurrent).empty()) {
                ++FBlankCount;
                SetCurrent(FCurrent + 1);
                continue;
            }
            SplitFields(FFields, FLines.Get(FCurrent), FReadDelimiters);
            bool matchable = true;
            const std::string key = FPostCode.NormalizeAddress(LookupAddress(matchable));
            if (key.empty()) {
                ++FBlankCount;
                SetCurrent(FCurrent + 1);
                continue;
            }
            if (!matchable) {
                // A character the dictionary cannot hold matches nothing; the record waits
                // (and stays as read unless the user answers it).
                FCandidates.Clear();
                FLevel = 0;
                ShowCandidates(key);
                return TStepResult::Waiting;
            }
            FLevel = FPostCode.SearchAddress(key, FCandidates, FWithKen);
            // Level 5 is a guess from a shortened key: it always asks.
            if (FCandidates.Count() == 1 && !FConfirm && FLevel <= 4) {
                WriteBack(FCandidates.Line(0));
                SetCurrent(FCurrent + 1);
                ++FConvCount;
                continue;
            }
            ShowCandidates(FCandidates.Count() == 0 ? key : FPostCode.SearchText());
            return TStepResult::Waiting;
        }
    } catch (...) {
        FState = TPassState::Stopped;
        FReady = false;
        throw;
    }
    FState = TPassState::Finished;
    FReady = false;
    return TStepResult::Finished;
}

TStepResult TConversionPass::Advance()
{
    FState = TPassState::Running;
    if (FCurrent < FLines.Count())
        return ConvertRecords();
    FState = TPassState::Finished;
    FReady = false;
    return TStepResult::Finished;
}

TStepResult TConversionPass::Ok(std::string_view codeText)
{
    if (FState != TPassState::Waiting)
        return TStepResult::Refused;
    WriteBack(codeText);
    SetCurrent(FCurrent + 1);
    ++FConvCount;
    return Advance();
}

TStepResult TConversionPass::Skip()
{
    if (FState != TPassState::Waiting)
        return TStepResult::Refused;
    SetCurrent(FCurrent + 1);
    ++FSkipCount;
    return Advance();
}

bool TConversionPass::Research(std::string_view keyText, TResultList& list)
{
    if (FState != TPassState::Waiting)
        return false;
    FPostCode.SearchAddress(keyText, list, FWithKen);
    return true;
}

bool TConversionPass::WordSearch(std::string_view keyText, TResultList& list)
{
    if (FState != TPassState::Waiting)
        return false;
    FPostCode.SearchAll(keyText, list, false);
    return true;
}

std::string TConversionPass::BackupFileName(const std::string& fileName)
{
    return BackupNameOf(fileName);
}

std::string TConversionPass::OutputBytes() const
{
    return FLines.GetTextStr();
}

TBytesWriter TConversionPass::Writer() const
{
    // In pieces: the whole output beside the lines would double what a save holds.
    return [this](int fd) { return FLines.WriteTo(fd); };
}

TSaveResult TConversionPass::SaveWithBackup()
{
    if (FState != TPassState::Finished)
        return TSaveResult::Refused;
    FBackupProblem.clear();
    if (SaveUserFileReplacing(FCsvFileName, Writer(), &FIdentity, true, &FBackupProblem) ==
        TReplaceResult::BackupFailed)
        return TSaveResult::BackupFailed;
    Discard();
    return TSaveResult::Saved;
}

TSaveResult TConversionPass::SaveWithoutBackup()
{
    if (FState != TPassState::Finished)
        return TSaveResult::Refused;
    SaveUserFileReplacing(FCsvFileName, Writer(), &FIdentity, false);
    Discard();
    return TSaveResult::Saved;
}

void TConversionPass::SaveTo(const std::string& fileName) const
{
    if (IsStreamFile(fileName))
        return WriteToStreamFile(fileName, Writer());
    // Naming the file read is allowed: it is then held to be unchanged like an in-place save.
    struct stat st {};
    const bool isFileRead = ::stat(fileName.c_str(), &st) == 0 &&
                            st.st_dev == static_cast<dev_t>(FIdentity.device) &&
                            st.st_ino == static_cast<ino_t>(FIdentity.inode);
    SaveUserFileReplacing(fileName, Writer(), isFileRead ? &FIdentity : nullptr, false);
}

void TConversionPass::Discard()
{
    FLines.Clear();
    ResetConversion(false);
}

} // namespace kompa
