#pragma once
// The two dictionary classes. TCodeAddress is keyed by the first three digits of the postal code
// ("VELDA.DIC"); TPostCode, derived from it, by the first double-byte character of the address
// ("KOMPA.DIC"). Both share one file layout (dictionary_format.h), one build and one block
// machinery. A block is read from the file at its first query and kept while the dictionary is
// open; from its second query on, its records are searched in the order of their text.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary_format.h"
#include "engine/io/file_io.h"
#include "record_order.h"
#include "result_list.h"

namespace kompa {

// What the address search found. The numbers are those the command line and the conversion report
// print ("level-1"); 4 was never given.
enum class TAddressLevel {
    TooShort = 0,         // the search form is shorter than one character: nothing searched
    Found = 1,            // found as typed
    FoundKeExchanged = 2, // found with ヶ and ケ exchanged
    None = 3,             // nothing shares enough of a beginning with the text
    Shortened = 5,        // found with the longest beginning the text shares with a record
};

constexpr int LevelNumber(TAddressLevel level)
{
    return static_cast<int>(level);
}

inline constexpr char kCodeMagic[] = "VELDAV20";
inline constexpr char kAddressMagic[] = "KOMPAV02";
inline constexpr char kCodeDictName[] = "VELDA.DIC";
inline constexpr char kAddressDictName[] = "KOMPA.DIC";
// Beside the dictionaries: which files were built together (engine/io/file_set.h).
inline constexpr char kDictionarySetName[] = "KOMPA.SET";

class TCodeAddress {
public:
    TCodeAddress();
    virtual ~TCodeAddress();
    TCodeAddress(const TCodeAddress&) = delete;
    TCodeAddress& operator=(const TCodeAddress&) = delete;

    // --- build ---------------------------------------------------------------------------
    // Key of a build string (placeholder byte, prefecture character, code, blank, address).
    virtual std::uint16_t RecordKey(std::string_view buildString) const;
    static int CompareKeys(const TIndexEntry& a, const TIndexEntry& b);

    // --- reading and queries -------------------------------------------------------------
    virtual void OpenDictionary(const std::string& fileName);
    virtual void CloseDictionary();
    virtual int FindIndex(std::uint16_t key) const;
    virtual void LoadBlock(std::uint16_t key);
    virtual bool MatchRecord(std::string_view recordText) const;
    virtual void SearchBlock(std::uint16_t key, TResultList& list, bool withKen);
    virtual void Search(std::string_view text, TResultList& list, bool withKen);

    bool IsOpen() const { return FStream.IsOpen(); }
    // The name the open file was opened by (empty when none is open).
    const std::string& OpenFileName() const { return FOpenFileName; }
    // The open file's identity, to tell whether what was derived from it still holds.
    io::FileIdentity OpenFileIdentity() const { return FStream.Identity(); }
    std::string_view Magic() const { return {FMagic, sizeof FMagic}; }
    const std::string& SearchText() const { return FSearchText; }
    // Reads the open file once and calls f(recordText, fileOffset) for every record, block by
    // block in index order and in file order within a block; fileOffset is that of the
    // record's length byte. A damaged block ends at its first bad record. False when no file
    // is open or it cannot be read.
    bool ForEachRecordInFile(const std::function<void(std::string_view, std::uint32_t)>& f) const;
    // The text of the record whose length byte is at fileOffset; empty when there is none.
    std::string RecordTextAt(std::uint32_t fileOffset) const;
    // The result line of a record text (code, blank, [prefecture name,] address).
    static std::string ResultLine(std::string_view recordText, bool withKen);

protected:
    // Adds the result line of a record to the list without building a string of its own.
    static void AddResultLine(TResultList& list, std::string_view recordText, bool withKen);

    char FMagic[8];
    std::string FSearchText;
    std::vector<TIndexEntry> FIndex;
    int FIndexCount = 0;
    io::SharedFile FStream;
    std::string FOpenFileName;
    // Where the text the records are ordered by begins: after the prefecture character for
    // codes, at the address for addresses.
    std::size_t FOrderFrom = 1;

    // The last block as loaded: its whole records, each a length byte and its text.
    std::string_view BlockBytes() const { return {FCurrentBytes, FCurrentUsed}; }
    // Calls f with the text of every record of the last block, in file order.
    template <class F> void ForEachRecord(F&& f) const
    {
        for (std::size_t pos = 0; pos < FCurrentUsed;) {
            std::size_t length = static_cast<unsigned char>(FCurrentBytes[pos]);
            f(std::string_view(FCurrentBytes + pos + 1, length - 1));
            pos += length;
        }
    }
    std::string_view RecordAt(std::uint32_t start) const
    {
        return {FCurrentBytes + start + 1,
                static_cast<std::size_t>(static_cast<unsigned char>(FCurrentBytes[start])) - 1};
    }
    // The order of the last block's records, or null while the block is still walked: it is
    // built at the block's second query, so a single query costs no more than one walk.
    const RecordOrder* QueryOrder();
    // Lists the records whose ordered text begins with prefix, in file order. When none does
    // and reach is given, it receives the order's furthest reach for prefix.
    void ListOrdered(const RecordOrder& order, std::string_view prefix, TResultList& list,
                     bool withKen, int* reach = nullptr);

private:
    // A block read once and kept until the dictionary is closed.
    struct KeptBlock {
        std::unique_ptr<char[]> bytes;
        std::size_t used = 0; // whole records lie in bytes[0, used)
        int queries = 0;
        RecordOrder order;
    };

    void ReadBlockBytes(int position);
    void ForgetBlocks();

    std::vector<std::unique_ptr<KeptBlock>> FKept; // by index position
    long long FKeptBytes = 0;                      // never more than the file holds
    std::unique_ptr<char[]> FLooseBytes; // a block read but not kept: failed, or over the limit
    const char* FCurrentBytes = nullptr;
    std::size_t FCurrentUsed = 0;
    KeptBlock* FCurrentKept = nullptr;
    std::vector<std::uint32_t> FMatches; // reused between queries
};

class TPostCode : public TCodeAddress {
public:
    TPostCode();

    std::uint16_t RecordKey(std::string_view buildString) const override;
    bool MatchRecord(std::string_view recordText) const override;
    void Search(std::string_view text, TResultList& list, bool withKen) override;
    virtual void SearchAll(std::string_view text, TResultList& list, bool withKen);
    virtual std::string NormalizeAddress(std::string_view text) const;

    TAddressLevel SearchAddress(std::string_view address, TResultList& list, bool withKen);
};

} // namespace kompa
