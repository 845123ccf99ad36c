#include "convui/fld_form.h"

#include <algorithm>
#include <cstdlib>

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>

#include "conv/book_lines.h"
#include "conv/column_names.h"
#include "conv/csv_fields.h"
#include "convui/conv_texts.h"
#include "convui/modal_result.h"
#include "ui/ui_text.h"

using namespace kompa;
using kompa::ui::FromSjis;

namespace {

constexpr int kColumnCount = 10;
constexpr int kColumnWidth = 120;
constexpr int kEdgeReach = 3;
// Lines kept for the preview: more than any screen shows.
constexpr int kPreviewLines = 200;
// Records the dialog shows when it opens; taller, it shows more.
constexpr int kOpeningRows = 8;

} // namespace

TFldForm::TFldForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FldForm"));
    setFont(kompa::ui::GothicFont(12));
    setWindowTitle(FromSjis(convtxt::kFldCaption));

    Label1 = new QLabel(FromSjis(convtxt::kFldHintLeft), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(FromSjis(convtxt::kFldHintRight), this);
    Label2->setObjectName(QStringLiteral("Label2"));

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                              FromSjis(convtxt::kOk), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn1->setEnabled(false);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              FromSjis(convtxt::kCancel), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAutoDefault(false);
    for (QPushButton* button : {BitBtn1, BitBtn2})
        button->setMinimumWidth(96);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });

    StringGrid1 = new QTableWidget(kPreviewRows + 1, kColumnCount, this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The keyboard's column is shown whole; only the heading row's clicks choose.
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectColumns);
    StringGrid1->setFocusPolicy(Qt::StrongFocus);
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->setShowGrid(true);
    StringGrid1->setWordWrap(false);
    StringGrid1->setTextElideMode(Qt::ElideNone); // a long field is cut at the cell's edge
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    StringGrid1->installEventFilter(this);
    StringGrid1->viewport()->installEventFilter(this);
    StringGrid1->viewport()->setMouseTracking(true);
    const int rowHeight = StringGrid1->verticalHeader()->defaultSectionSize();
    const int chrome = 2 * StringGrid1->frameWidth() +
                       StringGrid1->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
    StringGrid1->setMinimumHeight(rowHeight * (kPreviewRows + 1) + chrome);
    StringGrid1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    // Below everything the dialog had, so no control of it moves.
    cbHeading = new QCheckBox(FromSjis(convtxt::kHeadingCheck), this);
    cbHeading->setObjectName(QStringLiteral("cbHeading"));
    lblKeys = new QLabel(FromSjis(convtxt::kFldKeys), this);
    lblKeys->setObjectName(QStringLiteral("lblKeys"));
    lblKeys->setEnabled(false);
    connect(cbHeading, &QCheckBox::toggled, this, [this](bool checked) {
        ShowPreview();
        if (checked)
            PreselectFromHeading(false);
    });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cbHeading);
    bottom->addStretch();
    bottom->addWidget(lblKeys);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(Label2, 1, 0);
    layout->addWidget(BitBtn1, 0, 1);
    layout->addWidget(BitBtn2, 1, 1);
    layout->addWidget(StringGrid1, 2, 0, 1, 2);
    layout->addLayout(bottom, 3, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    layout->setRowStretch(2, 1);
    resize(560, sizeHint().height() + rowHeight * (kOpeningRows - kPreviewRows));

    ShowHeadings();
}

void TFldForm::SetCell(int row, int col, const QString& text, bool bold)
{
    QTableWidgetItem* item = StringGrid1->item(row, col);
    if (!item) {
        item = new QTableWidgetItem;
        if (row == 0) {
            // The heading row looks fixed, like a header.
            item->setBackground(palette().button());
            item->setForeground(palette().buttonText());
        }
        StringGrid1->setItem(row, col, item);
    }
    item->setText(text);
    if (item->font().bold() != bold) {
        QFont font = item->font();
        font.setBold(bold);
        item->setFont(font);
    }
}

bool TFldForm::HeadingChecked() const
{
    return cbHeading->isChecked();
}

void TFldForm::ShowHeadings()
{
    // A heading line names every column; a chosen column shows its part, and its name beside.
    const bool heading = HeadingChecked() && !FPreview.empty();
    for (int col = 0; col < StringGrid1->columnCount(); ++col) {
        const QString name =
            heading && col < FPreview.front().size() ? FPreview.front()[col] : QString();
        const char* part = col == FAddrCol     ? convtxt::kAddress
                           : col == FPostCol   ? convtxt::kPostCode
                           : col == FOfficeCol ? convtxt::kOfficeName
                                               : nullptr;
        if (!part) {
            SetCell(0, col, name);
            continue;
        }
        const QString label = FromSjis(part);
        SetCell(0, col,
                name.isEmpty() || name == label
                    ? label
                    : label + QStringLiteral("\uFF08") + name + QStringLiteral("\uFF09"),
                true);
    }
}

int TFldForm::VisibleRecordRows() const
{
    const int rowHeight = StringGrid1->verticalHeader()->defaultSectionSize();
    return std::max(kPreviewRows, StringGrid1->viewport()->height() / rowHeight - 1);
}

void TFldForm::ShowPreview()
{
    const int first = HeadingChecked() && !FPreview.empty() ? 1 : 0;
    const int rows = VisibleRecordRows();
    const int shown = std::clamp(static_cast<int>(FPreview.size()) - first, 0, rows);
    // Every field of the lines shown has a column (the heading's included); a file of empty
    // lines still has one. The count of an earlier file's columns stays until a file is shown.
    if (!FPreview.empty()) {
        qsizetype columns = 1;
        for (int i = 0; i < first + shown; ++i)
            columns = std::max(columns, FPreview[static_cast<std::size_t>(i)].size());
        StringGrid1->setColumnCount(static_cast<int>(columns));
    }
    StringGrid1->setRowCount(rows + 1);
    // Rows of an earlier file would pass for fields of this one.
    for (int row = 1; row <= rows; ++row)
        for (int col = 0; col < StringGrid1->columnCount(); ++col)
            delete StringGrid1->takeItem(row, col);
    for (int i = 0; i < shown; ++i) {
        const QStringList& fields = FPreview[static_cast<std::size_t>(first) + i];
        const qsizetype columns = std::min<qsizetype>(fields.size(), StringGrid1->columnCount());
        for (int col = 0; col < columns; ++col)
            SetCell(i + 1, col, fields[col]);
    }
    ShowHeadings();
}

void TFldForm::FillPreview(const kompa::TBookLines& lines, const kompa::TCharSet& readDelimiters,
                           bool heading)
{
    FPreview.clear();
    TFieldList fields;
    for (int i = 0; i < std::min(lines.Count(), kPreviewLines); ++i) {
        SplitFields(fields, lines[i], readDelimiters);
        QStringList& row = FPreview.emplace_back();
        for (const std::string& field : fields.Items())
            row << kompa::ui::FromFileText(field, lines.Format().encoding);
    }
    {
        const QSignalBlocker quiet(cbHeading);
        cbHeading->setChecked(heading);
    }
    ShowPreview();
    UpdateOkButton();
}

void TFldForm::PreselectFromHeading(bool replace)
{
    if (!HeadingChecked() || FPreview.empty())
        return;
    int post = -1;
    int addr = -1;
    const QStringList& names = FPreview.front();
    for (int col = 0; col < names.size(); ++col) {
        const TColumnName kind = ColumnNameOf(kompa::ui::ToSjis(names[col]));
        if (kind == TColumnName::PostalCode && post < 0)
            post = col;
        else if (kind == TColumnName::Address && addr < 0)
            addr = col;
    }
    if (post >= 0 && (replace || FPostCol < 0))
        FPostCol = post;
    if (addr >= 0 && (replace || FAddrCol < 0))
        FAddrCol = addr;
    ShowHeadings();
    UpdateOkButton();
}

void TFldForm::ChooseColumn(Qt::MouseButton button, int col)
{
    if (button == Qt::MiddleButton) {
        // A column is one part at most: the code's or the address's is not the company's.
        if (col == FPostCol || col == FAddrCol) {
            QApplication::beep();
            return;
        }
        FOfficeCol = col == FOfficeCol ? -1 : col;
    } else if (button == Qt::LeftButton) {
        FPostCol = col;
    } else if (button == Qt::RightButton) {
        FAddrCol = col;
    }
    if (FOfficeCol == FPostCol || FOfficeCol == FAddrCol)
        FOfficeCol = -1;
    ShowHeadings();
    UpdateOkButton();
}

void TFldForm::StringGrid1MouseDown(Qt::MouseButton button, QPoint pos)
{
    const QModelIndex cell = StringGrid1->indexAt(pos);
    if (!cell.isValid() || cell.row() != 0)
        return;
    // The keyboard goes on from the column clicked.
    StringGrid1->setCurrentCell(0, cell.column());
    ChooseColumn(button, cell.column());
}

void TFldForm::ShowColumnMenu()
{
    const int col = StringGrid1->currentColumn();
    if (col < 0)
        return;
    QMenu menu(this);
    QAction* post = menu.addAction(FromSjis(convtxt::kMenuPostCode));
    QAction* addr = menu.addAction(FromSjis(convtxt::kMenuAddress));
    QAction* office = menu.addAction(FromSjis(convtxt::kMenuOfficeName));
    office->setCheckable(true);
    office->setChecked(col == FOfficeCol);
    office->setEnabled(col != FPostCol && col != FAddrCol);
    const QRect cell = StringGrid1->visualRect(StringGrid1->model()->index(0, col));
    QAction* chosen = menu.exec(StringGrid1->viewport()->mapToGlobal(cell.bottomLeft()));
    if (chosen == post)
        ChooseColumn(Qt::LeftButton, col);
    else if (chosen == addr)
        ChooseColumn(Qt::RightButton, col);
    else if (chosen == office)
        ChooseColumn(Qt::MiddleButton, col);
}

bool TFldForm::StringGrid1KeyPress(int key, Qt::KeyboardModifiers modifiers)
{
    const int col = StringGrid1->currentColumn();
    switch (key) {
    case Qt::Key_P:
    case Qt::Key_1:
        if (col >= 0)
            ChooseColumn(Qt::LeftButton, col);
        return true;
    case Qt::Key_A:
    case Qt::Key_2:
        if (col >= 0)
            ChooseColumn(Qt::RightButton, col);
        return true;
    case Qt::Key_O:
    case Qt::Key_3:
        if (col >= 0)
            ChooseColumn(Qt::MiddleButton, col);
        return true;
    case Qt::Key_Space:
    case Qt::Key_Menu:
        ShowColumnMenu();
        return true;
    case Qt::Key_F10:
        if (!(modifiers & Qt::ShiftModifier))
            return false;
        ShowColumnMenu();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (BitBtn1->isEnabled())
            BitBtn1->click();
        else
            QApplication::beep();
        return true;
    default:
        return false;
    }
}

void TFldForm::UpdateOkButton()
{
    BitBtn1->setEnabled(FPostCol >= 0 && FAddrCol >= 0 && FPostCol != FAddrCol);
}

void TFldForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The keyboard starts on the grid, at the column chosen for the code, else the first.
    const int col = FPostCol >= 0 && FPostCol < StringGrid1->columnCount() ? FPostCol : 0;
    StringGrid1->setCurrentCell(0, col);
    StringGrid1->setFocus(Qt::OtherFocusReason);
}

int TFldForm::ColumnEdgeAt(int x) const
{
    for (int col = 0; col < StringGrid1->columnCount(); ++col) {
        const int edge = StringGrid1->columnViewportPosition(col) + StringGrid1->columnWidth(col);
        if (std::abs(x - edge) <= kEdgeReach)
            return col;
    }
    return -1;
}

bool TFldForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == StringGrid1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        return StringGrid1KeyPress(key->key(), key->modifiers());
    }
    if (watched != StringGrid1->viewport())
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Resize:
        ShowPreview(); // as many records as now fit
        return false;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint pos = mouse->position().toPoint();
        // Columns are resized by dragging their edge in the heading row; a press there chooses
        // the heading only when the mouse comes up without having dragged.
        const bool inHeading = StringGrid1->rowAt(pos.y()) == 0;
        resizingColumn_ =
            (mouse->button() == Qt::LeftButton && inHeading) ? ColumnEdgeAt(pos.x()) : -1;
        if (resizingColumn_ >= 0) {
            resizeOrigin_ = pos.x();
            resizeStartWidth_ = StringGrid1->columnWidth(resizingColumn_);
            resizeDragged_ = false;
            return true;
        }
        StringGrid1->setFocus(Qt::MouseFocusReason);
        StringGrid1MouseDown(mouse->button(), pos);
        return true;
    }
    case QEvent::MouseMove: {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (resizingColumn_ >= 0) {
            resizeDragged_ = resizeDragged_ || pos.x() != resizeOrigin_;
            StringGrid1->setColumnWidth(resizingColumn_,
                                        std::max(8, resizeStartWidth_ + pos.x() - resizeOrigin_));
            return true;
        }
        const bool overEdge = StringGrid1->rowAt(pos.y()) == 0 && ColumnEdgeAt(pos.x()) >= 0;
        StringGrid1->viewport()->setCursor(overEdge ? Qt::SplitHCursor : Qt::ArrowCursor);
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (resizingColumn_ >= 0 && !resizeDragged_) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            StringGrid1MouseDown(Qt::LeftButton, mouse->position().toPoint());
        }
        resizingColumn_ = -1;
        return true;
    case QEvent::MouseButtonDblClick:
        return true;
    default:
        return false;
    }
}
