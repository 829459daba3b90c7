// A process issuing and cancelling receipts is killed (SIGKILL) at random
// points; afterwards the file must be whole and every receipt, its taking
// and the counter all there or all missing, and the plan item a receipt
// bills linked to it or the receipt missing too.
//
// The worker is this same test program, started with MOLARIX_CRASH_DIR set:
//   test_receipts CrashSafetyTest workUntilKilled
// MOLARIX_KILLS sets the number of kills (50 by default; see
// tests/crashkill.sh for long runs).
#include "data/practice/appstate.h"
#include "data/practice/check.h"
#include "data/db/connection.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include "data/work/plans.h"
#include "receipts/issuedreceipts.h"
#include "receipts/issuereceipt.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <cstdio>

namespace {

const char *const WorkerDirVariable = "MOLARIX_CRASH_DIR";

int killCount()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("MOLARIX_KILLS", &ok);
    return ok && n > 0 ? n : 50;
}

// Receipts, takings and counter as the check's rules see them.
QStringList brokenRules(DbConnection &conn)
{
    QStringList broken;
    const Check::Report report = Check::run(conn, 5);
    for (const Check::Finding &f : report.findings)
        if (!f.reportOnly && !f.rows.isEmpty())
            broken << f.name + QStringLiteral(": ") + f.rows.join(QStringLiteral(" | "));
    // A receipt for plan work is issued with its item linked, never without.
    const qint64 unlinked = conn.scalarNative(QStringLiteral("SELECT count(*) FROM APODEIKSEIS a WHERE a.EGKYRH<>0 AND a.PERIGRAFH LIKE 'Έμφραξη (%'"
                                                             " AND (SELECT count(*) FROM SXEDIO_THERAPEIAS s WHERE s.AR_APODEIKSHS = a.AR_APODEIKSHS) <> 1"))
                                .toLongLong();
    if (unlinked)
        broken << QStringLiteral("receipts for plan work without their item: %1").arg(unlinked);
    return broken;
}

}   // namespace

class CrashSafetyTest : public QObject {
    Q_OBJECT

private slots:
    // The worker side: issues and cancels receipts through the windows'
    // own units of work until it is killed.
    void workUntilKilled()
    {
        const QString dir = qEnvironmentVariable(WorkerDirVariable);
        if (dir.isEmpty())
            QSKIP("runs only as the worker of killAtRandomPoints");
        // The worker is a run of its own: the practice's password first.
        if (PracticeFile::unlock(dir + QStringLiteral("/data.mdb"), QString::fromLatin1(Schema::FirstPassword)).access
            != PracticeFile::Access::Granted)
            QFAIL("the practice's password does not open the file");
        DbConnection conn;
        conn.setConnectionString(BuildConnectionString(dir));
        conn.setCommandTimeout(0);
        conn.open();
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        QRandomGenerator rng(quint32(QCoreApplication::applicationPid()));
        // Bounded, so a worker whose parent died does not run for ever.
        for (int round = 0; round < 200000; ++round) {
            TForm56::Entry e;
            e.number = QString::number(conn.scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toLongLong());
            e.customerId = QStringLiteral("1");
            e.amount = 5 + rng.bounded(20000) / 100.0;
            e.firstName = QStringLiteral("Ελένη");
            e.surname = QStringLiteral("Ο'Νιλ");
            e.description = QStringLiteral("Καθαρισμός");
            e.fund = QStringLiteral("ΓΕΣΥ");
            // Every other receipt bills a plan item done just now.
            if (rng.bounded(2) == 0) {
                const qint64 item = Plans::addItem(conn, CustomerRef::require(e.customerId), {.work = 1, .tooth = 16, .cents = 4500});
                Plans::setState(conn, item, Plans::State::Done);
                e.amount = 45;
                e.description = Plans::billDescription({Plans::Item{.description = QStringLiteral("Έμφραξη"), .tooth = 16}});
                e.planItems = {item};
            }
            TForm56::StoreReceipt(conn, e);
            if (rng.bounded(2) == 0) {
                const QVariant valid = conn.scalarNative(QStringLiteral(
                    "SELECT AR_APODEIKSHS FROM APODEIKSEIS WHERE EGKYRH<>0 ORDER BY random() LIMIT 1"));
                if (valid.isValid())
                    TForm71::CancelReceipt(conn, QString::number(valid.toLongLong()));
            }
        }
    }

    void killAtRandomPoints()
    {
        if (!qEnvironmentVariableIsEmpty(WorkerDirVariable))
            QSKIP("this is the worker");
        TempPractice p;
        p.conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Ελένη','Ο''Νιλ')"));
        p.conn().executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(1)"));
        p.conn().executeNative(QStringLiteral("INSERT INTO TIMOKATALOGOS(KWDIKOS,PERIGRAFH,TIMH_LEPTA) VALUES('EM01','Έμφραξη',4500)"));
        p.conn().close();
        const QString journal = p.path() + QStringLiteral("/data.mdb-journal");

        const int kills = killCount();
        int interrupted = 0;   // kills that left a journal to roll back
        int partial = 0;
        QStringList firstProblems;
        QRandomGenerator rng(20261209);
        // The kills must fall on real work: units cut short, and units
        // finished between the kills. A loaded machine gets the worker less
        // far in the same time, so more kills are made until both happened.
        qlonglong stored = 0;
        int k = 0;
        for (; k < kills || ((interrupted == 0 || stored == 0) && k < kills * 10); ++k) {
            QProcess worker;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(WorkerDirVariable), p.path());
            worker.setProcessEnvironment(env);
            worker.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("CrashSafetyTest"), QStringLiteral("workUntilKilled")});
            QVERIFY2(worker.waitForStarted(120000), "the worker did not start");
            while (!worker.readAllStandardOutput().contains("ready")) {
                if (!worker.waitForReadyRead(120000))
                    QFAIL(qPrintable(QStringLiteral("the worker did not come up: ")
                                     + QString::fromUtf8(worker.readAllStandardError())));
            }
            QThread::usleep(rng.bounded(1000, 120000));
            worker.kill();   // SIGKILL
            QVERIFY(worker.waitForFinished(120000));
            QCOMPARE(worker.exitStatus(), QProcess::CrashExit);

            if (QFileInfo(journal).size() > 0)
                ++interrupted;
            DbConnection conn;
            conn.setConnectionString(BuildConnectionString(p.path()));
            conn.open();   // rolls back what the killed worker left unfinished
            stored = conn.scalarNative(QStringLiteral("SELECT count(*) FROM APODEIKSEIS")).toLongLong();
            const QStringList broken = brokenRules(conn);
            if (!broken.isEmpty()) {
                ++partial;
                if (firstProblems.size() < 5)
                    firstProblems << QStringLiteral("kill %1: %2").arg(k).arg(broken.join(QStringLiteral("; ")));
            }
        }

        DbConnection conn;
        conn.setConnectionString(BuildConnectionString(p.path()));
        conn.open();
        const qlonglong receipts = conn.scalarNative(QStringLiteral("SELECT count(*) FROM APODEIKSEIS")).toLongLong();
        const qlonglong cancelled = conn.scalarNative(QStringLiteral("SELECT count(*) FROM APODEIKSEIS WHERE EGKYRH=0")).toLongLong();
        std::printf("kills: %d, left a journal to roll back: %d, partial units found: %d; "
                    "receipts stored: %lld (%lld cancelled)\n",
                    k, interrupted, partial, receipts, cancelled);
        QVERIFY2(firstProblems.isEmpty(), qPrintable(firstProblems.join(QLatin1Char('\n'))));
        QCOMPARE(partial, 0);
        QVERIFY(interrupted > 0);
        QVERIFY(receipts > 0);
        QCOMPARE(conn.scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toLongLong(), receipts + 1);
    }
};

MOLARIX_TEST(CrashSafetyTest)
#include "test_crashsafety.moc"
