#pragma once
// A child window of the frame. It frees itself when closed, and carries a menu bar of its own
// whose top-level items merge into the frame's while it is the active child: a child item of
// group G stands in place of the frame's items of group G (see MergeMenuItems).

#include <QList>
#include <QMdiSubWindow>

class QAction;
class QMenu;

namespace kompa::ui {

// Merge group of a top-level menu item, kept as data on the item.
void SetMenuGroup(QAction* item, int group);
int MenuGroup(const QAction* item);

// The menu bar while a child is active: the frame's items of every group the child does not
// use, and the child's items, ordered by group (frame items first within an unused group).
QList<QAction*> MergeMenuItems(const QList<QAction*>& frameItems,
                               const QList<QAction*>& childItems);

class TMdiChildForm : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit TMdiChildForm(QWidget* parent = nullptr);

    // Top-level items of the child's menu bar, in their order.
    const QList<QAction*>& MenuItems() const { return FMenuItems; }

    // Whether the window may close; it may ask the user. The frame asks every child before it
    // closes any, and a child that agreed there is not asked again by its own close.
    virtual bool CloseQuery() { return true; }

    // Gives the keyboard to the first control of the tab order, as when the window is brought
    // forward by its command.
    void FocusFirstControl();
    void CloseAgreed() { FCloseAgreed = true; }

protected:
    // A submenu of the child's menu bar.
    QMenu* AddMenu(const QString& objectName, const QString& caption, int group);
    // A menu-bar command without items.
    QAction* AddMenuCommand(const QString& objectName, const QString& caption, int group);

    bool FCloseAgreed = false;

private:
    QList<QAction*> FMenuItems;
};

} // namespace kompa::ui
