#include <gtest/gtest.h>

#include <sstream>

#include "engine/dictionary/light_strings.h"
#include "engine/io/errors.h"
#include "engine/io/messages.h"
#include "support/test_support.h"

namespace kompa {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> Entries(const TLightStrings& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list[i]);
    return out;
}

template <typename F> void ExpectListError(F&& f)
{
    try {
        f();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), msg::kListIndexError);
    }
}

TEST(LightStrings, RangeFailuresRaiseTheListMessageAndChangeNothing)
{
    TLightStrings list;
    list.Add("a");
    list.Add("b");
    ExpectListError([&] { list.Get(2); });
    ExpectListError([&] { list.Get(-1); });
    ExpectListError([&] { list.Put(2, "x"); });
    ExpectListError([&] { list.Put(-1, "x"); });
    ExpectListError([&] { list.SetCapacity(1); });
    ExpectListError([&] { list.SetCapacity(TLightStrings::kMaxListSize + 1); });
    ExpectListError([&] { list.SetCount(-1); });
    ExpectListError([&] { list.SetCount(TLightStrings::kMaxListSize + 1); });
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(list.Capacity(), 32);
}

TEST(LightStrings, LargestCapacityIsAcceptedWithoutCommittingStorage)
{
    TLightStrings list;
    list.SetCapacity(TLightStrings::kMaxListSize);
    EXPECT_EQ(list.Capacity(), TLightStrings::kMaxListSize);
    EXPECT_EQ(list.Add("x"), 0);
    EXPECT_EQ(list.Capacity(), TLightStrings::kMaxListSize);
}

TEST(LightStrings, AddGrowsTheReportedCapacity32AtATime)
{
    TLightStrings list;
    EXPECT_EQ(list.Capacity(), 0);
    for (int i = 0; i < 33; ++i) {
        EXPECT_EQ(list.Add(std::to_string(i)), i);
        EXPECT_EQ(list.Capacity(), i < 32 ? 32 : 64);
    }
    EXPECT_EQ(list.Count(), 33);
    EXPECT_EQ(list[32], "32");
}

TEST(LightStrings, ClearAndCountChanges)
{
    TLightStrings list;
    list.Clear(); // a new list: nothing to do
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);

    list.SetCount(5);
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Capacity(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list[i], "");
    list.Put(3, "three");
    list.SetCount(2);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Capacity(), 5);
    // A slot cut off and regained comes back empty.
    list.SetCount(4);
    EXPECT_EQ(list[3], "");

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
}

TEST(LightStrings, IndexOfIsCaseSensitiveAndFindsTheFirst)
{
    TLightStrings list;
    list.Add("abc");
    list.Add("ABC");
    list.Add("abc");
    EXPECT_EQ(list.IndexOf("ABC"), 1);
    EXPECT_EQ(list.IndexOf("abc"), 0);
    EXPECT_EQ(list.IndexOf("ab"), -1);
}

TEST(LightStrings, TextSplitsAtCrLfCrOrLf)
{
    TLightStrings list;
    list.SetTextStr("a\r\nb");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(list.Capacity(), 2);
    list.SetTextStr("a\n\rb");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "", "b"}));
    list.SetTextStr("a\rb\nc\r\n");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "b", "c"}));
    list.SetTextStr("\r\n");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{""}));
    list.SetTextStr("");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);

    list.SetTextStr("a\r\nb");
    EXPECT_EQ(list.GetTextStr(), "a\r\nb\r\n");
    list.Clear();
    EXPECT_EQ(list.GetTextStr(), "");
}

TEST(LightStrings, CommaTextReadsQuotedAndPlainFields)
{
    TLightStrings list;
    list.SetCommaText("\"a\"\"b\",c d");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a\"b", "c d"}));
    EXPECT_EQ(list.GetCommaText(), "\"a\"\"b\",\"c d\"");

    list.SetCommaText("a,");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", ""}));
    list.SetCommaText(",");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"", ""}));
    list.SetCommaText("\"x,y\",z");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"x,y", "z"}));
    list.SetCommaText("\"x\"junk,z"); // bytes after the closing quote are dropped
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"x", "z"}));
    list.SetCommaText("\"never closed");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{""}));
    list.SetCommaText("\"\"");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{""}));
    list.SetCommaText("\"\"\"\"");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"\""}));
    list.SetCommaText(" a "); // plain fields keep their blanks
    EXPECT_EQ(Entries(list), (std::vector<std::string>{" a "}));
    list.SetCommaText("");
    EXPECT_EQ(list.Count(), 0);
}

TEST(LightStrings, CommaTextRoundTrips)
{
    const std::vector<std::vector<std::string>> cases = {
        {"plain", "with space", "tab\there", "q\"uote", "com,ma", "", "\x01"},
        {"", ""},
        {"last empty", ""},
        {"\"\"", "\"", "a\"\"b"},
        {test::Sjis("東京都"), test::Sjis("千代田区 丸の内")},
    };
    for (const auto& entries : cases) {
        TLightStrings list;
        for (const auto& e : entries)
            list.Add(e);
        TLightStrings back;
        back.SetCommaText(list.GetCommaText());
        EXPECT_EQ(Entries(back), entries) << list.GetCommaText();
    }
    // The one loss: a single empty entry comes back as no entry.
    TLightStrings single;
    single.Add("");
    EXPECT_EQ(single.GetCommaText(), "");
}

TEST(LightStrings, LoadFromFileFollowsTheTextFileLineRules)
{
    TempDir dir;
    TLightStrings list;
    const std::string name = dir.File("t.txt");

    WriteFile(name, "a\nb\nc\n"); // lone LF is an ordinary byte
    list.LoadFromFile(name);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a\nb\nc\n"}));

    WriteFile(name, "a\r\nb\rc\r\n\r\nd");
    list.LoadFromFile(name);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "b", "c", "", "d"}));
    EXPECT_EQ(list.Capacity(), 5);

    WriteFile(name, "a\r\nb\x1A\r\nc\r\n"); // Ctrl-Z ends the data
    list.LoadFromFile(name);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "b"}));

    WriteFile(name, "\x1A"
                    "a\r\n");
    list.LoadFromFile(name);
    EXPECT_EQ(list.Count(), 0);

    WriteFile(name, "a\r\r\n\n"); // CR, then CR LF, then a line holding LF
    list.LoadFromFile(name);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "", "\n"}));
}

TEST(LightStrings, LoadFromMissingFileRaisesAndLeavesTheListEmpty)
{
    TempDir dir;
    TLightStrings list;
    list.Add("old");
    try {
        list.LoadFromFile(dir.File("missing.txt"));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), msg::kIoFileNotFound);
    }
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
}

TEST(LightStrings, SaveToFileWritesCrLfAfterEveryEntry)
{
    TempDir dir;
    TLightStrings list;
    list.SaveToFile(dir.File("empty.txt"));
    EXPECT_EQ(ReadFile(dir.File("empty.txt")), "");

    std::string big(20000, 'x'); // larger than the write buffer
    list.Add("a");
    list.Add(big);
    list.Add("");
    list.SaveToFile(dir.File("out.txt"));
    EXPECT_EQ(ReadFile(dir.File("out.txt")), "a\r\n" + big + "\r\n\r\n");

    TLightStrings back;
    back.LoadFromFile(dir.File("out.txt"));
    EXPECT_EQ(Entries(back), Entries(list));
}

TEST(LightStrings, StreamsCarryTheText)
{
    TLightStrings list;
    list.Add("x");
    list.Add("y");
    std::stringstream stream;
    stream << "skip";
    list.SaveToStream(stream);
    stream.seekg(4);
    TLightStrings back;
    back.LoadFromStream(stream);
    EXPECT_EQ(Entries(back), (std::vector<std::string>{"x", "y"}));
}

TEST(LightStrings, TwoMillionShortLinesLoadAndTrimTheCapacity)
{
    TempDir dir;
    std::string text;
    for (int i = 0; i < 2000000; ++i)
        text += "line\r\n";
    WriteFile(dir.File("big.txt"), text);
    TLightStrings list;
    // A fill that reallocated 32 slots at a time would take minutes here.
    list.LoadFromFile(dir.File("big.txt"));
    EXPECT_EQ(list.Count(), 2000000);
    EXPECT_EQ(list.Capacity(), 2000000);
    EXPECT_EQ(list[1999999], "line");
}

} // namespace
} // namespace kompa
