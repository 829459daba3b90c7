#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tests/reports/test_engine_util.h"

#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/work/accesslog.h"
#include "data/work/receipts.h"
#include "receipts/receiptprintout.h"
#include "reports/reportengine.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace ReportTest;

class ReceiptPrintoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempPractice> practice;
    QStringList printedFiles;
    QString html;
    std::function<void()> duringPrint;

    void addPractice()
    {
        practice->conn().executeNative(
            QStringLiteral("INSERT INTO INFORMATION (TITLE, ADDRESS1, ADDRESS2, PHONE, FAX, WEBSITE, EMAIL, AFT)"
                           " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
            {QStringLiteral("Οδοντιατρείο Ανδρέα Γεωργίου"), QStringLiteral("Λεωφόρος Μακαρίου 12"),
             QStringLiteral("1065 Λευκωσία"), QStringLiteral("22 456789"), QStringLiteral("22 456780"),
             QStringLiteral("www.georgiou-dental.com.cy"), QStringLiteral("info@georgiou-dental.com.cy"),
             QStringLiteral("10234567Κ")});
    }
    void addReceipt(int number, const QString &date, double poso, double posoCy, const QString &payer,
                    const QString &description = QStringLiteral("Σφράγισμα"), const QString &fund = QStringLiteral("ΓεΣΥ"))
    {
        practice->conn().executeNative(
            QStringLiteral("INSERT INTO APODEIKSEIS (AR_APODEIKSHS, HMEROMHNIA, ONOMA, EPWNYMO, PARALHPTHS, POSO,"
                           " POSO_CY, TAMEIO, PERIGRAFH) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {number, date, payer.section(u' ', 0, 0), payer.section(u' ', 1), payer, poso, posoCy, fund, description});
    }

    // Prints through the printout window and reads the receipt back from its PDF.
    QString print(int number)
    {
        TForm72 form;
        form.ReceiptNumber = number;
        html.clear();
        form.PrintReceipt();
        if (html.isEmpty())
            return QString();
        const QString pdf = QDir(practice->path()).filePath(QStringLiteral("receipt.pdf"));
        ReportProject::writePdf(html, pdf);
        return squeezed(pdfText(pdf));
    }

private slots:
    void init()
    {
        practice = std::make_unique<TempPractice>();
        practice->copyReportFiles();
        printedFiles.clear();
        duringPrint = nullptr;
        ReportProject::setTestSink([this](const QString &file, const QString &rendered) {
            printedFiles << file;
            html = rendered;
            if (duringPrint)
                duringPrint();
        });
    }
    void cleanup()
    {
        ReportProject::setTestSink({});
        practice.reset();
    }

    void receiptCarriesPracticeAndPayment()
    {
        addPractice();
        addReceipt(1001, QStringLiteral("2008-03-25"), 50, 29.2637, QStringLiteral("Μαρία Παπαδοπούλου"));
        addReceipt(1002, QStringLiteral("2008-03-26"), 80, 46.82, QStringLiteral("Νίκος Ιωάννου"));
        const QString text = print(1001);

        QCOMPARE(printedFiles, QStringList{AppDirectory + QDir::separator() + QStringLiteral("APODEIKSEIS.RAV")});
        for (const char *expected :
             {"Οδοντιατρείο Ανδρέα Γεωργίου", "Λεωφόρος Μακαρίου 12", "1065 Λευκωσία", "22 456789", "22 456780",
              "www.georgiou-dental.com.cy", "info@georgiou-dental.com.cy", "Α.Φ.Τ: 10234567Κ",
              "1001 25/3/2008", "Μαρία Παπαδοπούλου", "50,00 EUR", "29,26", "Σφράγισμα", "ΓεΣΥ"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        QVERIFY(!text.contains(QStringLiteral("Νίκος")));
        QVERIFY(!text.contains(QStringLiteral("29,2637")));

        // Two decimals rounded half away from zero, no grouping; markup in texts prints as typed.
        addReceipt(8, QStringLiteral("2008-01-02"), 1234.565, 722.5, QStringLiteral("<b>Κώστας & Σία</b>"),
                   QStringLiteral("Καθαρισμός <script>"));
        const QString eight = print(8);
        for (const char *expected : {"1234,57 EUR", "722,50", "<b>Κώστας & Σία</b>", "Καθαρισμός <script>"})
            QVERIFY2(eight.contains(QString::fromUtf8(expected)), expected);
    }

    void emptyPhoneAndFaxLeaveNoCaptions()
    {
        practice->conn().executeNative(QStringLiteral("INSERT INTO INFORMATION (TITLE, ADDRESS1, AFT) VALUES (?, ?, ?)"),
                                       {QStringLiteral("Οδοντιατρείο Ανδρέα Γεωργίου"),
                                        QStringLiteral("Λεωφόρος Μακαρίου 12"), QStringLiteral("10234567Κ")});
        addReceipt(1001, QStringLiteral("2008-03-25"), 50, 29.2637, QStringLiteral("Μαρία Παπαδοπούλου"));
        QString text = print(1001);
        QVERIFY2(text.contains(QStringLiteral("Οδοντιατρείο Ανδρέα Γεωργίου")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("Τηλέφωνο")), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("Fax")));

        // Each caption comes with its own value.
        practice->conn().executeNative(QStringLiteral("UPDATE INFORMATION SET PHONE = ?"), {QStringLiteral("22 456789")});
        text = print(1001);
        QVERIFY2(text.contains(QStringLiteral("Τηλέφωνο: 22 456789")), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("Fax")));
        practice->conn().executeNative(QStringLiteral("UPDATE INFORMATION SET PHONE = NULL, FAX = ?"), {QStringLiteral("22 456780")});
        text = print(1001);
        QVERIFY2(text.contains(QStringLiteral("Fax: 22 456780")), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("Τηλέφωνο")));
    }

    void cancelledReceiptPrintsLikeAValidOne()
    {
        addPractice();
        addReceipt(15, QStringLiteral("2008-05-05"), 50, 29.2637, QStringLiteral("Μαρία Παπαδοπούλου"));
        const QString valid = print(15);
        practice->exec(QStringLiteral("UPDATE APODEIKSEIS SET EGKYRH=FALSE WHERE AR_APODEIKSHS=15"));
        const QString cancelled = print(15);
        QVERIFY(valid.contains(QStringLiteral("Μαρία Παπαδοπούλου")));
        QCOMPARE(cancelled, valid);
    }

    void missingReceiptPrintsPracticeDetailsOnly()
    {
        addPractice();
        addReceipt(1001, QStringLiteral("2008-03-25"), 50, 29.2637, QStringLiteral("Μαρία Παπαδοπούλου"));
        const QString sample = print(0);
        QVERIFY(sample.contains(QStringLiteral("Οδοντιατρείο Ανδρέα Γεωργίου")));
        QVERIFY(sample.contains(QStringLiteral("Α.Φ.Τ: 10234567Κ")));
        QVERIFY(sample.contains(QStringLiteral("Λάβαμε από:")));
        QVERIFY(!sample.contains(QStringLiteral("Μαρία")));
        QVERIFY(!sample.contains(QStringLiteral("50,00")));
        QVERIFY(!sample.contains(QStringLiteral("1001")));

        // A numbering started at 0 gives a real receipt 0, and the sample prints it.
        addReceipt(0, QStringLiteral("2008-01-07"), 20, 11.71, QStringLiteral("Ελένη Κωνσταντίνου"));
        const QString zero = print(0);
        QVERIFY(zero.contains(QStringLiteral("Ελένη Κωνσταντίνου")));
        QVERIFY(zero.contains(QStringLiteral("20,00 EUR")));
        // Negative numbers reach the statement with their sign.
        addReceipt(-3, QStringLiteral("2008-01-07"), 5, 2.93, QStringLiteral("Πέτρος Πέτρου"));
        QVERIFY(print(-3).contains(QStringLiteral("Πέτρος Πέτρου")));
    }

    void eachPrintStartsAndEndsClosed()
    {
        addPractice();
        addReceipt(1001, QStringLiteral("2008-03-25"), 50, 29.2637, QStringLiteral("Μαρία Παπαδοπούλου"));
        TForm72 form;
        auto *query = form.findChild<DataSet *>(QStringLiteral("ADOQuery1"));
        auto *table = form.findChild<DataSet *>(QStringLiteral("ADOTable1"));
        QVERIFY(query && table);
        bool checked = false;
        duringPrint = [&] {
            // The report found the receipt query closed and put it back so.
            QVERIFY(!query->isOpen());
            QVERIFY(query->sql().contains(QStringLiteral("WHERE AR_APODEIKSHS=1001")));
            QVERIFY(table->isOpen());
            checked = true;
        };
        form.ReceiptNumber = 1001;
        form.PrintReceipt();
        QVERIFY(checked);
        QVERIFY(!query->isOpen());
        QVERIFY(query->sql().isEmpty());
        QVERIFY(!table->isOpen());

        // Prints do not depend on each other.
        duringPrint = nullptr;
        form.ReceiptNumber = 0;
        form.PrintReceipt();
        QVERIFY(!html.contains(QStringLiteral("Μαρία")));
        QCOMPARE(printedFiles.size(), 2);
    }

    // A receipt's printout names the customer whose takings it records in
    // the access log, once; a cancelled one, whose takings are gone, too.
    void printoutIsLoggedForItsCustomer_data()
    {
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("issued") << false;
        QTest::newRow("cancelled") << true;
    }
    void printoutIsLoggedForItsCustomer()
    {
        QFETCH(bool, cancelled);
        addReceipt(1001, QStringLiteral("2008-03-25"), 50, 29.2637, QStringLiteral("Μαρία Παπαδοπούλου"));
        practice->conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH (ONOMA, EPWNYMO) VALUES ('Μαρία', 'Παπαδοπούλου')"));
        const qint64 customer = practice->conn().scalarNative(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong();
        practice->conn().executeNative(QStringLiteral("INSERT INTO EISPRAKSH_PELATH (ID, POSO, AR_APODEIKSHS) VALUES (?, 50, 1001)"), {customer});
        if (cancelled)
            Receipts::cancel(practice->conn(), 1001);
        const qsizetype before = AccessLog::entries(practice->conn()).size();
        QVERIFY(!print(1001).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(AccessLog::pending(), 0, 30000);
        const QList<AccessLog::Entry> after = AccessLog::entries(practice->conn());
        QCOMPARE(after.size(), before + 1);
        QCOMPARE(after.last().action, AccessLog::code(AccessLog::Action::Print));
        QCOMPARE(after.last().customerId, customer);
    }
};

MOLARIX_TEST(ReceiptPrintoutTest)
#include "test_printout.moc"
