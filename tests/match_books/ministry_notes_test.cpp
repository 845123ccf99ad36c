// The generator's own reading of the ministry's notes, held to real lines of the published file
// and of the bundled one: what it reads is what its books claim to be true.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/match_books/address_fold.h"
#include "bench/match_books/address_reading.h"
#include "bench/match_books/address_writer.h"
#include "bench/match_books/place_index.h"
#include "bench/match_books/utf8_chars.h"
#include "engine/text/cp932.h"

namespace kompa::books {
namespace {

// Ministry lines (UTF-8 here) as the file has them: Shift-JIS, CR LF, 15 fields.
std::string MinistryText(const std::vector<std::vector<std::string>>& lines)
{
    std::string text;
    for (const auto& l : lines)
        text += "01101,\"060  \",\"" + l[0] + "\",\"ｱ\",\"ｲ\",\"ｳ\",\"" + l[1] + "\",\"" + l[2] +
                "\",\"" + l[3] + "\",0,0,0,0,0,0\r\n";
    return cp932::FromUtf8(text);
}

PlaceIndex IndexOf(const std::vector<std::vector<std::string>>& lines)
{
    return PlaceIndex(ReadMinistryTowns(MinistryText(lines)));
}

int PlaceOf(const PlaceIndex& index, const std::string& code)
{
    for (std::size_t i = 0; i < index.Places().size(); ++i)
        if (index.Places()[i].source.code == code)
            return static_cast<int>(i);
    ADD_FAILURE() << code;
    return 0;
}

const std::vector<std::vector<std::string>> kSapporo = {
    {"0600000", "北海道", "札幌市中央区", "以下に掲載がない場合"},
    {"0600042", "北海道", "札幌市中央区", "大通西（１～１９丁目）"},
    {"0640820", "北海道", "札幌市中央区", "大通西（２０～２８丁目）"},
};

TEST(MinistryNotes, AChomeRangeIsWrittenWithAChomeInsideItAndDecidesByIt)
{
    const PlaceIndex index = IndexOf(kSapporo);
    const int place = PlaceOf(index, "0640820");
    const TownNote& note = index.Places()[static_cast<std::size_t>(place)].note;
    ASSERT_EQ(note.shape, NoteShape::ChomeRange);
    EXPECT_EQ(note.base, "大通西");
    ASSERT_EQ(note.chome.size(), 1u);
    EXPECT_EQ(note.chome[0].lo, 20);
    EXPECT_EQ(note.chome[0].hi, 28);
    for (std::uint32_t seed = 0; seed < 50; ++seed) {
        Dice dice(seed);
        const WrittenAddress written = WriteAddress(index, place, dice, false);
        const int chome = written.parts.chome >= 0 ? written.parts.chome : written.parts.banchi;
        EXPECT_TRUE(chome >= 20 && chome <= 28) << written.text;
        EXPECT_EQ(ReadCodes(index, written.text, written.parts), std::set<std::string>{"0640820"})
            << written.text;
    }
    // Without its 丁目 the address could be either line.
    WrittenParts noChome;
    noChome.banchi = 5;
    EXPECT_EQ(ReadCodes(index, "札幌市中央区大通西5番地", noChome).size(), 2u);
    // A town that is not listed is the city's own code.
    EXPECT_EQ(ReadCodes(index, "北海道札幌市中央区新緑台5番地", noChome),
              std::set<std::string>{"0600000"});
}

TEST(MinistryNotes, AFloorLineIsWrittenWithItsBuildingAndFloor)
{
    for (const auto& lines :
         {std::vector<std::vector<std::string>>{
              // as published
              {"1000004", "東京都", "千代田区", "大手町（次のビルを除く）"},
              {"1006813", "東京都", "千代田区", "大手町ＪＡビル（１３階）"},
              {"1006814", "東京都", "千代田区", "大手町ＪＡビル（１４階）"},
              {"1006890", "東京都", "千代田区", "大手町ＪＡビル（地階・階層不明）"}},
          std::vector<std::vector<std::string>>{
              // as bundled
              {"1000004", "東京都", "千代田区", "大手町"},
              {"1006813", "東京都", "千代田区", "大手町ＪＡビル１３階"},
              {"1006814", "東京都", "千代田区", "大手町ＪＡビル１４階"},
              {"1006890", "東京都", "千代田区", "大手町ＪＡビル"}}}) {
        const PlaceIndex index = IndexOf(lines);
        const int place = PlaceOf(index, "1006813");
        const Place& floor = index.Places()[static_cast<std::size_t>(place)];
        ASSERT_EQ(floor.note.shape, NoteShape::Floor) << lines[1][3];
        EXPECT_EQ(floor.note.base, "大手町");
        EXPECT_EQ(floor.note.building, "ＪＡビル");
        EXPECT_EQ(floor.note.floor, 13);
        EXPECT_EQ(index.Places()[static_cast<std::size_t>(PlaceOf(index, "1006890"))].note.shape,
                  NoteShape::Basement);
        EXPECT_TRUE(index.Places()[static_cast<std::size_t>(PlaceOf(index, "1000004"))]
                        .note.exceptBuildings);
        for (std::uint32_t seed = 0; seed < 30; ++seed) {
            Dice dice(seed);
            const WrittenAddress written = WriteAddress(index, place, dice, false);
            EXPECT_TRUE(written.text.find("ＪＡビル") != std::string::npos ||
                        written.text.find("JAビル") != std::string::npos)
                << written.text;
            EXPECT_TRUE(written.text.find("13") != std::string::npos ||
                        written.text.find("１３") != std::string::npos)
                << written.text;
            EXPECT_EQ(ReadCodes(index, written.text, written.parts),
                      std::set<std::string>{"1006813"})
                << written.text;
        }
        // The building without a floor is the basement line; no building leaves it open.
        WrittenParts building;
        building.buildingWritten = true;
        building.buildingKey = floor.buildingKey;
        EXPECT_EQ(ReadCodes(index, "千代田区大手町1-3-1 ＪＡビル", building),
                  std::set<std::string>{"1006890"});
        EXPECT_EQ(ReadCodes(index, "千代田区大手町1-3-1", WrittenParts{}).size(), 4u);
    }
}

TEST(MinistryNotes, ASplitTownIsJoinedAndItsPartsRead)
{
    const PlaceIndex index = IndexOf({
        {"0330071", "青森県", "上北郡六戸町", "犬落瀬（内金矢、内山、岡沼、金沢、金矢、上淋代、"},
        {"0330071", "青森県", "上北郡六戸町", "木越、権現沢、四木、七百、高森）"},
        {"0330072", "青森県", "上北郡六戸町", "犬落瀬（その他）"},
    });
    ASSERT_EQ(index.Places().size(), 2u);
    const Place& joined = index.Places()[0];
    EXPECT_EQ(joined.source.lineCount, 2);
    EXPECT_EQ(joined.note.shape, NoteShape::Parts);
    EXPECT_EQ(joined.note.parts.size(), 11u);
    EXPECT_EQ(joined.note.parts.back(), "高森");
    // A part from either line decides; a part of neither is その他; none leaves it open.
    WrittenParts part;
    part.partWritten = true;
    part.partKey = "高森";
    EXPECT_EQ(ReadCodes(index, "上北郡六戸町犬落瀬高森12", part), std::set<std::string>{"0330071"});
    part.partKey = "東鷺谷";
    EXPECT_EQ(ReadCodes(index, "六戸町犬落瀬東鷺谷12", part), std::set<std::string>{"0330072"});
    EXPECT_EQ(ReadCodes(index, "六戸町犬落瀬12", WrittenParts{}).size(), 2u);
}

TEST(MinistryNotes, GunLeftOutDecidesOnlyWhereTheRestIsUnique)
{
    const PlaceIndex index = IndexOf({
        {"3670231", "埼玉県", "児玉郡神川町", "中新里"},
        {"3670200", "埼玉県", "児玉郡神川町", "以下に掲載がない場合"},
        {"9191201", "福井県", "三方郡美浜町", "早瀬"},
        {"6496123", "和歌山県", "日高郡美浜町", "吉原"},
        {"4703233", "愛知県", "知多郡美浜町", "早瀬"},
    });
    EXPECT_EQ(ReadCodes(index, "神川町中新里27", WrittenParts{}), std::set<std::string>{"3670231"});
    EXPECT_EQ(ReadCodes(index, "美浜町吉原5", WrittenParts{}), std::set<std::string>{"6496123"});
    EXPECT_EQ(ReadCodes(index, "美浜町早瀬5", WrittenParts{}).size(), 2u);
    EXPECT_EQ(ReadCodes(index, "福井県美浜町早瀬5", WrittenParts{}),
              std::set<std::string>{"9191201"});
}

TEST(MinistryNotes, BanchiRangesOthersAndTheMoreSpecificLine)
{
    const PlaceIndex index = IndexOf({
        {"0613421", "北海道", "札幌市南区", "藤野（４００番地）"},
        {"0613422", "北海道", "札幌市南区", "藤野（４００－２番地）"},
        {"0613423", "北海道", "札幌市南区", "藤野（１～１３１番地）"},
        {"0613424", "北海道", "札幌市南区", "藤野（その他）"},
    });
    auto codes = [&](int banchi, int sub) {
        WrittenParts w;
        w.banchi = banchi;
        w.second = sub;
        return ReadCodes(index, "札幌市南区藤野", w);
    };
    EXPECT_EQ(codes(400, 2), std::set<std::string>{"0613422"});
    EXPECT_EQ(codes(400, 5), std::set<std::string>{"0613421"});
    EXPECT_EQ(codes(400, -1).size(), 2u); // 400 alone could be 400-2
    EXPECT_EQ(codes(131, 1), std::set<std::string>{"0613423"});
    EXPECT_EQ(codes(132, -1), std::set<std::string>{"0613424"});
    EXPECT_EQ(codes(-1, -1).size(), 4u);
}

TEST(MinistryNotes, SpellingsPeopleUseFoldTogether)
{
    EXPECT_EQ(FoldKey("北１０条西 ３－４"), FoldKey("北十条西3ー4"));
    EXPECT_EQ(FoldKey("旭ヶ丘"), FoldKey("旭が丘"));
    EXPECT_EQ(FoldKey("髙島"), FoldKey("高嶋"));
    EXPECT_EQ(FoldKey("虎ノ門"), FoldKey("虎之門"));
    EXPECT_EQ(FoldKey("ＪＡビル"), FoldKey("jaビル"));
    EXPECT_NE(FoldKey("センター"), FoldKey("セント-"));
    EXPECT_EQ(FoldKey("二十三"), "23");
    EXPECT_EQ(Utf8(KanjiNumber(23)), "二十三");
    EXPECT_EQ(Utf8(KanjiNumber(10)), "十");
}

} // namespace
} // namespace kompa::books
