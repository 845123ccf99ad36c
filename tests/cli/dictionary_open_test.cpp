// Which dictionary each query command opens, and how a missing or invalid one is reported.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "cli/run_cli.h"
#include "engine/dictionary/dictionary.h"
#include "tests/engine/dictionary_fixture.h"

namespace kompa::test {
namespace {

class DictionaryOpening : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(dir.File("src.csv"), MinistryLine("1000001", "東京都", "千代田区", "千代田"));
    }
    void Build(const char* which) { test::BuildOne(dir.File("src.csv"), dir.File(which), which); }
    std::string D() const { return dir.Path().string(); }

    TempDir dir;
};

constexpr char kClosed[] = "!\t辞書が設定されていません\n";

TEST_F(DictionaryOpening, MissingFileFailsEveryQueryWithTheOpenMessage)
{
    // Only VELDA.DIC is missing: code fails, address and all still answer from KOMPA.DIC.
    Build("KOMPA.DIC");
    const std::string openFailed = "!\tﾌｧｲﾙ " + D() + "/VELDA.DIC は開けません\n";
    auto r = RunCli({"code", "--dict", D(), "1000001", "100"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, openFailed + openFailed);
    EXPECT_EQ(r.err, "");

    // A FIFO where VELDA.DIC should be is refused at once, not waited on.
    ASSERT_EQ(::mkfifo(dir.File("VELDA.DIC").c_str(), 0600), 0);
    r = RunCli({"code", "--dict", D(), "1000001"});
    EXPECT_EQ(r.out, openFailed);
    std::filesystem::remove(dir.File("VELDA.DIC"));

    // A trailing separator on DIR gives the same file name.
    EXPECT_EQ(RunCli({"code", "--dict", D() + "/", "1"}).out, openFailed);
    EXPECT_EQ(RunCli({"address", "--dict=" + D(), "千代田区"}).status, 0);
    EXPECT_EQ(RunCli({"all", "--dict", D(), "千代田"}).status, 0);
}

TEST_F(DictionaryOpening, InvalidFileLeavesTheDictionaryClosed)
{
    WriteFile(dir.File("KOMPA.DIC"), "VELDAV20 not an address dictionary");
    auto r = RunCli({"address", "--dict", D(), "千代田区", "１２３", "千代田区"});
    EXPECT_EQ(r.status, 1);
    // The level 0 query never reaches the file; the others fail and the next one still runs.
    EXPECT_EQ(r.out, std::string(kClosed) + "#\t0\t0\t\n" + kClosed);

    // The whole-file search must not pass a broken dictionary off as "no match".
    r = RunCli({"all", "--dict", D(), "千代田"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kClosed);
}

TEST_F(DictionaryOpening, FindOpensAsTheSearchWindowDoes)
{
    // KOMPA.DIC missing: VELDA.DIC is not opened either, so a code search finds it closed.
    Build("VELDA.DIC");
    auto r = RunCli({"find", "--dict", D(), "1000001", "千代田区"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(kClosed) + "!\tﾌｧｲﾙ " + D() + "/KOMPA.DIC は開けません\n");

    // VELDA.DIC missing: no message at opening, code searches fail, addresses answer.
    std::filesystem::remove(dir.File("VELDA.DIC"));
    Build("KOMPA.DIC");
    r = RunCli({"find", "--dict", D(), "1000001", "千代田区"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(kClosed) + "#\t1\t1\t千代田区\n1000001 千代田区千代田\n");

    Build("VELDA.DIC");
    r = RunCli({"find", "--dict", D(), "1000001", "千代田区"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "#\t-\t1\t1000001\n1000001 千代田区千代田\n"
                     "#\t1\t1\t千代田区\n1000001 千代田区千代田\n");
}

TEST_F(DictionaryOpening, DamagedBlockFailsOnlyTheQueriesThatReadIt)
{
    // KOMPA.DIC: the block of 東 is sound; in the block of 千 a zero length byte follows the
    // first record. VELDA.DIC: block 100 claims bytes past the end of the file.
    const std::string sen = StoredRecord(Sjis("<1000005 千代田区丸の内"));
    WriteFile(dir.File("KOMPA.DIC"),
              DictionaryImage(kAddressMagic, {{0x8C93, StoredRecord(Sjis("<1000002 東町"))},
                                              {0xE790, sen + '\0' + sen}}));
    std::string codes =
        DictionaryImage(kCodeMagic, {{60, StoredRecord(Sjis("00600001 札幌市"))}, {100, sen}});
    PatchEntry(codes, 1, static_cast<std::int32_t>(sen.size()) + 1,
               static_cast<std::int32_t>(codes.size() - sen.size()));
    WriteFile(dir.File("VELDA.DIC"), codes);

    constexpr char kOverflow[] = "!\t整数のｵｰﾊﾞｰﾌﾛｰ\n";
    constexpr char kShortRead[] = "!\tｽﾄﾘｰﾑからの読み込みｴﾗｰ\n";
    auto r = RunCli({"address", "--dict", D(), "千代田区", "東町", "千代田区"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kOverflow + std::string("#\t1\t1\t東町\n1000002 東町\n") + kOverflow);

    // The whole-file search lists nothing once a block fails, and the next query still runs.
    r = RunCli({"all", "--dict", D(), "町", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kOverflow + std::string("#\t-\t0\tx\n"));

    r = RunCli({"find", "--dict", D(), "--ken", "1000005", "060", "東町"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kShortRead + std::string("#\t-\t1\t060\n0600001 北海道札幌市\n"
                                              "#\t1\t1\t東町\n1000002 東京都東町\n"));
}

TEST(DefaultDictionaries, AreThoseBesideTheRealProgramFileAndLocaleChangesNothing)
{
    // A private copy of the program and of the bundled data's dictionaries: the files open
    // without sharing, and other tests may hold the build's own.
    namespace fs = std::filesystem;
    TempDir home, elsewhere;
    const fs::path bin(KOMPA_BIN_DIR);
    for (const char* name : {"kompa-cli", "KOMPA.DIC", "VELDA.DIC"})
        fs::copy_file(bin / name, home.Path() / name);
    // Started through a link in another directory: the real file's directory counts.
    const std::string link = elsewhere.File("kompa-cli");
    fs::create_symlink(home.File("kompa-cli"), link);

    auto r = RunProgram(link, {"find", "1000001"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "#\t-\t1\t1000001\n1000001 千代田区千代田\n");

    r = RunProgram(link, {"find", "--ken", "東京都千代田区丸の内１丁目"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("#\t1\t", 0), 0u);
    EXPECT_NE(r.out.find("\n1000005 東京都千代田区丸の内\n"), std::string::npos);

    auto localized =
        RunProgram(link, {"find", "--ken", "東京都千代田区丸の内１丁目"}, {},
                   {"LC_ALL=ja_JP.SJIS", "LANG=ja_JP.eucJP", "GCONV_PATH=/nonexistent"});
    EXPECT_EQ(localized.out, r.out);
}

} // namespace
} // namespace kompa::test
