#include <gtest/gtest.h>

#include "cli/dialect_options.h"
#include "conv/csv_dialect.h"

namespace kompa {
namespace {

TCharSet Of(std::initializer_list<char> bytes, TCharSet base = {})
{
    for (char c : bytes)
        base.Add(c);
    return base;
}

TEST(DialectOptions, Words)
{
    std::string error;
    TCsvDialect d;
    ASSERT_TRUE(ParseReadDelimiters("comma,char:,,space", d, error)) << error;
    EXPECT_EQ(d.GetReadDelimiters(), Of({',', ' '}));
    ASSERT_TRUE(ParseReadDelimiters("char:;,tab", d, error)) << error;
    EXPECT_EQ(d.GetReadDelimiters(), Of({';', '\t'}));
    ASSERT_TRUE(ParseReadDelimiters("none", d, error));
    EXPECT_TRUE(d.GetReadDelimiters().IsEmpty());
    EXPECT_FALSE(ParseReadDelimiters("comma,semicolon", d, error));
    EXPECT_FALSE(ParseReadDelimiters("char:", d, error));
    EXPECT_FALSE(ParseReadDelimiters("char:ab", d, error));

    ASSERT_TRUE(ParseWriteDelimiter("char:|", d, error));
    EXPECT_EQ(d.GetWriteDelimiter(), '|');
    ASSERT_TRUE(ParseWriteDelimiter("tab", d, error));
    EXPECT_EQ(d.GetWriteDelimiter(), '\t');
    EXPECT_FALSE(ParseWriteDelimiter("pipe", d, error));

    ASSERT_TRUE(ParseQuoteTargets("tab,space", d, error));
    EXPECT_EQ(d.GetQuoteTargets(), Of({'\t', ' '}));
    ASSERT_TRUE(ParseQuoteTargets("all", d, error));
    EXPECT_TRUE(d.GetQuoteTargets().IsFull());
    ASSERT_TRUE(ParseQuoteTargets("none", d, error));
    EXPECT_TRUE(d.GetQuoteTargets().IsEmpty());
    EXPECT_FALSE(ParseQuoteTargets("comma", d, error));
}

} // namespace
} // namespace kompa
