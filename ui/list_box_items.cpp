#include "ui/list_box_items.h"

#include <QListWidget>

#include "ui/ui_text.h"

namespace kompa::ui {

TListBoxItems::~TListBoxItems()
{
    if (FUpdateDepth > 0) {
        FUpdateDepth = 0;
        Flush();
        FListBox->setUpdatesEnabled(true);
    }
}

void TListBoxItems::Clear()
{
    FPending.clear();
    FListBox->clear();
}

void TListBoxItems::Add(std::string_view line)
{
    if (FUpdateDepth > 0)
        FPending.append(FromSjis(line));
    else
        FListBox->addItem(FromSjis(line));
}

void TListBoxItems::BeginUpdate()
{
    if (FUpdateDepth++ == 0)
        FListBox->setUpdatesEnabled(false);
}

void TListBoxItems::EndUpdate()
{
    if (FUpdateDepth == 0 || --FUpdateDepth > 0)
        return;
    Flush();
    FListBox->setUpdatesEnabled(true);
}

int TListBoxItems::Count() const
{
    return FListBox->count() + static_cast<int>(FPending.size());
}

void TListBoxItems::Flush()
{
    if (!FPending.isEmpty())
        FListBox->addItems(FPending);
    FPending.clear();
}

} // namespace kompa::ui
