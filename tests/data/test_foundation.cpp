#include "data/practice/appstate.h"
#include "data/db/bulkvfs.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/helpers.h"
#include "data/db/regional.h"
#include "data/practice/schema.h"
#include "data/practice/schemaversion.h"
#include "gui/messages.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>
#include <sqlite3.h>

namespace {
QString literal(const QString &typed)
{
    QString s = typed;
    SqlDateLiteral(s);
    return s;
}
}

class HelpersTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0))); }
    void cleanup() { Clock::reset(); }

    void dateLiteral_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full") << "28/12/2007"
                              << "#12/28/2007#";
        QTest::newRow("no leading zeros") << "5/3/2008"
                                          << "#3/5/2008#";
        QTest::newRow("leading zeros") << "05/03/2008"
                                       << "#3/5/2008#";
        QTest::newRow("month first out") << "12/1/2008"
                                         << "#1/12/2008#";
        QTest::newRow("millennium") << "1/1/2000"
                                    << "#1/1/2000#";
        QTest::newRow("two-digit year") << "28/12/07"
                                        << "#12/28/2007#";
        QTest::newRow("window low end") << "1/1/59"
                                        << "#1/1/1959#";
        QTest::newRow("window high end") << "1/1/58"
                                         << "#1/1/2058#";
        QTest::newRow("one-digit year") << "1/1/9"
                                        << "#1/1/2009#";
        QTest::newRow("two parts") << "28/12"
                                   << "#12/28/2009#";
        QTest::newRow("trailing separator") << "28/12/"
                                            << "#12/28/2009#";
        QTest::newRow("blanks") << "  28 / 12 / 2007 "
                                << "#12/28/2007#";
        QTest::newRow("leap day") << "29/2/2008"
                                  << "#2/29/2008#";
        QTest::newRow("30 feb") << "31/02/2008"
                                << "ERROR";
        QTest::newRow("no leap") << "29/2/2009"
                                 << "ERROR";
        QTest::newRow("month 13") << "13/13/2008"
                                  << "ERROR";
        QTest::newRow("day 0") << "0/1/2008"
                               << "ERROR";
        QTest::newRow("hyphens") << "28-12-2007"
                                 << "ERROR";
        QTest::newRow("year first") << "2007/12/28"
                                    << "ERROR";
        QTest::newRow("with time") << "28/12/2007 10:30"
                                   << "ERROR";
        QTest::newRow("word") << "αύριο"
                              << "ERROR";
        QTest::newRow("empty") << ""
                               << "ERROR";
        QTest::newRow("one number") << "28"
                                    << "ERROR";
        QTest::newRow("year 0") << "1/1/0000"
                                << "ERROR";
    }
    void dateLiteral()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QCOMPARE(literal(typed), expected);
    }

    void dateWindowFollowsToday()
    {
        Clock::setNow(QDateTime(QDate(2040, 1, 1), QTime(0, 0)));
        QCOMPARE(literal("1/1/90"), QStringLiteral("#1/1/1990#"));
        QCOMPARE(literal("1/1/89"), QStringLiteral("#1/1/2089#"));
        QCOMPARE(literal("1/1/91"), QStringLiteral("#1/1/1991#"));
        QCOMPARE(literal("3/4"), QStringLiteral("#4/3/2040#"));
    }

    // A stamp is the local time; the zone's offset, kept for a minute,
    // follows the clock change at the minute it happens.
    void stampsFollowTheClockChange()
    {
        const QByteArray saved = qgetenv("TZ");
        auto restore = qScopeGuard([&] {
            if (saved.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", saved);
            tzset();
        });
        qputenv("TZ", "Asia/Nicosia");
        tzset();
        const struct {
            const char *utc, *local;
        } cases[] = {
            {"2026-03-29T00:59:59.500Z", "2026-03-29 02:59:59"},
            {"2026-03-29T01:00:00Z", "2026-03-29 04:00:00"},
            {"2026-03-29T01:00:30Z", "2026-03-29 04:00:30"},
            {"2026-10-25T00:59:59Z", "2026-10-25 03:59:59"},
            {"2026-10-25T01:00:00Z", "2026-10-25 03:00:00"},
            {"2026-12-31T22:00:00Z", "2027-01-01 00:00:00"},
            {"2028-02-29T21:59:59.999Z", "2028-02-29 23:59:59"},
            {"1969-12-31T21:30:00Z", "1969-12-31 23:30:00"},
        };
        for (const auto &c : cases) {
            const qint64 ms = QDateTime::fromString(QLatin1String(c.utc), Qt::ISODateWithMs).toMSecsSinceEpoch();
            QCOMPARE(Clock::stampAt(ms), QLatin1String(c.local));
        }
    }

    void specialChars_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("greek surname") << "Παπαδόπουλος" << true;
        QTest::newRow("latin surname") << "Smith" << true;
        QTest::newRow("date") << "12/05/2008" << true;
        QTest::newRow("two words") << "Άγιος Δομέτιος" << true;
        QTest::newRow("digits") << "2009" << true;
        QTest::newRow("apostrophe") << "Ο'Νιλ" << false;
        QTest::newRow("hyphen") << "Παπα-Δημητρίου" << false;
        QTest::newRow("comma amount") << "50,5" << false;
        QTest::newRow("point amount") << "12.5" << false;
        QTest::newRow("low line") << "a_b" << false;
        QTest::newRow("at sign") << "a@b" << false;
        QTest::newRow("parenthesis") << "(x" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("quote") << "say \"hi\"" << false;
        // A NUL would cut the statement or the key short.
        QTest::newRow("nul inside") << QStringLiteral("Παπα") + QChar(0) + QStringLiteral("δόπουλος") << false;
        QTest::newRow("nul alone") << QString(QChar(0)) << false;
    }
    void specialChars()
    {
        QFETCH(QString, text);
        QFETCH(bool, allowed);
        QCOMPARE(HasNoSpecialChars(text), allowed);
    }

    void everyForbiddenCharacterAndNoOther()
    {
        const QString forbidden = QStringLiteral("!\"#$%&'()*+,-.:;<=>?@[\\]^_`{|}~");
        int refused = 0;
        for (char16_t c = 0x20; c < 0x7f; ++c) {
            const bool ok = HasNoSpecialChars(QString(QChar(c)));
            QCOMPARE(ok, !forbidden.contains(QChar(c)));
            refused += ok ? 0 : 1;
        }
        QCOMPARE(refused, 31);
    }

    void amounts()
    {
        QCOMPARE(Regional::parseAmount("12,5").value(), 12.5);
        QCOMPARE(Regional::parseAmount("12.5").value(), 12.5);
        QVERIFY(!Regional::parseAmount("1e2"));
        QCOMPARE(Regional::parseAmount(" 50 ").value(), 50.0);
        QVERIFY(!Regional::parseAmount("1.000,50"));
        QVERIFY(!Regional::parseAmount("1,000,50"));
        QVERIFY(!Regional::parseAmount("abc"));
        QVERIFY(!Regional::parseAmount(""));
        QCOMPARE(Regional::formatAmount(12.5), QStringLiteral("12,50"));
        QCOMPARE(Regional::formatAmount(-0.001), QStringLiteral("0,00"));
        QCOMPARE(Regional::formatNumber(29.2637), QStringLiteral("29,2637"));
        QCOMPARE(Regional::formatDateTime(QDateTime(QDate(2008, 3, 5), QTime(0, 0))), QStringLiteral("5/3/2008"));
        QCOMPARE(Regional::formatDateTime(QDateTime(QDate(2008, 3, 5), QTime(9, 7, 3))),
                 QStringLiteral("5/3/2008 09:07:03"));
    }

    // One rule for every typed amount (receipts, expenses): what is refused
    // says why in Greek.
    void amountRefusalsNameTheirReason_data()
    {
        const QString digits = QStringLiteral("Γράψτε το ποσό μόνο με ψηφία και κόμμα για τα δεκαδικά, π.χ. 1500,00");
        const QString comma = QStringLiteral("Γράψτε το ποσό με κόμμα για τα δεκαδικά, π.χ. 1500,00");
        const QString exponent = QStringLiteral("Γράψτε το ποσό χωρίς εκθέτη (e), π.χ. 1500,00");
        const QString cents = QStringLiteral("Το ποσό έχει το πολύ δύο δεκαδικά, π.χ. 1500,00");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("thousands point") << "1.500" << comma;
        QTest::newRow("thousands comma") << "1,500" << comma;
        QTest::newRow("three after comma") << "12,345" << comma;
        QTest::newRow("greek thousands") << "1.000,50" << comma;
        QTest::newRow("english thousands") << "1,000.50" << comma;
        QTest::newRow("exponent") << "1,5e2" << exponent;
        QTest::newRow("signed exponent") << "1E+2" << exponent;
        QTest::newRow("huge exponent") << "1e999" << exponent;
        QTest::newRow("four decimals") << "0,0001" << cents;
        QTest::newRow("letters") << "πενήντα" << digits;
        QTest::newRow("currency sign") << "50€" << digits;
        QTest::newRow("not a number") << "nan" << digits;
        QTest::newRow("sign only") << "-" << digits;
        QTest::newRow("too long to be a number") << QString(400, u'9') << QStringLiteral("Το ποσό είναι πολύ μεγάλο.");
        QTest::newRow("read, two decimals") << "1500,00"
                                            << "";
        QTest::newRow("read, point decimal") << "12.5"
                                             << "";
    }
    void amountRefusalsNameTheirReason()
    {
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        const Regional::AmountReading r = Regional::readAmount(typed);
        QCOMPARE(r.refusal, refusal);
        QCOMPARE(r.value.has_value(), refusal.isEmpty());
    }

    void errorReportAddsFullStop()
    {
        QCOMPARE(Messages::errorText("Could not find file"), QStringLiteral("Could not find file."));
        QCOMPARE(Messages::errorText("Done."), QStringLiteral("Done."));
        QCOMPARE(Messages::errorText("path '/x'"), QStringLiteral("path '/x'"));   // ' sorts below '.'
        QCOMPARE(Messages::errorText("ends in a slash/"), QStringLiteral("ends in a slash/."));
    }
};

class ConnectionTest : public QObject {
    Q_OBJECT
private slots:
    void connectionStringForm()
    {
        const QString cs = BuildConnectionString(QDir::toNativeSeparators("/srv/practice"));
        QCOMPARE(cs, QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=\"") + QDir::toNativeSeparators("/srv/practice/data.mdb") + QStringLiteral("\";Persist Security Info=True;Jet OLEDB:Database Password="));
        const ConnectionInfo info = ParseConnectionString(cs);
        QCOMPARE(info.dataSource, QDir::toNativeSeparators("/srv/practice/data.mdb"));
        // No key in the program: connections open with the one the access check derived.
        QVERIFY(info.password.isEmpty());
    }

    void newDatabaseIsEncryptedAndComplete()
    {
        TempPractice p;
        QFile f(p.path() + "/data.mdb");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!f.read(16).startsWith("SQLite format 3"));
        for (const QString &t : Schema::tableNames())
            QVERIFY2(p.conn().scalarNative("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?", {t}).toInt() == 1,
                     qPrintable(t));
        QCOMPARE(p.conn().scalarNative("SELECT count(*) FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite%'").toInt(),
                 int(Schema::tableNames().size() + SchemaVersion::addedTables().size()));
        QCOMPARE(p.conn().scalarNative("SELECT * FROM SECURITY").toString(), QString::fromLatin1(Schema::FirstPassword));
        // RANTEBOU: the date, then the 28 slots in order.
        DbStatement st(p.conn(), "SELECT * FROM RANTEBOU");
        QCOMPARE(st.columnCount(), 29);
        QCOMPARE(st.columnName(0), QStringLiteral("HMEROMHNIA"));
        QCOMPARE(st.columnName(1), QStringLiteral("0800-0830"));
        QCOMPARE(st.columnName(28), QStringLiteral("2130-2200"));
    }

    void refusals()
    {
        TempPractice p;
        // An existing data.mdb is never overwritten.
        const QByteArray before = [&] { QFile f(p.path() + "/data.mdb"); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        QVERIFY_THROWS_EXCEPTION(DbError, Schema::createDatabase(p.path(), QStringLiteral("molarix")));
        QFile f(p.path() + "/data.mdb");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QVERIFY_THROWS_EXCEPTION(DbError, Schema::createDatabase(p.path() + "/missing", QStringLiteral("molarix")));
        QVERIFY(!QFile::exists(p.path() + "/missing/data.mdb"));
    }

    void openFailuresNameTheFile()
    {
        QTemporaryDir dir;
        DbConnection c;
        c.setConnectionString(BuildConnectionString(dir.path()));
        try {
            c.open();
            QFAIL("a missing data.mdb opened");
        } catch (const DbError &e) {
            QVERIFY(e.message().contains("data.mdb"));
        }
        QVERIFY(!QFile::exists(dir.path() + "/data.mdb"));   // never created

        QFile junk(dir.path() + "/data.mdb");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        QVERIFY_THROWS_EXCEPTION(DbError, c.open());
        QVERIFY(!c.isOpen());
    }

    void wrongKeyIsRefused()
    {
        TempPractice p;
        DbConnection c;
        c.setConnectionString(QStringLiteral("Data Source=%1/data.mdb;Jet OLEDB:Database Password=WRONG").arg(p.path()));
        QVERIFY_THROWS_EXCEPTION(DbError, c.open());
    }

    void onlyAOneThreadConnectionGoesWithoutItsLock()
    {
        TempPractice p;
        QVERIFY(sqlite3_db_mutex(p.conn().handle()) != nullptr);
        DbConnection copy;
        copy.setOneThreadOnly();
        copy.setConnectionString(BuildConnectionString(p.path()));
        copy.open();
        QVERIFY(sqlite3_db_mutex(copy.handle()) == nullptr);
        QCOMPARE(copy.scalarNative("SELECT * FROM SECURITY").toString(), QString::fromLatin1(Schema::FirstPassword));
    }

    // The bulk file layer gathers writes and reads ahead: a file changed
    // through it in order and out of order, past many chunks and shrunk
    // again, reads the same through the system's layer, and each side sees
    // the other's commits.
    void bulkFileLayerKeepsTheFileAsWritten()
    {
        QTemporaryDir dir;
        const QByteArray path = dir.filePath(QStringLiteral("bulk.db")).toUtf8();
        sqlite3 *bulk = nullptr, *plain = nullptr;
        QCOMPARE(sqlite3_open_v2(path.constData(), &bulk, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, BulkVfs::name()), SQLITE_OK);
        QCOMPARE(sqlite3_open_v2(path.constData(), &plain, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        auto run = [](sqlite3 *db, const char *sql) {
            QString answer;
            char *err = nullptr;
            const int rc = sqlite3_exec(
                db, sql, [](void *out, int, char **values, char **) {
                    *static_cast<QString *>(out) += QString::fromUtf8(values[0] ? values[0] : "NULL");
                    return 0; }, &answer, &err);
            if (rc != SQLITE_OK)
                answer = QStringLiteral("error: ") + QString::fromUtf8(err);
            sqlite3_free(err);
            return answer;
        };
        const char *digest = "SELECT count(*) || ':' || total(id * length(v)) || ':' || max(v) FROM t";
        // Unsynced, as a copy is written: the commit reaches the file when it unlocks.
        run(bulk, "PRAGMA synchronous=OFF");
        run(bulk, "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT); INSERT INTO t VALUES (1, 'a'), (2, 'b')");
        QCOMPARE(run(plain, digest), QStringLiteral("2:3.0:b"));
        QCOMPARE(run(bulk, digest), QStringLiteral("2:3.0:b"));
        run(plain, "UPDATE t SET v = 'cc' WHERE id = 2");
        QCOMPARE(run(bulk, digest), QStringLiteral("2:5.0:cc"));
        run(bulk, "WITH RECURSIVE n(i) AS (SELECT 3 UNION ALL SELECT i + 1 FROM n WHERE i < 6000)"
                  " INSERT INTO t SELECT i, printf('%0500d', i) FROM n");
        const QString written = run(bulk, digest);
        QVERIFY(written.startsWith(QStringLiteral("6000:")));
        QCOMPARE(run(plain, digest), written);
        run(bulk, "UPDATE t SET v = printf('%0700d', id * 3) WHERE id % 7 = 0");
        QCOMPARE(run(plain, digest), run(bulk, digest));
        run(plain, "UPDATE t SET v = 'x' WHERE id % 11 = 0");
        QCOMPARE(run(bulk, digest), run(plain, digest));
        run(bulk, "DELETE FROM t WHERE id > 1000; VACUUM");
        QCOMPARE(run(plain, digest), run(bulk, digest));
        QCOMPARE(run(plain, "PRAGMA integrity_check"), QStringLiteral("ok"));
        sqlite3_close(bulk);
        sqlite3_close(plain);
    }

    void refusedStatementIsDbError()
    {
        TempPractice p;
        QVERIFY_THROWS_EXCEPTION(DbError, p.exec("SELECT * FROM NO_SUCH_TABLE"));
        QVERIFY_THROWS_EXCEPTION(DbError, p.exec("UPDATE STOIXEIA_PELATH SET NO_COLUMN=1"));
    }

    void defaultsAndReceiptNumbersAreUnique()
    {
        TempPractice p;
        p.exec("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,ONOMA,EPWNYMO,PARALHPTHS,POSO,TAMEIO,POSO_CY,PERIGRAFH) "
               "VALUES(7,'Άννα','Κ','Άννα Κ',50,'',29.2637,'x')");
        QCOMPARE(p.conn().scalarNative("SELECT EGKYRH FROM APODEIKSEIS").toInt(), -1);
        QCOMPARE(p.conn().scalarNative("SELECT HMEROMHNIA FROM APODEIKSEIS").toString(),
                 QDate::currentDate().toString(Qt::ISODate));
        // A second copy of the program that read the same counter is refused.
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 p.exec("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,ONOMA,EPWNYMO,PARALHPTHS,POSO,TAMEIO,POSO_CY,PERIGRAFH) "
                                        "VALUES(7,'Β','Γ','Β Γ',10,'',5.85274,'y')"));
        QCOMPARE(p.count("APODEIKSEIS"), 1);
        p.exec("INSERT INTO EISPRAKSH_PELATH(ID,POSO,PERIGRAFH,TAMEIO,POSO_CY,AR_APODEIKSHS) VALUES(1,50,'x','',29.2637,7)");
        QCOMPARE(p.conn().scalarNative("SELECT HMEROMHNIA FROM EISPRAKSH_PELATH").toString(),
                 QDate::currentDate().toString(Qt::ISODate));
        // One row per day in the appointment book.
        p.exec("INSERT INTO RANTEBOU(HMEROMHNIA) VALUES(#3/5/2008#)");
        QVERIFY_THROWS_EXCEPTION(DbError, p.exec("INSERT INTO RANTEBOU(HMEROMHNIA) VALUES(#3/5/2008#)"));
    }

    void transactionRollsBackUnlessCommitted()
    {
        TempPractice p;
        try {
            DbTransaction tx(p.conn());
            p.exec("INSERT INTO LAST_APODEIKSH([LAST]) VALUES(5)");
            throw DbError("fail in the middle");
        } catch (const DbError &) {
        }
        QCOMPARE(p.count("LAST_APODEIKSH"), 0);
        {
            DbTransaction tx(p.conn());
            p.exec("INSERT INTO LAST_APODEIKSH([LAST]) VALUES(5)");
            tx.commit();
        }
        QCOMPARE(p.count("LAST_APODEIKSH"), 1);
    }

    void twoConnectionsWaitForEachOther()
    {
        TempPractice p;
        DbConnection other;
        other.setConnectionString(DbConnectionString);
        other.setCommandTimeout(5);
        other.open();
        {
            DbTransaction tx(p.conn());
            p.exec("INSERT INTO LAST_APODEIKSH([LAST]) VALUES(1)");
            // The other connection still reads the committed state meanwhile.
            QCOMPARE(other.scalarNative("SELECT count(*) FROM LAST_APODEIKSH").toInt(), 0);
            tx.commit();
        }
        other.execute("UPDATE LAST_APODEIKSH SET [LAST]=[LAST]+1");
        QCOMPARE(p.conn().scalarNative("SELECT \"LAST\" FROM LAST_APODEIKSH").toInt(), 2);
    }
};

MOLARIX_TEST(HelpersTest)
MOLARIX_TEST(ConnectionTest)
#include "test_foundation.moc"
