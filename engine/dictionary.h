#pragma once
// The two dictionary classes. TCodeAddress is keyed by the first three digits of the postal code
// ("VELDA.DIC"); TPostCode, derived from it, by the first double-byte character of the address
// ("KOMPA.DIC"). Both share one file layout (docs/dictionary-format.md), one build and one block
// machinery; a query reads exactly one block of the open file.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "file_io.h"
#include "light_strings.h"
#include "result_list.h"

namespace kompa {

#pragma pack(push, 1)
// One index entry, identical in memory and on disk (little-endian).
struct TIndexEntry {
    std::int32_t Size;   // length of the block in bytes
    std::int32_t Offset; // absolute position of the block's first byte
    std::uint16_t Key;   // block key shared by all records of the block
};
#pragma pack(pop)
static_assert(sizeof(TIndexEntry) == 10);

inline constexpr char kCodeMagic[] = "VELDAV20";
inline constexpr char kAddressMagic[] = "KOMPAV02";
inline constexpr char kCodeDictName[] = "VELDA.DIC";
inline constexpr char kAddressDictName[] = "KOMPA.DIC";

class TCodeAddress {
public:
    TCodeAddress();
    virtual ~TCodeAddress();
    TCodeAddress(const TCodeAddress&) = delete;
    TCodeAddress& operator=(const TCodeAddress&) = delete;

    // --- build ---------------------------------------------------------------------------
    // Key of a build string (placeholder byte, prefecture character, code, blank, address).
    virtual std::uint16_t RecordKey(std::string_view buildString) const;
    // Builds dictFileName from the ministry file; never touches the dictionary this object has
    // open. The target is replaced only once the whole image is ready and written.
    virtual void MakeDictionary(const std::string& sourceFileName, const std::string& dictFileName);
    std::unique_ptr<TLightStrings> ReadSource(const std::string& sourceFileName) const;
    // Lays the whole file out in image (sized once) and fills index in sorted order.
    void WriteDictionary(std::vector<TIndexEntry>& index, const TLightStrings& buildStrings,
                         std::string& image) const;
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
    std::string_view Magic() const { return {FMagic, sizeof FMagic}; }
    const std::string& SearchText() const { return FSearchText; }
    int IndexCount() const { return FIndexCount; }
    const TIndexEntry& IndexEntry(int i) const { return FIndex[static_cast<std::size_t>(i)]; }
    // Record texts of the block loaded last.
    const TLightStrings& Block() const;

protected:
    // The result line of a record text (code, blank, [prefecture name,] address).
    static std::string ResultLine(std::string_view recordText, bool withKen);
    // Adds the result line of a record to the list without building a string of its own.
    static void AddResultLine(TResultList& list, std::string_view recordText, bool withKen);

    char FMagic[8];
    std::string FSearchText;
    std::vector<TIndexEntry> FIndex;
    int FIndexCount = 0;
    io::ExclusiveFile FStream;
    // Filled from FBlockBytes only when Block() asks; the queries scan the bytes in place.
    mutable TLightStrings FBlock;

    // The last block as read: its whole records lie in FBlockBytes[0, FBlockUsed).
    std::string_view BlockBytes() const { return {FBlockBytes.data(), FBlockUsed}; }
    // Calls f with the text of every record of the last block, in file order.
    template <class F> void ForEachRecord(F&& f) const
    {
        // Offsets found when the block was loaded: the records are reached without walking
        // the length bytes again, one after the other.
        const char* bytes = FBlockBytes.data();
        for (std::uint32_t start : FRecordStarts) {
            std::size_t length = static_cast<unsigned char>(bytes[start]);
            f(std::string_view(bytes + start + 1, length - 1));
        }
    }

private:
    void ReadBlockBytes(const TIndexEntry& entry);

    std::vector<char> FBlockBytes; // reused between queries; only grows
    std::size_t FBlockUsed = 0;
    std::vector<std::uint32_t> FRecordStarts; // each record's length byte in FBlockBytes
    int FBlockCapacity = 0;                   // what FBlock's capacity is set to before its records
    mutable bool FBlockPending = false;       // FBlock not yet filled from FBlockBytes
};

class TPostCode : public TCodeAddress {
public:
    TPostCode();

    std::uint16_t RecordKey(std::string_view buildString) const override;
    bool MatchRecord(std::string_view recordText) const override;
    void Search(std::string_view text, TResultList& list, bool withKen) override;
    virtual void SearchAll(std::string_view text, TResultList& list, bool withKen);
    virtual std::string NormalizeAddress(std::string_view text) const;

    // Result code: 0 search form too short, 1 found, 2 found with ヶ/ケ exchanged, 3 nothing,
    // 5 found with the longest shared beginning.
    int SearchAddress(std::string_view address, TResultList& list, bool withKen);
};

} // namespace kompa
