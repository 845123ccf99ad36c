#pragma once
// The frame window: a multiple-document frame holding the search and conversion windows. It owns
// the program's dictionary objects (the pair, and the office dictionary beside it) and knows the
// program's directory, and hands them to the children it creates.

#include <QList>
#include <QMainWindow>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "convui/conv_windows.h"
#include "engine/dictionary/dictionary.h"
#include "engine/dictionary/office_dictionary.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace kompa::ui {
class TMdiChildForm;
}

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    std::string ProgramDir; // ends with "/"
    std::string DictDir;    // where the dictionary pair is read from; ends with "/"
    kompa::TPostCode PostCode1;
    kompa::TCodeAddress CodeAddress1;
    kompa::TOfficeDictionary Offices; // opened by the search window, as CodeAddress1

    // The file-open dialog of the build command: the chosen files (file-system bytes; the
    // postal-code file, the business-office file or both), none when cancelled. Tests replace it.
    std::function<std::vector<std::string>()> OpenDialog1;
    // After a build elsewhere: whether to read the pair from the per-user directory (given)
    // from now on. Tests replace it.
    std::function<bool(const QString& userDir)> AskUseBuilt;

    QMdiArea* ClientArea() const { return FClient; }
    // The conversion window's dialogs, made with the frame and kept for the run.
    const TConvDialogs& ConvDialogs() const { return FConvDialogs; }
    // Puts a child window into the frame, maximised and active.
    void AddChild(kompa::ui::TMdiChildForm* child);
    // Brings the frame's menu bar in line with the active child.
    void MergeMenus();

    void FormCreate();
    void K1Click();
    void Exit1Click();
    void KF2Click();
    void KC1Click();
    void Tile1Click();
    void Cascade1Click();
    void KQ1Click();
    void Contents1Click();
    void KA1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    QAction* AddItem(QMenu* menu, const char* objectName, const QString& caption,
                     void (TMainForm::*handler)(), const QKeySequence& shortcut = {});
    std::vector<std::string> ExecuteOpenDialog();
    kompa::ui::TMdiChildForm* ActiveChild() const;
    void BringForward(kompa::ui::TMdiChildForm* child);
    QList<QMdiSubWindow*> ArrangedChildren() const;

    QMdiArea* FClient = nullptr;
    TConvDialogs FConvDialogs;
    QList<QAction*> FFrameItems;
    QList<QKeySequence> FFrameShortcuts;
};

// The frame, set while it lives.
extern TMainForm* MainForm;
