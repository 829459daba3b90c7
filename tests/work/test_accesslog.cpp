// The access log's chain on the practice's engine: what another tool does
// to its rows is found at the right position, and two workstations
// appending at once never fork it.
#include "data/db/connection.h"
#include "data/db/writegate.h"
#include "data/work/accesslog.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>
#include <QMutex>
#include <QThread>

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
    }
    void tamperingIsFoundAtItsPosition()
    {
        QFETCH(QStringList, statements);
        QFETCH(qint64, firstBad);
        TempPractice p;
        fill(p.conn(), 5);
        for (const QString &s : statements)
            p.conn().executeNative(s);
        if (QByteArray(QTest::currentDataTag()) == "hash made again") {
            // Whoever knows the layout may make an entry's hash agree again:
            // the next entry still names the old one.
            const QList<AccessLog::Entry> all = AccessLog::entries(p.conn());
            p.conn().executeNative(QStringLiteral("UPDATE HMEROLOGIO_PROSVASEWN SET HASH=? WHERE AA=3"), {AccessLog::chainHash(all[1].hash, all[2])});
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
        QList<qint64> customers;
        for (const AccessLog::Entry &e : AccessLog::entries(p.conn()))
            customers << e.customerId;
        QCOMPARE(customers, (QList<qint64>{1, 2, 3}));
        QVERIFY(AccessLog::verify(p.conn()).holds());
    }
};

MOLARIX_TEST(AccessLogTest)
#include "test_accesslog.moc"
