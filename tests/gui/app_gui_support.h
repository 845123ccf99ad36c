#pragma once
// Shared by the window tests: a small ministry file and the dictionaries built from it, and a
// capture of the error display.

#include <QStringList>

#include <string>

#include "engine/dictionary/dictionary.h"
#include "support/test_support.h"
#include "ui/error_display.h"

namespace kompa::test {

// Five records over four blocks of each dictionary.
inline std::string SmallMinistryFile()
{
    auto row = [](const char* code, const char* ken, const char* city, const char* town) {
        return std::string("13101,\"100  \",\"") + code + "\",\"x\",\"x\",\"x\",\"" + ken +
               "\",\"" + city + "\",\"" + town + "\",0,0,0,0,0,0\r\n";
    };
    return Sjis(row("1000001", "東京都", "千代田区", "千代田") +
                row("1000005", "東京都", "千代田区", "丸の内") +
                row("1000006", "東京都", "千代田区", "有楽町") +
                row("5400002", "大阪府", "大阪市中央区", "大阪城") +
                row("0600000", "北海道", "札幌市中央区", "以下に掲載がない場合"));
}

// Writes the small ministry file as dir/KEN.CSV and both dictionaries next to it.
inline void BuildSmallDictionaries(const TempDir& dir)
{
    WriteFile(dir.File("KEN.CSV"), SmallMinistryFile());
    test::BuildPair(dir.File("KEN.CSV"), dir.Path().string());
}

inline std::string DirName(const TempDir& dir)
{
    return dir.Path().string() + "/";
}

// Collects what the error display would show, for the life of the object.
class ErrorCapture {
public:
    ErrorCapture()
    {
        previous_ = ui::SetErrorSink([this](const QString& text) { shown.append(text); });
    }
    ~ErrorCapture() { ui::SetErrorSink(std::move(previous_)); }
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    QStringList shown;

private:
    ui::ErrorSink previous_;
};

} // namespace kompa::test
