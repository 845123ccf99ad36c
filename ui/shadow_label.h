#pragma once
// A label that draws its caption twice: first a shadow in ShadowColor, then the caption in the
// font's colour on top. It paints no background, so the parent shows around and through the
// text. Captions use mnemonics ("&" underlines the next character, "&&" draws one) and tabs.

#include <QColor>
#include <QString>
#include <QWidget>

namespace kompa::ui {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TShadowStyle { ssSlant, ssParallel };

class TShadowLabel : public QWidget {
    Q_OBJECT
public:
    explicit TShadowLabel(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment alignment);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool autoSize);
    QColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(const QColor& color);
    TShadowStyle ShadowStyle() const { return FShadowStyle; }
    void SetShadowStyle(TShadowStyle style);
    int Shift() const { return FShift; }
    void SetShift(int shift);

    // The font's colour (the text drawn on top of the shadow).
    QColor FontColor() const;
    void SetFontColor(const QColor& color);
    // Signed font height: negative is a character height in pixels.
    int FontHeight() const;

    // While a window lays out its controls from its stored design, sizes stay as stored.
    void SetLoading(bool loading) { FLoading = loading; }
    void AdjustBounds();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int TextFlags() const;

    TAlignment FAlignment = TAlignment::taLeftJustify;
    bool FAutoSize = true;
    QColor FShadowColor = QColor(0x80, 0x80, 0x80);
    TShadowStyle FShadowStyle = TShadowStyle::ssSlant;
    int FShift = 2;
    QString FCaption;
    bool FLoading = false;
};

} // namespace kompa::ui
