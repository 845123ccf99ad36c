#include "convui/fld_form.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>

#include "conv/book_lines.h"
#include "conv/csv_fields.h"
#include "convui/conv_texts.h"
#include "convui/modal_result.h"
#include "ui/ui_text.h"

using namespace kompa;

namespace {

constexpr int kColumnCount = 10;
constexpr int kColumnWidth = 120;
constexpr int kEdgeReach = 3;

} // namespace

TFldForm::TFldForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FldForm"));
    setFont(kompa::ui::GothicFont(12));
    setWindowTitle(kompa::ui::FromSjis(convtxt::kFldCaption));

    Label1 = new QLabel(kompa::ui::FromSjis(convtxt::kFldHintLeft), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(kompa::ui::FromSjis(convtxt::kFldHintRight), this);
    Label2->setObjectName(QStringLiteral("Label2"));

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                              kompa::ui::FromSjis(convtxt::kOk), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn1->setEnabled(false);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              kompa::ui::FromSjis(convtxt::kCancel), this);
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
    StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    StringGrid1->setFocusPolicy(Qt::NoFocus);
    StringGrid1->setShowGrid(true);
    StringGrid1->setWordWrap(false);
    StringGrid1->setTextElideMode(Qt::ElideNone); // a long field is cut at the cell's edge
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    StringGrid1->viewport()->installEventFilter(this);
    StringGrid1->viewport()->setMouseTracking(true);
    const int rowHeight = StringGrid1->verticalHeader()->defaultSectionSize();
    StringGrid1->setFixedHeight(rowHeight * (kPreviewRows + 1) + 2 * StringGrid1->frameWidth() +
                                StringGrid1->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(Label2, 1, 0);
    layout->addWidget(BitBtn1, 0, 1);
    layout->addWidget(BitBtn2, 1, 1);
    layout->addWidget(StringGrid1, 2, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    resize(520, sizeHint().height());

    ShowHeadings();
}

void TFldForm::SetCell(int row, int col, const QString& text)
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
}

void TFldForm::ShowHeadings()
{
    for (int col = 0; col < StringGrid1->columnCount(); ++col)
        SetCell(0, col, QString());
    if (FPostCol >= 0 && FPostCol < StringGrid1->columnCount())
        SetCell(0, FPostCol, kompa::ui::FromSjis(convtxt::kPostCode));
    if (FAddrCol >= 0 && FAddrCol < StringGrid1->columnCount())
        SetCell(0, FAddrCol, kompa::ui::FromSjis(convtxt::kAddress));
}

void TFldForm::FillPreview(const kompa::TBookLines& lines, const kompa::TCharSet& readDelimiters)
{
    // The column count follows the last line; the rows are filled after it is set, so a
    // narrower line in the middle does not cut the cells of an earlier, wider one.
    const int rows = std::min(lines.Count(), kPreviewRows);
    std::vector<TFieldList> preview(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i)
        SplitFields(preview[static_cast<std::size_t>(i)], lines[i], readDelimiters);
    if (rows > 0)
        StringGrid1->setColumnCount(std::max(preview.back().Count(), 1));
    // Rows of an earlier file would pass for fields of this one.
    for (int row = 1; row <= kPreviewRows; ++row)
        for (int col = 0; col < StringGrid1->columnCount(); ++col)
            delete StringGrid1->takeItem(row, col);
    for (int i = 0; i < rows; ++i) {
        const TFieldList& fields = preview[static_cast<std::size_t>(i)];
        for (int col = 0; col < std::min(fields.Count(), StringGrid1->columnCount()); ++col)
            SetCell(i + 1, col, kompa::ui::FromFileText(fields[col], lines.Format().encoding));
    }
    ShowHeadings();
}

void TFldForm::StringGrid1MouseDown(Qt::MouseButton button, QPoint pos)
{
    const QModelIndex cell = StringGrid1->indexAt(pos);
    if (!cell.isValid() || cell.row() != 0)
        return;
    if (button == Qt::LeftButton)
        FPostCol = cell.column();
    else if (button == Qt::RightButton)
        FAddrCol = cell.column();
    ShowHeadings();
    UpdateOkButton();
}

void TFldForm::UpdateOkButton()
{
    BitBtn1->setEnabled(FPostCol >= 0 && FAddrCol >= 0 && FPostCol != FAddrCol);
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
    if (watched != StringGrid1->viewport())
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
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
