#pragma once
// TOptForm: the CSV dialect of the user's files. The controls are the settings: nothing is kept
// elsewhere or saved, and every change holds until the program ends.

#include <QDialog>

#include "conv/char_set.h"
#include "conv/csv_dialect.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

class TOptForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 8;

    explicit TOptForm(QWidget* parent = nullptr);

    void GetReadDelimiters(kompa::TCharSet& delimiters) const;
    void GetQuoteTargets(kompa::TCharSet& targets) const;
    // Fills an empty edWSep with "," before choosing, whichever item is chosen.
    char GetWriteDelimiter();

    // The controls' state as a dialect (the form of it kompa-cli shares).
    kompa::TCsvDialect Dialect() const;

    int RgSepIndex() const;
    void SetRgSepIndex(int index);

    QCheckBox* rcbComma;
    QCheckBox* rcbTAb;
    QCheckBox* rcbBlank;
    QCheckBox* rcbOther;
    QCheckBox* rcbDs;
    QLineEdit* edRSep;
    QGroupBox* rgSep;
    QButtonGroup* rgSepItems;
    QLineEdit* edWSep;
    QCheckBox* wcbSep;
    QCheckBox* wcbQuote;
    QCheckBox* wcbTab;
    QCheckBox* wcbBlank;
    QCheckBox* wcbOther;
    QCheckBox* wcbAll;
    QPushButton* BitBtn1; // OK
    QPushButton* BitBtn3; // help
    QPushButton* Button1; // back to the defaults

    void Button1Click();

private:
    void rcbDsClick();
    void rgSepClick();
    void BitBtn3Click();
};
