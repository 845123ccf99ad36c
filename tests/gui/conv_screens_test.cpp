// The conversion window and its dialogs as the user sees them, on the bundled dictionary: no
// caption is squeezed below the room it needs. With KOMPA_SHOTS_DIR set
// (scripts/screenshots-conv.sh, under Xvfb) the scenes are set up inside the real frame and the
// screen is saved as PNGs.

#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>

#include "app/main_form.h"
#include "conv/book_lines.h"
#include "tests/gui/conv_test_fixture.h"

namespace {

// Controls whose width is below what their caption needs.
QStringList SqueezedControls(const QWidget* root)
{
    QStringList squeezed;
    const auto controls = root->findChildren<QWidget*>();
    for (const QWidget* control : controls) {
        if (!control->isVisible())
            continue;
        const auto* label = qobject_cast<const QLabel*>(control);
        const auto* button = qobject_cast<const QAbstractButton*>(control);
        if ((label && !label->text().isEmpty()) || (button && !button->text().isEmpty())) {
            if (control->width() < control->minimumSizeHint().width())
                squeezed << control->objectName();
        }
    }
    return squeezed;
}

void ClickHeading(int col, Qt::MouseButton button)
{
    QTableWidget* grid = FldForm->StringGrid1;
    const QRect cell = grid->visualRect(grid->model()->index(0, col));
    QTest::mouseClick(grid->viewport(), button, {}, cell.center());
}

} // namespace

class ConvScreensTest : public QObject {
    Q_OBJECT

private:
    QString shotsDir_ = qEnvironmentVariable("KOMPA_SHOTS_DIR");
    kompa::test::TempDir files_;

    bool Shooting() const { return !shotsDir_.isEmpty(); }
    void Shot(const QString& name)
    {
        if (!Shooting())
            return;
        QTest::qWait(300);
        QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(shotsDir_).filePath(name));
    }
    void Show(QWidget* window)
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(SqueezedControls(window), QStringList());
    }
    // The book in Shift-JIS with CR LF, or in UTF-8 with LF as a Linux editor saves it.
    std::string WriteBook(bool utf8 = false)
    {
        const std::string book = files_.File("address.csv");
        const std::string text = "山田 太郎,060-0000,札幌市中央区北1条西3丁目,011-111-2222\r\n"
                                 "鈴木花子,,新宿区新宿３－１,03-3333-4444\r\n"
                                 "佐藤　一,,仙台市青葉区桜ヶ丘２,022-555-6666\r\n";
        std::string utf8Text = text;
        std::erase(utf8Text, '\r');
        kompa::test::WriteFile(book, utf8 ? utf8Text : kompa::test::Sjis(text));
        return book;
    }

private slots:
    void initTestCase() { convtest::CreateDialogs(); }

    void conversionWindowWaiting() { WaitingScene(false, "conv-window-waiting.png"); }
    void conversionWindowWaitingOnAUtf8Book() { WaitingScene(true, "conv-window-utf8.png"); }

    void fieldDialogWithAFile()
    {
        kompa::TBookLines lines;
        lines.LoadFromFile(WriteBook(), kompa::TEncodingChoice::Auto);
        kompa::TCharSet delimiters;
        OptForm->GetReadDelimiters(delimiters);
        FldForm->FillPreview(lines, delimiters);
        Show(FldForm);
        ClickHeading(1, Qt::LeftButton);
        ClickHeading(2, Qt::RightButton);
        QVERIFY(FldForm->BitBtn1->isEnabled());
        Shot(QStringLiteral("conv-field-dialog.png"));
        FldForm->hide();
    }

    void fieldDialogWithAHeadingLine()
    {
        const std::string book = files_.File("heading.csv");
        kompa::test::WriteFile(book,
                               kompa::test::Sjis("氏名,郵便番号,住所,会社名\r\n"
                                                 "山田 太郎,100-0000,東京都千代田区,総務省\r\n"
                                                 "鈴木花子,,新宿区新宿３－１,\r\n"));
        kompa::TBookLines lines;
        lines.LoadFromFile(book, kompa::TEncodingChoice::Auto);
        kompa::TCharSet delimiters;
        OptForm->GetReadDelimiters(delimiters);
        FldForm->FillPreview(lines, delimiters, true);
        FldForm->PreselectFromHeading(true);
        Show(FldForm);
        FldForm->StringGrid1->setCurrentCell(0, 3);
        QTest::keyClick(FldForm->StringGrid1, Qt::Key_O); // the company column, optional
        QCOMPARE(FldForm->FOfficeCol, 3);
        QVERIFY(FldForm->BitBtn1->isEnabled());
        Shot(QStringLiteral("conv-field-dialog-heading.png"));
        FldForm->hide();
        FldForm->FOfficeCol = -1;
    }

private:
    void WaitingScene(bool utf8, const char* shotName)
    {
        const std::string book = WriteBook(utf8);
        std::unique_ptr<kompa::TPostCode> postCode;
        std::unique_ptr<convtest::ScriptedWindow> own;
        TConvForm* form = nullptr;
        if (Shooting()) {
            // The real frame over the bundled dictionary, as the program starts.
            new TMainForm;
            auto* window =
                new TConvForm(MainForm->PostCode1, MainForm->ProgramDir, convtest::Dialogs());
            MainForm->AddChild(window);
            MainForm->setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
            MainForm->show();
            form = window;
        } else {
            postCode = std::make_unique<kompa::TPostCode>();
            own = std::make_unique<convtest::ScriptedWindow>(*postCode, KOMPA_BIN_DIR "/");
            own->form->resize(800, 500);
            form = own->form.get();
        }
        form->OpenDialog1 = [&] { return QString::fromStdString(book); };
        form->ShowModal = [](QDialog* dialog) {
            if (dialog != FldForm)
                return int(kompa::mrDiscard);
            FldForm->FPostCol = 1;
            FldForm->FAddrCol = 2;
            return int(kompa::mrOk);
        };
        Show(Shooting() ? static_cast<QWidget*>(MainForm) : form);
        form->KCSV2Click();
        QVERIFY(form->Pass().Waiting());
        QVERIFY(form->ListBox1->count() > 1);
        QCOMPARE(SqueezedControls(form), QStringList());
        QCOMPARE(form->Edit2->text(), QStringLiteral("札幌市中央区北1条西3丁目"));
        QCOMPARE(form->PanelText(3),
                 utf8 ? QStringLiteral("UTF-8 LF") : QStringLiteral("Shift-JIS CRLF"));
        QCOMPARE(form->PanelText(4), QStringLiteral("同じ町名が市内に二つあります"));
        Shot(QLatin1String(shotName));
        if (Shooting()) {
            form->AskWarning = [](const QString&) { return true; };
            MainForm->close();
            delete MainForm;
        }
    }

private slots:
    void settingsDialog()
    {
        Show(OptForm);
        Shot(QStringLiteral("conv-settings-dialog.png"));
        OptForm->hide();
    }

    void resultDialog()
    {
        RsltDlg->SetCounts(1250, 12, 1201, 37);
        Show(RsltDlg);
        Shot(QStringLiteral("conv-result-dialog.png"));
        RsltDlg->hide();
        RsltDlg->SetHeadingCount(1);
        Show(RsltDlg);
        Shot(QStringLiteral("conv-result-dialog-heading.png"));
        RsltDlg->hide();
        RsltDlg->SetCodeCounts(1100, 101, 3, 0);
        Show(RsltDlg);
        Shot(QStringLiteral("conv-result-dialog-precise.png"));
        RsltDlg->hide();
        RsltDlg->SetHeadingCount(0);
        RsltDlg->HideCodeCounts();
    }

    void errorDialog()
    {
        Show(ErrDlg);
        Shot(QStringLiteral("conv-error-dialog.png"));
        ErrDlg->hide();
    }
};

QTEST_MAIN(ConvScreensTest)
#include "conv_screens_test.moc"
