#pragma once
// TFldForm: the choice of the postal-code column (left click on a heading) and the address
// column (right click). The choice outlives each showing: the dialog is kept for the whole run.

#include <QDialog>

#include "conv/char_set.h"
#include "convui/modal_result.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace kompa {
class TBookLines;
}

class TFldForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPreviewRows = 3;

    explicit TFldForm(QWidget* parent = nullptr);

    // The preview of the first three lines, each split with readDelimiters. The column count
    // follows the last line filled; a line without fields leaves one column. The fields are
    // shown in the lines' own encoding.
    void FillPreview(const kompa::TBookLines& lines, const kompa::TCharSet& readDelimiters);

    // Zero-based columns; the conversion window reads them after the dialog.
    int FPostCol = 0;
    int FAddrCol = 1;

    QLabel* Label1;
    QLabel* Label2;
    QTableWidget* StringGrid1;
    QPushButton* BitBtn1; // OK: disabled until the first heading click
    QPushButton* BitBtn2; // cancel

public slots:
    void reject() override { done(kompa::mrCancel); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StringGrid1MouseDown(Qt::MouseButton button, QPoint pos);
    void UpdateOkButton();
    void ShowHeadings();
    void SetCell(int row, int col, const QString& text);
    // Index of the column whose right edge is within reach of x, or -1.
    int ColumnEdgeAt(int x) const;

    int resizingColumn_ = -1;
    int resizeOrigin_ = 0;
    int resizeStartWidth_ = 0;
    bool resizeDragged_ = false;
};
