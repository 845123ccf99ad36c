#pragma once
// The business-office dictionary ("OFFICE.DIC", docs/office-dictionary-format.md): the offices and
// post-office boxes that have postal codes of their own. Records are grouped in blocks by the
// first three digits of the code, as in VELDA.DIC, and followed by the folded form of every
// office's name, side by side, for the name search. Optional beside the pair: a closed office
// dictionary answers no code query with a line and fails only the name search.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary.h"
#include "engine/io/file_io.h"
#include "result_list.h"

namespace kompa {

inline constexpr char kOfficeMagic[] = "OFFICEV1";
inline constexpr char kOfficeDictName[] = "OFFICE.DIC";

namespace office_format {
inline constexpr std::size_t kOfficeCountOffset = 12; // int32: number of offices
inline constexpr std::size_t kNamesOffsetField = 16;  // int32: where the name list starts
inline constexpr std::size_t kNamesSizeField = 20;    // int32: its length
inline constexpr std::size_t kHeaderSize = 24;
// A record: its length (uint16), code (7), kind, prefecture character, four lengths, the texts.
inline constexpr std::size_t kRecordCode = 2;
inline constexpr std::size_t kRecordKind = 9;
inline constexpr std::size_t kRecordKen = 10;
inline constexpr std::size_t kRecordLengths = 11;
inline constexpr std::size_t kRecordTexts = 15;
inline constexpr char kNameEnd = '\n';
} // namespace office_format

enum class TOfficeKind { Office, PostOfficeBox };

// What an office's result line carries between its code and its name.
inline constexpr std::string_view kOfficeMark =
    "\x81\x6D\x8E\x96\x8B\xC6\x8F\x8A\x81\x6E"; // ［事業所］
inline constexpr std::string_view kBoxMark =
    "\x81\x6D\x8E\x84\x8F\x91\x94\xA0\x81\x6E"; // ［私書箱］

// One office as the dictionary holds it. The texts point into the dictionary's loaded bytes and
// stay valid until it is closed.
struct TOffice {
    std::string_view code; // seven digits
    TOfficeKind kind;
    unsigned char ken; // prefecture character, 0x30 to 0x5E
    std::string_view name, city, town, street;
};

enum class TNameMatch { Holds, Equals };

class TOfficeDictionary {
public:
    TOfficeDictionary() = default;
    ~TOfficeDictionary() = default;
    TOfficeDictionary(const TOfficeDictionary&) = delete;
    TOfficeDictionary& operator=(const TOfficeDictionary&) = delete;

    // As the pair opens: a file that cannot be opened raises "ﾌｧｲﾙ %s は開けません"; one that is
    // no office dictionary (magic, header or index wrong) leaves it closed without a word.
    void OpenDictionary(const std::string& fileName);
    void CloseDictionary();
    bool IsOpen() const { return FStream.IsOpen(); }
    int OfficeCount() const { return FOfficeCount; }

    // Appends the lines of the offices whose code matches text as a code query matches: the
    // block of its first three characters as a number, then its first seven characters against
    // the code. Nothing when closed. A damaged block raises "事業所辞書が壊れています".
    void AddCodeLines(std::string_view text, TResultList& list, bool withKen);
    // Empties list and lists the offices whose folded name holds the folded text, in dictionary
    // order; a text that folds to nothing lists none. Raises "辞書が設定されていません" when
    // closed.
    void SearchName(std::string_view text, TResultList& list, bool withKen);
    // The same lines, appended to what list holds.
    void AddNameLines(std::string_view text, TResultList& list, bool withKen);
    // The offices whose folded name holds, or equals, the folded name, in dictionary order.
    std::vector<TOffice> FindByName(std::string_view name, TNameMatch match);

    // Code, blank, "［事業所］" or "［私書箱］", name, blank, [prefecture,] city, town, street.
    static void AppendOfficeLine(std::string& line, const TOffice& office, bool withKen);

private:
    // A block as a code query reads it: its records, and each record's code and start side by
    // side, so a query compares a dense run of codes instead of walking the records.
    struct Block {
        std::unique_ptr<char[]> owned; // the bytes, unless they lie in FRecords
        std::string_view bytes;
        std::vector<std::uint64_t> codes; // the seven code bytes, little-endian, top byte 0
        std::vector<std::uint32_t> starts;
        bool ready = false;
    };
    const Block& BlockAt(int position);
    std::string_view ReadChecked(long long offset, std::size_t size);
    void LoadEverything();
    template <class F> void ForEachNameHit(std::string_view folded, TNameMatch match, F&& f);

    io::SharedFile FStream;
    std::vector<TIndexEntry> FIndex;
    int FOfficeCount = 0;
    long long FNamesOffset = 0;
    std::size_t FNamesSize = 0;
    std::vector<Block> FBlocks; // by index position, read at their first query
    // Loaded at the first name search: every record, where each starts, and the name list.
    std::string FRecords;
    std::vector<std::uint32_t> FRecordStarts;
    std::string FNames;
    std::vector<std::uint32_t> FNameStarts; // one more than the offices: the end
    bool FEverything = false;
};

// The office of a record (record bytes as stored, length included), without checking it.
TOffice OfficeOfRecord(std::string_view record);

} // namespace kompa
