#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "conv/csv_dialect.h"
#include "conv/csv_fields.h"
#include "engine/io/errors.h"
#include "engine/io/messages.h"
#include "support/test_support.h"

namespace kompa {
namespace {

using Fields = std::vector<std::string>;

const TCharSet kComma = [] {
    TCharSet s;
    s.Add(',');
    return s;
}();

Fields Split(std::string_view line, const TCharSet& delimiters = kComma)
{
    TFieldList fields;
    SplitFields(fields, line, delimiters);
    return fields.Items();
}

std::string Join(const Fields& items, char delimiter = ',', const TCharSet& targets = {})
{
    TFieldList fields;
    for (const std::string& item : items)
        fields.Add(item);
    return JoinFields(fields, delimiter, targets);
}

TEST(CharSet, MembershipUnionAndExtremes)
{
    TCharSet set;
    EXPECT_TRUE(set.IsEmpty());
    set.Add('\0');
    set.Add('\xFF');
    set.Add('A');
    EXPECT_TRUE(set.Contains('\0'));
    EXPECT_TRUE(set.Contains('\xFF'));
    EXPECT_TRUE(set.Contains('A'));
    EXPECT_FALSE(set.Contains('B'));
    const TCharSet both = set | TCharSet::Range('B', 'C');
    EXPECT_TRUE(both.Contains('C'));
    EXPECT_FALSE(set.Contains('C'));
    EXPECT_TRUE(TCharSet::Full().IsFull());
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(TCharSet::ControlCodes().Contains(static_cast<unsigned char>(b)), b < 0x20);
}

TEST(SplitFields, DelimitersAreNeverMerged)
{
    EXPECT_EQ(Split("a,,b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(Split("a,"), (Fields{"a", ""}));
    EXPECT_EQ(Split(","), (Fields{"", ""}));
    EXPECT_EQ(Split(",a"), (Fields{"", "a"}));
    EXPECT_EQ(Split(""), Fields{});
    EXPECT_EQ(Split("abc", TCharSet()), Fields{"abc"});
}

TEST(SplitFields, QuotesOpenAFieldOnlyAtItsStart)
{
    EXPECT_EQ(Split("x\"y"), Fields{"x\"y"});
    EXPECT_EQ(Split(" \"a,b\""), (Fields{" \"a", "b\""}));
    EXPECT_EQ(Split("\"a,b\",c"), (Fields{"a,b", "c"}));
    EXPECT_EQ(Split("\"a\"\"b\""), Fields{"a\"b"});
    EXPECT_EQ(Split("\"\"\"\""), Fields{"\""});
    EXPECT_EQ(Split("\"\""), Fields{""});
    EXPECT_EQ(Split("\"\",x"), (Fields{"", "x"}));
}

TEST(SplitFields, BytesAfterTheClosingQuoteAreDropped)
{
    EXPECT_EQ(Split("\"ab\" ,x"), (Fields{"ab", "x"}));
    EXPECT_EQ(Split("\"ab\"cd,x"), (Fields{"ab", "x"}));
    // A further quote there is where the field is cut; the byte after the closing quote stays.
    EXPECT_EQ(Split("\"ab\"c\",x"), (Fields{"abc", "x"}));
    // The byte right after the opening quote is always kept, even a quote: undoubling pairs
    // the quotes from the opening one on.
    EXPECT_EQ(Split("\"\"a\"b,x"), (Fields{"\"a", "x"}));
    EXPECT_EQ(Split("\"\"\"\"x\"y,z"), (Fields{"\"\"x", "z"}));
    EXPECT_EQ(Split("\"\"\"a\""), Fields{"\"a"});
}

TEST(SplitFields, AnUnclosedQuotedFieldKeepsEveryByte)
{
    EXPECT_EQ(Split("\"abc"), Fields{"abc"});
    EXPECT_EQ(Split("1,\"a,b"), (Fields{"1", "a,b"}));
    EXPECT_EQ(Split("\"a\"\"b,c"), Fields{"a\"b,c"});
    EXPECT_EQ(Split("\""), Fields{""});
    // Written back it is quoted, and reads back the same.
    EXPECT_EQ(Split(Join(Split("1,\"a,b"))), (Fields{"1", "a,b"}));
}

TEST(SplitFields, NulIsAnOrdinaryByte)
{
    const std::string line("a\0b,c", 5);
    EXPECT_EQ(Split(line), (Fields{std::string("a\0b", 3), "c"}));
    EXPECT_EQ(Split(line, TCharSet::ControlCodes() | kComma), (Fields{"a", "b", "c"}));
    // Kept inside a quoted field too, and quoted again when control codes are targets.
    EXPECT_EQ(Split(std::string("\"a\0b\",c", 7)), (Fields{std::string("a\0b", 3), "c"}));
    EXPECT_EQ(Join({std::string("a\0b", 3), "c"}, ',', TCharSet::ControlCodes()),
              std::string("\"a\0b\",c", 7));
    EXPECT_EQ(Join({std::string("a\0b", 3), "c"}), std::string("a\0b,c", 5));
}

TEST(SplitFields, TabInsideQuotesStaysWithCommaAndTabDelimiters)
{
    TCharSet set = kComma;
    set.Add('\t');
    EXPECT_EQ(Split("\"a\tb\",c\td", set), (Fields{"a\tb", "c", "d"}));
}

TEST(SplitFields, SjisSecondBytesSplitOnlyUnderAUserDelimiter)
{
    const std::string hyo = test::Sjis("表"); // 0x95 0x5C
    TCharSet backslash;
    backslash.Add('\\');
    EXPECT_EQ(Split(hyo + "," + hyo), (Fields{hyo, hyo}));
    EXPECT_EQ(Split(hyo, backslash), (Fields{"\x95", ""}));
    EXPECT_EQ(Join({hyo}, '\\'), "\"" + hyo + "\"");
}

// One list split into again and again, as a pass does: no field of a longer record is left
// over, and counting agrees with splitting on every rule above.
TEST(SplitFields, ReusedListAndCountAgreeWithAFreshSplit)
{
    TFieldList fields;
    for (std::string_view line :
         {"a,\"b,\"\"c\"x,d,e", "", "p,q,", "\"open,\"\"end", ",", "1", "\"\"x,,"}) {
        SplitFields(fields, line, kComma);
        EXPECT_EQ(fields.Items(), Split(line)) << line;
        EXPECT_EQ(CountFields(line, kComma), fields.Count()) << line;
    }
}

TEST(JoinFields, QuotingRules)
{
    EXPECT_EQ(Join({}), "");
    EXPECT_EQ(Join({""}), "");
    EXPECT_EQ(Join({"", ""}), ",");
    EXPECT_EQ(Join({"a,b", "c"}), "\"a,b\",c");
    EXPECT_EQ(Join({"a\"b"}), "\"a\"\"b\"");
    EXPECT_EQ(Join({"a b", "c"}, ';'), "a b;c");
    EXPECT_EQ(Join({"a b", "c;d"}, ';'), "a b;\"c;d\"");
    // Every non-empty field under "all", never an empty one.
    EXPECT_EQ(Join({"a", "", "b"}, ',', TCharSet::Full()), "\"a\",,\"b\"");
    EXPECT_EQ(Join({std::string(5000, 'x'), "y"}), std::string(5000, 'x') + ",y");
}

TEST(QuoteField, DoublesInnerQuotes)
{
    std::string field = "a\"b";
    QuoteField(field);
    EXPECT_EQ(field, "\"a\"\"b\"");
    field.clear();
    QuoteField(field);
    EXPECT_EQ(field, "\"\"");
}

TEST(FieldList, BadIndexRaisesTheListIndexMessage)
{
    TFieldList fields;
    fields.Add("a");
    EXPECT_EQ(fields.Get(0), "a");
    for (int bad : {-1, 1}) {
        try {
            (void)fields.Get(bad);
            ADD_FAILURE() << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), msg::kListIndexOutOfBounds);
        }
        EXPECT_THROW(fields.Put(bad, "x"), Exception);
    }
}

// Join then split gives the list back whenever the read set holds the write delimiter, not the
// quote, and every other read delimiter is a quote target.
TEST(RoundTrip, GeneratedFieldListsSurviveJoinAndSplit)
{
    std::mt19937 random(20261208);
    const std::vector<std::string> pieces = {"a",
                                             "Z",
                                             "1",
                                             ",",
                                             "\"",
                                             "\"\"",
                                             " ",
                                             "\t",
                                             std::string(1, '\0'),
                                             "\x1F",
                                             ";",
                                             "\\",
                                             test::Sjis("東京都"),
                                             test::Sjis("表"),
                                             test::Sjis("ソ"),
                                             test::Sjis("ヶ"),
                                             "\xFF",
                                             "|"};
    struct Dialect {
        char delimiter;
        TCharSet read;
        TCharSet quote;
    };
    TCsvDialect defaults;
    TCharSet semicolonRead = TCharSet::ControlCodes();
    semicolonRead.Add(';');
    const Dialect dialects[] = {
        {defaults.GetWriteDelimiter(), defaults.GetReadDelimiters(), defaults.GetQuoteTargets()},
        {';', semicolonRead, TCharSet::ControlCodes()},
        {'\t', TCharSet::ControlCodes(), TCharSet::ControlCodes()},
        {',', kComma, TCharSet::Full()},
    };
    for (const Dialect& dialect : dialects) {
        for (int round = 0; round < 3000; ++round) {
            Fields items(1 + random() % 6);
            for (std::string& item : items)
                for (unsigned n = random() % 5; n > 0; --n)
                    item += pieces[random() % pieces.size()];
            if (items.size() == 1 && items[0].empty())
                continue;
            const std::string line = Join(items, dialect.delimiter, dialect.quote);
            ASSERT_EQ(Split(line, dialect.read), items) << line;
        }
    }
}

} // namespace
} // namespace kompa
