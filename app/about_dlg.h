#pragma once
// The about dialog: the program's name in large shadowed letters, its version and what it does.

#include <QDialog>

class TAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDlg(QWidget* parent = nullptr);
};
