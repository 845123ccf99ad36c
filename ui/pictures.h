#pragma once
// The search window's small pictures, drawn rather than shipped.

#include <QPixmap>

namespace kompa::ui {

QPixmap MagnifierPicture(); // 16 x 16: the search button's glyph and the window's icon
QPixmap ClipboardPicture(); // 20 x 20: the clipboard symbol

} // namespace kompa::ui
