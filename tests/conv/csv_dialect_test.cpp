#include <gtest/gtest.h>

#include "conv/csv_dialect.h"

namespace kompa {
namespace {

TCharSet Of(std::initializer_list<char> bytes, TCharSet base = {})
{
    for (char c : bytes)
        base.Add(c);
    return base;
}

TEST(CsvDialect, DefaultsDerive)
{
    TCsvDialect d;
    EXPECT_EQ(d.GetReadDelimiters(), Of({','}, TCharSet::ControlCodes()));
    EXPECT_EQ(d.GetQuoteTargets(), Of({' '}, TCharSet::ControlCodes()));
    EXPECT_EQ(d.GetWriteDelimiter(), ',');
    EXPECT_EQ(d.edWSep, ",");
}

TEST(CsvDialect, ReadDelimiters)
{
    TCsvDialect d;
    d.rcbComma = d.rcbTAb = d.rcbOther = false;
    EXPECT_TRUE(d.GetReadDelimiters().IsEmpty());
    d.rcbDs = true; // no character yet: adds nothing
    EXPECT_TRUE(d.GetReadDelimiters().IsEmpty());
    d.edRSep = ";";
    d.rcbBlank = true;
    EXPECT_EQ(d.GetReadDelimiters(), Of({';', ' '}));
    // TAB stays a delimiter as a control code.
    TCsvDialect c;
    c.rcbTAb = false;
    EXPECT_TRUE(c.GetReadDelimiters().Contains('\t'));
}

TEST(CsvDialect, QuoteTargets)
{
    TCsvDialect d;
    d.wcbAll = true;
    d.wcbOther = d.wcbTab = d.wcbBlank = false;
    EXPECT_TRUE(d.GetQuoteTargets().IsFull());
    d.wcbAll = false;
    EXPECT_TRUE(d.GetQuoteTargets().IsEmpty());
    d.wcbTab = true;
    EXPECT_EQ(d.GetQuoteTargets(), Of({'\t'}));
}

TEST(CsvDialect, WriteDelimiterFillsAnEmptyEdit)
{
    TCsvDialect d;
    d.rgSep = 3;
    EXPECT_EQ(d.GetWriteDelimiter(), ',');
    EXPECT_EQ(d.edWSep, ",");
    d.edWSep = "|";
    EXPECT_EQ(d.GetWriteDelimiter(), '|');
    d.rgSep = 1;
    EXPECT_EQ(d.GetWriteDelimiter(), '\t');
    d.rgSep = 2;
    EXPECT_EQ(d.GetWriteDelimiter(), ' ');
    EXPECT_EQ(d.edWSep, "|");
}

TEST(CsvDialect, ResetRestoresEveryDefault)
{
    TCsvDialect d;
    d.rcbComma = d.rcbTAb = d.rcbOther = false;
    d.rcbBlank = d.rcbDs = d.wcbAll = true;
    d.wcbTab = d.wcbBlank = d.wcbOther = false;
    d.edRSep = ";";
    d.edWSep = "|";
    d.rgSep = 3;
    d.Reset();
    EXPECT_EQ(d.GetReadDelimiters(), Of({','}, TCharSet::ControlCodes()));
    EXPECT_EQ(d.GetQuoteTargets(), Of({' '}, TCharSet::ControlCodes()));
    EXPECT_TRUE(d.edRSep.empty());
    EXPECT_TRUE(d.edWSep.empty());
    EXPECT_FALSE(d.rcbDs);
    EXPECT_EQ(d.rgSep, 0);
}

} // namespace
} // namespace kompa
