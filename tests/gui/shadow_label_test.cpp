// The shadow label's size rules and its painting onto the parent's surface.

#include <QImage>
#include <QPainter>
#include <QtTest>

#include "ui/shadow_label.h"
#include "ui/ui_text.h"

using kompa::ui::TShadowLabel;

namespace {

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextExpandTabs;

QSize TextSize(const QFont& font, const QString& text)
{
    return QFontMetrics(font).boundingRect(QRect(0, 0, 65, 17), kTextFlags, text).size();
}

QFont BoldFont(int pixels)
{
    QFont font = kompa::ui::GothicFont(pixels);
    font.setBold(true);
    return font;
}

} // namespace

class ShadowLabelTest : public QObject {
    Q_OBJECT
private slots:
    // Width = text width + (font height div -5): 15 px adds 3, 27 adds 5, 12 adds 2.
    void autoSizeAddsAFifthOfTheFontHeight_data()
    {
        QTest::addColumn<int>("pixels");
        QTest::addColumn<int>("extra");
        QTest::newRow("15 px") << 15 << 3;
        QTest::newRow("27 px") << 27 << 5;
        QTest::newRow("12 px") << 12 << 2;
        QTest::newRow("4 px") << 4 << 0;
    }
    void autoSizeAddsAFifthOfTheFontHeight()
    {
        QFETCH(int, pixels);
        QFETCH(int, extra);
        TShadowLabel label;
        label.setFont(BoldFont(pixels));
        label.SetCaption(QStringLiteral("OK!"));
        const QSize text = TextSize(label.font(), QStringLiteral("OK!"));
        QCOMPARE(label.width(), text.width() + extra);
        QCOMPARE(label.height(), text.height());
    }

    void twoLinesMeasureToBothLinesAndTheLongerWidth()
    {
        TShadowLabel label;
        label.setFont(kompa::ui::GothicFont(12));
        label.SetCaption(QStringLiteral("short\na longer second line"));
        const QSize oneLine = TextSize(label.font(), QStringLiteral("a longer second line"));
        QVERIFY(label.height() >= 2 * oneLine.height() - 2);
        QCOMPARE(label.width(), oneLine.width() + 2);
    }

    void mnemonicAmpersandsAreNotMeasured()
    {
        TShadowLabel plain;
        plain.SetCaption(QStringLiteral("File"));
        TShadowLabel mnemonic;
        mnemonic.SetCaption(QStringLiteral("&File"));
        QCOMPARE(mnemonic.width(), plain.width());
        TShadowLabel doubled;
        doubled.SetCaption(QStringLiteral("A&&B"));
        TShadowLabel literal;
        literal.SetCaption(QStringLiteral("A&B"));
        QVERIFY(doubled.width() > literal.width()); // "&&" draws one ampersand
    }

    void loadingKeepsTheStoredSize()
    {
        TShadowLabel label;
        label.SetLoading(true);
        label.setFont(kompa::ui::GothicFont(27));
        label.SetCaption(QStringLiteral("Kompa"));
        label.resize(74, 27);
        label.SetLoading(false);
        QCOMPARE(label.size(), QSize(74, 27));
    }

    // The label paints only its two texts: the parent's surface shows everywhere else.
    void paintLeavesTheBackgroundAndDrawsShadowUnderText()
    {
        TShadowLabel label;
        label.setFont(BoldFont(27));
        label.SetCaption(QStringLiteral("MW"));
        QImage surface(label.size(), QImage::Format_ARGB32);
        const QColor background(200, 0, 0);
        surface.fill(background);
        label.render(&surface, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(surface.pixelColor(0, label.height() - 1), background);
        QCOMPARE(surface.pixelColor(label.width() - 1, 0), background);
        bool white = false;
        bool shadow = false;
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x) {
                const QColor c = surface.pixelColor(x, y);
                white |= c == QColor(Qt::white);
                shadow |= c == QColor(0x80, 0x80, 0x80);
            }
        QVERIFY(white);
        QVERIFY(shadow);
    }
};

QTEST_MAIN(ShadowLabelTest)
#include "shadow_label_test.moc"
