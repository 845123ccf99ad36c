// The window's speed on automatically answered records: a 10,000-record pass through the
// conversion window (status bar repainted after every record), next to the same pass without the
// window. Real addresses from the bundled data, each with exactly one answer.
// Medians: conv_window_pass_test -median 5

#include <QLabel>
#include <QTest>

#include <filesystem>

#include "bench/address_book.h"
#include "engine/io/file_io.h"
#include "tests/gui/conv_test_fixture.h"

namespace {

constexpr int kRecords = 10000;

} // namespace

class ConvWindowPassTest : public QObject {
    Q_OBJECT

private:
    kompa::test::TempDir dir_;
    kompa::TPostCode postCode_;
    std::string book_;

private slots:
    void initTestCase()
    {
        convtest::CreateDialogs();
        namespace fs = std::filesystem;
        const fs::path bin(KOMPA_BIN_DIR);
        if (fs::exists(bin / "KOMPA.DIC"))
            fs::copy_file(bin / "KOMPA.DIC", dir_.Path() / "KOMPA.DIC");
        else
            kompa::test::BuildOne(KOMPA_KEN_ALL, dir_.File("KOMPA.DIC"), kompa::kAddressDictName);

        // Only records the pass answers by itself: one candidate, not from a shortened key.
        const auto addresses = kompa::bench::ReadMinistryAddresses(KOMPA_KEN_ALL);
        const auto generated = kompa::bench::MakeAddressBook(addresses, kRecords * 3);
        kompa::TPostCode lookup;
        lookup.OpenDictionary(dir_.File("KOMPA.DIC"));
        kompa::TStringResultList candidates;
        kompa::TCharSet comma;
        comma.Add(',');
        kompa::TFieldList fields;
        std::string book;
        int kept = 0;
        for (const std::string& line : generated) {
            kompa::SplitFields(fields, line, comma);
            const std::string key = lookup.NormalizeAddress(fields[2]);
            if (key.empty())
                continue;
            if (lookup.SearchAddress(key, candidates, false) == kompa::TAddressLevel::Shortened ||
                candidates.Count() != 1)
                continue;
            book += line + "\r\n";
            if (++kept == kRecords)
                break;
        }
        lookup.CloseDictionary();
        QCOMPARE(kept, kRecords);
        book_ = dir_.File("book.csv");
        kompa::test::WriteFile(book_, book);
    }

    void windowPass()
    {
        convtest::ScriptedWindow w(postCode_, dir_.Path().string());
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QBENCHMARK
        {
            w.Columns(1, 2);
            w.Answer("RsltDlg", kompa::mrDiscard);
            w.Open(book_);
        }
        QCOMPARE(RsltDlg->lblConv->text(), QString::number(kRecords));
        QCOMPARE(w.shown.count(QStringLiteral("RsltDlg")),
                 w.shown.count(QStringLiteral("FldForm")));
    }

    void passWithoutWindow()
    {
        kompa::TConversionPass pass(postCode_);
        pass.SetDictionaryDir(dir_.Path().string());
        pass.SetColumns(1, 2);
        kompa::TCharSet delimiters;
        OptForm->GetReadDelimiters(delimiters);
        kompa::TCharSet quoteTargets;
        OptForm->GetQuoteTargets(quoteTargets);
        QBENCHMARK
        {
            pass.LoadFromFile(book_, delimiters, quoteTargets);
            pass.ResetConversion(true);
            QCOMPARE(pass.ConvertRecords(), kompa::TStepResult::Finished);
            QCOMPARE(pass.ConvCount(), kRecords);
            pass.Discard();
        }
    }
};

QTEST_MAIN(ConvWindowPassTest)
#include "conv_window_pass_test.moc"
