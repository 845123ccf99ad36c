// The search window over a small dictionary: the code/address decision, the status line, the
// whole-file fallback, the prefecture check box, failures on closed dictionaries and the
// clipboard exchange.

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

#include <filesystem>
#include <memory>

#include "app/main_form.h"
#include "app_gui_support.h"
#include "engine/dictionary/office_build.h"
#include "find/find_form.h"
#include "ui/error_display.h"
#include "ui/list_box_items.h"

using namespace kompa::test;

namespace {

QStringList Lines(const QListWidget* list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines.append(list->item(i)->text());
    return lines;
}

QString Status(const QString& key, int count)
{
    return QStringLiteral("検索キー \"%1\" 候補数 %2").arg(key).arg(count);
}

} // namespace

class FindWindowTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempDir> dir;
    std::unique_ptr<ErrorCapture> errors;

    TFindForm* OpenFindForm(const std::string& programDir)
    {
        new TMainForm;
        MainForm->ProgramDir = programDir;
        MainForm->DictDir = programDir;
        MainForm->KF2Click();
        return FindForm;
    }

    void Search(const QString& text)
    {
        FindForm->Edit1->setText(text);
        QTest::keyClick(FindForm->Edit1, Qt::Key_Return);
    }

private slots:
    void init()
    {
        dir = std::make_unique<TempDir>();
        BuildSmallDictionaries(*dir);
        errors = std::make_unique<ErrorCapture>();
    }

    void cleanup()
    {
        delete MainForm;
        QVERIFY(!FindForm);
        errors.reset();
        dir.reset();
    }

    void searchKindAndStatusLine_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("lines");
        const QString chiyoda = QStringLiteral("1000001 千代田区千代田");
        const QString marunouchi = QStringLiteral("1000005 千代田区丸の内");
        const QString yurakucho = QStringLiteral("1000006 千代田区有楽町");
        QTest::newRow("full code") << "1000001"
                                   << "1000001" << QStringList{chiyoda};
        QTest::newRow("code prefix") << "100"
                                     << "100" << QStringList{chiyoda, marunouchi, yurakucho};
        QTest::newRow("long code cut to seven") << "1000001999"
                                                << "1000001" << QStringList{chiyoda};
        QTest::newRow("leading zero is a code")
            << "0600000"
            << "0600000" << QStringList{QStringLiteral("0600000 札幌市中央区以下に掲載がない場合")};
        QTest::newRow("code with hyphen") << "100-0001"
                                          << "1000001" << QStringList{chiyoda};
        QTest::newRow("code as written by hand")
            << QStringLiteral(" 〒１００－０００１　") << "1000001" << QStringList{chiyoda};
        QTest::newRow("full-width prefix")
            << QStringLiteral("１００") << "100" << QStringList{chiyoda, marunouchi, yurakucho};

        QTest::newRow("address") << QStringLiteral("千代田区丸の内")
                                 << QStringLiteral("千代田区丸の内") << QStringList{marunouchi};
        QTest::newRow("address with prefecture")
            << QStringLiteral("東京都千代田区") << QStringLiteral("東京都千代田区")
            << QStringList{chiyoda, marunouchi, yurakucho};
        // Not the start of any address: the whole-file search finds it inside one, and the
        // status line still shows the text as typed.
        QTest::newRow("whole-file fallback")
            << QStringLiteral("東京都丸の内") << QStringLiteral("東京都丸の内")
            << QStringList{marunouchi};
        QTest::newRow("empty") << QString() << QString() << QStringList{};
    }
    void searchKindAndStatusLine()
    {
        QFETCH(QString, typed);
        QFETCH(QString, key);
        QFETCH(QStringList, lines);
        OpenFindForm(DirName(*dir));
        Search(typed);
        QCOMPARE(Lines(FindForm->ListBox1), lines);
        QCOMPARE(FindForm->Label1->text(), Status(key, static_cast<int>(lines.size())));
        QCOMPARE(FindForm->Edit1->text(), typed); // Enter is used up, not typed
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(errors->shown, QStringList{});
    }

    void longKeyShortensButNeverTheCount()
    {
        OpenFindForm(DirName(*dir));
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        Search(QStringLiteral("東京都千代田区丸の内一丁目から三丁目までのとても長い住所"));
        const QString status = FindForm->Label1->text();
        QVERIFY(status.contains(QStringLiteral("…")));
        QVERIFY(status.endsWith(QStringLiteral("\" 候補数 ") +
                                QString::number(FindForm->ListBox1->count())));
        QVERIFY(FindForm->Label1->geometry().right() < FindForm->Panel1->width());
    }

    void onlyTheWholeFileSearchShowsTheHourglass()
    {
        OpenFindForm(DirName(*dir));
        bool busyWhileFilling = false;
        connect(FindForm->ListBox1->model(), &QAbstractItemModel::rowsInserted, this, [&] {
            const QCursor* cursor = QApplication::overrideCursor();
            busyWhileFilling = cursor && cursor->shape() == Qt::WaitCursor;
        });
        Search(QStringLiteral("千代田区"));
        QVERIFY(!busyWhileFilling);
        Search(QStringLiteral("東京都丸の内"));
        QVERIFY(busyWhileFilling);
        QVERIFY(!QApplication::overrideCursor());
    }

    void prefectureCheckBoxRepeatsTheSearch()
    {
        OpenFindForm(DirName(*dir));
        FindForm->chkKen->setChecked(true); // empty edit: no search
        QCOMPARE(FindForm->Label1->text(), QString());
        FindForm->chkKen->setChecked(false);

        Search(QStringLiteral("1000001"));
        FindForm->chkKen->setChecked(true);
        QCOMPARE(Lines(FindForm->ListBox1),
                 QStringList{QStringLiteral("1000001 東京都千代田区千代田")});
        Search(QStringLiteral("大阪市"));
        QCOMPARE(Lines(FindForm->ListBox1),
                 QStringList{QStringLiteral("5400002 大阪府大阪市中央区大阪城")});
        FindForm->chkKen->setChecked(false);
        QCOMPARE(Lines(FindForm->ListBox1),
                 QStringList{QStringLiteral("5400002 大阪市中央区大阪城")});
    }

    // A character with no Shift-JIS form reaches the engine as "?" and is shown as such.
    void unmappableCharacterBecomesQuestionMark()
    {
        OpenFindForm(DirName(*dir));
        Search(QStringLiteral("千代田区😀"));
        QVERIFY(FindForm->Label1->text().startsWith(QStringLiteral("検索キー \"千代田区?\"")));
    }

    void missingCodeDictionaryFailsCodeSearchesOnly()
    {
        std::filesystem::remove(dir->File(kompa::kCodeDictName));
        OpenFindForm(DirName(*dir));
        QCOMPARE(errors->shown, QStringList{}); // an absent code dictionary is no error
        Search(QStringLiteral("千代田区丸の内"));
        const QString before = FindForm->Label1->text();
        Search(QStringLiteral("1000001"));
        QCOMPARE(errors->shown, QStringList{QStringLiteral("辞書が設定されていません.")});
        QCOMPARE(FindForm->ListBox1->count(), 0);
        QCOMPARE(FindForm->Label1->text(), before);
    }

    void missingAddressDictionaryIsShownAndTheWindowStillOpens()
    {
        TempDir onlyCodes;
        std::filesystem::copy_file(dir->File(kompa::kCodeDictName),
                                   onlyCodes.File(kompa::kCodeDictName));
        const std::string programDir = DirName(onlyCodes);
        QVERIFY(OpenFindForm(programDir));
        const QString fileName = QString::fromStdString(programDir + kompa::kAddressDictName);
        QCOMPARE(errors->shown, QStringList{QStringLiteral("ﾌｧｲﾙ %1 は開けません.").arg(fileName)});
        // The failure left the opening before the code dictionary.
        QVERIFY(!MainForm->CodeAddress1.IsOpen());
        Search(QStringLiteral("千代田区"));
        QCOMPARE(errors->shown.size(), 2);
        QCOMPARE(errors->shown.last(), QStringLiteral("辞書が設定されていません."));
    }

    void dictionariesCloseWithTheWindowAndOpenWithTheNext()
    {
        OpenFindForm(DirName(*dir));
        QVERIFY(MainForm->PostCode1.IsOpen());
        QVERIFY(MainForm->CodeAddress1.IsOpen());
        FindForm->Close1Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!FindForm);
        QVERIFY(!MainForm->PostCode1.IsOpen());
        QVERIFY(!MainForm->CodeAddress1.IsOpen());
        MainForm->KF2Click();
        QVERIFY(FindForm);
        QVERIFY(MainForm->PostCode1.IsOpen());
        QVERIFY(MainForm->CodeAddress1.IsOpen());
        Search(QStringLiteral("1000005"));
        QCOMPARE(FindForm->ListBox1->count(), 1);
    }

    // Offices follow a code's addresses; their names are searched only with the check box, which
    // sits below the list and is usable only with an office dictionary.
    void officesInTheSearchWindow()
    {
        OpenFindForm(DirName(*dir));
        QVERIFY(!FindForm->chkOffice->isEnabled());
        delete MainForm;
        WriteFile(
            dir->File(kompa::kOfficeDictName),
            kompa::OfficeImage(Sjis("13101,\"\",\"株式会社　丸の内商事\",\"東京都\",\"千代田区\","
                                    "\"丸の内\",\"１－１\",\"1008799\",\"100  \",\"\",0,0,0\r\n")));
        OpenFindForm(DirName(*dir));
        QVERIFY(FindForm->chkOffice->isEnabled());
        QVERIFY(!FindForm->chkOffice->isChecked());
        // Below the list; the controls above keep their places.
        const QLayout* layout = FindForm->ListBox1->parentWidget()->layout();
        QVERIFY(layout->indexOf(FindForm->Panel2) > layout->indexOf(FindForm->ListBox1));
        QCOMPARE(FindForm->Panel1->height(), 61);
        QCOMPARE(FindForm->chkKen->geometry(), QRect(45, 35, 156, 17));
        const QString office =
            QStringLiteral("1008799 ［事業所］株式会社　丸の内商事 千代田区丸の内１－１");
        Search(QStringLiteral("100"));
        QCOMPARE(Lines(FindForm->ListBox1).last(), office);
        QCOMPARE(FindForm->Label1->text(), Status(QStringLiteral("100"), 4));
        Search(QStringLiteral("丸の内"));
        QCOMPARE(Lines(FindForm->ListBox1), QStringList{QStringLiteral("1000005 千代田区丸の内")});
        FindForm->chkOffice->setChecked(true); // searches again
        QCOMPARE(Lines(FindForm->ListBox1),
                 (QStringList{QStringLiteral("1000005 千代田区丸の内"), office}));
        QCOMPARE(FindForm->Label1->text(), Status(QStringLiteral("丸の内"), 2));
        QCOMPARE(errors->shown, QStringList{});
    }

    // Over the bundled dictionary: an address that leaves one code selects that code's line,
    // put first when the search did not list it; the search's lines and count stay.
    void preciseAnswerIsSelected_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("count"); // the status line's
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("line");
        QTest::newRow("大字 written, second line")
            << QStringLiteral("埼玉県児玉郡神川町大字中新里") << 21 << 21 << 1
            << QStringLiteral("3670231 児玉郡神川町中新里");
        QTest::newRow("not listed, put first") << QStringLiteral("東京都　千代田区千代田") << 0 << 1
                                               << 0 << QStringLiteral("1000001 千代田区千代田");
        QTest::newRow("undecided")
            << QStringLiteral("札幌市中央区北1条西3丁目") << 32 << 32 << -1 << QString();
        QTest::newRow("code query") << QStringLiteral("3670231") << 1 << 1 << -1 << QString();
    }
    void preciseAnswerIsSelected()
    {
        QFETCH(QString, typed);
        QFETCH(int, count);
        QFETCH(int, lines);
        QFETCH(int, row);
        QFETCH(QString, line);
        OpenFindForm(KOMPA_BIN_DIR "/");
        Search(typed);
        QListWidget* list = FindForm->ListBox1;
        QCOMPARE(FindForm->Label1->text(), Status(typed, count));
        QCOMPARE(list->count(), lines);
        const QList<QListWidgetItem*> selected = list->selectedItems();
        QCOMPARE(selected.size(), row < 0 ? 0 : 1);
        if (row >= 0) {
            QCOMPARE(list->row(selected.first()), row);
            QCOMPARE(selected.first()->text(), line);
        }
        QCOMPARE(errors->shown, QStringList{});
    }

    void clipboardExchange()
    {
        OpenFindForm(DirName(*dir));
        TFindForm* form = FindForm;
        QVERIFY(form->Image1DragOver(form->ListBox1));
        QVERIFY(!form->Image1DragOver(form->Edit1));
        QVERIFY(!form->Image1DragOver(form->Image1));
        QVERIFY(form->Edit1DragOver(form->Image1));
        QVERIFY(!form->Edit1DragOver(form->ListBox1));

        Search(QStringLiteral("100"));
        form->ListBox1->setCurrentRow(1);
        form->Image1DragDrop();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("1000005 千代田区丸の内"));

        const QString status = form->Label1->text();
        form->Edit1->setText(QStringLiteral("something else"));
        form->Edit1DragDrop();
        QCOMPARE(form->Edit1->text(), QStringLiteral("1000005 千代田区丸の内"));
        QCOMPARE(form->Label1->text(), status); // a drop does not search
    }

    // Lines added inside an update bracket reach the list in one step; a bracket left open by
    // a failing query still delivers its lines and lets the list paint again.
    void listBoxItemsBracket()
    {
        QListWidget list;
        {
            kompa::ui::TListBoxItems items(&list);
            items.BeginUpdate();
            items.BeginUpdate();
            items.Add(Sjis("1000001 千代田区千代田"));
            items.EndUpdate();
            QCOMPARE(list.count(), 0);
            QCOMPARE(items.Count(), 1);
            QVERIFY(!list.updatesEnabled());
            items.EndUpdate();
            QCOMPARE(list.item(0)->text(), QStringLiteral("1000001 千代田区千代田"));
            QVERIFY(list.updatesEnabled());
            items.BeginUpdate();
            items.Clear();
            items.Add(Sjis("1000005 千代田区丸の内"));
        }
        QCOMPARE(Lines(&list), QStringList{QStringLiteral("1000005 千代田区丸の内")});
        QVERIFY(list.updatesEnabled());
    }

    // With no text on the clipboard the picture does not start a drag (a started drag would
    // block this test in its own event loop).
    void pictureRefusesToDragWithoutClipboardText()
    {
        OpenFindForm(DirName(*dir));
        QGuiApplication::clipboard()->clear();
        QWidget* picture = FindForm->Image1;
        QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(2, 2));
        QMouseEvent move(QEvent::MouseMove, QPointF(18, 18), picture->mapToGlobal(QPointF(18, 18)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(picture, &move);
        QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(18, 18));
        QCOMPARE(FindForm->Edit1->text(), QString());
    }
};

int main(int argc, char** argv)
{
    kompa::ui::TApplication application(argc, argv);
    FindWindowTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "find_window_test.moc"
