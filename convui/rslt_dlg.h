#pragma once
// TRsltDlg: the counts of a finished pass and the choice between saving, another pass and
// discarding. Created hidden at start-up and kept for the whole run. 結果を保存 is the default
// button and has the focus when the dialog opens; Escape and the close box choose none of the
// three (mrCancel), and the window then asks before anything is thrown away.

#include <QDialog>

#include <vector>

#include "convui/modal_result.h"

class QGridLayout;
class QLabel;
class QPushButton;

class TRsltDlg : public QDialog {
    Q_OBJECT
public:
    explicit TRsltDlg(QWidget* parent = nullptr);

    // The four value labels, in the order of the dialog's rows.
    void SetCounts(int total, int blank, int converted, int skipped);
    // "見出し行": shown beside the four while a heading line was kept (headings > 0).
    void SetHeadingCount(int headings);
    // What became of the codes of a precise pass: written where there was none, written over
    // another (and of those, over a code the dictionary no longer holds), found right and kept.
    void SetCodeCounts(int newCodes, int replaced, int stale, int kept);
    // A literal pass tells only the four counts.
    void HideCodeCounts();
    // "事業所の番号": records that got an office's own code, shown when the pass read a company
    // column (officeCodes >= 0).
    void SetOfficeCodeCount(int officeCodes);

    // A further count in a column to the right of the four, so that the four and the buttons
    // stay where they are. Hidden until ShowExtraCount gives it a value; returns its row.
    int AddExtraCount(const char* objectName, const char* sjisCaption);
    void ShowExtraCount(int row, int value);
    void HideExtraCount(int row);

    QLabel* lblAll;
    QLabel* lblBlank;
    QLabel* lblConv;
    QLabel* lblSkip;
    QLabel* lblHeading;
    QLabel* lblNew;
    QLabel* lblReplaced;
    QLabel* lblStale;
    QLabel* lblKept;
    QLabel* lblOfficeCodes;
    QPushButton* SpeedButton3; // save
    QPushButton* SpeedButton1; // continue
    QPushButton* SpeedButton2; // discard

public slots:
    // The close box and Escape choose nothing: the work must not go with a key.
    void reject() override { done(kompa::mrCancel); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct TExtraCount {
        QLabel* caption;
        QLabel* value;
    };
    QGridLayout* FExtraCounts = nullptr;
    std::vector<TExtraCount> FExtras;
    int FHeadingRow = -1;
    int FCodeRows[4] = {-1, -1, -1, -1};
    int FOfficeRow = -1;
};
