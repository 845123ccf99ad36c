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
#include "engine/data_dirs.h"
#include "engine/dictionary.h"
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
// reads from wherever the pair is found now and reopens the ones that were open. A failing
// change leaves the old directory in use.
template <class F> void ReopenAround(TMainForm& frame, F&& change)
{
    const bool addressOpen = frame.PostCode1.IsOpen();
    const bool codeOpen = frame.CodeAddress1.IsOpen();
    frame.CodeAddress1.CloseDictionary();
    frame.PostCode1.CloseDictionary();
    const auto reopen = [&] {
        if (ConvForm)
            ConvForm->SetDictionaryDir(frame.DictDir);
        if (addressOpen)
            frame.PostCode1.OpenDictionary(frame.DictDir + kAddressDictName);
        if (codeOpen)
            frame.CodeAddress1.OpenDictionary(frame.DictDir + kCodeDictName);
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

} // namespace

void OfferBuiltDictionaries(TMainForm& frame, const std::string& source,
                            const std::string& builtDir)
{
    const std::string userDir = UserDataDir();
    // Built over the pair in use: it is read from next time it opens, as before.
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
    ReopenAround(frame, [&] { UpdateUserDictionaries(source); });
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

void AddDictionaryDirLine(QDialog& about, const std::string& dictDir)
{
    const int width = about.width();
    auto* line = new QLabel(&about);
    line->setObjectName(QStringLiteral("DictDirLabel"));
    line->setFont(GothicFont(10));
    line->setWordWrap(true);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QString text = QStringLiteral("辞書: ") + FromFileName(dictDir);
    const QString date = DictionaryDate(dictDir);
    text += QStringLiteral("\n辞書の日付: ") +
            (date.isEmpty() ? QStringLiteral("(辞書がありません)") : date);
    line->setText(text);
    line->setFixedWidth(width - 16);
    line->adjustSize();
    line->move(8, about.height() + 2);
    about.setFixedSize(width, about.height() + line->height() + 6);
}

} // namespace kompa::ui
