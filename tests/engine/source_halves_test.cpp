// The build splits a large source in two halves on two threads: the build strings and the
// first failure must be those of one pass from the start.

#include <gtest/gtest.h>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/dictionary_build.h"
#include "engine/io/messages.h"
#include "engine/source/source_text.h"
#include "support/test_support.h"

namespace kompa {
namespace {

using test::MessageOf;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> BuildStringsOf(const std::string& file)
{
    const BuildStrings strings = BuildStrings::Read(file);
    std::vector<std::string> all;
    for (int i = 0; i < strings.Count(); ++i)
        all.emplace_back(strings[i]);
    return all;
}

// What one pass from the start gives: the decoded text up to a Ctrl-Z, in pieces too short to be
// halved, each cut after a line end.
std::vector<std::string> OnePassBuildStrings(const std::string& file)
{
    const std::string decoded = ReadSourceText(file);
    std::string_view text = std::string_view(decoded).substr(0, decoded.find('\x1A'));
    std::vector<std::string> all;
    while (!text.empty()) {
        std::size_t cut = std::min(text.size(), std::size_t{1} << 19);
        if (cut < text.size()) {
            cut = text.find_last_of("\r\n", cut - 1) + 1;
            if (text[cut - 1] == '\r' && cut < text.size() && text[cut] == '\n')
                ++cut;
        }
        const BuildStrings piece = BuildStrings::FromText(text.substr(0, cut));
        for (int i = 0; i < piece.Count(); ++i)
            all.emplace_back(piece[i]);
        text.remove_prefix(cut);
    }
    return all;
}

// Three lines in four are longer than the 255 bytes kept of it, so a line read from a wrong start
// keeps other bytes.
std::string Utf8Line(int i)
{
    return "13101,\"100  \",\"" + std::to_string(1000000 + i % 9000000) +
           "\",\"ﾄｳｷｮｳﾄ\",\"ﾁﾖﾀﾞｸ\",\"ｲｶ\",\"東京都\",\"千代田区\",\"丸の内" + std::to_string(i) +
           std::string(i % 4 == 0 ? 0 : 250, 'x') + "\",0,0,0,0,0,0";
}

std::string Line(int i)
{
    return Sjis(Utf8Line(i));
}

TEST(SourceHalves, GiveTheBuildStringsOfOnePass)
{
    // Wherever the middle falls (inside a line, on its CR, on the LF after it) and whichever
    // line end the file uses, the halves give what one pass gives.
    TempDir dir;
    for (const std::string end : {"\r\n", "\r"}) {
        std::string text;
        for (int i = 0; text.size() < (1u << 20) + 4096; ++i)
            text += Line(i) + end;
        // A first line longer by one byte each time moves the middle over a whole line; the
        // files whose middle falls near a line end are read.
        int near = 0;
        for (std::size_t shift = 0; shift < 2 * Line(1).size(); ++shift) {
            const std::string file =
                Sjis("1,2,1000001,4,5,6,東京都,港区,") + std::string(shift, 'x') + end + text;
            const std::size_t mid = file.size() / 2;
            if (file.find('\r', mid - 3) > mid + 1)
                continue;
            ++near;
            WriteFile(dir.File("s"), file);
            EXPECT_EQ(BuildStringsOf(dir.File("s")), OnePassBuildStrings(dir.File("s"))) << shift;
        }
        EXPECT_GE(near, 4);
    }
}

TEST(SourceHalves, OfADecodedSourceGiveTheBuildStringsOfOnePass)
{
    // Sources that are decoded first (UTF-8 with CR LF or LF line ends) or whose first line
    // cannot tell (plain ASCII) are halved in memory.
    TempDir dir;
    const std::string first = "1,2,1000001,4,5,6,東京都,港区,x";
    std::string crlf = first + "\r\n";
    std::string lf = first + "\n";
    std::string ascii = "1,2,1000001,4,5,6,x,y,z\r\n";
    for (int i = 0; lf.size() < (1u << 20) + 4096; ++i) {
        crlf += Utf8Line(i) + "\r\n";
        lf += Utf8Line(i) + "\n";
        ascii += Line(i) + "\r\n";
    }
    for (const std::string& text : {crlf, lf}) {
        WriteFile(dir.File("s"), text);
        const std::vector<std::string> halves = BuildStringsOf(dir.File("s"));
        EXPECT_EQ(halves, OnePassBuildStrings(dir.File("s")));
    }
    WriteFile(dir.File("s"), ascii);
    EXPECT_EQ(MessageOf([&] { BuildStringsOf(dir.File("s")); }), msg::kKenNotFound);
}

TEST(SourceHalves, ReportTheFirstFailureAndNothingAfterCtrlZ)
{
    TempDir dir;
    std::string first;
    for (int i = 0; first.size() < (1u << 20); ++i)
        first += Line(i) + "\r\n";
    const std::string second = first;
    const std::string badKen = Sjis("1,2,1000001,4,5,6,東京,千代田区,x\r\n");
    const std::string tooShort = Sjis("1,2,3\r\n");
    auto read = [&](const std::string& text) {
        WriteFile(dir.File("s"), text);
        return MessageOf([&] { BuildStrings::Read(dir.File("s")); });
    };
    EXPECT_EQ(read(first + second + tooShort), msg::kListIndexOutOfBounds);
    EXPECT_EQ(read(badKen + first + second + tooShort), msg::kKenNotFound);
    // The input ends at a Ctrl-Z in the first half: the second half is never looked at.
    const std::size_t quarter = first.find("\r\n", first.size() / 2) + 2;
    WriteFile(dir.File("s"),
              first.substr(0, quarter) + "\x1A" + first.substr(quarter) + second + tooShort);
    EXPECT_EQ(BuildStrings::Read(dir.File("s")).Count(), OnePassBuildStrings(dir.File("s")).size());
}

} // namespace
} // namespace kompa
