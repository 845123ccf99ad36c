#include "conv_pass.h"

#include <sys/stat.h>

#include <algorithm>

#include "book_save.h"
#include "engine/cp932.h"
#include "engine/file_io.h"
#include "engine/find_query.h"

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

// Nothing but blanks: no address to look up.
bool BlankAddress(std::string_view address)
{
    for (std::size_t i = 0; i < address.size(); ++i) {
        const auto b = static_cast<unsigned char>(address[i]);
        if (b <= 0x20)
            continue;
        if (b == 0x81 && i + 1 < address.size() &&
            static_cast<unsigned char>(address[i + 1]) == 0x40) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

// Candidates listed for a waiting record at most: every floor of the tallest building fits.
constexpr std::size_t kMaxPreciseCandidates = 200;

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
    FWaitReason = match::TWaitReason::None;
    FWaitReasonText.clear();
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
    FLines.SetBytes(io::ReadWholeFile(fileName, true, &FIdentity), FEncodingChoice);
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
    FNewCount = 0;
    FReplacedCount = 0;
    FStaleCount = 0;
    FKeptCount = 0;
    FMatcher.reset();
    if (active) {
        std::string dir = FDictDir;
        if (!dir.empty() && dir.back() != '/')
            dir += '/';
        FPostCode.OpenDictionary(dir + kAddressDictName);
        if (FMatchMode == TMatchMode::Precise)
            FMatcher = match::PreciseMatcherFor(FPostCode);
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

const std::string& TConversionPass::PresentCode()
{
    if (FPresentRead)
        return FPresent;
    FPresentRead = true;
    FPresent.clear();
    std::string field = FFields.Get(FPostCol);
    if (FLines.Format().encoding == TTextEncoding::Utf8)
        field = cp932::FromUtf8(field);
    const std::optional<std::string> digits = TypedPostalCode(field);
    if (digits && digits->size() == 7)
        FPresent = *digits;
    return FPresent;
}

void TConversionPass::Report(TCodeOutcome outcome, const std::string& rule, int candidates)
{
    if (!OnRecord)
        return;
    TRecordReport report;
    report.line = FCurrent + 1;
    report.before = FBefore;
    report.after = outcome == TCodeOutcome::Blank ? FBefore : FFields.Get(FPostCol);
    report.outcome = outcome;
    report.rule = rule;
    report.candidates = candidates;
    if (outcome == TCodeOutcome::Replaced && FMatcher) {
        const std::optional<std::string> digits = TypedPostalCode(
            FLines.Format().encoding == TTextEncoding::Utf8 ? cp932::FromUtf8(FBefore) : FBefore);
        report.staleBefore =
            digits && digits->size() == 7 &&
            !FMatcher->Index().HasCode(static_cast<std::uint32_t>(std::stoul(*digits)));
    }
    OnRecord(report);
}

void TConversionPass::Settle(std::string_view codeText, const std::string& rule)
{
    const std::string present = PresentCode();
    const std::string code(codeText.substr(0, kCodeLength));
    TCodeOutcome outcome = TCodeOutcome::Replaced;
    if (!present.empty() && present == code) {
        outcome = TCodeOutcome::Kept;
        // A right code stays as the user wrote it; the literal mode rewrites it as it always did.
        if (FMatchMode == TMatchMode::Literal)
            WriteBack(codeText);
    } else {
        if (BlankAddress(FFields.Get(FPostCol)))
            outcome = TCodeOutcome::New;
        WriteBack(codeText);
    }
    switch (outcome) {
    case TCodeOutcome::Kept:
        ++FKeptCount;
        break;
    case TCodeOutcome::New:
        ++FNewCount;
        break;
    default:
        ++FReplacedCount;
        if (FMatcher && !present.empty() &&
            !FMatcher->Index().HasCode(static_cast<std::uint32_t>(std::stoul(present))))
            ++FStaleCount;
        break;
    }
    Report(outcome, rule, FCandidates.Count());
}

bool TConversionPass::MatchPrecisely(const std::string& key, std::string_view address,
                                     bool matchable)
{
    const std::string present = PresentCode();
    if (matchable) {
        FMatcher->Match(address, present, FAnswer);
    } else {
        FAnswer = {};
        FAnswer.reason = match::TWaitReason::Unconvertible;
    }
    if (FAnswer.decided && !FConfirm) {
        FCandidates.Clear();
        FCandidates.Add(match::TPreciseMatcher::CodeText(FAnswer.code));
        Settle(match::TPreciseMatcher::CodeText(FAnswer.code), match::RuleKey(FAnswer.rule));
        SetCurrent(FCurrent + 1);
        ++FConvCount;
        return true;
    }
    // The record waits: what precise matching could not tell apart first, best first, then
    // the address search's own candidates.
    FCandidates.Clear();
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < FAnswer.candidates.size() && k < kMaxPreciseCandidates; ++k) {
        lines.push_back(FMatcher->CandidateLine(FAnswer.candidates[k], FWithKen));
        FCandidates.Add(lines.back());
    }
    FLevel = 0;
    if (!key.empty()) {
        TTextResultList literal;
        FLevel = FPostCode.SearchAddress(key, literal, FWithKen);
        for (int k = 0; k < literal.Count(); ++k)
            if (std::find(lines.begin(), lines.end(), literal.Line(k)) == lines.end())
                FCandidates.Add(literal.Line(k));
    }
    FWaitReason = FAnswer.decided ? match::TWaitReason::None : FAnswer.reason;
    FWaitReasonText = match::ReasonText(FWaitReason);
    ShowCandidates(key.empty() || FCandidates.Count() == 0 ? key : FPostCode.SearchText());
    return false;
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
            FPresentRead = false;
            FBefore = FFields.Get(FPostCol);
            bool matchable = true;
            const std::string& address = LookupAddress(matchable);
            const std::string key = FPostCode.NormalizeAddress(address);
            if (FMatcher) {
                // Precisely, only an address of blanks is empty: 東京都　千代田区 is an address.
                if (BlankAddress(address)) {
                    ++FBlankCount;
                    Report(TCodeOutcome::Blank, "blank", 0);
                    SetCurrent(FCurrent + 1);
                    continue;
                }
                if (MatchPrecisely(key, address, matchable))
                    continue;
                return TStepResult::Waiting;
            }
            if (key.empty()) {
                ++FBlankCount;
                Report(TCodeOutcome::Blank, "blank", 0);
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
                Settle(FCandidates.Line(0), "level-" + std::to_string(FLevel));
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
    Settle(codeText, "user");
    SetCurrent(FCurrent + 1);
    ++FConvCount;
    return Advance();
}

TStepResult TConversionPass::Skip()
{
    if (FState != TPassState::Waiting)
        return TStepResult::Refused;
    Report(TCodeOutcome::Left,
           FMatcher ? std::string(match::ReasonKey(FWaitReason))
                    : "level-" + std::to_string(FLevel),
           FCandidates.Count());
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
    if (SaveUserFileReplacing(FCsvFileName, Writer(), &FIdentity, BackupFileName(FCsvFileName)) ==
        TReplaceResult::BackupFailed)
        return TSaveResult::BackupFailed;
    Discard();
    return TSaveResult::Saved;
}

TSaveResult TConversionPass::SaveWithoutBackup()
{
    if (FState != TPassState::Finished)
        return TSaveResult::Refused;
    SaveUserFileReplacing(FCsvFileName, Writer(), &FIdentity, {});
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
    SaveUserFileReplacing(fileName, Writer(), isFileRead ? &FIdentity : nullptr, {});
}

void TConversionPass::Discard()
{
    FLines.Clear();
    ResetConversion(false);
}

} // namespace kompa
