#include "convui/err_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "convui/conv_texts.h"
#include "ui/ui_text.h"

using namespace kompa;

TErrDlg::TErrDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ErrDlg"));
    setFont(kompa::ui::GothicFont(12));
    setWindowTitle(kompa::ui::FromSjis(convtxt::kErrCaption));

    auto* label1 = new QLabel(kompa::ui::FromSjis(convtxt::kErrLine1), this);
    label1->setObjectName(QStringLiteral("Label1"));
    auto* label2 = new QLabel(kompa::ui::FromSjis(convtxt::kErrLine2), this);
    label2->setObjectName(QStringLiteral("Label2"));

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              kompa::ui::FromSjis(convtxt::kAbort), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(kompa::ui::FromSjis(convtxt::kForce), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAutoDefault(false);
    for (QPushButton* button : {BitBtn1, BitBtn2})
        button->setMinimumWidth(88);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(mrAbort); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(mrIgnore); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addSpacing(16);
    buttons->addWidget(BitBtn2);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addWidget(label1);
    layout->addWidget(label2);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
