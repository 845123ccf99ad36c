// Precise matching over the dictionaries of the bundled file and of the file as the operator
// publishes it: every note read, and one address per rule of reading, each of which fails
// without its rule.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/dictionary/dictionary.h"
#include "engine/match/precise_matcher.h"
#include "support/test_support.h"

namespace kompa::test {
namespace {

using match::TPreciseAnswer;
using match::TPreciseMatcher;

class PreciseMatching : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        published_ = Open(std::string(KOMPA_NOTES_DICT_DIR) + "/KOMPA.DIC");
        bundled_ = Open(std::string(KOMPA_BIN_DIR) + "/KOMPA.DIC");
    }
    static void TearDownTestSuite()
    {
        published_.reset();
        bundled_.reset();
    }

    struct Opened {
        TPostCode dictionary;
        std::unique_ptr<TPreciseMatcher> matcher;
    };
    static std::unique_ptr<Opened> Open(const std::string& file)
    {
        auto opened = std::make_unique<Opened>();
        opened->dictionary.OpenDictionary(file);
        opened->matcher = std::make_unique<TPreciseMatcher>(file);
        return opened;
    }

    // "1000004 not-building" when decided, "- no-chome" when not.
    static std::string Answer(const Opened& in, const char* utf8, const char* present = "")
    {
        TPreciseAnswer answer;
        in.matcher->Match(Sjis(utf8), present, answer);
        return answer.decided ? answer.CodeText() + " " + match::RuleKey(answer.rule)
                              : std::string("- ") + match::ReasonKey(answer.reason);
    }

    static std::unique_ptr<Opened> published_, bundled_;
};

std::unique_ptr<PreciseMatching::Opened> PreciseMatching::published_;
std::unique_ptr<PreciseMatching::Opened> PreciseMatching::bundled_;

// Every city told apart from its towns, every split town joined, every note read; the matcher
// stays within twice the dictionary's size.
TEST_F(PreciseMatching, EveryLineOfBothFilesIsRead)
{
    for (const Opened* in : {published_.get(), bundled_.get()}) {
        const match::TIndexStats& stats = in->matcher->Index().Stats();
        EXPECT_EQ(stats.unreadableLines, 0);
        EXPECT_EQ(stats.cityless, 0);
        const auto size = std::filesystem::file_size(
            in == published_.get() ? std::string(KOMPA_NOTES_DICT_DIR) + "/KOMPA.DIC"
                                   : std::string(KOMPA_BIN_DIR) + "/KOMPA.DIC");
        EXPECT_LT(in->matcher->Index().MemoryBytes(), 2 * size);
    }
    EXPECT_EQ(published_->matcher->Index().Stats().joinedLines, 308);
    EXPECT_EQ(published_->matcher->Index().Cities().size(), 1890u);
    EXPECT_EQ(bundled_->matcher->Index().Cities().size(), 1892u);
}

TEST_F(PreciseMatching, TheNotesDecide)
{
    const Opened& in = *published_;
    // 丁目 ranges, with 丁目 written, dashed (a town all of 丁目) or left out.
    EXPECT_EQ(Answer(in, "札幌市中央区大通西3丁目"), "0600042 chome");
    EXPECT_EQ(Answer(in, "札幌市中央区大通西21-1-1"), "0640820 chome");
    EXPECT_EQ(Answer(in, "札幌市中央区大通西"), "- no-chome");
    // 番地 ranges and the その他 line beside them; a list of 小字 with 「…を除く」.
    EXPECT_EQ(Answer(in, "双葉郡富岡町毛萱500"), "9790622 lot");
    EXPECT_EQ(Answer(in, "双葉郡富岡町毛萱9000"), "9791122 other");
    EXPECT_EQ(Answer(in, "上北郡六戸町犬落瀬内金矢12"), "0330071 part");
    EXPECT_EQ(Answer(in, "上北郡六戸町犬落瀬字下久保174"), "- no-lot");
    // Buildings: a floor, no floor or below ground, and the town's other addresses.
    EXPECT_EQ(Answer(in, "東京都千代田区大手町1-3-1 ＪＡビル　5階"), "1006805 floor");
    EXPECT_EQ(Answer(in, "千代田区大手町1-3-1 JAビル 地下2階"), "1006890 unknown-floor");
    EXPECT_EQ(Answer(in, "千代田区大手町1-1-1"), "1000004 not-building");
    EXPECT_EQ(Answer(in, "名古屋市中村区名駅4-7-1 ミッドランドスクエア高層棟20F"), "4506220 floor");
    EXPECT_EQ(Answer(in, "名古屋市中村区名駅1-3-7"), "4530002 lot");
    // 地割 in the town's name, as a range and as a list.
    EXPECT_EQ(Answer(in, "九戸郡洋野町種市第17地割12"), "0287915 one-code");
    EXPECT_EQ(Answer(in, "和賀郡西和賀町穴明23地割146"), "0295503 jiwari");
    // 区 numbers outweigh a part left unwritten; （丁目） and （大字）.
    EXPECT_EQ(Answer(in, "白糠郡白糠町庶路２区326"), "0880565 lot");
    EXPECT_EQ(Answer(in, "名古屋市守山区瀬古一丁目19"), "4630068 chome");
    // Kyoto: the street written before the town settles its namesakes.
    EXPECT_EQ(Answer(in, "京都市上京区笹屋町通大宮西入桝屋町338"), "6028201 street");
    EXPECT_EQ(Answer(in, "京都市上京区桝屋町"), "- no-street");
    // A shorter town whose listed part the rest names (生野屋西 is listed too).
    EXPECT_EQ(Answer(in, "下松市生野屋西村団地196"), "7440031 part");
    // The city alone, a whole city, and an unlisted town.
    EXPECT_EQ(Answer(in, "利島村248"), "1000301 whole-city");
    EXPECT_EQ(Answer(in, "児玉郡神川町中新2720番地"), "3670200 city-default");
}

TEST_F(PreciseMatching, AddressesAsPeopleWriteThem)
{
    const Opened& in = *bundled_;
    EXPECT_EQ(Answer(in, "埼玉県神川町中新里2720"), "3670231 town");       // 郡 left out
    EXPECT_EQ(Answer(in, "神川町大字中新里2720"), "3670231 town");         // 大字 written
    EXPECT_EQ(Answer(in, "岡山県鏡野町大字中谷2296番"), "7080353 town");   // beside a town 大
    EXPECT_EQ(Answer(in, "鎌ヶ谷市北初富9-16"), "2730126 town");           // ヶ for ケ
    EXPECT_EQ(Answer(in, "大阪市西区九條南1-2"), "5500025 town");          // an old form
    EXPECT_EQ(Answer(in, "東京都　府中市　宮西町１－１"), "1830022 town"); // spaces, widths
    EXPECT_EQ(Answer(in, "夕張市大原12"), "0680400 city-default");
    // Kanji numerals are digits before 丁目 and 条 only: 大宇陀万六 keeps its 六.
    EXPECT_EQ(Answer(*published_, "札幌市北区北十条西８丁目"), "0600810 chome");
    EXPECT_EQ(Answer(in, "宇陀市大宇陀万六四丁目25-1"), "- no-town");
    EXPECT_EQ(Answer(in, "瀬戸内市邑久町宗三3丁目30番18号"), "7014243 town");
    // Two readings with different codes wait; a present code among them decides.
    EXPECT_EQ(Answer(*published_, "府中市府中町1"), "- two-cities");
    EXPECT_EQ(Answer(*published_, "府中市府中町1", "1830055"), "1830055 present-code");
    EXPECT_EQ(Answer(in, "北海道府中市宮西町"), "- no-city");
}

TEST(MatchTexts, RulesAndReasonsKeepTheirOwnTexts)
{
    // The two tables are as long as each other; whichever is asked first, each gives its own.
    EXPECT_EQ(match::RuleText(match::TMatchRule::Chome), Sjis("丁目"));
    EXPECT_EQ(match::ReasonText(match::TWaitReason::NoChome), Sjis("丁目がありません"));
}

} // namespace
} // namespace kompa::test
