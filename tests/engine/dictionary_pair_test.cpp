// The pair build: both files from one source or both as they were, no temporary file left
// behind, readers sharing the files and a build refused while one reads; a build killed between
// its exchanges completed by the next open, and a pair mixed by hand refused.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "engine/dictionary/dictionary_build.h"
#include "engine/dictionary/office_dictionary.h"
#include "engine/io/file_set.h"
#include "engine/io/messages.h"
#include "tests/engine/dictionary_fixture.h"

// The engine's renames go through here: a child process armed with a count dies at that rename,
// as a kill -9 at the worst moment would leave it.
int killAtRename = 0;

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to,
                         unsigned int flags) noexcept
{
    if (killAtRename > 0 && --killAtRename == 0)
        _exit(137);
    return static_cast<int>(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
}

namespace kompa::test {
namespace {

namespace fs = std::filesystem;

std::string Ministry(const char* town)
{
    // Three code blocks, two address blocks: the code file is the larger.
    return MinistryLine({"1000001", "東京都", "千代田区", town}) +
           MinistryLine({"1500000", "東京都", "千代田区", town}) +
           MinistryLine({"0600000", "北海道", "札幌市中央区", town});
}

// The exit status of build run in a child process under a file-size limit: 1 when it failed
// with a message, 0 when it succeeded, -1 when the child did not exit.
template <class Build> int StatusUnderSizeLimit(rlim_t limit, Build&& build)
{
    pid_t child = fork();
    if (child == 0) {
        rlimit r{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &r);
        try {
            build();
        } catch (const Exception&) {
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class DictionaryPair : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(dir.File("old.csv"), Ministry("旧"));
        WriteFile(dir.File("new.csv"), Ministry("新しい町の名前"));
        test::BuildPair(dir.File("old.csv"), dir.Path().string());
        oldPair = Pair();
        fs::create_directory(dir.File("fresh"));
        test::BuildPair(dir.File("new.csv"), dir.File("fresh"));
        newPair = {ReadFile(dir.File("fresh/KOMPA.DIC")), ReadFile(dir.File("fresh/VELDA.DIC"))};
    }
    std::pair<std::string, std::string> Pair() const
    {
        return {ReadFile(dir.File("KOMPA.DIC")), ReadFile(dir.File("VELDA.DIC"))};
    }
    int Temporaries() const
    {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir.Path()))
            n += e.path().filename().string().starts_with(".") ? 1 : 0;
        return n;
    }

    TempDir dir;
    std::pair<std::string, std::string> oldPair, newPair;
};

TEST_F(DictionaryPair, AFailedWriteAtAnyPointLeavesTheOldPairAndNoTemporaryFile)
{
    // Under a file-size limit a write past it fails; with SIGXFSZ ignored the build reports it
    // instead of dying. The limits cut the first file, then only the second.
    ASSERT_LT(newPair.first.size(), newPair.second.size());
    for (rlim_t limit : {rlim_t{0}, rlim_t{100}, rlim_t{newPair.first.size()}}) {
        EXPECT_EQ(StatusUnderSizeLimit(
                      limit, [&] { test::BuildPair(dir.File("new.csv"), dir.Path().string()); }),
                  1)
            << limit;
        EXPECT_EQ(Pair(), oldPair) << limit;
        EXPECT_EQ(Temporaries(), 0) << limit;
    }
    test::BuildPair(dir.File("new.csv"), dir.Path().string());
    EXPECT_EQ(Pair(), newPair);
    EXPECT_EQ(Temporaries(), 0);
}

TEST_F(DictionaryPair, ABuildRemovesTheTemporaryFilesOfAKilledOne)
{
    WriteFile(dir.File(".KOMPA.DIC.a1B2c3"), "left by a killed build");
    WriteFile(dir.File(".VELDA.DIC.zzzzzz"), "");
    WriteFile(dir.File(".KOMPA.DIC.keep"), "not one of ours");
    test::BuildPair(dir.File("new.csv"), dir.Path().string());
    EXPECT_FALSE(fs::exists(dir.File(".KOMPA.DIC.a1B2c3")));
    EXPECT_FALSE(fs::exists(dir.File(".VELDA.DIC.zzzzzz")));
    EXPECT_TRUE(fs::exists(dir.File(".KOMPA.DIC.keep")));
}

TEST_F(DictionaryPair, ReadersShareTheFilesAndABuildWaitsForThemAll)
{
    TPostCode first;
    TPostCode second;
    TCodeAddress codes;
    first.OpenDictionary(dir.File("KOMPA.DIC"));
    second.OpenDictionary(dir.File("KOMPA.DIC"));
    codes.OpenDictionary(dir.File("VELDA.DIC"));
    ASSERT_TRUE(first.IsOpen() && second.IsOpen() && codes.IsOpen());
    TStringResultList list;
    second.Search(Sjis("千代田区"), list, false);
    EXPECT_EQ(list.lines, SjisLines({"1000001 千代田区旧", "1500000 千代田区旧"}));

    const auto inUse = [](const std::string& name) {
        return FormatMessage(msg::kFileCreateError, name) + msg::kSentenceEnd + msg::kFileInUse;
    };
    EXPECT_EQ(MessageOf([&] { test::BuildPair(dir.File("new.csv"), dir.Path().string()); }),
              inUse(dir.File("KOMPA.DIC")));
    first.CloseDictionary();
    second.CloseDictionary();
    // The code file alone is still read: nothing of the pair is replaced.
    EXPECT_EQ(MessageOf([&] { test::BuildPair(dir.File("new.csv"), dir.Path().string()); }),
              inUse(dir.File("VELDA.DIC")));
    EXPECT_EQ(Pair(), oldPair);
    EXPECT_EQ(Temporaries(), 0);
    codes.CloseDictionary();
    test::BuildPair(dir.File("new.csv"), dir.Path().string());
    EXPECT_EQ(Pair(), newPair);
}

// All three files of a build of both data files, or none.
class ThreeFiles : public DictionaryPair {
protected:
    void SetUp() override
    {
        DictionaryPair::SetUp();
        WriteFile(dir.File("old-offices.csv"), Office("旧"));
        WriteFile(dir.File("new-offices.csv"), Office("新しい事業所の名前"));
        Build({"old.csv", "old-offices.csv"});
        oldFiles = Files();
        Build({"new.csv", "new-offices.csv"}, "fresh");
        newOffices = ReadFile(dir.File("fresh/OFFICE.DIC"));
    }
    static std::string Office(const char* name)
    {
        // Several lines, so the office file is the largest of the three.
        std::string lines;
        for (const char* code : {"1008926", "1008927", "0608651", "0608652", "1008928"})
            lines += Sjis(std::string("13101,\"\",\"") + name +
                          "\",\"東京都\",\"千代田区\",\"霞が関\",\"１\",\"" + code +
                          "\",\"100  \",\"\",0,0,0\r\n");
        return lines;
    }
    void Build(std::initializer_list<const char*> names, const char* into = "")
    {
        std::vector<TBuildSource> sources;
        for (const char* name : names)
            sources.push_back(ReadBuildSource(dir.File(name)));
        MakeDictionaryFiles(sources, dir.File(into));
    }
    std::vector<std::string> Files() const
    {
        return {ReadFile(dir.File("KOMPA.DIC")), ReadFile(dir.File("VELDA.DIC")),
                ReadFile(dir.File("OFFICE.DIC"))};
    }

    std::vector<std::string> oldFiles;
    std::string newOffices;
};

TEST_F(ThreeFiles, AFailedWriteAtAnyPointLeavesAllThreeAsTheyWere)
{
    // The limits cut every file, then all but the address dictionary, then only the office one.
    ASSERT_LT(newPair.second.size(), newOffices.size());
    for (rlim_t limit :
         {rlim_t{0}, rlim_t{100}, rlim_t{newPair.first.size()}, rlim_t{newPair.second.size()}}) {
        EXPECT_EQ(StatusUnderSizeLimit(limit,
                                       [&] {
                                           Build({"new.csv", "new-offices.csv"});
                                       }),
                  1)
            << limit;
        EXPECT_EQ(Files(), oldFiles) << limit;
        EXPECT_EQ(Temporaries(), 0) << limit;
    }
    WriteFile(dir.File(".OFFICE.DIC.k1lled"), "left by a killed build");
    Build({"new-offices.csv", "new.csv"});
    EXPECT_EQ(Files(), (std::vector{newPair.first, newPair.second, newOffices}));
    EXPECT_EQ(Temporaries(), 0);
}

TEST_F(ThreeFiles, EachKindReplacesOnlyItsOwnAndAReaderHoldsOffWhatItReads)
{
    TOfficeDictionary reader;
    reader.OpenDictionary(dir.File("OFFICE.DIC"));
    ASSERT_TRUE(reader.IsOpen());
    EXPECT_EQ(MessageOf([&] {
                  Build({"new.csv", "new-offices.csv"});
              }),
              FormatMessage(msg::kFileCreateError, dir.File("OFFICE.DIC")) + msg::kSentenceEnd +
                  msg::kFileInUse);
    EXPECT_EQ(Files(), oldFiles);
    // The pair alone does not touch the office dictionary being read.
    Build({"new.csv"});
    EXPECT_EQ(Files(), (std::vector{newPair.first, newPair.second, oldFiles[2]}));
    reader.CloseDictionary();
    Build({"new-offices.csv"});
    EXPECT_EQ(ReadFile(dir.File("OFFICE.DIC")), newOffices);
    EXPECT_EQ(MessageOf([&] {
                  Build({"new.csv", "old.csv"});
              }),
              FormatMessage(FormatMessage(msg::kSourcesOfOneKind, dir.File("new.csv")),
                            dir.File("old.csv")));
}

// Opens both files as the search window does; the failure's message, or empty.
std::string OpenBoth(const TempDir& dir)
{
    TPostCode address;
    TCodeAddress code;
    return MessageOf([&] {
        address.OpenDictionary(dir.File("KOMPA.DIC"));
        code.OpenDictionary(dir.File("VELDA.DIC"));
    });
}

TEST_F(DictionaryPair, ABuildKilledAtAnyExchangeIsCompletedByTheNextOpen)
{
    // Exchanges: KOMPA.DIC, VELDA.DIC, then the companion; a fourth rename never comes.
    for (int at = 1; at <= 4; ++at) {
        SCOPED_TRACE("killed at rename " + std::to_string(at));
        const pid_t child = fork();
        if (child == 0) {
            killAtRename = at;
            test::BuildPair(dir.File("new.csv"), dir.Path().string());
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), at <= 3 ? 137 : 0);
        if (at == 2) {
            // Mixed on disk for now: a live replacement's locked journal keeps readers and
            // builds out, and a reader who may not write here cannot complete it.
            const std::string journal = dir.File(io::kJournalName);
            const int held = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_EQ(::flock(held, LOCK_EX), 0);
            EXPECT_EQ(OpenBoth(dir), FormatMessage(msg::kFileOpenError, dir.File("KOMPA.DIC")) +
                                         msg::kSentenceEnd + msg::kBeingReplaced);
            EXPECT_EQ(MessageOf([&] { test::BuildPair(dir.File("old.csv"), dir.Path().string()); }),
                      FormatMessage(msg::kFileCreateError, dir.File("KOMPA.DIC")) +
                          msg::kSentenceEnd + msg::kBeingReplaced);
            ::close(held);
            if (geteuid() == 0) {
                ::chmod(dir.Path().c_str(), 0755);
                const pid_t reader = fork();
                if (reader == 0) {
                    if (setresuid(65534, 65534, 65534) != 0)
                        _exit(90);
                    _exit(OpenBoth(dir) ==
                                  FormatMessage(msg::kFileOpenError, dir.File("KOMPA.DIC")) +
                                      msg::kSentenceEnd + msg::kReplacementStuck
                              ? 0
                              : 1);
                }
                waitpid(reader, &status, 0);
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            }
        }
        EXPECT_EQ(OpenBoth(dir), "(no failure)");
        EXPECT_EQ(Pair(), newPair);
        EXPECT_EQ(Temporaries(), 0);
        test::BuildPair(dir.File("old.csv"), dir.Path().string());
        ASSERT_EQ(Pair(), oldPair);
    }
}

TEST_F(DictionaryPair, ASetOfThreeFilesKilledAtItsLastExchangeIsCompletedWhole)
{
    WriteFile(dir.File("THIRD.DIC"), "old third");
    const std::string third = "new third";
    std::vector<TNewFile> files = {{"KOMPA.DIC", {newPair.first, {}}},
                                   {"VELDA.DIC", {newPair.second, {}}},
                                   {"THIRD.DIC", {third, {}}}};
    const pid_t child = fork();
    if (child == 0) {
        killAtRename = 3;
        ReplaceFilesTogether(dir.Path().string() + "/", files);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(ReadFile(dir.File("THIRD.DIC")), "old third");
    EXPECT_EQ(io::RecoverFileSet(io::Directory::Open(dir.Path().string())),
              io::TSetRecovery::Completed);
    EXPECT_EQ(Pair(), newPair);
    EXPECT_EQ(ReadFile(dir.File("THIRD.DIC")), third);
    EXPECT_EQ(Temporaries(), 0);
}

TEST_F(DictionaryPair, AJournalLeadingOutOfItsDirectoryOrOfAnotherUserIsNotFollowed)
{
    const pid_t child = fork();
    if (child == 0) {
        killAtRename = 2;
        test::BuildPair(dir.File("new.csv"), dir.Path().string());
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const std::string journal = dir.File(io::kJournalName);
    const std::string written = ReadFile(journal);
    const std::string stuck = FormatMessage(msg::kFileOpenError, dir.File("KOMPA.DIC")) +
                              msg::kSentenceEnd + msg::kReplacementStuck;
    // The same journal, well formed, with a target in the subdirectory.
    std::string forged = written.substr(0, written.rfind("END "));
    forged.replace(forged.find(" VELDA.DIC "), 11, " fresh/VELDA.DIC ");
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : forged)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char end[32];
    std::snprintf(end, sizeof end, "END %016llx\n", static_cast<unsigned long long>(hash));
    WriteFile(journal, forged + end);
    EXPECT_EQ(OpenBoth(dir), stuck);
    EXPECT_EQ(ReadFile(dir.File("fresh/VELDA.DIC")), newPair.second);
    WriteFile(journal, written);
    if (geteuid() == 0) {
        ASSERT_EQ(::chown(journal.c_str(), 65534, 65534), 0);
        EXPECT_EQ(OpenBoth(dir), stuck);
        ASSERT_EQ(::chown(journal.c_str(), 0, 0), 0);
    }
    EXPECT_EQ(OpenBoth(dir), "(no failure)");
    EXPECT_EQ(Pair(), newPair);
}

TEST_F(DictionaryPair, AFileReplacedByHandBesideItsPartnerIsRefused)
{
    const std::string mixed = FormatMessage(msg::kSetMixed, dir.File("VELDA.DIC"));
    WriteFile(dir.File("VELDA.DIC"), newPair.second);
    EXPECT_EQ(OpenBoth(dir), mixed);
    TCodeAddress code;
    EXPECT_EQ(MessageOf([&] { code.OpenDictionary(dir.File("VELDA.DIC")); }), mixed);
    EXPECT_FALSE(code.IsOpen());
    // Both copied in: a pair again, as is a pair without the companion file.
    WriteFile(dir.File("KOMPA.DIC"), newPair.first);
    EXPECT_EQ(OpenBoth(dir), "(no failure)");
    WriteFile(dir.File("VELDA.DIC"), oldPair.second);
    fs::remove(dir.File(kDictionarySetName));
    EXPECT_EQ(OpenBoth(dir), "(no failure)");
}

TEST_F(ThreeFiles, AnOfficeDictionaryCopiedInByHandLeavesThePairReadable)
{
    WriteFile(dir.File("OFFICE.DIC"), newOffices);
    EXPECT_EQ(OpenBoth(dir), "(no failure)");
    TOfficeDictionary offices;
    offices.OpenDictionary(dir.File("OFFICE.DIC"));
    EXPECT_TRUE(offices.IsOpen());
}

} // namespace
} // namespace kompa::test
