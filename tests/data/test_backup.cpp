// Backups, restore, rotation, the practice check and the tool's commands
// around them, run on real encrypted files and through the built tool.
#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/practice/check.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/import/jetimport.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include "data/practice/schemaversion.h"
#include "tests/common/testmain.h"
#include "tests/common/testserver.h"
#include "tests/common/testutil.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>

namespace {

using Run = ToolRun;

qlonglong number(DbConnection &c, const QString &sql) { return c.scalarNative(sql).toLongLong(); }

// A practice of `customers` customers, each with two valid receipts and
// their takings, and the counter one past the last number.
void fill(DbConnection &c, int customers)
{
    DbTransaction tx(c);
    c.executeNative(QStringLiteral(
                        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<?)"
                        " INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,THLEFWNO_1) SELECT 'Όνομα'||i,'Επώνυμο'||i,'99'||i FROM n"),
                    {customers});
    c.executeNative(QStringLiteral(
                        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<?)"
                        " INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,ONOMA,EPWNYMO,POSO,POSO_CY,PERIGRAFH)"
                        " SELECT i,'2026-01-01','Όνομα','Επώνυμο',(i%90)+10,((i%90)+10)*0.585274,'Θεραπεία' FROM n"),
                    {customers * 2});
    c.executeNative(QStringLiteral(
        "INSERT INTO EISPRAKSH_PELATH(ID,HMEROMHNIA,POSO,POSO_CY,PERIGRAFH,AR_APODEIKSHS)"
        " SELECT (AR_APODEIKSHS+1)/2,HMEROMHNIA,POSO,POSO_CY,PERIGRAFH,AR_APODEIKSHS FROM APODEIKSEIS"));
    c.executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(?)"), {customers * 2 + 1});
    tx.commit();
}

// On the test server when the practices go there.
QTemporaryDir *newPractice(int customers)
{
    auto *dir = new QTemporaryDir;
    if (TestServer::practicesOnServer()) {
        QFile conf(dir->filePath(QStringLiteral("server.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(TestServer::serverConf(TestServer::newPracticeDatabase()).toUtf8());
    } else {
        Schema::createDatabase(dir->path(), QString::fromLatin1(Schema::FirstPassword));
    }
    fill(*openPracticeDir(dir->path(), QString::fromLatin1(Schema::FirstPassword)), customers);
    return dir;
}

// A long note, written last: the file ends in its overflow pages, which
// only a full integrity check reads (a row count does not).
void addLongNote(DbConnection &c)
{
    c.executeNative(QStringLiteral("INSERT INTO SHMEIWSEIS(TITLOS,PERIGRAFH) VALUES(?,?)"),
                    {QStringLiteral("Ιστορικό"), QString(150000, QChar(0x03B1))});
}

// Overwrites part of the tenth page from the end.
void damageLatePage(const QString &path, qint64 pageSize)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.size() > 40 * pageSize);
    f.seek(f.size() - 10 * pageSize + 100);
    f.write(QByteArray(300, '\x5a'));
}

}   // namespace

class BackupTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        Clock::reset();
        Backup::setBeforeVerifyHook({});
    }

    void everyConnectionSealsCommitsWithASyncedJournal()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(1));
        auto c = openPracticeDir(dir->path());
        QCOMPARE(c->scalarNative(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("truncate"));
        QCOMPARE(c->scalarNative(QStringLiteral("PRAGMA synchronous")).toInt(), 2);   // FULL
    }

    // The copy is taken while another connection keeps committing: it is of
    // one moment, verified, keyed as the original and opens as a practice.
    void backupWhileAnotherConnectionWrites()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(20000));
        std::atomic<bool> stop{false};
        std::atomic<int> written{0};
        std::atomic<bool> sourceOpen{false};
        QThread *writer = QThread::create([&] {
            auto c = openPracticeDir(dir->path());
            c->setCommandTimeout(0);
            while (!stop) {
                // A writer in a tight loop can keep a loaded machine's
                // opening of the source waiting for ever: the writes go on
                // once it is open, during the backup.
                if (written >= 20 && !sourceOpen) {
                    QThread::msleep(1);
                    continue;
                }
                c->executeNative(QStringLiteral("INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT,PERIGRAFH) VALUES('2026-02-01',10,1.9,'Υλικά')"));
                ++written;
            }
        });
        writer->start();
        while (written < 20)
            QThread::msleep(5);

        auto source = openPracticeDir(dir->path());
        sourceOpen = true;
        const QString dest = dir->path() + QStringLiteral("/copy/data.mdb");
        const Backup::TableCounts counts = Backup::makeVerified(*source, dest);
        const int writtenAfter = written;
        stop = true;
        writer->wait();
        delete writer;

        QVERIFY(counts.value(QStringLiteral("EKSODA")) > 0);
        QVERIFY(counts.value(QStringLiteral("EKSODA")) <= writtenAfter);
        QCOMPARE(counts.value(QStringLiteral("STOIXEIA_PELATH")), 20000);
        QCOMPARE(counts.size(), Schema::tableNames().size() + SchemaVersion::addedTables().size());
        QVERIFY(!QFile::exists(dest + QStringLiteral(".part")));
        // Encrypted: no plain SQLite header, and the practice's key opens it.
        QVERIFY(!fileBytes(dest).startsWith("SQLite format 3"));
        auto copy = openPracticeDir(dir->path() + QStringLiteral("/copy"));
        QCOMPARE(number(*copy, QStringLiteral("SELECT count(*) FROM EKSODA")), counts.value(QStringLiteral("EKSODA")));
        QCOMPARE(number(*copy, QStringLiteral("SELECT count(*) FROM APODEIKSEIS")), 40000);
    }

    // Rows another connection committed into a write-ahead log, not yet in
    // the file itself, are in the copy too.
    void aLoggedSourceIsCopiedWithItsLog()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(100));
        auto source = openPracticeDir(dir->path());
        QCOMPARE(source->scalarNative(QStringLiteral("PRAGMA journal_mode=WAL")).toString(), QStringLiteral("wal"));
        source->executeNative(QStringLiteral("PRAGMA wal_autocheckpoint=0"));
        source->executeNative(QStringLiteral("INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT,PERIGRAFH) VALUES('2026-02-01',10,1.9,'Υλικά')"));
        const QString dest = dir->path() + QStringLiteral("/copy/data.mdb");
        QCOMPARE(Backup::makeVerified(*source, dest).value(QStringLiteral("EKSODA")), 1);
        QCOMPARE(Backup::verifyFile(dest, source->credentials()).value(QStringLiteral("EKSODA")), 1);
    }

    void toolBackupNamesRefusesAndRemovesFailedCopies()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(300));
        Run r = runTool({QStringLiteral("backup"), dir->path()});
        QCOMPARE(r.code, 0);
        const QStringList made = QDir(Backup::folder(dir->path())).entryList(QDir::Files);
        QCOMPARE(made.size(), 1);
        QVERIFY2(Backup::timeOfName(made.first()).isValid(), qPrintable(made.first()));
        QVERIFY(r.out.contains(made.first()));
        QVERIFY(r.out.contains(QStringLiteral("integrity_check ok")));

        const QString dest = dir->path() + QStringLiteral("/usb/practice.mdb");
        QCOMPARE(runTool({QStringLiteral("backup"), dir->path(), dest}).code, 0);
        QVERIFY(QFile::exists(dest));
        // An existing file is never overwritten.
        const QByteArray before = fileBytes(dest);
        r = runTool({QStringLiteral("backup"), dir->path(), dest});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QStringLiteral("υπάρχει ήδη")));
        QCOMPARE(fileBytes(dest), before);

        // A damaged source gives a damaged copy: it is removed and the
        // command fails with the reason.
        const QString live = dir->path() + QStringLiteral("/data.mdb");
        {
            QFile f(live);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.size() > 40 * 4096);
            f.seek(30 * 4096 + 100);
            f.write(QByteArray(500, '\x5a'));
        }
        const QString bad = dir->path() + QStringLiteral("/usb/bad.mdb");
        r = runTool({QStringLiteral("backup"), dir->path(), bad});
        QCOMPARE(r.code, 1);
        QVERIFY(!r.err.isEmpty());
        QVERIFY(!QFile::exists(bad));
        QVERIFY(!QFile::exists(bad + QStringLiteral(".part")));
    }

    // A bad backup is refused and leaves the practice file byte for byte.
    void restoreRefusesBadBackups()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(300));
        const QString live = dir->path() + QStringLiteral("/data.mdb");
        const QString good = dir->path() + QStringLiteral("/good.mdb");
        Backup::makeVerified(*openPracticeDir(dir->path()), good);
        const QByteArray original = fileBytes(live);

        QFile truncated(dir->path() + QStringLiteral("/truncated.mdb"));
        QVERIFY(truncated.open(QIODevice::WriteOnly));
        truncated.write(fileBytes(good).left(int(fileBytes(good).size() / 2)));
        truncated.close();

        QFile plain(dir->path() + QStringLiteral("/plain.mdb"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.write("ΑΦΜ 12345678\nnot a database\n");
        plain.close();

        // Another practice's file: a database, but under another key.
        const QString otherKey = dir->path() + QStringLiteral("/otherkey.mdb");
        {
            QFile(otherKey).open(QIODevice::WriteOnly);
            ConnectionInfo other;
            other.password = QStringLiteral("another key");
            DbConnection c;
            c.createFile(otherKey, other);
            c.executeNative(QStringLiteral("CREATE TABLE SECURITY (PASSWORD TEXT)"));
        }

        for (const QString &bad : {truncated.fileName(), plain.fileName(), otherKey}) {
            const Run r = runTool({QStringLiteral("restore"), dir->path(), bad, QStringLiteral("--yes")});
            QVERIFY2(r.code == 1, qPrintable(bad));
            QVERIFY2(!r.err.isEmpty(), qPrintable(bad));
            QCOMPARE(fileBytes(live), original);
            QCOMPARE(QDir(dir->path()).entryList({QStringLiteral("data.mdb.before-restore-*")}, QDir::Files), QStringList());
        }
    }

    // The password opens such a copy and its rows count as they should: only
    // reading every page finds the damage, both when a copy is made and
    // before one is restored.
    void aCopyDamagedInALatePageIsRefused()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(300));
        auto source = openPracticeDir(dir->path());
        addLongNote(*source);
        const qint64 pageSize = number(*source, QStringLiteral("PRAGMA page_size"));
        const QString live = dir->path() + QStringLiteral("/data.mdb");
        const QString damaged = dir->path() + QStringLiteral("/damaged.mdb");
        Backup::makeVerified(*source, damaged);
        damageLatePage(damaged, pageSize);
        const QByteArray original = fileBytes(live);
        QVERIFY_THROWS_EXCEPTION(DbError, Backup::restore(source->credentials(), damaged));
        QCOMPARE(fileBytes(live), original);
        QCOMPARE(QDir(dir->path()).entryList({QStringLiteral("data.mdb.before-restore-*")}, QDir::Files), QStringList());

        // Damaged after it is written, before it is verified.
        Backup::setBeforeVerifyHook([&](const QString &part) { damageLatePage(part, pageSize); });
        const QString dest = dir->path() + QStringLiteral("/copy/data.mdb");
        QVERIFY_THROWS_EXCEPTION(DbError, Backup::makeVerified(*source, dest));
        QVERIFY(!QFile::exists(dest));
        QVERIFY(!QFile::exists(dest + QStringLiteral(".part")));
    }

    // A copy whose index no longer agrees with its table is refused, with
    // the index named: rows the index misses or holds too many, a changed
    // key, entries out of the index's order, a repeat in a unique index,
    // and an index of a kind only integrity_check reads (partial). Each
    // step runs on a connection of its own, the schema writable: an index
    // moved to another table is not kept up by the rows changed meanwhile.
    void aCopyWhoseIndexDisagreesWithItsTableIsRefused_data()
    {
        QTest::addColumn<QList<QStringList>>("steps");
        QTest::addColumn<QString>("index");
        const QString surnames = QStringLiteral("IX_PELATH_EPWNYMO");
        // Moved after the table it is moved to: the schema is read in row order.
        const QString moveAway = QStringLiteral("UPDATE sqlite_master SET rowid = (SELECT max(rowid) + 1 FROM sqlite_master), tbl_name = 'APOSPASMENO',"
                                                " sql = replace(sql, 'ON STOIXEIA_PELATH', 'ON APOSPASMENO') WHERE name = '%1'");
        const QString moveBack = QStringLiteral("UPDATE sqlite_master SET tbl_name = 'STOIXEIA_PELATH',"
                                                " sql = replace(sql, 'ON APOSPASMENO', 'ON STOIXEIA_PELATH') WHERE name = '%1'");
        const QStringList detach{QStringLiteral("CREATE TABLE APOSPASMENO (EPWNYMO TEXT COLLATE GREEK, POSO DOUBLE)"), moveAway.arg(surnames)};
        const QStringList attach{moveBack.arg(surnames)};
        const QString first = QStringLiteral(" WHERE ID = (SELECT min(ID) FROM STOIXEIA_PELATH)");
        QTest::newRow("row missing from the index")
            << QList<QStringList>{detach, {QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO) VALUES ('Ζαχαρίου')")}, attach} << surnames;
        QTest::newRow("entry of a deleted row") << QList<QStringList>{detach, {QStringLiteral("DELETE FROM STOIXEIA_PELATH") + first}, attach} << surnames;
        QTest::newRow("changed key")
            << QList<QStringList>{detach, {QStringLiteral("UPDATE STOIXEIA_PELATH SET EPWNYMO = EPWNYMO || 'α'") + first}, attach} << surnames;
        // Greek order puts «άλφα» before «Βήτα», the bytes after.
        QTest::newRow("out of order")
            << QList<QStringList>{{QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO) VALUES ('άλφα'), ('Βήτα')"),
                                   QStringLiteral("UPDATE sqlite_master SET sql = replace(sql, '(EPWNYMO)', '(EPWNYMO COLLATE BINARY)') WHERE name = '%1'").arg(surnames)}}
            << surnames;
        QTest::newRow("repeat in a unique index")
            << QList<QStringList>{{QStringLiteral("CREATE INDEX IX_DIPLO ON APODEIKSEIS (HMEROMHNIA)"),
                                   QStringLiteral("UPDATE sqlite_master SET sql = replace(sql, 'CREATE INDEX', 'CREATE UNIQUE INDEX') WHERE name = 'IX_DIPLO'")}}
            << QStringLiteral("IX_DIPLO");
        QTest::newRow("partial index")
            << QList<QStringList>{{QStringLiteral("CREATE TABLE APOSPASMENO (ONOMA TEXT, ID INTEGER)"),
                                   QStringLiteral("CREATE INDEX IX_MERIKO ON STOIXEIA_PELATH (ONOMA) WHERE ID > 0"), moveAway.arg(QStringLiteral("IX_MERIKO"))},
                                  {QStringLiteral("INSERT INTO STOIXEIA_PELATH (ONOMA) VALUES ('Άννα')")},
                                  {moveBack.arg(QStringLiteral("IX_MERIKO"))}}
            << QStringLiteral("IX_MERIKO");
    }

    void aCopyWhoseIndexDisagreesWithItsTableIsRefused()
    {
        QFETCH(QList<QStringList>, steps);
        QFETCH(QString, index);
        std::unique_ptr<QTemporaryDir> dir(newPractice(30));
        auto source = openPracticeDir(dir->path());
        const QString copy = dir->path() + QStringLiteral("/copy.mdb");
        Backup::makeVerified(*source, copy);
        for (const QStringList &step : steps) {
            DbConnection c;
            c.openFile(copy, source->credentials());
            c.executeNative(QStringLiteral("PRAGMA writable_schema=ON"));
            for (const QString &statement : step)
                c.executeNative(statement);
        }
        try {
            Backup::verifyFile(copy, source->credentials());
            QFAIL("the copy passed");
        } catch (const DbError &e) {
            QVERIFY2(e.message().contains(index), qPrintable(e.message()));
        }
    }

    void restorePutsTheBackupInPlaceAndKeepsTheCurrentFile()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(300));
        const QString live = dir->path() + QStringLiteral("/data.mdb");
        const QString backup = dir->path() + QStringLiteral("/b.mdb");
        Backup::makeVerified(*openPracticeDir(dir->path()), backup);
        {
            auto c = openPracticeDir(dir->path());
            c->executeNative(QStringLiteral("DELETE FROM STOIXEIA_PELATH WHERE ID > 100"));
        }
        const QByteArray changed = fileBytes(live);

        // A connection left open, as a window keeps one, sees the restored data.
        auto idle = openPracticeDir(dir->path());
        const Run r = runTool({QStringLiteral("restore"), dir->path(), backup, QStringLiteral("--yes")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(number(*idle, QStringLiteral("SELECT count(*) FROM STOIXEIA_PELATH")), 300);
        idle.reset();

        const QStringList kept = QDir(dir->path()).entryList({QStringLiteral("data.mdb.before-restore-*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(fileBytes(dir->path() + QLatin1Char('/') + kept.first()), changed);
        QVERIFY(r.out.contains(kept.first()));
        auto c = openPracticeDir(dir->path());
        QCOMPARE(number(*c, QStringLiteral("SELECT count(*) FROM STOIXEIA_PELATH")), 300);
        QCOMPARE(Check::integrity(*c), QStringList{QStringLiteral("ok")});
    }

    void restoreRefusedWhileAnotherConnectionWrites()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(50));
        const QString live = dir->path() + QStringLiteral("/data.mdb");
        const QString backup = dir->path() + QStringLiteral("/b.mdb");
        Backup::makeVerified(*openPracticeDir(dir->path()), backup);

        auto writer = openPracticeDir(dir->path());
        writer->executeNative(QStringLiteral("INSERT INTO EKSODA(POSO) VALUES(12)"));
        // Read before the lock is taken: closing any handle on the file
        // would drop this process's locks on it.
        const QByteArray before = fileBytes(live);
        writer->executeNative(QStringLiteral("BEGIN IMMEDIATE"));
        writer->executeNative(QStringLiteral("DELETE FROM EKSODA"));
        const Run r = runTool({QStringLiteral("restore"), dir->path(), backup, QStringLiteral("--yes")});
        writer->executeNative(QStringLiteral("ROLLBACK"));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("χρησιμοποιείται")), qPrintable(r.err));
        QCOMPARE(fileBytes(live), before);
        QCOMPARE(number(*writer, QStringLiteral("SELECT count(*) FROM EKSODA")), 1);
        QCOMPARE(QDir(dir->path()).entryList({QStringLiteral("data.mdb.before-restore-*")}, QDir::Files), QStringList());
    }

    // A copy made under the password of before does not open the practice
    // file, keyed with today's: the file is held all the same, and the tool
    // says whose password the practice will have and asks before it starts.
    void restoreUnderAnotherPasswordHoldsTheFileAndAsks()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(50));
        const QString live = dir->path() + QStringLiteral("/data.mdb");
        const QString backup = dir->path() + QStringLiteral("/b.mdb");
        auto writer = openPracticeDir(dir->path());
        Backup::makeVerified(*writer, backup);
        PracticeFile::changePassword(*writer, QStringLiteral("Νέο3"));
        writer->executeNative(QStringLiteral("INSERT INTO EKSODA(POSO) VALUES(12)"));
        const QByteArray before = fileBytes(live);
        auto unchanged = [&] {
            QCOMPARE(fileBytes(live), before);
            QCOMPARE(QDir(dir->path()).entryList({QStringLiteral("data.mdb.before-restore-*")}, QDir::Files), QStringList());
        };

        writer->executeNative(QStringLiteral("BEGIN IMMEDIATE"));
        writer->executeNative(QStringLiteral("DELETE FROM EKSODA"));
        const Run held = runTool({QStringLiteral("restore"), dir->path(), backup, QStringLiteral("--yes")});
        writer->executeNative(QStringLiteral("ROLLBACK"));
        QCOMPARE(held.code, 1);
        QVERIFY2(held.err.contains(QStringLiteral("χρησιμοποιείται")), qPrintable(held.err));
        unchanged();
        writer.reset();

        const Run unanswered = runTool({QStringLiteral("restore"), dir->path(), backup});
        QCOMPARE(unanswered.code, 1);
        QVERIFY2(unanswered.err.contains(QStringLiteral("ο κωδικός πρόσβασης του ιατρείου θα είναι ο κωδικός που ανοίγει το αντίγραφο")),
                 qPrintable(unanswered.err));
        unchanged();

        const Run r = runTool({QStringLiteral("restore"), dir->path(), backup, QStringLiteral("--yes")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(number(*openPracticeDir(dir->path()), QStringLiteral("SELECT count(*) FROM EKSODA")), 0);
        const QStringList kept = QDir(dir->path()).entryList({QStringLiteral("data.mdb.before-restore-*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(fileBytes(dir->path() + QLatin1Char('/') + kept.first()), before);
        QCOMPARE(Backup::keyChanges(dir->path()).size(), 1);
    }

    // One copy a day from 1 Jan 2025 to Sat 28 Feb 2026, plus copies that
    // are not automatic ones.
    void rotationKeepsDailyWeeklyMonthly()
    {
        QTemporaryDir dir;
        for (QDate d(2025, 1, 1); d <= QDate(2026, 2, 28); d = d.addDays(1)) {
            QFile f(QDir(dir.path()).absoluteFilePath(Backup::automaticName(QDateTime(d, QTime(19, 30)))));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        // Two on the newest day: only the later one stays.
        QFile(QDir(dir.path()).absoluteFilePath(QStringLiteral("data-2026-02-28-080000.mdb"))).open(QIODevice::WriteOnly);
        for (const char *name : {"practice-usb.mdb", "data-before-move.mdb", "data-2026-02-28.mdb"})
            QFile(QDir(dir.path()).absoluteFilePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);

        Backup::rotate(dir.path());

        QStringList left = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
        const char *const expected[] = {
            // 12 months, newest of each
            "data-2025-03-31-193000.mdb", "data-2025-04-30-193000.mdb", "data-2025-05-31-193000.mdb",
            "data-2025-06-30-193000.mdb", "data-2025-07-31-193000.mdb", "data-2025-08-31-193000.mdb",
            "data-2025-09-30-193000.mdb", "data-2025-10-31-193000.mdb", "data-2025-11-30-193000.mdb",
            "data-2025-12-31-193000.mdb", "data-2026-01-31-193000.mdb",
            // 5 ISO weeks, newest of each (Sundays, and this Saturday)
            "data-2026-02-01-193000.mdb", "data-2026-02-08-193000.mdb", "data-2026-02-15-193000.mdb",
            // 7 days
            "data-2026-02-22-193000.mdb", "data-2026-02-23-193000.mdb", "data-2026-02-24-193000.mdb",
            "data-2026-02-25-193000.mdb", "data-2026-02-26-193000.mdb", "data-2026-02-27-193000.mdb",
            "data-2026-02-28-193000.mdb",
            // never rotated
            "data-2026-02-28.mdb", "data-before-move.mdb", "practice-usb.mdb"};
        QStringList want;
        for (const char *n : expected)
            want << QString::fromLatin1(n);
        want.sort();
        QCOMPARE(left, want);
        // Running it again removes nothing more.
        QCOMPARE(Backup::rotate(dir.path()), QStringList());
    }

    // The ISO week around 1 January is one week, its December and January
    // days together: its newest copy is its only keeper. One copy a day.
    void rotationTakesTheNewYearWeekAsOne_data()
    {
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("week 1 from Monday 29 December")
            << QDate(2025, 12, 1) << QDate(2026, 1, 23)
            << QStringList{"2025-12-28", "2025-12-31", "2026-01-04", "2026-01-11", "2026-01-17", "2026-01-18",
                           "2026-01-19", "2026-01-20", "2026-01-21", "2026-01-22", "2026-01-23"};
        QTest::newRow("week 53 to Sunday 3 January")
            << QDate(2020, 12, 1) << QDate(2021, 1, 22)
            << QStringList{"2020-12-27", "2020-12-31", "2021-01-03", "2021-01-10", "2021-01-16", "2021-01-17",
                           "2021-01-18", "2021-01-19", "2021-01-20", "2021-01-21", "2021-01-22"};
    }

    void rotationTakesTheNewYearWeekAsOne()
    {
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QFETCH(QStringList, kept);
        QTemporaryDir dir;
        for (QDate d = first; d <= last; d = d.addDays(1))
            QVERIFY(QFile(QDir(dir.path()).absoluteFilePath(Backup::automaticName(QDateTime(d, QTime(19, 30))))).open(QIODevice::WriteOnly));
        Backup::rotate(dir.path());
        QStringList left;
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files, QDir::Name))
            left << Backup::timeOfName(name).date().toString(Qt::ISODate);
        QCOMPARE(left, kept);
    }

    void automaticCopiesGoIntoBackupsAndRotate()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(10));
        auto c = openPracticeDir(dir->path());
        QStringList made;
        for (int day = 0; day < 9; ++day) {
            Clock::setNow(QDateTime(QDate(2026, 3, 2).addDays(day), QTime(20, 0)));
            made << Backup::makeAutomatic(*c, dir->path());
        }
        QCOMPARE(Backup::newest(dir->path()), made.last());
        // Monday 2 March to Tuesday 10 March: the last 7 days stay (they
        // hold both weeks' and the month's newest).
        QStringList left = QDir(Backup::folder(dir->path())).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left.size(), 7);
        QCOMPARE(left.first(), QStringLiteral("data-2026-03-04-200000.mdb"));
        // A second copy within the same second gets the next second's name
        // and, being the day's newest, replaces the first.
        const QString again = Backup::makeAutomatic(*c, dir->path());
        QCOMPARE(QFileInfo(again).fileName(), QStringLiteral("data-2026-03-10-200001.mdb"));
        QVERIFY(QFile::exists(again));
        QVERIFY(!QFile::exists(made.last()));
        QCOMPARE(QDir(Backup::folder(dir->path())).entryList(QDir::Files).size(), 7);
    }

    // A copy still being written (the exit backup finishing while the
    // program starts again) is left alone by the other program's start and
    // rotation; what a copy cut short left behind goes.
    void aCopyBeingWrittenIsLeftAloneLeftoversGo()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(10));
        auto c = openPracticeDir(dir->path());
        const QString folder = Backup::folder(dir->path());
        const QString stale = QDir(folder).absoluteFilePath(QStringLiteral("data-2026-03-01-200000.mdb.part"));
        QVERIFY(QDir().mkpath(folder));
        for (const QString &f : {stale, stale + QStringLiteral("-journal")})
            QVERIFY(QFile(f).open(QIODevice::WriteOnly));
        Clock::setNow(QDateTime(QDate(2026, 3, 2), QTime(20, 0)));
        const QString dest = QDir(folder).absoluteFilePath(Backup::automaticName(Clock::now()));
        QStringList removed;
        Backup::setBeforeVerifyHook([&](const QString &part) {
            removed = Backup::removeLeftovers(folder);
            Backup::rotate(folder);
            QVERIFY(QFile::exists(part));
            QVERIFY_THROWS_EXCEPTION(DbError, Backup::makeVerified(*c, dest));
        });
        QCOMPARE(Backup::makeAutomatic(*c, dir->path()), dest);
        QCOMPARE(removed, (QStringList{stale, stale + QStringLiteral("-journal")}));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(dest).fileName()});
    }
};

class PracticeCheckTest : public QObject {
    Q_OBJECT

private slots:
    void cleanPracticePasses()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(40));
        auto c = openPracticeDir(dir->path());
        const Check::Report report = Check::run(*c);
        QVERIFY(report.ok());
        for (const Check::Finding &f : report.findings)
            QVERIFY2(f.rows.isEmpty(), qPrintable(f.name + QStringLiteral(": ") + f.rows.join(QLatin1Char('|'))));
        const Run r = runTool({QStringLiteral("check"), dir->path()});
        QCOMPARE(r.code, 0);
        // A cancelled receipt without its taking is how cancelling leaves it.
        c->executeNative(QStringLiteral("UPDATE APODEIKSEIS SET EGKYRH=0 WHERE AR_APODEIKSHS=4"));
        c->executeNative(QStringLiteral("DELETE FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=4"));
        QVERIFY(Check::run(*c).ok());
    }

    void eachPlantedFaultIsNamedWithItsRows()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(40));
        auto c = openPracticeDir(dir->path());
        c->executeNative(QStringLiteral("DELETE FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=3"));                                                                                             // no taking
        c->executeNative(QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,POSO,POSO_CY,AR_APODEIKSHS) SELECT ID,POSO,POSO_CY,AR_APODEIKSHS FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=5"));   // two
        c->executeNative(QStringLiteral("UPDATE EISPRAKSH_PELATH SET POSO=POSO+1 WHERE AR_APODEIKSHS=7"));                                                                                  // amount differs
        c->executeNative(QStringLiteral("UPDATE EISPRAKSH_PELATH SET POSO_CY=POSO_CY+0.01 WHERE AR_APODEIKSHS=8"));
        c->executeNative(QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,POSO,AR_APODEIKSHS) VALUES(2,30,777)"));   // no receipt
        c->executeNative(QStringLiteral("UPDATE APODEIKSEIS SET EGKYRH=0 WHERE AR_APODEIKSHS=9"));                  // cancelled, taking kept
        c->executeNative(QStringLiteral("UPDATE LAST_APODEIKSH SET \"LAST\"=80"));                                  // 80 issued already
        c->executeNative(QStringLiteral("DELETE FROM STOIXEIA_PELATH WHERE ID=6"));                                 // takings 11, 12 orphaned
        c->executeNative(QStringLiteral("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA) VALUES(999,'2026-01-05','Πόνος')"));
        c->executeNative(QStringLiteral("INSERT INTO TIMOKATALOGOS(KWDIKOS,TIMH_LEPTA) VALUES('EX01',3000),('EX02',-100)"));   // below zero
        c->executeNative(QStringLiteral("INSERT INTO SXEDIO_THERAPEIAS(PELATHS,ERGASIA,TIMH_LEPTA,KATASTASH,AR_APODEIKSHS) VALUES"
                                        " (1,1,3000,'D',4),(1,1,-5,'D',888),(1,1,3000,'D',9)"));   // billed; on none; on a cancelled one

        const Check::Report report = Check::run(*c);
        QVERIFY(!report.ok());
        auto rowsOf = [&](Check::Rule rule) { return report.find(rule)->rows.join(QLatin1Char('\n')); };
        // The engine's own check (the file's integrity, the server's layout) comes first.
        QVERIFY(report.findings.first().rows.isEmpty());

        const QString receipts = rowsOf(Check::Rule::ReceiptTaking);
        QCOMPARE(report.find(Check::Rule::ReceiptTaking)->rows.size(), 4);
        for (const char *n : {"AR_APODEIKSHS=3,", "AR_APODEIKSHS=5,", "AR_APODEIKSHS=7,", "AR_APODEIKSHS=8,"})
            QVERIFY2(receipts.contains(QLatin1String(n)), qPrintable(receipts));
        QVERIFY(receipts.contains(QStringLiteral("TAKINGS=0")));
        QVERIFY(receipts.contains(QStringLiteral("TAKINGS=2")));

        const QString takings = rowsOf(Check::Rule::TakingReceipt);
        QCOMPARE(report.find(Check::Rule::TakingReceipt)->rows.size(), 2);
        QVERIFY(takings.contains(QStringLiteral("AR_APODEIKSHS=777")));
        QVERIFY(takings.contains(QStringLiteral("AR_APODEIKSHS=9")));

        QVERIFY2(rowsOf(Check::Rule::Counter).contains(QStringLiteral("HIGHEST_ISSUED=80")), qPrintable(rowsOf(Check::Rule::Counter)));
        QVERIFY(rowsOf(Check::Rule::VisitCustomer).contains(QStringLiteral("ID=999")));
        QCOMPARE(report.find(Check::Rule::TakingCustomer)->rows.size(), 2);
        QVERIFY(report.find(Check::Rule::TakingCustomer)->reportOnly);
        QCOMPARE(rowsOf(Check::Rule::PlanReceipt), QStringLiteral("ID=2, PELATHS=1, AR_APODEIKSHS=888\nID=3, PELATHS=1, AR_APODEIKSHS=9"));
        QCOMPARE(rowsOf(Check::Rule::NegativePrice), QStringLiteral("PINAKAS=SXEDIO_THERAPEIAS, ID=2, TIMH_LEPTA=-5\n"
                                                                    "PINAKAS=TIMOKATALOGOS, ID=2, TIMH_LEPTA=-100"));

        const Run r = runTool({QStringLiteral("check"), dir->path()});
        QCOMPARE(r.code, 1);
        for (const Check::Finding &f : report.findings)
            if (f.rule != Check::Rule::Integrity)
                QVERIFY2(r.out.contains(f.name), qPrintable(f.name));
    }

    // A server practice has no file to check; its tables and columns stand in.
    void serverLayoutIsChecked_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("finding");
        QTest::newRow("as made") << ""
                                 << "";
        QTest::newRow("column dropped") << "ALTER TABLE APODEIKSEIS DROP COLUMN POSO_CY"
                                        << "λείπει η στήλη APODEIKSEIS.POSO_CY";
        QTest::newRow("table of a migration dropped") << "DROP TABLE ODONTOGRAMMA"
                                                      << "λείπει ο πίνακας ODONTOGRAMMA";
        QTest::newRow("quoted column dropped") << "ALTER TABLE RANTEBOU DROP COLUMN \"2130-2200\""
                                               << "λείπει η στήλη RANTEBOU.2130-2200";
    }
    void serverLayoutIsChecked()
    {
        if (!TestServer::practicesOnServer())
            QSKIP("The layout is checked on a server practice.");
        QFETCH(QString, change);
        QFETCH(QString, finding);
        std::unique_ptr<QTemporaryDir> dir(newPractice(3));
        auto c = openPracticeDir(dir->path());
        if (!change.isEmpty())
            c->executeNative(change);
        const Check::Report report = Check::run(*c);
        QCOMPARE(report.find(Check::Rule::Layout)->rows.join(QLatin1Char('|')), finding);
        QCOMPARE(report.ok(), finding.isEmpty());
        const Run r = runTool({QStringLiteral("check"), dir->path()});
        QCOMPARE(r.code, finding.isEmpty() ? 0 : 1);
        QVERIFY2(!finding.isEmpty() || !r.out.contains(QString::fromUtf8("ΣΦΑΛΜΑ")), qPrintable(r.out));
    }

    // The counter must be one row, above every issued number (receipts 1
    // to 10 here, counter 11).
    void counterRowsAreChecked_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("finding");
        QTest::newRow("one row above") << ""
                                       << "";
        QTest::newRow("two rows above") << "INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(50)"
                                        << "COUNTER_ROWS=2, LAST=11, HIGHEST_ISSUED=10";
        QTest::newRow("no row") << "DELETE FROM LAST_APODEIKSH"
                                << "COUNTER_ROWS=0, LAST=NULL, HIGHEST_ISSUED=10";
        QTest::newRow("at the highest") << "UPDATE LAST_APODEIKSH SET \"LAST\"=10"
                                        << "COUNTER_ROWS=1, LAST=10, HIGHEST_ISSUED=10";
    }

    void counterRowsAreChecked()
    {
        QFETCH(QString, change);
        QFETCH(QString, finding);
        std::unique_ptr<QTemporaryDir> dir(newPractice(5));
        auto c = openPracticeDir(dir->path());
        if (!change.isEmpty())
            c->executeNative(change);
        const Check::Report report = Check::run(*c);
        QCOMPARE(report.find(Check::Rule::Counter)->rows.join(QLatin1Char('|')), finding);
        QCOMPARE(report.ok(), finding.isEmpty());
    }

    // A table the program does not know (an imported file's duplicate
    // receipts) is counted, copied and checked like the twelve.
    void everyTableTheFileHoldsIsCountedAndChecked()
    {
        if (TestServer::practicesOnServer())
            QSKIP("A practice file's own check.");
        std::unique_ptr<QTemporaryDir> dir(newPractice(30));
        const QString extra = QString::fromLatin1(JetImport::DuplicateReceiptsTable);
        {
            auto c = openPracticeDir(dir->path());
            c->executeNative(QStringLiteral("CREATE TABLE \"%1\"(AR_APODEIKSHS INTEGER, POSO DOUBLE)").arg(extra));
            c->executeNative(QStringLiteral("INSERT INTO \"%1\" SELECT AR_APODEIKSHS, POSO FROM APODEIKSEIS WHERE AR_APODEIKSHS <= 17").arg(extra));
            c->executeNative(QStringLiteral("CREATE TABLE \"odd \"\"name\"(x)"));
            c->executeNative(QStringLiteral("INSERT INTO \"odd \"\"name\" VALUES(1),(2)"));
            // A view holds no rows of its own.
            c->executeNative(QStringLiteral("CREATE VIEW V1 AS SELECT * FROM APODEIKSEIS"));
        }
        auto source = openPracticeDir(dir->path());
        const QString dest = dir->path() + QStringLiteral("/copy.mdb");
        const Backup::TableCounts counts = Backup::makeVerified(*source, dest);
        QCOMPARE(counts.size(), Schema::tableNames().size() + SchemaVersion::addedTables().size() + 2);
        QCOMPARE(counts.value(extra, -1), 17);
        QCOMPARE(counts.value(QStringLiteral("odd \"name"), -1), 2);
        QCOMPARE(Backup::verifyFile(dest, source->credentials()), counts);

        const Check::Report report = Check::run(*source);
        QVERIFY(report.ok());
        QCOMPARE(report.tableRows, counts);
        const Run r = runTool({QStringLiteral("check"), dir->path()});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QString::fromUtf8("γραμμές\t%1\t17\n").arg(extra)), qPrintable(r.out));
        QVERIFY(r.out.contains(QString::fromUtf8("γραμμές\tAPODEIKSEIS\t60\n")));
    }

    // Deleting a customer leaves visits and takings behind; they are shown,
    // but the file is not called broken for them.
    void deletedCustomersAreReportedOnly()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(5));
        auto c = openPracticeDir(dir->path());
        c->executeNative(QStringLiteral("DELETE FROM STOIXEIA_PELATH WHERE ID=2"));
        const Check::Report report = Check::run(*c);
        QVERIFY(report.ok());
        QCOMPARE(report.find(Check::Rule::TakingCustomer)->rows.size(), 2);
        const Run r = runTool({QStringLiteral("check"), dir->path()});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QString::fromUtf8("ΠΡΟΣΟΧΗ")));
    }

    void damagedFileFailsTheCheck()
    {
        if (TestServer::practicesOnServer())
            QSKIP("A practice file's own check.");
        std::unique_ptr<QTemporaryDir> dir(newPractice(300));
        {
            QFile f(dir->path() + QStringLiteral("/data.mdb"));
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(20 * 4096 + 64);
            f.write(QByteArray(200, '\x11'));
        }
        auto c = openPracticeDir(dir->path());
        QVERIFY(Check::integrity(*c, true) != QStringList{QStringLiteral("ok")});
        QVERIFY(!Check::run(*c).ok());
        QCOMPARE(runTool({QStringLiteral("check"), dir->path()}).code, 1);
    }

    // The tool writes nothing to a damaged file, as the program does:
    // whether the damage shows at once (pages cut off) or only to the check.
    void toolRefusesWritesToADamagedFile_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("a page overwritten") << false;
        QTest::newRow("cut by whole pages") << true;
    }
    void toolRefusesWritesToADamagedFile()
    {
        if (TestServer::practicesOnServer())
            QSKIP("A practice file's own check.");
        QFETCH(bool, cut);
        std::unique_ptr<QTemporaryDir> dir(newPractice(300));
        const QString file = dir->path() + QStringLiteral("/data.mdb");
        if (cut) {
            auto c = openPracticeDir(dir->path());
            const qint64 page = number(*c, QStringLiteral("PRAGMA page_size"));
            const qint64 security = number(*c, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name='SECURITY'"));
            c->close();
            QVERIFY(QFile::resize(file, (security - 1) * page));
        } else {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(20 * 4096 + 64);
            f.write(QByteArray(200, '\x11'));
        }
        const QByteArray damaged = fileBytes(file);
        for (const QStringList &args : {QStringList{QStringLiteral("sql"), dir->path(), QStringLiteral("INSERT INTO SHMEIWSEIS(TITLOS) VALUES('α')")},
                                        QStringList{QStringLiteral("passwd"), dir->path(), QStringLiteral("--new-password"), QStringLiteral("kainourgios")}}) {
            const Run r = runTool(args);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(QString::fromUtf8("κατεστραμμένο")), qPrintable(r.err));
            QCOMPARE(fileBytes(file), damaged);
        }
    }
};

class SqlStatementsTest : public QObject {
    Q_OBJECT

private slots:
    void severalStatementsRunAsOneUnit()
    {
        std::unique_ptr<QTemporaryDir> dir(newPractice(3));
        Run r = runTool({QStringLiteral("sql"), dir->path(),
                         QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=[LAST]+1; "
                                        "INSERT INTO SHMEIWSEIS(TITLOS) VALUES('α;β'); SELECT TITLOS FROM SHMEIWSEIS;")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("1\n1\nTITLOS\nα;β\n"));
        auto c = openPracticeDir(dir->path());
        QCOMPARE(number(*c, QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")), 8);

        // The second fails: the first is undone and nothing is printed.
        r = runTool({QStringLiteral("sql"), dir->path(),
                     QStringLiteral("DELETE FROM SHMEIWSEIS; UPDATE NOSUCH SET X=1")});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QCOMPARE(number(*c, QStringLiteral("SELECT count(*) FROM SHMEIWSEIS")), 1);
    }
};

MOLARIX_TEST(BackupTest)
MOLARIX_TEST(PracticeCheckTest)
MOLARIX_TEST(SqlStatementsTest)
#include "test_backup.moc"
