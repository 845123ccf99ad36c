#include "convui/rslt_dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

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
    // Enter presses the button that has the focus.
    button->setAutoDefault(true);
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
    SpeedButton3->setDefault(true);
    connect(SpeedButton3, &QPushButton::clicked, this, [this] { done(mrSave); });
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { done(mrContinue); });
    connect(SpeedButton2, &QPushButton::clicked, this, [this] { done(mrDiscard); });

    auto* main = new QVBoxLayout;
    main->addLayout(counts);
    main->addSpacing(12);
    for (QPushButton* button : {SpeedButton3, SpeedButton1, SpeedButton2})
        main->addWidget(button, 0, Qt::AlignHCenter);

    FExtraCounts = new QGridLayout;
    FExtraCounts->setHorizontalSpacing(16);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(main);
    layout->addSpacing(16);
    layout->addLayout(FExtraCounts);
    layout->setAlignment(FExtraCounts, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FHeadingRow = AddExtraCount("lblHeading", convtxt::kHeadingLines);
    lblHeading = FExtras[static_cast<std::size_t>(FHeadingRow)].value;
    const std::pair<const char*, const char*> codeRows[] = {
        {"lblNew", convtxt::kNewCodes},
        {"lblReplaced", convtxt::kReplacedCodes},
        {"lblStale", convtxt::kStaleCodes},
        {"lblKept", convtxt::kKeptCodes}};
    QLabel** codeValues[] = {&lblNew, &lblReplaced, &lblStale, &lblKept};
    for (int i = 0; i < 4; ++i) {
        FCodeRows[i] = AddExtraCount(codeRows[i].first, codeRows[i].second);
        *codeValues[i] = FExtras[static_cast<std::size_t>(FCodeRows[i])].value;
    }
    // "うち…" counts part of the row above it.
    FExtras[static_cast<std::size_t>(FCodeRows[2])].caption->setIndent(12);
    FOfficeRow = AddExtraCount("lblOfficeCodes", convtxt::kOfficeCodes);
    lblOfficeCodes = FExtras[static_cast<std::size_t>(FOfficeRow)].value;
}

int TRsltDlg::AddExtraCount(const char* objectName, const char* sjisCaption)
{
    const int row = static_cast<int>(FExtras.size());
    auto* caption = new QLabel(kompa::ui::FromSjis(sjisCaption), this);
    QLabel* value = ValueLabel(this, objectName);
    FExtraCounts->addWidget(caption, row, 0);
    FExtraCounts->addWidget(value, row, 1);
    caption->hide();
    value->hide();
    FExtras.push_back({caption, value});
    return row;
}

void TRsltDlg::ShowExtraCount(int row, int value)
{
    const TExtraCount& extra = FExtras.at(static_cast<std::size_t>(row));
    extra.value->setText(QString::number(value));
    extra.caption->show();
    extra.value->show();
}

void TRsltDlg::HideExtraCount(int row)
{
    const TExtraCount& extra = FExtras.at(static_cast<std::size_t>(row));
    extra.caption->hide();
    extra.value->hide();
}

void TRsltDlg::SetCounts(int total, int blank, int converted, int skipped)
{
    lblAll->setText(QString::number(total));
    lblBlank->setText(QString::number(blank));
    lblConv->setText(QString::number(converted));
    lblSkip->setText(QString::number(skipped));
}

void TRsltDlg::SetOfficeCodeCount(int officeCodes)
{
    if (officeCodes >= 0)
        ShowExtraCount(FOfficeRow, officeCodes);
    else
        HideExtraCount(FOfficeRow);
}

void TRsltDlg::SetHeadingCount(int headings)
{
    if (headings > 0)
        ShowExtraCount(FHeadingRow, headings);
    else
        HideExtraCount(FHeadingRow);
}

void TRsltDlg::SetCodeCounts(int newCodes, int replaced, int stale, int kept)
{
    const int values[] = {newCodes, replaced, stale, kept};
    for (int i = 0; i < 4; ++i)
        ShowExtraCount(FCodeRows[i], values[i]);
}

void TRsltDlg::HideCodeCounts()
{
    for (const int row : FCodeRows)
        HideExtraCount(row);
}

void TRsltDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Every showing starts on the default: the same key does the same thing each time.
    SpeedButton3->setFocus(Qt::OtherFocusReason);
}
