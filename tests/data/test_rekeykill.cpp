#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/practice/practicefile.h"
#include "data/db/practicekey.h"
#include "data/practice/session.h"
#include "data/practice/schema.h"
#include "tests/common/testmain.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>

namespace {
const QString Tool = QStringLiteral(MOLARIX_BINARY_DIR "/molarix-db");
const QString OldPassword = QStringLiteral("Παλιός1");
const QString NewPassword = QStringLiteral("Καινούργιος2");

// Which of the two passwords opens the file now (0 none, 1 old, 2 new, 3 both),
// and whether SQLite finds the file whole.
struct After {
    int opens = 0;
    QString integrity;
    QString stored;
};

After inspect(const QString &dir)
{
    const QString file = QDir(dir).filePath(QStringLiteral("data.mdb"));
    After a;
    for (int i = 0; i < 2; ++i) {
        const QString pw = i == 0 ? OldPassword : NewPassword;
        Session::current().signOut();
        if (PracticeFile::unlock(file, pw).access != PracticeFile::Access::Granted)
            continue;
        a.opens |= 1 << i;
        DbConnection c;
        c.setConnectionString(BuildConnectionString(dir));
        c.open();
        a.integrity = c.scalarNative(QStringLiteral("PRAGMA integrity_check")).toString();
        a.stored = c.scalarNative(QStringLiteral("SELECT * FROM SECURITY")).toString();
    }
    Session::current().signOut();
    return a;
}

bool copyFile(const QString &from, const QString &to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}
}

// The password change killed at any moment of the rekey of a large file:
// the file always opens with exactly one of the two passwords, whole.
class RekeyKillTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_pristine;

    void startChange(QProcess &p, const QString &dir)
    {
        p.start(Tool, {QStringLiteral("passwd"), dir, QStringLiteral("--password"), OldPassword, QStringLiteral("--new-password"), NewPassword});
        QVERIFY(p.waitForStarted());
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(Tool), "molarix-db must be built before these tests");
        Schema::createDatabase(m_dir.path(), OldPassword);
        const QString file = m_dir.filePath(QStringLiteral("data.mdb"));
        QCOMPARE(PracticeFile::unlock(file, OldPassword).access, PracticeFile::Access::Granted);
        DbConnection c;
        c.setConnectionString(BuildConnectionString(m_dir.path()));
        c.open();
        DbTransaction tx(c);
        c.executeNative(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
            "INSERT INTO STOIXEIA_PELATH (ONOMA, EPWNYMO, HMEROMHNIA_GENNHSEWS, DIEYTHYNSH, THLEFWNO_1, ISTORIKO) "
            "SELECT 'Όνομα' || i, 'Επώνυμο' || (i * 7919 % 100003), date('1940-01-01', '+' || (i % 25000) || ' days'), "
            "'Οδός Αθηνάς ' || i, '210' || (1000000 + i), 'Ιστορικό του πελάτη ' || i FROM n"));
        tx.commit();
        QCOMPARE(c.scalarNative(QStringLiteral("SELECT count(*) FROM STOIXEIA_PELATH")).toInt(), 100000);
        c.close();
        Session::current().signOut();
        m_pristine = m_dir.filePath(QStringLiteral("pristine.mdb"));
        QVERIFY(copyFile(file, m_pristine));
    }

    void killedChangeLeavesExactlyOnePassword()
    {
        QTemporaryDir work;
        const QString file = work.filePath(QStringLiteral("data.mdb"));
        const QString journal = file + QStringLiteral("-journal");

        // One change left to finish: how long the rewrite of the pages takes.
        QVERIFY(copyFile(m_pristine, file));
        QProcess whole;
        startChange(whole, work.path());
        QElapsedTimer t;
        while (!whole.waitForFinished(2)) {
            if (!t.isValid() && QFileInfo::exists(journal))
                t.start();
        }
        qint64 rewriteMs = t.isValid() ? std::max<qint64>(t.elapsed(), 20) : 200;
        QCOMPARE(whole.exitCode(), 0);
        After done = inspect(work.path());
        QCOMPARE(done.opens, 2);
        QCOMPARE(done.integrity, QStringLiteral("ok"));
        QCOMPARE(done.stored, NewPassword);

        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        int interrupted = 0, withOld = 0, withNew = 0;
        const int runs = qEnvironmentVariableIntValue("MOLARIX_REKEY_KILLS") > 0
            ? qEnvironmentVariableIntValue("MOLARIX_REKEY_KILLS")
            : 20;
        // Most kills must really hit the rewrite, or this proves nothing. The
        // rewrite's pace changes with the machine's load: a kill that came
        // too late shortens the next delays, and more runs are made until
        // enough kills hit.
        const int wanted = (runs + 1) / 2;
        int run = 0;
        for (; run < runs || (interrupted < wanted && run < runs * 10); ++run) {
            QVERIFY(copyFile(m_pristine, file));
            QFile::remove(journal);
            QProcess p;
            startChange(p, work.path());
            // Wait for the rewrite to begin, then kill it somewhere inside.
            while (!QFileInfo::exists(journal) && p.state() == QProcess::Running)
                QThread::usleep(500);
            QThread::usleep(1000 * random.bounded(int(rewriteMs) + 1));
            const bool stillRunning = p.state() == QProcess::Running;
            ::kill(pid_t(p.processId()), SIGKILL);
            p.waitForFinished();
            if (stillRunning && QFileInfo::exists(journal))
                ++interrupted;
            else
                rewriteMs = std::max<qint64>(rewriteMs * 2 / 3, 1);

            const After a = inspect(work.path());
            const QString where = QStringLiteral("run %1 (seed %2)").arg(run).arg(seed);
            QVERIFY2(a.opens == 1 || a.opens == 2, qPrintable(where + QStringLiteral(": opens %1").arg(a.opens)));
            QVERIFY2(a.integrity == QLatin1String("ok"), qPrintable(where + QLatin1String(": ") + a.integrity));
            QCOMPARE(a.stored, a.opens == 1 ? OldPassword : NewPassword);
            (a.opens == 1 ? withOld : withNew)++;
        }
        qInfo("%d kills, %d inside the rewrite: %d left the old password, %d the new one (delays up to %lld ms)", run,
              interrupted, withOld, withNew, rewriteMs);
        QVERIFY2(interrupted >= wanted, qPrintable(QStringLiteral("only %1 of %2 kills hit the rewrite").arg(interrupted).arg(run)));
    }
};

MOLARIX_TEST(RekeyKillTest)
#include "test_rekeykill.moc"
