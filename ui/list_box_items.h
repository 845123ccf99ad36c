#pragma once
// A list box as the engine's result list. Lines added inside an update bracket are collected and
// go into the list box in one step with its painting held back, so a query redraws once.

#include <QStringList>

#include "engine/dictionary/result_list.h"

class QListWidget;

namespace kompa::ui {

class TListBoxItems : public TResultList {
public:
    explicit TListBoxItems(QListWidget* listBox) : FListBox(listBox) {}
    ~TListBoxItems() override;
    TListBoxItems(const TListBoxItems&) = delete;
    TListBoxItems& operator=(const TListBoxItems&) = delete;

    void Clear() override;
    void Add(std::string_view line) override;
    void BeginUpdate() override;
    void EndUpdate() override;
    int Count() const override;

private:
    void Flush();

    QListWidget* FListBox;
    QStringList FPending;
    int FUpdateDepth = 0;
};

} // namespace kompa::ui
