// Where the dictionaries are read from and where a user's own pair goes.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "engine/dictionary/data_dirs.h"
#include "support/test_support.h"

namespace kompa::test {
namespace {

TEST(DataDirs, UserDirectoryFollowsTheXdgRules)
{
    EXPECT_EQ(UserDataDir("/x/data", "/home/u"), "/x/data/kompa/");
    EXPECT_EQ(UserDataDir("/x/data/", "/home/u"), "/x/data/kompa/");
    // Unset, empty and relative values are ignored.
    EXPECT_EQ(UserDataDir(nullptr, "/home/u"), "/home/u/.local/share/kompa/");
    EXPECT_EQ(UserDataDir("", "/home/u"), "/home/u/.local/share/kompa/");
    EXPECT_EQ(UserDataDir("data", "/home/u/"), "/home/u/.local/share/kompa/");
    EXPECT_EQ(UserDataDir(nullptr, nullptr), "");
}

TEST(DataDirs, BothFilesComeFromTheFirstDirectoryHoldingThePair)
{
    TempDir user, program, installed;
    WriteFile(user.File("KOMPA.DIC"), "only one of the pair");
    WriteFile(program.File("KOMPA.DIC"), "a");
    WriteFile(program.File("VELDA.DIC"), "v");
    WriteFile(installed.File("KOMPA.DIC"), "a");
    WriteFile(installed.File("VELDA.DIC"), "v");
    const std::vector<std::string> dirs = {user.Path().string(), program.Path().string(),
                                           installed.File("")};
    EXPECT_EQ(FindDictionaryDir(dirs), program.Path().string() + "/");

    WriteFile(user.File("VELDA.DIC"), "v");
    EXPECT_EQ(FindDictionaryDir(dirs), user.Path().string() + "/");
}

TEST(DataDirs, MakeDirectoriesCreatesPrivateParentsAndNamesWhatFailed)
{
    TempDir root;
    const std::string dir = root.File("a/b/kompa/");
    MakeDirectories(dir);
    MakeDirectories(dir); // already there: nothing to do
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    WriteFile(root.File("file"), "x");
    EXPECT_EQ(MessageOf([&] { MakeDirectories(root.File("file/kompa")); }),
              Sjis("ﾌｧｲﾙ ") + root.File("file") + Sjis(" を作成できません"));
}

} // namespace
} // namespace kompa::test
