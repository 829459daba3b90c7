// molarix-db audit on the practice's engine: the listing and its filters,
// and --verify against changes made with the engine's own tool (sqlcipher
// on the file, psql on the server).
#include "data/db/clock.h"
#include "data/work/accesslog.h"
#include "tests/common/testmain.h"
#include "tests/common/testserver.h"
#include "tests/common/testutil.h"
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

// Runs statements on the practice past the program; an empty string when
// done, else what went wrong.
QString tamper(const TempPractice &p, const QString &statements)
{
    QProcess proc;
    if (TestServer::practicesOnServer()) {
        QString database;
        QFile conf(QDir(p.path()).filePath(QStringLiteral("server.conf")));
        conf.open(QIODevice::ReadOnly);
        for (const QString &line : QString::fromUtf8(conf.readAll()).split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("database=")))
                database = line.mid(9).trimmed();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), TestServer::loginPassword());
        proc.setProcessEnvironment(env);
        proc.start(QStringLiteral("psql"), {QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), TestServer::host(), QStringLiteral("-p"), QString::number(TestServer::port()), QStringLiteral("-U"), TestServer::loginUser(), QStringLiteral("-d"), database});
        proc.write(statements.toUtf8() + '\n');
    } else {
        proc.start(QStringLiteral("sqlcipher"), {QStringLiteral("-bail"), QDir(p.path()).filePath(QStringLiteral("data.mdb"))});
        proc.write("PRAGMA key='molarix'; PRAGMA cipher_page_size=4096; PRAGMA kdf_iter=256000;\n" + statements.toUtf8() + '\n');
    }
    proc.closeWriteChannel();
    if (!proc.waitForFinished(120000) || proc.exitCode() != 0)
        return QString::fromUtf8(proc.readAllStandardError()) + proc.errorString();
    return {};
}

}   // namespace

class AuditToolTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Clock::reset(); }

    // What another tool does to the rows, and the position --verify names
    // (0: the chain holds, exit 0).
    void verifyNamesTheFirstEntryTouched_data()
    {
        QTest::addColumn<QString>("statements");
        QTest::addColumn<int>("position");
        QTest::newRow("untouched") << QString() << 0;
        QTest::newRow("edited") << QStringLiteral("UPDATE HMEROLOGIO_PROSVASEWN SET XRHSTHS='Κανείς' WHERE AA=3;") << 3;
        QTest::newRow("deleted") << QStringLiteral("DELETE FROM HMEROLOGIO_PROSVASEWN WHERE AA=2;") << 2;
        QTest::newRow("reordered") << QStringLiteral("UPDATE HMEROLOGIO_PROSVASEWN SET AA=100 WHERE AA=3; UPDATE HMEROLOGIO_PROSVASEWN SET AA=3 WHERE AA=4;"
                                                     " UPDATE HMEROLOGIO_PROSVASEWN SET AA=4 WHERE AA=100;")
                                   << 3;
        // Found by the seal beside a practice file, or in a server practice's folder.
        QTest::newRow("newest cut off") << QStringLiteral("DELETE FROM HMEROLOGIO_PROSVASEWN WHERE AA>=4;") << 4;
    }
    void verifyNamesTheFirstEntryTouched()
    {
        QFETCH(QString, statements);
        QFETCH(int, position);
        if (!TestServer::practicesOnServer() && QStandardPaths::findExecutable(QStringLiteral("sqlcipher")).isEmpty())
            QSKIP("the sqlcipher tool is not installed");
        TempPractice p;
        AccessLog::setUser(QStringLiteral("Ελένη"));
        for (int i = 1; i <= 5; ++i)
            AccessLog::record(p.conn(), AccessLog::Action::Print, i);
        p.conn().close();
        if (!statements.isEmpty())
            QCOMPARE(tamper(p, statements), QString());
        const ToolRun r = runTool({QStringLiteral("audit"), p.path(), QStringLiteral("--verify")});
        QCOMPARE(r.code, position == 0 ? 0 : 1);
        if (position == 0)
            QVERIFY2(r.out.startsWith(QStringLiteral("ok\t5 ")), qPrintable(r.out));
        else
            QVERIFY2(r.err.contains(QStringLiteral("θέση %1 ").arg(position)), qPrintable(r.err));
    }

    // Each filter alone and together: the positions listed.
    void listingFilters_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("positions");
        QTest::newRow("all") << QStringList() << QStringList{"1", "2", "3", "4"};
        QTest::newRow("customer") << QStringList{"--customer", "7"} << QStringList{"1", "3"};
        QTest::newRow("user") << QStringList{"--user", "Νίκος"} << QStringList{"2", "3"};
        QTest::newRow("from") << QStringList{"--from", "2024-03-02"} << QStringList{"3", "4"};
        QTest::newRow("to, its whole day") << QStringList{"--to", "2024-03-02"} << QStringList{"1", "2", "3"};
        QTest::newRow("together") << QStringList{"--customer", "7", "--user", "Νίκος", "--from", "2024-03-01", "--to", "2024-03-02"} << QStringList{"3"};
    }
    void listingFilters()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, positions);
        TempPractice p;
        const struct {
            const char *user, *when;
            qint64 customer;
        } rows[] = {{"Ελένη", "2024-03-01T09:00:00", 7}, {"Νίκος", "2024-03-01T23:59:59", 0}, {"Νίκος", "2024-03-02T23:59:59", 7}, {"Ελένη", "2024-03-03T00:00:00", 8}};
        for (const auto &row : rows) {
            AccessLog::setUser(QString::fromUtf8(row.user));
            Clock::setNow(QDateTime::fromString(QLatin1String(row.when), Qt::ISODate));
            AccessLog::record(p.conn(), AccessLog::Action::Open, row.customer, QStringLiteral("Καρτέλα"));
        }
        const ToolRun r = runTool(QStringList{QStringLiteral("audit"), p.path()} + options);
        QCOMPARE(r.code, 0);
        QStringList listed;
        for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            listed << line.section(QLatin1Char('\t'), 0, 0);
        QCOMPARE(listed, positions);
        if (!listed.isEmpty())
            QVERIFY(r.out.contains(QStringLiteral("\tΆνοιγμα\t")));
    }
};

MOLARIX_TEST(AuditToolTest)
#include "test_audit.moc"
