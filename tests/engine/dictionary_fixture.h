#pragma once
// Dictionaries for the query tests: built with MakeDictionary from a few ministry lines written
// in the test, crafted byte by byte for damaged files, or copied from the bundled full data.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/dictionary_format.h"
#include "engine/io/errors.h"
#include "support/test_support.h"

namespace kompa::test {

using Lines = std::vector<std::string>;

// Expected result lines, written readably in UTF-8.
inline Lines SjisLines(std::initializer_list<const char*> utf8)
{
    Lines out;
    for (const char* line : utf8)
        out.push_back(Sjis(line));
    return out;
}

struct SourceRow {
    const char* code;
    const char* ken; // UTF-8
    const char* city;
    const char* town;
};

// One ministry line (15 fields, CR LF) in Shift-JIS.
inline std::string MinistryLine(const SourceRow& row)
{
    return Sjis(std::string("13101,\"100  \",\"") + row.code + "\",\"x\",\"x\",\"x\",\"" + row.ken +
                "\",\"" + row.city + "\",\"" + row.town + "\",0,0,0,0,0,0\r\n");
}

// Both dictionaries built from the rows, in a scratch directory.
class BuiltDictionaries {
public:
    explicit BuiltDictionaries(std::initializer_list<SourceRow> rows)
    {
        std::string source;
        for (const auto& row : rows)
            source += MinistryLine(row);
        WriteFile(dir.File("KEN_ALL.CSV"), source);
        test::BuildPair(dir.File("KEN_ALL.CSV"), dir.Path().string());
    }
    std::string AddressFile() const { return dir.File("KOMPA.DIC"); }
    std::string CodeFile() const { return dir.File("VELDA.DIC"); }

    TempDir dir;
};

// A private copy of the dictionaries of the bundled data (the program's own when the build made
// them, otherwise built here). Each test process needs its own: the files open without sharing.
class FullDictionaries {
public:
    FullDictionaries()
    {
        namespace fs = std::filesystem;
        fs::path bin(KOMPA_BIN_DIR);
        if (fs::exists(bin / "KOMPA.DIC") && fs::exists(bin / "VELDA.DIC")) {
            fs::copy_file(bin / "KOMPA.DIC", AddressFile());
            fs::copy_file(bin / "VELDA.DIC", CodeFile());
        } else {
            test::BuildPair(KOMPA_KEN_ALL, dir.Path().string());
        }
    }
    std::string AddressFile() const { return dir.File("KOMPA.DIC"); }
    std::string CodeFile() const { return dir.File("VELDA.DIC"); }

    TempDir dir;
};

// One record as stored: length byte, then the record text.
inline std::string StoredRecord(std::string_view recordText)
{
    return static_cast<char>(recordText.size() + 1) + std::string(recordText);
}

// A dictionary file laid out from blocks given as (key, bytes), offsets computed.
inline std::string DictionaryImage(std::string_view magic,
                                   const std::vector<std::pair<std::uint16_t, std::string>>& blocks)
{
    std::string header(magic);
    auto count = static_cast<std::int32_t>(blocks.size());
    header.append(reinterpret_cast<const char*>(&count), 4);
    std::string body;
    auto offset = static_cast<std::int32_t>(12 + 10 * blocks.size());
    for (const auto& [key, bytes] : blocks) {
        char entry[format::kEntrySize];
        format::PutLe32(entry + format::kEntrySizeField, static_cast<std::int32_t>(bytes.size()));
        format::PutLe32(entry + format::kEntryOffsetField, offset);
        format::PutLe16(entry + format::kEntryKeyField, key);
        header.append(entry, sizeof entry);
        offset += static_cast<std::int32_t>(bytes.size());
        body += bytes;
    }
    return header + body;
}

// Overwrites index entry i of a dictionary image.
inline void PatchEntry(std::string& image, int i, std::int32_t size, std::int32_t offset)
{
    std::memcpy(image.data() + 12 + 10 * i, &size, 4);
    std::memcpy(image.data() + 12 + 10 * i + 4, &offset, 4);
}

} // namespace kompa::test
