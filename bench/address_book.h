#pragma once
// A generated address book for measurements: real addresses from the bundled ministry file,
// typed the way people type them (with or without the prefecture, block numbers in ASCII or
// full-width digits, ヶ for ケ, a blank here and there), with a share of unknown towns and of
// blank addresses. Deterministic for a given seed. Shift-JIS lines without line ends.

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "conv/csv_fields.h"
#include "engine/io/file_io.h"
#include "engine/text/sjis.h"

namespace kompa::bench {

struct AddressRecord {
    std::string ken;  // prefecture name
    std::string city; // municipality
    std::string town; // town area, trimmed of notes; may be empty
};

// The addresses of the ministry file (fields 6, 7, 8).
inline std::vector<AddressRecord> ReadMinistryAddresses(const std::string& fileName)
{
    // Lines end at CR, an LF after it included.
    const std::string text = io::ReadWholeFile(fileName);
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t cr = std::min(text.find('\r', at), text.size());
        lines.push_back(std::string_view(text).substr(at, cr - at));
        at = cr + 1 < text.size() && text[cr + 1] == '\n' ? cr + 2 : cr + 1;
    }
    TCharSet comma;
    comma.Add(',');
    TFieldList fields;
    std::vector<AddressRecord> records;
    records.reserve(lines.size());
    // 以下に掲載がない場合 ("none of the below") and notes in full-width parentheses are
    // nothing anyone types.
    const std::string noneBelow = "\x88\xC8\x89\xBA\x82\xC9\x8C\x66\x8D\xDA\x82\xAA\x82\xC8"
                                  "\x82\xA2\x8F\xEA\x8D\x87";
    const std::string openParen = "\x81\x69"; // （
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SplitFields(fields, lines[i], comma);
        if (fields.Count() < 9)
            continue;
        std::string town = fields[8];
        if (town == noneBelow)
            town.clear();
        for (std::size_t at = 0; at + 1 < town.size();) {
            if (town.compare(at, 2, openParen) == 0) {
                town.resize(at);
                break;
            }
            const auto lead = static_cast<unsigned char>(town[at]);
            at += IsSjisLeadByte(lead) ? 2 : 1;
        }
        records.push_back({fields[6], fields[7], std::move(town)});
    }
    return records;
}

// count lines of "name,postal code,address,phone".
inline std::vector<std::string> MakeAddressBook(const std::vector<AddressRecord>& addresses,
                                                int count, std::uint32_t seed = 1208)
{
    std::mt19937 random(seed);
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    const char* const fullDigits[] = {"\x82\x4F", "\x82\x50", "\x82\x51", "\x82\x52",
                                      "\x82\x53", "\x82\x54", "\x82\x55", "\x82\x56",
                                      "\x82\x57", "\x82\x58"};        // ０ .. ９
    const std::string fullHyphen = "\x81\x7C";                        // －
    const std::string fullSpace = "\x81\x40";                         // 　
    const std::string names[] = {"\x8E\x52\x93\x63 \x91\xBE\x98\x59", // 山田 太郎
                                 "\x97\xE9\x96\xD8\x89\xD4\x8E\x71",  // 鈴木花子
                                 "\x8D\xB2\x93\xA1\x81\x40\x88\xEA"}; // 佐藤　一
    const std::string unknownTowns[] = {
        "\x90\x56\x8D\x73\x8A\x58", // 新行街
        "\x89\xA9\x8B\xE0\x91\xE4", // 黄金台
        "\x96\xBE\x93\xFA\x8D\x81", // 明日香 (as a town it rarely exists)
    };
    auto number = [&](bool fullWidth) {
        std::string text;
        for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) {
            if (!text.empty())
                text += fullWidth ? fullHyphen : "-";
            const unsigned value = 1 + random() % 20;
            for (char c : std::to_string(value))
                text += fullWidth ? std::string(fullDigits[c - '0']) : std::string(1, c);
        }
        return text;
    };

    std::vector<std::string> book;
    book.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const AddressRecord& a = addresses[random() % addresses.size()];
        std::string address;
        if (!chance(2)) {
            if (chance(50))
                address = a.ken + (chance(10) ? (chance(50) ? " " : fullSpace) : "");
            address += a.city;
            address += chance(8) ? unknownTowns[random() % 3] : a.town;
            // ケ typed as ヶ now and then.
            if (auto at = address.find("\x83\x50"); at != std::string::npos && chance(50))
                address[at + 1] = '\x96';
            if (chance(80))
                address += number(chance(50));
        }
        std::string line = names[random() % 3];
        if (line.find(' ') != std::string::npos)
            line = "\"" + line + "\"";
        line += chance(20) ? ",000-0000," : ",,";
        line += address;
        line += ",03-" + std::to_string(1000 + random() % 9000) + "-" +
                std::to_string(1000 + random() % 9000);
        book.push_back(std::move(line));
    }
    return book;
}

} // namespace kompa::bench
