#include <gtest/gtest.h>

#include "engine/dictionary/find_query.h"

namespace kompa {
namespace {

TEST(TypedPostalCode, FormsPeopleWrite)
{
    EXPECT_EQ(TypedPostalCode("100-0001"), "1000001");
    EXPECT_EQ(
        TypedPostalCode("\x81\xA7\x82\x50\x82\x4F\x82\x4F\x81\x7C\x82\x4F\x82\x4F\x82\x4F\x82\x50"),
        "1000001"); // 〒１００－０００１
    EXPECT_EQ(TypedPostalCode(" \x81\x40"
                              "100\x81\x5B"
                              "0001\t"),
              "1000001"); // blanks, ー
    EXPECT_EQ(TypedPostalCode("1\x82\x4F"
                              "0\x81\x5D"
                              "0001"),
              "1000001");                                          // mixed digits, ‐
    EXPECT_EQ(TypedPostalCode("\x82\x50\x82\x4F\x82\x4F"), "100"); // １００
}

TEST(TypedPostalCode, EverythingElseIsNotOne)
{
    for (const char* text :
         {"1000001", "100", "100-000", "10-00001", "100--0001", "100-00011",
          // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): split so the escape ends
          "\x81\xA7"
          "1000001",
          "\x82\x50\x82\x4F", // １０: too short
          "\x82\x50\x82\x4F\x82\x4F\x82\x4F\x82\x4F\x82\x4F\x82\x50\x82\x50", "100-000a",
          "\x88\x81\x40", "", "100 -0001", "100-0001 1", "100-0001\x81\x40\x81\x40\x81\x40 x"})
        EXPECT_FALSE(TypedPostalCode(text)) << text;
}

} // namespace
} // namespace kompa
