#include "receipts/issuedreceipts.h"
#include "receipts/issuereceipt.h"
#include "receipts/takingsbetweendates.h"
#include "takingsfixture.h"
#include "tests/common/testmain.h"

#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "gui/dbgrid.h"
#include "gui/messages.h"
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Takings;

namespace {
const QString NotEntered = QStringLiteral("Η καταχώρηση δεν έγινε");
const QString NotAcceptable = QStringLiteral("Μη αποδεκτή τιμή\nΤο ποσό πρέπει να είναι μεγαλύτερο από 0 και έως 99999999,99.");
const QString Comma = NotEntered + QStringLiteral("\nΓράψτε το ποσό με κόμμα για τα δεκαδικά, π.χ. 1500,00");
const QString Exponent = NotEntered + QStringLiteral("\nΓράψτε το ποσό χωρίς εκθέτη (e), π.χ. 1500,00");

QStringList shownTexts()
{
    QStringList texts;
    for (const auto &m : Messages::takeShown())
        texts << m.text;
    return texts;
}

std::unique_ptr<TForm56> openIssue(qlonglong customer)
{
    auto f = std::make_unique<TForm56>();
    f->CustomerId = QString::number(customer);
    f->CustomerFirstName = QStringLiteral("Γιώργος");
    f->CustomerSurname = QStringLiteral("Παπαδόπουλος");
    f->show();
    return f;
}

void enter(TForm56 &f, const QString &amount, const QString &description = QStringLiteral("Σφράγισμα"))
{
    child<QLineEdit>(&f, "Edit3")->setText(amount);
    child<QLineEdit>(&f, "Edit2")->setText(description);
    child<QPushButton>(&f, "Button1")->click();
}

int rowOf(TForm71 &f, qlonglong number)
{
    DataSet *q = f.ADOQuery1;
    const int col = q->fieldIndex(QStringLiteral("AR_APODEIKSHS"));
    for (int r = 0; r < q->rowCount(); ++r)
        if (q->value(r, col).toLongLong() == number)
            return r;
    return -1;
}

void clickRow(TForm71 &f, int row)
{
    auto *grid = child<DbGrid>(&f, "DBGrid1");
    const QModelIndex index = grid->model()->index(row, 0);
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}
}

// Receipt numbers past 2^31 and up to 2^53: issued, printed, reprinted and
// cancelled as themselves, never as 0 or as a neighbour.
class BigReceiptNumbersTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ReportProject::setTestSink({}); }

    void issuePrintReprintAndCancelKeepTheWholeNumber_data()
    {
        QTest::addColumn<qlonglong>("first");
        QTest::newRow("2^31") << qlonglong(2147483648LL);
        QTest::newRow("2^32 - 1") << qlonglong(4294967295LL);
        QTest::newRow("2^53") << qlonglong(9007199254740992LL);
    }
    void issuePrintReprintAndCancelKeepTheWholeNumber()
    {
        QFETCH(qlonglong, first);
        TempPractice p;
        p.copyReportFiles();
        const qlonglong victim = addCustomer(p, QStringLiteral("Άλλος"), QStringLiteral("Πελάτης"));
        const qlonglong c = addCustomer(p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος"));
        // Receipt 0 belongs to someone else; it must come out untouched.
        addReceipt(p, {.number = 0, .customer = victim, .date = QDate(2009, 1, 2), .poso = 40});
        setLast(p, first);

        PrintSink sink;
        for (const char *amount : {"50", "60"}) {
            auto f = openIssue(c);
            QCOMPARE(child<QLabel>(f.get(), "DBText2")->text(), QString::number(first + (amount[0] == '6')));
            enter(*f, QLatin1String(amount));
        }
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(last(p), first + 2);
        QCOMPARE(sink.pages.size(), 2);
        QVERIFY(sink.pages[0].contains(QString::number(first)));
        QVERIFY(sink.pages[0].contains(QStringLiteral("50,00")));
        QVERIFY(sink.pages[1].contains(QString::number(first + 1)));

        TForm71 list;
        list.show();
        clickRow(list, rowOf(list, first + 1));
        child<QPushButton>(&list, "Button2")->click();
        QCOMPARE(sink.pages.size(), 3);
        QVERIFY(sink.pages[2].contains(QString::number(first + 1)));
        QVERIFY(sink.pages[2].contains(QStringLiteral("60,00")));

        clickRow(list, rowOf(list, first));
        Messages::setNextAnswer(true);
        child<QPushButton>(&list, "Button1")->click();
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("Να ακυρώσω την απόδειξη με αριθμό\n%1;").arg(first)});
        auto scalar = [&](const QString &sql) { return p.conn().scalarNative(sql).toLongLong(); };
        QCOMPARE(scalar(QStringLiteral("SELECT EGKYRH FROM APODEIKSEIS WHERE AR_APODEIKSHS=%1").arg(first)), 0);
        QCOMPARE(scalar(QStringLiteral("SELECT EGKYRH FROM APODEIKSEIS WHERE AR_APODEIKSHS=%1").arg(first + 1)), -1);
        QCOMPARE(scalar(QStringLiteral("SELECT EGKYRH FROM APODEIKSEIS WHERE AR_APODEIKSHS=0")), -1);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=0")), 1);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=%1").arg(first)), 0);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=%1").arg(first + 1)), 1);
    }
};

// Amounts a Greek user may type with a thousands point, too many decimals
// or absurd sizes: refused, never stored under another value.
class ReceiptAmountsTest : public QObject {
    Q_OBJECT
private slots:
    void ambiguousOrAbsurdAmountsAreRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("thousands point") << "1.500" << Comma;
        QTest::newRow("two thousand") << "2.000" << Comma;
        QTest::newRow("point and three digits") << "12.345" << Comma;
        QTest::newRow("three decimals") << "0,001" << Comma;
        QTest::newRow("three decimals, comma") << "12,345" << Comma;
        QTest::newRow("comma thousands to others") << "1,500" << Comma;
        QTest::newRow("tiny") << "0.0000001" << NotEntered + QStringLiteral("\nΤο ποσό έχει το πολύ δύο δεκαδικά, π.χ. 1500,00");
        QTest::newRow("tiny exponent") << "1e-7" << Exponent;
        QTest::newRow("hundred and fifty by exponent") << "1,5e2" << Exponent;
        QTest::newRow("cents by exponent") << "1,25e1" << Exponent;
        QTest::newRow("huge") << "1e308" << Exponent;
        QTest::newRow("just over the largest") << "100000000" << NotAcceptable;
    }
    void ambiguousOrAbsurdAmountsAreRefused()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        TempPractice p;
        p.copyReportFiles();
        setLast(p, 1001);
        PrintSink sink;
        auto f = openIssue(addCustomer(p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος")));
        enter(*f, typed);
        QCOMPARE(shownTexts(), QStringList{message});
        QVERIFY(f->isVisible());
        QCOMPARE(p.count(QStringLiteral("APODEIKSEIS")), 0);
        QCOMPARE(p.count(QStringLiteral("EISPRAKSH_PELATH")), 0);
        QCOMPARE(last(p), 1001);
    }

    void unambiguousAmountsKeepTheirValue_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("poso");
        QTest::newRow("comma thousand and a half") << "1,5" << 1.5;
        QTest::newRow("point, one decimal") << "12.5" << 12.5;
        QTest::newRow("point, two decimals") << "0.75" << 0.75;
        QTest::newRow("the largest") << "99999999,99" << 99999999.99;
    }
    void unambiguousAmountsKeepTheirValue()
    {
        QFETCH(QString, typed);
        QFETCH(double, poso);
        TempPractice p;
        p.copyReportFiles();
        setLast(p, 1001);
        PrintSink sink;
        auto f = openIssue(addCustomer(p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος")));
        enter(*f, typed);
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(p.conn().scalarNative(QStringLiteral("SELECT POSO FROM APODEIKSEIS")).toDouble(), poso);
        QCOMPARE(p.conn().scalarNative(QStringLiteral("SELECT POSO FROM EISPRAKSH_PELATH")).toDouble(), poso);
    }
};

MOLARIX_TEST(BigReceiptNumbersTest)
MOLARIX_TEST(ReceiptAmountsTest)

// The entry when something outside the typed inputs stops it: another
// copy holding the file or taking the number shown.
class IssueReceiptInterferenceTest : public QObject {
    Q_OBJECT
private slots:
    void init() { DbConnection::setBusyWaitMs(200); }
    void cleanup()
    {
        DbConnection::setBusyWaitMs(5000);
        ReportProject::setTestSink({});
    }

    void aFileHeldElsewhereIsNamedAndTheInputsStay()
    {
        TempPractice p;
        p.copyReportFiles();
        setLast(p, 1001);
        PrintSink sink;
        auto f = openIssue(addCustomer(p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος")));
        p.conn().executeNative(QStringLiteral("BEGIN EXCLUSIVE"));
        enter(*f, QStringLiteral("50"), QStringLiteral("Καθαρισμός"));
        QCOMPARE(shownTexts(), QStringList{NotEntered + QStringLiteral("\nΤα δεδομένα χρησιμοποιούνται από άλλο "
                                                                       "πρόγραμμα· δοκιμάστε ξανά σε λίγο.")});
        QVERIFY(f->isVisible());
        QCOMPARE(child<QLineEdit>(f.get(), "Edit3")->text(), QStringLiteral("50"));
        QCOMPARE(child<QLineEdit>(f.get(), "Edit2")->text(), QStringLiteral("Καθαρισμός"));
        p.conn().executeNative(QStringLiteral("ROLLBACK"));

        // Released, the same press goes through.
        child<QPushButton>(f.get(), "Button1")->click();
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(p.count(QStringLiteral("APODEIKSEIS")), 1);
        QCOMPARE(last(p), 1002);
    }

    void aNumberTakenByAnotherCopyIsReadAgain()
    {
        TempPractice p;
        p.copyReportFiles();
        setLast(p, 1001);
        PrintSink sink;
        const qlonglong c = addCustomer(p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος"));
        auto f = openIssue(c);
        QCOMPARE(child<QLabel>(f.get(), "DBText2")->text(), QStringLiteral("1001"));
        // Another copy of the program issues 1001 meanwhile.
        addReceipt(p, {.number = 1001, .customer = c, .date = QDate(2009, 1, 2), .poso = 10});
        p.exec(QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=[LAST]+1"));

        enter(*f, QStringLiteral("50"));
        QCOMPARE(shownTexts(), QStringList{NotEntered});
        QCOMPARE(child<QLabel>(f.get(), "DBText2")->text(), QStringLiteral("1002"));
        QCOMPARE(child<QLineEdit>(f.get(), "Edit3")->text(), QStringLiteral("50"));
        child<QPushButton>(f.get(), "Button1")->click();
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(p.conn().scalarNative(QStringLiteral("SELECT POSO FROM APODEIKSEIS WHERE AR_APODEIKSHS=1002")).toDouble(),
                 50.0);
        QCOMPARE(last(p), 1003);
        QVERIFY(sink.pages.last().contains(QStringLiteral("1002")));
    }
};

// After refused dates no earlier total stands beside them.
class TakingsBetweenDatesTotalTest : public QObject {
    Q_OBJECT
private slots:
    void refusedDatesClearTheTotal()
    {
        TempPractice p;
        const qlonglong c = addCustomer(p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος"));
        addReceipt(p, {.number = 1, .customer = c, .date = QDate(2009, 1, 5), .poso = 50});
        TForm59 f;
        f.show();
        auto search = [&](const QString &from, const QString &to) {
            child<QLineEdit>(&f, "Edit1")->setText(from);
            child<QLineEdit>(&f, "Edit2")->setText(to);
            child<QPushButton>(&f, "Button1")->click();
        };
        search(QStringLiteral("1/1/2009"), QStringLiteral("31/1/2009"));
        QCOMPARE(child<QLabel>(&f, "DBText1")->text(), QStringLiteral("50,00"));
        QVERIFY(shownTexts().isEmpty());
        for (const QString &bad : {QStringLiteral("31/2/2009"), QStringLiteral("abc")}) {
            search(QStringLiteral("1/1/2009"), bad);
            QCOMPARE(shownTexts(), QStringList{QStringLiteral("Λανθασμένα κριτήρια.")});
            QCOMPARE(child<QLabel>(&f, "DBText1")->text(), QString());
            search(QStringLiteral("1/1/2009"), QStringLiteral("31/1/2009"));
            QCOMPARE(child<QLabel>(&f, "DBText1")->text(), QStringLiteral("50,00"));
        }
    }
};

MOLARIX_TEST(IssueReceiptInterferenceTest)
MOLARIX_TEST(TakingsBetweenDatesTotalTest)
#include "test_receiptsafety.moc"
