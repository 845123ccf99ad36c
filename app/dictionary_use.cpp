#include "app/dictionary_use.h"

#include <QDateTime>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>

#include <filesystem>

#include "app/main_form.h"
#include "convui/conv_form.h"
#include "convui/conv_windows.h"
#include "engine/dictionary/data_dirs.h"
#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/office_dictionary.h"
#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "find/find_form.h"
#include "ui/busy_cursor.h"
#include "ui/error_display.h"
#include "ui/ui_text.h"

namespace kompa::ui {
namespace {

bool SameDirectory(const std::string& a, const std::string& b)
{
    std::error_code error;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, error);
}

// Closes the frame's dictionaries around change (a file held open cannot be replaced), then
// reads from wherever the pair is found now and reopens the ones that were open, and the office
// dictionary as the search window opens it. A failing change leaves the old directory in use.
template <class F> void ReopenAround(TMainForm& frame, F&& change)
{
    const bool addressOpen = frame.PostCode1.IsOpen();
    const bool codeOpen = frame.CodeAddress1.IsOpen();
    const bool officesWanted = frame.Offices.IsOpen() || FindForm != nullptr;
    frame.Offices.CloseDictionary();
    frame.CodeAddress1.CloseDictionary();
    frame.PostCode1.CloseDictionary();
    const auto reopen = [&] {
        if (ConvForm)
            ConvForm->SetDictionaryDir(frame.DictDir);
        if (addressOpen)
            frame.PostCode1.OpenDictionary(frame.DictDir + kAddressDictName);
        if (codeOpen)
            frame.CodeAddress1.OpenDictionary(frame.DictDir + kCodeDictName);
        const std::string officeDict = frame.DictDir + kOfficeDictName;
        if (officesWanted && io::FileExists(officeDict))
            frame.Offices.OpenDictionary(officeDict);
        if (FindForm)
            FindForm->UpdateOfficeControls();
    };
    try {
        change();
    } catch (...) {
        reopen();
        throw;
    }
    frame.DictDir = FindDictionaryDir();
    reopen();
}

// The number of offices of an office dictionary, or -1 when there is none to read.
int OfficeCountOf(const std::string& fileName)
{
    if (!io::FileExists(fileName))
        return -1;
    TOfficeDictionary offices;
    try {
        offices.OpenDictionary(fileName);
    } catch (const Exception&) {
        return -1;
    }
    return offices.IsOpen() ? offices.OfficeCount() : -1;
}

QLabel* AddLineBelow(QDialog& about, const char* name, const QString& text)
{
    const int width = about.width();
    auto* line = new QLabel(&about);
    line->setObjectName(QString::fromLatin1(name));
    line->setFont(GothicFont(10));
    line->setWordWrap(true);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    line->setText(text);
    line->setFixedWidth(width - 16);
    line->adjustSize();
    line->move(8, about.height() + 2);
    about.setFixedSize(width, about.height() + line->height() + 6);
    return line;
}

} // namespace

void OfferBuiltDictionaries(TMainForm& frame, const std::vector<TBuildSource>& sources,
                            const std::string& builtDir)
{
    const std::string userDir = UserDataDir();
    // Built over the dictionaries in use: they are read from next time they open, as before.
    if (userDir.empty() || SameDirectory(builtDir, frame.DictDir))
        return;
    if (SameDirectory(builtDir, userDir)) {
        ReopenAround(frame, [] {});
        return;
    }
    const bool agreed = frame.AskUseBuilt ? frame.AskUseBuilt(FromFileName(userDir))
                                          : AskUseBuiltByDefault(&frame, FromFileName(userDir));
    if (!agreed)
        return;
    BusyCursor busy;
    ReopenAround(frame, [&] { UpdateUserDictionaries(sources); });
}

bool AskUseBuiltByDefault(QWidget* parent, const QString& userDir)
{
    const QString text = QStringLiteral("作成した辞書をこれから使いますか？\n\n"
                                        "「はい」を選ぶと、同じファイルから %1 にも辞書を作成し、"
                                        "以後はそこから読み込みます。")
                             .arg(userDir);
    return QMessageBox::question(parent, QString::fromLatin1(kAppTitle), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

QString DictionaryDate(const std::string& dictDir)
{
    // The files record no date of their data: the newer file's time is when it was built.
    QDateTime newest;
    for (const char* name : {kAddressDictName, kCodeDictName}) {
        const QFileInfo file(FromFileName(dictDir + name));
        if (file.exists() && (!newest.isValid() || file.lastModified() > newest))
            newest = file.lastModified();
    }
    return newest.isValid() ? newest.toString(QStringLiteral("yyyy/MM/dd")) : QString();
}

void AddDictionaryLines(QDialog& about, const std::string& dictDir)
{
    const QString date = DictionaryDate(dictDir);
    AddLineBelow(about, "DictDirLabel",
                 QStringLiteral("辞書: ") + FromFileName(dictDir) +
                     QStringLiteral("\n辞書の日付: ") +
                     (date.isEmpty() ? QStringLiteral("(辞書がありません)") : date));
    const int offices = OfficeCountOf(dictDir + kOfficeDictName);
    AddLineBelow(about, "OfficeDictLabel",
                 QStringLiteral("事業所辞書: ") +
                     (offices < 0 ? QStringLiteral("なし")
                                  : QString::number(offices) + QStringLiteral("件")));
}

} // namespace kompa::ui
