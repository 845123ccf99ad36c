#include "convui/opt_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
#include <QValidator>

#include "convui/conv_pictures.h"
#include "convui/conv_texts.h"
#include "engine/text/cp932.h"
#include "ui/error_display.h"
#include "ui/help.h"
#include "ui/ui_text.h"

using namespace kompa;

namespace {

// Accepts nothing or one character whose Shift-JIS form is a single byte: the delimiter the
// field routines compare with is one byte.
class SingleByteValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        if (input.isEmpty())
            return Acceptable;
        std::string bytes;
        if (input.size() == 1 && cp932::FromUtf8Strict(input.toStdString(), bytes) &&
            bytes.size() == 1)
            return Acceptable;
        return Invalid;
    }
};

QLineEdit* OneByteEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(1);
    edit->setValidator(new SingleByteValidator(edit));
    edit->setFixedWidth(28);
    edit->setAlignment(Qt::AlignCenter);
    edit->setEnabled(false);
    return edit;
}

QCheckBox* CheckBox(QWidget* parent, const char* name, const char* caption, bool checked)
{
    auto* box = new QCheckBox(kompa::ui::FromSjis(caption), parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    return box;
}

QGroupBox* GroupBox(QWidget* parent, const char* name, const char* caption)
{
    auto* group = new QGroupBox(kompa::ui::FromSjis(caption), parent);
    group->setObjectName(QLatin1String(name));
    return group;
}

// First byte of a one-byte edit's text, or nothing.
std::string EditByte(const QLineEdit* edit)
{
    return kompa::ui::ToSjis(edit->text()).substr(0, 1);
}

} // namespace

TOptForm::TOptForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OptForm"));
    setFont(kompa::ui::GothicFont(12));
    setWindowTitle(kompa::ui::FromSjis(convtxt::kOptCaption));

    // Reading column.
    QGroupBox* readBox = GroupBox(this, "GroupBox1", convtxt::kReadSettings);
    QGroupBox* readSep = GroupBox(readBox, "GroupBox3", convtxt::kDelimiter);
    rcbComma = CheckBox(readSep, "rcbComma", convtxt::kComma, true);
    rcbTAb = CheckBox(readSep, "rcbTAb", convtxt::kTab, true);
    rcbBlank = CheckBox(readSep, "rcbBlank", convtxt::kBlank, false);
    rcbOther = CheckBox(readSep, "rcbOther", convtxt::kOtherControls, true);
    rcbDs = CheckBox(readSep, "rcbDs", convtxt::kUserChar, false);
    edRSep = OneByteEdit(readSep, "edRSep");
    auto* readSepLayout = new QGridLayout(readSep);
    readSepLayout->addWidget(rcbComma, 0, 0);
    readSepLayout->addWidget(rcbTAb, 1, 0);
    readSepLayout->addWidget(rcbBlank, 2, 0);
    readSepLayout->addWidget(rcbOther, 3, 0);
    readSepLayout->addWidget(rcbDs, 4, 0);
    readSepLayout->addWidget(edRSep, 4, 1);
    readSepLayout->setColumnStretch(2, 1);
    auto* readLayout = new QVBoxLayout(readBox);
    readLayout->addWidget(readSep);
    readLayout->addStretch();

    // Writing column: the delimiter, then what gets quoted.
    QGroupBox* writeBox = GroupBox(this, "GroupBox2", convtxt::kWriteSettings);
    rgSep = GroupBox(writeBox, "rgSep", convtxt::kDelimiter);
    rgSepItems = new QButtonGroup(rgSep);
    auto* rgSepLayout = new QGridLayout(rgSep);
    const char* items[] = {convtxt::kComma, convtxt::kTab, convtxt::kBlank, convtxt::kUserChar};
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(kompa::ui::FromSjis(items[i]), rgSep);
        radio->setObjectName(QStringLiteral("rgSep%1").arg(i));
        rgSepItems->addButton(radio, i);
        rgSepLayout->addWidget(radio, i, 0);
    }
    edWSep = OneByteEdit(rgSep, "edWSep");
    rgSepLayout->addWidget(edWSep, 3, 1);
    rgSepLayout->setColumnStretch(2, 1);

    QGroupBox* quoteBox = GroupBox(writeBox, "GroupBox4", convtxt::kQuoteTargets);
    wcbSep = CheckBox(quoteBox, "wcbSep", convtxt::kDelimiter, true);
    wcbQuote = CheckBox(quoteBox, "wcbQuote", convtxt::kQuoteChar, true);
    wcbTab = CheckBox(quoteBox, "wcbTab", convtxt::kTab, true);
    wcbBlank = CheckBox(quoteBox, "wcbBlank", convtxt::kBlank, true);
    wcbOther = CheckBox(quoteBox, "wcbOther", convtxt::kOtherControls, true);
    wcbAll = CheckBox(quoteBox, "wcbAll", convtxt::kAll, false);
    // The writer always quotes for these two; the boxes only tell the user so.
    wcbSep->setEnabled(false);
    wcbQuote->setEnabled(false);
    auto* quoteLayout = new QGridLayout(quoteBox);
    quoteLayout->addWidget(wcbSep, 0, 0);
    quoteLayout->addWidget(wcbQuote, 0, 1);
    quoteLayout->addWidget(wcbTab, 1, 0);
    quoteLayout->addWidget(wcbBlank, 1, 1);
    quoteLayout->addWidget(wcbOther, 2, 0);
    quoteLayout->addWidget(wcbAll, 2, 1);

    auto* writeLayout = new QVBoxLayout(writeBox);
    writeLayout->addWidget(rgSep);
    writeLayout->addWidget(quoteBox);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                              kompa::ui::FromSjis(convtxt::kOk), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    Button1 = new QPushButton(kompa::ui::FromSjis(convtxt::kResetDefaults), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    BitBtn3 = new QPushButton(QIcon(conv_pictures::HelpPicture()),
                              kompa::ui::FromSjis(convtxt::kHelp), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setAutoDefault(false);
    for (QPushButton* button : {BitBtn1, Button1, BitBtn3})
        button->setMinimumWidth(96);

    auto* columns = new QHBoxLayout;
    columns->addWidget(readBox);
    columns->addWidget(writeBox);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    rgSepItems->button(0)->setChecked(true);
    connect(rcbDs, &QCheckBox::toggled, this, &TOptForm::rcbDsClick);
    connect(rgSepItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            rgSepClick();
    });
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button1, &QPushButton::clicked, this, &TOptForm::Button1Click);
    connect(BitBtn3, &QPushButton::clicked, this, kompa::ui::Guard([this] { BitBtn3Click(); }));
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, kompa::ui::Guard([this] { BitBtn3Click(); }));
}

int TOptForm::RgSepIndex() const
{
    return rgSepItems->checkedId();
}

void TOptForm::SetRgSepIndex(int index)
{
    if (QAbstractButton* item = rgSepItems->button(index))
        item->setChecked(true);
}

TCsvDialect TOptForm::Dialect() const
{
    TCsvDialect d;
    d.rcbComma = rcbComma->isChecked();
    d.rcbTAb = rcbTAb->isChecked();
    d.rcbBlank = rcbBlank->isChecked();
    d.rcbOther = rcbOther->isChecked();
    d.rcbDs = rcbDs->isChecked();
    d.edRSep = EditByte(edRSep);
    d.rgSep = RgSepIndex();
    d.edWSep = EditByte(edWSep);
    d.wcbTab = wcbTab->isChecked();
    d.wcbBlank = wcbBlank->isChecked();
    d.wcbOther = wcbOther->isChecked();
    d.wcbAll = wcbAll->isChecked();
    return d;
}

void TOptForm::GetReadDelimiters(TCharSet& delimiters) const
{
    delimiters = Dialect().GetReadDelimiters();
}

void TOptForm::GetQuoteTargets(TCharSet& targets) const
{
    targets = Dialect().GetQuoteTargets();
}

char TOptForm::GetWriteDelimiter()
{
    TCsvDialect d = Dialect();
    const char delimiter = d.GetWriteDelimiter();
    if (edWSep->text().isEmpty())
        edWSep->setText(kompa::ui::FromSjis(d.edWSep));
    return delimiter;
}

void TOptForm::rcbDsClick()
{
    edRSep->setEnabled(rcbDs->isChecked());
    if (edRSep->isEnabled())
        edRSep->setFocus();
}

void TOptForm::rgSepClick()
{
    edWSep->setEnabled(RgSepIndex() == 3);
    if (edWSep->isEnabled())
        edWSep->setFocus();
}

void TOptForm::Button1Click()
{
    for (QLineEdit* edit : {edRSep, edWSep})
        edit->clear();
    for (QCheckBox* box : findChildren<QCheckBox*>())
        box->setChecked(true);
    SetRgSepIndex(0);
    rcbBlank->setChecked(false);
    rcbDs->setChecked(false);
    wcbAll->setChecked(false);
}

void TOptForm::BitBtn3Click()
{
    kompa::ui::ShowHelpContext(kompa::ui::kHelpContextConvert);
}
