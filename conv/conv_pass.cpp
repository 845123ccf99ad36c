#include "conv_pass.h"

#include "engine/file_io.h"

namespace kompa {

namespace {
constexpr std::size_t kCodeLength = 7; // a written postal code is at most this many bytes
}

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
    FLines.LoadFromFile(fileName);
    if (FLines.Count() == 0)
        return;
    FReadDelimiters = readDelimiters;
    FQuoteTargets = quoteTargets;
}

int TConversionPass::FirstFieldCountMismatch() const
{
    if (FLines.Count() == 0)
        return -1;
    TFieldList scratch;
    SplitFields(scratch, FLines.Get(0), FReadDelimiters);
    const int first = scratch.Count();
    for (int i = 1; i < FLines.Count(); ++i) {
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
                WriteBack(FCandidates.lines.front());
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

TSaveResult TConversionPass::SaveWithBackup()
{
    if (FState != TPassState::Finished)
        return TSaveResult::Refused;
    // Never replaces an existing backup: that may be the user's only earlier original.
    if (!io::RenameNoReplace(FCsvFileName, BackupFileName(FCsvFileName)))
        return TSaveResult::BackupFailed;
    FLines.SaveToFile(FCsvFileName);
    Discard();
    return TSaveResult::Saved;
}

TSaveResult TConversionPass::SaveWithoutBackup()
{
    if (FState != TPassState::Finished)
        return TSaveResult::Refused;
    // Through a temporary file: a failed write leaves the original whole.
    io::SaveFileReplacing(FCsvFileName, FLines.GetTextStr());
    Discard();
    return TSaveResult::Saved;
}

void TConversionPass::SaveTo(const std::string& fileName) const
{
    FLines.SaveToFile(fileName);
}

void TConversionPass::Discard()
{
    FLines.Clear();
    ResetConversion(false);
}

} // namespace kompa
