#include "ui/shadow_label.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

namespace kompa::ui {

TShadowLabel::TShadowLabel(QWidget* parent) : QWidget(parent)
{
    resize(65, 17);
    SetFontColor(Qt::white);
}

void TShadowLabel::SetCaption(const QString& caption)
{
    if (caption == FCaption)
        return;
    FCaption = caption;
    update();
    if (FAutoSize)
        AdjustBounds();
}

void TShadowLabel::SetAlignment(TAlignment alignment)
{
    FAlignment = alignment;
    update();
}

void TShadowLabel::SetAutoSize(bool autoSize)
{
    FAutoSize = autoSize;
    if (FAutoSize)
        AdjustBounds();
}

void TShadowLabel::SetShadowColor(const QColor& color)
{
    FShadowColor = color;
    update();
}

void TShadowLabel::SetShadowStyle(TShadowStyle style)
{
    if (style == FShadowStyle)
        return;
    FShadowStyle = style;
    if (FAutoSize)
        AdjustBounds();
    else
        update();
}

void TShadowLabel::SetShift(int shift)
{
    if (shift == FShift)
        return;
    FShift = shift;
    if (FAutoSize)
        AdjustBounds();
    else
        update();
}

QColor TShadowLabel::FontColor() const
{
    return palette().color(QPalette::WindowText);
}

void TShadowLabel::SetFontColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

int TShadowLabel::FontHeight() const
{
    const int pixels = font().pixelSize();
    return -(pixels > 0 ? pixels : QFontInfo(font()).pixelSize());
}

int TShadowLabel::TextFlags() const
{
    int horizontal = Qt::AlignLeft;
    if (FAlignment == TAlignment::taRightJustify)
        horizontal = Qt::AlignRight;
    else if (FAlignment == TAlignment::taCenter)
        horizontal = Qt::AlignHCenter;
    return horizontal | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextExpandTabs;
}

void TShadowLabel::AdjustBounds()
{
    if (FLoading)
        return;
    // Measured from the top-left corner, as the text extends from there.
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextExpandTabs;
    const QRect text =
        QFontMetrics(font()).boundingRect(QRect(0, 0, width(), height()), flags, FCaption);
    int right = text.width();
    int bottom = text.height();
    if (FShadowStyle == TShadowStyle::ssParallel) {
        right += FShift;
        bottom += FShift;
    }
    // C++ division truncates toward zero, as the width rule asks: -27 adds 5, -15 adds 3.
    resize(right + FontHeight() / -5, bottom);
}

void TShadowLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = rect();
    const int flags = TextFlags();
    if (FShadowStyle == TShadowStyle::ssParallel) {
        painter.setFont(font());
        painter.setPen(FShadowColor);
        painter.drawText(area.adjusted(FShift, FShift, 0, 0), flags, FCaption);
    } else {
        QFont slanted = font();
        slanted.setItalic(!slanted.italic());
        painter.setFont(slanted);
        painter.setPen(FShadowColor);
        painter.drawText(area, flags, FCaption);
        painter.setFont(font());
    }
    painter.setPen(FontColor());
    painter.drawText(area, flags, FCaption);
}

void TShadowLabel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        update();
        if (FAutoSize)
            AdjustBounds();
    }
}

} // namespace kompa::ui
