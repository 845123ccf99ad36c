// Replacing a user's file: only in its real directory, with its rights, leaving nothing behind
// after a failure or a kill, and with the backup cases said plainly.

#include <gtest/gtest.h>

#include <acl/libacl.h>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "engine/io/file_replace.h"
#include "engine/io/messages.h"
#include "support/test_support.h"

namespace kompa::io {
namespace {

namespace fs = std::filesystem;
using test::MessageOf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr uid_t kNobody = 65534;

std::string BackupOf(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ".bak";
}

TReplaceResult Save(const std::string& name, std::string_view bytes, bool backup = false,
                    std::string* problem = nullptr)
{
    ReplaceOptions options;
    options.backupNameOf = backup ? &BackupOf : nullptr;
    return ReplaceFile(
        name, [bytes](int fd) { return WriteAll(fd, bytes); }, options, problem);
}

int HiddenFiles(const TempDir& dir)
{
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir.Path()))
        n += e.path().filename().string().starts_with(".") ? 1 : 0;
    return n;
}

// Runs f as an ordinary user in a child process; its exit status, or -1 when not root.
int AsNobody(const std::function<int()>& f)
{
    if (::geteuid() != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0)
            _exit(90);
        _exit(f());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

std::string AclText(const std::string& name)
{
    acl_t acl = acl_get_file(name.c_str(), ACL_TYPE_ACCESS);
    char* text = acl_to_any_text(acl, nullptr, ',', 0);
    std::string result = text;
    acl_free(text);
    acl_free(acl);
    return result;
}

TEST(FileReplace, RightsAreTakenOverAndNeverWidened)
{
    TempDir dir;
    const std::string book = dir.File("book.csv");
    WriteFile(book, "old");
    ::chmod(book.c_str(), 0640);
    acl_t acl = acl_from_text("u::rw-,u:65534:rw-,g::---,m::rw-,o::---");
    const int set = acl_set_file(book.c_str(), ACL_TYPE_ACCESS, acl);
    acl_free(acl);
    if (set != 0 && (errno == ENOTSUP || errno == EOPNOTSUPP))
        GTEST_SKIP() << "the temporary directory's file system has no ACLs";
    ASSERT_EQ(set, 0);
    const std::string before = AclText(book);
    const bool xattrs = ::setxattr(book.c_str(), "user.origin", "ledger", 6, 0) == 0;

    ASSERT_EQ(Save(book, "new"), TReplaceResult::Saved);
    EXPECT_EQ(ReadFile(book), "new");
    EXPECT_EQ(AclText(book), before); // the group gains nothing from the mask
    if (xattrs) {
        char value[16] = {};
        EXPECT_EQ(::getxattr(book.c_str(), "user.origin", value, sizeof value), 6);
        EXPECT_STREQ(value, "ledger");
    }

    // A directory's default ACL does not reach a book that had none.
    const std::string plain = dir.File("plain.csv");
    WriteFile(plain, "old");
    ::chmod(plain.c_str(), 0600);
    acl = acl_from_text("u::rwx,g::r-x,o::r-x,u:65534:rw-,m::rwx");
    ASSERT_EQ(acl_set_file(dir.Path().c_str(), ACL_TYPE_DEFAULT, acl), 0);
    acl_free(acl);
    ASSERT_EQ(Save(plain, "new"), TReplaceResult::Saved);
    struct stat st {};
    ::stat(plain.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(AclText(plain), "user::rw-,group::---,other::---");
    EXPECT_EQ(HiddenFiles(dir), 0);
}

TEST(FileReplace, LinksOfOtherUsersAreNotFollowed)
{
    TempDir dir;
    TempDir elsewhere;
    WriteFile(elsewhere.File("real.csv"), "real");
    fs::create_directory(dir.File("own"));
    // The user's own links are followed, a dangling one to the file it names.
    fs::create_symlink(elsewhere.File("real.csv"), dir.File("own/link.csv"));
    fs::create_symlink(elsewhere.File("new.csv"), dir.File("own/dangling.csv"));
    fs::create_directory_symlink(elsewhere.Path(), dir.File("folder"));
    ASSERT_EQ(Save(dir.File("own/link.csv"), "via link"), TReplaceResult::Saved);
    ASSERT_EQ(Save(dir.File("own/dangling.csv"), "created"), TReplaceResult::Saved);
    ASSERT_EQ(Save(dir.File("folder/real.csv"), "via folder"), TReplaceResult::Saved);
    EXPECT_TRUE(fs::is_symlink(dir.File("own/link.csv")));
    EXPECT_TRUE(fs::is_symlink(dir.File("own/dangling.csv")));
    EXPECT_EQ(ReadFile(elsewhere.File("new.csv")), "created");
    EXPECT_EQ(ReadFile(elsewhere.File("real.csv")), "via folder");

    // Another user's link, to a file or as the directory, is refused and nothing is written.
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a link away";
    ASSERT_EQ(::lchown(dir.File("own/link.csv").c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::lchown(dir.File("folder").c_str(), kNobody, kNobody), 0);
    const auto refused = [](const std::string& link, const std::string& name) {
        return FormatMessage(msg::kForeignLink, link) + msg::kSentenceEnd +
               FormatMessage(msg::kOriginalKept, name);
    };
    EXPECT_EQ(MessageOf([&] { Save(dir.File("own/link.csv"), "steered"); }),
              refused(dir.File("own/link.csv"), dir.File("own/link.csv")));
    EXPECT_EQ(MessageOf([&] { Save(dir.File("folder/real.csv"), "steered"); }),
              refused(dir.File("folder"), dir.File("folder/real.csv")));
    EXPECT_EQ(ReadFile(elsewhere.File("real.csv")), "via folder");
    EXPECT_EQ(HiddenFiles(elsewhere), 0);
}

TEST(FileReplace, BackupCasesAreSaidPlainly)
{
    TempDir dir;
    std::string problem;
    // A book named NAME.bak: its backup would be itself.
    WriteFile(dir.File("x.bak"), "old");
    EXPECT_EQ(Save(dir.File("x.bak"), "new", true, &problem), TReplaceResult::BackupFailed);
    EXPECT_EQ(problem, FormatMessage(msg::kBackupIsBook, dir.File("x.bak")));
    EXPECT_EQ(ReadFile(dir.File("x.bak")), "old");

    // Hidden books without an extension share ".bak".
    WriteFile(dir.File(".home"), "home");
    WriteFile(dir.File(".work"), "work");
    ASSERT_EQ(Save(dir.File(".work"), "work 2", true), TReplaceResult::Saved);
    EXPECT_EQ(Save(dir.File(".home"), "home 2", true, &problem), TReplaceResult::BackupFailed);
    EXPECT_EQ(problem, FormatMessage(msg::kBackupExists, dir.File(".bak")) + msg::kSentenceEnd +
                           msg::kBackupNameShared);
    EXPECT_EQ(ReadFile(dir.File(".home")), "home");

    // A backup that is a hard link of the book itself (a save killed before its rename) is
    // the backup; a name of 255 bytes saves like any other.
    const std::string longName = dir.File(std::string(251, 'n') + ".csv");
    WriteFile(longName, "original");
    fs::create_hard_link(longName, BackupOf(longName));
    ASSERT_EQ(Save(longName, "converted", true), TReplaceResult::Saved);
    EXPECT_EQ(ReadFile(longName), "converted");
    EXPECT_EQ(ReadFile(BackupOf(longName)), "original");
    EXPECT_EQ(HiddenFiles(dir), 3); // .home, .work and .bak
}

TEST(FileReplace, ARefusedSaveInAStickyDirectoryLeavesNoBackup)
{
    TempDir dir;
    ::chmod(dir.Path().c_str(), 01777);
    const std::string book = dir.File("book.csv");
    WriteFile(book, "root's");
    ::chmod(book.c_str(), 0666);
    // Another user may write the book but not rename over it: refused before the backup.
    const int status = AsNobody([&] {
        const std::string message = MessageOf([&] { Save(book, "nobody's", true); });
        return message == std::string(msg::kIoAccessDenied) + msg::kSentenceEnd +
                              FormatMessage(msg::kOriginalKept, book)
                   ? 0
                   : 1;
    });
    if (status < 0)
        GTEST_SKIP() << "needs root to act as another user";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(book), "root's");
    EXPECT_FALSE(fs::exists(dir.File("book.bak")));
    EXPECT_EQ(HiddenFiles(dir), 0);
}

TEST(FileReplace, TheNextSaveRemovesWhatAKilledOneLeft)
{
    TempDir dir;
    const std::string book = dir.File("book.csv");
    WriteFile(book, "old");
    // Killed with its new file named, just before the rename; another name's is not ours.
    for (const char* target : {"book.csv", "other.csv"}) {
        const pid_t child = ::fork();
        if (child == 0) {
            Directory at = Directory::Open(dir.Path().string());
            NewFile file(at, target, 0600);
            file.Write([](int fd) { return WriteAll(fd, "abandoned"); });
            _exit(file.Link() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ASSERT_EQ(HiddenFiles(dir), 2);
    ASSERT_EQ(Save(book, "new"), TReplaceResult::Saved);
    EXPECT_EQ(HiddenFiles(dir), 1);
    EXPECT_EQ(ReadFile(book), "new");
}

} // namespace
} // namespace kompa::io
