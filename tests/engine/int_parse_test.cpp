#include <gtest/gtest.h>

#include "engine/io/errors.h"
#include "engine/io/messages.h"
#include "engine/text/int_parse.h"

namespace kompa {
namespace {

TEST(IntParse, AcceptedForms)
{
    EXPECT_EQ(TryStrToInt("060"), 60);
    EXPECT_EQ(TryStrToInt("  12"), 12);
    EXPECT_EQ(TryStrToInt("+7"), 7);
    EXPECT_EQ(TryStrToInt("-12"), -12);
    EXPECT_EQ(TryStrToInt("$1f"), 31);
    EXPECT_EQ(TryStrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(TryStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(TryStrToInt("-2147483648"), INT32_MIN);
}

TEST(IntParse, RejectedForms)
{
    for (const char* text : {"", "   ", "12 ", "1a", "+", "-", "$", "$g", "0x10", "\t1", "1.0",
                             "2147483648", "-2147483649", "$100000000", "- 1", "+-1"})
        EXPECT_FALSE(TryStrToInt(text).has_value()) << text;
}

TEST(IntParse, StrictFormQuotesTheTextAndLenientFormFallsBack)
{
    try {
        StrToInt("12 ");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), FormatMessage(msg::kNotAnInteger, "12 "));
    }
    EXPECT_EQ(StrToIntDef("abc", -5), -5);
    EXPECT_EQ(StrToIntDef(" 42", -5), 42);
}

} // namespace
} // namespace kompa
