#include "app/about_dlg.h"

#include <QFrame>
#include <QPalette>
#include <QPushButton>
#include <QStyle>

#include "ui/shadow_label.h"
#include "ui/ui_text.h"

using namespace kompa::ui;

namespace {

TShadowLabel* AddShadowLabel(QWidget* parent, const char* name, const QString& caption,
                             int pixelSize, QPoint at)
{
    auto* label = new TShadowLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->SetLoading(true);
    label->setFont(GothicFont(pixelSize));
    label->SetFontColor(Qt::white);
    label->SetCaption(caption);
    label->move(at);
    label->SetLoading(false);
    return label;
}

} // namespace

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFont(GothicFont(12));
    setFixedSize(225, 149);
    // The classic button face: white captions with grey shadows stay readable on it.
    QPalette face = palette();
    face.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(face);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(30, 10, 171, 106);

    // The labels were laid out at the size of their captions (74 x 27 for the title); measured
    // again here, since the substitute font is wider and would cut the title short.
    AddShadowLabel(this, "ShadowLabel1", QStringLiteral("Kompa"), 27, QPoint(75, 20))
        ->AdjustBounds();
    AddShadowLabel(this, "ShadowLabel4", QStringLiteral("Version " KOMPA_VERSION_SHORT), 12,
                   QPoint(90, 55))
        ->AdjustBounds();
    AddShadowLabel(this, "ShadowLabel2", QStringLiteral("郵便番号と住所の辞書"), 12, QPoint(65, 75))
        ->AdjustBounds();
    AddShadowLabel(this, "ShadowLabel3", QStringLiteral("検索と一括変換"), 12, QPoint(80, 95))
        ->AdjustBounds();

    auto* ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                               QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setGeometry(75, 120, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
