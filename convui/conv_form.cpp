#include "convui/conv_form.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

#include "convui/conv_pictures.h"
#include "convui/conv_texts.h"
#include "convui/conv_windows.h"
#include "convui/err_dlg.h"
#include "convui/fld_form.h"
#include "convui/modal_result.h"
#include "convui/opt_form.h"
#include "convui/rslt_dlg.h"
#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/io/messages.h"
#include "ui/busy_cursor.h"
#include "ui/error_display.h"
#include "ui/help.h"
#include "ui/list_box_items.h"
#include "ui/pictures.h"
#include "ui/shadow_label.h"
#include "ui/ui_text.h"

using namespace kompa;
using kompa::ui::FromSjis;
using kompa::ui::Guard;
using kompa::ui::ToSjis;

namespace {

// Panel 3 shows the file's format, e.g. "UTF-8 BOM LF"; panel 4, after the others so that
// none of them moves, why a record waits in precise mode, in the rest of the bar. A window too
// narrow for the reason there (the frame's first size) shows it in the format's place.
constexpr int kPanelWidths[4] = {130, 100, 120, 110};
constexpr int kReasonPanel = 4;
constexpr int kPanelSpacing = 8;
constexpr int kFlashMilliseconds = 70;
constexpr qint64 kProgressFrameMs = 15;
constexpr std::size_t kCodeLength = 7;

QString Text(const char* sjis)
{
    return FromSjis(sjis);
}

QToolButton* SpeedButton(QWidget* parent, const char* name)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(false);
    return button;
}

QLabel* NamedLabel(QWidget* parent, const char* name, const char* caption)
{
    auto* label = new QLabel(Text(caption), parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

TConvForm::TConvForm(TPostCode& postCode, const std::string& dictDir, const TConvDialogs& dialogs,
                     QWidget* parent)
    : TMdiChildForm(parent), FPass(postCode), OptForm(dialogs.options), FldForm(dialogs.fields),
      ErrDlg(dialogs.errors), RsltDlg(dialogs.results)
{
    setObjectName(QStringLiteral("ConvForm"));
    setFont(kompa::ui::GothicFont(12));
    setWindowTitle(Text(convtxt::kConvCaption));
    setWindowIcon(QIcon(conv_pictures::PastePicture()));
    ConvForm = this;

    CreateControls();
    CreateMenus();

    ApplyMatchMode();
    FPass.SetDictionaryDir(dictDir);
    FPass.SetWriteDelimiterSource([this] { return OptForm->GetWriteDelimiter(); });
    FPass.OnCurrent = [this](int index, int count) { SetCurrent(index, count); };
    FPass.OnWait = [this] { ShowCandidates(); };

    OpenDialog1 = [this] {
        return QFileDialog::getOpenFileName(this, QString(), QString(),
                                            Text(convtxt::kFilterCsv) + QStringLiteral(";;") +
                                                Text(convtxt::kFilterAll));
    };
    ShowModal = [this](QDialog* dialog) {
        const int result = dialog->exec();
        // The dialogs belong to no window; the keyboard goes back to the frame, as it came.
        if (QWidget* frame = window(); frame->isVisible())
            frame->activateWindow();
        return result;
    };
    AskWarning = [this](const QString& text) {
        // Each warning is about losing data: Enter must not be the way to lose it.
        return QMessageBox::warning(this, Text(convtxt::kWarning), text,
                                    QMessageBox::Ok | QMessageBox::Cancel,
                                    QMessageBox::Cancel) == QMessageBox::Ok;
    };
}

TConvForm::~TConvForm()
{
    // The list box goes after the edits its signals write to.
    disconnect(ListBox1, nullptr, this, nullptr);
    if (ConvForm == this)
        ConvForm = nullptr;
}

// NOLINTNEXTLINE(readability-function-size): every control in the order the window shows them
void TConvForm::CreateControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ConvClient"));

    Panel1 = new QFrame(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);

    // Row 1: the record's two fields under their labels.
    Label2 = NamedLabel(Panel1, "Label2", convtxt::kPostCode);
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFixedWidth(110);
    Label3 = NamedLabel(Panel1, "Label3", convtxt::kAddress);
    Edit2 = new QLineEdit(Panel1);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setReadOnly(true);
    Label2->setBuddy(Edit1);
    Label3->setBuddy(Edit2);

    // Row 2: the answer buttons, the edit commands and the flash.
    BtnOk = new QPushButton(QIcon(conv_pictures::CheckPicture()), Text(convtxt::kOk), Panel1);
    BtnOk->setObjectName(QStringLiteral("BtnOk"));
    btnSkip = new QPushButton(Text(convtxt::kSkip), Panel1);
    btnSkip->setObjectName(QStringLiteral("btnSkip"));
    for (QPushButton* button : {BtnOk, btnSkip}) {
        button->setMinimumWidth(90);
        button->setAutoDefault(false);
    }
    SpeedButton5 = SpeedButton(Panel1, "SpeedButton5");
    SpeedButton5->setIcon(QIcon(conv_pictures::DeletePicture()));
    SpeedButton5->setToolTip(Text(convtxt::kDelete));
    SpeedButton3 = SpeedButton(Panel1, "SpeedButton3");
    SpeedButton3->setIcon(QIcon(conv_pictures::CopyPicture()));
    SpeedButton3->setToolTip(Text(convtxt::kCopy));
    SpeedButton4 = SpeedButton(Panel1, "SpeedButton4");
    SpeedButton4->setIcon(QIcon(conv_pictures::PastePicture()));
    SpeedButton4->setToolTip(Text(convtxt::kPaste));
    imgOK = new ui::TShadowLabel(Panel1);
    imgOK->setObjectName(QStringLiteral("imgOK"));
    QFont flashFont = ui::GothicFont(15);
    flashFont.setBold(true);
    imgOK->setFont(flashFont);
    imgOK->SetFontColor(QColor(0x00, 0xFF, 0x00));
    imgOK->SetCaption(Text(convtxt::kOkFlash));
    imgOK->hide();
    // The flash must not shift the buttons when it appears.
    auto* flashSlot = new QWidget(Panel1);
    flashSlot->setFixedSize(imgOK->size() + QSize(4, 2));
    imgOK->setParent(flashSlot);
    imgOK->move(2, 1);

    // Row 3: the search key and the two searches.
    Label1 = NamedLabel(Panel1, "Label1", convtxt::kSearchKey);
    edKey = new QLineEdit(Panel1);
    edKey->setObjectName(QStringLiteral("edKey"));
    Label1->setBuddy(edKey);
    SpeedButton1 = SpeedButton(Panel1, "SpeedButton1");
    SpeedButton1->setIcon(QIcon(ui::MagnifierPicture()));
    SpeedButton1->setText(Text(convtxt::kResearch));
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    SpeedButton2 = SpeedButton(Panel1, "SpeedButton2");
    SpeedButton2->setText(Text(convtxt::kWordSearch));
    for (QToolButton* button : {SpeedButton1, SpeedButton2})
        button->setMinimumWidth(90);
    // The keyboard reaches every button by Tab; a click still leaves the focus where it was.
    for (QToolButton* button :
         {SpeedButton5, SpeedButton3, SpeedButton4, SpeedButton1, SpeedButton2})
        button->setFocusPolicy(Qt::TabFocus);

    auto* fields = new QGridLayout;
    fields->addWidget(Label2, 0, 0);
    fields->addWidget(Label3, 0, 1);
    fields->addWidget(Edit1, 1, 0);
    fields->addWidget(Edit2, 1, 1);
    fields->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtnOk);
    buttons->addWidget(btnSkip);
    buttons->addSpacing(16);
    buttons->addWidget(SpeedButton5);
    buttons->addWidget(SpeedButton3);
    buttons->addWidget(SpeedButton4);
    buttons->addWidget(flashSlot);
    buttons->addStretch();

    auto* search = new QHBoxLayout;
    search->addWidget(Label1);
    search->addWidget(edKey, 1);
    search->addWidget(SpeedButton1);
    search->addWidget(SpeedButton2);

    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(8, 6, 8, 6);
    panelLayout->addLayout(fields);
    panelLayout->addLayout(buttons);
    panelLayout->addLayout(search);

    ListBox1 = new QListWidget(client);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setToolTip(Text(convtxt::kCandidateList));
    // In a low window (tiled) the list gives way, not the record's controls above it, down
    // to three lines that still let a candidate be chosen.
    ListBox1->setMinimumHeight(3 * (ListBox1->fontMetrics().height() + 2) +
                               2 * ListBox1->frameWidth());
    ListBox1->installEventFilter(this);
    Panel1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    StatusBar1 = new QStatusBar(client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    const char* initial[4] = {convtxt::kFileName, convtxt::kRecordsInWork, convtxt::kCandidates,
                              ""};
    for (int i = 0; i < 4; ++i) {
        FPanels[i] = new QLabel(Text(initial[i]), StatusBar1);
        FPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        FPanels[i]->setFixedWidth(kPanelWidths[i]);
        FPanels[i]->setFrameShape(QFrame::Panel);
        FPanels[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(FPanels[i]);
    }
    FPanels[1]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FPanels[kReasonPanel] = new QLabel(StatusBar1);
    FPanels[kReasonPanel]->setObjectName(QStringLiteral("StatusPanel4"));
    FPanels[kReasonPanel]->setFrameShape(QFrame::Panel);
    FPanels[kReasonPanel]->setFrameShadow(QFrame::Sunken);
    FPanels[kReasonPanel]->setMinimumWidth(0);
    StatusBar1->addWidget(FPanels[kReasonPanel], 1);
    // The room after panel 3 changes with the bar's width and with its layout.
    StatusBar1->installEventFilter(this);
    FPanels[3]->installEventFilter(this);

    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(ListBox1, 1);
    layout->addWidget(StatusBar1);
    setWidget(client);

    EnableRecordButtons(false);

    // The tab order follows the layout, row by row.
    QWidget* order[] = {Edit1,        Edit2, BtnOk,        btnSkip,      SpeedButton5, SpeedButton3,
                        SpeedButton4, edKey, SpeedButton1, SpeedButton2, ListBox1};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    // The edit buttons act on the edit that had the focus, with the selection it had.
    for (QLineEdit* edit : {edKey, Edit1, Edit2}) {
        connect(edit, &QLineEdit::selectionChanged, this,
                [this, edit] { RememberSelection(edit); });
        connect(edit, &QLineEdit::cursorPositionChanged, this,
                [this, edit] { RememberSelection(edit); });
    }

    connect(edKey, &QLineEdit::returnPressed, this, Guard([this] { SpeedButton1Click(); }));
    // Enter in 郵便番号 answers the record with what it holds.
    connect(Edit1, &QLineEdit::returnPressed, this, Guard([this] {
                if (BtnOk->isEnabled())
                    BtnOkClick();
            }));
    // Enter on a focused button presses it, as the space bar does.
    for (QWidget* button : std::initializer_list<QWidget*>{
             BtnOk, btnSkip, SpeedButton5, SpeedButton3, SpeedButton4, SpeedButton1, SpeedButton2})
        button->installEventFilter(this);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, Guard([this] { ListBox1Accept(); }));
    connect(BtnOk, &QPushButton::clicked, this, Guard([this] { BtnOkClick(); }));
    connect(btnSkip, &QPushButton::clicked, this, Guard([this] { btnSkipClick(); }));
    connect(SpeedButton1, &QToolButton::clicked, this, Guard([this] { SpeedButton1Click(); }));
    connect(SpeedButton2, &QToolButton::clicked, this, Guard([this] { SpeedButton2Click(); }));
    connect(SpeedButton3, &QToolButton::clicked, this, Guard([this] { SpeedButton3Click(); }));
    connect(SpeedButton4, &QToolButton::clicked, this, Guard([this] { SpeedButton4Click(); }));
    connect(SpeedButton5, &QToolButton::clicked, this, Guard([this] { SpeedButton5Click(); }));
    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });
}

void TConvForm::CreateMenus()
{
    QMenu* KF1 = AddMenu(QStringLiteral("KF1"), Text(convtxt::kMenuFile), 0);
    KCSV2 = KF1->addAction(Text(convtxt::kMenuOpen));
    KCSV2->setObjectName(QStringLiteral("KCSV2"));
    KF1->addSeparator()->setObjectName(QStringLiteral("N1"));
    Close1 = KF1->addAction(Text(convtxt::kMenuClose));
    Close1->setObjectName(QStringLiteral("Close1"));

    QMenu* KO1 = AddMenu(QStringLiteral("KO1"), Text(convtxt::kMenuOptions), 0);
    KCSV1 = KO1->addAction(Text(convtxt::kMenuCsv));
    KCSV1->setObjectName(QStringLiteral("KCSV1"));
    KO1->addSeparator()->setObjectName(QStringLiteral("N2"));
    K1 = KO1->addAction(Text(convtxt::kMenuConfirm));
    K1->setObjectName(QStringLiteral("K1"));
    K1->setCheckable(true);
    KK1 = KO1->addAction(Text(convtxt::kMenuWithKen));
    KK1->setObjectName(QStringLiteral("KK1"));
    KK1->setCheckable(true);

    KH1 = AddMenuCommand(QStringLiteral("KH1"), Text(convtxt::kMenuHelp), 9);

    connect(KCSV2, &QAction::triggered, this, Guard([this] { KCSV2Click(); }));
    connect(Close1, &QAction::triggered, this, Guard([this] { Close1Click(); }));
    connect(KCSV1, &QAction::triggered, this, Guard([this] { KCSV1Click(); }));
    connect(KH1, &QAction::triggered, this, Guard([this] { KH1Click(); }));
    // Last in the options menu, so no command of it moves.
    KO1->addSeparator();
    QMenu* encoding = KO1->addMenu(Text(convtxt::kMenuEncoding));
    encoding->setObjectName(QStringLiteral("KE1"));
    auto* encodings = new QActionGroup(this);
    const std::pair<QAction**, const char*> choices[] = {{&EncodingAuto, convtxt::kEncodingAuto},
                                                         {&EncodingSjis, convtxt::kEncodingSjis},
                                                         {&EncodingUtf8, convtxt::kEncodingUtf8}};
    for (const auto& [action, caption] : choices) {
        *action = encoding->addAction(Text(caption));
        (*action)->setCheckable(true);
        encodings->addAction(*action);
    }
    EncodingAuto->setObjectName(QStringLiteral("EncodingAuto"));
    EncodingSjis->setObjectName(QStringLiteral("EncodingSjis"));
    EncodingUtf8->setObjectName(QStringLiteral("EncodingUtf8"));
    EncodingAuto->setChecked(true);
    connect(encodings, &QActionGroup::triggered, this, [this](QAction* chosen) {
        FPass.SetEncodingChoice(chosen == EncodingSjis   ? TEncodingChoice::ShiftJis
                                : chosen == EncodingUtf8 ? TEncodingChoice::Utf8
                                                         : TEncodingChoice::Auto);
    });

    // Last of all, after the encodings, so that no earlier item moves.
    KO1->addSeparator();
    PreciseMatch = KO1->addAction(Text(convtxt::kMenuPrecise));
    PreciseMatch->setObjectName(QStringLiteral("PreciseMatch"));
    PreciseMatch->setCheckable(true);
    PreciseMatch->setChecked(true);

    connect(K1, &QAction::toggled, this, [this](bool checked) { FPass.SetConfirm(checked); });
    connect(KK1, &QAction::toggled, this, [this](bool checked) { FPass.SetWithKen(checked); });
}

void TConvForm::SetPreciseMode(bool precise)
{
    PreciseMatch->setChecked(precise);
}

void TConvForm::ApplyMatchMode()
{
    // A pass that runs keeps the mode it began with: its counts and writing stay of one kind.
    FPass.SetMatchMode(PreciseMatch->isChecked() ? TMatchMode::Precise : TMatchMode::Literal);
}

QString TConvForm::PanelText(int panel) const
{
    return FPanels[panel]->text();
}

void TConvForm::SetPanel(int panel, const QString& text)
{
    FPanels[panel]->setText(text);
}

void TConvForm::SetFormatAndReason(const QString& format, const QString& reason)
{
    FFormat = format;
    FReason = reason;
    PlaceReason();
}

void TConvForm::PlaceReason()
{
    QLabel* last = FPanels[kReasonPanel];
    // What the bar leaves after panel 3, less its spacing and the panel's frame.
    const int room = StatusBar1->width() - FPanels[3]->geometry().right() - kPanelSpacing -
                     2 * last->frameWidth() - last->margin();
    const bool fits = FReason.isEmpty() || !StatusBar1->isVisible() ||
                      room >= last->fontMetrics().horizontalAdvance(FReason);
    FPanels[3]->setText(fits ? FFormat : FReason);
    FPanels[3]->setToolTip(fits ? QString() : FReason);
    last->setText(fits ? FReason : QString());
    last->setToolTip(fits ? FReason : QString()); // whole, should the bar cut it
}

QString TConvForm::FormatText() const
{
    const TFileFormat& format = FPass.Format();
    QString text = format.utf16 == TUtf16::LittleEndian     ? QStringLiteral("UTF-16LE")
                   : format.utf16 == TUtf16::BigEndian      ? QStringLiteral("UTF-16BE")
                   : format.encoding == TTextEncoding::Utf8 ? QStringLiteral("UTF-8")
                                                            : QStringLiteral("Shift-JIS");
    if (format.bom)
        text += QStringLiteral(" BOM");
    text += format.lineEnd == TLineEnd::Lf ? QStringLiteral(" LF") : QStringLiteral(" CRLF");
    return text;
}

void TConvForm::SetCurrent(int index, int count)
{
    SetPanel(1, QStringLiteral("%1/%2").arg(index).arg(count));
    // The progress is drawn at once, but at most once a frame: painting it after each of
    // thousands of automatic records would cost more than converting them. The text set last
    // is painted by the next event processing in any case.
    if (!FProgressPainted.isValid() || FProgressPainted.elapsed() >= kProgressFrameMs) {
        FPanels[1]->repaint();
        FProgressPainted.start();
    }
}

void TConvForm::EnableRecordButtons(bool enabled)
{
    for (QWidget* button :
         std::initializer_list<QWidget*>{SpeedButton1, SpeedButton2, BtnOk, btnSkip})
        button->setEnabled(enabled);
}

void TConvForm::ClearRecord()
{
    EnableRecordButtons(false);
    Edit1->clear();
    Edit2->clear();
    edKey->clear();
    ListBox1->clear();
    SetPanel(2, QString());
    SetFormatAndReason(FFormat, QString());
}

void TConvForm::KCSV2Click()
{
    const QString chosen = OpenDialog1();
    if (!chosen.isEmpty())
        OpenCsvFile(chosen);
}

void TConvForm::OpenCsvFile(const QString& chosen)
{
    // The held lines are replaced at once: a record still shown belongs to the earlier data.
    if (FPass.Active())
        ClearRecord();
    // The heading is recognised in the mode of the pass to come.
    ApplyMatchMode();
    TCharSet readDelimiters;
    TCharSet quoteTargets;
    OptForm->GetReadDelimiters(readDelimiters);
    OptForm->GetQuoteTargets(quoteTargets);
    FPass.LoadFromFile(ui::ToFileName(chosen), readDelimiters, quoteTargets);
    if (FPass.Lines().Count() == 0)
        return;
    // A heading line, recognised by the address column chosen last or by a column named
    // like an address, is left out of the field counts and names the columns.
    FPass.SetHeading(FPass.HeadingAddressColumn(FldForm->FAddrCol) >= 0);
    if (!FPass.CheckFieldCounts() && ShowModal(ErrDlg) == mrAbort)
        return;
    FldForm->FillPreview(FPass.Lines(), FPass.ReadDelimiters(), FPass.HasHeading());
    if (FPass.HasHeading())
        FldForm->PreselectFromHeading(true);
    if (ShowModal(FldForm) != mrOk)
        return;
    // The user's word on the heading decides; the field counts are checked again by it.
    if (FldForm->HeadingChecked() != FPass.HasHeading()) {
        FPass.SetHeading(FldForm->HeadingChecked());
        if (!FPass.CheckFieldCounts() && ShowModal(ErrDlg) == mrAbort)
            return;
    }
    FPass.SetColumns(FldForm->FPostCol, FldForm->FAddrCol);
    FPass.SetOfficeColumn(FldForm->FOfficeCol);
    ResetConversion(true);
    ConvertRecords();
}

void TConvForm::ResetConversion(bool active)
{
    edKey->clear();
    ListBox1->clear();
    SetPanel(2, QString());
    const std::string& fileName = FPass.CsvFileName();
    SetPanel(0, active ? ui::FromFileName(io::NamePart(fileName)) : QString());
    SetFormatAndReason(active ? FormatText() : QString(), QString());
    Edit1->clear();
    Edit2->clear();
    if (active)
        ApplyMatchMode();
    // Counters, progress and the dictionary; a dictionary that cannot be opened raises here.
    FPass.ResetConversion(active);
}

void TConvForm::RunStep(const std::function<TStepResult()>& step)
{
    TStepResult result;
    {
        ui::BusyCursor busy;
        EnableRecordButtons(false);
        // The reason was the answered record's.
        SetFormatAndReason(FFormat, QString());
        Panel1->repaint();
        try {
            result = step();
        } catch (...) {
            // A failed step (the dictionary closed under the pass, say) stops the pass: the
            // record it showed is no longer waiting.
            if (!FPass.Waiting())
                ClearRecord();
            else
                EnableRecordButtons(true);
            throw;
        }
    }
    if (result == TStepResult::Finished)
        FinishConversion();
}

void TConvForm::ConvertRecords()
{
    RunStep([this] { return FPass.ConvertRecords(); });
}

void TConvForm::ShowCandidates()
{
    QApplication::beep();
    // The level tells a user nothing: precise mode keeps the caption.
    setWindowTitle(FPass.PreciseMode() ? Text(convtxt::kConvCaption)
                                       : QString::number(LevelNumber(FPass.Level())));
    edKey->setText(FromSjis(FPass.WaitKey()));
    ui::TListBoxItems items(ListBox1);
    {
        UpdateBracket bracket(items);
        items.Clear();
        const TTextResultList& candidates = FPass.Candidates();
        for (int i = 0; i < candidates.Count(); ++i)
            items.Add(candidates.Line(i));
    }
    ShowCandidateCount();
    SetFormatAndReason(FFormat, FromSjis(FPass.WaitReason()));
    Edit1->setText(ui::FromFileText(FPass.WaitPostCode(), FPass.Format().encoding));
    Edit2->setText(ui::FromFileText(FPass.WaitAddress(), FPass.Format().encoding));
    SelectSingleCandidate();
    // Draw the record before the wait; the user's input waits for the buttons below.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    EnableRecordButtons(FPass.Waiting());
    // The next answer starts from the candidates: arrows and Enter answer a record.
    if (FPass.Waiting())
        ListBox1->setFocus(Qt::OtherFocusReason);
}

void TConvForm::ShowCandidateCount()
{
    SetPanel(2, Text(convtxt::kCandidates) + QStringLiteral(" %1").arg(ListBox1->count()));
}

void TConvForm::SelectSingleCandidate()
{
    if (ListBox1->count() != 1)
        return;
    ListBox1->setCurrentRow(0);
    ListBox1Click();
}

void TConvForm::ListBox1Click()
{
    const QListWidgetItem* item = ListBox1->currentItem();
    if (!item || !item->isSelected())
        return;
    Edit1->setText(FromSjis(ToSjis(item->text()).substr(0, kCodeLength)));
}

void TConvForm::BtnOkClick()
{
    if (!FPass.Waiting())
        return;
    const std::string code = ToSjis(Edit1->text());
    RunStep([this, &code] { return FPass.Ok(code); });
}

void TConvForm::btnSkipClick()
{
    if (!FPass.Waiting())
        return;
    RunStep([this] { return FPass.Skip(); });
}

void TConvForm::SpeedButton1Click()
{
    ui::TListBoxItems items(ListBox1);
    try {
        if (!FPass.Research(ToSjis(edKey->text()), items))
            return;
    } catch (...) {
        ShowCandidateCount(); // a failed search may have emptied the list
        throw;
    }
    ShowCandidateCount();
    SelectSingleCandidate();
}

void TConvForm::SpeedButton2Click()
{
    ui::TListBoxItems items(ListBox1);
    {
        ui::BusyCursor busy;
        try {
            if (!FPass.WordSearch(ToSjis(edKey->text()), items))
                return;
        } catch (...) {
            ShowCandidateCount();
            throw;
        }
    }
    ShowCandidateCount();
    SelectSingleCandidate();
}

QLineEdit* TConvForm::FocusedEdit()
{
    QWidget* focused = focusWidget();
    QLineEdit* edit = FLastEdit;
    for (QLineEdit* candidate : {edKey, Edit1, Edit2})
        if (focused == candidate && candidate->hasFocus())
            edit = candidate;
    if (!edit)
        return nullptr;
    // Pressing a button takes the focus from the edit for a moment, and the edit drops its
    // selection on the way: it gets both back.
    edit->setFocus(Qt::OtherFocusReason);
    if (edit == FLastEdit && !edit->hasSelectedText() && FLastSelectionLength > 0 &&
        FLastSelectionStart + FLastSelectionLength <= edit->text().size())
        edit->setSelection(FLastSelectionStart, FLastSelectionLength);
    return edit;
}

void TConvForm::RememberSelection(QLineEdit* edit)
{
    // Only while the edit has the focus: losing it clears the selection, which must not count.
    if (!edit->hasFocus())
        return;
    FLastEdit = edit;
    FLastSelectionStart = edit->selectionStart();
    FLastSelectionLength = static_cast<int>(edit->selectedText().size());
}

void TConvForm::ListBox1Accept()
{
    if (!BtnOk->isEnabled())
        return;
    // Without a line chosen, OK takes 郵便番号 as it stands, as the button does. The list
    // makes its first line current (unselected) when it takes the focus: that is no choice.
    QListWidgetItem* item = ListBox1->currentItem();
    if (item && item->isSelected())
        ListBox1Click();
    BtnOkClick();
}

bool TConvForm::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == StatusBar1 || watched == FPanels[3]) &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        PlaceReason();
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (enter && watched == ListBox1) {
            ui::Guarded([this] { ListBox1Accept(); });
            return true;
        }
        // The first arrow chooses the line the list shows as current, rather than the next.
        if ((key == Qt::Key_Down || key == Qt::Key_Up) && watched == ListBox1 &&
            ListBox1->count() > 0 && ListBox1->selectedItems().isEmpty()) {
            if (!ListBox1->currentItem())
                ListBox1->setCurrentRow(0);
            ListBox1->currentItem()->setSelected(true);
            ListBox1Click();
            return true;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(watched); enter && button) {
            if (button->isEnabled())
                button->click();
            return true;
        }
    }
    return TMdiChildForm::eventFilter(watched, event);
}

void TConvForm::SpeedButton3Click()
{
    QLineEdit* edit = FocusedEdit();
    if (!edit || !edit->hasSelectedText())
        return;
    QGuiApplication::clipboard()->setText(edit->selectedText());
    FlashOK();
}

void TConvForm::SpeedButton5Click()
{
    QLineEdit* edit = FocusedEdit();
    if (!edit || edit->isReadOnly() || !edit->hasSelectedText())
        return;
    edit->del();
    FlashOK();
}

void TConvForm::SpeedButton4Click()
{
    QLineEdit* edit = FocusedEdit();
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    if (!edit || edit->isReadOnly() || !clip || !clip->hasText())
        return;
    edit->paste();
    FlashOK();
}

void TConvForm::FlashOK()
{
    imgOK->show();
    imgOK->repaint();
    QThread::msleep(kFlashMilliseconds);
    imgOK->hide();
}

void TConvForm::FinishConversion()
{
    // The record buttons must not act on data the result dialog is about to save or drop.
    EnableRecordButtons(false);
    RsltDlg->SetCounts(FPass.RecordCount(), FPass.BlankCount(), FPass.ConvCount(),
                       FPass.SkipCount());
    RsltDlg->SetHeadingCount(FPass.HeadingCount());
    if (FPass.MatchMode() == TMatchMode::Precise)
        RsltDlg->SetCodeCounts(FPass.NewCount(), FPass.ReplacedCount(), FPass.StaleCount(),
                               FPass.KeptCount());
    else
        RsltDlg->HideCodeCounts();
    RsltDlg->SetOfficeCodeCount(FPass.OfficeColumnInUse() ? FPass.OfficeCodeCount() : -1);
    for (;;) {
        const int result = ShowModal(RsltDlg);
        if (result == mrSave) {
            // A save that failed has said why and kept the results: the user may deal with
            // the cause and save again, or choose otherwise.
            if (!SaveResults())
                continue;
            ResetConversion(false);
            return;
        }
        if (result == mrContinue) {
            FldForm->FillPreview(FPass.Lines(), FPass.ReadDelimiters(), FPass.HasHeading());
            // Cancelling the field dialog goes back to the results, never throws them away.
            if (ShowModal(FldForm) != mrOk)
                continue;
            FPass.SetHeading(FldForm->HeadingChecked());
            FPass.SetColumns(FldForm->FPostCol, FldForm->FAddrCol);
            FPass.SetOfficeColumn(FldForm->FOfficeCol);
            ResetConversion(true);
            ConvertRecords();
            return;
        }
        // Escape or the close box choose nothing: the results go only when the user says so.
        if (result == mrDiscard || AskWarning(Text(msg::kDiscardConversion))) {
            FPass.Discard();
            ResetConversion(false);
            return;
        }
    }
}

bool TConvForm::SaveResults()
{
    bool ended = false;
    ui::Guarded([&] {
        if (FPass.SaveWithBackup() == TSaveResult::BackupFailed) {
            // The Part's question, with the reason under it.
            QString question = Text(msg::kCannotBackup);
            if (!FPass.BackupProblem().empty())
                question += QStringLiteral("\n\n") + ui::FromSjis(FPass.BackupProblem());
            if (AskWarning(question))
                FPass.SaveWithoutBackup();
            else
                FPass.Discard();
        }
        ended = true;
    });
    return ended;
}

void TConvForm::Close1Click()
{
    close();
}

void TConvForm::KCSV1Click()
{
    ShowModal(OptForm);
}

void TConvForm::KH1Click()
{
    ui::ShowHelpContext(ui::kHelpContextConvert);
}

bool TConvForm::CloseQuery()
{
    return !FPass.Active() || AskWarning(Text(msg::kDiscardConversion));
}

void TConvForm::closeEvent(QCloseEvent* event)
{
    if (!FCloseAgreed && !CloseQuery()) {
        event->ignore();
        return;
    }
    TMdiChildForm::closeEvent(event);
}
