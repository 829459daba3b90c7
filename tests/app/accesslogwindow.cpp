// The access log's window: its filters pick what `audit` would, «Έλεγχος»
// names the first bad entry, the printout lists what the window shows.
#include "app/accesslogwindow.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/work/accesslog.h"
#include "gui/dbgrid.h"
#include "gui/messages.h"
#include "reports/reportengine.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class AccessLogWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempPractice> p;
    QStringList printed;

private slots:
    void init()
    {
        p = std::make_unique<TempPractice>();
        p->copyReportFiles();
        // Four entries on four days, by two users, about customers 1, 2, 2 and none.
        const struct {
            const char *user;
            qint64 customer;
        } made[] = {{"Μαρία", 1}, {"Γιώργος", 2}, {"Μαρία", 2}, {"Γιώργος", 0}};
        for (int i = 0; i < 4; ++i) {
            Clock::setNow(QDateTime(QDate(2026, 3, 1 + i), QTime(23, 59, 59)));
            AccessLog::setUser(QString::fromUtf8(made[i].user));
            AccessLog::record(p->conn(), AccessLog::Action::Open, made[i].customer, QStringLiteral("Καρτέλα πελάτη"));
        }
        Clock::reset();
        p->conn().close();
        printed.clear();
        ReportProject::setTestSink([this](const QString &file, const QString &html) { printed << file << html; });
        Messages::takeShown();
    }
    void cleanup()
    {
        ReportProject::setTestSink({});
        Messages::takeShown();
        p.reset();
    }

    void filtersPickTheEntriesAndThePrintoutListsThem_data()
    {
        QTest::addColumn<QString>("customer");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QDate>("from");   // invalid: not ticked
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("positions");
        QTest::addColumn<qint64>("logged");   // the printout's entry names: a customer, 0 several, -1 none written
        QTest::newRow("all") << ""
                             << "" << QDate() << QDate() << QStringList{"1", "2", "3", "4"} << qint64(0);
        QTest::newRow("customer") << "2"
                                  << "" << QDate() << QDate() << QStringList{"2", "3"} << qint64(2);
        QTest::newRow("user") << ""
                              << "Μαρία" << QDate() << QDate() << QStringList{"1", "3"} << qint64(0);
        QTest::newRow("both ends of the dates") << ""
                                                << "" << QDate(2026, 3, 2) << QDate(2026, 3, 3) << QStringList{"2", "3"} << qint64(2);
        QTest::newRow("up to a day") << ""
                                     << "" << QDate() << QDate(2026, 3, 1) << QStringList{"1"} << qint64(1);
        QTest::newRow("customer and user") << "2"
                                           << "Γιώργος" << QDate() << QDate() << QStringList{"2"} << qint64(2);
        QTest::newRow("quote in the name") << ""
                                           << "O'Brien" << QDate() << QDate() << QStringList() << qint64(-1);
    }
    void filtersPickTheEntriesAndThePrintoutListsThem()
    {
        QFETCH(QString, customer);
        QFETCH(QString, user);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, positions);
        QFETCH(qint64, logged);
        AccessLogForm f;
        f.show();
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(child<DbGrid>(&f, "DBGrid1")->model()->rowCount(), 4);
        child<QLineEdit>(&f, "CustomerEdit")->setText(customer);
        child<QLineEdit>(&f, "UserEdit")->setText(user);
        child<QCheckBox>(&f, "FromCheck")->setChecked(from.isValid());
        child<QCheckBox>(&f, "ToCheck")->setChecked(to.isValid());
        if (from.isValid())
            child<QDateEdit>(&f, "FromDate")->setDate(from);
        if (to.isValid())
            child<QDateEdit>(&f, "ToDate")->setDate(to);
        QVERIFY(child<QPushButton>(&f, "ShowButton")->isDefault());
        child<QPushButton>(&f, "ShowButton")->click();
        QVERIFY(Messages::takeShown().isEmpty());
        QStringList shown;
        const QAbstractItemModel *model = child<DbGrid>(&f, "DBGrid1")->model();
        for (int row = 0; row < model->rowCount(); ++row)
            shown << model->index(row, 0).data().toString();
        QCOMPARE(shown, positions);

        child<QPushButton>(&f, "PrintButton")->click();
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(printed.size(), 2);
        QVERIFY(printed[0].endsWith(QStringLiteral("HMEROLOGIO.RAV")));
        QVERIFY2(printed[1].contains(QStringLiteral("Εγγραφές: %1").arg(positions.size())), qPrintable(printed[1]));
        QCOMPARE(printed[1].count(QStringLiteral("Καρτέλα πελάτη")), positions.size());
        QCOMPARE(printed[1].count(QStringLiteral("Άνοιγμα")), positions.size());
        // The printout names the entries' customers: one entry of its own.
        QTRY_COMPARE_WITH_TIMEOUT(AccessLog::pending(), 0, 30000);
        const QList<AccessLog::Entry> all = AccessLog::entries(p->conn());
        QCOMPARE(all.size(), logged < 0 ? 4 : 5);
        if (logged >= 0) {
            QCOMPARE(all.last().action, AccessLog::code(AccessLog::Action::Print));
            QCOMPARE(all.last().customerId, logged);
        }
    }

    // «Έλεγχος»: the chain as written holds; an entry removed past the
    // program is named by its position.
    void checkNamesTheFirstBadEntry_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("message");
        QTest::newRow("untouched") << ""
                                   << "Το ημερολόγιο είναι ακέραιο: καμία από τις 4 εγγραφές του δεν άλλαξε, δεν λείπει και δεν μετακινήθηκε.";
        QTest::newRow("removed") << "DELETE FROM HMEROLOGIO_PROSVASEWN WHERE AA=2"
                                 << "Η εγγραφή στη θέση 2 λείπει ή μετακινήθηκε.";
        QTest::newRow("edited") << "UPDATE HMEROLOGIO_PROSVASEWN SET XRHSTHS='Κανείς' WHERE AA=3"
                                << "Η εγγραφή στη θέση 3 άλλαξε ή μετακινήθηκε.";
    }
    void checkNamesTheFirstBadEntry()
    {
        QFETCH(QString, statement);
        QFETCH(QString, message);
        if (!statement.isEmpty()) {
            p->conn().executeNative(statement);
            p->conn().close();
        }
        AccessLogForm f;
        f.show();
        child<QPushButton>(&f, "CheckButton")->click();
        const QList<Messages::Shown> shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, message);
    }
};

MOLARIX_TEST(AccessLogWindowTest)
#include "accesslogwindow.moc"
