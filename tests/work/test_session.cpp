#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/security.h"
#include "data/practice/session.h"
#include "tests/common/testmain.h"
#include "tests/common/testserver.h"
#include "tests/common/testutil.h"
#include <QTest>

namespace {
bool opens()
{
    DbConnection c;
    try {
        c.prepare();
    } catch (const DbError &) {
        return false;
    }
    return c.isOpen();
}

Session::Engine practiceEngine()
{
    return TestServer::practicesOnServer() ? Session::Engine::Server : Session::Engine::File;
}
}

// Signing in and out: what the session holds, and what opens through it.
class SessionTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Session::current().signOut(); }

    void signInOpensThePracticeAndSignOutClosesIt_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("granted");
        QTest::newRow("right") << "molarix"
                               << "molarix" << true;
        QTest::newRow("other case") << "molarix"
                                    << "Molarix" << false;
        QTest::newRow("empty") << "molarix"
                               << "" << false;
        // The key holds, but the stored password says otherwise; on a
        // server the login alone is the check.
        QTest::newRow("stored differs") << "Άλλος1"
                                        << "molarix" << TestServer::practicesOnServer();
        QTest::newRow("stored with blanks") << "  molarix\t"
                                            << "molarix" << true;
    }
    void signInOpensThePracticeAndSignOutClosesIt()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, granted);
        TempPractice p;
        p.conn().executeNative(QStringLiteral("UPDATE SECURITY SET \"PASSWORD\"=?"), {stored});
        p.conn().close();
        Session &session = Session::current();
        session.signOut();
        QVERIFY(!opens());

        DbConnection conn;
        conn.setConnectionString(DbConnectionString);
        DataSet security(&conn);
        const PracticeFile::Unlocked tried = Security::signIn(conn, security, typed);
        QCOMPARE(tried.access != PracticeFile::Access::Refused, granted);
        QVERIFY(!conn.isOpen());
        QCOMPARE(session.engine(), granted ? practiceEngine() : Session::Engine::None);
        QCOMPARE(session.hasKey(), granted && !TestServer::practicesOnServer());
        QCOMPARE(session.login() != nullptr, granted && TestServer::practicesOnServer());
        QCOMPARE(session.userName(), QString());   // the practice's shared password
        QCOMPARE(opens(), granted);

        session.signOut();
        QCOMPARE(session.engine(), Session::Engine::None);
        QVERIFY(!session.hasKey());
        QVERIFY(!session.login());
        QVERIFY(!opens());
    }

    // The administrator's ALTER ROLE and the program's own change both give
    // the password that opens; neither leaves it readable in a table or in
    // the server's log of every statement.
    void theServersLoginAloneDecidesAndNoPasswordIsKeptInClear()
    {
        if (!TestServer::practicesOnServer())
            QSKIP("a file checks its key and SECURITY");
        TempPractice p;
        const QString database = ParseConnectionString(DbConnectionString).database;
        TestServer::superExec(database, QStringLiteral("ALTER DATABASE %1 SET log_statement = 'all'").arg(database));
        const auto signsIn = [](const QString &password) {
            DbConnection conn;
            conn.setConnectionString(DbConnectionString);
            DataSet security(&conn);
            return Security::signIn(conn, security, password).access != PracticeFile::Access::Refused;
        };
        TestServer::superExec(QStringLiteral("postgres"), QStringLiteral("ALTER ROLE %1 PASSWORD 'Διαχειριστής7'").arg(TestServer::loginUser()));
        QVERIFY(!signsIn(TestServer::loginPassword()));
        QVERIFY(signsIn(QStringLiteral("Διαχειριστής7")));

        const QString fresh = QStringLiteral("Ξεχωριστός4829");
        {
            DbConnection conn;
            conn.setConnectionString(DbConnectionString);
            conn.open();
            Security::changePassword(conn, fresh);
            QCOMPARE(conn.scalarNative(QStringLiteral("SELECT count(*) FROM SECURITY WHERE \"PASSWORD\" IS NOT NULL")).toInt(), 0);
        }
        const QString log = TestServer::serverLog();
        QVERIFY2(log.contains(QLatin1String("ALTER ROLE CURRENT_USER PASSWORD 'SCRAM-SHA-256$")), "the change was not logged");
        QVERIFY(!log.contains(fresh));
        QVERIFY(!signsIn(QStringLiteral("Διαχειριστής7")));
        QVERIFY(signsIn(fresh));
    }

    void theServersPasswordIsLentByTheLiveLoginOnly()
    {
        if (!TestServer::practicesOnServer())
            QSKIP("a file's session holds its key, no password");
        TempPractice p;
        Session &session = Session::current();
        QVERIFY(session.login());
        QVERIFY(opens());
        // The server drops every connection: libpq still has the password
        // of the broken login, so the next connection logs in.
        const QString database = ParseConnectionString(DbConnectionString).database;
        TestServer::superExec(QStringLiteral("postgres"),
                              QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '%1'")
                                  .arg(database));
        QVERIFY(opens());
        // Without its login the session has no password of its own to give.
        session.login()->close();
        QCOMPARE(session.engine(), Session::Engine::Server);
        QVERIFY(!opens());
        DbConnection refused;
        refused.setConnectionString(DbConnectionString);
        try {
            refused.open();
            QFAIL("a connection opened with no login to lend the password");
        } catch (const DbError &e) {
            QCOMPARE(e.cause(), DbError::Cause::WrongPassword);
        }
    }
};

MOLARIX_TEST(SessionTest)
#include "test_session.moc"
