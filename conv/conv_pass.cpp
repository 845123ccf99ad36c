#include "conv_pass.h"

#include <sys/stat.h>

#include "book_save.h"
#include "engine/file_io.h"

namespace kompa {

namespace {
constexpr std::size_t kCodeLength = 7; // a written postal code is at most this many bytes
constexpr std::size_t kReadBuffer = 65536;
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
    FTail.clear();
    FIdentity = {};
    io::TextFileReader reader(fileName, kReadBuffer, true);
    FIdentity = reader.Identity();
    FLines.LoadFromReader(reader);
    FTail = reader.ReadRest();
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
    TFieldList scratch;
    SplitFields(scratch, FLines.Get(reference), FReadDelimiters);
    const int first = scratch.Count();
    for (int i = reference + 1; i < FLines.Count(); ++i) {
        if (FLines.Get(i).empty())
            continue;
        SplitFields(scratch, FLines.Get(i), FReadDelimiters);
        if (scratch.Count() != first)
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
    FFields.Put(FPostCol, std::string(codeText.substr(0, kCodeLength)));
    FLines.Put(FCurrent, JoinFields(FFields, WriteDelimiter(), FQuoteTargets));
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
            const std::string key = FPostCode.NormalizeAddress(FFields.Get(FAddrCol));
            if (key.empty()) {
                ++FBlankCount;
                SetCurrent(FCurrent + 1);
                continue;
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
    // Neither '/' nor '.' can be a trail byte of a double-byte character (Shift-JIS or UTF-8),
    // so a byte scan finds them safely.
    const std::size_t nameStart = io::DirectoryPart(fileName).size();
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return fileName + ".bak";
    return fileName.substr(0, dot) + ".bak";
}

std::string TConversionPass::OutputBytes() const
{
    return FLines.GetTextStr() + FTail;
}

TSaveResult TConversionPass::SaveWithBackup()
{
    if (FState != TPassState::Finished)
        return TSaveResult::Refused;
    if (SaveUserFileReplacing(FCsvFileName, OutputBytes(), &FIdentity,
                              BackupFileName(FCsvFileName)) == TReplaceResult::BackupFailed)
        return TSaveResult::BackupFailed;
    Discard();
    return TSaveResult::Saved;
}

TSaveResult TConversionPass::SaveWithoutBackup()
{
    if (FState != TPassState::Finished)
        return TSaveResult::Refused;
    SaveUserFileReplacing(FCsvFileName, OutputBytes(), &FIdentity, {});
    Discard();
    return TSaveResult::Saved;
}

void TConversionPass::SaveTo(const std::string& fileName) const
{
    if (IsStreamFile(fileName))
        return WriteToStreamFile(fileName, OutputBytes());
    // Naming the file read is allowed: it is then held to be unchanged like an in-place save.
    struct stat st {};
    const bool isFileRead = ::stat(fileName.c_str(), &st) == 0 &&
                            st.st_dev == static_cast<dev_t>(FIdentity.device) &&
                            st.st_ino == static_cast<ino_t>(FIdentity.inode);
    SaveUserFileReplacing(fileName, OutputBytes(), isFileRead ? &FIdentity : nullptr, {});
}

void TConversionPass::Discard()
{
    FLines.Clear();
    FTail.clear();
    ResetConversion(false);
}

} // namespace kompa
