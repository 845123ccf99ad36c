#pragma once
// TConvForm: the batch-conversion window. It presents a pass of TConversionPass: the record that
// waits with its candidates, the buttons that answer it, the progress in the status bar and the
// dialogs that open and close a pass. The pass itself (lines, counters, write-back, save) lives
// in the pass object.

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <string>

#include "conv/conv_pass.h"
#include "convui/conv_windows.h"
#include "ui/mdi_child.h"

class QAction;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStatusBar;
class QToolButton;

namespace kompa::ui {
class TShadowLabel;
}

class TConvForm : public kompa::ui::TMdiChildForm {
    Q_OBJECT
public:
    // postCode is the frame's shared address dictionary; "KOMPA.DIC" is opened from dictDir.
    // The dialogs outlive the window.
    TConvForm(kompa::TPostCode& postCode, const std::string& dictDir, const TConvDialogs& dialogs,
              QWidget* parent = nullptr);
    ~TConvForm() override;

    // Seams for the modal parts, replaced by the tests. OpenDialog1 gives the chosen file name
    // (file-system text) or an empty text when cancelled; ShowModal shows a dialog and gives its
    // result; AskWarning shows a "警告" box with OK and Cancel and tells whether OK was chosen.
    std::function<QString()> OpenDialog1;
    std::function<int(QDialog*)> ShowModal;
    std::function<bool(const QString& text)> AskWarning;

    // The file-open command past its dialog: what opening chosen there does (the program's
    // command line opens a file this way).
    void OpenCsvFile(const QString& chosen);
    // Where "KOMPA.DIC" is opened from at the start of the next pass.
    void SetDictionaryDir(const std::string& dir) { FPass.SetDictionaryDir(dir); }
    // Precise matching (the default, "住所を詳しく照合する"): addresses matched over the
    // ministry's notes, a heading recognised by itself, the book's code form kept, the caption
    // kept and the reason shown while a record waits. Off, the window behaves as it always
    // did. Either takes effect when the next file is opened or the next pass starts.
    void SetPreciseMode(bool precise);

    const kompa::TConversionPass& Pass() const { return FPass; }
    bool Active() const { return FPass.Active(); }
    QString PanelText(int panel) const;
    bool CloseQuery() override;

    // Menu commands.
    void KCSV2Click();
    void Close1Click();
    void KCSV1Click();
    void KH1Click();

    // The record's buttons.
    void BtnOkClick();
    void btnSkipClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void ListBox1Click();

    QFrame* Panel1;
    QLabel* Label2;
    QLineEdit* Edit1;
    QLabel* Label3;
    QLineEdit* Edit2;
    QPushButton* BtnOk;
    QPushButton* btnSkip;
    QToolButton* SpeedButton5; // delete
    QToolButton* SpeedButton3; // copy
    QToolButton* SpeedButton4; // paste
    kompa::ui::TShadowLabel* imgOK;
    QLabel* Label1;
    QLineEdit* edKey;
    QToolButton* SpeedButton1; // search again
    QToolButton* SpeedButton2; // word search
    QListWidget* ListBox1;
    QStatusBar* StatusBar1;

    QAction* KCSV2;
    QAction* Close1;
    QAction* KCSV1;
    QAction* K1;
    QAction* KK1;
    QAction* PreciseMatch; // checked: precise matching
    QAction* KH1;
    // 文字コード: how the next opened file is read.
    QAction* EncodingAuto;
    QAction* EncodingSjis;
    QAction* EncodingUtf8;

protected:
    void closeEvent(QCloseEvent* event) override; // FormCloseQuery
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void SetCurrent(int index, int count);
    void ResetConversion(bool active);
    void ConvertRecords();
    void ShowCandidates();
    void FinishConversion();
    // "結果を保存" with the backup question; false when the save failed (the message shown).
    bool SaveResults();
    void FlashOK();
    // The four buttons that act on a waiting record.
    void EnableRecordButtons(bool enabled);
    // A record shown in the window that no longer belongs to the held data.
    void ClearRecord();
    void ShowCandidateCount();
    void SelectSingleCandidate();
    // Runs one step of the pass (OK, skip, the pass itself) as ConvertRecords does, then the
    // result dialog when the step ended the pass.
    void RunStep(const std::function<kompa::TStepResult()>& step);
    // The edit the edit buttons act on: the focused one, else the one focused last, given the
    // focus and the selection back.
    QLineEdit* FocusedEdit();
    void RememberSelection(QLineEdit* edit);
    // Enter or a double click on a candidate: OK with that line.
    void ListBox1Accept();
    void SetPanel(int panel, const QString& text);
    // Panel 3's format and the waiting record's reason, each where the bar has room for it.
    void SetFormatAndReason(const QString& format, const QString& reason);
    void PlaceReason();
    // The open file's encoding and line ends, for the free panel.
    QString FormatText() const;
    // The menu's matching mode, given to the pass as a pass begins.
    void ApplyMatchMode();

    kompa::TConversionPass FPass;
    TOptForm* const OptForm;
    TFldForm* const FldForm;
    TErrDlg* const ErrDlg;
    TRsltDlg* const RsltDlg;
    QLabel* FPanels[5] = {};
    QString FFormat;
    QString FReason;
    QElapsedTimer FProgressPainted;
    QLineEdit* FLastEdit = nullptr;
    int FLastSelectionStart = -1;
    int FLastSelectionLength = 0;
};
