// Damaged and hostile dictionary files: a bad header leaves the dictionary closed without a
// word; a bad block fails the query with a message; nothing reads outside the file.

#include <filesystem>

#include <gtest/gtest.h>

#include "engine/io/messages.h"
#include "tests/engine/dictionary_fixture.h"

namespace kompa::test {
namespace {

constexpr std::uint16_t kSenKey = 0xE790; // 千

std::string SenBlock()
{
    return StoredRecord(Sjis("<1000005 千代田区丸の内")) +
           StoredRecord(Sjis("<1000001 千代田区千代田"));
}

std::string ImageWith(std::string block)
{
    return DictionaryImage(kAddressMagic, {{kSenKey, std::move(block)}});
}

class DamagedDictionary : public ::testing::Test {
protected:
    std::string Write(std::string_view image)
    {
        std::string name = dir.File("D" + std::to_string(files++) + ".DIC");
        WriteFile(name, image);
        return name;
    }
    // Opens the image and runs the address search on 千代田区.
    std::string SearchFails(std::string_view image, bool withKen = false)
    {
        dict.OpenDictionary(Write(image));
        EXPECT_TRUE(dict.IsOpen());
        list.lines = {"old"};
        std::string message =
            MessageOf([&] { dict.SearchAddress(Sjis("千代田区"), list, withKen); });
        EXPECT_EQ(list.updateDepth, 0);
        return message;
    }

    TempDir dir;
    int files = 0;
    TPostCode dict;
    TStringResultList list;
};

TEST_F(DamagedDictionary, BadHeaderClosesWithoutAWordAndReleasesTheFileOpenBefore)
{
    std::string good = Write(ImageWith(SenBlock()));
    std::string valid = ImageWith(SenBlock());
    auto withCount = [&](std::int32_t n) {
        std::string image = valid;
        std::memcpy(image.data() + 8, &n, 4);
        return image;
    };
    const std::vector<std::string> bad = {
        "",
        "KOMPA",
        "KOMPAV02",                      // no count
        std::string("KOMPAV02\1\0", 10), // count cut short
        "KOMPAV03" + valid.substr(8),    // another version
        std::string(kCodeMagic) + valid.substr(8),
        withCount(-1),
        withCount(6),           // index longer than the file
        withCount(200'000'000), // an index that cannot fit: refused before allocating
        withCount(0x7FFFFFFF),
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        dict.OpenDictionary(good);
        ASSERT_TRUE(dict.IsOpen());
        dict.OpenDictionary(Write(bad[i]));
        EXPECT_FALSE(dict.IsOpen()) << i;
        EXPECT_EQ(MessageOf([&] { dict.SearchAddress(Sjis("千代田区"), list, false); }),
                  msg::kNoDictionary);
        // The index of the file open before is gone: the whole-file search visits nothing.
        list.lines = {"old"};
        EXPECT_EQ(MessageOf([&] { dict.SearchAll(Sjis("千代田"), list, false); }), "(no failure)")
            << i;
        EXPECT_TRUE(list.lines.empty()) << i;
        TPostCode other;
        other.OpenDictionary(good);
        EXPECT_TRUE(other.IsOpen()) << i;
    }
}

TEST_F(DamagedDictionary, BadIndexEntryFailsTheQueryBeforeAnythingIsAllocated)
{
    struct Case {
        std::int32_t size;
        std::int32_t offset;
        const char* message;
    };
    const std::int32_t fileSize = static_cast<std::int32_t>(ImageWith(SenBlock()).size());
    const Case cases[] = {
        {-40, 22, msg::kListIndexError}, // Size div 20 negative: the list refuses the capacity
        {-5, 22, msg::kStreamReadError},
        {10, -1, msg::kStreamReadError},
        {0x7FFFFFF0, 22, msg::kStreamReadError},
        {fileSize - 22 + 1, 22, msg::kStreamReadError}, // one byte past the end
        {0, fileSize + 1, msg::kStreamReadError},
    };
    for (const Case& c : cases) {
        std::string image = ImageWith(SenBlock());
        PatchEntry(image, 0, c.size, c.offset);
        EXPECT_EQ(SearchFails(image), c.message) << c.size << " " << c.offset;
        EXPECT_TRUE(list.lines.empty());
    }
    // A block of size 0 at the very end is merely empty.
    std::string image = ImageWith(SenBlock());
    PatchEntry(image, 0, 0, fileSize);
    EXPECT_EQ(SearchFails(image), "(no failure)");
}

TEST_F(DamagedDictionary, RecordLengthsThatAreZeroOrRunPastTheBlock)
{
    std::string first = StoredRecord(Sjis("<1000005 千代田区丸の内"));
    EXPECT_EQ(SearchFails(ImageWith(first + '\0' + first)), msg::kIntOverflow);
    EXPECT_TRUE(list.lines.empty());

    // The last record claims 200 bytes with 5 left: the walk ends at the block's end.
    EXPECT_EQ(SearchFails(ImageWith(first + "\xC8<100")), "(no failure)");
    EXPECT_EQ(list.lines, std::vector<std::string>{Sjis("1000005 千代田区丸の内")});
}

TEST_F(DamagedDictionary, PrefectureCharacterOutOfRangeFailsOnlyWithThePrefectureName)
{
    std::string block = SenBlock() + StoredRecord(Sjis("z1000002 千代田区皇居外苑"));
    EXPECT_EQ(SearchFails(ImageWith(block), true), msg::kRangeCheckError);
    EXPECT_EQ(list.Count(), 2); // lines before the bad record stay
    EXPECT_EQ(SearchFails(ImageWith(block), false), "(no failure)");
    EXPECT_EQ(list.Count(), 3);

    EXPECT_EQ(MessageOf([&] { dict.SearchAll(Sjis("皇居"), list, true); }), msg::kRangeCheckError);
    EXPECT_EQ(list.updateDepth, 0);
}

TEST_F(DamagedDictionary, RecordsTooShortForTheirFieldsNeverReadPastThemselves)
{
    std::string shortRecords = StoredRecord("") + StoredRecord("<") + StoredRecord("<1000") +
                               StoredRecord("<1000001 ") + StoredRecord(Sjis("<1000001 千"));
    // As a code dictionary, key 0: an empty query matches every record.
    TCodeAddress codes;
    codes.OpenDictionary(Write(DictionaryImage(kCodeMagic, {{0, shortRecords}})));
    codes.Search("", list, false);
    EXPECT_EQ(list.lines,
              (std::vector<std::string>{"", "", "1000", "1000001 ", Sjis("1000001 千")}));
    EXPECT_EQ(MessageOf([&] { codes.Search("", list, true); }), msg::kRangeCheckError);
    codes.Search("00", list, false);
    EXPECT_TRUE(list.lines.empty());

    // As an address dictionary, key $FFFF is what a one-byte search text asks for.
    dict.OpenDictionary(
        Write(DictionaryImage(kAddressMagic, {{kSenKey, shortRecords}, {0xFFFF, shortRecords}})));
    dict.Search("", list, true);
    EXPECT_EQ(list.lines,
              (std::vector<std::string>{Sjis("1000001 東京都"), Sjis("1000001 東京都千")}));
    EXPECT_EQ(dict.SearchAddress(Sjis("千代田"), list, false), TAddressLevel::None);
    EXPECT_EQ(dict.SearchAddress(Sjis("千"), list, false), TAddressLevel::Found);
    EXPECT_EQ(list.lines, std::vector<std::string>{Sjis("1000001 千")});
    dict.SearchAll("10", list, false);
    EXPECT_TRUE(list.lines.empty());
}

TEST_F(DamagedDictionary, FileCutShortWhileOpenFailsTheRead)
{
    std::string name = Write(ImageWith(SenBlock()));
    dict.OpenDictionary(name);
    std::filesystem::resize_file(name, 30);
    EXPECT_EQ(MessageOf([&] { dict.SearchAddress(Sjis("千代田区"), list, false); }),
              msg::kStreamReadError);
    EXPECT_EQ(list.updateDepth, 0);
}

TEST_F(DamagedDictionary, UnsortedAndDuplicateKeysOnlyMissBlocks)
{
    std::string image = DictionaryImage(
        kAddressMagic, {{kSenKey, SenBlock()}, {0x0001, SenBlock()}, {kSenKey, SenBlock()}});
    dict.OpenDictionary(Write(image));
    EXPECT_NE(dict.SearchAddress(Sjis("千代田区"), list, false), TAddressLevel::TooShort);
    dict.SearchAll(Sjis("千代田"), list, false);
    EXPECT_EQ(list.updateDepth, 0);
}

} // namespace
} // namespace kompa::test
