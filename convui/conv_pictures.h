#pragma once
// The conversion window's small glyphs, drawn rather than shipped.

#include <QPixmap>

namespace conv_pictures {

QPixmap CheckPicture();  // 16 x 16: the OK button
QPixmap DeletePicture(); // 16 x 16
QPixmap CopyPicture();   // 16 x 16
QPixmap PastePicture();  // 16 x 16
QPixmap HelpPicture();   // 16 x 16: a question mark

} // namespace conv_pictures
