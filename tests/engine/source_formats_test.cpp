#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/dictionary_build.h"
#include "engine/io/messages.h"
#include "engine/source/source_text.h"
#include "engine/text/cp932.h"
#include "engine/text/text_encoding.h"
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
    // Behind the mark the content decides: Shift-JIS stays Shift-JIS (its mark kept), a UTF-8
    // text with one damaged character stays UTF-8.
    const TFileFormat marked =
        DetectFileFormat("\xEF\xBB\xBF" + Sjis("東京都,千代田区\r\n"), TEncodingChoice::Auto);
    EXPECT_TRUE(marked.encoding == TTextEncoding::ShiftJis && marked.bom);
    const TFileFormat damaged =
        DetectFileFormat("\xEF\xBB\xBF東京都\x81,千代田区\r\n", TEncodingChoice::Auto);
    EXPECT_TRUE(damaged.encoding == TTextEncoding::Utf8 && damaged.bom);
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
        test::BuildPair(source, dictDir);
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
    // Every third line ended by LF alone: read line by line, not glued to the next.
    std::string mixed = sjis;
    for (std::size_t at = 0, line = 0; (at = mixed.find("\r\n", at)) != std::string::npos; ++line)
        line % 3 == 0 ? (void)mixed.erase(at, 1) : (void)(at += 2);
    WriteFile(dir.File("mixed.csv"), mixed);
    for (const char* name :
         {"utf8.csv", "utf8lf.csv", "bom.csv", "sjis.zip", "utf8.zip", "utf8lf.zip", "mixed.csv"})
        EXPECT_TRUE(Build(dir.File(name)) == expected) << name;
}

TEST_F(SourceFormats, TheWholeBundledFileZippedAsUtf8OrWithMixedLineEndsBuildsTheBundledPair)
{
    const std::string sjis = ReadFile(KOMPA_KEN_ALL);
    WriteZip(dir.File("ken.zip"), {{"KEN_ALL.CSV", Utf8Lf(sjis)}}, ZIP_CM_STORE);
    // Read in two halves straight from the file: the LF-only lines lie in both.
    std::string mixed = sjis;
    for (std::size_t at = 0, line = 0; (at = mixed.find("\r\n", at)) != std::string::npos; ++line)
        line % 7 == 0 ? (void)mixed.erase(at, 1) : (void)(at += 2);
    WriteFile(dir.File("mixed.csv"), mixed);
    for (const char* name : {"ken.zip", "mixed.csv"}) {
        test::BuildPair(dir.File(name), dir.Path().string());
        EXPECT_TRUE(ReadFile(dir.File("KOMPA.DIC")) == ReadFile(KOMPA_BIN_DIR "/KOMPA.DIC"))
            << name;
        EXPECT_TRUE(ReadFile(dir.File("VELDA.DIC")) == ReadFile(KOMPA_BIN_DIR "/VELDA.DIC"))
            << name;
    }

    // A damaged line deep in the second half is named by its number, however the file is read.
    std::size_t at = 0;
    for (int line = 1; line < 100000; ++line)
        at = sjis.find("\r\n", at) + 2;
    const std::size_t end = sjis.find("\r\n", at);
    WriteFile(dir.File("damaged.csv"), sjis.substr(0, at) + "x" + sjis.substr(end));
    // LF alone: decoded whole first, then halved.
    std::string lf = ReadFile(dir.File("damaged.csv"));
    std::erase(lf, '\r');
    WriteFile(dir.File("damaged-lf.csv"), lf);
    for (const char* name : {"damaged.csv", "damaged-lf.csv"}) {
        try {
            test::BuildPair(dir.File(name), dir.Path().string());
            ADD_FAILURE() << name << " built";
        } catch (const LineError& e) {
            EXPECT_EQ(e.Line(), 100000) << name;
        }
    }
}

TEST_F(SourceFormats, UndecodableSourcesFailAndReplaceNothing)
{
    const std::string line =
        "13101,\"100  \",\"1000001\",\"ｱ\",\"ｲ\",\"ｳ\",\"東京都\",\"千代田区\",\"";
    WriteFile(dir.File("KOMPA.DIC"), "old");
    auto failure = [&](const std::string& source) {
        return MessageOf([&] { test::BuildPair(source, dir.Path().string()); });
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

// The stated size fields of a one-file archive (local header and central directory) set to
// size, as a forged archive states them.
std::string WithStatedSize(std::string zip, std::uint32_t size)
{
    const auto put = [&](std::size_t at) {
        for (int i = 0; i < 4; ++i)
            zip[at + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    };
    put(22);
    put(zip.find("PK\x01\x02") + 24);
    return zip;
}

TEST_F(SourceFormats, WhatCannotBeASourceIsRefusedAtOnce)
{
    WriteFile(dir.File("KOMPA.DIC"), "old");
    auto failure = [&](const std::string& source) {
        return MessageOf([&] { test::BuildPair(source, dir.Path().string()); });
    };
    // Neither a FIFO (no writer: opening must not wait) nor a device of endless bytes.
    ASSERT_EQ(::mkfifo(dir.File("fifo.csv").c_str(), 0600), 0);
    EXPECT_EQ(failure(dir.File("fifo.csv")),
              FormatMessage(msg::kNotRegularFile, dir.File("fifo.csv")));
    EXPECT_EQ(failure("/dev/zero"), FormatMessage(msg::kNotRegularFile, "/dev/zero"));
    // Nor a file over 256 MB (sparse: it takes no disk).
    const std::string huge = dir.File("huge.csv");
    WriteFile(huge, "");
    ASSERT_EQ(::truncate(huge.c_str(), (256LL << 20) + 1), 0);
    EXPECT_EQ(failure(huge), FormatMessage(msg::kSourceTooLarge, huge));
    // A ZIP entry stated too large, or inflating to more or less than it states.
    const std::string text(100000, 'x');
    WriteZip(dir.File("zero.zip"), {{"KEN_ALL.CSV", text}});
    const std::string zip = ReadFile(dir.File("zero.zip"));
    WriteFile(dir.File("stated.zip"), WithStatedSize(zip, (256u << 20) + 1));
    EXPECT_EQ(failure(dir.File("stated.zip")),
              FormatMessage(msg::kZipMemberTooLarge, dir.File("stated.zip")));
    WriteFile(dir.File("more.zip"), WithStatedSize(zip, 1000));
    EXPECT_EQ(failure(dir.File("more.zip")),
              FormatMessage(msg::kZipSizeMismatch, dir.File("more.zip")));
    EXPECT_EQ(ReadFile(dir.File("KOMPA.DIC")), "old");
}

} // namespace
} // namespace kompa
