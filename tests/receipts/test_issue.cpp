#include "receipts/customertakings.h"
#include "receipts/issuereceipt.h"
#include "takingsfixture.h"
#include "tests/common/testmain.h"

#include "gui/messages.h"
#include "gui/modal.h"
#include "customers/customerlist.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "receipts/receiptprintout.h"
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Takings;

namespace {
const QString NotEntered = QStringLiteral("Η καταχώρηση δεν έγινε");
const QString NotAcceptable = QStringLiteral("Μη αποδεκτή τιμή\nΤο ποσό πρέπει να είναι μεγαλύτερο από 0 και έως 99999999,99.");
const QString Digits = NotEntered + QStringLiteral("\nΓράψτε το ποσό μόνο με ψηφία και κόμμα για τα δεκαδικά, π.χ. 1500,00");

struct IssueSetup {
    TempPractice p;
    qlonglong id;
    IssueSetup(const QString &first = QStringLiteral("Γιώργος"),
               const QString &surname = QStringLiteral("Παπαδόπουλος"))
    {
        id = addCustomer(p, first, surname);
        setLast(p, 1001);
        p.copyReportFiles();
    }
    std::unique_ptr<TForm56> open(const QString &first = QStringLiteral("Γιώργος"),
                                  const QString &surname = QStringLiteral("Παπαδόπουλος"))
    {
        auto f = std::make_unique<TForm56>();
        f->CustomerId = QString::number(id);
        f->CustomerFirstName = first;
        f->CustomerSurname = surname;
        f->show();
        return f;
    }
};

void type(TForm56 &f, const QString &amount, const QString &description, const QString &fund = QString())
{
    child<QLineEdit>(&f, "Edit3")->setText(amount);
    child<QLineEdit>(&f, "Edit2")->setText(description);
    child<QLineEdit>(&f, "Edit4")->setText(fund);
}
bool entryEnabled(TForm56 &f) { return child<QPushButton>(&f, "Button1")->isEnabled(); }
QString shownNumber(TForm56 &f) { return child<QLabel>(&f, "DBText2")->text(); }

QStringList shownTexts()
{
    QStringList texts;
    for (const auto &m : Messages::takeShown())
        texts << m.text;
    return texts;
}
}

class IssueReceiptTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        Form72 = nullptr;
        NumberingFixed = false;
    }

    void aGoodEntryStoresBothRowsRaisesTheCounterPrintsAndCloses()
    {
        IssueSetup s;
        PrintSink sink;
        auto f = s.open();
        QCOMPARE(shownNumber(*f), QStringLiteral("1001"));
        QCOMPARE(child<QLabel>(f.get(), "Label3")->text(), QStringLiteral("Γιώργος"));
        QCOMPARE(child<QLabel>(f.get(), "Label4")->text(), QStringLiteral("Παπαδόπουλος"));
        QVERIFY(!entryEnabled(*f));

        type(*f, QStringLiteral(" 50 "), QStringLiteral(" Σφράγισμα "));
        QVERIFY(entryEnabled(*f));
        child<QPushButton>(f.get(), "Button1")->click();

        QVERIFY(shownTexts().isEmpty());
        QVERIFY(!f->isVisible());
        QCOMPARE(f->result(), int(QDialog::Accepted));
        QCOMPARE(last(s.p), 1002);

        DbConnection &c = s.p.conn();
        QCOMPARE(s.p.count(QStringLiteral("EISPRAKSH_PELATH")), 1);
        QCOMPARE(s.p.count(QStringLiteral("APODEIKSEIS")), 1);
        DbStatement taking(c, QStringLiteral("SELECT ID,POSO,PERIGRAFH,TAMEIO,POSO_CY,AR_APODEIKSHS,HMEROMHNIA "
                                             "FROM EISPRAKSH_PELATH"));
        QVERIFY(taking.step());
        QCOMPARE(taking.columnValue(0).toLongLong(), s.id);
        QVERIFY(taking.columnValue(1).toDouble() == 50.0);
        QCOMPARE(taking.columnValue(2).toString(), QStringLiteral("Σφράγισμα"));
        QCOMPARE(taking.columnValue(3).toString(), QString(""));
        QVERIFY(!taking.columnValue(3).isNull());
        QVERIFY(taking.columnValue(4).toDouble() == 29.2637);
        QCOMPARE(taking.columnValue(5).toInt(), 1001);
        QCOMPARE(taking.columnValue(6).toString(), QDate::currentDate().toString(Qt::ISODate));

        DbStatement receipt(c, QStringLiteral("SELECT AR_APODEIKSHS,ONOMA,EPWNYMO,PARALHPTHS,POSO,TAMEIO,POSO_CY,"
                                              "PERIGRAFH,EGKYRH,HMEROMHNIA FROM APODEIKSEIS"));
        QVERIFY(receipt.step());
        QCOMPARE(receipt.columnValue(0).toInt(), 1001);
        QCOMPARE(receipt.columnValue(1).toString(), QStringLiteral("Γιώργος"));
        QCOMPARE(receipt.columnValue(2).toString(), QStringLiteral("Παπαδόπουλος"));
        QCOMPARE(receipt.columnValue(3).toString(), QStringLiteral("Γιώργος Παπαδόπουλος"));
        QVERIFY(receipt.columnValue(4).toDouble() == 50.0);
        QCOMPARE(receipt.columnValue(5).toString(), QString(""));
        QVERIFY(receipt.columnValue(6).toDouble() == 29.2637);
        QCOMPARE(receipt.columnValue(7).toString(), QStringLiteral("Σφράγισμα"));
        QCOMPARE(receipt.columnValue(8).toInt(), -1);
        QCOMPARE(receipt.columnValue(9).toString(), QDate::currentDate().toString(Qt::ISODate));

        // The receipt just issued was printed.
        QCOMPARE(sink.files.size(), 1);
        QVERIFY(sink.files[0].endsWith(QStringLiteral("APODEIKSEIS.RAV")));
        QVERIFY(sink.pages[0].contains(QStringLiteral("1001")));
        QVERIFY(sink.pages[0].contains(QStringLiteral("Σφράγισμα")));
        QVERIFY(sink.pages[0].contains(QStringLiteral("29,26")));
    }

    void amountsAreReadWithEitherSeparator_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("poso");
        QTest::addColumn<double>("posoCy");
        QTest::newRow("comma") << "12,5" << 12.5 << 7.315925;
        QTest::newRow("point") << "12.5" << 12.5 << 7.315925;
        QTest::newRow("whole") << "100" << 100.0 << 58.5274;
        QTest::newRow("comma, two decimals") << "15,00" << 15.0 << 8.77911;
        QTest::newRow("plus sign") << "+99.99" << 99.99 << 58.52154726;
    }
    void amountsAreReadWithEitherSeparator()
    {
        QFETCH(QString, typed);
        QFETCH(double, poso);
        QFETCH(double, posoCy);
        IssueSetup s;
        PrintSink sink;
        auto f = s.open();
        type(*f, typed, QStringLiteral("Καθαρισμός"), QStringLiteral("ΙΚΑ"));
        child<QPushButton>(f.get(), "Button1")->click();
        QVERIFY(shownTexts().isEmpty());
        // Both rows carry the amounts as written with fifteen digits at most.
        for (const char *table : {"EISPRAKSH_PELATH", "APODEIKSEIS"}) {
            const QString t = QLatin1String(table);
            QVERIFY(s.p.conn().scalarNative(QStringLiteral("SELECT POSO FROM ") + t).toDouble() == poso);
            QVERIFY2(s.p.conn().scalarNative(QStringLiteral("SELECT POSO_CY FROM ") + t).toDouble() == posoCy,
                     qPrintable(t));
            QCOMPARE(s.p.conn().scalarNative(QStringLiteral("SELECT TAMEIO FROM ") + t).toString(), QStringLiteral("ΙΚΑ"));
        }
    }

    void refusedAmountsStoreNothingAndKeepTheInputs_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("zero") << "0" << NotAcceptable;
        QTest::newRow("zero with decimals") << "0,00" << NotAcceptable;
        QTest::newRow("negative") << "-5" << NotAcceptable;
        QTest::newRow("letters") << "πενήντα" << Digits;
        QTest::newRow("latin letters") << "abc" << Digits;
        QTest::newRow("greek thousands") << "1.000,50" << NotEntered + QStringLiteral("\nΓράψτε το ποσό με κόμμα για τα δεκαδικά, π.χ. 1500,00");
        QTest::newRow("english thousands") << "1,000.50" << NotEntered + QStringLiteral("\nΓράψτε το ποσό με κόμμα για τα δεκαδικά, π.χ. 1500,00");
        QTest::newRow("currency sign") << "50€" << Digits;
        QTest::newRow("infinite") << "1e999" << NotEntered + QStringLiteral("\nΓράψτε το ποσό χωρίς εκθέτη (e), π.χ. 1500,00");
        QTest::newRow("not a number") << "nan" << Digits;
    }
    void refusedAmountsStoreNothingAndKeepTheInputs()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        IssueSetup s;
        PrintSink sink;
        auto f = s.open();
        type(*f, typed, QStringLiteral("Σφράγισμα"), QStringLiteral("ΟΓΑ"));
        QVERIFY(entryEnabled(*f));
        child<QPushButton>(f.get(), "Button1")->click();

        QCOMPARE(shownTexts(), QStringList{message});
        QVERIFY(f->isVisible());
        QCOMPARE(shownNumber(*f), QStringLiteral("1001"));
        // What was typed stays for correcting.
        QCOMPARE(child<QLineEdit>(f.get(), "Edit3")->text(), typed);
        QCOMPARE(child<QLineEdit>(f.get(), "Edit2")->text(), QStringLiteral("Σφράγισμα"));
        QCOMPARE(child<QLineEdit>(f.get(), "Edit4")->text(), QStringLiteral("ΟΓΑ"));
        QVERIFY(entryEnabled(*f));
        QCOMPARE(s.p.count(QStringLiteral("EISPRAKSH_PELATH")), 0);
        QCOMPARE(s.p.count(QStringLiteral("APODEIKSEIS")), 0);
        QCOMPARE(last(s.p), 1001);
        QVERIFY(sink.files.isEmpty());
    }

    void theEntryButtonFollowsTheInputs()
    {
        IssueSetup s;
        auto f = s.open();
        struct Case {
            const char *amount, *description, *fund;
            bool enabled;
        };
        const Case cases[] = {
            {"", "Σφράγισμα", "", false},
            {"50", "", "", false},
            {"50", "   ", "", false},
            {"  ", "Σφράγισμα", "", false},
            {"50", "Σφράγισμα", "", true},
            {"50,5", "Σφράγισμα και καθαρισμός", "ΙΚΑ 2", true},
            {"50", "Σφράγισμα.", "", false},
            {"50", "Σφράγισμα, καθαρισμός", "", false},
            {"50", "Εξαγωγή-σφράγισμα", "", false},
            {"50", "Ο'Νιλ", "", false},
            {"50", "Σφράγισμα", "ΙΚΑ.", false},
            {"50", "Σφράγισμα", "Ο'Νιλ", false},
            {"50", "Σφράγισμα", "ΤΕΒΕ-ΟΑΕΕ", false},
            {"abc", "Σφράγισμα", "", true},   // the amount is checked at the entry
        };
        for (const Case &c : cases) {
            type(*f, QString::fromUtf8(c.amount), QString::fromUtf8(c.description), QString::fromUtf8(c.fund));
            QVERIFY2(entryEnabled(*f) == c.enabled, c.description);
        }
        // Each edit on its own re-checks.
        type(*f, QStringLiteral("50"), QStringLiteral("Σφράγισμα"));
        QVERIFY(entryEnabled(*f));
        child<QLineEdit>(f.get(), "Edit4")->setText(QStringLiteral("@"));
        QVERIFY(!entryEnabled(*f));
        child<QLineEdit>(f.get(), "Edit4")->clear();
        QVERIFY(entryEnabled(*f));
        child<QLineEdit>(f.get(), "Edit3")->clear();
        QVERIFY(!entryEnabled(*f));
    }

    void aNameWithAnApostropheIsIssued()
    {
        const QString first = QStringLiteral("Σεάν");
        const QString surname = QStringLiteral("Ο'Νιλ");
        IssueSetup s(first, surname);
        PrintSink sink;
        auto f = s.open(first, surname);
        type(*f, QStringLiteral("40"), QStringLiteral("Έλεγχος"));
        child<QPushButton>(f.get(), "Button1")->click();
        QVERIFY(shownTexts().isEmpty());
        QVERIFY(!f->isVisible());
        QCOMPARE(s.p.conn().scalarNative(QStringLiteral("SELECT EPWNYMO FROM APODEIKSEIS")).toString(), surname);
        QCOMPARE(s.p.conn().scalarNative(QStringLiteral("SELECT PARALHPTHS FROM APODEIKSEIS")).toString(),
                 QStringLiteral("Σεάν Ο'Νιλ"));
        QCOMPARE(s.p.count(QStringLiteral("EISPRAKSH_PELATH")), 1);
        QCOMPARE(last(s.p), 1002);
    }

    void aReceiptInsertThatFailsAfterTheTakingLeavesNothing()
    {
        // The number is already taken by a receipt issued elsewhere.
        IssueSetup s;
        PrintSink sink;
        s.p.conn().executeNative(QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,PERIGRAFH) VALUES(1001,'άλλη')"));
        auto f = s.open();
        type(*f, QStringLiteral("50"), QStringLiteral("Σφράγισμα"));
        child<QPushButton>(f.get(), "Button1")->click();
        QCOMPARE(shownTexts(), QStringList{NotEntered});
        QVERIFY(f->isVisible());
        QCOMPARE(shownNumber(*f), QStringLiteral("1001"));
        QVERIFY(!entryEnabled(*f));
        QCOMPARE(s.p.count(QStringLiteral("EISPRAKSH_PELATH")), 0);
        QCOMPARE(s.p.count(QStringLiteral("APODEIKSEIS")), 1);
        QCOMPARE(last(s.p), 1001);
        QVERIFY(sink.files.isEmpty());
    }

    void aCounterThatCannotBeRaisedUndoesBothInserts()
    {
        IssueSetup s;
        PrintSink sink;
        s.p.refuseUpdates(QStringLiteral("LAST_APODEIKSH"), QStringLiteral("no_raise"));
        auto f = s.open();
        type(*f, QStringLiteral("50"), QStringLiteral("Σφράγισμα"));
        child<QPushButton>(f.get(), "Button1")->click();
        QCOMPARE(shownTexts(), QStringList{NotEntered});
        QCOMPARE(s.p.count(QStringLiteral("EISPRAKSH_PELATH")), 0);
        QCOMPARE(s.p.count(QStringLiteral("APODEIKSEIS")), 0);
        QCOMPARE(last(s.p), 1001);

        // Once the counter can move again, the same window issues the number.
        s.p.allowUpdates(QStringLiteral("LAST_APODEIKSH"), QStringLiteral("no_raise"));
        type(*f, QStringLiteral("50"), QStringLiteral("Σφράγισμα"));
        child<QPushButton>(f.get(), "Button1")->click();
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(s.p.count(QStringLiteral("EISPRAKSH_PELATH")), 1);
        QCOMPARE(last(s.p), 1002);
    }

    void twoCopiesIssuingOneNumberLeaveOneReceipt()
    {
        // Each window has its own connection on the one file, as two
        // copies of the program would; both read 1001 before either enters.
        IssueSetup s;
        PrintSink sink;
        auto first = s.open();
        auto second = s.open();
        QCOMPARE(shownNumber(*second), QStringLiteral("1001"));

        type(*first, QStringLiteral("50"), QStringLiteral("Πρώτη"));
        child<QPushButton>(first.get(), "Button1")->click();
        QVERIFY(shownTexts().isEmpty());

        type(*second, QStringLiteral("70"), QStringLiteral("Δεύτερη"));
        child<QPushButton>(second.get(), "Button1")->click();
        QCOMPARE(shownTexts(), QStringList{NotEntered});
        QVERIFY(second->isVisible());

        QCOMPARE(s.p.count(QStringLiteral("APODEIKSEIS")), 1);
        QCOMPARE(s.p.count(QStringLiteral("EISPRAKSH_PELATH")), 1);
        QCOMPARE(s.p.conn().scalarNative(QStringLiteral("SELECT PERIGRAFH FROM EISPRAKSH_PELATH")).toString(),
                 QStringLiteral("Πρώτη"));
        QCOMPARE(last(s.p), 1002);
        QCOMPARE(sink.files.size(), 1);
    }

    void theLastNumberIsIssuedThenNothingUntilTheNumberingIsSetAgain()
    {
        IssueSetup s;
        PrintSink sink;
        s.p.conn().executeNative(QStringLiteral("UPDATE LAST_APODEIKSH SET \"LAST\"=9223372036854775806"));
        auto f = s.open();
        type(*f, QStringLiteral("50"), QStringLiteral("Σφράγισμα"));
        child<QPushButton>(f.get(), "Button1")->click();
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(last(s.p), 9223372036854775807LL);

        auto g = s.open();
        type(*g, QStringLiteral("70"), QStringLiteral("Καθαρισμός"));
        child<QPushButton>(g.get(), "Button1")->click();
        QCOMPARE(shownTexts(), QStringList{NotEntered + QStringLiteral("\nΗ αρίθμηση των αποδείξεων έφτασε στο τέλος "
                                                                       "της· ορίστε νέα από «Ρυθμίσεις» → «Καθορισμός "
                                                                       "αρίθμησης των αποδείξεων».")});
        QCOMPARE(child<QLineEdit>(g.get(), "Edit2")->text(), QStringLiteral("Καθαρισμός"));
        QCOMPARE(s.p.count(QStringLiteral("APODEIKSEIS")), 1);
        QCOMPARE(last(s.p), 9223372036854775807LL);
    }

    void aFailedPrintoutKeepsTheReceiptAndClosesTheWindow()
    {
        IssueSetup s;
        QFile::remove(QDir(s.p.path()).filePath(QStringLiteral("APODEIKSEIS.RAV")));
        auto f = s.open();
        type(*f, QStringLiteral("50"), QStringLiteral("Σφράγισμα"));
        child<QPushButton>(f.get(), "Button1")->click();

        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].kind == Messages::Kind::Error);
        QVERIFY(shown[0].text.contains(QStringLiteral("APODEIKSEIS.RAV")));
        QVERIFY(!f->isVisible());
        QCOMPARE(s.p.count(QStringLiteral("APODEIKSEIS")), 1);
        QCOMPARE(s.p.count(QStringLiteral("EISPRAKSH_PELATH")), 1);
        QCOMPARE(last(s.p), 1002);
    }

    void theStartUpPrintoutIsUsedWhenThereIsOne()
    {
        IssueSetup s;
        PrintSink sink;
        TForm72 printout;
        Form72 = &printout;
        auto f = s.open();
        type(*f, QStringLiteral("50"), QStringLiteral("Σφράγισμα"));
        child<QPushButton>(f.get(), "Button1")->click();
        QCOMPARE(printout.ReceiptNumber, 1001);
        QCOMPARE(sink.files.size(), 1);
    }

    void statementNumbersArePlainWithFifteenDigits_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 50.0 << "50";
        QTest::newRow("converted 50") << 50 * 0.585274 << "29.2637";
        QTest::newRow("one decimal") << 12.5 << "12.5";
        QTest::newRow("converted 12.5") << 12.5 * 0.585274 << "7.315925";
        QTest::newRow("sum drift") << 0.1 + 0.2 << "0.3";
        QTest::newRow("small") << 0.0000001 << "0.0000001";
        QTest::newRow("below one") << 0.05 << "0.05";
        QTest::newRow("large") << 1e20 << "100000000000000000000";
        QTest::newRow("rounded to fifteen") << 123456789012345678.0 << "123456789012346000";
        QTest::newRow("round up carries") << 99.99999999999999 << "100";
        QTest::newRow("negative") << -2.5 << "-2.5";
        QTest::newRow("zero") << 0.0 << "0";
    }
    void statementNumbersArePlainWithFifteenDigits()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(TForm56::StatementNumber(value), text);
    }

    void theCustomerListOpensBothWindowsForItsCurrentCustomer()
    {
        IssueSetup s(QStringLiteral("Σεάν"), QStringLiteral("Ο'Νιλ"));
        TForm18 list;
        list.ListSql = QStringLiteral("SELECT ID, ONOMA, EPWNYMO, FYLO, HMEROMHNIA_GENNHSEWS, THLEFWNO_1, THLEFWNO_2, "
                                      "DIEYTHYNSH, EPAGGELMA, TAMEIO FROM STOIXEIA_PELATH");
        NumberingFixed = false;
        list.show();
        QVERIFY(!child<QPushButton>(&list, "Button6")->isEnabled());
        list.reject();
        NumberingFixed = true;
        list.show();

        QStringList opened;
        SetModalHandler([&](QDialog *d) {
            if (auto *issue = qobject_cast<TForm56 *>(d)) {
                opened << issue->CustomerId + u' ' + issue->CustomerFirstName + u' ' + issue->CustomerSurname;
                d->show();
                opened << child<QLabel>(d, "DBText2")->text() + u' ' + child<QLabel>(d, "Label4")->text();
            } else if (auto *takings = qobject_cast<TForm57 *>(d)) {
                opened << takings->CustomerId + u' ' + takings->CustomerFirstName + u' ' + takings->CustomerSurname;
            }
            return int(QDialog::Rejected);
        });
        child<QPushButton>(&list, "Button6")->click();
        child<QPushButton>(&list, "Button7")->click();
        SetModalHandler({});
        const QString customer = QString::number(s.id) + QStringLiteral(" Σεάν Ο'Νιλ");
        QCOMPARE(opened, (QStringList{customer, QStringLiteral("1001 Ο'Νιλ"), customer}));
        QVERIFY(shownTexts().isEmpty());
    }
};

MOLARIX_TEST(IssueReceiptTest)
#include "test_issue.moc"
