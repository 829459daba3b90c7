// Writes held back while the practice file's check runs: they wait while
// it is held, go ahead once it passed and are refused on a damaged file,
// while reading and the restore of a backup still work.
#include "data/practice/backup.h"
#include "data/db/connection.h"
#include "data/db/writegate.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>

namespace {

QString dataFile(const TempPractice &p) { return p.path() + QStringLiteral("/data.mdb"); }

qlonglong notes(DbConnection &c) { return c.scalarNative(QStringLiteral("SELECT count(*) FROM SHMEIWSEIS")).toLongLong(); }

void addNote(DbConnection &c) { c.executeNative(QStringLiteral("INSERT INTO SHMEIWSEIS(TITLOS) VALUES('Σημείωση')")); }

// Released when a write starts to wait, as the windows are told to show it.
QSemaphore g_waiting;
void tellWaiting() { g_waiting.release(); }

}   // namespace

class WriteGateTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempPractice> p;

private slots:
    void init() { p = std::make_unique<TempPractice>(); }
    void cleanup()
    {
        WriteGate::open(dataFile(*p));
        WriteGate::setWaitLimitMs(30000);
        DbConnection::setBusyNotifier(nullptr);
        p.reset();
    }

    void aHeldWriteWaitsForThePassedCheck()
    {
        WriteGate::hold(dataFile(*p));
        QCOMPARE(WriteGate::state(dataFile(*p)), WriteGate::State::Held);
        g_waiting.acquire(g_waiting.available());
        DbConnection::setBusyNotifier(&tellWaiting);
        std::atomic<bool> done{false};
        QString failure;
        QThread *writer = QThread::create([&] {
            try {
                auto c = openPracticeDir(p->path());
                addNote(*c);
            } catch (const DbError &e) {
                failure = e.message();
            }
            done = true;
        });
        writer->start();
        QTRY_VERIFY_WITH_TIMEOUT(done || g_waiting.available() > 0, 120000);
        // Still waiting: nothing reached the file, and reading goes on.
        QVERIFY(!done);
        QCOMPARE(notes(p->conn()), 0);

        WriteGate::open(dataFile(*p));
        QVERIFY(writer->wait(10000));
        delete writer;
        QCOMPARE(failure, QString());
        QCOMPARE(notes(p->conn()), 1);
        QCOMPARE(WriteGate::state(dataFile(*p)), WriteGate::State::Open);
    }

    void aDamagedFileTakesNoWrite()
    {
        addNote(p->conn());
        p->conn().close();
        const QByteArray before = fileBytes(dataFile(*p));
        // The same file named another way is the same file.
        WriteGate::refuse(p->path() + QStringLiteral("/./data.mdb"), QStringLiteral("Το αρχείο είναι κατεστραμμένο."));

        auto c = openPracticeDir(p->path());
        for (const QString &sql : {QStringLiteral("INSERT INTO SHMEIWSEIS(TITLOS) VALUES('x')"),
                                   QStringLiteral("UPDATE SHMEIWSEIS SET TITLOS='y'"),
                                   QStringLiteral("DELETE FROM SHMEIWSEIS")}) {
            try {
                DbTransaction t(*c);
                c->executeNative(sql);
                t.commit();
                QFAIL(qPrintable(QStringLiteral("written: ") + sql));
            } catch (const DbError &e) {
                QCOMPARE(e.message(), QStringLiteral("Το αρχείο είναι κατεστραμμένο."));
                QVERIFY(e.cause() != DbError::Cause::None);
            }
        }
        QCOMPARE(notes(*c), 1);
        c->close();
        QCOMPARE(fileBytes(dataFile(*p)), before);

        // Another practice's file is not held back.
        TempPractice other;
        addNote(other.conn());
        QCOMPARE(notes(other.conn()), 1);

        WriteGate::open(dataFile(*p));
        c = openPracticeDir(p->path());
        addNote(*c);
        QCOMPARE(notes(*c), 2);
    }

    void aWaitTooLongGivesUpWritingNothing()
    {
        WriteGate::setWaitLimitMs(50);
        WriteGate::hold(dataFile(*p));
        QVERIFY_THROWS_EXCEPTION(DbError, addNote(p->conn()));
        try {
            addNote(p->conn());
        } catch (const DbError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("δεν έχει τελειώσει")), qPrintable(e.message()));
            QCOMPARE(e.cause(), DbError::Cause::InUse);
        }
        QCOMPARE(WriteGate::state(dataFile(*p)), WriteGate::State::Held);
        WriteGate::open(dataFile(*p));
        QCOMPARE(notes(p->conn()), 0);
    }

    // The repair of a damaged file is the one write it takes.
    void aBackupCanBeRestoredOverARefusedFile()
    {
        addNote(p->conn());
        QTemporaryDir elsewhere;
        const QString copy = elsewhere.path() + QStringLiteral("/copy.mdb");
        Backup::makeVerified(p->conn(), copy);
        addNote(p->conn());
        const ConnectionInfo credentials = p->conn().credentials();
        p->conn().close();

        WriteGate::refuse(dataFile(*p), QStringLiteral("κατεστραμμένο"));
        const QString kept = Backup::restore(credentials, copy);
        QVERIFY(QFile::exists(kept));
        WriteGate::open(dataFile(*p));
        auto c = openPracticeDir(p->path());
        QCOMPARE(notes(*c), 1);
    }
};

MOLARIX_TEST(WriteGateTest)
#include "test_writegate.moc"
