#include <gtest/gtest.h>

#include <zip.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/cp932.h"
#include "engine/dictionary.h"
#include "engine/messages.h"
#include "engine/source_text.h"
#include "engine/text_encoding.h"
#include "support/test_support.h"

namespace kompa {
namespace {

using test::MessageOf;
using test::ReadFile;
using test::Sjis;
using test::WriteFile;

TEST(TextEncoding, DetectionNeedsAWideCharacterOrAByteOrderMark)
{
    const std::pair<std::string, TTextEncoding> cases[] = {
        {"", TTextEncoding::ShiftJis},
        {"plain,ascii\r\n", TTextEncoding::ShiftJis},
        {Sjis("東京都,千代田区"), TTextEncoding::ShiftJis},
        // Half-width katakana ﾃｱ (C3 B1) happen to be valid UTF-8 for "ñ", below U+3000.
        {"\xC3\xB1,\xC3\xB1", TTextEncoding::ShiftJis},
        {"caf\xC3\xA9", TTextEncoding::ShiftJis},
        {"東京都,千代田区", TTextEncoding::Utf8},
        {"\xEF\xBB\xBF"
         "ascii",
         TTextEncoding::Utf8},
        // Valid but for one byte, or an overlong form or a surrogate: not UTF-8.
        {"東京都\x81", TTextEncoding::ShiftJis},
        {"東京\xC0\xAF", TTextEncoding::ShiftJis},
        {"東京\xE0\x80\xAF", TTextEncoding::ShiftJis},
        {"東京\xE3\x81", TTextEncoding::ShiftJis},
        {"東京\xED\xA0\x80", TTextEncoding::ShiftJis},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(DetectEncoding(bytes), expected) << bytes;

    const TFileFormat lf = DetectFileFormat("\xEF\xBB\xBF"
                                            "a\nb\n",
                                            TEncodingChoice::Auto);
    EXPECT_TRUE(lf.encoding == TTextEncoding::Utf8 && lf.bom && lf.lineEnd == TLineEnd::Lf);
    const TFileFormat forced = DetectFileFormat("\xEF\xBB\xBF"
                                                "a\r\n",
                                                TEncodingChoice::ShiftJis);
    EXPECT_TRUE(forced.encoding == TTextEncoding::ShiftJis && !forced.bom &&
                forced.lineEnd == TLineEnd::CrLf);
}

// Writes a ZIP archive holding the given files.
void WriteZip(const std::string& name,
              const std::vector<std::pair<std::string, std::string>>& files,
              zip_int32_t method = ZIP_CM_DEFLATE)
{
    int error = 0;
    zip_t* archive = zip_open(name.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [entry, bytes] : files) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, entry.c_str(), source, 0);
        ASSERT_GE(index, 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), method, 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

std::string Utf8Lf(const std::string& sjis)
{
    std::string text = cp932::ToUtf8(sjis);
    std::erase(text, '\r');
    return text;
}

class SourceFormats : public ::testing::Test {
protected:
    // Both dictionaries built from source into a directory of their own, as bytes.
    std::pair<std::string, std::string> Build(const std::string& source)
    {
        const std::string dictDir = source + ".d";
        std::filesystem::create_directory(dictDir);
        TPostCode().MakeDictionary(source, dictDir + "/KOMPA.DIC");
        TCodeAddress().MakeDictionary(source, dictDir + "/VELDA.DIC");
        return {ReadFile(dictDir + "/KOMPA.DIC"), ReadFile(dictDir + "/VELDA.DIC")};
    }
    test::TempDir dir;
};

TEST_F(SourceFormats, EveryFormOfASliceBuildsTheSameDictionaries)
{
    const std::string all = ReadFile(KOMPA_KEN_ALL);
    std::size_t cut = 0;
    for (int line = 0; line < 3000; ++line)
        cut = all.find('\n', cut) + 1;
    const std::string sjis = all.substr(0, cut);
    const std::string utf8 = cp932::ToUtf8(sjis);
    ASSERT_EQ(DetectEncoding(utf8), TTextEncoding::Utf8);

    WriteFile(dir.File("sjis.csv"), sjis);
    const auto expected = Build(dir.File("sjis.csv"));
    WriteFile(dir.File("utf8.csv"), utf8);
    WriteFile(dir.File("utf8lf.csv"), Utf8Lf(sjis));
    WriteFile(dir.File("bom.csv"), "\xEF\xBB\xBF" + Utf8Lf(sjis));
    WriteZip(dir.File("sjis.zip"), {{"KEN_ALL.CSV", sjis}});
    WriteZip(dir.File("utf8.zip"), {{"utf_ken_all.csv", utf8}});
    WriteZip(dir.File("utf8lf.zip"), {{"KEN_ALL.CSV", Utf8Lf(sjis)}});
    for (const char* name :
         {"utf8.csv", "utf8lf.csv", "bom.csv", "sjis.zip", "utf8.zip", "utf8lf.zip"})
        EXPECT_TRUE(Build(dir.File(name)) == expected) << name;
}

TEST_F(SourceFormats, TheWholeBundledFileZippedAsUtf8BuildsTheBundledDictionaries)
{
    WriteZip(dir.File("ken.zip"), {{"KEN_ALL.CSV", Utf8Lf(ReadFile(KOMPA_KEN_ALL))}}, ZIP_CM_STORE);
    const auto built = Build(dir.File("ken.zip"));
    EXPECT_TRUE(built.first == ReadFile(KOMPA_BIN_DIR "/KOMPA.DIC"));
    EXPECT_TRUE(built.second == ReadFile(KOMPA_BIN_DIR "/VELDA.DIC"));
}

TEST_F(SourceFormats, UndecodableSourcesFailAndReplaceNothing)
{
    const std::string line =
        "13101,\"100  \",\"1000001\",\"ｱ\",\"ｲ\",\"ｳ\",\"東京都\",\"千代田区\",\"";
    WriteFile(dir.File("KOMPA.DIC"), "old");
    auto failure = [&](const std::string& source) {
        return MessageOf([&] { TPostCode().MakeDictionary(source, dir.File("KOMPA.DIC")); });
    };

    WriteFile(dir.File("yoshi.csv"), line + "千代田\",0\n" + line + "𠮷\",0\n");
    EXPECT_EQ(failure(dir.File("yoshi.csv")), Sjis("2 行目の文字 U+20BB7 はShift-JISにありません"));

    WriteZip(dir.File("two.zip"), {{"a.csv", "x"}, {"b.csv", "y"}});
    EXPECT_EQ(failure(dir.File("two.zip")), msg::kZipNotOneFile);

    std::string zip = Sjis(line + "千代田\",0\r\n");
    for (int i = 0; i < 6; ++i)
        zip += zip;
    WriteZip(dir.File("good.zip"), {{"KEN_ALL.CSV", zip}});
    std::string damaged = ReadFile(dir.File("good.zip"));
    damaged[damaged.size() / 3] ^= 0x55;
    WriteFile(dir.File("damaged.zip"), damaged);
    EXPECT_EQ(failure(dir.File("damaged.zip")).rfind(Sjis("ZIP 書庫を読み込めません: "), 0), 0u);
    WriteFile(dir.File("cut.zip"), damaged.substr(0, damaged.size() / 2));
    EXPECT_EQ(failure(dir.File("cut.zip")).rfind(Sjis("ZIP 書庫を読み込めません: "), 0), 0u);

    EXPECT_EQ(ReadFile(dir.File("KOMPA.DIC")), "old");
}

} // namespace
} // namespace kompa
