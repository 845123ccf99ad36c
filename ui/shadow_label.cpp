#include "ui/shadow_label.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

namespace kompa::ui {

namespace {
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextExpandTabs;
const QColor kShadowColor(0x80, 0x80, 0x80);
} // namespace

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
    AdjustBounds();
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

void TShadowLabel::AdjustBounds()
{
    if (FLoading)
        return;
    // Measured from the top-left corner, as the text extends from there.
    const QRect text =
        QFontMetrics(font()).boundingRect(QRect(0, 0, width(), height()), kTextFlags, FCaption);
    // C++ division truncates toward zero, as the width rule asks: -27 adds 5, -15 adds 3.
    resize(text.width() + FontHeight() / -5, text.height());
}

void TShadowLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = rect();
    QFont slanted = font();
    slanted.setItalic(!slanted.italic());
    painter.setFont(slanted);
    painter.setPen(kShadowColor);
    painter.drawText(area, kTextFlags, FCaption);
    painter.setFont(font());
    painter.setPen(FontColor());
    painter.drawText(area, kTextFlags, FCaption);
}

void TShadowLabel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        update();
        AdjustBounds();
    }
}

} // namespace kompa::ui
