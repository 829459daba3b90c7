// Every window and printout reached from the customer list that shows or
// prints a customer's data writes exactly one access-log entry, naming them.
#include "customers/customerlist.h"
#include "customers/customerprintouts.h"
#include "customers/findcustomer.h"
#include "customertestutil.h"
#include "data/practice/appstate.h"
#include "data/work/accesslog.h"
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
    // (none: only shown), and the entry expected.
    void eachOpeningAndPrintoutWritesOneEntry_data()
    {
        QTest::addColumn<QString>("listButton");
        QTest::addColumn<QString>("windowButton");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("detail");
        QTest::newRow("card") << "Button2"
                              << "" << AccessLog::code(AccessLog::Action::Open) << "Καρτέλα πελάτη";
        QTest::newRow("history") << "Button3"
                                 << "" << AccessLog::code(AccessLog::Action::Open) << "Ιστορικό";
        QTest::newRow("visits") << "Button1"
                                << "" << AccessLog::code(AccessLog::Action::Open) << "Επισκέψεις";
        QTest::newRow("chart") << "Button8"
                               << "" << AccessLog::code(AccessLog::Action::Open) << "Οδοντόγραμμα";
        QTest::newRow("takings") << "Button7"
                                 << "" << AccessLog::code(AccessLog::Action::Open) << "Εισπράξεις πελάτη";
        QTest::newRow("customer's data") << "Button5"
                                         << "Button2" << AccessLog::code(AccessLog::Action::Print) << "Στοιχεία πελατών";
        QTest::newRow("customer's history") << "Button5"
                                            << "Button9" << AccessLog::code(AccessLog::Action::Print) << "Ιστορικό πελατών";
        QTest::newRow("list") << "Button5"
                              << "Button10" << AccessLog::code(AccessLog::Action::Print) << "Λίστα των πελατών";
    }
    void eachOpeningAndPrintoutWritesOneEntry()
    {
        QFETCH(QString, listButton);
        QFETCH(QString, windowButton);
        QFETCH(QString, action);
        QFETCH(QString, detail);
        TempPractice p;
        p.copyReportFiles();
        const qlonglong id = addCustomer(p, {"Μαρία", "Παπά", "ΘΗΛΥ", "5/3/1980", "ΟΑΕΕ", "Γιατρός"});
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
        const QList<AccessLog::Entry> after = AccessLog::entries(p.conn());
        QCOMPARE(after.size(), before + 1);
        QCOMPARE(after.last().action, action);
        QCOMPARE(after.last().customerId, id);
        QVERIFY2(after.last().detail.startsWith(detail), qPrintable(after.last().detail));
    }
};

MOLARIX_TEST(AccessLogWalkTest)
#include "test_accesslogwalk.moc"
