// Every window and printout reached from the customer list that shows or
// prints a customer's data writes exactly one access-log entry, naming them.
#include "customers/customerlist.h"
#include "customers/customerprintouts.h"
#include "customers/findcustomer.h"
#include "customertestutil.h"
#include "data/practice/appstate.h"
#include "data/work/accesslog.h"
#include "data/work/plans.h"
#include "reports/reportengine.h"
#include "tests/common/testmain.h"
#include <QPushButton>
#include <QTest>

class AccessLogWalkTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        SetModalHandler({});
        ReportProject::setTestSink({});
        Form18 = nullptr;
        NumberingFixed = false;
        Messages::takeShown();
    }

    // The list's button, the button then pressed in the window it opens
    // (none: only shown), the last entry expected and how many are written.
    void eachOpeningAndPrintoutWritesOneEntry_data()
    {
        QTest::addColumn<QString>("listButton");
        QTest::addColumn<QString>("windowButton");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<int>("added");   // the window's own opening and the printout
        QTest::newRow("card") << "Button2"
                              << "" << AccessLog::code(AccessLog::Action::Open) << "Καρτέλα πελάτη" << 1;
        QTest::newRow("history") << "Button3"
                                 << "" << AccessLog::code(AccessLog::Action::Open) << "Ιστορικό" << 1;
        QTest::newRow("visits") << "Button1"
                                << "" << AccessLog::code(AccessLog::Action::Open) << "Επισκέψεις" << 1;
        QTest::newRow("chart") << "Button8"
                               << "" << AccessLog::code(AccessLog::Action::Open) << "Οδοντόγραμμα" << 1;
        QTest::newRow("takings") << "Button7"
                                 << "" << AccessLog::code(AccessLog::Action::Open) << "Εισπράξεις πελάτη" << 1;
        QTest::newRow("customer's data") << "Button5"
                                         << "Button2" << AccessLog::code(AccessLog::Action::Print) << "Στοιχεία πελατών" << 1;
        QTest::newRow("customer's history") << "Button5"
                                            << "Button9" << AccessLog::code(AccessLog::Action::Print) << "Ιστορικό πελατών" << 1;
        QTest::newRow("list") << "Button5"
                              << "Button10" << AccessLog::code(AccessLog::Action::Print) << "Λίστα των πελατών" << 1;
        QTest::newRow("plan") << "Button9"
                              << "" << AccessLog::code(AccessLog::Action::Open) << "Σχέδιο θεραπείας" << 1;
        QTest::newRow("estimate") << "Button9"
                                  << "Button5" << AccessLog::code(AccessLog::Action::Print) << "Προϋπολογισμός θεραπείας" << 2;
    }
    void eachOpeningAndPrintoutWritesOneEntry()
    {
        QFETCH(QString, listButton);
        QFETCH(QString, windowButton);
        QFETCH(QString, action);
        QFETCH(QString, detail);
        QFETCH(int, added);
        TempPractice p;
        p.copyReportFiles();
        const qlonglong id = addCustomer(p, {"Μαρία", "Παπά", "ΘΗΛΥ", "5/3/1980", "ΟΑΕΕ", "Γιατρός"});
        // A planned item, for the estimate to print.
        const qint64 work = Plans::addWork(p.conn(), {.code = QStringLiteral("KA01"), .description = QStringLiteral("Καθαρισμός"), .cents = 4000});
        Plans::addItem(p.conn(), CustomerRef::require(QString::number(id)), {.work = work, .cents = -1});
        p.conn().close();
        NumberingFixed = true;
        TForm18 list;
        Form18 = &list;
        list.ListSql = TForm17::InitialsSql(QStringLiteral("Παπά"));
        list.ListCriteria = QStringLiteral("(criteria)");
        list.show();
        QStringList printed;
        ReportProject::setTestSink([&](const QString &file, const QString &) { printed << file; });
        SetModalHandler([&](QDialog *d) {
            d->show();
            if (!windowButton.isEmpty())
                child<QPushButton>(d, qPrintable(windowButton))->click();
            d->reject();
            return 0;
        });
        const qsizetype before = AccessLog::entries(p.conn()).size();
        p.conn().close();
        child<QPushButton>(&list, qPrintable(listButton))->click();
        QCOMPARE(Messages::takeShown().size(), 0);
        QCOMPARE(printed.size(), windowButton.isEmpty() ? 0 : 1);
        // The entry goes in from the event loop once the window has shown.
        QTRY_COMPARE_WITH_TIMEOUT(AccessLog::pending(), 0, 30000);
        QCoreApplication::processEvents();
        const QList<AccessLog::Entry> after = AccessLog::entries(p.conn());
        QCOMPARE(after.size(), before + added);
        QCOMPARE(after.last().action, action);
        QCOMPARE(after.last().customerId, id);
        QVERIFY2(after.last().detail.startsWith(detail), qPrintable(after.last().detail));
    }
};

MOLARIX_TEST(AccessLogWalkTest)
#include "test_accesslogwalk.moc"
