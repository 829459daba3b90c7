#include "data/db/connection.h"
#include "data/practice/appstate.h"
#include "data/practice/serverroles.h"
#include "data/practice/session.h"
#include "data/practice/users.h"
#include "data/work/accesslog.h"
#include "tests/common/testmain.h"
#include "tests/common/testserver.h"
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Users::Role;

bool runs(DbConnection &conn, const QString &sql)
{
    try {
        conn.executeNative(sql);
        return true;
    } catch (const DbError &) {
        return false;
    }
}

}   // namespace

// Users of a server practice are the server's logins; the server itself
// holds each to its role's tables.
class ServerRolesTest : public QObject {
    Q_OBJECT
private slots:
    void theServerHoldsEachLoginToItsRole()
    {
        MOLARIX_REQUIRE_SERVER();
        const auto signOut = qScopeGuard([] { Session::current().signOut(); });
        QTemporaryDir dir;
        QFile conf(dir.filePath(QStringLiteral("server.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(TestServer::serverConf(TestServer::newPracticeDatabase()).toUtf8());
        conf.close();
        const QString practice = BuildConnectionString(dir.path());
        const QString password = QStringLiteral("Kwdikos2026");
        auto open = [&] {
            auto c = std::make_unique<DbConnection>();
            c->setConnectionString(practice);
            c->open();
            return c;
        };

        Session::current().logIn(practice, TestServer::loginPassword());
        QCOMPARE(Session::current().role(), Role::Administrator);
        // A login that may not make roles gets the statements for the server's administrator.
        try {
            Users::add(*open(), {QStringLiteral("Άννα"), Role::Reception, true}, password);
            QFAIL("a login without CREATEROLE made a user");
        } catch (const DbError &e) {
            for (const char *part : {"CREATEROLE", "CREATE ROLE", "GRANT SELECT, INSERT, UPDATE, DELETE ON"})
                QVERIFY2(e.message().contains(QLatin1String(part)), qPrintable(e.message()));
        }
        TestServer::superExec(QStringLiteral("postgres"), QStringLiteral("ALTER ROLE %1 CREATEROLE").arg(TestServer::loginUser()));
        const auto noRoles = qScopeGuard(
            [] { TestServer::superExec(QStringLiteral("postgres"), QStringLiteral("ALTER ROLE %1 NOCREATEROLE").arg(TestServer::loginUser())); });

        const QList<Users::User> made = {{QStringLiteral("Άννα"), Role::Reception, true},
                                         {QStringLiteral("Νίκος"), Role::Clinician, true},
                                         {QStringLiteral("Ελένη"), Role::Administrator, true}};
        {
            auto admin = open();
            for (const Users::User &u : made)
                Users::add(*admin, u, password);
            QVERIFY_THROWS_EXCEPTION(DbError, Users::add(*admin, made[0], password));
            QList<Users::User> listed = Users::list(*admin);
            QCOMPARE(listed.size(), made.size());
            for (const Users::User &u : made) {
                const auto it = std::find_if(listed.begin(), listed.end(),
                                             [&](const Users::User &l) { return l.name == ServerRoles::loginName(u.name); });
                QVERIFY2(it != listed.end(), qPrintable(u.name));
                QCOMPARE(it->role, u.role);
                QVERIFY(it->enabled);
            }
        }

        // What each role's login may do, as the server decides it.
        struct Case {
            const char *sql;
            bool reception, clinician, administrator;
        };
        const Case cases[] = {
            {"SELECT count(*) FROM EPISKEPSEIS", false, true, true},
            {"SELECT count(*) FROM ODONTOGRAMMA", false, true, true},
            {"SELECT count(*) FROM SXEDIO_THERAPEIAS", false, true, true},
            {"SELECT count(*) FROM XRHSTES", false, false, true},
            {"SELECT count(*) FROM STOIXEIA_PELATH", true, true, true},
            {"INSERT INTO YPENTHIMISEIS (HMEROMHNIA, PERIGRAFH) VALUES ('2026-01-05', 'κλήση')", true, true, true},
            {"UPDATE INFORMATION SET TITLE = 'Ιατρείο'", false, false, true},
            {"SELECT count(XRONOS) FROM HMEROLOGIO_PROSVASEWN", false, false, true},
            {"UPDATE HMEROLOGIO_PROSVASEWN SET XRHSTHS = 'κανείς'", false, false, false},
            {"DELETE FROM HMEROLOGIO_PROSVASEWN", false, false, false},
            {"TRUNCATE HMEROLOGIO_PROSVASEWN", false, false, false},
        };
        for (const Users::User &u : made) {
            Session::current().logIn(practice, password, u.name);
            QCOMPARE(Session::current().role(), u.role);
            auto c = open();
            QCOMPARE(c->scalarNative(QStringLiteral("SELECT current_user::text")).toString(), ServerRoles::loginName(u.name));
            AccessLog::setUser(Session::current().userName());
            AccessLog::record(*c, AccessLog::Action::SignIn);
            for (const Case &k : cases) {
                const bool allowed = u.role == Role::Reception ? k.reception : u.role == Role::Clinician ? k.clinician
                                                                                                         : k.administrator;
                QVERIFY2(runs(*c, QString::fromUtf8(k.sql)) == allowed, qPrintable(u.name + QStringLiteral(": ") + QString::fromUtf8(k.sql)));
            }
        }

        Session::current().logIn(practice, TestServer::loginPassword());
        auto admin = open();
        const AccessLog::Verdict chain = AccessLog::verify(*admin);
        QCOMPARE(chain.count, qint64(made.size()));
        QCOMPARE(chain.firstBad, qint64(0));

        Users::setRole(*admin, made[1].name, Role::Reception);
        Users::setEnabled(*admin, made[2].name, false);
        Users::remove(*admin, made[0].name);
        QCOMPARE(Users::list(*admin).size(), made.size() - 1);
        Session::current().logIn(practice, password, made[1].name);
        QCOMPARE(Session::current().role(), Role::Reception);
        for (const QString &gone : {made[0].name, made[2].name})
            QVERIFY_THROWS_EXCEPTION(DbError, Session::current().logIn(practice, password, gone));
    }
};

MOLARIX_TEST(ServerRolesTest)
#include "test_serverroles.moc"
