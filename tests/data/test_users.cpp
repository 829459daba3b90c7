#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/practice/backup.h"
#include "data/practice/keyring.h"
#include "data/practice/session.h"
#include "data/practice/users.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kAdmin = QStringLiteral("Γιώργος");
const QString kOld = QStringLiteral("molarix");   // the practice's one password before users
const QString kNurse = QStringLiteral("Μαρία");
const QString kNursePassword = QStringLiteral("Nosileia2024");

bool opens(const QString &dir, const QString &user, const QString &password)
{
    const Users::Access a = Users::signIn(dir, user, password).access;
    return a == Users::Access::Granted || a == Users::Access::ByRecovery;
}

// A practice moved to users: the administrator with the old password, and the nurse.
struct UsersPractice {
    TempPractice practice;
    QString code;
    UsersPractice()
    {
        QCOMPARE(Users::signIn(practice.path(), QString(), kOld).access, Users::Access::OnePassword);
        code = Users::migrate(practice.conn(), kAdmin, kOld);
        Users::add(practice.conn(), {kNurse, Users::Role::Clinician, true}, kNursePassword);
    }
    QString dir() const { return practice.path(); }
};

QByteArray bytesOf(const QString &path) { return KeyRing::readFile(path); }

}   // namespace

class UsersTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        KeyRing::setStepHook({});
        Session::current().signOut();
    }

    // The practice of one password moves to users once: every row stays, the
    // old password opens it for the administrator, its earlier backup opens
    // with the old password, a move cut short leaves the one password.
    void migrationKeepsRowsThePasswordAndOldBackups()
    {
        TempPractice p;
        p.exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO) VALUES ('Ζαχαριάδου')"));
        p.exec(QStringLiteral("INSERT INTO EKSODA (HMEROMHNIA, POSO) VALUES (#12/31/2025#, 10)"));
        const Backup::TableCounts before = Backup::countRows(p.conn());
        // Yesterday's copy: the migration's own verified copy of today takes today's place.
        Clock::setNow(QDateTime::currentDateTime().addDays(-1));
        const QString oldBackup = Backup::makeAutomatic(p.conn(), p.path());
        Clock::reset();

        KeyRing::setStepHook([](const char *step) {
            if (QByteArray(step) == "rekeying")
                throw DbError(QStringLiteral("stopped"));
        });
        QVERIFY_THROWS_EXCEPTION(DbError, Users::migrate(p.conn(), kAdmin, kOld));
        KeyRing::setStepHook({});
        QCOMPARE(Users::signIn(p.path(), kAdmin, kOld).access, Users::Access::OnePassword);

        QString verified;
        const QString code = Users::migrate(p.conn(), kAdmin, kOld, &verified);
        QVERIFY(QFileInfo::exists(verified));
        QCOMPARE(Session::current().role(), Users::Role::Administrator);
        p.conn().close();
        Session::current().signOut();

        QCOMPARE(Users::signIn(p.path(), kAdmin, kOld).access, Users::Access::Granted);
        QCOMPARE(Session::current().userName(), kAdmin);
        Backup::TableCounts after = Backup::countRows(p.conn());
        after.remove(QStringLiteral("XRHSTES"));
        after.remove(QStringLiteral("KLEIDIA"));
        Backup::TableCounts was = before;
        was.remove(QStringLiteral("XRHSTES"));
        was.remove(QStringLiteral("KLEIDIA"));
        QCOMPARE(after, was);
        QCOMPARE(p.scalar(QStringLiteral("SELECT [PASSWORD] FROM SECURITY")), QVariant());
        p.conn().close();

        QCOMPARE(Users::signIn(p.path(), kAdmin, code).access, Users::Access::ByRecovery);
        QCOMPARE(Users::signIn(p.path(), kAdmin, QStringLiteral("wrong-one")).access, Users::Access::Refused);
        QVERIFY(!Session::current().signedIn());
        for (const QString &copy : {oldBackup, verified}) {
            ConnectionInfo withPassword;
            withPassword.password = kOld;
            QVERIFY2(!Backup::verifyFile(copy, withPassword).isEmpty(), qPrintable(copy));
        }
    }

    // Removing a user: that password fails while others still open the
    // practice; a backup of before carries the removed user's wrap, and
    // restoring it brings the user back. Nothing on disk holds a password
    // or the key.
    void removedUserAndBackupsOfTheirMoment()
    {
        UsersPractice u;
        const QByteArray key = Session::current().fileKey();
        const QString before = Backup::makeAutomatic(u.practice.conn(), u.dir());
        QVERIFY(QFileInfo::exists(KeyRing::besideCopy(before)));
        Users::remove(u.practice.conn(), kNurse);
        QCOMPARE(Users::list(u.practice.conn()).size(), 1);
        u.practice.conn().close();

        QVERIFY(!opens(u.dir(), kNurse, kNursePassword));
        QVERIFY(opens(u.dir(), kAdmin, kOld));
        QVERIFY(opens(u.dir(), kAdmin, u.code));

        const auto ring = KeyRing::Ring::parse(bytesOf(KeyRing::besideCopy(before)));
        QVERIFY(ring && ring->find(kNurse));
        const QByteArray nurseKey = KeyRing::unseal(ring->find(kNurse)->wrap, kNursePassword, kNurse);
        QCOMPARE(nurseKey, key);
        DbConnection copy;
        copy.setConnectionString(QStringLiteral("Data Source=") + before);
        copy.setRawKey(nurseKey);
        copy.open();
        QCOMPARE(copy.scalarNative(QStringLiteral("SELECT count(*) FROM XRHSTES")).toInt(), 2);
        copy.close();

        for (const QString &file : {KeyRing::fileIn(u.dir()), QDir(u.dir()).filePath(QStringLiteral("data.mdb")),
                                    KeyRing::besideCopy(before)}) {
            const QByteArray bytes = bytesOf(file);
            QVERIFY(!bytes.isEmpty());
            for (const QByteArray &secret : {kOld.toUtf8(), kNursePassword.toUtf8(), u.code.toUtf8(), key, key.toHex(), key.toHex().toUpper(), key.toBase64()})
                QVERIFY2(!bytes.contains(secret), qPrintable(file));
        }

        QVERIFY(opens(u.dir(), kAdmin, kOld));
        u.practice.conn().close();
        ConnectionInfo practiceFile;
        practiceFile.dataSource = QDir(u.dir()).filePath(QStringLiteral("data.mdb"));
        Backup::restore(practiceFile, before);
        QVERIFY(opens(u.dir(), kNurse, kNursePassword));
    }

    // A change of users stopped at any step leaves exactly the passwords of
    // before it or those of after it.
    void aChangeCutShortLeavesBeforeOrAfter_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("step");
        for (const char *change : {"remove", "passwd", "add", "disable"})
            for (const char *step : {"written", "renamed", "copied"})
                QTest::newRow(QByteArray(change).append(' ').append(step).constData()) << QString::fromLatin1(change) << QString::fromLatin1(step);
    }
    void aChangeCutShortLeavesBeforeOrAfter()
    {
        QFETCH(QString, change);
        QFETCH(QString, step);
        UsersPractice u;
        const QString newPassword = QStringLiteral("Kainourgios99");
        const QString third = QStringLiteral("Ελένη");
        struct Try {
            QString user, password;
        };
        const QList<Try> tries = {{kAdmin, kOld}, {kNurse, kNursePassword}, {kNurse, newPassword}, {third, newPassword}};
        QList<bool> before, after;
        for (const Try &t : tries)
            before << (t.user != third && t.password != newPassword);
        after = before;
        if (change == QLatin1String("remove") || change == QLatin1String("disable"))
            after[1] = false;
        else if (change == QLatin1String("passwd"))
            after[1] = false, after[2] = true;
        else
            after[3] = true;

        KeyRing::setStepHook([&](const char *at) {
            if (step == QLatin1String(at))
                throw DbError(QStringLiteral("stopped"));
        });
        DbConnection &conn = u.practice.conn();
        try {
            if (change == QLatin1String("remove"))
                Users::remove(conn, kNurse);
            else if (change == QLatin1String("passwd"))
                Users::setPassword(conn, kNurse, newPassword);
            else if (change == QLatin1String("disable"))
                Users::setEnabled(conn, kNurse, false);
            else
                Users::add(conn, {third, Users::Role::Reception, true}, newPassword);
        } catch (const DbError &) {
        }
        KeyRing::setStepHook({});
        conn.close();

        QList<bool> now;
        for (const Try &t : tries)
            now << opens(u.dir(), t.user, t.password);
        QVERIFY2(now == before || now == after, qPrintable(step));
        // Whichever holds, keys.dat and the table inside agree afterwards.
        QVERIFY(opens(u.dir(), kAdmin, kOld));
        QCOMPARE(u.practice.conn().scalarNative(QStringLiteral("SELECT PERIEXOMENO FROM KLEIDIA")).toString().toUtf8(),
                 bytesOf(KeyRing::fileIn(u.dir())));
    }

    // What a change may not do.
    void refusedChanges()
    {
        UsersPractice u;
        DbConnection &c = u.practice.conn();
        QVERIFY_THROWS_EXCEPTION(DbError, Users::add(c, {QStringLiteral("μαρία"), Users::Role::Reception, true}, kNursePassword));
        QVERIFY_THROWS_EXCEPTION(DbError, Users::add(c, {QStringLiteral("Νίκος"), Users::Role::Reception, true}, QStringLiteral("short7x")));
        QVERIFY_THROWS_EXCEPTION(DbError, Users::remove(c, kAdmin));
        QVERIFY_THROWS_EXCEPTION(DbError, Users::setRole(c, kAdmin, Users::Role::Reception));
        QVERIFY_THROWS_EXCEPTION(DbError, Users::remove(c, QStringLiteral("Κανείς")));
        Users::setRole(c, kNurse, Users::Role::Administrator);
        Users::setEnabled(c, kAdmin, false);
        c.close();
        QVERIFY(!opens(u.dir(), kAdmin, kOld));
        QCOMPARE(Users::signIn(u.dir(), kNurse.toUpper(), kNursePassword).access, Users::Access::Granted);
        QCOMPARE(Session::current().role(), Users::Role::Administrator);
        QCOMPARE(Session::current().userName(), kNurse);
    }
};

MOLARIX_TEST(UsersTest)

// molarix-db signs in as a user: the first name given moves a practice of
// one password to users, and only an administrator runs sql, users, backup
// and restore.
class DbToolUsersTest : public QObject {
    Q_OBJECT

private slots:
    void commandsSignInAsUsers()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        QCOMPARE(runTool({QStringLiteral("create"), d}).code, 0);
        const QString select = QStringLiteral("SELECT COUNT(*) FROM EKSODA");
        const QString user = QStringLiteral("--user");
        const QString pw = QStringLiteral("--new-password");
        ToolRun first = runTool({QStringLiteral("users"), d, QStringLiteral("list"), user, kAdmin});
        QCOMPARE(first.code, 0);
        QCOMPARE(first.out, kAdmin + QStringLiteral("\tadministrator\tενεργός\n"));
        const QRegularExpression codeShape(QStringLiteral("([A-Z2-7]{5}-){5}[A-Z2-7]{5}"));
        const QString code = codeShape.match(first.err).captured(0);
        QVERIFY2(!code.isEmpty(), qPrintable(first.err));

        struct Step {
            QStringList args;
            QString password;
            int code;
            QString says;   // in what the tool wrote
        };
        const QList<Step> steps = {
            {{QStringLiteral("sql"), d, select}, kOld, 1, QStringLiteral("--user")},
            {{QStringLiteral("users"), d, QStringLiteral("add"), kNurse, QStringLiteral("clinician"), user, kAdmin, pw, kNursePassword}, kOld, 0, {}},
            {{QStringLiteral("users"), d, QStringLiteral("add"), QStringLiteral("Νίκος"), QStringLiteral("boss"), user, kAdmin, pw, kNursePassword}, kOld, 2, QStringLiteral("ρόλος")},
            {{QStringLiteral("sql"), d, select, user, kNurse}, kNursePassword, 1, QStringLiteral("μόνο διαχειριστής")},
            {{QStringLiteral("backup"), d, user, kNurse}, kNursePassword, 1, QStringLiteral("μόνο διαχειριστής")},
            {{QStringLiteral("users"), d, QStringLiteral("list"), user, kNurse}, kNursePassword, 1, QStringLiteral("μόνο διαχειριστής")},
            {{QStringLiteral("check"), d, user, kNurse}, kNursePassword, 0, {}},
            {{QStringLiteral("passwd"), d, user, kNurse, pw, QStringLiteral("Kainourgios99")}, kNursePassword, 0, {}},
            {{QStringLiteral("check"), d, user, kNurse}, kNursePassword, 1, QStringLiteral("Λανθασμένο όνομα χρήστη")},
            {{QStringLiteral("users"), d, QStringLiteral("role"), kNurse, QStringLiteral("administrator"), user, kAdmin}, kOld, 0, {}},
            {{QStringLiteral("sql"), d, select, user, kNurse}, QStringLiteral("Kainourgios99"), 0, QStringLiteral("0")},
            {{QStringLiteral("users"), d, QStringLiteral("remove"), kNurse, user, kAdmin}, kOld, 0, {}},
            {{QStringLiteral("check"), d, user, kNurse}, QStringLiteral("Kainourgios99"), 1, QStringLiteral("Λανθασμένο όνομα χρήστη")},
            {{QStringLiteral("sql"), d, select, user, kAdmin}, code, 0, QStringLiteral("0")},
        };
        for (const Step &s : steps) {
            const ToolRun r = runTool(s.args, 300000, s.password);
            QVERIFY2(r.code == s.code && (r.out + r.err).contains(s.says), qPrintable(s.args.join(u' ') + QStringLiteral(": ") + r.out + r.err));
        }

        QTemporaryDir server;
        QFile conf(server.filePath(QStringLiteral("server.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        // A server's users are its logins: the tool asks the server, and says so when it cannot.
        conf.write("host=127.0.0.1\nport=9\ndatabase=iatreio\nuser=molarix\n");
        conf.close();
        const ToolRun r = runTool({QStringLiteral("users"), server.path(), QStringLiteral("list"), user, kAdmin});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("Δεν έγινε σύνδεση με τον διακομιστή 127.0.0.1")), qPrintable(r.err));
    }
};

MOLARIX_TEST(DbToolUsersTest)
#include "test_users.moc"
