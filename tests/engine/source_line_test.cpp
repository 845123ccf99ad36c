#include <gtest/gtest.h>

#include <random>

#include "engine/source/source_line.h"

namespace kompa {
namespace {

using Fields = std::vector<std::string>;

TEST(SourceLine, CommasAndBlanksSeparate)
{
    EXPECT_EQ(SplitSourceLine("a,b,,c"), (Fields{"a", "b", "", "c"}));
    EXPECT_EQ(SplitSourceLine("a b\tc"), (Fields{"a", "b", "c"}));
    EXPECT_EQ(SplitSourceLine("  a ,  b  "), (Fields{"a", "b"}));
    EXPECT_EQ(SplitSourceLine("a , , b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(SplitSourceLine("\x01"
                              "a\x1F"
                              "b"),
              (Fields{"a", "b"}));
    EXPECT_EQ(SplitSourceLine(""), Fields{});
    EXPECT_EQ(SplitSourceLine("   "), Fields{});
}

TEST(SourceLine, CommaAtTheEndGivesOneMoreEmptyField)
{
    EXPECT_EQ(SplitSourceLine("a,"), (Fields{"a", ""}));
    EXPECT_EQ(SplitSourceLine("a, "), (Fields{"a", ""}));
    EXPECT_EQ(SplitSourceLine(","), (Fields{"", ""}));
    EXPECT_EQ(SplitSourceLine("a "), (Fields{"a"}));
}

TEST(SourceLine, QuotesEncloseCommasAndBlanks)
{
    EXPECT_EQ(SplitSourceLine("\"a,b c\",d"), (Fields{"a,b c", "d"}));
    EXPECT_EQ(SplitSourceLine("\"a\"\"b\""), (Fields{"a\"b"}));
    EXPECT_EQ(SplitSourceLine("\"\"\"\"\"\",x"), (Fields{"\"\"", "x"}));
    EXPECT_EQ(SplitSourceLine("\"\",\"\""), (Fields{"", ""}));
    EXPECT_EQ(SplitSourceLine("\"open, to the end"), (Fields{"open, to the end"}));
    EXPECT_EQ(SplitSourceLine("\"a\"\"b"), (Fields{"a\"b"}));
    // Bytes right after a closing quote start a new field.
    EXPECT_EQ(SplitSourceLine("\"a\"b,c"), (Fields{"a", "b", "c"}));
    // A quote inside an unquoted field is an ordinary byte.
    EXPECT_EQ(SplitSourceLine("a\"b,c"), (Fields{"a\"b", "c"}));
}

TEST(SourceLine, ViewsSurviveDoubledQuotesInSeveralFields)
{
    std::vector<std::string_view> fields;
    std::string scratch;
    std::string line = "\"a\"\"1\",\"b\"\"2\",\"c\"\"3\",plain";
    SplitSourceLine(line, fields, scratch);
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(fields[0], "a\"1");
    EXPECT_EQ(fields[1], "b\"2");
    EXPECT_EQ(fields[2], "c\"3");
    EXPECT_EQ(fields[3], "plain");

    SplitSourceLine("a,b,c,d,e", fields, scratch, 3);
    EXPECT_EQ(fields.size(), 3u);
}

TEST(SourceLine, PlainSplitAgreesOrDeclines)
{
    // Random lines of the bytes that matter: where the quick split takes a line, its first
    // fields are the general split's; it takes every line of the usual form.
    std::mt19937 random(11);
    int taken = 0;
    for (int n = 0; n < 20000; ++n) {
        std::string line;
        // Short lines dense with separators, and long ones (past 256 bytes too) with few.
        const bool dense = n % 2 == 0;
        const std::size_t length = random() % (dense ? 24 : 300);
        for (std::size_t i = 0; i < length; ++i)
            line += dense || random() % 16 == 0 ? std::string_view("\"\",,ab \t\0", 9)[random() % 9]
                                                : 'a';
        const std::size_t max = 1 + random() % 9;
        std::vector<std::string_view> plain, general;
        std::string scratch;
        if (!SplitPlainSourceLine(line, plain, max))
            continue;
        ++taken;
        SplitSourceLine(line, general, scratch, max);
        EXPECT_EQ(plain, general) << line;
    }
    EXPECT_GT(taken, 1000);
    std::vector<std::string_view> fields;
    EXPECT_TRUE(SplitPlainSourceLine("01101,\"060  \",\"a\",b,\"\",x\"y,z", fields, 6));
    EXPECT_EQ(fields, (std::vector<std::string_view>{"01101", "060  ", "a", "b", "", "x\"y"}));
}

} // namespace
} // namespace kompa
