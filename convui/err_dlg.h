#pragma once
// TErrDlg: the warning that an opened file's lines differ in their field counts. Only "中止"
// (Abort) stops the opening; "強行" and the close box go on.

#include <QDialog>

#include "convui/modal_result.h"

class QPushButton;

class TErrDlg : public QDialog {
    Q_OBJECT
public:
    explicit TErrDlg(QWidget* parent = nullptr);

    QPushButton* BitBtn1; // abort, the default button
    QPushButton* BitBtn2; // ignore

public slots:
    void reject() override { done(kompa::mrCancel); }
};
