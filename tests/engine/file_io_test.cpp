#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/messages.h"
#include "support/test_support.h"

namespace kompa::io {
namespace {

using test::MessageOf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> ReadAll(const std::string& name, std::size_t bufferSize,
                                 std::size_t maxBytes = std::string::npos)
{
    TextFileReader reader(name, bufferSize);
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line, maxBytes))
        lines.push_back(line);
    return lines;
}

TEST(FileIo, ErrorNumbersMapToTheSystemMessages)
{
    EXPECT_EQ(IoErrorMessage(ENOENT), msg::kIoFileNotFound);
    EXPECT_EQ(IoErrorMessage(EACCES), msg::kIoAccessDenied);
    EXPECT_EQ(IoErrorMessage(EPERM), msg::kIoAccessDenied);
    EXPECT_EQ(IoErrorMessage(EISDIR), msg::kIoAccessDenied);
    EXPECT_EQ(IoErrorMessage(EMFILE), msg::kIoTooManyFiles);
    EXPECT_EQ(IoErrorMessage(ENFILE), msg::kIoTooManyFiles);
    EXPECT_EQ(IoErrorMessage(ENOSPC), msg::kIoDiskFull);
    EXPECT_EQ(IoErrorMessage(ENOTDIR), msg::kIoInvalidFileName);
    EXPECT_EQ(IoErrorMessage(ENAMETOOLONG), msg::kIoInvalidFileName);
    EXPECT_EQ(IoErrorMessage(EIO), "I/O \xB4\xD7\xB0 (5)");
}

TEST(FileIo, OpeningFailuresCarryTheirMessages)
{
    TempDir dir;
    WriteFile(dir.File("plain"), "x");
    EXPECT_EQ(MessageOf([&] { TextFileReader r(dir.File("none"), 16); }), msg::kIoFileNotFound);
    EXPECT_EQ(MessageOf([&] { TextFileReader r(dir.File("plain") + "/x", 16); }),
              msg::kIoInvalidFileName);
    EXPECT_EQ(MessageOf([&] { TextFileReader r("", 16); }), msg::kIoInvalidFileName);
    EXPECT_EQ(MessageOf([&] { TextFileReader r(dir.Path().string(), 16); }), msg::kIoAccessDenied);
}

TEST(FileIo, LineRulesHoldAcrossBufferBoundaries)
{
    TempDir dir;
    const std::string name = dir.File("t");
    const std::string text = "first\r\nsecond\rthird\nstill third\r\n\r\nlast";
    const std::vector<std::string> expected = {"first", "second", "third\nstill third", "", "last"};
    WriteFile(name, text);
    // Every buffer size puts the CR/LF pairs and line ends at another boundary.
    for (std::size_t size = 1; size <= text.size() + 1; ++size)
        EXPECT_EQ(ReadAll(name, size), expected) << size;
}

TEST(FileIo, CtrlZEndsTheInputAndLongLinesAreCut)
{
    TempDir dir;
    const std::string name = dir.File("t");
    WriteFile(name, "abcdef\r\nxy\x1Aignored\r\nmore");
    for (std::size_t size : {1u, 3u, 7u, 64u}) {
        EXPECT_EQ(ReadAll(name, size), (std::vector<std::string>{"abcdef", "xy"})) << size;
        EXPECT_EQ(ReadAll(name, size, 4), (std::vector<std::string>{"abcd", "xy"})) << size;
    }
    WriteFile(name, "");
    EXPECT_TRUE(ReadAll(name, 8).empty());
    WriteFile(name, "\r");
    EXPECT_EQ(ReadAll(name, 8), (std::vector<std::string>{""}));
    WriteFile(name, "a\r\n\x1A");
    EXPECT_EQ(ReadAll(name, 8), (std::vector<std::string>{"a"}));
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
