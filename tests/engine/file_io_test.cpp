#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/io/messages.h"
#include "support/test_support.h"

namespace kompa::io {
namespace {

using test::MessageOf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(FileIo, OpeningFailuresCarryTheirMessages)
{
    TempDir dir;
    WriteFile(dir.File("plain"), "x");
    EXPECT_EQ(MessageOf([&] { (void)ReadWholeFile(dir.File("none")); }), msg::kIoFileNotFound);
    EXPECT_EQ(MessageOf([&] { (void)ReadWholeFile(dir.File("plain") + "/x"); }),
              msg::kIoInvalidFileName);
    EXPECT_EQ(MessageOf([&] { (void)ReadWholeFile(""); }), msg::kIoInvalidFileName);
    EXPECT_EQ(MessageOf([&] { (void)ReadWholeFile(dir.Path().string()); }), msg::kIoAccessDenied);
}

TEST(FileIo, SharedFileLetsEveryReaderIn)
{
    TempDir dir;
    const std::string name = dir.File("d");
    WriteFile(name, "0123456789");
    SharedFile first;
    ASSERT_TRUE(first.Open(name));
    EXPECT_EQ(first.Size(), 10);
    char buf[4] = {};
    EXPECT_EQ(first.ReadAt(8, buf, 4), 2u);
    EXPECT_EQ(std::string(buf, 2), "89");

    SharedFile second;
    EXPECT_TRUE(second.Open(name));
    pid_t child = fork();
    if (child == 0) {
        SharedFile other;
        _exit(other.Open(name) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(SharedFile().Open(dir.File("none")));
}

TEST(FileIo, ExistenceAndNames)
{
    TempDir dir;
    WriteFile(dir.File("f"), "12345");
    EXPECT_TRUE(FileExists(dir.File("f")));
    EXPECT_FALSE(FileExists(dir.File("g")));
    EXPECT_FALSE(FileExists(dir.Path().string()));
    EXPECT_EQ(DirectoryPart("/a/b/KEN_ALL.CSV"), "/a/b/");
    EXPECT_EQ(DirectoryPart("KEN_ALL.CSV"), "");
    EXPECT_FALSE(ProgramFileName().empty());
}

} // namespace
} // namespace kompa::io
