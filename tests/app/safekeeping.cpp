// The program's backups and its start-up check of the practice file.
#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/practice/practicefile.h"
#include "data/practice/serverbackup.h"
#include "data/practice/session.h"
#include "data/db/clock.h"
#include "gui/messages.h"
#include "data/db/writegate.h"
#include "app/safekeeping.h"
#include "app/upgrade.h"
#include "data/practice/practicefile.h"
#include "tests/common/testmain.h"
#include "tests/common/testserver.h"
#include "tests/common/testutil.h"
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

namespace {

QByteArray bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Overwrites part of one page in the middle of the file: the file still
// opens, the damage shows only when that page is read.
void damage(const QString &file)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.size() > 12 * 4096);
    f.seek(f.size() / 4096 / 2 * 4096 + 512);
    f.write(QByteArray(300, '\x42'));
}

// The start-up check as the main window starts it; its verdict once the
// check and any offer of a backup are over.
bool checkAtStartup(const std::function<void()> &meanwhile = {})
{
    std::optional<bool> verdict;
    Safekeeping::StartCheck(nullptr, [&](bool usable) { verdict = usable; });
    if (meanwhile)
        meanwhile();
    if (!QTest::qWaitFor([&] { return verdict.has_value(); }, 120000))
        qFatal("The start-up check never ended");
    return *verdict;
}

// A note written as the notebook window writes it.
void addNote()
{
    DbConnection c;
    c.setConnectionString(DbConnectionString);
    c.open();
    c.executeNative(QStringLiteral("INSERT INTO SHMEIWSEIS(TITLOS) VALUES('Σημείωση')"));
}

}   // namespace

class SafekeepingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempPractice> p;

    QString dataFile() const { return p->path() + QStringLiteral("/data.mdb"); }
    QStringList backups() const { return QDir(Backup::folder(p->path())).entryList(QDir::Files, QDir::Name); }

    // Enough rows that the file has pages to damage away from the first.
    void addCustomers(int n)
    {
        p->conn().executeNative(QStringLiteral(
                                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<?)"
                                    " INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,ISTORIKO) SELECT 'Όνομα'||i,'Επώνυμο'||i,"
                                    " 'Ιστορικό θεραπειών και παρατηρήσεις του πελάτη αριθμός '||i FROM n"),
                                {n});
    }

private slots:
    void init()
    {
        p = std::make_unique<TempPractice>();
        Messages::takeShown();
    }
    void cleanup()
    {
        Safekeeping::SetFolderChooser({});
        Safekeeping::SetCopyChooser({});
        Safekeeping::WaitForCheck();
        WriteGate::open(dataFile());
        Clock::reset();
        p.reset();
    }

    void noteWhenBackupsAreOld()
    {
        const QDateTime now(QDate(2026, 5, 20), QTime(9, 0));
        QVERIFY(Safekeeping::OldBackupNote(p->path(), now).contains(QStringLiteral("Δεν έχει γίνει")));
        QDir().mkpath(Backup::folder(p->path()));
        auto touch = [&](const QDateTime &when) {
            QFile(Backup::folder(p->path()) + QLatin1Char('/') + Backup::automaticName(when)).open(QIODevice::WriteOnly);
        };
        touch(QDateTime(QDate(2026, 5, 11), QTime(18, 0)));
        const QString note = Safekeeping::OldBackupNote(p->path(), now);
        QVERIFY2(note.contains(QStringLiteral("9 ημέρες")) && note.contains(QStringLiteral("11/5/2026")), qPrintable(note));
        // Exactly a week old is still fresh.
        touch(QDateTime(QDate(2026, 5, 13), QTime(18, 0)));
        QCOMPARE(Safekeeping::OldBackupNote(p->path(), now), QString());
    }

    void exitBackupOncePerDay()
    {
        addCustomers(50);
        Clock::setNow(QDateTime(QDate(2026, 5, 20), QTime(21, 0)));
        const QString first = Safekeeping::BackupAtExit(nullptr);
        QVERIFY(!first.isEmpty());
        QCOMPARE(backups(), QStringList{QStringLiteral("data-2026-05-20-210000.mdb")});
        Backup::verifyFile(first, p->conn().credentials());

        Clock::setNow(QDateTime(QDate(2026, 5, 20), QTime(22, 30)));
        QCOMPARE(Safekeeping::BackupAtExit(nullptr), QString());
        QCOMPARE(backups().size(), 1);

        Clock::setNow(QDateTime(QDate(2026, 5, 21), QTime(8, 0)));
        QVERIFY(!Safekeeping::BackupAtExit(nullptr).isEmpty());
        QCOMPARE(backups().size(), 2);
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void exitBackupFailureIsReported()
    {
        // A file where the backups folder should be.
        QFile(Backup::folder(p->path())).open(QIODevice::WriteOnly);
        QCOMPARE(Safekeeping::BackupAtExit(nullptr), QString());
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(QStringLiteral("Το αντίγραφο ασφαλείας δεν έγινε")));
    }

    void backupToAChosenFolderNamesTheFile()
    {
        QTemporaryDir usb;
        Safekeeping::SetFolderChooser([&](QWidget *) { return usb.path(); });
        const QString written = Safekeeping::BackupToChosenFolder(nullptr);
        QVERIFY(written.startsWith(usb.path()));
        QVERIFY(QFile::exists(written));
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(written)));
        QCOMPARE(Backup::verifyFile(written, p->conn().credentials()).value(QStringLiteral("SECURITY")), 1);

        // Cancelling the folder choice writes nothing.
        Safekeeping::SetFolderChooser([](QWidget *) { return QString(); });
        QCOMPARE(Safekeeping::BackupToChosenFolder(nullptr), QString());
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(QDir(usb.path()).entryList(QDir::Files).size(), 1);
    }

    void healthyFilePassesSilently()
    {
        // A write made while the check may still run waits for it and is kept.
        QVERIFY(checkAtStartup(addNote));
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(p->count(QStringLiteral("SHMEIWSEIS")), 1);
        addNote();
        QCOMPARE(p->count(QStringLiteral("SHMEIWSEIS")), 2);
    }

    void damagedFileWithoutBackupEndsWithoutWriting()
    {
        addCustomers(3000);
        p->conn().close();
        damage(dataFile());
        const QByteArray damaged = bytes(dataFile());
        // Writes made before the report are refused, naming the damage.
        QString refusal;
        QVERIFY(!checkAtStartup([&] {
            try {
                addNote();
            } catch (const DbError &e) {
                refusal = e.message();
            }
        }));
        QVERIFY2(refusal.contains(QStringLiteral("κατεστραμμένο")), qPrintable(refusal));
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("κατεστραμμένο")));
        QVERIFY(shown[0].text.contains(QStringLiteral("Δεν βρέθηκε")));
        // The engine's own words only under the details.
        QVERIFY(!shown[0].details.isEmpty());
        QVERIFY2(!shown[0].text.contains(shown[0].details.section(QLatin1Char('\n'), 0, 0)), qPrintable(shown[0].text));
        QCOMPARE(bytes(dataFile()), damaged);
        QVERIFY_THROWS_EXCEPTION(DbError, addNote());
        QCOMPARE(bytes(dataFile()), damaged);
    }

    void damagedFileIsReplacedByTheNewestGoodBackup()
    {
        addCustomers(3000);
        Clock::setNow(QDateTime(QDate(2026, 5, 18), QTime(20, 0)));
        const QString older = Backup::makeAutomatic(p->conn(), p->path());
        p->conn().executeNative(QStringLiteral("DELETE FROM STOIXEIA_PELATH WHERE ID > 2000"));
        Clock::setNow(QDateTime(QDate(2026, 5, 19), QTime(20, 0)));
        const QString newer = Backup::makeAutomatic(p->conn(), p->path());
        p->conn().close();
        // The newest copy has been damaged since: the older one is offered.
        damage(newer);
        damage(dataFile());
        const QByteArray damaged = bytes(dataFile());

        // Closed: the program ends and the file is left as it was.
        Messages::setNextChoice(2);
        QVERIFY(!checkAtStartup());
        auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Choice);
        QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(older)));
        QCOMPARE(bytes(dataFile()), damaged);

        Messages::setNextChoice(0);
        QVERIFY(checkAtStartup());
        shown = Messages::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[1].text.startsWith(QStringLiteral("Έγινε επαναφορά")));
        p->conn().open();
        QCOMPARE(p->conn().scalarNative(QStringLiteral("SELECT count(*) FROM STOIXEIA_PELATH")).toInt(), 3000);
        const QStringList kept = QDir(p->path()).entryList({QStringLiteral("data.mdb.before-restore-*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(bytes(p->path() + QLatin1Char('/') + kept.first()), damaged);
        p->conn().close();
        // The copy put in place takes writes again.
        addNote();
        p->conn().open();
        QCOMPARE(p->count(QStringLiteral("SHMEIWSEIS")), 1);
        p->conn().close();
        QVERIFY(checkAtStartup());
    }

    // A newer copy made under another password cannot be offered: it is
    // named with the password it needs. The question says whose password
    // the practice will have.
    void copyUnderAnotherPasswordIsNamedWithItsPassword()
    {
        addCustomers(3000);
        Clock::setNow(QDateTime(QDate(2026, 5, 18), QTime(20, 0)));
        const QString good = Backup::makeAutomatic(p->conn(), p->path());
        PracticeFile::changePassword(p->conn(), QStringLiteral("Άλλος1"));
        Clock::setNow(QDateTime(QDate(2026, 5, 19), QTime(20, 0)));
        const QString other = Backup::makeAutomatic(p->conn(), p->path());
        PracticeFile::changePassword(p->conn(), QStringLiteral("molarix"));
        Backup::noteKeyChange(p->path(), QDateTime(QDate(2026, 5, 20), QTime(8, 5)));
        p->conn().close();
        damage(dataFile());

        Messages::setNextChoice(2);
        QVERIFY(!checkAtStartup());
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(good)));
        QVERIFY2(shown[0].text.contains(QStringLiteral("Το αντίγραφο %1 δεν ανοίγει με τον κωδικό που δόθηκε. Το αντίγραφο αυτό "
                                                       "ανοίγει με τον κωδικό που ίσχυε στις 19/05/2026 20:00, πριν αλλάξει ο "
                                                       "κωδικός στις 20/05/2026 08:05.")
                                            .arg(QDir::toNativeSeparators(other))),
                 qPrintable(shown[0].text));
        QVERIFY(shown[0].text.contains(QStringLiteral("ο κωδικός πρόσβασης θα είναι αυτός με τον οποίο ανοίγει το αντίγραφο")));
    }

    // A copy from elsewhere (a USB stick) when the backup folder has none:
    // it is verified first, and one that fails is refused and the choice
    // offered again.
    void damagedFileTakesACopyPickedElsewhere()
    {
        addCustomers(3000);
        QTemporaryDir usb;
        const QString bad = usb.path() + QStringLiteral("/bad.mdb");
        const QString good = usb.path() + QStringLiteral("/good.mdb");
        Backup::makeVerified(p->conn(), bad);
        Backup::makeVerified(p->conn(), good);
        p->conn().close();
        damage(bad);
        damage(dataFile());
        QStringList picks{QString(), bad, good};   // cancelled first
        Safekeeping::SetCopyChooser([&](QWidget *) { return picks.takeFirst(); });
        for (int i = 0; i < 3; ++i)
            Messages::setNextChoice(0);
        QVERIFY(checkAtStartup());
        QVERIFY(picks.isEmpty());
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 5);
        QVERIFY(shown[0].text.contains(QStringLiteral("Δεν βρέθηκε")));
        QVERIFY(shown[2].text.contains(QDir::toNativeSeparators(bad)));
        QVERIFY(!shown[2].details.isEmpty());
        QVERIFY(shown[4].text.startsWith(QStringLiteral("Έγινε επαναφορά")));
        QCOMPARE(p->count(QStringLiteral("STOIXEIA_PELATH")), 3000);
    }

    // The copy a move from the old fixed key left: a reminder at each
    // start for 30 days, then its deletion offered once a verified backup
    // under the password exists.
    void oldKeyCopyIsRemindedThenItsDeletionOffered()
    {
        if (p->conn().onServer())
            QSKIP("only files were ever keyed with the old fixed key");
        p->makeLegacy();
        const QDateTime moved(QDate(2026, 3, 1), QTime(9, 0));
        Clock::setNow(moved);
        const PracticeFile::Unlocked u = PracticeFile::unlock(dataFile(), QStringLiteral("molarix"));
        QCOMPARE(u.access, PracticeFile::Access::Moved);
        auto startOn = [&](int day) {
            const QDateTime when = moved.addDays(day).addSecs(day == 0 ? 0 : 3600);
            Clock::setNow(when);
            RemindOfOldKeyCopies(nullptr, when);
            return Messages::takeShown();
        };
        struct Start {
            int day;
            bool backedUp;
            int kind;   // -1: nothing shown
            bool answer;
            bool kept;
        };
        const Start starts[] = {
            {0, false, -1, false, true},   // the start that moved it told of it
            {1, false, int(Messages::Kind::Plain), false, true},
            {31, false, int(Messages::Kind::Plain), false, true},
            {29, true, int(Messages::Kind::Plain), false, true},
            {30, true, int(Messages::Kind::Confirm), false, true},
            {31, true, int(Messages::Kind::Confirm), true, false},
            {32, true, -1, false, false},
        };
        for (const Start &s : starts) {
            if (s.backedUp && Backup::newest(p->path()).isEmpty())
                Backup::makeAutomatic(p->conn(), p->path());
            if (s.kind == int(Messages::Kind::Confirm))
                Messages::setNextAnswer(s.answer);
            const auto shown = startOn(s.day);
            const QString at = QStringLiteral("day %1").arg(s.day);
            QVERIFY2(shown.size() == (s.kind < 0 ? 0 : 1), qPrintable(at));
            if (s.kind >= 0) {
                QVERIFY2(int(shown[0].kind) == s.kind, qPrintable(at));
                QVERIFY2(shown[0].text.contains(QDir::toNativeSeparators(u.backup)), qPrintable(shown[0].text));
            }
            QVERIFY2(QFile::exists(u.backup) == s.kept, qPrintable(at));
        }
    }

    // The report waits until no window stands over the main window, so
    // that no window keeps the damaged file open while it is replaced.
    void damageIsReportedOnceNoWindowIsOpen()
    {
        addCustomers(3000);
        p->conn().close();
        damage(dataFile());
        std::optional<bool> verdict;
        QDialog window;
        window.setModal(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() == &window, 30000);
        Safekeeping::StartCheck(nullptr, [&](bool usable) { verdict = usable; });
        // The check is over and its end handled: the report is put off.
        Safekeeping::WaitForCheck();
        QCOMPARE(WriteGate::state(dataFile()), WriteGate::State::Refused);
        QCoreApplication::processEvents();
        QVERIFY(!verdict.has_value());
        QVERIFY(Messages::takeShown().isEmpty());
        window.close();
        QTRY_VERIFY_WITH_TIMEOUT(verdict.has_value(), 120000);
        QVERIFY(!*verdict);
        QCOMPARE(Messages::takeShown().size(), 1);
    }

    // On a server the practice's rules are the start-up check: data that
    // break them are offered the newest verified backup; closing leaves
    // them as they are, accepting puts the copy's rows in their place.
    void serverBreakingTheRulesIsOfferedTheNewestBackup()
    {
        MOLARIX_REQUIRE_SERVER();
        QTemporaryDir dir;
        {
            QFile conf(dir.filePath(QStringLiteral("server.conf")));
            QVERIFY(conf.open(QIODevice::WriteOnly));
            conf.write(TestServer::serverConf(TestServer::newPracticeDatabase()).toUtf8());
        }
        const QString fileDir = AppDirectory, fileConnection = DbConnectionString;
        const auto back = qScopeGuard([&] {
            AppDirectory = fileDir;
            DbConnectionString = fileConnection;
        });
        AppDirectory = QDir::toNativeSeparators(dir.path());
        DbConnectionString = BuildConnectionString(dir.path());
        Session::current().logIn(DbConnectionString, TestServer::loginPassword());
        DbConnection conn;
        conn.setConnectionString(DbConnectionString);
        conn.open();
        conn.executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(EPWNYMO) VALUES('Παπαδόπουλος')"));
        conn.executeNative(QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,POSO,EGKYRH) VALUES(1,12.5,-1)"));
        conn.executeNative(QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,POSO,AR_APODEIKSHS) VALUES(1,12.5,1)"));
        conn.executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(2)"));
        Clock::setNow(QDateTime(QDate(2026, 5, 18), QTime(20, 0)));
        const QString copy = ServerBackup::makeAutomatic(conn, dir.path(), TestServer::loginPassword());
        // A taking without its receipt.
        conn.executeNative(QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,POSO,AR_APODEIKSHS) VALUES(1,7,99)"));
        const auto takings = [&] { return conn.scalarNative(QStringLiteral("SELECT count(*) FROM EISPRAKSH_PELATH")).toInt(); };

        Messages::setNextChoice(2);
        QVERIFY(!checkAtStartup());
        auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(QDir::toNativeSeparators(copy)), qPrintable(shown[0].text));
        QVERIFY2(shown[0].details.contains(QStringLiteral("AR_APODEIKSHS=99")), qPrintable(shown[0].details));
        QCOMPARE(takings(), 2);

        Messages::setNextChoice(0);
        QVERIFY(checkAtStartup());
        shown = Messages::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[1].text.startsWith(QStringLiteral("Έγινε επαναφορά")), qPrintable(shown[1].text));
        QCOMPARE(takings(), 1);
        QCOMPARE(conn.scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toInt(), 2);
        // The data of before are kept in a copy of their own, which is never offered.
        QCOMPARE(Backup::newest(dir.path()), copy);
        QCOMPARE(QDir(Backup::folder(dir.path())).entryList({QStringLiteral("before-restore-*.mdb")}, QDir::Files).size(), 1);
    }
};

MOLARIX_TEST(SafekeepingTest)
#include "safekeeping.moc"
