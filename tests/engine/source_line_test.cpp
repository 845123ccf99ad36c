#include <gtest/gtest.h>

#include "engine/source_line.h"

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

} // namespace
} // namespace kompa
