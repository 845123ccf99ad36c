// Arbitrary typed text through the search form, the prefecture removal and the address
// queries, against a small valid address dictionary built once at start.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/dictionary_build.h"
#include "engine/io/errors.h"
#include "engine/source/ken.h"
#include "engine/text/cp932.h"
#include "engine/text/sjis.h"

namespace {

using namespace kompa;

// Real rows of the ministry's data: code, prefecture, city, town.
constexpr char kRows[] = "1000000,東京都,千代田区,以下に掲載がない場合\n"
                         "1000001,東京都,千代田区,千代田\n"
                         "1000002,東京都,千代田区,皇居外苑\n"
                         "1000003,東京都,千代田区,一ツ橋\n"
                         "1000004,東京都,千代田区,大手町\n"
                         "1000005,東京都,千代田区,丸の内\n"
                         "3010000,茨城県,龍ケ崎市,以下に掲載がない場合\n"
                         "3010001,茨城県,龍ケ崎市,久保台\n"
                         "3010002,茨城県,龍ケ崎市,中根台\n"
                         "3502200,埼玉県,鶴ヶ島市,\n"
                         "3502201,埼玉県,鶴ヶ島市,富士見\n"
                         "3502202,埼玉県,鶴ヶ島市,五味ヶ谷\n"
                         "6020000,京都府,京都市上京区,以下に掲載がない場合\n"
                         "6020001,京都府,京都市上京区,竹園町\n"
                         "0140026,秋田県,大仙市,大曲丸の内町\n"
                         "9920052,山形県,米沢市,丸の内\n"
                         "2530000,神奈川県,茅ヶ崎市,以下に掲載がない場合\n"
                         "2530001,神奈川県,茅ヶ崎市,赤羽根\n"
                         "0600001,北海道,札幌市中央区,北一条西\n"
                         "9000001,沖縄県,那覇市,港町\n";

TPostCode& Dictionary()
{
    static TPostCode* dict = [] {
        std::string dir = "/tmp/kompa-fuzz-text-" + std::to_string(::getpid());
        std::filesystem::create_directories(dir);
        std::string source;
        std::string_view rows = kRows;
        while (!rows.empty()) {
            std::string_view row = rows.substr(0, rows.find('\n'));
            rows.remove_prefix(row.size() + 1);
            auto field = [&row] {
                std::string_view f = row.substr(0, row.find(','));
                row.remove_prefix(std::min(row.size(), f.size() + 1));
                return std::string(f);
            };
            std::string code = field(), ken = field(), city = field(), town = field();
            source += cp932::FromUtf8("0,0," + code + ",k,k,k," + ken + "," + city + "," + town +
                                      ",0,0,0,0,0,0\r\n");
        }
        std::FILE* f = std::fopen((dir + "/KEN_ALL.CSV").c_str(), "wb");
        std::fwrite(source.data(), 1, source.size(), f);
        std::fclose(f);
        auto* made = new TPostCode;
        MakeDictionaryFiles({ReadBuildSource(dir + "/KEN_ALL.CSV")}, dir);
        made->OpenDictionary(dir + "/KOMPA.DIC");
        std::filesystem::remove_all(dir); // the open file stays readable
        return made;
    }();
    return *dict;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TPostCode& dict = Dictionary();
    if (!dict.IsOpen())
        __builtin_trap();
    const std::string text(reinterpret_cast<const char*>(data), size);

    // The search form is whole double-byte characters only.
    std::string form = dict.NormalizeAddress(text);
    if (form.size() % 2 != 0)
        __builtin_trap();
    for (std::size_t i = 0; i < form.size(); i += 2) {
        if (!IsSjisLeadByte(static_cast<unsigned char>(form[i])))
            __builtin_trap();
    }
    std::string withoutKen = DeleteKen(text);
    if (withoutKen.size() > text.size())
        __builtin_trap();

    TStringResultList list;
    for (bool withKen : {false, true}) {
        const int level = LevelNumber(dict.SearchAddress(text, list, withKen));
        bool listed = list.Count() > 0;
        bool expectListed = level == 1 || level == 2 || level == 5;
        if (list.updateDepth != 0 || expectListed != listed || level == 4 || level < 0 || level > 5)
            __builtin_trap();
        if (level == 0 && !form.empty() && form.size() >= 2)
            __builtin_trap();
        dict.SearchAll(withoutKen, list, withKen);
        dict.Search(text, list, withKen);
        if (list.updateDepth != 0)
            __builtin_trap();
    }
    return 0;
}
