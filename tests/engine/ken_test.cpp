#include <gtest/gtest.h>

#include "engine/source/ken.h"
#include "support/test_support.h"

namespace kompa {
namespace {

using test::Sjis;

TEST(Ken, CodeOfExactNamesOnly)
{
    EXPECT_EQ(KenCode(Sjis("北海道")), 48);
    EXPECT_EQ(KenCode(Sjis("東京都")), 60);
    EXPECT_EQ(KenCode(Sjis("神奈川県")), 61);
    EXPECT_EQ(KenCode(Sjis("沖縄県")), 94);
    EXPECT_EQ(KenCode(Sjis("東京")), -1);
    EXPECT_EQ(KenCode(Sjis("東京都 ")), -1);
    EXPECT_EQ(KenCode(Sjis(" 東京都")), -1);
    EXPECT_EQ(KenCode(""), -1);
}

TEST(Ken, TableRoundTripsThroughItsCharacters)
{
    for (int c = kFirstKenChar; c <= kLastKenChar; ++c)
        EXPECT_EQ(KenCode(KenName(static_cast<unsigned char>(c))), c);
    EXPECT_EQ(KenName('<'), Sjis("東京都"));
    EXPECT_EQ(KenName('^'), Sjis("沖縄県"));
}

TEST(Ken, DeleteKenRemovesALeadingPrefectureName)
{
    EXPECT_EQ(DeleteKen(Sjis("東京都千代田区")), Sjis("千代田区"));
    EXPECT_EQ(DeleteKen(Sjis("北海道札幌市")), Sjis("札幌市"));
    EXPECT_EQ(DeleteKen(Sjis("京都府京都市")), Sjis("京都市"));
    EXPECT_EQ(DeleteKen(Sjis("京都市左京区")), Sjis("京都市左京区"));
    EXPECT_EQ(DeleteKen(Sjis("大阪府大阪市北区")), Sjis("大阪市北区"));
    EXPECT_EQ(DeleteKen(Sjis("愛知県名古屋市")), Sjis("名古屋市"));
    EXPECT_EQ(DeleteKen(Sjis("神奈川県横浜市")), Sjis("横浜市"));
    EXPECT_EQ(DeleteKen(Sjis("鹿児島県鹿児島市")), Sjis("鹿児島市"));
    EXPECT_EQ(DeleteKen(Sjis("千代田区")), Sjis("千代田区"));
    EXPECT_EQ(DeleteKen(Sjis("北海道")), "");
    EXPECT_EQ(DeleteKen(Sjis("京都府")), "");
    EXPECT_EQ(DeleteKen(""), "");
    // A leading blank shifts every position: nothing is removed.
    EXPECT_EQ(DeleteKen(Sjis(" 東京都港区")), Sjis(" 東京都港区"));
    EXPECT_EQ(DeleteKen(Sjis(" 神奈川県横浜市")), Sjis(" 神奈川県横浜市"));
}

TEST(Ken, DeleteKenKeeps100BytesAfterKenButAllAfterTheOtherNames)
{
    std::string tail;
    for (int i = 0; i < 57; ++i)
        tail += Sjis(i % 2 ? "町" : "村");
    EXPECT_EQ(DeleteKen(Sjis("埼玉県") + tail), tail.substr(0, 100));
    EXPECT_EQ(DeleteKen(Sjis("東京都") + tail), tail);
}

} // namespace
} // namespace kompa
