#include "ui/mdi_child.h"

#include <QAction>
#include <QMenu>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <set>

namespace kompa::ui {

namespace {
constexpr char kGroupProperty[] = "GroupIndex";
}

void SetMenuGroup(QAction* item, int group)
{
    item->setProperty(kGroupProperty, group);
}

int MenuGroup(const QAction* item)
{
    return item->property(kGroupProperty).toInt();
}

QList<QAction*> MergeMenuItems(const QList<QAction*>& frameItems, const QList<QAction*>& childItems)
{
    std::set<int> childGroups;
    for (const QAction* item : childItems)
        childGroups.insert(MenuGroup(item));
    QList<QAction*> merged;
    for (QAction* item : frameItems)
        if (!childGroups.contains(MenuGroup(item)))
            merged.append(item);
    merged.append(childItems);
    std::stable_sort(merged.begin(), merged.end(), [](const QAction* a, const QAction* b) {
        return MenuGroup(a) < MenuGroup(b);
    });
    return merged;
}

TMdiChildForm::TMdiChildForm(QWidget* parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void TMdiChildForm::FocusFirstControl()
{
    QWidget* content = widget();
    if (!content)
        return;
    for (QWidget* next = content->nextInFocusChain(); next && next != content;
         next = next->nextInFocusChain()) {
        if (content->isAncestorOf(next) && next->isVisibleTo(content) && next->isEnabled() &&
            (next->focusPolicy() & Qt::TabFocus)) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

QMenu* TMdiChildForm::AddMenu(const QString& objectName, const QString& caption, int group)
{
    auto* menu = new QMenu(caption, this);
    menu->setObjectName(objectName);
    menu->menuAction()->setObjectName(objectName);
    SetMenuGroup(menu->menuAction(), group);
    FMenuItems.append(menu->menuAction());
    return menu;
}

QAction* TMdiChildForm::AddMenuCommand(const QString& objectName, const QString& caption, int group)
{
    auto* item = new QAction(caption, this);
    item->setObjectName(objectName);
    SetMenuGroup(item, group);
    FMenuItems.append(item);
    return item;
}

} // namespace kompa::ui
