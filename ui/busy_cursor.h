#pragma once
// The hourglass for the whole screen while the object lives; restored on every way out.

#include <QApplication>
#include <QCursor>

namespace kompa::ui {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace kompa::ui
