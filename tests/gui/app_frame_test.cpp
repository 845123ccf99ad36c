// The frame: menu merging, the window commands, the dictionary build through the file-dialog
// seam, the error display, the about dialog and help.

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenuBar>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <memory>

#include "app/about_dlg.h"
#include "app/command_line.h"
#include "app/dictionary_use.h"
#include "app/main_form.h"
#include "app_gui_support.h"
#include "convui/conv_form.h"
#include "convui/conv_windows.h"
#include "convui/fld_form.h"
#include "convui/modal_result.h"
#include "convui/opt_form.h"
#include "engine/dictionary/office_build.h"
#include "engine/dictionary/result_list.h"
#include "engine/io/errors.h"
#include "find/find_form.h"
#include "ui/error_display.h"
#include "ui/help.h"
#include "ui/mdi_child.h"
#include "ui/shadow_label.h"

using namespace kompa::test;
using kompa::ui::MenuGroup;

namespace {

QStringList BarCaptions()
{
    QStringList captions;
    for (const QAction* item : MainForm->menuBar()->actions())
        captions.append(item->text());
    return captions;
}

int FindWindows()
{
    int count = 0;
    for (QMdiSubWindow* child : MainForm->ClientArea()->subWindowList())
        count += qobject_cast<TFindForm*>(child) != nullptr;
    return count;
}

void ProcessClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class ThrowingObject : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            kompa::Raise(Sjis("範囲ﾁｪｯｸｴﾗｰ"));
        return QObject::event(e);
    }
};

} // namespace

class AppFrameTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempDir> dir;
    std::unique_ptr<ErrorCapture> errors;

private slots:
    void init()
    {
        dir = std::make_unique<TempDir>();
        BuildSmallDictionaries(*dir);
        errors = std::make_unique<ErrorCapture>();
        new TMainForm;
        MainForm->ProgramDir = DirName(*dir);
        MainForm->DictDir = DirName(*dir);
        MainForm->AskUseBuilt = [](const QString&) { return false; };
    }

    void cleanup()
    {
        delete MainForm;
        QVERIFY(!MainForm);
        errors.reset();
        dir.reset();
    }

    void programDirIsTheProgramsOwnDirectory()
    {
        delete MainForm;
        new TMainForm;
        const QString expected = QCoreApplication::applicationDirPath() + QLatin1Char('/');
        QCOMPARE(QString::fromStdString(MainForm->ProgramDir), expected);
        QCOMPARE(MainForm->windowTitle(), QStringLiteral("KOMPA"));
        QCOMPARE(MainForm->size(), QSize(481, 368));
    }

    void mergeReplacesTheGroupsAChildUses()
    {
        auto item = [this](const char* text, int group) {
            auto* action = new QAction(QString::fromLatin1(text), this);
            kompa::ui::SetMenuGroup(action, group);
            return action;
        };
        QAction* file = item("file", 0);
        QAction* window = item("window", 1);
        QAction* help = item("help", 9);
        QAction* childFile = item("child file", 0);
        QAction* childOptions = item("child options", 0);
        QAction* childHelp = item("child help", 9);
        using List = QList<QAction*>;
        QCOMPARE(
            kompa::ui::MergeMenuItems({file, window, help}, {childFile, childOptions, childHelp}),
            (List{childFile, childOptions, window, childHelp}));
        QCOMPARE(kompa::ui::MergeMenuItems({file, window, help}, {childHelp}),
                 (List{file, window, childHelp}));
        QCOMPARE(kompa::ui::MergeMenuItems({file, window, help}, {}), (List{file, window, help}));
    }

    void menuBarFollowsTheActiveChild()
    {
        const QStringList frameMenus{QStringLiteral("ファイル(&F)"),
                                     QStringLiteral("ウインドウ(&W)"),
                                     QStringLiteral("ヘルプ(&H)")};
        QCOMPARE(BarCaptions(), frameMenus);
        const QList<QAction*> frameItems = MainForm->menuBar()->actions();

        MainForm->KF2Click();
        const QList<QAction*> bar = MainForm->menuBar()->actions();
        QCOMPARE(bar.size(), 3);
        QCOMPARE(bar[0], FindForm->MenuItems()[0]); // the child's ファイル(&F)
        QCOMPARE(bar[1], frameItems[1]);            // the frame's ウインドウ(&W) stays
        QCOMPARE(bar[2], FindForm->MenuItems()[1]); // the child's ヘルプ(&H) command
        QCOMPARE(MenuGroup(bar[0]), 0);
        QCOMPARE(MenuGroup(bar[2]), 9);
        QVERIFY(!bar[2]->menu()); // a command on the bar, not a submenu

        MainForm->KQ1Click();
        ProcessClosedWindows();
        QCOMPARE(MainForm->menuBar()->actions(), frameItems);
    }

    void searchWindowCommandNeverMakesASecondWindow()
    {
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        MainForm->KF2Click();
        TFindForm* first = FindForm;
        first->showNormal();
        QTest::keyClick(first->Edit1, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(FindForm, first);
        QCOMPARE(FindWindows(), 1);
        QVERIFY(first->isMaximized());

        MainForm->KQ1Click();
        ProcessClosedWindows();
        QVERIFY(!FindForm);
        QVERIFY(!MainForm->PostCode1.IsOpen());
        QTest::keyClick(MainForm, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(FindForm);
        QCOMPARE(FindWindows(), 1);
        QVERIFY(MainForm->PostCode1.IsOpen());
        QVERIFY(MainForm->CodeAddress1.IsOpen());
    }

    void copyAndDeleteStayWithTheSelectionTheyAct()
    {
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        MainForm->KF2Click();
        QLineEdit* edit = FindForm->Edit1;
        edit->setFocus();
        edit->setText(QStringLiteral("千代田"));
        QClipboard* clipboard = QGuiApplication::clipboard();

        // Chosen text: Ctrl+C copies and Ctrl+Del deletes, as in an edit of its own.
        edit->setSelection(0, 2);
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("千代"));
        edit->setSelection(0, 2);
        QTest::keyClick(edit, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(edit->text().size() < 3);
        QVERIFY(!ConvForm);
        QVERIFY(FindForm);

        // A chosen line of a list: Ctrl+C copies it.
        edit->setText(QStringLiteral("1000001"));
        FindForm->SpeedButton1Click();
        QVERIFY(FindForm->ListBox1->count() > 0);
        FindForm->ListBox1->setFocus();
        FindForm->ListBox1->setCurrentRow(0);
        QTest::keyClick(FindForm->ListBox1, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), FindForm->ListBox1->item(0)->text());
        QVERIFY(!ConvForm);

        // Nothing chosen: the frame's commands, wherever the focus is.
        FindForm->ListBox1->clearSelection();
        QTest::keyClick(FindForm->ListBox1, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(ConvForm);
        FindForm->Edit1->setFocus();
        FindForm->Edit1->deselect();
        QTest::keyClick(FindForm->Edit1, Qt::Key_Delete, Qt::ControlModifier);
        ProcessClosedWindows();
        QVERIFY(!FindForm);
        QVERIFY(!ConvForm);
    }

    void tileStacksTheChildrenAcrossTheWholeClientArea()
    {
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        MainForm->KF2Click();
        MainForm->AddChild(
            new TConvForm(MainForm->PostCode1, MainForm->ProgramDir, MainForm->ConvDialogs()));
        MainForm->Tile1Click();
        const QRect client = MainForm->ClientArea()->viewport()->rect();
        const QRect search = FindForm->geometry();
        const QRect conv = ConvForm->geometry();
        QVERIFY(!FindForm->isMaximized());
        QVERIFY(!ConvForm->isMaximized());
        // Each as wide as the client area, one above the other, none outside it.
        QCOMPARE(search.width(), client.width());
        QCOMPARE(conv.width(), client.width());
        QVERIFY(client.contains(search));
        QVERIFY(client.contains(conv));
        QVERIFY(!search.intersects(conv));
        QCOMPARE(search.height() + conv.height(), client.height());
        // The active window goes on top.
        QCOMPARE(conv.top(), 0);
        // The conversion window keeps three candidate lines.
        QTRY_VERIFY(ConvForm->ListBox1->height() >= 3 * ConvForm->ListBox1->fontMetrics().height());

        // Cascaded: the front window (the active one) further right and down, both whole
        // inside the client area.
        MainForm->Cascade1Click();
        QVERIFY(client.contains(FindForm->geometry()));
        QVERIFY(client.contains(ConvForm->geometry()));
        QCOMPARE(FindForm->geometry().topLeft(), client.topLeft());
        QVERIFY(ConvForm->geometry().top() > FindForm->geometry().top());
        QVERIFY(ConvForm->geometry().left() > FindForm->geometry().left());
        QCOMPARE(MainForm->ClientArea()->activeSubWindow(), ConvForm);

        // Brought forward by its command, the search window takes the keyboard in its edit.
        MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        QTest::keyClick(MainForm, Qt::Key_F, Qt::ControlModifier);
        QTRY_COMPARE(QApplication::focusWidget(), FindForm->Edit1);
        QTest::keyClicks(QApplication::focusWidget(), "100");
        QCOMPARE(FindForm->Edit1->text(), QStringLiteral("100"));
    }

    void conversionDialogsGiveTheKeyboardBackToTheFrame()
    {
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        MainForm->AddChild(
            new TConvForm(MainForm->PostCode1, MainForm->ProgramDir, MainForm->ConvDialogs()));
        QDialog dialog; // like the conversion dialogs, owned by no window
        QTimer::singleShot(0, &dialog, [&] {
            QTRY_COMPARE(QApplication::activeWindow(), &dialog);
            dialog.accept();
        });
        QCOMPARE(ConvForm->ShowModal(&dialog), int(QDialog::Accepted));
        QTRY_COMPARE(QApplication::activeWindow(), MainForm);
    }

    void closingTheFrameAsksBeforeItClosesAnyChild()
    {
        MainForm->show();
        MainForm->KF2Click();
        MainForm->AddChild(
            new TConvForm(MainForm->PostCode1, MainForm->ProgramDir, MainForm->ConvDialogs()));
        TConvForm* conv = ConvForm;
        WriteFile(dir->File("book.csv"), Sjis(",架空市,1\r\n"));
        conv->OpenDialog1 = [this] { return QString::fromStdString(dir->File("book.csv")); };
        conv->ShowModal = [](QDialog*) { return int(kompa::mrOk); };
        QStringList asked;
        bool answer = false;
        conv->AskWarning = [&](const QString& text) {
            asked << text;
            return answer;
        };
        MainForm->ConvDialogs().fields->FPostCol = 0;
        MainForm->ConvDialogs().fields->FAddrCol = 1;
        conv->KCSV2Click();
        QVERIFY(conv->Pass().Waiting());

        // Cancel: every window stays, the search window with its dictionaries included.
        QVERIFY(!MainForm->close());
        ProcessClosedWindows();
        QVERIFY(MainForm->isVisible());
        QVERIFY(FindForm);
        QCOMPARE(ConvForm, conv);
        QVERIFY(MainForm->CodeAddress1.IsOpen());
        QCOMPARE(asked, QStringList{QStringLiteral("変換中のデータは破棄されます")});

        // OK: asked once, then everything closes.
        answer = true;
        QVERIFY(MainForm->close());
        ProcessClosedWindows();
        QCOMPARE(asked.size(), 2);
        QVERIFY(!FindForm);
        QVERIFY(!ConvForm);
    }

    void closeAllWithNoChildrenDoesNothing()
    {
        MainForm->KQ1Click();
        QVERIFY(MainForm->ClientArea()->subWindowList().isEmpty());
        QCOMPARE(errors->shown, QStringList{});
    }

    void buildWritesBothDictionariesNextToTheChosenFile()
    {
        TempDir elsewhere;
        WriteFile(elsewhere.File("ken_all.csv"), SmallMinistryFile());
        const std::string programDict = ReadFile(dir->File(kompa::kAddressDictName));
        MainForm->OpenDialog1 = [&] { return std::vector{elsewhere.File("ken_all.csv")}; };
        MainForm->K1Click();
        QCOMPARE(errors->shown, QStringList{});
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(ReadFile(elsewhere.File(kompa::kAddressDictName)).substr(0, 8),
                 std::string(kompa::kAddressMagic));
        QCOMPARE(ReadFile(elsewhere.File(kompa::kCodeDictName)).substr(0, 8),
                 std::string(kompa::kCodeMagic));
        QCOMPARE(ReadFile(dir->File(kompa::kAddressDictName)), programDict);
    }

    void cancelledBuildWritesNothing()
    {
        TempDir empty;
        MainForm->ProgramDir = DirName(empty);
        MainForm->OpenDialog1 = [] { return std::vector<std::string>(); };
        MainForm->K1Click();
        QVERIFY(std::filesystem::is_empty(empty.Path()));
    }

    void failedBuildIsShownAndStopsBeforeTheCodeDictionary()
    {
        TempDir elsewhere;
        WriteFile(elsewhere.File("bad.csv"),
                  Sjis("13101,\"100  \",\"1000001\",\"x\",\"x\",\"x\",\"東京府\",\"千代田区\","
                       "\"千代田\",0,0,0,0,0,0\r\n"));
        MainForm->OpenDialog1 = [&] { return std::vector{elsewhere.File("bad.csv")}; };
        // Through the menu item, as the user runs it.
        MainForm->findChild<QAction*>(QStringLiteral("K1"))->trigger();
        QCOMPARE(errors->shown, QStringList{QStringLiteral("1 行目: Ken NotFound.")});
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!std::filesystem::exists(elsewhere.File(kompa::kAddressDictName)));
        QVERIFY(!std::filesystem::exists(elsewhere.File(kompa::kCodeDictName)));
    }

    // A build elsewhere, taken up from then on: the pair goes into the user's directory and the
    // open dictionaries are read from there.
    void agreedBuildIsReadFromTheUserDirectory()
    {
        TempDir elsewhere, data;
        const QByteArray savedXdg = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.File("xdg")));
        const std::string userDir = data.File("xdg") + "/kompa/";
        WriteFile(elsewhere.File("new.csv"),
                  Sjis("13101,\"100  \",\"9990001\",\"x\",\"x\",\"x\",\"東京都\",\"千代田区\","
                       "\"千代田\",0,0,0,0,0,0\r\n"));
        MainForm->KF2Click();
        MainForm->OpenDialog1 = [&] { return std::vector{elsewhere.File("new.csv")}; };
        QStringList asked;
        bool answer = false;
        MainForm->AskUseBuilt = [&](const QString& where) {
            asked << where;
            return answer;
        };

        // Declined: nothing changes and nothing is made for the user.
        MainForm->K1Click();
        QCOMPARE(asked, QStringList{QString::fromStdString(userDir)});
        QCOMPARE(MainForm->DictDir, DirName(*dir));
        QVERIFY(!std::filesystem::exists(data.File("xdg")));

        // Built straight into the user's directory: read from at once, without a question.
        std::filesystem::create_directories(userDir);
        WriteFile(userDir + "new.csv", SmallMinistryFile());
        MainForm->OpenDialog1 = [&] { return std::vector{userDir + "new.csv"}; };
        MainForm->K1Click();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(MainForm->DictDir, userDir);
        QVERIFY(MainForm->PostCode1.IsOpen());

        // Agreed: the pair in use is replaced by one built from the chosen file.
        answer = true;
        MainForm->OpenDialog1 = [&] { return std::vector{elsewhere.File("new.csv")}; };
        MainForm->K1Click();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(errors->shown, QStringList{});
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(MainForm->DictDir, userDir);
        QCOMPARE(ReadFile(userDir + kompa::kCodeDictName),
                 ReadFile(elsewhere.File(kompa::kCodeDictName)));
        QVERIFY(MainForm->PostCode1.IsOpen());
        kompa::TStringResultList found;
        MainForm->CodeAddress1.Search("9990001", found, false);
        QCOMPARE(found.Count(), 1);
        qputenv("XDG_DATA_HOME", savedXdg);
    }

    void fileOnTheCommandLineOpensInTheConversionWindow()
    {
        MainForm->AddChild(
            new TConvForm(MainForm->PostCode1, MainForm->DictDir, MainForm->ConvDialogs()));
        WriteFile(dir->File("book.csv"), Sjis(",架空市,1\r\n"));
        QStringList shown;
        ConvForm->ShowModal = [&](QDialog* dialog) {
            shown << dialog->objectName();
            return int(kompa::mrCancel);
        };
        const std::string cwd = std::filesystem::current_path().string();
        std::filesystem::current_path(dir->Path());
        const kompa::ui::TCommandLine commandLine =
            kompa::ui::ReadCommandLine({QStringLiteral("kompa"), QStringLiteral("book.csv")});
        std::filesystem::current_path(cwd);
        QVERIFY(!commandLine.exitStatus);
        kompa::ui::OpenFileFromCommandLine(commandLine.fileName);
        QTRY_COMPARE(shown, QStringList{QStringLiteral("FldForm")});
        QCOMPARE(ConvForm->Pass().CsvFileName(), dir->File("book.csv"));
        QCOMPARE(errors->shown, QStringList{});
    }

    void exceptionsReachingTheEventLoopAreShown()
    {
        ThrowingObject target;
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(errors->shown, QStringList{QStringLiteral("範囲ﾁｪｯｸｴﾗｰ.")});
    }

    void exitClosesTheFrame()
    {
        MainForm->show();
        MainForm->KF2Click();
        MainForm->findChild<QAction*>(QStringLiteral("Exit1"))->trigger();
        QVERIFY(!MainForm->isVisible());
        ProcessClosedWindows();
        QVERIFY(!FindForm);
    }

    void aboutDialogShowsItsTextsAndTheDictionaries()
    {
        TAboutDlg about(MainForm);
        QCOMPARE(about.windowTitle(), QStringLiteral("バージョン情報"));
        auto* title = about.findChild<kompa::ui::TShadowLabel*>(QStringLiteral("ShadowLabel1"));
        QVERIFY(title);
        QCOMPARE(title->Caption(), QStringLiteral("Kompa"));
        for (const char* name : {"ShadowLabel2", "ShadowLabel3", "ShadowLabel4"}) {
            auto* label = about.findChild<kompa::ui::TShadowLabel*>(QString::fromLatin1(name));
            QVERIFY(label);
            QVERIFY(!label->Caption().isEmpty());
        }
        QVERIFY(about.findChild<QWidget*>(QStringLiteral("BitBtn1")));

        // Under the button: which dictionaries are in use, and of when.
        const std::string bin = KOMPA_BIN_DIR "/";
        kompa::ui::AddDictionaryLines(about, bin);
        const QString line = about.findChild<QLabel*>(QStringLiteral("DictDirLabel"))->text();
        QVERIFY(line.contains(QString::fromStdString(bin)));
        const QDateTime built = QFileInfo(QString::fromStdString(bin + "KOMPA.DIC")).lastModified();
        QVERIFY2(line.contains(built.toString(QStringLiteral("yyyy/MM/dd"))), qPrintable(line));
        QCOMPARE(kompa::ui::DictionaryDate(bin + "nowhere/"), QString());
    }

    void aboutDialogNamesTheDictionariesInUse()
    {
        for (const bool withOffices : {false, true}) {
            if (withOffices)
                WriteFile(dir->File(kompa::kOfficeDictName),
                          kompa::OfficeImage(
                              Sjis("13101,\"\",\"総務省\",\"東京都\",\"千代田区\",\"霞が関\",\"\","
                                   "\"1008926\",\"100  \",\"\",0,0,0\r\n")));
            TAboutDlg about(MainForm);
            kompa::ui::AddDictionaryLines(about, MainForm->DictDir);
            const auto* offices = about.findChild<QLabel*>(QStringLiteral("OfficeDictLabel"));
            QVERIFY(offices);
            QCOMPARE(offices->text(), withOffices ? QStringLiteral("事業所辞書: 1件")
                                                  : QStringLiteral("事業所辞書: なし"));
            QVERIFY(offices->geometry().bottom() < about.height());
        }
        std::filesystem::remove(dir->File(kompa::kOfficeDictName));
    }

    void helpOpensAtTheContextsTopics()
    {
        kompa::ui::SetHelpFile(QStringLiteral("KOMPA.HLP"));
        kompa::ui::ShowHelpContents();
        QTextBrowser* viewer = kompa::ui::HelpViewer();
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY(viewer->toPlainText().contains(QStringLiteral("辞書ファイルの作成")));
        for (int context : {kompa::ui::kHelpContextSearch, kompa::ui::kHelpContextConvert}) {
            kompa::ui::ShowHelpContext(context);
            QCOMPARE(kompa::ui::HelpViewer(), viewer); // one viewer
        }
        viewer->close();
        QCOMPARE(errors->shown, QStringList{});
    }
};

int main(int argc, char** argv)
{
    kompa::ui::TApplication application(argc, argv);
    AppFrameTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "app_frame_test.moc"
