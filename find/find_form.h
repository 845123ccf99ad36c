#pragma once
// The search window: one edit box for a postal code or an address, the list of candidates, and
// a clipboard exchange by drag and drop between the list, the clipboard picture and the edit.

#include <QPoint>

#include "app/mdi_child.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;
class QWidget;

class TFindForm : public kompa::ui::TMdiChildForm {
    Q_OBJECT
public:
    explicit TFindForm(QWidget* parent = nullptr);
    ~TFindForm() override;

    QWidget* Panel1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLabel* Image1 = nullptr;
    QCheckBox* chkKen = nullptr;
    QLabel* Label1 = nullptr;
    QListWidget* ListBox1 = nullptr;

    void FormCreate();
    void FormDestroy();
    void SpeedButton1Click();
    // True when the key was Enter and has been used up.
    bool Edit1KeyPress(int key);
    void chkKenClick();
    void Close1Click();
    void KH1Click();

    // The clipboard exchange. A drag arms on a press and starts once the mouse has moved the
    // platform's drag distance with the button held.
    void ListBox1MouseDown(QPoint at);
    void Image1MouseDown(QPoint at);
    bool Image1DragOver(const QObject* source) const;
    void Image1DragDrop();
    bool Edit1DragOver(const QObject* source) const;
    void Edit1DragDrop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    bool DragEvent(QWidget* target, QEvent* event);
    bool MouseMoved(QWidget* source, QPoint at);

    QWidget* FDragSource = nullptr; // armed source of a drag not yet started
    QPoint FDragStart;
    bool FFocusSet = false;
};
