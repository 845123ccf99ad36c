#pragma once
// What the conversion window tests share: a small address dictionary built in a scratch
// directory, the four dialogs as the program creates them, and a window whose modal parts are
// scripted instead of shown.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "convui/conv_form.h"
#include "convui/conv_windows.h"
#include "convui/err_dlg.h"
#include "convui/fld_form.h"
#include "convui/modal_result.h"
#include "convui/opt_form.h"
#include "convui/rslt_dlg.h"
#include "engine/dictionary/dictionary.h"
#include "support/test_support.h"
#include "ui/error_display.h"

// The conversion dialogs the tests share, one of each as in the program.
inline TOptForm* OptForm = nullptr;
inline TFldForm* FldForm = nullptr;
inline TErrDlg* ErrDlg = nullptr;
inline TRsltDlg* RsltDlg = nullptr;

namespace convtest {

using kompa::test::Sjis;

struct Row {
    const char* code;
    const char* ken; // UTF-8
    const char* city;
    const char* town;
};

// Postal codes of the test dictionary. 千代田区 alone matches two towns; 新宿区歌舞伎町 and
// 千代田区霞が関 are found only through the shortened key; 大阪市北区天満 shortens to one town.
inline const std::initializer_list<Row> kRows = {
    {"1000001", "東京都", "千代田区", "千代田"},
    {"1000002", "東京都", "千代田区", "皇居外苑"},
    {"1600022", "東京都", "新宿区", "新宿"},
    {"1690073", "東京都", "新宿区", "百人町"},
    {"9800001", "宮城県", "仙台市青葉区", "桜ケ丘"},
    {"0600001", "北海道", "札幌市中央区", "北一条西"},
    {"5300001", "大阪府", "大阪市北区", "梅田"},
};

// "KOMPA.DIC" built from rows in a directory of its own.
class SmallDictionary {
public:
    explicit SmallDictionary(std::initializer_list<Row> rows = kRows)
    {
        std::string source;
        for (const Row& row : rows)
            source +=
                Sjis(std::string("13101,\"100  \",\"") + row.code + "\",\"x\",\"x\",\"x\",\"" +
                     row.ken + "\",\"" + row.city + "\",\"" + row.town + "\",0,0,0,0,0,0\r\n");
        kompa::test::WriteFile(dir.File("KEN_ALL.CSV"), source);
        kompa::test::BuildOne(dir.File("KEN_ALL.CSV"), dir.File("KOMPA.DIC"),
                              kompa::kAddressDictName);
    }
    std::string Dir() const { return dir.Path().string() + "/"; }

    kompa::test::TempDir dir;
};

// The dialogs live for the whole run, as in the program.
inline void CreateDialogs()
{
    if (!OptForm)
        OptForm = new TOptForm;
    if (!FldForm)
        FldForm = new TFldForm;
    if (!ErrDlg)
        ErrDlg = new TErrDlg;
    if (!RsltDlg)
        RsltDlg = new TRsltDlg;
}

inline TConvDialogs Dialogs()
{
    CreateDialogs();
    return {OptForm, FldForm, ErrDlg, RsltDlg};
}

// Errors the window would show, collected instead of shown.
class ErrorCapture {
public:
    ErrorCapture()
    {
        previous_ = kompa::ui::SetErrorSink([this](const QString& text) { texts << text; });
    }
    ~ErrorCapture() { kompa::ui::SetErrorSink(previous_); }
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    QStringList texts;

private:
    kompa::ui::ErrorSink previous_;
};

// A conversion window over a dictionary, with the file dialog, the modal dialogs and the
// warning boxes scripted. Each showing of a dialog takes the next answer queued for it; the
// field dialog's answer also sets the columns.
class ScriptedWindow {
public:
    ScriptedWindow(kompa::TPostCode& postCode, const std::string& dictDir)
        : form(new TConvForm(postCode, dictDir, Dialogs()))
    {
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        form->OpenDialog1 = [this] {
            shown << QStringLiteral("OpenDialog1");
            return fileName;
        };
        form->ShowModal = [this](QDialog* dialog) {
            shown << dialog->objectName();
            auto& queue = answers[dialog->objectName()];
            // Unanswered: the field dialog is cancelled, the results discarded.
            if (queue.empty())
                return dialog == FldForm   ? int(kompa::mrCancel)
                       : dialog == RsltDlg ? int(kompa::mrDiscard)
                                           : int(kompa::mrNone);
            std::function<int()> answer = queue.front();
            queue.pop_front();
            return answer();
        };
        form->AskWarning = [this](const QString& text) {
            warnings << text;
            if (warningAnswers.empty())
                return false;
            const bool ok = warningAnswers.front();
            warningAnswers.pop_front();
            return ok;
        };
    }

    void Answer(const char* dialog, int result)
    {
        answers[QLatin1String(dialog)].push_back([result] { return result; });
    }
    // OK in the field dialog with these columns.
    void Columns(int postCol, int addrCol, int officeCol = -1)
    {
        answers[QStringLiteral("FldForm")].push_back([postCol, addrCol, officeCol] {
            FldForm->FPostCol = postCol;
            FldForm->FAddrCol = addrCol;
            FldForm->FOfficeCol = officeCol;
            return int(kompa::mrOk);
        });
    }
    void Open(const std::string& file)
    {
        fileName = QString::fromStdString(file);
        form->KCSV2Click();
    }

    std::unique_ptr<TConvForm> form;
    QString fileName;
    QStringList shown;
    QStringList warnings;
    std::deque<bool> warningAnswers;
    std::map<QString, std::deque<std::function<int()>>> answers;
};

} // namespace convtest
