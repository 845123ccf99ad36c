#pragma once
// A label that draws its caption twice: first a grey slanted shadow, then the caption in the
// font's colour on top. Its size follows the caption. It paints no background, so the parent shows
// around and through the text. Captions use mnemonics ("&" underlines the next character, "&&"
// draws one) and tabs.

#include <QColor>
#include <QString>
#include <QWidget>

namespace kompa::ui {

class TShadowLabel : public QWidget {
    Q_OBJECT
public:
    explicit TShadowLabel(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);

    // The font's colour (the text drawn on top of the shadow).
    QColor FontColor() const;
    void SetFontColor(const QColor& color);
    // Signed font height: negative is a character height in pixels.
    int FontHeight() const;

    // While a window lays out its controls from its stored layout, sizes stay as stored.
    void SetLoading(bool loading) { FLoading = loading; }
    void AdjustBounds();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString FCaption;
    bool FLoading = false;
};

} // namespace kompa::ui
