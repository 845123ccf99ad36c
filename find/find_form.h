#pragma once
// The search window: one edit box for a postal code or an address, the list of candidates, and
// a clipboard exchange by drag and drop between the list, the clipboard picture and the edit.
// Offices with codes of their own follow a code's addresses; with "事業所も探す" ticked, the
// offices whose name holds the typed text follow an address search's lines. An address is also
// matched precisely; when that decides a code, the line of the answer is selected.

#include <QPoint>
#include <QString>

#include <string>

#include "ui/mdi_child.h"

namespace kompa {
class TPostCode;
class TCodeAddress;
class TOfficeDictionary;
} // namespace kompa

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;
class QWidget;

class TFindForm : public kompa::ui::TMdiChildForm {
    Q_OBJECT
public:
    // The window opens the dictionaries from dictDir (ending with "/"), the office dictionary
    // when it is there, and closes them when it goes; they outlive it.
    TFindForm(kompa::TPostCode& postCode, kompa::TCodeAddress& codeAddress,
              kompa::TOfficeDictionary& offices, std::string dictDir, QWidget* parent = nullptr);
    ~TFindForm() override;

    QWidget* Panel1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLabel* Image1 = nullptr;
    QCheckBox* chkKen = nullptr;
    QLabel* Label1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    // Below the list, so that no control above moves: the office-name search, off at first and
    // usable only while the office dictionary is open.
    QWidget* Panel2 = nullptr;
    QCheckBox* chkOffice = nullptr;

    void FormCreate();
    void FormDestroy();
    void SpeedButton1Click();
    // True when the key was Enter and has been used up.
    bool Edit1KeyPress(int key);
    void chkKenClick();
    void chkOfficeClick();
    // Enables chkOffice as the office dictionary is open or not.
    void UpdateOfficeControls();
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
    void ShowStatusLine();
    // Selects the line of the precise answer to an address (sjis), put first when the list
    // lacks it; nothing when the address leaves more than one code.
    void SelectPreciseAnswer(const std::string& sjis);

    kompa::TPostCode& FPostCode;
    kompa::TCodeAddress& FCodeAddress;
    kompa::TOfficeDictionary& FOffices;
    const std::string FDictDir;
    QString FStatusKey;
    int FStatusCount = -1;          // no search yet
    QWidget* FDragSource = nullptr; // armed source of a drag not yet started
    QPoint FDragStart;
    bool FFocusSet = false;
};

// The search window, set while it lives; the frame's window commands test it.
extern TFindForm* FindForm;
