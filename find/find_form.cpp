#include "find/find_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/find_query.h"
#include "engine/dictionary/office_dictionary.h"
#include "engine/io/file_io.h"
#include "engine/match/precise_matcher.h"
#include "ui/busy_cursor.h"
#include "ui/error_display.h"
#include "ui/help.h"
#include "ui/list_box_items.h"
#include "ui/pictures.h"
#include "ui/ui_text.h"

using namespace kompa::ui;

TFindForm* FindForm = nullptr;

namespace {

constexpr int kItemHeight = 15;
constexpr char kDragFormat[] = "application/x-kompa-drag";

// Lines of one fixed height: the list box draws every line 15 pixels high.
class TFixedHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight};
    }
};

} // namespace

TFindForm::TFindForm(kompa::TPostCode& postCode, kompa::TCodeAddress& codeAddress,
                     kompa::TOfficeDictionary& offices, std::string dictDir, QWidget* parent)
    : TMdiChildForm(parent), FPostCode(postCode), FCodeAddress(codeAddress), FOffices(offices),
      FDictDir(std::move(dictDir))
{
    FindForm = this;
    setObjectName(QStringLiteral("FindForm"));
    setWindowTitle(QStringLiteral("検索ウインドウ"));
    setWindowIcon(QIcon(MagnifierPicture()));
    CreateControls();
    resize(461, 300);
    Guarded([this] { FormCreate(); });
}

TFindForm::~TFindForm()
{
    Guarded([this] { FormDestroy(); });
}

void TFindForm::CreateControls()
{
    auto* content = new QWidget;
    content->setFont(GothicFont(15));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel1 = new QWidget(content);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(61);
    layout->addWidget(Panel1);

    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(5, 5, 291, 23);
    Edit1->installEventFilter(this);

    SpeedButton1 = new QToolButton(Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("検索(RET)"));
    SpeedButton1->setIcon(QIcon(MagnifierPicture()));
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setGeometry(300, 5, 96, 25);
    connect(SpeedButton1, &QToolButton::clicked, this, Guard([this] { SpeedButton1Click(); }));

    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(ClipboardPicture());
    Image1->setGeometry(5, 35, 20, 20);
    Image1->setToolTip(QStringLiteral("クリップボード"));
    Image1->setAcceptDrops(true);
    Image1->installEventFilter(this);

    chkKen = new QCheckBox(QStringLiteral("都道府県名を付ける"), Panel1);
    chkKen->setObjectName(QStringLiteral("chkKen"));
    chkKen->setGeometry(45, 35, 156, 17);
    connect(chkKen, &QCheckBox::toggled, this, Guard([this] { chkKenClick(); }));

    Label1 = new QLabel(Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->move(200, 35);

    ListBox1 = new QListWidget(content);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setItemDelegate(new TFixedHeightDelegate(ListBox1));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setTextElideMode(Qt::ElideNone); // long addresses are cut, never shortened with "…"
    ListBox1->viewport()->installEventFilter(this);
    layout->addWidget(ListBox1);

    Panel2 = new QWidget(content);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(23);
    layout->addWidget(Panel2);
    chkOffice = new QCheckBox(QStringLiteral("事業所も探す"), Panel2);
    chkOffice->setObjectName(QStringLiteral("chkOffice"));
    chkOffice->setGeometry(45, 3, 156, 17);
    chkOffice->setEnabled(false);
    connect(chkOffice, &QCheckBox::toggled, this, Guard([this] { chkOfficeClick(); }));

    Panel1->installEventFilter(this); // its width bounds the status line

    setTabOrder(Edit1, chkKen);
    setTabOrder(chkKen, chkOffice);
    setTabOrder(chkOffice, ListBox1);
    setWidget(content);

    QMenu* KF1 = AddMenu(QStringLiteral("KF1"), QStringLiteral("ファイル(&F)"), 0);
    QAction* Close1 = KF1->addAction(QStringLiteral("閉じる(&X)"));
    Close1->setObjectName(QStringLiteral("Close1"));
    connect(Close1, &QAction::triggered, this, Guard([this] { Close1Click(); }));
    QAction* KH1 = AddMenuCommand(QStringLiteral("KH1"), QStringLiteral("ヘルプ(&H)"), 9);
    connect(KH1, &QAction::triggered, this, Guard([this] { KH1Click(); }));
}

void TFindForm::FormCreate()
{
    FPostCode.OpenDictionary(FDictDir + kompa::kAddressDictName);
    const std::string codeDict = FDictDir + kompa::kCodeDictName;
    if (kompa::io::FileExists(codeDict))
        FCodeAddress.OpenDictionary(codeDict);
    const std::string officeDict = FDictDir + kompa::kOfficeDictName;
    if (kompa::io::FileExists(officeDict))
        FOffices.OpenDictionary(officeDict);
    UpdateOfficeControls();
}

void TFindForm::FormDestroy()
{
    FOffices.CloseDictionary();
    FCodeAddress.CloseDictionary();
    FPostCode.CloseDictionary();
    if (FindForm == this)
        FindForm = nullptr;
}

void TFindForm::showEvent(QShowEvent* event)
{
    TMdiChildForm::showEvent(event);
    if (!FFocusSet) {
        FFocusSet = true;
        Edit1->setFocus();
    }
}

void TFindForm::SpeedButton1Click()
{
    const std::string text = ToSjis(Edit1->text());
    TListBoxItems items(ListBox1);
    const kompa::TFindDictionaries dictionaries{
        [this]() -> kompa::TCodeAddress& { return FCodeAddress; },
        [this]() -> kompa::TPostCode& { return FPostCode; }, &FOffices};
    const kompa::TFindAnswer answer = kompa::FindAsSearchWindow(
        dictionaries, text, items, chkKen->isChecked(),
        [](const std::function<void()>& search) {
            BusyCursor busy;
            search();
        },
        chkOffice->isChecked());
    FStatusKey = FromSjis(answer.key);
    FStatusCount = ListBox1->count();
    if (answer.kind != kompa::TFindKind::Code)
        SelectPreciseAnswer(text);
    ShowStatusLine();
}

void TFindForm::SelectPreciseAnswer(const std::string& sjis)
{
    // Built at the first address that asks, kept while the dictionary stays open.
    const std::shared_ptr<const kompa::match::TPreciseMatcher> matcher =
        kompa::match::PreciseMatcherFor(FPostCode);
    if (!matcher)
        return;
    kompa::match::TPreciseAnswer answer;
    matcher->Match(sjis, {}, answer);
    if (!answer.decided)
        return;
    // The answer's own line; else the first line of its code (a town split over several
    // lines is one joined line to the matcher); else the answer's line goes first. The status
    // line keeps counting the search's lines.
    const QString code = QString::fromLatin1(answer.CodeText());
    const QString line =
        answer.candidates.empty()
            ? QString()
            : FromSjis(matcher->CandidateLine(answer.candidates.front(), chkKen->isChecked()));
    int row = -1;
    for (int i = 0; i < ListBox1->count() && row < 0; ++i)
        if (!line.isEmpty() && ListBox1->item(i)->text() == line)
            row = i;
    for (int i = 0; i < ListBox1->count() && row < 0; ++i)
        if (ListBox1->item(i)->text().startsWith(code + QLatin1Char(' ')))
            row = i;
    if (row < 0) {
        if (line.isEmpty())
            return;
        ListBox1->insertItem(0, line);
        row = 0;
    }
    ListBox1->setCurrentRow(row);
    ListBox1->scrollToItem(ListBox1->item(row));
}

void TFindForm::ShowStatusLine()
{
    if (FStatusCount < 0)
        return;
    // A long key is shortened to fit the panel; the count always shows whole.
    const QString head = QStringLiteral("検索キー \"");
    const QString tail = QStringLiteral("\" 候補数 ") + QString::number(FStatusCount);
    const QFontMetrics metrics = Label1->fontMetrics();
    // Until the window is laid out its panel has no width of its own to fit.
    if (!Panel1->isVisible()) {
        Label1->setText(head + FStatusKey + tail);
        Label1->adjustSize();
        return;
    }
    const int room = Panel1->width() - Label1->x() - 4;
    const int keyRoom = room - metrics.horizontalAdvance(head + tail);
    const QString key = metrics.horizontalAdvance(FStatusKey) <= keyRoom
                            ? FStatusKey
                            : metrics.elidedText(FStatusKey, Qt::ElideRight, std::max(keyRoom, 0));
    Label1->setText(head + key + tail);
    Label1->adjustSize();
}

bool TFindForm::Edit1KeyPress(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    Guarded([this] { SpeedButton1Click(); });
    return true;
}

void TFindForm::chkKenClick()
{
    if (!Edit1->text().isEmpty())
        SpeedButton1Click();
}

void TFindForm::chkOfficeClick()
{
    if (!Edit1->text().isEmpty())
        SpeedButton1Click();
}

void TFindForm::UpdateOfficeControls()
{
    chkOffice->setEnabled(FOffices.IsOpen());
}

void TFindForm::Close1Click()
{
    close();
}

void TFindForm::KH1Click()
{
    ShowHelpContext(kHelpContextSearch);
}

void TFindForm::ListBox1MouseDown(QPoint at)
{
    // The press reaches this window before the list selects the line under the mouse, so
    // whether a line is selected is asked once the mouse moves.
    FDragSource = ListBox1;
    FDragStart = at;
}

void TFindForm::Image1MouseDown(QPoint at)
{
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    FDragSource = clip && clip->hasText() ? Image1 : nullptr;
    FDragStart = at;
}

bool TFindForm::Image1DragOver(const QObject* source) const
{
    return source == ListBox1;
}

void TFindForm::Image1DragDrop()
{
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    if (selected.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(selected.first()->text());
    QApplication::beep();
}

bool TFindForm::Edit1DragOver(const QObject* source) const
{
    return source == Image1;
}

void TFindForm::Edit1DragDrop()
{
    Edit1->setText(QGuiApplication::clipboard()->text());
}

bool TFindForm::MouseMoved(QWidget* source, QPoint at)
{
    if (!FDragSource || FDragSource != source)
        return false;
    if (source == ListBox1 && ListBox1->selectedItems().isEmpty()) {
        FDragSource = nullptr;
        return false;
    }
    if ((at - FDragStart).manhattanLength() < QApplication::startDragDistance())
        return true; // still a click; the list must not drag its selection along
    FDragSource = nullptr;
    auto* drag = new QDrag(source);
    auto* payload = new QMimeData;
    payload->setData(QString::fromLatin1(kDragFormat), source->objectName().toLatin1());
    drag->setMimeData(payload);
    drag->exec(Qt::CopyAction);
    return true;
}

bool TFindForm::DragEvent(QWidget* target, QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    const bool accepted =
        target == Image1 ? Image1DragOver(drop->source()) : Edit1DragOver(drop->source());
    if (!accepted) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop)
        Guarded([&] { target == Image1 ? Image1DragDrop() : Edit1DragDrop(); });
    return true;
}

bool TFindForm::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == Panel1 && type == QEvent::Resize)
        ShowStatusLine();
    if (watched == Edit1 && type == QEvent::KeyPress)
        return Edit1KeyPress(static_cast<QKeyEvent*>(event)->key());
    if ((watched == Edit1 || watched == Image1) &&
        (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop))
        return DragEvent(static_cast<QWidget*>(watched), event);

    QWidget* source = watched == ListBox1->viewport() ? static_cast<QWidget*>(ListBox1)
                      : watched == Image1             ? static_cast<QWidget*>(Image1)
                                                      : nullptr;
    const bool mouseEvent = type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                            type == QEvent::MouseButtonRelease;
    if (source && mouseEvent) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (type == QEvent::MouseButtonPress) {
            if (source == Image1)
                Image1MouseDown(mouse->position().toPoint());
            else
                ListBox1MouseDown(mouse->position().toPoint());
        } else if (type == QEvent::MouseMove && (mouse->buttons() != Qt::NoButton)) {
            return MouseMoved(source, mouse->position().toPoint());
        } else if (type == QEvent::MouseButtonRelease) {
            FDragSource = nullptr;
        }
    }
    return TMdiChildForm::eventFilter(watched, event);
}
