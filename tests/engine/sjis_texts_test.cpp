// The message header is made from UTF-8 at build time: its bytes must stay the ones users and
// scripts have always seen, and the tool that makes it must stop a text the windows would show
// differently from how it is written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/io/messages.h"
#include "support/test_support.h"

namespace kompa {
namespace {

TEST(SjisTexts, MessagesKeepTheirBytes)
{
    // Half-width kana, 、 and （） ; the bytes as the header held them when written by hand.
    EXPECT_STREQ(msg::kFileOpenError, "\xCC\xA7\xB2\xD9 %s \x82\xCD\x8A"
                                      "J\x82\xAF\x82\xDC\x82\xB9\x82\xF1");
    EXPECT_STREQ(msg::kSourceTooLarge, "\x83t\x83@\x83"
                                       "C\x83\x8B %s \x82\xCD\x91\xE5\x82\xAB\x82\xB7"
                                       "\x82\xAC\x82\xDC\x82\xB7\x81i256 MB \x82\xDC\x82\xC5\x81j");
    EXPECT_STREQ(msg::kBackupNameShared,
                 "\x96\xBC\x91O\x82\xAA\x81u.\x81v\x82\xC5\x8En\x82\xDC\x82\xE8\x81"
                 "A\x82\xD9\x82\xA9"
                 "\x82\xC9\x81u.\x81v\x82\xF0\x8A\xDC\x82\xDC\x82\xC8\x82\xA2\x83t\x83@\x83"
                 "C\x83\x8B"
                 "\x82\xCC\x83o\x83"
                 "b\x83N\x83"
                 "A\x83"
                 "b\x83v\x96\xBC\x82\xCD\x81"
                 "A\x82\xC7\x82"
                 "\xEA\x82\xE0 .bak \x82\xC5\x82\xB7");
    EXPECT_STREQ(msg::kSentenceEnd, "\x81\x42");
}

// Runs the tool on one template line; the made header, or "" when the tool refused it.
std::string Made(const std::string& line)
{
    test::TempDir dir;
    test::WriteFile(dir.File("t.h.in"), line + "\n");
    std::string command = std::string(KOMPA_SJIS_TEXTS) + " " + dir.File("t.h.in") + " " +
                          dir.File("t.h") + " 2>" + dir.File("err");
    if (std::system(command.c_str()) != 0) {
        EXPECT_NE(test::ReadFile(dir.File("err")).find("line 1"), std::string::npos) << line;
        return "";
    }
    return test::ReadFile(dir.File("t.h"));
}

TEST(SjisTexts, ToolRefusesTextsWithoutTheirOwnCp932Form)
{
    // ア is 83 41: the escape before the A must end there.
    EXPECT_NE(Made(R"(KOMPA_TEXT(kA, "1～ア1 \"x\\y\""))")
                  .find(R"(kA[] = "1\x81`\x83""A1 \x22x\x5Cy\x22";)"),
              std::string::npos);
    // 〜 reads back as ～ (split so that the escape ends before the 2)
    const char* const waveDash = "KOMPA_TEXT(kA, \"1\xE3\x80\x9C"
                                 "2\")";
    for (const char* bad : {"KOMPA_TEXT(kA, \"\xF0\x9F\x98\x80\")", // an emoji: no bytes at all
                            waveDash,
                            "KOMPA_TEXT(kA, \"\xE2\x88\x92\")", // − reads back as －
                            "KOMPA_TEXT(kA, \"a\\n\")", "KOMPA_TEXT(kA, 'a')"})
        EXPECT_EQ(Made(bad), "") << bad;
}

} // namespace
} // namespace kompa
