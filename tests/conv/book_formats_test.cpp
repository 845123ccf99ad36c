#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/address_book.h"
#include "conv/book_lines.h"
#include "conv/conv_pass.h"
#include "conv/csv_dialect.h"
#include "conv/unattended.h"
#include "engine/io/messages.h"
#include "engine/text/cp932.h"
#include "support/test_support.h"

namespace kompa {
namespace {

using test::ReadFile;
using test::WriteFile;

std::vector<std::string> LinesOf(const TBookLines& lines)
{
    std::vector<std::string> out;
    for (int i = 0; i < lines.Count(); ++i)
        out.emplace_back(lines[i]);
    return out;
}

TEST(BookLines, LineRulesFollowTheFileAndEditsComeBackInItsFormat)
{
    TBookLines lines;
    // Any CR: CR ends a line, a lone LF stays in its line (a spreadsheet's multi-line cell).
    lines.SetBytes("a\r\nb\nc\rd\r\n\r\ne\x1Akept\n", TEncodingChoice::Auto);
    EXPECT_EQ(LinesOf(lines), (std::vector<std::string>{"a", "b\nc", "d", "", "e"}));
    EXPECT_EQ(lines.GetTextStr(), "a\r\nb\nc\r\nd\r\n\r\ne\r\n\x1Akept\n");
    // No line end at all: CR LF, as before.
    lines.SetBytes("e", TEncodingChoice::Auto);
    EXPECT_EQ(lines.GetTextStr(), "e\r\n");
    // LF and no CR at all: LF ends a line; the byte-order mark is not part of the first line.
    lines.SetBytes("\xEF\xBB\xBF"
                   "x,y\n\nz",
                   TEncodingChoice::Auto);
    EXPECT_EQ(LinesOf(lines), (std::vector<std::string>{"x,y", "", "z"}));

    // Edits: a second edit of a line replaces the first, an edit back to the original undoes it.
    lines.Put(0, "x,1234567,y");
    lines.Put(2, "zz");
    lines.Put(2, "\"z\"");
    lines.Put(1, "new");
    lines.Put(1, "");
    EXPECT_EQ(LinesOf(lines), (std::vector<std::string>{"x,1234567,y", "", "\"z\""}));
    EXPECT_EQ(lines.GetTextStr(), "\xEF\xBB\xBF"
                                  "x,1234567,y\n\n\"z\"\n");
    EXPECT_THROW(lines.Get(3), Exception);
}

// Conversions of generated address books in every format, against the bundled dictionary.
class BookFormats : public ::testing::Test {
protected:
    BookFormats()
    {
        std::filesystem::copy_file(KOMPA_BIN_DIR "/KOMPA.DIC", dicts.File("KOMPA.DIC"));
    }
    // Converts bytes as kompa-cli convert does (columns 2 and 3) and gives the saved bytes.
    std::string Convert(const std::string& bytes, TFileFormat* format = nullptr)
    {
        WriteFile(dir.File("in.csv"), bytes);
        TPostCode postCode;
        TConversionPass pass(postCode);
        TCsvDialect dialect;
        pass.LoadFromFile(dir.File("in.csv"), dialect.GetReadDelimiters(),
                          dialect.GetQuoteTargets());
        pass.SetColumns(1, 2);
        pass.SetDictionaryDir(dicts.Path().string());
        pass.ResetConversion(true);
        RunUnattended(pass, [](const TSkippedRecord&) {});
        if (format)
            *format = pass.Format();
        pass.SaveTo(dir.File("out.csv"));
        return ReadFile(dir.File("out.csv"));
    }
    test::TempDir dicts;
    test::TempDir dir;
};

TEST_F(BookFormats, EveryEncodingAndLineEndConvertsAsTheShiftJisCrLfForm)
{
    const auto book = bench::MakeAddressBook(bench::ReadMinistryAddresses(KOMPA_KEN_ALL), 400);
    std::string sjis;
    for (const std::string& line : book)
        sjis += line + "\r\n";
    const std::string expected = Convert(sjis);
    ASSERT_NE(expected, sjis);

    // UTF-16 (a spreadsheet's "Unicode text") comes with its mark and goes back in it; a
    // Shift-JIS book may carry a UTF-8 mark by mistake, which is kept.
    enum Wide { kNarrow, kLittle, kBig };
    for (bool utf8 : {false, true})
        for (bool lf : {false, true})
            for (bool bom : {false, true})
                for (Wide wide : {kNarrow, kLittle, kBig}) {
                    if (wide != kNarrow && !(utf8 && bom))
                        continue;
                    std::string form = utf8 ? cp932::ToUtf8(sjis) : sjis;
                    if (lf)
                        std::erase(form, '\r');
                    std::string mark = "\xEF\xBB\xBF";
                    if (wide != kNarrow) {
                        mark = wide == kBig ? "\xFE\xFF" : "\xFF\xFE";
                        ASSERT_TRUE(cp932::Utf8ToUtf16(std::string(form), wide == kBig, form));
                    }
                    if (bom)
                        form = mark + form;
                    TFileFormat format;
                    std::string result = Convert(form, &format);
                    SCOPED_TRACE(testing::Message() << "utf8 " << utf8 << " lf " << lf << " bom "
                                                    << bom << " utf16 " << wide);
                    EXPECT_EQ(format.encoding == TTextEncoding::Utf8, utf8);
                    EXPECT_EQ(result.starts_with(mark), bom);
                    if (bom)
                        result.erase(0, mark.size());
                    if (wide != kNarrow) {
                        ASSERT_TRUE(cp932::Utf16ToUtf8(std::string(result), wide == kBig, result));
                    }
                    EXPECT_EQ(result.find('\r') == std::string::npos, lf);
                    if (utf8)
                        result = cp932::FromUtf8(result);
                    if (lf) {
                        std::string crlf;
                        for (char c : result)
                            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
                        result = crlf;
                    }
                    EXPECT_TRUE(result == expected);
                }

    // UTF-16 that does not decode is refused, naming the file and the line.
    std::string broken;
    ASSERT_TRUE(cp932::Utf8ToUtf16("a,,b\r\nc,,d\r\n", false, broken));
    broken = "\xFF\xFE" + broken + std::string("\x00\xD8\r\x00", 4); // a lone surrogate
    EXPECT_EQ(test::MessageOf([&] { Convert(broken); }),
              FormatMessage(FormatMessage(msg::kUtf16Invalid, dir.File("in.csv")), 3));
}

TEST_F(BookFormats, CharactersOutsideShiftJisKeepTheirBytes)
{
    const std::string book = "𠮷野家,,大阪府大阪市北区梅田,😀\n"
                             "吉,,大阪府大阪市北区梅田𠮷,〜\n"
                             "\"a〜b\",,大阪府大阪市北区梅田,\"x\"\"y\"\n";
    EXPECT_EQ(Convert(book), "𠮷野家,5300001,大阪府大阪市北区梅田,😀\n"
                             "吉,,大阪府大阪市北区梅田𠮷,〜\n"
                             "a〜b,5300001,大阪府大阪市北区梅田,\"x\"\"y\"\n");
}

} // namespace
} // namespace kompa
