#pragma once
// TFldForm: the choice of the postal-code column (left click on a heading) and the address
// column (right click), or at the keyboard: the arrows move between columns, P or 1 names the
// current one 郵便番号, A or 2 names it 住所, the space bar or the menu key offers both, Enter
// is OK once both are named. A third column, 事業所名 (a company's name), is optional and none
// at first: O or 3, a middle click or the menu names it, and the same again on it takes it back.
// The choice outlives each showing: the dialog is kept for the run.

#include <QDialog>
#include <QStringList>

#include <vector>

#include "conv/char_set.h"
#include "convui/modal_result.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kompa {
class TBookLines;
}

class TFldForm : public QDialog {
    Q_OBJECT
public:
    // Records shown at the least; a taller dialog shows as many as fit.
    static constexpr int kPreviewRows = 3;

    explicit TFldForm(QWidget* parent = nullptr);

    // The preview of the first lines, each split with readDelimiters, in the lines' own
    // encoding. With heading, the first line names the columns in the heading row and the
    // records follow it; "1行目は見出し" shows the choice, which the user can change.
    void FillPreview(const kompa::TBookLines& lines, const kompa::TCharSet& readDelimiters,
                     bool heading = false);
    // Names the columns whose heading reads as a postal code or an address column; with
    // replace, over an earlier choice, else only where none is chosen.
    void PreselectFromHeading(bool replace);
    bool HeadingChecked() const;

    // Zero-based columns, -1 until chosen; the conversion window reads them after the dialog.
    int FPostCol = -1;
    int FAddrCol = -1;
    int FOfficeCol = -1; // optional

    QLabel* Label1;
    QLabel* Label2;
    QTableWidget* StringGrid1;
    QPushButton* BitBtn1; // OK: enabled once both columns are named, and differ
    QPushButton* BitBtn2; // cancel
    QCheckBox* cbHeading; // 1行目は見出し
    QLabel* lblKeys;      // how the keyboard chooses

public slots:
    void reject() override { done(kompa::mrCancel); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void StringGrid1MouseDown(Qt::MouseButton button, QPoint pos);
    // Names column col the postal-code (left) or the address (right) column, as a click does;
    // the middle button names it the office-name column, or takes that back.
    void ChooseColumn(Qt::MouseButton button, int col);
    void ShowColumnMenu();
    bool StringGrid1KeyPress(int key, Qt::KeyboardModifiers modifiers);
    void UpdateOkButton();
    void ShowHeadings();
    // Fills the grid from the kept preview lines, as many records as the grid shows.
    void ShowPreview();
    int VisibleRecordRows() const;
    void SetCell(int row, int col, const QString& text, bool bold = false);
    // Index of the column whose right edge is within reach of x, or -1.
    int ColumnEdgeAt(int x) const;

    std::vector<QStringList> FPreview; // the first lines' fields, the heading's included
    int resizingColumn_ = -1;
    int resizeOrigin_ = 0;
    int resizeStartWidth_ = 0;
    bool resizeDragged_ = false;
};
