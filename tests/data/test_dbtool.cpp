#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/jetsql.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QString Tool = QStringLiteral(MOLARIX_BINARY_DIR "/molarix-db");
using Run = ToolRun;

// The password reaches the tool in MOLARIX_PASSWORD unless the call says otherwise.
Run tool(const QStringList &args, const QString &password = QStringLiteral("molarix"))
{
    return runTool(args, 300000, password);
}

// Opens a practice folder the way the program does: the password first.
std::unique_ptr<DbConnection> openPractice(const QString &dir, const QString &password = QStringLiteral("molarix"))
{
    return openPracticeDir(dir, password);
}

qlonglong number(DbConnection &c, const QString &sql) { return c.scalarNative(sql).toLongLong(); }

// A name written without its accents and in small letters.
QString folded(const QString &s)
{
    QString out;
    for (QChar ch : s.normalized(QString::NormalizationForm_D))
        if (ch.category() != QChar::Mark_NonSpacing)
            out += ch.toLower();
    return out;
}

int accents(const QString &word)
{
    static const QString withTonos = QString::fromUtf8("άέήίόύώΐΰΆΈΉΊΌΎΏ");
    int n = 0;
    for (QChar ch : word)
        n += withTonos.contains(ch);
    return n;
}

}   // namespace

class DbToolTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_demo;   // one default sample practice, shared by the demo checks
    QDate m_today;
    std::unique_ptr<DbConnection> m_db;

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(Tool), "molarix-db must be built before these tests");
        m_today = QDate::currentDate();
        // The demo practice's password is the known one, and it is printed.
        const Run r = tool({QStringLiteral("demo"), m_demo.path()}, QString());
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QStringLiteral("Κωδικός πρόσβασης: molarix")));
        if (QDate::currentDate() != m_today)
            QSKIP("the day changed while the sample was made");
        m_db = openPracticeDir(m_demo.path());
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("unknown command") << QStringList{"frobnicate", "@"};
        QTest::newRow("create without folder") << QStringList{"create"};
        QTest::newRow("create with two folders") << QStringList{"create", "@", "@"};
        QTest::newRow("sql without statement") << QStringList{"sql", "@"};
        QTest::newRow("demo without folder") << QStringList{"demo", "--customers", "10"};
        QTest::newRow("customers not a number") << QStringList{"demo", "@", "--customers", "many"};
        QTest::newRow("no customers") << QStringList{"demo", "@", "--customers", "0"};
        QTest::newRow("customers missing") << QStringList{"demo", "@", "--customers"};
        QTest::newRow("bad today") << QStringList{"demo", "@", "--today", "5/3/2008"};
        QTest::newRow("unknown option") << QStringList{"demo", "@", "--fast"};
        QTest::newRow("password file not named") << QStringList{"check", "@", "--password-file"};
        QTest::newRow("password twice") << QStringList{"check", "@", "--password", "x", "--password-file", "-"};
    }

    // The password kept off the command line: the first line of a file, or
    // of standard input for "-", with nothing in the environment.
    void passwordFromAFileOrStandardInput_data()
    {
        QTest::addColumn<QString>("source");   // a file written with fileText, "-", or a missing file
        QTest::addColumn<QByteArray>("fileText");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("code");
        QTest::newRow("file") << "file" << QByteArray("molarix\nsecond line\n") << QByteArray() << 0;
        QTest::newRow("file with CRLF") << "file" << QByteArray("molarix\r\n") << QByteArray() << 0;
        QTest::newRow("wrong in file") << "file" << QByteArray("molarik\n") << QByteArray() << 1;
        QTest::newRow("empty file") << "file" << QByteArray("") << QByteArray() << 1;
        QTest::newRow("standard input") << "-" << QByteArray() << QByteArray("molarix\n") << 0;
        QTest::newRow("missing file") << "missing" << QByteArray() << QByteArray("molarix\n") << 1;
    }
    void passwordFromAFileOrStandardInput()
    {
        QFETCH(QString, source);
        QFETCH(QByteArray, fileText);
        QFETCH(QByteArray, input);
        QFETCH(int, code);
        QTemporaryDir dir;
        if (source != QLatin1String("-")) {
            const bool write = source == QLatin1String("file");
            source = dir.filePath(QStringLiteral("pass"));
            QFile f(source);
            QVERIFY(!write || (f.open(QIODevice::WriteOnly) && f.write(fileText) == fileText.size()));
        }
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("MOLARIX_PASSWORD"));
        p.setProcessEnvironment(env);
        p.start(Tool, {QStringLiteral("sql"), m_demo.path(), QStringLiteral("SELECT count(*) FROM SECURITY"), QStringLiteral("--password-file"), source});
        p.write(input);
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(300000));
        QCOMPARE(p.exitCode(), code);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).contains(QLatin1Char('1')), code == 0);
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        args.replaceInStrings(QStringLiteral("@"), dir.path());
        const Run r = runTool(args);
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(QLatin1String("molarix-db create")));
        QVERIFY(r.out.isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("data.mdb"))));
    }

    void createMakesEncryptedDatabase()
    {
        QTemporaryDir dir;
        // A real practice's password is never printed.
        const Run r = tool({QStringLiteral("create"), dir.path(), QStringLiteral("--password"), QStringLiteral("Σφραγίδα9")}, QString());
        QCOMPARE(r.code, 0);
        QVERIFY(!r.out.contains(QStringLiteral("Σφραγίδα9")));
        QVERIFY(r.out.contains(QLatin1String("data.mdb")));

        const QString file = dir.filePath(QStringLiteral("data.mdb"));
        const QByteArray bytes = fileBytes(file);
        QVERIFY(bytes.size() > 1024);
        QVERIFY(!bytes.startsWith("SQLite format 3"));

        QVERIFY_THROWS_EXCEPTION(DbError, openPractice(dir.path()));
        auto c = openPractice(dir.path(), QStringLiteral("Σφραγίδα9"));
        for (const QString &table : Schema::tableNames())
            QCOMPARE(number(*c, QStringLiteral("SELECT COUNT(*) FROM ") + table), table == QLatin1String("SECURITY") ? 1 : 0);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT * FROM SECURITY")).toString(), QStringLiteral("Σφραγίδα9"));
        c.reset();
        QCOMPARE(tool({QStringLiteral("sql"), dir.path(), QStringLiteral("SELECT 1")}, QStringLiteral("Σφραγίδα9")).code, 0);
        const Run wrong = tool({QStringLiteral("sql"), dir.path(), QStringLiteral("SELECT 1")});
        QCOMPARE(wrong.code, 1);
        QVERIFY(wrong.err.contains(QStringLiteral("Λανθασμένος κωδικός πρόσβασης.")));
        // With no password given and nothing on the input, nothing opens.
        QCOMPARE(tool({QStringLiteral("sql"), dir.path(), QStringLiteral("SELECT 1")}, QString()).code, 1);

        DbConnection wrongKey;
        wrongKey.setConnectionString(QStringLiteral("Data Source=%1;Jet OLEDB:Database Password=WRONG").arg(file));
        QVERIFY_THROWS_EXCEPTION(DbError, wrongKey.open());

        // The report files travel with the database: those the build put
        // beside the tool, or else the source tree's.
        QDir reports(QStringLiteral(MOLARIX_BINARY_DIR "/reports"));
        if (reports.entryList({QStringLiteral("*.RAV")}, QDir::Files).isEmpty())
            reports.setPath(QStringLiteral(MOLARIX_SOURCE_DIR "/reports/files"));
        const QStringList files = reports.entryList({QStringLiteral("*.RAV")}, QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QString &f : files)
            QCOMPARE(fileBytes(dir.filePath(f)), fileBytes(reports.filePath(f)));
    }

    void existingDatabaseIsLeftAlone()
    {
        QTemporaryDir dir;
        QCOMPARE(runTool({QStringLiteral("create"), dir.path()}).code, 0);
        QCOMPARE(runTool({QStringLiteral("sql"), dir.path(), QStringLiteral("INSERT INTO EKSODA(POSO) VALUES(12.5)")}).code, 0);
        const QString file = dir.filePath(QStringLiteral("data.mdb"));
        const QByteArray before = fileBytes(file);

        for (const QString &command : {QStringLiteral("create"), QStringLiteral("demo")}) {
            const Run r = runTool({command, dir.path()});
            QVERIFY(r.code != 0);
            QVERIFY(r.err.contains(QLatin1String("data.mdb")));
            QCOMPARE(fileBytes(file), before);
        }
        QCOMPARE(number(*openPracticeDir(dir.path()), QStringLiteral("SELECT COUNT(*) FROM EKSODA")), 1);
    }

    void missingFolderIsRefused()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("nowhere"));
        for (const QString &command : {QStringLiteral("create"), QStringLiteral("demo")}) {
            const Run r = runTool({command, missing});
            QVERIFY(r.code != 0 && r.code != 2);
            QVERIFY(!r.err.isEmpty());
            QVERIFY(!QFileInfo::exists(missing));
        }
    }

    void sqlRoundTrip()
    {
        QTemporaryDir dir;
        QCOMPARE(runTool({QStringLiteral("create"), dir.path()}).code, 0);
        auto sql = [&](const QString &statement) {
            const Run r = runTool({QStringLiteral("sql"), dir.path(), statement});
            if (r.code != 0)
                qWarning() << statement << r.err;
            return r.code == 0 ? r.out : QStringLiteral("<failed>");
        };

        QCOMPARE(sql(QString::fromUtf8("INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT,PERIGRAFH) "
                                       "VALUES(#3/5/2008#,100.5,19.1,'Ενοίκιο Μαρτίου')")),
                 QStringLiteral("1\n"));
        QCOMPARE(sql(QStringLiteral("SELECT HMEROMHNIA,POSO,VAT,PERIGRAFH FROM EKSODA WHERE HMEROMHNIA=#3/5/2008#")),
                 QString::fromUtf8("HMEROMHNIA\tPOSO\tVAT\tPERIGRAFH\n2008-03-05\t100.5\t19.1\tΕνοίκιο Μαρτίου\n"));
        QCOMPARE(sql(QStringLiteral("SELECT PERIGRAFH FROM EKSODA WHERE HMEROMHNIA=#5/3/2008#")),
                 QStringLiteral("PERIGRAFH\n"));

        // [LAST] is a column here, not the aggregate.
        QCOMPARE(sql(QStringLiteral("INSERT INTO LAST_APODEIKSH([LAST]) VALUES(7)")), QStringLiteral("1\n"));
        QCOMPARE(sql(QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=[LAST]+1")), QStringLiteral("1\n"));
        QCOMPARE(sql(QStringLiteral("SELECT [LAST] FROM LAST_APODEIKSH")), QStringLiteral("LAST\n8\n"));

        // Defaults, FALSE, NULL as empty, and a change that touches no row.
        QCOMPARE(sql(QString::fromUtf8("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,ONOMA,POSO) VALUES(1,'Μαρία',50)")),
                 QStringLiteral("1\n"));
        QCOMPARE(sql(QStringLiteral("SELECT AR_APODEIKSHS,EGKYRH,TAMEIO FROM APODEIKSEIS")),
                 QStringLiteral("AR_APODEIKSHS\tEGKYRH\tTAMEIO\n1\t-1\t\n"));
        QCOMPARE(sql(QStringLiteral("UPDATE APODEIKSEIS SET EGKYRH=FALSE WHERE AR_APODEIKSHS=1")), QStringLiteral("1\n"));
        QCOMPARE(sql(QStringLiteral("UPDATE APODEIKSEIS SET EGKYRH=FALSE WHERE AR_APODEIKSHS=2")), QStringLiteral("0\n"));
        QCOMPARE(sql(QStringLiteral("SELECT COUNT(*) AS N FROM APODEIKSEIS WHERE EGKYRH=TRUE")), QStringLiteral("N\n0\n"));

        // A row stays one line whatever the text holds.
        QCOMPARE(sql(QStringLiteral("INSERT INTO SHMEIWSEIS(TITLOS,PERIGRAFH) VALUES('a','one\ntwo\tthree')")),
                 QStringLiteral("1\n"));
        QCOMPARE(sql(QStringLiteral("SELECT TITLOS,PERIGRAFH FROM SHMEIWSEIS")),
                 QStringLiteral("TITLOS\tPERIGRAFH\na\tone\\ntwo\\tthree\n"));
    }

    void sqlFailures()
    {
        QTemporaryDir dir;
        QCOMPARE(runTool({QStringLiteral("create"), dir.path()}).code, 0);
        auto refused = [](const QString &folder, const QString &statement) {
            const Run r = runTool({QStringLiteral("sql"), folder, statement});
            return r.code != 0 && r.code != 2 && r.out.isEmpty() && !r.err.isEmpty();
        };
        QVERIFY(refused(dir.path(), QStringLiteral("SELECT * FROM NO_SUCH_TABLE")));
        QVERIFY(refused(dir.path(), QStringLiteral("SELEC ONOMA FROM STOIXEIA_PELATH")));

        // A day's appointment row exists once.
        const QString day = QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA) VALUES(#3/5/2008#)");
        QCOMPARE(runTool({QStringLiteral("sql"), dir.path(), day}).out, QStringLiteral("1\n"));
        QVERIFY(refused(dir.path(), day));
        QCOMPARE(number(*openPracticeDir(dir.path()), QStringLiteral("SELECT COUNT(*) FROM RANTEBOU")), 1);

        QTemporaryDir empty;
        QVERIFY(refused(empty.filePath(QStringLiteral("nowhere")), QStringLiteral("SELECT 1")));
        QVERIFY(refused(empty.path(), QStringLiteral("SELECT 1")));
        QVERIFY(!QFileInfo::exists(empty.filePath(QStringLiteral("data.mdb"))));

        QFile junk(empty.filePath(QStringLiteral("data.mdb")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        QVERIFY(refused(empty.path(), QStringLiteral("SELECT 1")));
    }

    void demoCustomers()
    {
        DbConnection &c = *m_db;
        QCOMPARE(number(c, QStringLiteral("SELECT COUNT(*) FROM STOIXEIA_PELATH")), 300);
        const auto people = queryRows(c, QStringLiteral("SELECT ONOMA, EPWNYMO, FYLO, HMEROMHNIA_GENNHSEWS, DIEYTHYNSH, TAMEIO, ISTORIKO FROM STOIXEIA_PELATH"));
        const QString male = QString::fromUtf8("ΑΡΡΕΝ"), female = QString::fromUtf8("ΘΗΛΥ");
        int men = 0, women = 0, withHistory = 0;
        for (const QVariantList &p : people) {
            const QString first = p[0].toString(), last = p[1].toString(), sex = p[2].toString();
            QVERIFY2(accents(first) == 1 && accents(last) == 1, qPrintable(first + QLatin1Char(' ') + last));
            // The program puts stored names and funds into statements unescaped.
            for (int i : {0, 1, 5})
                QVERIFY(!p[i].toString().contains(QLatin1Char('\'')) && !p[i].toString().contains(QLatin1Char('"')));
            // Masculine first names end in -ς; a woman carries neither a
            // masculine first name nor a masculine surname form.
            if (sex == male) {
                ++men;
                QVERIFY2(first.endsWith(QChar(u'ς')), qPrintable(first));
            } else {
                QCOMPARE(sex, female);
                ++women;
                QVERIFY2(!first.endsWith(QChar(u'ς')), qPrintable(first));
                const QString l = folded(last);
                QVERIFY2(!l.endsWith(QString::fromUtf8("ος")) && !l.endsWith(QString::fromUtf8("ης"))
                             && !l.endsWith(QString::fromUtf8("ας")),
                         qPrintable(last));
            }
            const QDate birth = QDate::fromString(p[3].toString(), Qt::ISODate);
            QVERIFY(birth >= QDate(1930, 1, 1) && birth <= QDate(2015, 12, 31));
            QVERIFY(!p[4].toString().isEmpty() && !p[5].toString().isEmpty());
            withHistory += p[6].isValid();
        }
        QVERIFY(men > 50 && women > 50);
        QVERIFY(withHistory > 10 && withHistory < 290);
    }

    void demoVisits()
    {
        DbConnection &c = *m_db;
        const auto perCustomer = queryRows(c, QStringLiteral("SELECT S.ID, COUNT(E.ID) FROM STOIXEIA_PELATH S LEFT JOIN EPISKEPSEIS E ON E.ID = S.ID GROUP BY S.ID"));
        QCOMPARE(perCustomer.size(), 300);
        for (const QVariantList &r : perCustomer)
            QVERIFY2(r[1].toInt() >= 1 && r[1].toInt() <= 6, qPrintable(r[0].toString()));
        QCOMPARE(number(c, QStringLiteral("SELECT COUNT(*) FROM EPISKEPSEIS E LEFT JOIN STOIXEIA_PELATH S ON S.ID = E.ID"
                                          " WHERE S.ID IS NULL OR E.HMEROMHNIA < S.HMEROMHNIA_GENNHSEWS"
                                          " OR E.AITIA IS NULL OR E.PERIGRAFH IS NULL")),
                 0);
        QCOMPARE(number(c, QStringLiteral("SELECT COUNT(*) FROM EPISKEPSEIS WHERE HMEROMHNIA < '%1' OR HMEROMHNIA > '%2'").arg(m_today.addYears(-3).toString(Qt::ISODate), m_today.toString(Qt::ISODate))), 0);
    }

    void demoReceiptsAndTakings()
    {
        DbConnection &c = *m_db;
        const qlonglong receipts = number(c, QStringLiteral("SELECT COUNT(*) FROM APODEIKSEIS"));
        QVERIFY(receipts >= 300 && receipts <= 500);
        // Numbered from 1 without gaps, in the order of their dates.
        QCOMPARE(number(c, QStringLiteral("SELECT MIN(AR_APODEIKSHS) FROM APODEIKSEIS")), 1);
        QCOMPARE(number(c, QStringLiteral("SELECT MAX(AR_APODEIKSHS) FROM APODEIKSEIS")), receipts);
        QCOMPARE(number(c, QStringLiteral("SELECT COUNT(*) FROM APODEIKSEIS A JOIN APODEIKSEIS B"
                                          " ON A.AR_APODEIKSHS < B.AR_APODEIKSHS AND A.HMEROMHNIA > B.HMEROMHNIA")),
                 0);
        QCOMPARE(number(c, QStringLiteral("SELECT COUNT(*) FROM LAST_APODEIKSH")), 1);
        QCOMPARE(number(c, QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")), receipts + 1);

        // Every taking belongs to a valid receipt of the same customer, number, date and amounts.
        QCOMPARE(number(c, QStringLiteral("SELECT COUNT(*) FROM EISPRAKSH_PELATH E"
                                          " LEFT JOIN APODEIKSEIS A ON A.AR_APODEIKSHS = E.AR_APODEIKSHS"
                                          " LEFT JOIN STOIXEIA_PELATH S ON S.ID = E.ID"
                                          " WHERE A.AR_APODEIKSHS IS NULL OR S.ID IS NULL OR A.EGKYRH <> -1"
                                          " OR A.POSO <> E.POSO OR A.POSO_CY <> E.POSO_CY OR A.HMEROMHNIA <> E.HMEROMHNIA"
                                          " OR A.ONOMA <> S.ONOMA OR A.EPWNYMO <> S.EPWNYMO OR A.PARALHPTHS <> S.ONOMA || ' ' || S.EPWNYMO")),
                 0);
        // Valid receipts have exactly one taking, cancelled ones none.
        const auto bad = queryRows(c, QStringLiteral("SELECT A.AR_APODEIKSHS, A.EGKYRH, COUNT(E.AR_APODEIKSHS) FROM APODEIKSEIS A"
                                                     " LEFT JOIN EISPRAKSH_PELATH E ON E.AR_APODEIKSHS = A.AR_APODEIKSHS GROUP BY A.AR_APODEIKSHS"
                                                     " HAVING (A.EGKYRH = -1 AND COUNT(E.AR_APODEIKSHS) <> 1) OR (A.EGKYRH = 0 AND COUNT(E.AR_APODEIKSHS) <> 0)"
                                                     " OR A.EGKYRH NOT IN (-1, 0)"));
        QVERIFY2(bad.isEmpty(), qPrintable(bad.value(0).value(0).toString()));
        const qlonglong cancelled = number(c, QStringLiteral("SELECT COUNT(*) FROM APODEIKSEIS WHERE EGKYRH = 0"));
        QVERIFY(cancelled >= 1 && cancelled <= receipts / 20);

        // Whole cents, pounds at the fixed rate as the issue window computes
        // them, dates in the last two years.
        QCOMPARE(number(c, QStringLiteral("SELECT COUNT(*) FROM APODEIKSEIS WHERE POSO <= 0 OR ABS(POSO * 100 - ROUND(POSO * 100)) > 1e-6"
                                          " OR ABS(POSO_CY - POSO * 0.585274) > 1e-9 OR HMEROMHNIA < '%1' OR HMEROMHNIA > '%2'")
                               .arg(m_today.addYears(-2).toString(Qt::ISODate), m_today.toString(Qt::ISODate))),
                 0);
    }

    void demoExpenses()
    {
        DbConnection &c = *m_db;
        QVERIFY(number(c, QStringLiteral("SELECT COUNT(*) FROM EKSODA")) >= 100);
        QVERIFY(number(c, QStringLiteral("SELECT COUNT(DISTINCT substr(HMEROMHNIA, 1, 7)) FROM EKSODA")) >= 24);
        QCOMPARE(number(c, QStringLiteral("SELECT COUNT(*) FROM EKSODA WHERE POSO <= 0 OR ABS(VAT * 100 - ROUND(VAT * 100)) > 1e-6"
                                          " OR ABS(VAT - POSO * 0.19) > 0.005 + 1e-9"
                                          " OR PERIGRAFH IS NULL OR HMEROMHNIA < '%1' OR HMEROMHNIA > '%2'")
                               .arg(m_today.addYears(-2).toString(Qt::ISODate), m_today.toString(Qt::ISODate))),
                 0);
    }

    void demoAppointments()
    {
        DbConnection &c = *m_db;
        const auto days = queryRows(c, QStringLiteral("SELECT * FROM RANTEBOU"));
        QVERIFY(days.size() >= 30);
        QCOMPARE(number(c, QStringLiteral("SELECT COUNT(DISTINCT HMEROMHNIA) FROM RANTEBOU")), days.size());
        for (const QVariantList &d : days) {
            QCOMPARE(d.size(), 29);
            const QDate date = QDate::fromString(d[0].toString(), Qt::ISODate);
            QVERIFY(date.isValid() && date.dayOfWeek() <= 5);
            QVERIFY(qAbs(m_today.daysTo(date)) <= 30);
            int booked = 0;
            for (int i = 1; i < d.size(); ++i) {
                if (!d[i].isValid())
                    continue;
                QVERIFY(!d[i].toString().trimmed().isEmpty());
                ++booked;
            }
            QVERIFY(booked >= 1 && booked < 28);
        }
    }

    void demoOfficeTools()
    {
        DbConnection &c = *m_db;
        const qlonglong reminders = number(c, QStringLiteral("SELECT COUNT(*) FROM YPENTHIMISEIS"));
        QVERIFY(reminders >= 8 && reminders <= 12);
        // The start-up check's own statement finds nothing today.
        const QString todays = QStringLiteral("SELECT * from YPENTHIMISEIS WHERE DAY(HMEROMHNIA)=%1 AND MONTH(HMEROMHNIA)=%2 AND YEAR(HMEROMHNIA)=%3")
                                   .arg(m_today.day())
                                   .arg(m_today.month())
                                   .arg(m_today.year());
        QVERIFY(queryRows(c, JetSql::translate(todays)).isEmpty());

        QVERIFY(number(c, QStringLiteral("SELECT COUNT(*) FROM SHMEIWSEIS")) >= 10);
        QVERIFY(number(c, QStringLiteral("SELECT COUNT(*) FROM SHMEIWSEIS WHERE instr(PERIGRAFH, char(10)) > 0")) >= 5);
        QVERIFY(number(c, QStringLiteral("SELECT COUNT(*) FROM XRHSIMA_THLEFWNA WHERE THLEFWNO_1 IS NOT NULL")) >= 15);
        const auto info = queryRows(c, QStringLiteral("SELECT TITLE, ADDRESS1, PHONE, AFT FROM INFORMATION"));
        QCOMPARE(info.size(), 1);
        for (const QVariant &v : info[0])
            QVERIFY(!v.toString().isEmpty());

        // Every date is stored as ISO text.
        const QRegularExpression isoDate(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
        for (const char *column : {"STOIXEIA_PELATH.HMEROMHNIA_GENNHSEWS", "EPISKEPSEIS.HMEROMHNIA",
                                   "APODEIKSEIS.HMEROMHNIA", "EISPRAKSH_PELATH.HMEROMHNIA", "EKSODA.HMEROMHNIA",
                                   "YPENTHIMISEIS.HMEROMHNIA"}) {
            const QStringList parts = QString::fromLatin1(column).split(QLatin1Char('.'));
            for (const QVariantList &r : queryRows(c, QStringLiteral("SELECT DISTINCT %2 FROM %1").arg(parts[0], parts[1])))
                QVERIFY2(isoDate.match(r[0].toString()).hasMatch(), column);
        }
    }

    void demoIsRepeatableAndFollowsToday()
    {
        const QDate today(2010, 6, 15);
        QTemporaryDir a, b;
        for (const QTemporaryDir *d : {&a, &b})
            QCOMPARE(runTool({QStringLiteral("demo"), d->path(), QStringLiteral("--customers"), QStringLiteral("150"),
                              QStringLiteral("--today"), today.toString(Qt::ISODate)})
                         .code,
                     0);
        auto ca = openPracticeDir(a.path()), cb = openPracticeDir(b.path());
        for (const QString &table : Schema::tableNames()) {
            const QString all = QStringLiteral("SELECT * FROM ") + table;
            QVERIFY2(queryRows(*ca, all) == queryRows(*cb, all), qPrintable(table));
        }

        QCOMPARE(number(*ca, QStringLiteral("SELECT COUNT(*) FROM STOIXEIA_PELATH")), 150);
        QCOMPARE(number(*ca, QStringLiteral("SELECT COUNT(*) FROM STOIXEIA_PELATH WHERE HMEROMHNIA_GENNHSEWS > '2008-06-15'")), 0);
        auto text = [&](const char *sql) { return ca->scalarNative(QString::fromLatin1(sql)).toString(); };
        QVERIFY(text("SELECT MAX(HMEROMHNIA) FROM EPISKEPSEIS") <= QLatin1String("2010-06-15"));
        QVERIFY(text("SELECT MAX(HMEROMHNIA) FROM APODEIKSEIS") <= QLatin1String("2010-06-15"));
        QVERIFY(text("SELECT MIN(HMEROMHNIA) FROM RANTEBOU") >= QLatin1String("2010-05-16"));
        QVERIFY(text("SELECT MAX(HMEROMHNIA) FROM RANTEBOU") <= QLatin1String("2010-07-15"));
        QCOMPARE(number(*ca, QStringLiteral("SELECT COUNT(*) FROM YPENTHIMISEIS WHERE HMEROMHNIA = '2010-06-15'")), 0);
    }

    void demoScalesWithCustomers()
    {
        QTemporaryDir dir;
        QCOMPARE(runTool({QStringLiteral("demo"), dir.path(), QStringLiteral("--customers"), QStringLiteral("3000")}).code, 0);
        auto c = openPracticeDir(dir.path());
        QCOMPARE(number(*c, QStringLiteral("SELECT COUNT(*) FROM STOIXEIA_PELATH")), 3000);
        QCOMPARE(number(*c, QStringLiteral("SELECT COUNT(DISTINCT ID) FROM EPISKEPSEIS")), 3000);
        const qlonglong receipts = number(*c, QStringLiteral("SELECT COUNT(*) FROM APODEIKSEIS"));
        QVERIFY(receipts >= 3600 && receipts <= 4400);
        QCOMPARE(number(*c, QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")), receipts + 1);
    }
};

MOLARIX_TEST(DbToolTest)
#include "test_dbtool.moc"
