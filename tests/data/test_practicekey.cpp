#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/db/connection.h"
#include "data/db/jetsql.h"
#include "data/practice/practicefile.h"
#include "data/db/practicekey.h"
#include "data/practice/session.h"
#include "data/practice/schema.h"
#include "data/practice/security.h"
#include "data/db/clock.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A new practice folder keyed with the given password.
struct Practice {
    QTemporaryDir dir;
    QString file;
    explicit Practice(const QString &password)
    {
        Schema::createDatabase(dir.path(), password);
        file = dir.filePath(QStringLiteral("data.mdb"));
        AppDirectory = dir.path();
        DbConnectionString = BuildConnectionString(dir.path());
    }
};

QVariant scalarWithSessionKey(const QString &sql)
{
    DbConnection c;
    c.setConnectionString(DbConnectionString);
    c.open();
    return c.scalarNative(sql);
}

// A file as every earlier version made it: SQLCipher's default page size
// and rounds, keyed with the fixed key; here the schema of a new practice
// and its rows, exported into that form.
void makeLegacyCopy(const QString &source, const QString &password, const QString &target)
{
    const QByteArray key = PracticeKey::derive(password, PracticeKey::readSalt(source));
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(source.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
    QCOMPARE(PracticeKey::keyWithRaw(db, key), SQLITE_OK);
    SqlFunctions::registerAll(db);
    const QByteArray sql = QStringLiteral("ATTACH DATABASE '%1' AS legacy KEY '%2'; SELECT sqlcipher_export('legacy'); DETACH DATABASE legacy;")
                               .arg(target, QLatin1String(PracticeFile::LegacyKey))
                               .toUtf8();
    char *err = nullptr;
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &err);
    const QString msg = QString::fromUtf8(err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(msg));
}

}   // namespace

// The password is the key: new files, the access password, old fixed-key
// files, changes of the password.
class PracticeKeyTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        Clock::reset();
        Session::current().signOut();
    }

    void newFileOpensWithThePasswordAsSqlcipherDerivesIt()
    {
        Practice p(QStringLiteral("Δόντι7"));
        const QByteArray bytes = bytesOf(p.file);
        QCOMPARE(bytes.size() % PracticeKey::PageSize, 0);
        QVERIFY(PracticeKey::looksEncrypted(p.file));

        // The derivation of the program gives the key SQLCipher made the file with.
        DbConnection raw;
        raw.setConnectionString(QStringLiteral("Data Source=") + p.file);
        raw.setRawKey(PracticeKey::derive(QStringLiteral("Δόντι7"), bytes.left(16)));
        raw.open();
        QCOMPARE(raw.scalarNative(QStringLiteral("SELECT * FROM SECURITY")).toString(), QStringLiteral("Δόντι7"));
        const int tables = raw.scalarNative(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table'")).toInt();
        QVERIFY(tables >= Schema::tableNames().size());
        raw.close();
        raw.setRawKey(PracticeKey::derive(QStringLiteral("δόντι7"), bytes.left(16)));
        QVERIFY_THROWS_EXCEPTION(DbError, raw.open());

        // Without the access check there is no key at all.
        DbConnection none;
        none.setConnectionString(DbConnectionString);
        QVERIFY_THROWS_EXCEPTION(DbError, none.open());
        QVERIFY(!PracticeFile::isLegacy(p.file));

        // The sqlcipher tool opens it with the password and the documented settings.
        const QString cli = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
        if (cli.isEmpty())
            QSKIP("the sqlcipher tool is not installed");
        auto run = [&](const QString &password) {
            QProcess proc;
            proc.start(cli, {p.file});
            proc.write(QStringLiteral("PRAGMA key='%1'; PRAGMA cipher_page_size=4096; PRAGMA kdf_iter=256000;\n"
                                      "SELECT count(*) || '/' || (SELECT count(*) FROM sqlite_master WHERE type='table') FROM SECURITY;\n")
                           .arg(password)
                           .toUtf8());
            proc.closeWriteChannel();
            proc.waitForFinished(60000);
            return QString::fromUtf8(proc.readAllStandardOutput()).trimmed();
        };
        QCOMPARE(run(QStringLiteral("Δόντι7")), QStringLiteral("1/%1").arg(tables));
        QVERIFY(run(QStringLiteral("ΔΌΝΤΙ7")).isEmpty());
    }

    void accessPasswordRightWrongCaseAndAfterChange()
    {
        Practice p(QStringLiteral("Molar1"));
        using PracticeFile::Access;
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("molar1")).access, Access::Refused);
        QVERIFY(!Session::current().hasKey());
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("Molar")).access, Access::Refused);
        QCOMPARE(PracticeFile::unlock(p.file, QString()).access, Access::Refused);
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("Molar1")).access, Access::Granted);
        QVERIFY(Session::current().hasKey());

        // A window's connection left open during the change goes on with the new key.
        DbConnection window;
        window.setConnectionString(DbConnectionString);
        window.open();
        DbConnection changer;
        changer.setConnectionString(DbConnectionString);
        changer.open();
        window.execute(QStringLiteral("INSERT INTO SHMEIWSEIS (TITLOS) VALUES ('πριν')"));
        PracticeFile::changePassword(changer, QStringLiteral("Γόμφιος 2"));
        QCOMPARE(changer.scalarNative(QStringLiteral("SELECT * FROM SECURITY")).toString(), QStringLiteral("Γόμφιος 2"));
        window.execute(QStringLiteral("INSERT INTO SHMEIWSEIS (TITLOS) VALUES ('μετά')"));
        QCOMPARE(window.scalarNative(QStringLiteral("SELECT count(*) FROM SHMEIWSEIS")).toInt(), 2);
        QCOMPARE(scalarWithSessionKey(QStringLiteral("SELECT * FROM SECURITY")).toString(), QStringLiteral("Γόμφιος 2"));
        window.close();
        changer.close();

        // The next start: only the new password opens it.
        Session::current().signOut();
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("Molar1")).access, Access::Refused);
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("γόμφιος 2")).access, Access::Refused);
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("Γόμφιος 2")).access, Access::Granted);
        QCOMPARE(scalarWithSessionKey(QStringLiteral("SELECT count(*) FROM SHMEIWSEIS")).toInt(), 2);
    }

    void passwordThatSecurityNoLongerHoldsIsRefused()
    {
        Practice p(QStringLiteral("molarix"));
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("molarix")).access, PracticeFile::Access::Granted);
        DbConnection c;
        c.setConnectionString(DbConnectionString);
        c.open();
        c.execute(QStringLiteral("DELETE FROM SECURITY"));
        c.close();
        Session::current().signOut();
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("molarix")).access, PracticeFile::Access::Refused);
        QVERIFY(!Session::current().hasKey());
    }

    void failedChangeKeepsTheOldPassword()
    {
        Practice p(QStringLiteral("molarix"));
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("molarix")).access, PracticeFile::Access::Granted);
        DbConnection writer;   // another copy of the program in the middle of a save
        writer.setConnectionString(DbConnectionString);
        writer.open();
        DbConnection changer;
        changer.setConnectionString(DbConnectionString);
        changer.setCommandTimeout(1);
        changer.open();
        {
            DbTransaction busy(writer);
            QVERIFY_THROWS_EXCEPTION(DbError, PracticeFile::changePassword(changer, QStringLiteral("new1")));
        }
        QVERIFY(!changer.isOpen());
        writer.close();
        Session::current().signOut();
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("new1")).access, PracticeFile::Access::Refused);
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("molarix")).access, PracticeFile::Access::Granted);
        QCOMPARE(scalarWithSessionKey(QStringLiteral("SELECT * FROM SECURITY")).toString(), QStringLiteral("molarix"));

        // Passwords the access check could never take are refused before anything changes.
        DbConnection c;
        c.setConnectionString(DbConnectionString);
        c.open();
        for (const QString &bad : {QString(), QStringLiteral(" lead"), QStringLiteral("a'b"), QStringLiteral("a;b")})
            QVERIFY_THROWS_EXCEPTION(DbError, PracticeFile::changePassword(c, bad));
        QVERIFY_THROWS_EXCEPTION(DbError, Schema::createDatabase(p.dir.filePath(QStringLiteral("sub")), QStringLiteral("x.y")));
    }

    // Texts that do not come back from the file as typed: half of a
    // surrogate pair becomes "?" on its way to UTF-8, a NUL ends the text.
    // Neither may key a file, and the old password must still open it.
    void passwordsThatCannotBeTypedBackAreRefused_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("lone high surrogate") << QString(QChar(0xD800)) + QStringLiteral("x");
        QTest::newRow("lone low surrogate") << QStringLiteral("ab") + QChar(0xDC01);
        QTest::newRow("NUL inside") << QStringLiteral("ab") + QChar(0) + QStringLiteral("cd");
    }
    void passwordsThatCannotBeTypedBackAreRefused()
    {
        QFETCH(QString, password);
        Practice p(QStringLiteral("molarix"));
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("molarix")).access, PracticeFile::Access::Granted);
        const QByteArray before = bytesOf(p.file);
        DbConnection c;
        c.setConnectionString(DbConnectionString);
        c.open();
        try {
            Security::changePassword(c, password);
            QFAIL("the change was made");
        } catch (const DbError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("μισό σύμβολο ή μηδενικό χαρακτήρα")), qPrintable(e.message()));
        }
        c.close();
        QCOMPARE(bytesOf(p.file), before);
        Session::current().signOut();
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("molarix")).access, PracticeFile::Access::Granted);
        // The first-run window makes a practice by the same rule.
        QVERIFY_THROWS_EXCEPTION(DbError, Schema::createDatabase(p.dir.filePath(QStringLiteral("sub")), password));
        QVERIFY(!QFile::exists(p.dir.filePath(QStringLiteral("sub/data.mdb"))));
    }

    // A change of password leaves every older copy openable only with the
    // old one: a copy under the new key is made at once, and a copy of the
    // day made before the change no longer counts as the day's.
    void aPasswordChangeIsBackedUpUnderTheNewKey()
    {
        Practice p(QStringLiteral("Κλειδί1"));
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("Κλειδί1")).access, PracticeFile::Access::Granted);
        DbConnection c;
        c.setConnectionString(DbConnectionString);
        c.open();
        Clock::setNow(QDateTime(QDate(2026, 12, 9), QTime(9, 15)));
        const QString morning = p.dir.filePath(QStringLiteral("morning/") + Backup::automaticName(Clock::now()));
        Backup::makeVerified(c, morning);
        Backup::makeAutomatic(c, p.dir.path());
        QVERIFY(!Backup::dueToday(p.dir.path(), QDateTime(QDate(2026, 12, 9), QTime(19, 0))));

        Clock::setNow(QDateTime(QDate(2026, 12, 9), QTime(12, 40)));
        const Security::Changed changed = Security::changePassword(c, QStringLiteral("Νέο3"));
        Clock::reset();
        QVERIFY2(!changed.backup.isEmpty(), qPrintable(changed.backupFailure));
        QCOMPARE(changed.backup, Backup::newest(p.dir.path()));
        Backup::verifyFile(changed.backup, c.credentials());   // the new key opens it
        QVERIFY(!Backup::dueToday(p.dir.path(), QDateTime(QDate(2026, 12, 9), QTime(19, 0))));
        // Had that copy failed, the morning's would be the day's newest.
        QVERIFY(QFile::remove(changed.backup));
        QVERIFY(QFile::copy(morning, QDir(Backup::folder(p.dir.path())).filePath(QFileInfo(morning).fileName())));
        QVERIFY(Backup::dueToday(p.dir.path(), QDateTime(QDate(2026, 12, 9), QTime(19, 0))));
        c.close();

        // The copy of the morning says which password it needs.
        const ToolRun r = runTool({QStringLiteral("restore"), p.dir.path(), morning, QStringLiteral("--yes")}, 600000,
                                  QStringLiteral("Νέο3"));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("ανοίγει με τον κωδικό που ίσχυε στις 09/12/2026 09:15, "
                                               "πριν αλλάξει ο κωδικός στις 09/12/2026 12:40.")),
                 qPrintable(r.err));
    }

    void notADatabaseIsNotAWrongPassword_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("Ραντεβού Δευτέρα 10:00\n").repeated(200);
        QTest::newRow("page of one letter") << QByteArray(4096, 'x');
        QByteArray plain;
        {
            QTemporaryDir d;
            sqlite3 *db = nullptr;
            const QString f = d.filePath(QStringLiteral("plain.db"));
            sqlite3_open(f.toUtf8().constData(), &db);
            sqlite3_exec(db, "CREATE TABLE SECURITY (PASSWORD TEXT); INSERT INTO SECURITY VALUES ('molarix');", nullptr,
                         nullptr, nullptr);
            sqlite3_close(db);
            plain = bytesOf(f);
        }
        QTest::newRow("plain SQLite") << plain;
    }
    void notADatabaseIsNotAWrongPassword()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("data.mdb"));
        writeFile(file, content);
        try {
            PracticeFile::unlock(file, QStringLiteral("molarix"));
            QFAIL("a file that is no database was opened");
        } catch (const DbError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("δεν είναι βάση δεδομένων του Molarix")), qPrintable(e.message()));
        }
        QCOMPARE(bytesOf(file), content);

        // Random bytes look like an encrypted file: only the password is wrong.
        QByteArray noise(8192, '\0');
        for (char &c : noise)
            c = char(QRandomGenerator::global()->bounded(256));
        writeFile(file, noise);
        QCOMPARE(PracticeFile::unlock(file, QStringLiteral("molarix")).access, PracticeFile::Access::Refused);
    }

    void oldFixedKeyFileMovesToTheTypedPassword()
    {
        Practice p(QStringLiteral("Παλιός1"));
        PracticeFile::unlock(p.file, QStringLiteral("Παλιός1"));
        {
            DbConnection c;
            c.setConnectionString(DbConnectionString);
            c.open();
            DbTransaction tx(c);
            c.execute(QStringLiteral("INSERT INTO STOIXEIA_PELATH (ONOMA, EPWNYMO, HMEROMHNIA_GENNHSEWS) "
                                     "VALUES ('Ελένη', 'Ζαχαριάδου', #3/25/1970#)"));
            c.execute(QStringLiteral("INSERT INTO EPISKEPSEIS (ID, HMEROMHNIA, AITIA) VALUES (1, #5/2/2008#, 'Σφράγισμα')"));
            tx.commit();
        }
        Session::current().signOut();
        QTemporaryDir legacyDir;
        const QString legacy = legacyDir.filePath(QStringLiteral("data.mdb"));
        makeLegacyCopy(p.file, QStringLiteral("Παλιός1"), legacy);
        QVERIFY(PracticeFile::isLegacy(legacy));
        const QByteArray before = bytesOf(legacy);
        QCOMPARE(before.size() % 1024, 0);
        DbConnectionString = BuildConnectionString(legacyDir.path());

        // A wrong password changes nothing and leaves no copy behind.
        QCOMPARE(PracticeFile::unlock(legacy, QStringLiteral("παλιός1")).access, PracticeFile::Access::Refused);
        QCOMPARE(bytesOf(legacy), before);
        QCOMPARE(QDir(legacyDir.path()).entryList(QDir::Files).size(), 1);

        const PracticeFile::Unlocked u = PracticeFile::unlock(legacy, QStringLiteral("Παλιός1"));
        QCOMPARE(u.access, PracticeFile::Access::Moved);
        QCOMPARE(bytesOf(u.backup), before);
        QVERIFY(PracticeFile::isLegacy(u.backup));
        QVERIFY(!PracticeFile::isLegacy(legacy));
        QCOMPARE(bytesOf(legacy).size() % PracticeKey::PageSize, 0);
        QCOMPARE(scalarWithSessionKey(QStringLiteral("SELECT EPWNYMO || '/' || HMEROMHNIA_GENNHSEWS FROM STOIXEIA_PELATH")).toString(),
                 QStringLiteral("Ζαχαριάδου/1970-03-25"));
        QCOMPARE(scalarWithSessionKey(QStringLiteral("SELECT AITIA FROM EPISKEPSEIS")).toString(), QStringLiteral("Σφράγισμα"));
        QCOMPARE(scalarWithSessionKey(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));

        // Moved once: the next start opens it with the password like any new file.
        Session::current().signOut();
        QCOMPARE(PracticeFile::unlock(legacy, QStringLiteral("Παλιός1")).access, PracticeFile::Access::Granted);
        QCOMPARE(QDir(legacyDir.path()).entryList(QDir::Files).size(), 2);
    }

    void fileBytesHoldNoCustomerName()
    {
        Practice p(QStringLiteral("molarix"));
        PracticeFile::unlock(p.file, QStringLiteral("molarix"));
        const QString names[] = {QStringLiteral("Παπαδημητρακόπουλος"), QStringLiteral("Worthington")};
        {
            DbConnection c;
            c.setConnectionString(DbConnectionString);
            c.open();
            for (const QString &n : names)
                for (int i = 0; i < 50; ++i)
                    c.executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO, ISTORIKO) VALUES (?, ?)"),
                                    {n, n + QStringLiteral(" ιστορικό")});
            QCOMPARE(c.scalarNative(QStringLiteral("SELECT count(*) FROM STOIXEIA_PELATH")).toInt(), 100);
        }
        const QByteArray bytes = bytesOf(p.file);
        QVERIFY(bytes.size() > 4096);
        for (const QString &n : names) {
            QVERIFY(!bytes.contains(n.toUtf8()));
            QVERIFY(!bytes.contains(QByteArray(reinterpret_cast<const char *>(n.utf16()), n.size() * 2)));
        }
        QVERIFY(!bytes.contains("molarix"));
        QVERIFY(!bytes.contains("STOIXEIA_PELATH"));
    }

    void backupsOpenWithThePasswordInForceWhenMade()
    {
        using PracticeFile::Access;
        Practice p(QStringLiteral("Κλειδί1"));
        QCOMPARE(PracticeFile::unlock(p.file, QStringLiteral("Κλειδί1")).access, Access::Granted);
        const QString before = p.dir.filePath(QStringLiteral("before.mdb"));
        const QString after = p.dir.filePath(QStringLiteral("after.mdb"));
        {
            DbConnection c;
            c.setConnectionString(DbConnectionString);
            c.open();
            c.executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO) VALUES ('Ραφαηλίδη')"));
            Backup::makeVerified(c, before);
            PracticeFile::changePassword(c, QStringLiteral("Νέο3"));
            c.executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO) VALUES ('Τσακίρη')"));
            Backup::makeVerified(c, after);
        }
        // A copy carries the practice file's salt: the same password derives its key.
        QCOMPARE(PracticeKey::readSalt(before), PracticeKey::readSalt(p.file));
        QCOMPARE(PracticeKey::readSalt(after), PracticeKey::readSalt(p.file));
        QVERIFY(!bytesOf(after).contains(QByteArrayLiteral("Τσακίρη")));

        auto customers = [](const QString &file, const QString &password) {
            Session::current().signOut();
            if (PracticeFile::unlock(file, password).access != Access::Granted)
                return -1;
            DbConnection c;
            c.openFile(file, ConnectionInfo());
            return c.scalarNative(QStringLiteral("SELECT count(*) FROM STOIXEIA_PELATH")).toInt();
        };
        QCOMPARE(customers(before, QStringLiteral("Κλειδί1")), 1);
        QCOMPARE(customers(before, QStringLiteral("Νέο3")), -1);
        QCOMPARE(customers(after, QStringLiteral("Νέο3")), 2);
        QCOMPARE(customers(after, QStringLiteral("Κλειδί1")), -1);
        QCOMPARE(customers(after, QStringLiteral("νέο3")), -1);

        // Restoring the older copy brings back its password with its rows.
        const ToolRun wrong = runTool({QStringLiteral("restore"), p.dir.path(), before, QStringLiteral("--yes")}, 600000, QStringLiteral("Νέο3"));
        QCOMPARE(wrong.code, 1);
        QVERIFY2(wrong.err.contains(QStringLiteral("δεν ανοίγει το αντίγραφο")), qPrintable(wrong.err));
        QCOMPARE(customers(p.file, QStringLiteral("Νέο3")), 2);
        const ToolRun r = runTool({QStringLiteral("restore"), p.dir.path(), before, QStringLiteral("--yes")}, 600000, QStringLiteral("Κλειδί1"));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(customers(p.file, QStringLiteral("Νέο3")), -1);
        QCOMPARE(customers(p.file, QStringLiteral("Κλειδί1")), 1);
    }

    void derivationFollowsTheStandard()
    {
        // RFC 6070's PBKDF2-HMAC-SHA1 vector, first 20 bytes of the 32 derived.
        QCOMPARE(PracticeKey::derive(QStringLiteral("password"), QByteArray("salt"), 4096).left(20).toHex(),
                 QByteArray("4b007901b765489abead49d926f721d065a429c1"));
        QVERIFY(PracticeKey::randomSalt() != PracticeKey::randomSalt());
    }
};

MOLARIX_TEST(PracticeKeyTest)
#include "test_practicekey.moc"
