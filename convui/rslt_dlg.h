#pragma once
// TRsltDlg: the counts of a finished pass and the choice between saving, another pass and
// discarding. Created hidden at start-up and kept for the whole run.

#include <QDialog>

#include "convui/modal_result.h"

class QLabel;
class QPushButton;

class TRsltDlg : public QDialog {
    Q_OBJECT
public:
    explicit TRsltDlg(QWidget* parent = nullptr);

    // The four value labels, in the order of the dialog's rows.
    void SetCounts(int total, int blank, int converted, int skipped);

    QLabel* lblAll;
    QLabel* lblBlank;
    QLabel* lblConv;
    QLabel* lblSkip;
    QPushButton* SpeedButton3; // save
    QPushButton* SpeedButton1; // continue
    QPushButton* SpeedButton2; // discard

public slots:
    // The close box and Escape mean the same as discarding.
    void reject() override { done(kompa::mrDiscard); }
};
