// The access log's chain on the practice's engine: what another tool does
// to its rows is found at the right position, and two workstations
// appending at once never fork it.
#include "data/db/connection.h"
#include "data/db/writegate.h"
#include "data/db/dataset.h"
#include "data/practice/schema.h"
#include "data/work/accesslog.h"
#include "data/work/appointments.h"
#include "data/work/customerid.h"
#include "data/work/plans.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QMutex>
#include <QThread>
#include <memory>

namespace {

void fill(DbConnection &c, int n)
{
    for (int i = 1; i <= n; ++i)
        AccessLog::record(c, AccessLog::Action::Open, i, QStringLiteral("Καρτέλα πελάτη"));
}

}   // namespace

class AccessLogTest : public QObject {
    Q_OBJECT
private slots:
    void init() { AccessLog::setUser(QStringLiteral("Μαρία")); }

    // Each change made past the program, as the engine's own tool would,
    // and the first position the walk must name (0: the chain holds).
    void tamperingIsFoundAtItsPosition_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<qint64>("firstBad");
        QTest::newRow("untouched") << QStringList() << qint64(0);
        QTest::newRow("detail edited") << QStringList{"UPDATE HMEROLOGIO_PROSVASEWN SET LEPTOMEREIES='x' WHERE AA=3"} << qint64(3);
        QTest::newRow("customer edited") << QStringList{"UPDATE HMEROLOGIO_PROSVASEWN SET PELATHS=NULL WHERE AA=4"} << qint64(4);
        QTest::newRow("user edited") << QStringList{"UPDATE HMEROLOGIO_PROSVASEWN SET XRHSTHS='Άλλος' WHERE AA=1"} << qint64(1);
        QTest::newRow("deleted") << QStringList{"DELETE FROM HMEROLOGIO_PROSVASEWN WHERE AA=3"} << qint64(3);
        QTest::newRow("two swapped") << QStringList{"UPDATE HMEROLOGIO_PROSVASEWN SET AA=100 WHERE AA=2", "UPDATE HMEROLOGIO_PROSVASEWN SET AA=2 WHERE AA=4",
                                                    "UPDATE HMEROLOGIO_PROSVASEWN SET AA=4 WHERE AA=100"}
                                     << qint64(2);
        QTest::newRow("hash made again") << QStringList{"UPDATE HMEROLOGIO_PROSVASEWN SET LEPTOMEREIES='x' WHERE AA=3"} << qint64(4);
        // The newest entries cut off leave no gap in the chain: the seal
        // beside a practice file, or in a server practice's folder, still
        // names the newest (rows "sealed: ..."; "file: ..." on a file only).
        QTest::newRow("sealed: newest removed") << QStringList{"DELETE FROM HMEROLOGIO_PROSVASEWN WHERE AA>=4"} << qint64(4);
        QTest::newRow("sealed: newest removed, then written anew") << QStringList{"DELETE FROM HMEROLOGIO_PROSVASEWN WHERE AA>=4", "write"}
                                                                   << qint64(5);
        QTest::newRow("sealed: newest hash made again") << QStringList{"UPDATE HMEROLOGIO_PROSVASEWN SET LEPTOMEREIES='x' WHERE AA=5"} << qint64(5);
        QTest::newRow("file: seal forged") << QStringList{"forge"} << qint64(6);
    }
    void tamperingIsFoundAtItsPosition()
    {
        QFETCH(QStringList, statements);
        QFETCH(qint64, firstBad);
        TempPractice p;
        const QByteArray tag = QTest::currentDataTag();
        if (tag.startsWith("file: ") && p.conn().onServer())
            QSKIP("a server's seal carries no MAC");
        fill(p.conn(), 5);
        for (const QString &s : statements) {
            if (s == QLatin1String("write")) {
                fill(p.conn(), 1);
            } else if (s == QLatin1String("forge")) {
                // The seal rewritten without the file's key.
                const QString seal = QFileInfo(p.conn().fileName()).absoluteDir().filePath(QStringLiteral("HMEROLOGIO.seal"));
                QFile f(seal);
                QVERIFY(f.open(QIODevice::ReadOnly));
                QList<QByteArray> parts = f.readAll().trimmed().split(' ');
                f.close();
                QCOMPARE(parts.size(), 3);
                parts[0] = "4";
                parts[1] = AccessLog::entries(p.conn())[3].hash.toLatin1();
                QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                f.write(parts.join(' '));
            } else {
                p.conn().executeNative(s);
            }
        }
        if (tag.contains("hash made again")) {
            // Whoever knows the layout may make an entry's hash agree again:
            // the next entry, or the seal, still names the old one.
            const qint64 at = tag.startsWith("sealed: ") ? 5 : 3;
            const QList<AccessLog::Entry> all = AccessLog::entries(p.conn());
            p.conn().executeNative(QStringLiteral("UPDATE HMEROLOGIO_PROSVASEWN SET HASH=? WHERE AA=?"),
                                   {AccessLog::chainHash(all[at - 2].hash, all[at - 1]), at});
        }
        const AccessLog::Verdict v = AccessLog::verify(p.conn());
        QCOMPARE(v.firstBad, firstBad);
        QCOMPARE(v.reason.isEmpty(), firstBad == 0);
        if (firstBad == 0)
            QCOMPARE(v.count, qint64(5));
    }

    // Two workstations appending at once: every entry in, one chain.
    void twoWorkstationsAppendOneChain()
    {
        TempPractice p;
        p.conn();
        constexpr int each = 20;
        QStringList failures;
        QMutex failuresLock;
        auto writer = [&] {
            try {
                DbConnection c;
                c.setConnectionString(p.conn().connectionString());
                c.open();
                fill(c, each);
            } catch (const DbError &e) {
                QMutexLocker lock(&failuresLock);
                failures << e.message();
            }
        };
        QThread *a = QThread::create(writer), *b = QThread::create(writer);
        a->start();
        b->start();
        QVERIFY(a->wait(QDeadlineTimer(600000)));
        QVERIFY(b->wait(QDeadlineTimer(600000)));
        delete a;
        delete b;
        QCOMPARE(failures, QStringList());
        const AccessLog::Verdict v = AccessLog::verify(p.conn());
        QCOMPARE(v.firstBad, qint64(0));
        QCOMPARE(v.count, qint64(2 * each));
        const QList<AccessLog::Entry> all = AccessLog::entries(p.conn());
        QCOMPARE(all.first().user, QStringLiteral("Μαρία"));
        QCOMPARE(all.first().action, QStringLiteral("OPEN"));
    }
    // While the file takes no writes the entries wait, in their order, and
    // go in with the next one once it does; reading is never held up.
    void entriesWaitWhileTheFileTakesNoWrites()
    {
        TempPractice p;
        if (p.conn().onServer())
            QSKIP("only the file's writes are held back");
        const QString file = p.conn().fileName();
        WriteGate::refuse(file, QStringLiteral("δοκιμή"));
        AccessLog::recordReading(p.conn(), AccessLog::Action::Open, 1, QStringLiteral("Καρτέλα πελάτη"));
        AccessLog::record(p.conn(), AccessLog::Action::Print, 2);
        QCOMPARE(AccessLog::pending(), 2);
        QCOMPARE(AccessLog::entries(p.conn()).size(), 0);
        WriteGate::open(file);
        AccessLog::record(p.conn(), AccessLog::Action::Change, 3);
        QCOMPARE(AccessLog::pending(), 0);
        // As the program ends, what waited goes in without a next entry.
        WriteGate::refuse(file, QStringLiteral("δοκιμή"));
        AccessLog::recordReading(p.conn(), AccessLog::Action::Open, 4, QStringLiteral("Ιστορικό"));
        QCOMPARE(AccessLog::writeWaiting(), 1);   // the file still takes none
        WriteGate::open(file);
        QCOMPARE(AccessLog::writeWaiting(), 0);
        QList<qint64> customers;
        for (const AccessLog::Entry &e : AccessLog::entries(p.conn()))
            customers << e.customerId;
        QCOMPARE(customers, (QList<qint64>{1, 2, 3, 4}));
        QVERIFY(AccessLog::verify(p.conn()).holds());
    }
    // Each change to a customer's plan and to the appointment book writes one
    // Change entry, naming the customer where the rows do.
    void eachChangeWritesOneEntry_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("namesCustomer");
        QTest::addColumn<QString>("detail");
        QTest::newRow("plan item added") << "add" << true << "Σχέδιο θεραπείας";
        QTest::newRow("plan item changed") << "change" << true << "Σχέδιο θεραπείας";
        QTest::newRow("plan item done") << "done" << true << "Σχέδιο θεραπείας";
        QTest::newRow("appointment booked") << "book" << false << "Ραντεβού 05/03/2008";
    }
    void eachChangeWritesOneEntry()
    {
        QFETCH(QString, change);
        QFETCH(bool, namesCustomer);
        QFETCH(QString, detail);
        TempPractice p;
        p.conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Άννα','Αντωνίου')"));
        const CustomerRef customer = CustomerRef::require(p.conn().scalarNative(QStringLiteral("SELECT max(ID) FROM STOIXEIA_PELATH")).toString());
        const qint64 work = Plans::addWork(p.conn(), {.code = QStringLiteral("KA01"), .description = QStringLiteral("Καθαρισμός"), .cents = 4000});
        const qint64 item = change == QLatin1String("add") ? 0 : Plans::addItem(p.conn(), customer, {.work = work, .cents = -1});
        const QDate day(2008, 3, 5);
        Appointments::makeDay(p.conn(), day);
        DataSet sheet(&p.conn());
        Appointments::openDay(sheet, day);
        const qsizetype before = AccessLog::entries(p.conn()).size();
        if (change == QLatin1String("add")) {
            Plans::addItem(p.conn(), customer, {.work = work, .cents = -1});
        } else if (change == QLatin1String("change")) {
            Plans::Item i = Plans::items(p.conn(), customer).first();
            i.cents = 3500;
            Plans::changeItem(p.conn(), i);
        } else if (change == QLatin1String("done")) {
            Plans::setState(p.conn(), item, Plans::State::Done, day);
        } else {
            sheet.edit();
            sheet.setFieldValue(Schema::slotColumns().first(), QStringLiteral("Αντωνίου"));
            sheet.post();
        }
        const QList<AccessLog::Entry> after = AccessLog::entries(p.conn());
        QCOMPARE(after.size(), before + 1);
        QCOMPARE(after.last().action, AccessLog::code(AccessLog::Action::Change));
        QCOMPARE(after.last().customerId, namesCustomer ? customer.value() : 0);
        QCOMPARE(after.last().detail, detail);
    }

    // A window's entry is written from the event loop after it shows: once,
    // in its place among the entries written at once around it.
    void anOpeningsEntryGoesInFromTheEventLoopInOrder()
    {
        TempPractice p;
        AccessLog::recordLater(p.conn(), AccessLog::Action::Open, 1, QStringLiteral("Καρτέλα πελάτη"));
        AccessLog::recordLater(p.conn(), AccessLog::Action::Print, 2, QStringLiteral("Ιστορικό"));
        QCOMPARE(AccessLog::entries(p.conn()).size(), 0);
        AccessLog::record(p.conn(), AccessLog::Action::Change, 3);
        AccessLog::recordLater(p.conn(), AccessLog::Action::Open, 4, QStringLiteral("Ιστορικό"));
        QCOMPARE(AccessLog::pending(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(AccessLog::pending(), 0, 30000);
        QCoreApplication::processEvents();   // a second queued write would find nothing left
        QList<qint64> customers;
        for (const AccessLog::Entry &e : AccessLog::entries(p.conn()))
            customers << e.customerId;
        QCOMPARE(customers, (QList<qint64>{1, 2, 3, 4}));
        QVERIFY(AccessLog::verify(p.conn()).holds());
    }

    // The queued write goes through the window's connection while it is
    // still open; a window closed or gone first leaves its entry to a
    // connection of the write's own.
    void anOpeningsEntryOutlivesItsWindowsConnection_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("open") << QStringLiteral("open");
        QTest::newRow("closed") << QStringLiteral("closed");
        QTest::newRow("gone") << QStringLiteral("gone");
    }
    void anOpeningsEntryOutlivesItsWindowsConnection()
    {
        QFETCH(QString, window);
        TempPractice p;
        auto conn = std::make_unique<DbConnection>();
        conn->prepare();
        AccessLog::recordLater(*conn, AccessLog::Action::Open, 7, QStringLiteral("Καρτέλα πελάτη"));
        if (window == QLatin1String("closed"))
            conn->close();
        else if (window == QLatin1String("gone"))
            conn.reset();
        QTRY_COMPARE_WITH_TIMEOUT(AccessLog::pending(), 0, 30000);
        const QList<AccessLog::Entry> entries = AccessLog::entries(p.conn());
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().customerId, 7);
        QVERIFY(AccessLog::verify(p.conn()).holds());
    }
};

MOLARIX_TEST(AccessLogTest)
#include "test_accesslog.moc"
