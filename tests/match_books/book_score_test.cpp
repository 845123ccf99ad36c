// The scorer's counting on a hand-made pair of books.

#include <gtest/gtest.h>

#include <stdexcept>

#include "bench/match_books/book_score.h"

namespace kompa::books {
namespace {

TEST(BookScore, CountsFillsKeepsAndLeftRecords)
{
    const std::string book = "a,,東京都千代田区大手町1-1-1,1000004,1,plain\n"   // filled right
                             "b,,東京都千代田区丸の内1-1,1000005,1,plain\n"     // filled wrong
                             "c,,札幌市中央区大通西5番地,0600042,0,no-chome\n"  // left, open
                             "d,100-0004,千代田区大手町1-1,1000004,1,no-pref\n" // kept
                             "e,999-9999,千代田区大手町1-2,1000004,1,no-pref\n" // left, decided
                             "f,１００－０００４,大手町,1000004,0,plain\n"      // taken away
                             "g,,札幌市中央区大通西5,0600042,0,no-chome\n";     // right, open
    const std::string converted = "a,1000004,東京都千代田区大手町1-1-1,1000004,1,plain\n"
                                  "b,1006813,東京都千代田区丸の内1-1,1000005,1,plain\n"
                                  "c,,札幌市中央区大通西5番地,0600042,0,no-chome\n"
                                  "d,1000004,千代田区大手町1-1,1000004,1,no-pref\n"
                                  "e,999-9999,千代田区大手町1-2,1000004,1,no-pref\n"
                                  "f,,大手町,1000004,0,plain\n"
                                  "g,060-0042,札幌市中央区大通西5,0600042,0,no-chome\n";
    const Score score = ScoreBooks(book, converted);
    EXPECT_EQ(score.all.records, 7);
    EXPECT_EQ(score.all.decided, 4);
    EXPECT_EQ(score.all.right, 3);
    EXPECT_EQ(score.all.rightUndecided, 1);
    EXPECT_EQ(score.all.wrong, 2);
    EXPECT_EQ(score.all.leftDecided, 1);
    EXPECT_EQ(score.all.leftUndecided, 1);
    EXPECT_EQ(score.byKind.at("no-chome").rightUndecided, 1);
    EXPECT_EQ(score.byKind.at("plain").wrong, 2);
    ASSERT_EQ(score.wrongFills.size(), 2u);
    EXPECT_NE(score.wrongFills[0].find("丸の内"), std::string::npos);
    ASSERT_EQ(score.decidedLeft.size(), 1u);
    EXPECT_NE(score.decidedLeft[0].find("line 5"), std::string::npos);
}

TEST(BookScore, ReadsCodesAsPeopleWriteThemAndRefusesBooksThatDiffer)
{
    EXPECT_EQ(CodeOf("〒123-4567"), "1234567");
    EXPECT_EQ(CodeOf("１２３－４５６７"), "1234567");
    EXPECT_EQ(CodeOf("123ー4567"), "1234567");
    EXPECT_FALSE(CodeOf("123-456"));
    EXPECT_FALSE(CodeOf("不明"));
    EXPECT_THROW(ScoreBooks("a,,x,1,1,k\n", "a,,x,1,1,k\nb,,y,1,1,k\n"), std::runtime_error);
    EXPECT_THROW(ScoreBooks("a,,x,1,1,k\n", "a,,y,1,1,k\n"), std::runtime_error);
}

} // namespace
} // namespace kompa::books
