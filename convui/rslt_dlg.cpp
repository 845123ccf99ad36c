#include "convui/rslt_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "convui/conv_texts.h"
#include "ui/ui_text.h"

using namespace kompa;

namespace {

QLabel* ValueLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(QStringLiteral("0"), parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFixedWidth(64);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    return label;
}

QPushButton* ResultButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(kompa::ui::FromSjis(caption), parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    button->setMinimumWidth(150);
    return button;
}

} // namespace

TRsltDlg::TRsltDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RsltDlg"));
    setFont(kompa::ui::GothicFont(12));
    setWindowTitle(kompa::ui::FromSjis(convtxt::kRsltCaption));

    auto* counts = new QGridLayout;
    counts->setHorizontalSpacing(16);
    const char* captions[] = {convtxt::kTotal, convtxt::kBlankAddress, convtxt::kConverted,
                              convtxt::kSkipped};
    const char* captionNames[] = {"Label1", "Label2", "Label4", "Label3"};
    lblAll = ValueLabel(this, "lblAll");
    lblBlank = ValueLabel(this, "lblBlank");
    lblConv = ValueLabel(this, "lblConv");
    lblSkip = ValueLabel(this, "lblSkip");
    QLabel* values[] = {lblAll, lblBlank, lblConv, lblSkip};
    for (int row = 0; row < 4; ++row) {
        auto* caption = new QLabel(kompa::ui::FromSjis(captions[row]), this);
        caption->setObjectName(QLatin1String(captionNames[row]));
        counts->addWidget(caption, row, 0);
        counts->addWidget(values[row], row, 1);
    }

    SpeedButton3 = ResultButton(this, "SpeedButton3", convtxt::kSave);
    SpeedButton1 = ResultButton(this, "SpeedButton1", convtxt::kContinue);
    SpeedButton2 = ResultButton(this, "SpeedButton2", convtxt::kDiscard);
    connect(SpeedButton3, &QPushButton::clicked, this, [this] { done(mrSave); });
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { done(mrContinue); });
    connect(SpeedButton2, &QPushButton::clicked, this, [this] { done(mrDiscard); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(counts);
    layout->addSpacing(12);
    for (QPushButton* button : {SpeedButton3, SpeedButton1, SpeedButton2})
        layout->addWidget(button, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TRsltDlg::SetCounts(int total, int blank, int converted, int skipped)
{
    lblAll->setText(QString::number(total));
    lblBlank->setText(QString::number(blank));
    lblConv->setText(QString::number(converted));
    lblSkip->setText(QString::number(skipped));
}
