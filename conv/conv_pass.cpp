#include "conv_pass.h"

#include <sys/stat.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "book_save.h"
#include "column_names.h"
#include "engine/dictionary/find_query.h"
#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/text/cp932.h"

namespace kompa {

namespace {

constexpr std::size_t kCodeLength = 7; // text that is no code is written up to this many bytes

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
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

// Closes the dictionary again on every way out when it was opened only for a question.
class OpenedForAQuestion {
public:
    OpenedForAQuestion(TPostCode& postCode, const std::string& fileName) : postCode_(postCode)
    {
        if (!postCode_.IsOpen()) {
            postCode_.OpenDictionary(fileName);
            opened_ = true;
        }
    }
    ~OpenedForAQuestion()
    {
        if (opened_)
            postCode_.CloseDictionary();
    }
    OpenedForAQuestion(const OpenedForAQuestion&) = delete;
    OpenedForAQuestion& operator=(const OpenedForAQuestion&) = delete;

private:
    TPostCode& postCode_;
    bool opened_ = false;
};

} // namespace

TConversionPass::TConversionPass(TPostCode& postCode) : FPostCode(postCode) {}

void TConversionPass::SetCurrent(int index)
{
    FCurrent = index;
    // The progress counts records: the heading is none.
    if (index <= FLines.Count() && OnCurrent)
        OnCurrent(index - FirstRecord(), RecordCount());
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
    FHeading = false;
    FBookFormKnown = false;
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
    for (int i = FirstRecord(); i < FLines.Count(); ++i)
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

std::string TConversionPass::InSjis(const std::string& field) const
{
    // Codes and empty fields, by far the usual case, are the same bytes in both encodings.
    if (FLines.Format().encoding != TTextEncoding::Utf8 || IsAscii(field))
        return field;
    std::string sjis;
    if (!cp932::FromUtf8Fast(field, sjis))
        sjis = cp932::FromUtf8(field);
    return sjis;
}

std::string TConversionPass::DictionaryFile() const
{
    std::string dir = FDictDir;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir + kAddressDictName;
}

TFieldList TConversionPass::HeadingFields() const
{
    TFieldList fields;
    if (FLines.Count() > 0)
        SplitFields(fields, FLines.Get(0), FReadDelimiters);
    return fields;
}

std::string TConversionPass::ColumnName(int col) const
{
    if (!HasHeading())
        return {};
    const TFieldList fields = HeadingFields();
    return col >= 0 && col < fields.Count() ? InSjis(fields[col]) : std::string();
}

bool TConversionPass::DictionaryMatches(const std::string& address)
{
    const std::string key = FPostCode.NormalizeAddress(address);
    if (key.empty())
        return false;
    // Without a dictionary nothing matches; the pass itself then says why it cannot start.
    try {
        OpenedForAQuestion open(FPostCode, DictionaryFile());
        TTextResultList found;
        const TAddressLevel level = FPostCode.SearchAddress(key, found, false);
        // Found as written or with ヶ/ケ exchanged; a shortened key's guess is no match.
        return found.Count() > 0 &&
               (level == TAddressLevel::Found || level == TAddressLevel::FoundKeExchanged);
    } catch (const Exception&) {
        return false;
    }
}

bool TConversionPass::RecogniseHeading(int addrCol)
{
    if (!FPrecise || addrCol < 0)
        return false;
    const TFieldList fields = HeadingFields();
    if (addrCol >= fields.Count())
        return false;
    const std::string field = InSjis(fields[addrCol]);
    return ColumnNameOf(field) != TColumnName::None && !DictionaryMatches(field);
}

int TConversionPass::HeadingAddressColumn(int addrCol)
{
    if (RecogniseHeading(addrCol))
        return addrCol;
    if (!FPrecise)
        return -1;
    const TFieldList fields = HeadingFields();
    for (int col = 0; col < fields.Count(); ++col)
        if (col != addrCol && ColumnNameOf(InSjis(fields[col])) == TColumnName::Address &&
            RecogniseHeading(col))
            return col;
    return -1;
}

void TConversionPass::ResetConversion(bool active)
{
    DropWaitingRecord();
    SetCurrent(FirstRecord());
    FConvCount = 0;
    FSkipCount = 0;
    FBlankCount = 0;
    FNewCount = 0;
    FReplacedCount = 0;
    FStaleCount = 0;
    FKeptCount = 0;
    FOfficeCodeCount = 0;
    FMatcher.reset();
    FBookFormKnown = false;
    if (active) {
        FPostCode.OpenDictionary(DictionaryFile());
        if (FMatchMode == TMatchMode::Precise)
            FMatcher = match::PreciseMatcherFor(FPostCode);
        FOffices.reset();
        const std::string offices = io::DirectoryPart(DictionaryFile()) + kOfficeDictName;
        if (FMatcher && FOfficeCol >= 0 && io::FileExists(offices)) {
            FOffices = std::make_unique<TOfficeDictionary>();
            FOffices->OpenDictionary(offices);
            if (!FOffices->IsOpen())
                FOffices.reset();
        }
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

const std::optional<std::string>& TConversionPass::BookCodeForm()
{
    if (FBookFormKnown)
        return FBookForm;
    FBookFormKnown = true;
    FBookForm.reset();
    // Each form keyed by its text with every digit a zero of its width; the first form met
    // wins a tie.
    const bool utf8 = FLines.Format().encoding == TTextEncoding::Utf8;
    std::vector<std::string> forms;
    std::vector<int> counts;
    std::unordered_map<std::string, std::size_t> indexOf;
    std::string field;
    for (int i = FirstRecord(); i < FLines.Count(); ++i) {
        const std::string_view line = FLines.Get(i);
        if (line.empty() || !FieldAt(line, FPostCol, FReadDelimiters, field) ||
            !ReadWrittenCode(InSjis(field)))
            continue;
        const auto [it, added] =
            indexOf.emplace(RewriteDigits(field, "0000000", utf8), forms.size());
        if (added) {
            forms.push_back(field);
            counts.push_back(0);
        }
        ++counts[it->second];
    }
    if (!forms.empty())
        FBookForm = forms[static_cast<std::size_t>(std::max_element(counts.begin(), counts.end()) -
                                                   counts.begin())];
    return FBookForm;
}

bool TConversionPass::WriteBack(std::string_view codeText)
{
    const bool utf8 = FLines.Format().encoding == TTextEncoding::Utf8;
    std::string code;
    if (const std::optional<std::string> digits = ReadWrittenCode(codeText)) {
        code = *digits;
        if (FPrecise) {
            // The present field, in the file's encoding: its form is written as it stands.
            const std::string& present = FFields.Get(FPostCol);
            const std::optional<std::string> presentDigits = ReadWrittenCode(InSjis(present));
            if (presentDigits == digits)
                return false;
            const std::optional<std::string>& form = presentDigits ? present : BookCodeForm();
            if (form)
                code = RewriteDigits(*form, *digits, utf8);
        }
    } else {
        code.assign(CutOnWholeCharacter(codeText, kCodeLength));
        if (utf8 && !IsAscii(code))
            code = cp932::ToUtf8(code);
    }
    // Text the field already holds leaves the record as read.
    if (FPrecise && code == FFields.Get(FPostCol))
        return false;
    FFields.Put(FPostCol, std::move(code));
    JoinFields(FFields, WriteDelimiter(), FQuoteTargets, FJoined);
    FLines.Put(FCurrent, FJoined);
    return true;
}

const std::string& TConversionPass::LookupAddress(bool& matchable)
{
    const std::string& field = FFields.Get(FAddrCol);
    matchable = true;
    if (FLines.Format().encoding != TTextEncoding::Utf8)
        return field;
    // Precisely, what people's editors add (variation selectors, odd dashes) is read through.
    const std::string_view utf8 = FMatcher ? match::CleanUtf8(field, FCleaned) : field;
    if (!cp932::FromUtf8Fast(utf8, FLookup)) {
        matchable = false;
        FLookup = cp932::FromUtf8(utf8);
    }
    return FLookup;
}

const std::string& TConversionPass::PresentCode()
{
    if (FPresentRead)
        return FPresent;
    FPresentRead = true;
    FPresent.clear();
    const std::optional<std::string> digits = ReadWrittenCode(InSjis(FFields.Get(FPostCol)));
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
        const std::optional<std::string> digits = ReadWrittenCode(InSjis(FBefore));
        report.staleBefore =
            digits && digits->size() == 7 &&
            !FMatcher->Index().HasCode(static_cast<std::uint32_t>(std::stoul(*digits)));
    }
    OnRecord(report);
}

void TConversionPass::Settle(std::string_view codeText, const std::string& rule)
{
    const std::string present = PresentCode();
    // A code the user typed or left in 郵便番号 counts by its digits ("472-0013" is 4720013).
    const std::string code =
        ReadWrittenCode(codeText).value_or(std::string(codeText.substr(0, kCodeLength)));
    TCodeOutcome outcome = TCodeOutcome::Replaced;
    if (!present.empty() && present == code) {
        outcome = TCodeOutcome::Kept;
        // A right code stays as the user wrote it; the literal mode rewrites it as it always did.
        if (!FPrecise)
            WriteBack(codeText);
    } else {
        // OK with 郵便番号 empty on a record without a code leaves it without one.
        if (BlankAddress(FFields.Get(FPostCol)))
            outcome = BlankAddress(codeText) ? TCodeOutcome::Left : TCodeOutcome::New;
        WriteBack(codeText);
    }
    switch (outcome) {
    case TCodeOutcome::Left:
        break;
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

bool TConversionPass::MatchOffice(std::string_view address)
{
    if (FOfficeCol >= FFields.Count())
        return false;
    const std::string name = InSjis(FFields.Get(FOfficeCol));
    if (BlankAddress(name))
        return false;
    std::string_view code;
    for (const TOffice& office : FOffices->FindByName(name, TNameMatch::Equals)) {
        if (!match::TPreciseMatcher::IsAddressOf(address, static_cast<char>(office.ken),
                                                 office.city, office.town, office.street))
            continue;
        if (!code.empty() && code != office.code)
            return false; // two offices of that name at that address: the area's code
        code = office.code;
    }
    if (code.empty())
        return false;
    const std::string written(code);
    FCandidates.Clear();
    FCandidates.Add(written);
    Settle(written, "office");
    ++FOfficeCodeCount;
    SetCurrent(FCurrent + 1);
    ++FConvCount;
    return true;
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
        const std::string code = match::TPreciseMatcher::CodeText(FAnswer.code);
        FCandidates.Clear();
        FCandidates.Add(code);
        Settle(code, match::RuleKey(FAnswer.rule));
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
    FLevel = TAddressLevel::TooShort;
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
    if (FCurrent < FirstRecord())
        SetCurrent(FirstRecord());
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
            // Read only where the record has the column: one without it fails where the
            // column is needed, not here.
            FBefore = FPostCol < FFields.Count() ? FFields.Get(FPostCol) : std::string();
            bool matchable = true;
            const std::string& address = LookupAddress(matchable);
            const std::string key = FPostCode.NormalizeAddress(address);
            if (FMatcher) {
                // Precisely, only an address of blanks (or of a prefecture alone) is empty:
                // 東京都　千代田区 is an address.
                if (BlankAddress(address) ||
                    match::TPreciseMatcher::NamesOnlyAPrefecture(address)) {
                    ++FBlankCount;
                    Report(TCodeOutcome::Blank, "blank", 0);
                    SetCurrent(FCurrent + 1);
                    continue;
                }
                if (FOffices && matchable && MatchOffice(address))
                    continue;
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
                FLevel = TAddressLevel::TooShort;
                ShowCandidates(key);
                return TStepResult::Waiting;
            }
            FLevel = FPostCode.SearchAddress(key, FCandidates, FWithKen);
            // A shortened key's answer is a guess: it always asks.
            if (FCandidates.Count() == 1 && !FConfirm && FLevel != TAddressLevel::Shortened) {
                // A candidate line begins with its code.
                Settle(FCandidates.Line(0).substr(0, kCodeLength),
                       "level-" + std::to_string(LevelNumber(FLevel)));
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
                    : "level-" + std::to_string(LevelNumber(FLevel)),
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
