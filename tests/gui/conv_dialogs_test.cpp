// The conversion dialogs on their own: the settings' derived values and reset, the field
// dialog's click rules and preview, and the results of the result and error dialogs.

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "conv/book_lines.h"
#include "conv/csv_fields.h"
#include "tests/gui/conv_test_fixture.h"
#include "ui/help.h"
#include "ui/ui_text.h"

using kompa::TCharSet;
using kompa::test::Sjis;
using kompa::ui::FromSjis;

namespace {

TCharSet Bytes(std::initializer_list<unsigned char> bytes)
{
    TCharSet set;
    for (unsigned char b : bytes)
        set.Add(b);
    return set;
}

TCharSet ReadSet()
{
    TCharSet set;
    OptForm->GetReadDelimiters(set);
    return set;
}

TCharSet QuoteSet()
{
    TCharSet set;
    OptForm->GetQuoteTargets(set);
    return set;
}

QString Heading(int col)
{
    const QTableWidgetItem* item = FldForm->StringGrid1->item(0, col);
    return item ? item->text() : QString();
}

// Shift-JIS lines held as the conversion pass holds a file's lines.
kompa::TBookLines Preview(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    kompa::TBookLines book;
    book.SetBytes(text, kompa::TEncodingChoice::ShiftJis);
    return book;
}

QString Cell(int row, int col)
{
    const QTableWidgetItem* item = FldForm->StringGrid1->item(row, col);
    return item ? item->text() : QString();
}

void ClickHeading(int col, Qt::MouseButton button)
{
    QTableWidget* grid = FldForm->StringGrid1;
    const QRect cell = grid->visualRect(grid->model()->index(0, col));
    QTest::mouseClick(grid->viewport(), button, {}, cell.center());
}

void ClickCell(int row, int col, Qt::MouseButton button)
{
    QTableWidget* grid = FldForm->StringGrid1;
    const QRect cell = grid->visualRect(grid->model()->index(row, col));
    QTest::mouseClick(grid->viewport(), button, {}, cell.center());
}

// Types text as key presses carrying it (QTest's own typing takes Latin-1 only).
void Type(QWidget* widget, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

// Runs the dialog modally and acts on it once it is up.
int ExecWith(QDialog* dialog, std::function<void()> action)
{
    QTimer::singleShot(0, dialog, [dialog, action = std::move(action)] {
        action();
        // A check that failed inside must not leave the dialog up.
        if (dialog->isVisible())
            dialog->done(-1);
    });
    return dialog->exec();
}

} // namespace

class ConvDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { convtest::CreateDialogs(); }
    void init() { OptForm->Button1Click(); }

    void settingsDefaults()
    {
        QCOMPARE(OptForm->windowTitle(), QStringLiteral("CSVの詳細設定"));
        QVERIFY(!OptForm->edRSep->isEnabled());
        QVERIFY(!OptForm->edWSep->isEnabled());
        QVERIFY(!OptForm->wcbSep->isEnabled() && OptForm->wcbSep->isChecked());
        QVERIFY(!OptForm->wcbQuote->isEnabled() && OptForm->wcbQuote->isChecked());
        QCOMPARE(OptForm->wcbQuote->text(), QStringLiteral("囲み文字(\")"));
        QCOMPARE(OptForm->Button1->text(), QStringLiteral("標準値に戻す"));
        // Read: every control code plus the comma; quote: control codes plus the blank.
        QCOMPARE(ReadSet(), TCharSet::ControlCodes() | Bytes({','}));
        QCOMPARE(QuoteSet(), TCharSet::ControlCodes() | Bytes({' '}));
        QCOMPARE(OptForm->GetWriteDelimiter(), ',');
    }

    void readDelimiters()
    {
        for (QCheckBox* box : {OptForm->rcbComma, OptForm->rcbTAb, OptForm->rcbBlank,
                               OptForm->rcbOther, OptForm->rcbDs})
            box->setChecked(false);
        QVERIFY(ReadSet().IsEmpty());

        // A user delimiter counts only once it is typed.
        OptForm->rcbDs->setChecked(true);
        QVERIFY(OptForm->edRSep->isEnabled());
        QVERIFY(ReadSet().IsEmpty());
        OptForm->edRSep->setText(QStringLiteral("|"));
        QCOMPARE(ReadSet(), Bytes({'|'}));
        OptForm->rcbDs->setChecked(false);
        QVERIFY(!OptForm->edRSep->isEnabled());
        QVERIFY(ReadSet().IsEmpty());

        // TAB is a control code: it splits while rcbOther is checked, whatever rcbTAb says.
        OptForm->rcbOther->setChecked(true);
        QVERIFY(ReadSet().Contains('\t'));
        OptForm->rcbBlank->setChecked(true);
        QVERIFY(ReadSet().Contains(' '));
        QVERIFY(!ReadSet().Contains('"'));
    }

    void writeDelimiterFillsEmptyEdit()
    {
        OptForm->SetRgSepIndex(3);
        QVERIFY(OptForm->edWSep->isEnabled());
        QCOMPARE(OptForm->GetWriteDelimiter(), ',');
        QCOMPARE(OptForm->edWSep->text(), QStringLiteral(","));
        OptForm->edWSep->setText(QStringLiteral(";"));
        QCOMPARE(OptForm->GetWriteDelimiter(), ';');

        OptForm->Button1Click();
        OptForm->SetRgSepIndex(1);
        QVERIFY(!OptForm->edWSep->isEnabled());
        QCOMPARE(OptForm->GetWriteDelimiter(), '\t');
        QCOMPARE(OptForm->edWSep->text(), QStringLiteral(","));
        OptForm->SetRgSepIndex(2);
        QCOMPARE(OptForm->GetWriteDelimiter(), ' ');
    }

    void quoteTargets()
    {
        OptForm->wcbAll->setChecked(true);
        QVERIFY(QuoteSet().IsFull());
        OptForm->wcbAll->setChecked(false);
        for (QCheckBox* box : {OptForm->wcbTab, OptForm->wcbBlank, OptForm->wcbOther})
            box->setChecked(false);
        QVERIFY(QuoteSet().IsEmpty());
        OptForm->wcbTab->setChecked(true);
        QCOMPARE(QuoteSet(), Bytes({'\t'}));
    }

    void resetRestoresEveryDefault()
    {
        for (QCheckBox* box : OptForm->findChildren<QCheckBox*>())
            box->setChecked(!box->isChecked());
        OptForm->edRSep->setText(QStringLiteral("x"));
        OptForm->SetRgSepIndex(3);
        OptForm->edWSep->setText(QStringLiteral("y"));
        OptForm->Button1Click();

        const kompa::TCsvDialect defaults;
        const kompa::TCsvDialect now = OptForm->Dialect();
        QCOMPARE(now.rcbComma, defaults.rcbComma);
        QCOMPARE(now.rcbTAb, defaults.rcbTAb);
        QCOMPARE(now.rcbBlank, defaults.rcbBlank);
        QCOMPARE(now.rcbOther, defaults.rcbOther);
        QCOMPARE(now.rcbDs, defaults.rcbDs);
        QCOMPARE(now.rgSep, 0);
        QCOMPARE(now.wcbTab, defaults.wcbTab);
        QCOMPARE(now.wcbBlank, defaults.wcbBlank);
        QCOMPARE(now.wcbOther, defaults.wcbOther);
        QCOMPARE(now.wcbAll, defaults.wcbAll);
        QVERIFY(OptForm->edRSep->text().isEmpty() && !OptForm->edRSep->isEnabled());
        QVERIFY(OptForm->edWSep->text().isEmpty() && !OptForm->edWSep->isEnabled());
        QVERIFY(OptForm->wcbSep->isChecked() && OptForm->wcbQuote->isChecked());
    }

    void oneByteEditsTakeOnlySingleByteCharacters()
    {
        OptForm->rcbDs->setChecked(true);
        QLineEdit* edit = OptForm->edRSep;
        QCOMPARE(edit->maxLength(), 1);
        edit->clear();
        Type(edit, QStringLiteral("あ"));
        QVERIFY(edit->text().isEmpty());
        Type(edit, QStringLiteral("ｱ")); // half-width katakana: one byte
        QCOMPARE(edit->text(), QStringLiteral("ｱ"));
        QCOMPARE(ReadSet(), TCharSet::ControlCodes() | Bytes({',', 0xB1}));
        edit->clear();
        Type(edit, QStringLiteral("|;"));
        QCOMPARE(edit->text(), QStringLiteral("|"));
    }

    void settingsHelpOpensTheConversionTopic()
    {
        kompa::ui::SetHelpFile(QStringLiteral("KOMPA.HLP"));
        convtest::ErrorCapture errors;
        OptForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(OptForm));
        OptForm->BitBtn3->click();
        QCOMPARE(errors.texts, QStringList());
        QTextBrowser* viewer = kompa::ui::HelpViewer();
        QVERIFY(viewer && viewer->isVisible());
        viewer->close();
        QTRY_VERIFY(!kompa::ui::HelpViewer());
        // The help key opens the same topic.
        OptForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(OptForm));
        QTest::keyClick(OptForm, Qt::Key_F1);
        QTRY_VERIFY(kompa::ui::HelpViewer());
        kompa::ui::HelpViewer()->close();
        OptForm->hide();
    }

    void helpOverTheModalSettingsIsUsableAndClosesWithEscape()
    {
        kompa::ui::SetHelpFile(QStringLiteral("KOMPA.HLP"));
        int scrolled = -1;
        bool closed = false;
        ExecWith(OptForm, [&] {
            OptForm->BitBtn3->click();
            QTextBrowser* viewer = kompa::ui::HelpViewer();
            viewer->activateWindow();
            (void)QTest::qWaitForWindowActive(viewer); // the click below tells the outcome
            // A click in the scroll bar's track, as the window system delivers it: a window
            // blocked by the modal dialog would drop it.
            QScrollBar* bar = viewer->verticalScrollBar();
            bar->setValue(0);
            const QPoint track = bar->mapTo(viewer, QPoint(bar->width() / 2, bar->height() - 30));
            QTest::mouseClick(viewer->windowHandle(), Qt::LeftButton, {}, track);
            scrolled = bar->value();
            QTest::keyClick(viewer, Qt::Key_Escape);
            closed = !viewer->isVisible();
            OptForm->accept();
        });
        QVERIFY(scrolled > 0);
        QVERIFY(closed);
    }

    void fieldDialogStartsWithNothingChosen()
    {
        QCOMPARE(FldForm->windowTitle(), QStringLiteral("フィールド指定"));
        QCOMPARE(FldForm->FPostCol, -1);
        QCOMPARE(FldForm->FAddrCol, -1);
        QCOMPARE(FldForm->FOfficeCol, -1);
        QCOMPARE(FldForm->StringGrid1->columnCount(), 10);
        QVERIFY(FldForm->StringGrid1->rowCount() >= 4);
        QCOMPARE(Heading(0), QString()); // no label reads as a choice already made
        QCOMPARE(Heading(1), QString());
        QVERIFY(!FldForm->BitBtn1->isEnabled());
        QVERIFY(!FldForm->cbHeading->isChecked());
        // The check box and the key hint lie below everything else.
        FldForm->layout()->activate();
        QVERIFY(FldForm->cbHeading->geometry().top() >= FldForm->StringGrid1->geometry().bottom());
    }

    void fieldDialogClickRules()
    {
        FldForm->show();
        const kompa::TBookLines lines = Preview({Sjis("a,b,c,d")});
        FldForm->FillPreview(lines, Bytes({','}));

        // A data cell changes nothing; a middle click names the optional company column, which
        // OK does not need.
        ClickCell(1, 2, Qt::LeftButton);
        ClickHeading(3, Qt::MiddleButton);
        QCOMPARE(FldForm->FPostCol, -1);
        QCOMPARE(FldForm->FOfficeCol, 3);
        QCOMPARE(Heading(3), QStringLiteral("事業所名"));
        QVERIFY(!FldForm->BitBtn1->isEnabled());

        ClickHeading(2, Qt::LeftButton);
        QCOMPARE(FldForm->FPostCol, 2);
        QCOMPARE(Heading(2), QStringLiteral("郵便番号"));
        QVERIFY(!FldForm->BitBtn1->isEnabled()); // the address is still to be named

        // The same column for both: the address label wins and OK is refused.
        ClickHeading(2, Qt::RightButton);
        QCOMPARE(FldForm->FAddrCol, 2);
        QCOMPARE(Heading(2), QStringLiteral("住所"));
        QVERIFY(!FldForm->BitBtn1->isEnabled());

        // A column is one part: the code's takes it from the company's, which the company's
        // cannot take back.
        ClickHeading(3, Qt::LeftButton);
        QCOMPARE(FldForm->FOfficeCol, -1);
        ClickHeading(3, Qt::MiddleButton);
        QCOMPARE(FldForm->FOfficeCol, -1);
        QCOMPARE(Heading(2), QStringLiteral("住所"));
        QCOMPARE(Heading(3), QStringLiteral("郵便番号"));
        QVERIFY(FldForm->BitBtn1->isEnabled());

        // The choice survives the next file, even beyond its field count.
        FldForm->FillPreview(Preview({Sjis("x,y")}), Bytes({','}));
        QCOMPARE(FldForm->FPostCol, 3);
        QCOMPARE(FldForm->FAddrCol, 2);
        QVERIFY(FldForm->BitBtn1->isEnabled());
        FldForm->FillPreview(lines, Bytes({','}));
        QCOMPARE(Heading(3), QStringLiteral("郵便番号"));

        // Dragging a heading's border widens the column and chooses nothing.
        QTableWidget* grid = FldForm->StringGrid1;
        const int width = grid->columnWidth(0);
        const QPoint border(grid->columnViewportPosition(0) + width,
                            grid->rowViewportPosition(0) + 5);
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, border);
        QTest::mouseMove(grid->viewport(), border + QPoint(40, 0));
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, border + QPoint(40, 0));
        QCOMPARE(grid->columnWidth(0), width + 40);
        QCOMPARE(FldForm->FPostCol, 3);
        FldForm->hide();
    }

    void fieldDialogAtTheKeyboard()
    {
        FldForm->FPostCol = FldForm->FAddrCol = -1;
        FldForm->FillPreview(Preview({Sjis("a,b,c,d")}), Bytes({','}));
        const int result = ExecWith(FldForm, [] {
            QTableWidget* grid = FldForm->StringGrid1;
            QCOMPARE(FldForm->focusWidget(), grid); // the first focus, every showing
            QCOMPARE(grid->currentColumn(), 0);
            QTest::keyClick(grid, Qt::Key_Return); // nothing named yet: refused
            QVERIFY(FldForm->isVisible());
            QTest::keyClick(grid, Qt::Key_Right);
            QTest::keyClick(grid, Qt::Key_P);
            QTest::keyClick(grid, Qt::Key_Right);
            QTest::keyClick(grid, Qt::Key_2);
            QCOMPARE(Heading(1), QStringLiteral("郵便番号"));
            QCOMPARE(Heading(2), QStringLiteral("住所"));
            // O names the company column, and the same key again takes it back.
            QTest::keyClick(grid, Qt::Key_Right);
            QTest::keyClick(grid, Qt::Key_O);
            QCOMPARE(Heading(3), QStringLiteral("事業所名"));
            QTest::keyClick(grid, Qt::Key_O);
            QCOMPARE(Heading(3), QString());
            QTest::keyClick(grid, Qt::Key_3);
            QTest::keyClick(grid, Qt::Key_Return);
        });
        QCOMPARE(result, int(kompa::mrOk));
        QCOMPARE(FldForm->FPostCol, 1);
        QCOMPARE(FldForm->FAddrCol, 2);
        QCOMPARE(FldForm->FOfficeCol, 3);
        FldForm->FOfficeCol = -1;
    }

    void fieldDialogNamesColumnsByAHeading()
    {
        // The heading names every column and is no record; the chosen columns show their part
        // with the name beside; the columns named 郵便番号/〒 and 住所 are preselected.
        FldForm->FPostCol = FldForm->FAddrCol = -1;
        const kompa::TBookLines lines =
            Preview({Sjis("氏名,〒,住所"), Sjis("山田,,東京都千代田区"), Sjis("鈴木,,x")});
        FldForm->FillPreview(lines, Bytes({','}), true);
        QVERIFY(FldForm->cbHeading->isChecked());
        FldForm->PreselectFromHeading(true);
        QCOMPARE(FldForm->FPostCol, 1);
        QCOMPARE(FldForm->FAddrCol, 2);
        QVERIFY(FldForm->BitBtn1->isEnabled());
        QCOMPARE(Heading(0), QStringLiteral("氏名"));
        QCOMPARE(Heading(1), QStringLiteral("郵便番号（〒）"));
        QCOMPARE(Heading(2), QStringLiteral("住所"));
        QCOMPARE(Cell(1, 0), QStringLiteral("山田"));
        QCOMPARE(Cell(2, 0), QStringLiteral("鈴木"));

        // Unchecked, the first line is a record again.
        FldForm->cbHeading->setChecked(false);
        QCOMPARE(Heading(0), QString());
        QCOMPARE(Cell(1, 0), QStringLiteral("氏名"));
    }

    void fieldPreview()
    {
        const kompa::TBookLines lines =
            Preview({Sjis("山田,\"1,2\",東京"), Sjis("a"), Sjis("p,q,r,s,t"), Sjis("u,v,w,x,y,z")});
        FldForm->FillPreview(lines, Bytes({','}));
        // As many records as fit, every field with a column.
        QCOMPARE(FldForm->StringGrid1->columnCount(), 6);
        QCOMPARE(Cell(1, 0), QStringLiteral("山田"));
        QCOMPARE(Cell(1, 1), QStringLiteral("1,2"));
        QCOMPARE(Cell(2, 0), QStringLiteral("a"));
        QCOMPARE(Cell(3, 4), QStringLiteral("t"));
        QCOMPARE(Cell(4, 5), QStringLiteral("z"));

        // A shorter file leaves no rows of the earlier one behind.
        FldForm->FillPreview(Preview({Sjis("z")}), Bytes({','}));
        QCOMPARE(FldForm->StringGrid1->columnCount(), 1);
        QCOMPARE(Cell(1, 0), QStringLiteral("z"));
        QCOMPARE(Cell(3, 0), QString());

        FldForm->FillPreview(Preview({std::string()}), Bytes({','}));
        QCOMPARE(FldForm->StringGrid1->columnCount(), 1);

        // A taller dialog shows more records.
        std::initializer_list<std::string> many = {"1", "2",  "3",  "4",  "5",  "6",  "7", "8",
                                                   "9", "10", "11", "12", "13", "14", "15"};
        FldForm->show();
        FldForm->resize(FldForm->width(), 200);
        FldForm->FillPreview(Preview(many), Bytes({','}));
        const int few = FldForm->StringGrid1->rowCount();
        FldForm->resize(FldForm->width(), 500);
        QApplication::processEvents();
        QVERIFY(FldForm->StringGrid1->rowCount() > few);
        QCOMPARE(Cell(few, 0), QString::number(few));
        FldForm->hide();
    }

    void fieldDialogResults()
    {
        QCOMPARE(ExecWith(FldForm, [] { FldForm->BitBtn2->click(); }), int(kompa::mrCancel));
        QCOMPARE(ExecWith(FldForm, [] { FldForm->close(); }), int(kompa::mrCancel));
        FldForm->BitBtn1->setEnabled(true);
        QCOMPARE(ExecWith(FldForm, [] { FldForm->BitBtn1->click(); }), int(kompa::mrOk));
    }

    void resultDialog()
    {
        QCOMPARE(RsltDlg->windowTitle(), QStringLiteral("変換終了"));
        RsltDlg->SetCounts(10, 2, 7, 1);
        QCOMPARE(RsltDlg->lblAll->text(), QStringLiteral("10"));
        QCOMPARE(RsltDlg->lblBlank->text(), QStringLiteral("2"));
        QCOMPARE(RsltDlg->lblConv->text(), QStringLiteral("7"));
        QCOMPARE(RsltDlg->lblSkip->text(), QStringLiteral("1"));
        QVERIFY(RsltDlg->lblAll->alignment() & Qt::AlignRight);
        QCOMPARE(RsltDlg->SpeedButton3->text(), QStringLiteral("結果を保存"));
        QCOMPARE(ExecWith(RsltDlg, [] { RsltDlg->SpeedButton3->click(); }), int(kompa::mrSave));
        QCOMPARE(ExecWith(RsltDlg, [] { RsltDlg->SpeedButton1->click(); }), int(kompa::mrContinue));
        QCOMPARE(ExecWith(RsltDlg, [] { RsltDlg->SpeedButton2->click(); }), int(kompa::mrDiscard));
        // Escape and the close box choose none of the three; 保存 is the default and has the
        // first focus, and Enter presses the focused button.
        QCOMPARE(ExecWith(RsltDlg, [] { RsltDlg->close(); }), int(kompa::mrCancel));
        QCOMPARE(ExecWith(RsltDlg, [] { QTest::keyClick(RsltDlg, Qt::Key_Escape); }),
                 int(kompa::mrCancel));
        bool focused = false;
        QCOMPARE(ExecWith(RsltDlg,
                          [&] {
                              focused = RsltDlg->focusWidget() == RsltDlg->SpeedButton3 &&
                                        RsltDlg->SpeedButton3->isDefault();
                              QTest::keyClick(RsltDlg->SpeedButton1, Qt::Key_Return);
                          }),
                 int(kompa::mrContinue));
        QVERIFY(focused);

        // The heading line's count stands beside the four, which do not move for it.
        const QPoint buttonAt = RsltDlg->SpeedButton2->pos();
        RsltDlg->SetHeadingCount(1);
        RsltDlg->show();
        QVERIFY(RsltDlg->lblHeading->isVisible());
        QCOMPARE(RsltDlg->lblHeading->text(), QStringLiteral("1"));
        QCOMPARE(RsltDlg->SpeedButton2->pos(), buttonAt);
        RsltDlg->SetHeadingCount(0);
        QVERIFY(!RsltDlg->lblHeading->isVisible());
        RsltDlg->hide();
    }

    void errorDialog()
    {
        QCOMPARE(ErrDlg->windowTitle(), QStringLiteral("エラー"));
        QCOMPARE(ErrDlg->BitBtn1->text(), QStringLiteral("中止"));
        QCOMPARE(ErrDlg->BitBtn2->text(), QStringLiteral("強行"));
        QCOMPARE(ErrDlg->findChild<QLabel*>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("処理を中止して、CSVオプションを設定して下さい。"));
        // Enter chooses the default button, "中止".
        QCOMPARE(ExecWith(ErrDlg, [] { QTest::keyClick(ErrDlg, Qt::Key_Return); }),
                 int(kompa::mrAbort));
        QCOMPARE(ExecWith(ErrDlg, [] { ErrDlg->BitBtn2->click(); }), int(kompa::mrIgnore));
        QCOMPARE(ExecWith(ErrDlg, [] { ErrDlg->close(); }), int(kompa::mrCancel));
    }
};

QTEST_MAIN(ConvDialogsTest)
#include "conv_dialogs_test.moc"
