#include "convui/conv_pictures.h"

#include <QPainter>

namespace conv_pictures {

namespace {

QPixmap Blank()
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    return picture;
}

void Sheet(QPainter& p, int x, int y)
{
    p.setPen(QColor(0x50, 0x50, 0x50));
    p.setBrush(Qt::white);
    p.drawRect(x, y, 8, 10);
    p.setPen(QColor(0x80, 0x80, 0xB0));
    for (int line = y + 3; line <= y + 8; line += 2)
        p.drawLine(x + 2, line, x + 6, line);
}

} // namespace

QPixmap CheckPicture()
{
    QPixmap picture = Blank();
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x00, 0x90, 0x00), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
    return picture;
}

QPixmap DeletePicture()
{
    QPixmap picture = Blank();
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xC0, 0x10, 0x10), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    return picture;
}

QPixmap CopyPicture()
{
    QPixmap picture = Blank();
    QPainter p(&picture);
    Sheet(p, 1, 1);
    Sheet(p, 6, 5);
    return picture;
}

QPixmap PastePicture()
{
    QPixmap picture = Blank();
    QPainter p(&picture);
    p.setPen(QColor(0x50, 0x30, 0x10));
    p.setBrush(QColor(0xC0, 0x90, 0x50));
    p.drawRect(1, 2, 10, 13); // the board
    p.setBrush(QColor(0xA0, 0xA0, 0xA0));
    p.drawRect(4, 0, 4, 3); // the clip
    Sheet(p, 6, 5);
    return picture;
}

QPixmap HelpPicture()
{
    QPixmap picture = Blank();
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x50, 0xB0));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont font = p.font();
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    return picture;
}

} // namespace conv_pictures
