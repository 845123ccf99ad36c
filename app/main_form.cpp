#include "app/main_form.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QTextEdit>

#include <algorithm>

#include <unistd.h>

#include "app/about_dlg.h"
#include "app/dictionary_use.h"
#include "convui/conv_form.h"
#include "convui/conv_windows.h"
#include "convui/err_dlg.h"
#include "convui/fld_form.h"
#include "convui/opt_form.h"
#include "convui/rslt_dlg.h"
#include "engine/dictionary/data_dirs.h"
#include "engine/dictionary/dictionary_build.h"
#include "engine/io/file_io.h"
#include "find/find_form.h"
#include "ui/busy_cursor.h"
#include "ui/error_display.h"
#include "ui/help.h"
#include "ui/mdi_child.h"
#include "ui/pictures.h"
#include "ui/ui_text.h"

using namespace kompa::ui;

namespace {

// Whether the widget with the focus uses the key itself, as everywhere on this platform: copy in
// an edit or a list holding a selection, delete in an edit holding one it may change.
bool TakesKeyItself(QWidget* widget, const QKeyEvent* key)
{
    const bool copy = key->matches(QKeySequence::Copy);
    const bool erase = key->matches(QKeySequence::DeleteEndOfWord);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->hasSelectedText() && (copy || (erase && !edit->isReadOnly()));
    if (auto* text = qobject_cast<QTextEdit*>(widget))
        return text->textCursor().hasSelection() && (copy || (erase && !text->isReadOnly()));
    // A list copies its current line: only when that line is chosen.
    if (auto* list = qobject_cast<QAbstractItemView*>(widget))
        return copy && list->selectionModel() &&
               list->selectionModel()->isSelected(list->currentIndex());
    return false;
}

} // namespace

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    MainForm = this;
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setFont(GothicFont(12));
    setWindowIcon(QIcon(MagnifierPicture()));
    // Owned by no window, like the platform's own dialogs; deleted with the frame.
    FConvDialogs = {new TOptForm, new TFldForm, new TErrDlg, new TRsltDlg};
    FClient = new QMdiArea(this);
    FClient->setObjectName(QStringLiteral("ClientArea"));
    // The desktop's classic background colour.
    FClient->setBackground(QColor(0x00, 0x80, 0x80));
    setCentralWidget(FClient);
    connect(FClient, &QMdiArea::subWindowActivated, this, [this] { MergeMenus(); });
    CreateMenus();
    MergeMenus();

    resize(481, 368);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // The frame's window commands come before the controls' own use of the same keys.
    qApp->installEventFilter(this);
    Guarded([this] { FormCreate(); });
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
    // The children close their dictionaries when destroyed; they go while the dictionaries live.
    const QList<QMdiSubWindow*> children = FClient->subWindowList();
    for (QMdiSubWindow* child : children)
        delete child;
    delete FConvDialogs.results;
    delete FConvDialogs.errors;
    delete FConvDialogs.fields;
    delete FConvDialogs.options;
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::FormCreate()
{
    ProgramDir = kompa::io::DirectoryPart(kompa::io::ProgramFileName());
    DictDir = kompa::FindDictionaryDir();
}

QAction* TMainForm::AddItem(QMenu* menu, const char* objectName, const QString& caption,
                            void (TMainForm::*handler)(), const QKeySequence& shortcut)
{
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(objectName));
    if (!shortcut.isEmpty()) {
        item->setShortcut(shortcut);
        FFrameShortcuts.append(shortcut);
    }
    connect(item, &QAction::triggered, this, Guard([this, handler] { (this->*handler)(); }));
    return item;
}

void TMainForm::CreateMenus()
{
    auto topMenu = [this](const char* name, const QString& caption, int group) {
        auto* menu = new QMenu(caption, this);
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        SetMenuGroup(menu->menuAction(), group);
        FFrameItems.append(menu->menuAction());
        return menu;
    };
    QMenu* KF1 = topMenu("KF1", QStringLiteral("ファイル(&F)"), 0);
    AddItem(KF1, "K1", QStringLiteral("辞書ファイルの作成(&M)"), &TMainForm::K1Click);
    KF1->addSeparator()->setObjectName(QStringLiteral("N1"));
    AddItem(KF1, "Exit1", QStringLiteral("終了(&X)"), &TMainForm::Exit1Click);

    QMenu* KW1 = topMenu("KW1", QStringLiteral("ウインドウ(&W)"), 1);
    AddItem(KW1, "KF2", QStringLiteral("検索ウインドウ(&F)"), &TMainForm::KF2Click,
            QKeySequence(Qt::CTRL | Qt::Key_F));
    AddItem(KW1, "KC1", QStringLiteral("一括変換ウインドウ(&V)"), &TMainForm::KC1Click,
            QKeySequence(Qt::CTRL | Qt::Key_C));
    KW1->addSeparator()->setObjectName(QStringLiteral("N3"));
    AddItem(KW1, "Tile1", QStringLiteral("並べて表示(&T)"), &TMainForm::Tile1Click);
    AddItem(KW1, "Cascade1", QStringLiteral("重ねて表示(&C)"), &TMainForm::Cascade1Click);
    AddItem(KW1, "KQ1", QStringLiteral("全て閉じる(&X)"), &TMainForm::KQ1Click,
            QKeySequence(Qt::CTRL | Qt::Key_Delete));

    QMenu* KH1 = topMenu("KH1", QStringLiteral("ヘルプ(&H)"), 9);
    AddItem(KH1, "Contents1", QStringLiteral("目次(&C)"), &TMainForm::Contents1Click);
    AddItem(KH1, "KA1", QStringLiteral("バージョン情報(&A)"), &TMainForm::KA1Click);
}

TMdiChildForm* TMainForm::ActiveChild() const
{
    if (auto* active = dynamic_cast<TMdiChildForm*>(FClient->activeSubWindow()))
        return active;
    // While the frame itself is inactive the area reports no active child; the child that
    // was active last still owns the menu bar.
    const QList<QMdiSubWindow*> history = FClient->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (auto it = history.rbegin(); it != history.rend(); ++it)
        if (auto* child = dynamic_cast<TMdiChildForm*>(*it); child && !child->isHidden())
            return child;
    return nullptr;
}

void TMainForm::MergeMenus()
{
    const TMdiChildForm* child = ActiveChild();
    const QList<QAction*> items =
        child ? MergeMenuItems(FFrameItems, child->MenuItems()) : FFrameItems;
    QMenuBar* bar = menuBar();
    if (bar->actions() == items)
        return;
    bar->clear();
    bar->addActions(items);
}

void TMainForm::AddChild(TMdiChildForm* child)
{
    FClient->addSubWindow(child);
    // A closed child leaves the menu bar to the next one (or to the frame).
    connect(
        child, &QObject::destroyed, this, [this] { MergeMenus(); }, Qt::QueuedConnection);
    child->showMaximized();
    FClient->setActiveSubWindow(child);
    MergeMenus();
}

std::vector<std::string> TMainForm::ExecuteOpenDialog()
{
    // An installed program's directory (/usr/bin) holds no data of the user's: start at home.
    const QString start =
        ::access(ProgramDir.c_str(), W_OK) == 0 ? FromFileName(ProgramDir) : QDir::homePath();
    const QStringList fileNames = QFileDialog::getOpenFileNames(
        this, QString(), start,
        QStringLiteral(
            "郵政省郵便番号データファイル (*.CSV *.csv *.ZIP *.zip);;全てのファイル (*)"));
    std::vector<std::string> chosen;
    for (const QString& fileName : fileNames)
        chosen.push_back(ToFileName(fileName));
    return chosen;
}

void TMainForm::K1Click()
{
    // One or both data files: each builds its own dictionaries, and both together replace all
    // three files at once.
    const std::vector<std::string> chosen = OpenDialog1 ? OpenDialog1() : ExecuteOpenDialog();
    if (chosen.empty())
        return;
    const std::string dir = kompa::io::DirectoryPart(chosen.front());
    std::vector<kompa::TBuildSource> sources;
    {
        BusyCursor busy;
        for (const std::string& fileName : chosen)
            sources.push_back(kompa::ReadBuildSource(fileName));
        kompa::MakeDictionaryFiles(sources, dir);
    }
    OfferBuiltDictionaries(*this, sources, dir);
}

void TMainForm::Exit1Click()
{
    close();
}

void TMainForm::KF2Click()
{
    if (FindForm)
        BringForward(FindForm);
    else
        AddChild(new TFindForm(PostCode1, CodeAddress1, Offices, DictDir));
    FindForm->FocusFirstControl();
}

void TMainForm::KC1Click()
{
    if (ConvForm)
        BringForward(ConvForm);
    else
        AddChild(new TConvForm(PostCode1, DictDir, FConvDialogs));
    ConvForm->FocusFirstControl();
}

void TMainForm::BringForward(TMdiChildForm* child)
{
    // With every child maximised, maximising alone would leave it hidden behind the active one.
    child->showMaximized();
    FClient->setActiveSubWindow(child);
}

QList<QMdiSubWindow*> TMainForm::ArrangedChildren() const
{
    // Front to back; minimised and hidden windows keep their places.
    QList<QMdiSubWindow*> children;
    const QList<QMdiSubWindow*> stacking = FClient->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it)
        if (!(*it)->isHidden() && !(*it)->isMinimized())
            children.append(*it);
    return children;
}

void TMainForm::Tile1Click()
{
    // Horizontal tiling: each window as wide as the client area, one above the other, the
    // active one on top. The area's own tiling makes columns instead, and pushes a child that
    // cannot be narrowed that far out of sight.
    const QList<QMdiSubWindow*> children = ArrangedChildren();
    if (children.isEmpty())
        return;
    const QRect client = FClient->viewport()->rect();
    const int count = static_cast<int>(children.size());
    // A maximised window measures without its title bar.
    for (QMdiSubWindow* child : children)
        if (child->isMaximized())
            child->showNormal();
    // Even shares, except that a window whose controls need more (the conversion window with
    // a usable candidate list) gets what it needs and the others share the rest.
    QList<int> heights(count, 0);
    QList<bool> fixed(count, false);
    int remaining = client.height();
    int flexible = count;
    for (bool changed = true; changed && flexible > 0;) {
        changed = false;
        const int share = remaining / flexible;
        for (int i = 0; i < count; ++i) {
            const int needed = children[i]->minimumSizeHint().height();
            if (!fixed[i] && needed > share && flexible > 1) {
                fixed[i] = true;
                heights[i] = needed;
                remaining -= needed;
                --flexible;
                changed = true;
                break;
            }
        }
    }
    for (int i = 0, left = flexible; i < count; ++i) {
        if (fixed[i])
            continue;
        // The last window takes what the division leaves over.
        heights[i] = left == 1 ? remaining : remaining / left;
        remaining -= heights[i];
        --left;
    }
    int top = client.top();
    for (int i = 0; i < count; ++i) {
        children[i]->setGeometry(client.left(), top, client.width(), heights[i]);
        top += heights[i];
    }
}

void TMainForm::Cascade1Click()
{
    // Each window one title bar further right and down, all of the same size, so that the
    // last one still ends inside the client area; the active one in front.
    const QList<QMdiSubWindow*> children = ArrangedChildren();
    if (children.isEmpty())
        return;
    const QRect client = FClient->viewport()->rect();
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, children.first());
    const int count = static_cast<int>(children.size());
    const QSize size(std::max(client.width() - step * (count - 1), 1),
                     std::max(client.height() - step * (count - 1), 1));
    for (int i = 0; i < count; ++i) {
        QMdiSubWindow* child = children[count - 1 - i];
        if (child->isMaximized())
            child->showNormal();
        child->setGeometry(QRect(client.topLeft() + QPoint(step * i, step * i), size));
        child->raise();
    }
}

void TMainForm::KQ1Click()
{
    if (FindForm)
        FindForm->close();
    if (ConvForm)
        ConvForm->close();
}

void TMainForm::Contents1Click()
{
    ShowHelpContents();
}

void TMainForm::KA1Click()
{
    TAboutDlg about(this);
    AddDictionaryLines(about, DictDir);
    about.exec();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Every child is asked first; one that refuses keeps the program running with all of its
    // windows, none closed.
    const QList<QMdiSubWindow*> children = FClient->subWindowList();
    for (QMdiSubWindow* child : children) {
        auto* form = dynamic_cast<TMdiChildForm*>(child);
        if (form && !form->CloseQuery()) {
            event->ignore();
            return;
        }
    }
    for (QMdiSubWindow* child : children) {
        if (auto* form = dynamic_cast<TMdiChildForm*>(child))
            form->CloseAgreed();
        if (!child->close()) {
            event->ignore();
            return;
        }
    }
    // The program ends with its frame; an open help viewer must not keep it running.
    if (QWidget* help = HelpViewer())
        help->close();
    event->accept();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    // An edit box would take Ctrl+C and Ctrl+Del for itself even with nothing to copy or
    // delete; the frame's commands win there, so the keys do the same wherever the focus is. An
    // edit or a list holding a selection keeps its copy (and an edit its delete).
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this && FFrameShortcuts.contains(pressed)) {
            // Accepted, the key goes to the widget and the frame's command stays unused.
            event->setAccepted(TakesKeyItself(widget, key));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
