#include "ui/pictures.h"

#include <QPainter>

namespace kompa::ui {

QPixmap MagnifierPicture()
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x20, 0x20, 0x60), 2));
    p.setBrush(QColor(0xC8, 0xE8, 0xFF));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(0x60, 0x40, 0x20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    return picture;
}

QPixmap ClipboardPicture()
{
    QPixmap picture(20, 20);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setPen(QColor(0x50, 0x30, 0x10));
    p.setBrush(QColor(0xC0, 0x90, 0x50));
    p.drawRect(2, 2, 15, 17); // the board
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.setBrush(Qt::white);
    p.drawRect(4, 5, 11, 12); // the sheet
    p.setPen(QColor(0x40, 0x40, 0x40));
    for (int y = 8; y <= 14; y += 3)
        p.drawLine(6, y, 13, y);
    p.setBrush(QColor(0xA0, 0xA0, 0xA0));
    p.drawRect(6, 0, 7, 4); // the clip
    return picture;
}

} // namespace kompa::ui
