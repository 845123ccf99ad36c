// Whole conversion passes through the window over small address books against a small
// dictionary (the bundled one for precise matching): automatic answers, waiting records and
// every way of answering them, the end of a pass (save, continue, discard), the close
// question, and the window's own safety rules.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <filesystem>

#include <sys/resource.h>

#include "tests/gui/conv_test_fixture.h"
#include "ui/help.h"
#include "ui/shadow_label.h"
#include "ui/ui_text.h"

using convtest::ScriptedWindow;
using kompa::mrAbort;
using kompa::mrCancel;
using kompa::mrContinue;
using kompa::mrDiscard;
using kompa::mrIgnore;
using kompa::mrSave;
using kompa::test::ReadFile;
using kompa::test::Sjis;
using kompa::test::WriteFile;

namespace {

// Shift-JIS lines, each ended by CR LF as the program writes them.
std::string Book(std::initializer_list<const char*> utf8Lines)
{
    std::string text;
    for (const char* line : utf8Lines)
        text += Sjis(line) + "\r\n";
    return text;
}

// Lowers the file-size limit of the process for its lifetime; writes beyond it fail.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
};

bool RecordButtonsEnabled(const TConvForm& form)
{
    return form.BtnOk->isEnabled() && form.btnSkip->isEnabled() && form.SpeedButton1->isEnabled() &&
           form.SpeedButton2->isEnabled();
}

bool RecordButtonsDisabled(const TConvForm& form)
{
    return !form.BtnOk->isEnabled() && !form.btnSkip->isEnabled() &&
           !form.SpeedButton1->isEnabled() && !form.SpeedButton2->isEnabled();
}

QStringList Items(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

} // namespace

class ConvFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<convtest::SmallDictionary> dictionary_;
    kompa::TPostCode postCode_;
    std::unique_ptr<kompa::test::TempDir> files_;
    std::string book_; // the address book of the test at hand

    // The window as it always behaved (literal mode): the caption shows the level, codes are
    // written as seven digits, a heading is only what the user names.
    std::unique_ptr<ScriptedWindow> Window()
    {
        auto window = std::make_unique<ScriptedWindow>(postCode_, dictionary_->Dir());
        window->form->SetPreciseMode(false);
        window->Columns(1, 2);
        return window;
    }
    // The window as it opens, over the bundled dictionary: precise matching needs the
    // ministry's lines that name a city alone.
    std::unique_ptr<ScriptedWindow> PreciseWindow()
    {
        auto window = std::make_unique<ScriptedWindow>(postCode_, KOMPA_BIN_DIR "/");
        window->Columns(1, 2);
        return window;
    }
    QString ExtraCount(const char* name) const
    {
        const auto* label = RsltDlg->findChild<QLabel*>(QLatin1String(name));
        return label && !label->isHidden() ? label->text() : QString();
    }
    void WriteBook(const std::string& bytes) { WriteFile(book_, bytes); }
    std::string Backup() const { return files_->File("book.bak"); }

private slots:
    void initTestCase()
    {
        convtest::CreateDialogs();
        dictionary_ = std::make_unique<convtest::SmallDictionary>();
    }
    void init()
    {
        files_ = std::make_unique<kompa::test::TempDir>();
        book_ = files_->File("book.csv");
        OptForm->Button1Click();
    }

    void startsIdle()
    {
        auto w = Window();
        TConvForm& f = *w->form;
        QCOMPARE(f.windowTitle(), QStringLiteral("一括変換"));
        QCOMPARE(f.PanelText(0), QStringLiteral("ファイル名"));
        QCOMPARE(f.PanelText(1), QStringLiteral("変換中データ"));
        QCOMPARE(f.PanelText(2), QStringLiteral("候補数"));
        QCOMPARE(f.PanelText(3), QString());
        QVERIFY(RecordButtonsDisabled(f));
        QVERIFY(f.Edit2->isReadOnly());
        QVERIFY(f.imgOK->isHidden());
        QCOMPARE(f.imgOK->Caption(), QStringLiteral("OK!"));

        // Two group-0 menus replace the frame's "ファイル", help replaces the frame's help.
        QStringList names;
        QList<int> groups;
        for (QAction* item : f.MenuItems()) {
            names << item->objectName();
            groups << kompa::ui::MenuGroup(item);
        }
        QCOMPARE(names, QStringList({"KF1", "KO1", "KH1"}));
        QCOMPARE(groups, QList<int>({0, 0, 9}));
        QVERIFY(f.K1->isCheckable() && !f.K1->isChecked());
        QVERIFY(f.KK1->isCheckable() && !f.KK1->isChecked());
        QCOMPARE(f.KCSV2->text(), QStringLiteral("ファイルを開く"));

        f.KCSV1Click();
        QCOMPARE(w->shown, QStringList({"OptForm"}));

        kompa::ui::SetHelpFile(QStringLiteral("KOMPA.HLP"));
        f.KH1->trigger();
        QTextBrowser* help = kompa::ui::HelpViewer();
        QVERIFY(help && help->isVisible());
        help->close();
    }

    void allAutomaticThenSave()
    {
        const std::string original =
            Book({"山田,,東京都千代田区千代田1-1,03", "鈴木,000-0000,仙台市青葉区桜ヶ丘２,022",
                  "佐藤,,,00", "\"田中 一\",,大阪市北区梅田3,06"});
        WriteBook(original);
        auto w = Window();
        w->Answer("RsltDlg", mrSave);
        w->Open(book_);

        QCOMPARE(w->shown, QStringList({"OpenDialog1", "FldForm", "RsltDlg"}));
        QCOMPARE(RsltDlg->lblAll->text(), QStringLiteral("4"));
        QCOMPARE(RsltDlg->lblBlank->text(), QStringLiteral("1"));
        QCOMPARE(RsltDlg->lblConv->text(), QStringLiteral("3"));
        QCOMPARE(RsltDlg->lblSkip->text(), QStringLiteral("0"));
        QCOMPARE(ReadFile(book_), Book({"山田,1000001,東京都千代田区千代田1-1,03",
                                        "鈴木,9800001,仙台市青葉区桜ヶ丘２,022", "佐藤,,,00",
                                        "\"田中 一\",5300001,大阪市北区梅田3,06"}));
        QCOMPARE(ReadFile(Backup()), original);

        // Back to idle: no pass, dictionary closed, progress at 0/0, no file name.
        QVERIFY(!w->form->Active());
        QVERIFY(!postCode_.IsOpen());
        QCOMPARE(w->form->PanelText(0), QString());
        QCOMPARE(w->form->PanelText(1), QStringLiteral("0/0"));
        QCOMPARE(w->form->windowTitle(), QStringLiteral("一括変換"));
        QVERIFY(RecordButtonsDisabled(*w->form));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void confirmationWaitsWithTheSingleCandidateChosen()
    {
        WriteBook(Book({"山田,111-1111,東京都千代田区千代田1-1,03", "鈴木,,新宿区新宿2,03"}));
        auto w = Window();
        TConvForm& f = *w->form;
        f.K1->setChecked(true);
        w->Answer("RsltDlg", mrSave);
        w->Open(book_);

        QVERIFY(f.Pass().Waiting());
        QCOMPARE(f.windowTitle(), QStringLiteral("1"));
        QCOMPARE(Items(f.ListBox1), QStringList({"1000001 千代田区千代田"}));
        QCOMPARE(f.ListBox1->currentRow(), 0);
        QCOMPARE(f.Edit1->text(), QStringLiteral("1000001"));
        QCOMPARE(f.Edit2->text(), QStringLiteral("東京都千代田区千代田1-1"));
        QCOMPARE(f.edKey->text(), QStringLiteral("千代田区千代田"));
        QCOMPARE(f.PanelText(0), QStringLiteral("book.csv"));
        QCOMPARE(f.PanelText(1), QStringLiteral("0/2"));
        QCOMPARE(f.PanelText(2), QStringLiteral("候補数 1"));
        QVERIFY(RecordButtonsEnabled(f));
        QVERIFY(QApplication::overrideCursor() == nullptr);

        QTest::mouseClick(f.BtnOk, Qt::LeftButton);
        QCOMPARE(f.PanelText(1), QStringLiteral("1/2"));
        QCOMPARE(f.Edit1->text(), QStringLiteral("1600022"));
        QTest::mouseClick(f.BtnOk, Qt::LeftButton);
        QCOMPARE(RsltDlg->lblConv->text(), QStringLiteral("2"));
        QCOMPARE(ReadFile(book_),
                 Book({"山田,1000001,東京都千代田区千代田1-1,03", "鈴木,1600022,新宿区新宿2,03"}));
    }

    void waitingRecords_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("candidates");
        QTest::addColumn<QString>("edit1");
        QTest::newRow("no candidate: the whole key, the record's own code")
            << "架空市1-2"
            << "3"
            << "架空市" << QStringList() << "123-4567";
        QTest::newRow("one candidate from the shortened key still waits")
            << "大阪市北区天満1"
            << "5"
            << "大阪市北区" << QStringList({"5300001 大阪市北区梅田"}) << "5300001";
        QTest::newRow("several candidates: nothing chosen")
            << "東京都千代田区"
            << "1"
            << "千代田区" << QStringList({"1000001 千代田区千代田", "1000002 千代田区皇居外苑"})
            << "123-4567";
    }
    void waitingRecords()
    {
        QFETCH(QString, address);
        WriteBook(Sjis("x,123-4567,") + kompa::ui::ToSjis(address) + "\r\n");
        auto w = Window();
        TConvForm& f = *w->form;
        w->Open(book_);
        QVERIFY(f.Pass().Waiting());
        QTEST(f.windowTitle(), "caption");
        QTEST(f.edKey->text(), "key");
        QTEST(Items(f.ListBox1), "candidates");
        QTEST(f.Edit1->text(), "edit1");
        QCOMPARE(f.PanelText(2), QStringLiteral("候補数 %1").arg(f.ListBox1->count()));
        QVERIFY(RecordButtonsEnabled(f));
    }

    void okNeverCutsACode()
    {
        WriteBook(
            Book({"a,999,千代田区,1", "b,999,千代田区,2", "c,999,千代田区,3", "d,,千代田区,4"}));
        auto w = Window();
        TConvForm& f = *w->form;
        w->Answer("RsltDlg", mrSave);
        w->Open(book_);
        f.Edit1->clear();
        f.BtnOkClick();
        // Other text is cut at seven bytes, but never inside a character.
        f.Edit1->setText(QStringLiteral("１２３４５６"));
        f.BtnOkClick();
        f.ListBox1->setCurrentRow(1);
        QCOMPARE(f.Edit1->text(), QStringLiteral("1000002"));
        f.Edit1->setText(QStringLiteral("12345678"));
        f.BtnOkClick();
        // A code in any written form is its seven digits.
        f.Edit1->setText(QStringLiteral("〒４７２－００１３"));
        f.BtnOkClick();
        QCOMPARE(ReadFile(book_), Book({"a,,千代田区,1", "b,１２３,千代田区,2",
                                        "c,1234567,千代田区,3", "d,4720013,千代田区,4"}));
        QCOMPARE(RsltDlg->lblConv->text(), QStringLiteral("4"));
    }

    void preciseModeKeepsTheCaptionAndTheBooksCodes()
    {
        // Two towns of the name in one city: each record waits with its reason. OK without
        // choosing a line keeps the present code byte for byte; a chosen or typed code takes
        // the record's form, and an empty field the book's.
        const char* address = "札幌市中央区大通西3丁目";
        const std::string original = Book({"a,472-0013,札幌市中央区大通西3丁目,1",
                                           "b,\"〒１００－０００９\",札幌市中央区大通西3丁目,2",
                                           "c,,札幌市中央区大通西3丁目,3"});
        WriteBook(original);
        QMdiArea frame; // goes after the window
        auto w = PreciseWindow();
        TConvForm& f = *w->form;
        QVERIFY(f.PreciseMatch->isChecked());
        w->Answer("RsltDlg", mrSave);
        w->Open(book_);
        QVERIFY(f.Pass().Waiting());
        QCOMPARE(f.windowTitle(), QStringLiteral("一括変換"));
        QCOMPARE(f.PanelText(4), QStringLiteral("同じ町名が市内に二つあります"));
        // Maximised in a frame of its first size, the window shows it in the format's place.
        frame.addSubWindow(&f);
        frame.resize(480, 360);
        f.showMaximized();
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QTRY_COMPARE(f.PanelText(3), QStringLiteral("同じ町名が市内に二つあります"));
        QCOMPARE(f.PanelText(4), QString());
        frame.resize(900, 360);
        QTRY_COMPARE(f.PanelText(4), QStringLiteral("同じ町名が市内に二つあります"));
        QCOMPARE(f.PanelText(3), QStringLiteral("Shift-JIS CRLF"));
        QCOMPARE(f.Edit1->text(), QStringLiteral("472-0013"));
        f.BtnOkClick();
        QCOMPARE(f.Edit2->text(), QString::fromUtf8(address));
        QCOMPARE(f.ListBox1->item(1)->text(), QStringLiteral("0640820 札幌市中央区大通西"));
        f.ListBox1->setCurrentRow(1);
        f.BtnOkClick();
        f.Edit1->setText(QStringLiteral("0600042"));
        f.BtnOkClick();
        QCOMPARE(ReadFile(book_), Book({"a,472-0013,札幌市中央区大通西3丁目,1",
                                        "b,〒０６４－０８２０,札幌市中央区大通西3丁目,2",
                                        "c,060-0042,札幌市中央区大通西3丁目,3"}));
        QCOMPARE(f.windowTitle(), QStringLiteral("一括変換"));
        QCOMPARE(f.PanelText(4), QString());
        // Beside the four: one code new, one replaced (a code the data does not hold), one
        // kept.
        QCOMPARE(ExtraCount("lblNew"), QStringLiteral("1"));
        QCOMPARE(ExtraCount("lblReplaced"), QStringLiteral("1"));
        QCOMPARE(ExtraCount("lblStale"), QStringLiteral("1"));
        QCOMPARE(ExtraCount("lblKept"), QStringLiteral("1"));
    }

    void theMenuItemChoosesTheMatchingOfTheNextPass()
    {
        // The item is the options menu's last, after every earlier one.
        auto w = PreciseWindow();
        TConvForm& f = *w->form;
        const auto* options = qobject_cast<QMenu*>(f.PreciseMatch->associatedObjects().value(0));
        QVERIFY(options);
        QCOMPARE(options->actions().last(), f.PreciseMatch);
        QCOMPARE(f.PreciseMatch->text(), QStringLiteral("住所を詳しく照合する(&P)"));
        QVERIFY(f.PreciseMatch->isCheckable());

        WriteBook(Book({"a,,札幌市中央区大通西3丁目,1"}));
        w->Answer("RsltDlg", mrContinue);
        w->Columns(1, 2);
        w->Open(book_);
        QVERIFY(f.Pass().Waiting());
        f.PreciseMatch->trigger(); // unchecked: the pass at hand keeps its mode
        QCOMPARE(f.Pass().MatchMode(), kompa::TMatchMode::Precise);
        f.BtnOkClick(); // 郵便番号 empty: no code written, none counted
        QCOMPARE(ExtraCount("lblNew"), QStringLiteral("0"));
        QCOMPARE(ExtraCount("lblReplaced"), QStringLiteral("0"));

        // The next pass matches literally: the caption shows the level, no reason, and the
        // result dialog shows the four counts alone.
        QCOMPARE(f.Pass().MatchMode(), kompa::TMatchMode::Literal);
        QVERIFY(f.Pass().Waiting());
        QCOMPARE(f.windowTitle(), QStringLiteral("1"));
        QCOMPARE(f.PanelText(4), QString());
        f.btnSkipClick();
        QCOMPARE(ExtraCount("lblNew"), QString());
        QCOMPARE(ExtraCount("lblKept"), QString());
    }

    void aCompanyColumnGivesAnOfficeItsOwnCode()
    {
        // The office's code where the name and address are one office's; the area's where the
        // address is elsewhere. A pass without the column shows no office count.
        WriteBook(
            Book({"a,,東京都千代田区霞が関2-1-2,総務省", "b,,大阪府大阪市北区梅田1-1-3,総務省"}));
        auto w = std::make_unique<ScriptedWindow>(postCode_, KOMPA_BIN_DIR "/");
        QString offices;
        w->Columns(1, 2, 3);
        w->answers[QStringLiteral("RsltDlg")].push_back([&] {
            offices = ExtraCount("lblOfficeCodes");
            return int(mrSave);
        });
        w->Open(book_);
        QCOMPARE(offices, QStringLiteral("1"));
        QCOMPARE(ReadFile(book_), Book({"a,1008926,東京都千代田区霞が関2-1-2,総務省",
                                        "b,5300001,大阪府大阪市北区梅田1-1-3,総務省"}));
        w->Columns(1, 2);
        w->Answer("RsltDlg", mrDiscard);
        w->Open(book_);
        QCOMPARE(offices, QStringLiteral("1"));
        QCOMPARE(ExtraCount("lblOfficeCodes"), QString());
    }

    void aHeadingLineIsKeptAndNamesTheColumns()
    {
        const std::string heading = Sjis("氏名,〒,住所,電話\r\n");
        WriteBook(heading + Book({"山田,,東京都千代田区千代田1-1,03", "鈴木,,架空市,04"}));
        auto w = PreciseWindow();
        TConvForm& f = *w->form;
        FldForm->FPostCol = FldForm->FAddrCol = -1;
        w->answers[QStringLiteral("FldForm")].clear();
        w->answers[QStringLiteral("FldForm")].push_back([] {
            // Recognised and preselected by the heading's names.
            return FldForm->cbHeading->isChecked() && FldForm->FPostCol == 1 &&
                           FldForm->FAddrCol == 2 && FldForm->BitBtn1->isEnabled()
                       ? int(kompa::mrOk)
                       : int(mrCancel);
        });
        w->Answer("RsltDlg", mrSave);
        w->Open(book_);
        QVERIFY(f.Pass().Waiting());
        QCOMPARE(f.PanelText(1), QStringLiteral("1/2"));
        f.btnSkipClick();
        QCOMPARE(RsltDlg->lblAll->text(), QStringLiteral("2"));
        QCOMPARE(RsltDlg->lblConv->text(), QStringLiteral("1"));
        QCOMPARE(RsltDlg->lblHeading->text(), QStringLiteral("1"));
        QCOMPARE(ReadFile(book_),
                 heading + Book({"山田,1000001,東京都千代田区千代田1-1,03", "鈴木,,架空市,04"}));
    }

    void skipLeavesTheLineAsRead()
    {
        // The quotes and the blank delimiter run survive only because a skipped line is kept.
        const std::string original = Book({"\"佐藤\",\"999\",\"架空市\",\"1\"", "b,,新宿区新宿,2"});
        WriteBook(original);
        auto w = Window();
        TConvForm& f = *w->form;
        w->Answer("RsltDlg", mrSave);
        w->Open(book_);
        QCOMPARE(f.PanelText(1), QStringLiteral("0/2"));
        QTest::mouseClick(f.btnSkip, Qt::LeftButton);
        QCOMPARE(RsltDlg->lblAll->text(), QStringLiteral("2"));
        QCOMPARE(RsltDlg->lblConv->text(), QStringLiteral("1"));
        QCOMPARE(RsltDlg->lblSkip->text(), QStringLiteral("1"));
        QCOMPARE(ReadFile(book_),
                 Book({"\"佐藤\",\"999\",\"架空市\",\"1\"", "b,1600022,新宿区新宿,2"}));
    }

    void utf8BookShowsItsTextAndKeepsItsFormat()
    {
        WriteBook("𠮷田,999,千代田区,1\nb,999,千代田区,2\n");
        auto w = Window();
        TConvForm& f = *w->form;
        w->Answer("RsltDlg", mrSave);
        w->Open(book_);
        QCOMPARE(FldForm->StringGrid1->item(1, 0)->text(), QStringLiteral("𠮷田"));
        QCOMPARE(f.PanelText(3), QStringLiteral("UTF-8 LF"));
        QCOMPARE(f.Edit2->text(), QStringLiteral("千代田区"));
        QCOMPARE(f.edKey->text(), QStringLiteral("千代田区"));
        QCOMPARE(Items(f.ListBox1).size(), 2);
        // Seven Shift-JIS bytes end in half of "４": UTF-8 gets the whole characters only.
        f.Edit1->setText(QStringLiteral("１２３４"));
        f.BtnOkClick();
        f.btnSkipClick();
        QCOMPARE(ReadFile(book_), std::string("𠮷田,１２３,千代田区,1\nb,999,千代田区,2\n"));

        // Read as Shift-JIS when the user says so.
        WriteBook("\xEF\xBB\xBF" + Sjis("a,999,千代田区\r\n"));
        f.EncodingSjis->trigger();
        w->Columns(1, 2);
        w->Open(book_);
        QCOMPARE(f.PanelText(3), QStringLiteral("Shift-JIS CRLF"));
        QCOMPARE(f.Edit2->text(), QStringLiteral("千代田区"));
    }

    void researchAndWordSearch()
    {
        WriteBook(Book({"a,,千代田区霞が関1,1"}));
        auto w = Window();
        TConvForm& f = *w->form;
        w->Open(book_);
        QCOMPARE(f.windowTitle(), QStringLiteral("5"));
        QCOMPARE(f.ListBox1->count(), 2);

        // The user may type a whole address; a single answer is chosen at once.
        f.edKey->setText(QStringLiteral("東京都新宿区新宿"));
        QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
        QCOMPARE(Items(f.ListBox1), QStringList({"1600022 新宿区新宿"}));
        QCOMPARE(f.Edit1->text(), QStringLiteral("1600022"));
        QCOMPARE(f.PanelText(2), QStringLiteral("候補数 1"));
        QCOMPARE(f.windowTitle(), QStringLiteral("5"));

        f.KK1->setChecked(true);
        QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
        QCOMPARE(Items(f.ListBox1), QStringList({"1600022 東京都新宿区新宿"}));

        // The word search never carries the prefecture.
        f.edKey->setText(QStringLiteral("百人町"));
        QTest::mouseClick(f.SpeedButton2, Qt::LeftButton);
        QCOMPARE(Items(f.ListBox1), QStringList({"1690073 新宿区百人町"}));
        QCOMPARE(f.Edit1->text(), QStringLiteral("1690073"));
        QVERIFY(QApplication::overrideCursor() == nullptr);

        f.BtnOkClick();
        QCOMPARE(w->shown.last(), QStringLiteral("RsltDlg"));
    }

    void continueRunsAnotherPassOverTheConvertedLines()
    {
        WriteBook(Book({"a,,新宿区新宿,1", "b,,架空市,2"}));
        auto w = Window();
        TConvForm& f = *w->form;
        w->Answer("RsltDlg", mrContinue);
        w->Columns(1, 2);
        w->Answer("RsltDlg", mrSave);
        w->Open(book_);
        f.btnSkipClick();
        // Second pass: the converted first line is looked up again, the second waits again.
        QVERIFY(f.Pass().Waiting());
        QCOMPARE(f.Pass().Current(), 1);
        QCOMPARE(f.PanelText(1), QStringLiteral("1/2"));
        QCOMPARE(FldForm->StringGrid1->item(1, 1)->text(), QStringLiteral("1600022"));
        f.btnSkipClick();
        QCOMPARE(w->shown,
                 QStringList({"OpenDialog1", "FldForm", "RsltDlg", "FldForm", "RsltDlg"}));
        QCOMPARE(RsltDlg->lblConv->text(), QStringLiteral("1"));
        QCOMPARE(RsltDlg->lblSkip->text(), QStringLiteral("1"));
        QCOMPARE(ReadFile(book_), Book({"a,1600022,新宿区新宿,1", "b,,架空市,2"}));
    }

    void continueCancelledAndDiscardWriteNothing_data()
    {
        QTest::addColumn<bool>("viaContinue");
        QTest::newRow("discard") << false;
        QTest::newRow("continue, cancel in the field dialog: back to the results") << true;
    }
    void continueCancelledAndDiscardWriteNothing()
    {
        QFETCH(bool, viaContinue);
        const std::string original = Book({"a,,新宿区新宿,1"});
        WriteBook(original);
        auto w = Window();
        if (viaContinue)
            w->Answer("RsltDlg", mrContinue);
        w->Answer("RsltDlg", mrDiscard);
        w->Open(book_);
        QCOMPARE(w->shown.count(QStringLiteral("RsltDlg")), viaContinue ? 2 : 1);
        QVERIFY(w->warnings.isEmpty());
        QCOMPARE(ReadFile(book_), original);
        QVERIFY(!std::filesystem::exists(Backup()));
        QVERIFY(!w->form->Active());
        QVERIFY(!postCode_.IsOpen());
        QCOMPARE(w->form->Pass().Lines().Count(), 0);
    }

    void escapeInTheResultDialogAsksFirst()
    {
        // Escape or the close box: the question; Cancel shows the results again, OK discards.
        const std::string original = Book({"a,,新宿区新宿,1"});
        WriteBook(original);
        auto w = Window();
        w->Answer("RsltDlg", mrCancel);
        w->Answer("RsltDlg", mrCancel);
        w->warningAnswers = {false, true};
        w->Open(book_);
        QCOMPARE(w->shown.count(QStringLiteral("RsltDlg")), 2);
        QCOMPARE(w->warnings,
                 QStringList({"変換中のデータは破棄されます", "変換中のデータは破棄されます"}));
        QCOMPARE(ReadFile(book_), original);
        QVERIFY(!w->form->Active());
    }

    void saveOverAnExistingBackup_data()
    {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("OK: written without a new backup") << true;
        QTest::newRow("Cancel: nothing written") << false;
    }
    void saveOverAnExistingBackup()
    {
        QFETCH(bool, goOn);
        const std::string original = Book({"a,,新宿区新宿,1"});
        WriteBook(original);
        WriteFile(Backup(), "older original");
        auto w = Window();
        w->Answer("RsltDlg", mrSave);
        w->warningAnswers.push_back(goOn);
        w->Open(book_);
        // The question, and why: the backup name is taken.
        QCOMPARE(
            w->warnings,
            QStringList({QStringLiteral("バックアップを作成出来ません\n\nバックアップ ") +
                         QString::fromStdString(Backup()) + QStringLiteral(" が既にあります")}));
        QCOMPARE(ReadFile(Backup()), std::string("older original"));
        QCOMPARE(ReadFile(book_), goOn ? Book({"a,1600022,新宿区新宿,1"}) : original);
        QVERIFY(!w->form->Active());
    }

    void failedWriteKeepsTheFileAsRead_data()
    {
        QTest::addColumn<bool>("olderBackup");
        QTest::newRow("backup asked for") << false;
        QTest::newRow("an older backup: saved without one") << true;
    }
    void failedWriteKeepsTheFileAsRead()
    {
        QFETCH(bool, olderBackup);
        std::string original;
        std::string converted;
        for (int i = 0; i < 100; ++i) {
            original += Sjis("a,,新宿区新宿,1\r\n");
            converted += Sjis("a,1600022,新宿区新宿,1\r\n");
        }
        WriteBook(original);
        if (olderBackup)
            WriteFile(Backup(), "older original");
        auto w = Window();
        // Any write past a few bytes fails, as on a full disk.
        auto limit = std::make_unique<FileSizeLimit>(64);
        std::vector<std::pair<std::string, std::size_t>> seen; // the book and the files there
        auto look = [&] {
            seen.emplace_back(ReadFile(book_),
                              std::distance(std::filesystem::directory_iterator(files_->Path()),
                                            std::filesystem::directory_iterator()));
        };
        w->Answer("RsltDlg", mrSave);
        // The result dialog comes back after the failure; the user frees space and saves.
        w->answers[QStringLiteral("RsltDlg")].push_back([&] {
            look();
            limit.reset();
            return int(mrSave);
        });
        w->warningAnswers = {true, true};
        convtest::ErrorCapture errors;
        kompa::ui::Guarded([&] { w->Open(book_); });
        limit.reset();

        QCOMPARE(errors.texts.size(), 1);
        QVERIFY(errors.texts[0].contains(QStringLiteral("は元のままです")));
        // Untouched, and no half-written file beside it.
        QCOMPARE(seen.size(), std::size_t(1));
        QCOMPARE(seen[0].first, original);
        QCOMPARE(seen[0].second, std::size_t(olderBackup ? 2 : 1));
        // The second save went through.
        QCOMPARE(ReadFile(book_), converted);
        QCOMPARE(ReadFile(Backup()), olderBackup ? std::string("older original") : original);
        QVERIFY(!w->form->Active());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void closeQuestion()
    {
        WriteBook(Book({"a,,架空市,1"}));
        auto w = Window();
        TConvForm& f = *w->form;
        f.show();
        QVERIFY(f.close()); // idle: no question
        QVERIFY(w->warnings.isEmpty());

        f.show();
        w->Open(book_);
        QVERIFY(f.Pass().Waiting());
        w->warningAnswers = {false, true};
        QVERIFY(!f.close());
        QVERIFY(f.isVisible());
        QVERIFY(f.close());
        QCOMPARE(w->warnings,
                 QStringList({"変換中のデータは破棄されます", "変換中のデータは破棄されます"}));
        QCOMPARE(ReadFile(book_), Book({"a,,架空市,1"}));
    }

    void buttonsAreDeadOnceThePassHasEnded()
    {
        const std::string original = Book({"a,,架空市,1"});
        WriteBook(original);
        auto w = Window();
        TConvForm& f = *w->form;
        w->Answer("RsltDlg", mrDiscard);
        w->Answer("RsltDlg", mrSave); // must never be reached
        w->Open(book_);
        f.btnSkipClick();
        QCOMPARE(w->shown.count(QStringLiteral("RsltDlg")), 1);
        QVERIFY(RecordButtonsDisabled(f));
        // Even a stray call cannot bring up a second result dialog that would save.
        f.btnSkipClick();
        f.BtnOkClick();
        f.SpeedButton1Click();
        QCOMPARE(w->shown.count(QStringLiteral("RsltDlg")), 1);
        QCOMPARE(ReadFile(book_), original);
        QVERIFY(!std::filesystem::exists(Backup()));
    }

    void openingAnotherFileDropsTheWaitingRecord_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("errAnswer");
        QTest::newRow("cancel in the field dialog") << "p,q,r,s" << int(kompa::mrNone);
        QTest::newRow("abort in the error dialog") << "p,q,r,s\r\np" << int(mrAbort);
    }
    void openingAnotherFileDropsTheWaitingRecord()
    {
        QFETCH(QString, second);
        QFETCH(int, errAnswer);
        WriteBook(Book({"a,,東京都千代田区,1"}));
        const std::string other = files_->File("other.csv");
        const std::string otherBytes = second.toStdString() + "\r\n";
        WriteFile(other, otherBytes);
        auto w = Window();
        TConvForm& f = *w->form;
        w->Open(book_);
        QVERIFY(RecordButtonsEnabled(f));

        if (errAnswer != kompa::mrNone)
            w->Answer("ErrDlg", errAnswer);
        w->Open(other); // no field-dialog answer left: cancelled
        QVERIFY(RecordButtonsDisabled(f));
        QVERIFY(f.Edit1->text().isEmpty() && f.Edit2->text().isEmpty());
        QVERIFY(f.edKey->text().isEmpty());
        QCOMPARE(f.ListBox1->count(), 0);
        f.Edit1->setText(QStringLiteral("1000001"));
        f.BtnOkClick();
        f.btnSkipClick();
        QCOMPARE(w->shown.count(QStringLiteral("RsltDlg")), 0);
        QCOMPARE(std::string(f.Pass().Lines().Get(0)), otherBytes.substr(0, otherBytes.find('\r')));
        QCOMPARE(ReadFile(other), otherBytes);
    }

    void openingCancelledBeforeAnyPassKeepsTheIdleTexts()
    {
        WriteBook(Book({"a,,東京都千代田区,1"}));
        ScriptedWindow w(postCode_, dictionary_->Dir());
        TConvForm& f = *w.form;
        f.edKey->setText(QStringLiteral("新宿区"));
        w.Open(book_); // no field-dialog answer: cancelled
        QCOMPARE(w.shown, QStringList({"OpenDialog1", "FldForm"}));
        QCOMPARE(f.PanelText(0), QStringLiteral("ファイル名"));
        QCOMPARE(f.PanelText(1), QStringLiteral("変換中データ"));
        QCOMPARE(f.PanelText(2), QStringLiteral("候補数"));
        QCOMPARE(f.edKey->text(), QStringLiteral("新宿区"));
        QVERIFY(RecordButtonsDisabled(f));
    }

    void fieldCountMismatch_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("強行") << int(mrIgnore);
        QTest::newRow("close box") << int(mrCancel);
    }
    void fieldCountMismatch()
    {
        QFETCH(int, answer);
        WriteBook(Book({"a,,新宿区新宿,1", "b,,新宿区新宿,2,extra"}));
        auto w = Window();
        w->Answer("ErrDlg", answer);
        w->Answer("RsltDlg", mrDiscard);
        w->Open(book_);
        QCOMPARE(w->shown, QStringList({"OpenDialog1", "ErrDlg", "FldForm", "RsltDlg"}));
        QCOMPARE(RsltDlg->lblConv->text(), QStringLiteral("2"));
    }

    void recordWithoutTheAddressColumnStopsThePass()
    {
        WriteBook(Book({"a,,新宿区新宿,1", "b", "c,,新宿区新宿,3"}));
        convtest::ErrorCapture errors;
        auto w = Window();
        TConvForm& f = *w->form;
        w->Answer("ErrDlg", mrIgnore);
        kompa::ui::Guarded([&] { w->Open(book_); });
        QCOMPARE(errors.texts, QStringList({"ﾘｽﾄのｲﾝﾃﾞｯｸｽが範囲を超えています."}));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(RecordButtonsDisabled(f));
        QCOMPARE(f.PanelText(1), QStringLiteral("1/3"));
        QVERIFY(f.Active());
        QVERIFY(!w->shown.contains(QStringLiteral("RsltDlg")));
    }

    void missingDictionaryStartsNoPass()
    {
        WriteBook(Book({"a,,新宿区新宿,1"}));
        kompa::test::TempDir empty;
        kompa::TPostCode none;
        convtest::ErrorCapture errors;
        ScriptedWindow w(none, empty.Path().string());
        w.Columns(1, 2);
        kompa::ui::Guarded([&] { w.Open(book_); });
        QCOMPARE(errors.texts.size(), 1);
        QVERIFY(errors.texts[0].startsWith(QStringLiteral("ﾌｧｲﾙ ")));
        QVERIFY(errors.texts[0].endsWith(QStringLiteral("KOMPA.DIC は開けません.")));
        QVERIFY(!w.form->Active());
        QVERIFY(!w.shown.contains(QStringLiteral("RsltDlg")));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void emptyFileStopsSilently()
    {
        WriteBook("");
        auto w = Window();
        w->Open(book_);
        QCOMPARE(w->shown, QStringList({"OpenDialog1"}));
        QVERIFY(!w->form->Active());
    }

    void editButtonsActOnTheEditThatHadTheFocus()
    {
        auto w = Window();
        TConvForm& f = *w->form;
        f.show();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QClipboard* clipboard = QGuiApplication::clipboard();

        // A press on a button takes the focus for a moment; the selection must survive it.
        f.Edit2->setText(QStringLiteral("千代田区"));
        f.Edit2->setFocus();
        f.Edit2->selectAll();
        QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
        QCOMPARE(clipboard->text(), QStringLiteral("千代田区"));
        QTest::mouseClick(f.SpeedButton5, Qt::LeftButton); // read-only: kept
        QCOMPARE(f.Edit2->text(), QStringLiteral("千代田区"));

        f.Edit1->setFocus();
        f.Edit1->setText(QStringLiteral("1234567"));
        f.Edit1->setSelection(0, 3);
        QTest::mouseClick(f.SpeedButton5, Qt::LeftButton);
        QCOMPARE(f.Edit1->text(), QStringLiteral("4567"));
        clipboard->setText(QStringLiteral("99"));
        f.Edit1->setSelection(0, 2);
        QTest::mouseClick(f.SpeedButton4, Qt::LeftButton);
        QCOMPARE(f.Edit1->text(), QStringLiteral("9967"));
        QVERIFY(f.Edit1->hasFocus());
        QVERIFY(f.imgOK->isHidden());
    }

    void keyboardFlow()
    {
        WriteBook(Book({"山田,,千代田区,03", "鈴木,,千代田区,03"}));
        auto w = Window();
        TConvForm& f = *w->form;
        w->Open(book_);
        QVERIFY(f.Pass().Waiting());

        // The tab order follows the layout, every button included.
        QList<QWidget*> order;
        for (QWidget* next = f.Edit1; order.size() < 11; next = next->nextInFocusChain())
            if (next->focusPolicy() & Qt::TabFocus && f.isAncestorOf(next))
                order << next;
        QCOMPARE(order, (QList<QWidget*>{f.Edit1, f.Edit2, f.BtnOk, f.btnSkip, f.SpeedButton5,
                                         f.SpeedButton3, f.SpeedButton4, f.edKey, f.SpeedButton1,
                                         f.SpeedButton2, f.ListBox1}));

        // Enter in the key searches again.
        f.edKey->setText(QStringLiteral("札幌市中央区北一条西"));
        QTest::keyClick(f.edKey, Qt::Key_Return);
        QCOMPARE(Items(f.ListBox1), QStringList({"0600001 札幌市中央区北一条西"}));

        // Enter on a candidate answers OK with it; a double click does the same.
        QTest::keyClick(f.ListBox1, Qt::Key_Return);
        QCOMPARE(f.Pass().ConvCount(), 1);
        QVERIFY(f.Pass().Waiting());
        w->Answer("RsltDlg", mrDiscard);
        const QRect line = f.ListBox1->visualItemRect(f.ListBox1->item(1));
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            QMouseEvent click(type, line.center(),
                              f.ListBox1->viewport()->mapToGlobal(line.center()), Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(f.ListBox1->viewport(), &click);
        }
        QCOMPARE(w->shown.last(), QStringLiteral("RsltDlg"));
        QCOMPARE(RsltDlg->lblConv->text(), QStringLiteral("2"));
    }

    void aWaitingRecordAtTheKeyboard()
    {
        // The focus comes back to the candidates after each answer; arrows and Enter answer,
        // Enter in 郵便番号 is OK, Enter on a focused button presses it.
        WriteBook(Book({"a,,千代田区,1", "b,,千代田区,2", "c,,千代田区,3", "d,,千代田区,4"}));
        auto w = Window();
        TConvForm& f = *w->form;
        w->Answer("RsltDlg", mrSave);
        w->Open(book_);
        QCOMPARE(f.focusWidget(), f.ListBox1);
        QTest::keyClick(f.ListBox1, Qt::Key_Down);
        QTest::keyClick(f.ListBox1, Qt::Key_Down);
        QTest::keyClick(f.ListBox1, Qt::Key_Return);
        QCOMPARE(f.Pass().Current(), 1);
        QCOMPARE(f.focusWidget(), f.ListBox1);
        f.Edit1->setText(QStringLiteral("472-0013"));
        QTest::keyClick(f.Edit1, Qt::Key_Return);
        QCOMPARE(f.Pass().Current(), 2);
        QCOMPARE(f.focusWidget(), f.ListBox1);
        QTest::keyClick(f.btnSkip, Qt::Key_Return);
        QCOMPARE(f.Pass().SkipCount(), 1);
        QCOMPARE(f.focusWidget(), f.ListBox1);
        QTest::keyClick(f.ListBox1, Qt::Key_Return); // no line chosen: 郵便番号 as it stands
        QCOMPARE(ReadFile(book_), Book({"a,1000002,千代田区,1", "b,4720013,千代田区,2",
                                        "c,,千代田区,3", "d,,千代田区,4"}));
    }

    void windowFollowsThePassWhenTheDictionaryIsClosedUnderIt()
    {
        WriteBook(Book({"山田,,千代田区,03", "鈴木,,千代田区,03"}));
        auto w = Window();
        TConvForm& f = *w->form;
        w->Open(book_);
        QCOMPARE(f.ListBox1->count(), 2);
        postCode_.CloseDictionary(); // as the search window does when it closes
        convtest::ErrorCapture errors;

        kompa::ui::Guarded([&] { f.SpeedButton1Click(); });
        QCOMPARE(errors.texts.size(), 1);
        QCOMPARE(f.ListBox1->count(), 0);
        QCOMPARE(f.PanelText(2), QStringLiteral("候補数 0"));

        // OK writes the record, then the next one cannot be searched: the pass stops and
        // the window shows no record and offers no answer.
        kompa::ui::Guarded([&] { f.BtnOkClick(); });
        QCOMPARE(errors.texts.size(), 2);
        QVERIFY(!f.Pass().Waiting());
        QVERIFY(RecordButtonsDisabled(f));
        QCOMPARE(f.Edit2->text(), QString());
        QCOMPARE(f.PanelText(2), QString());
    }

    void dataLossWarningsDefaultToCancel()
    {
        TConvForm form(postCode_, dictionary_->Dir(), convtest::Dialogs()); // its own warning box
        form.setAttribute(Qt::WA_DeleteOnClose, false);
        QTimer::singleShot(0, [] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return);
        });
        QVERIFY(!form.AskWarning(QStringLiteral("変換中のデータは破棄されます")));
    }
};

QTEST_MAIN(ConvFormTest)
#include "conv_form_test.moc"
