#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/jetsql.h"
#include "data/db/pgengine.h"
#include "data/db/servercopy.h"
#include "data/practice/schema.h"
#include "data/practice/schemaversion.h"
#include "data/practice/serverbackup.h"
#include "data/practice/serverconf.h"
#include "data/practice/session.h"
#include "data/work/customers.h"
#include "data/work/plans.h"
#include "data/work/receipts.h"
#include "gui/messages.h"
#include "receipts/issuereceipt.h"
#include "tests/common/testmain.h"
#include "tests/common/testserver.h"
#include "tests/common/testutil.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QScopeGuard>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>

namespace {

void writeFile(const QString &path, const QString &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

// A practice folder whose server.conf names a fresh practice database.
struct ServerFolder {
    QTemporaryDir dir;
    QString database;
    ServerFolder()
    {
        database = TestServer::newPracticeDatabase();
        writeFile(dir.filePath(QStringLiteral("server.conf")), TestServer::serverConf(database));
        Session::current().logIn(BuildConnectionString(dir.path()), TestServer::loginPassword());
    }
    std::unique_ptr<DbConnection> open() const
    {
        auto c = std::make_unique<DbConnection>();
        c->setConnectionString(BuildConnectionString(dir.path()));
        c->open();
        return c;
    }
};

QString openError(const QString &connectionString)
{
    DbConnection c;
    c.setConnectionString(connectionString);
    try {
        c.open();
    } catch (const DbError &e) {
        return e.message();
    }
    return QString();
}

const char *const WorkerDirVariable = "MOLARIX_RECEIPT_WORKER_DIR";

}   // namespace

// Choosing the server, logging in and the faults around it.
class ServerConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void serverConfPutsThePracticeOnTheServer()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto c = f.open();
        QVERIFY(c->onServer());
        QCOMPARE(c->dialect(), Dialect::Postgres);
        // The login is the access check: no password is kept, and the clear
        // one an earlier layout kept goes with the upgrade.
        const QString password = QStringLiteral("SELECT \"PASSWORD\" FROM SECURITY");
        QVERIFY(c->scalarNative(password).isNull());
        c->executeNative(QStringLiteral("UPDATE SECURITY SET \"PASSWORD\"='molarix'"));
        takeLayoutBackTo(*c, 1);
        QList<int> steps;
        for (int v = 2; v <= SchemaVersion::current(); ++v)
            steps << v;
        QCOMPARE(SchemaVersion::upgrade(*c), steps);
        QVERIFY(c->scalarNative(password).isNull());
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT current_database()")).toString(), f.database);
        // Without server.conf the folder is a file practice as before.
        QTemporaryDir plain;
        QVERIFY(BuildConnectionString(plain.path()).contains(QLatin1String("Data Source=")));
    }

    void serverConfIsReadStrictly()
    {
        QTemporaryDir d;
        const QString conf = d.filePath(QStringLiteral("server.conf"));
        writeFile(conf, QStringLiteral("# reception\nhost = db.example\n  port=6543 # not the default\ndatabase=iatreio\nuser=grammateia\n"));
        const ConnectionInfo info = ServerConf::read(d.path());
        QCOMPARE(info.host, QStringLiteral("db.example"));
        QCOMPARE(info.port, 6543);
        QCOMPARE(info.database, QStringLiteral("iatreio"));
        QCOMPARE(info.user, QStringLiteral("grammateia"));
        const ConnectionInfo back = ParseConnectionString(ServerConf::connectionString(info));
        QCOMPARE(back.host, info.host);
        QCOMPARE(back.port, info.port);
        QCOMPARE(back.user, info.user);

        const QStringList refused = {
            QStringLiteral("host=a\ndatabase=b\nuser=c\npassword=secret\n"),   // never a password
            QStringLiteral("host=a\ndatabase=b\n"),                            // no user
            QStringLiteral("host=a\nport=70000\ndatabase=b\nuser=c\n"),
            QStringLiteral("host=a\nhost=b\ndatabase=b\nuser=c\n"),
            QStringLiteral("host=a\ndatabase=b\nuser=c\nsslmode=off\n"),
        };
        for (const QString &text : refused) {
            writeFile(conf, text);
            QVERIFY_THROWS_EXCEPTION(DbError, ServerConf::read(d.path()));
            // The program's connection string carries the fault to the opening.
            QVERIFY(!openError(BuildConnectionString(d.path())).isEmpty());
        }
        writeFile(conf, QStringLiteral("host=a\ndatabase=b\nuser=c\npassword=secret\n"));
        QVERIFY(!BuildConnectionString(d.path()).contains(QLatin1String("secret")));

        // TLS: a server across the network proves who it is unless told otherwise.
        struct Tls {
            const char *lines, *mode;
            bool refused;
        };
        const Tls tls[] = {
            {"host=db.example\n", "verify-full", false},
            {"host=192.168.1.10\nsslmode=require\n", "require", false},
            {"host=db.example\nsslmode=verify-ca\nsslrootcert=ca.crt\n", "verify-ca", false},
            {"host=localhost\n", "", false},
            {"host=127.0.0.1\n", "", false},
            {"host=/run/postgresql\n", "", false},
            {"host=db.example\nsslmode=prefer\n", "", true},
            {"host=db.example\nsslmode=disable\n", "", true},
        };
        for (const Tls &t : tls) {
            writeFile(conf, QString::fromUtf8(t.lines) + QStringLiteral("database=b\nuser=c\n"));
            if (t.refused) {
                QVERIFY_THROWS_EXCEPTION(DbError, ServerConf::read(d.path()));
                continue;
            }
            const ConnectionInfo tlsBack = ParseConnectionString(ServerConf::connectionString(ServerConf::read(d.path())));
            QVERIFY2(tlsBack.sslMode == QLatin1String(t.mode), t.lines);
            QCOMPARE(tlsBack.sslRootCert, QString(t.mode) == QLatin1String("verify-ca") ? d.filePath(QStringLiteral("ca.crt")) : QString());
        }
    }

    void wrongPasswordGetsTheProgramsMessage()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        const QString practice = BuildConnectionString(f.dir.path());
        try {
            Session::current().logIn(practice, QStringLiteral("not-the-password"));
            QFAIL("the server took a wrong password");
        } catch (const DbError &e) {
            QCOMPARE(e.message(), QStringLiteral("Λανθασμένος κωδικός πρόσβασης."));
        }
        QCOMPARE(openError(practice), QStringLiteral("Λανθασμένος κωδικός πρόσβασης."));
        Session::current().logIn(practice, TestServer::loginPassword());
        QVERIFY(openError(practice).isEmpty());
    }

    void unreachableServerIsNamed()
    {
        MOLARIX_REQUIRE_SERVER();
        // The cluster's port on an address nothing listens on.
        QTemporaryDir d;
        writeFile(d.filePath(QStringLiteral("server.conf")),
                  QStringLiteral("host=127.0.0.1\nport=%1\ndatabase=x\nuser=y\n").arg(TestServer::port() + 1));
        const QString msg = openError(BuildConnectionString(d.path()));
        QVERIFY2(msg.contains(QStringLiteral("127.0.0.1")) && msg.contains(QString::number(TestServer::port() + 1)), qPrintable(msg));
        QVERIFY2(msg.startsWith(QStringLiteral("Δεν έγινε σύνδεση")), qPrintable(msg));
    }

    void aUnitThatFailedDoesNotCommit()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto c = f.open();
        {
            DbTransaction tx(*c);
            c->execute(QStringLiteral("INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT,PERIGRAFH) VALUES(#1/2/2020#,10,0,'a')"));
            QVERIFY_THROWS_EXCEPTION(DbError, c->executeNative(QStringLiteral("INSERT INTO NO_SUCH_TABLE VALUES (1)")));
            QVERIFY_THROWS_EXCEPTION(DbError, tx.commit());
        }
        QVERIFY(!c->inTransaction());
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT count(*) FROM EKSODA")).toInt(), 0);
    }
};

// What the server does that the file does differently: folded LIKE on an
// index, the Greek order, locked rows.
class ServerDialectTest : public QObject {
    Q_OBJECT

private slots:
    void likeIsFoldedAndIndexed()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto c = f.open();
        DbTransaction tx(*c);
        for (int i = 0; i < 3000; ++i)
            c->executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES(?,?)"),
                             {QStringLiteral("Όνομα"), QStringLiteral("Επώνυμο%1").arg(i)});
        c->executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Νίκος','ΠΑΠΆΣ'),('Άννα','Παπαδοπούλου'),('Ιώ','Καππά')"));
        tx.commit();
        c->executeNative(QStringLiteral("ANALYZE STOIXEIA_PELATH"));
        DataSet ds(c.get());
        ds.setSql(QStringLiteral("SELECT EPWNYMO FROM STOIXEIA_PELATH WHERE EPWNYMO LIKE 'παπα%' ORDER BY EPWNYMO"));
        ds.open();
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(ds.value(0, 0).toString(), QStringLiteral("Παπαδοπούλου"));
        QCOMPARE(ds.value(1, 0).toString(), QStringLiteral("ΠΑΠΆΣ"));

        const QString native = JetSql::translate(QStringLiteral("SELECT * FROM STOIXEIA_PELATH WHERE EPWNYMO LIKE 'παπ%'"), Dialect::Postgres);
        DbStatement plan(*c, QStringLiteral("EXPLAIN ") + native);
        QString text;
        while (plan.step())
            text += plan.columnValue(0).toString() + u'\n';
        QVERIFY2(text.contains(QLatin1String("ix_pelath_epwnymo_fold")), qPrintable(text));
    }

    void statementsInTheServersWords()
    {
        const auto pg = [](const char *jet) { return JetSql::translate(QString::fromUtf8(jet), Dialect::Postgres); };
        QCOMPARE(pg("SELECT * FROM T WHERE EPWNYMO LIKE'παπ%'"),
                 QStringLiteral("SELECT * FROM T WHERE molarix_fold(EPWNYMO) LIKE molarix_fold('παπ%') ESCAPE ''"));
        QCOMPARE(pg("SELECT 1 WHERE P.ONOMA & ' ' & P.EPWNYMO NOT LIKE '%' & [X] & '%' ESCAPE '!'"),
                 QStringLiteral("SELECT 1 WHERE molarix_fold(P.ONOMA || ' ' || P.EPWNYMO) NOT LIKE molarix_fold('%' || \"X\" || '%') ESCAPE '!'"));
        QCOMPARE(pg("SELECT Format(SUM(POSO),'0.00'), MONTH(D), YEAR(D), DAY(D) FROM E WHERE D>=#3/25/2008# AND V=TRUE"),
                 QStringLiteral("SELECT jetformat(SUM(POSO),'0.00'), jet_month(D), jet_year(D), jet_day(D) FROM E WHERE D>='2008-03-25' AND V=-1"));
        // NULL sorts first ascending and last descending, as in the file.
        QCOMPARE(pg("SELECT A FROM T ORDER BY A, Format(B,'0') DESC, C ASC"),
                 QStringLiteral("SELECT A FROM T ORDER BY A NULLS FIRST, jetformat(B,'0') DESC NULLS LAST, C ASC NULLS FIRST"));
        QCOMPARE(pg("SELECT (SELECT MAX(X) FROM U ORDER BY X) AS M FROM T ORDER BY M DESC"),
                 QStringLiteral("SELECT (SELECT MAX(X) FROM U ORDER BY X NULLS FIRST) AS M FROM T ORDER BY M DESC NULLS LAST"));
        // The file's dialect is untouched.
        QCOMPARE(JetSql::translate(QStringLiteral("SELECT A FROM T WHERE A LIKE 'x%' ORDER BY A")),
                 QStringLiteral("SELECT A FROM T WHERE A LIKE 'x%' ORDER BY A"));
        // Parameters numbered, quoted names folded, literals kept.
        int n = 0;
        QCOMPARE(PgText::fromNative(QStringLiteral("UPDATE \"T\" SET \"A\"=?, B='?\"X\"' WHERE rowid=?"), &n),
                 QStringLiteral("UPDATE \"t\" SET \"a\"=$1, B='?\"X\"' WHERE rowid=$2"));
        QCOMPARE(n, 2);
    }

    void textsOrderAsTheProgramSortsThem()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto c = f.open();
        const QStringList names = {QStringLiteral("Ωμέγα"), QStringLiteral("άλφα"), QStringLiteral("Άλφα"), QStringLiteral("βήτα"),
                                   QStringLiteral("Zeta"), QStringLiteral("alpha"), QStringLiteral("Έψιλον"), QStringLiteral("εψιλον"),
                                   QStringLiteral("Ϊόν"), QStringLiteral("ιόν")};
        for (const QString &n : names)
            c->executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(EPWNYMO) VALUES(?)"), {n});
        DataSet ds(c.get());
        ds.setSql(QStringLiteral("SELECT EPWNYMO FROM STOIXEIA_PELATH ORDER BY EPWNYMO"));
        ds.open();
        QStringList fromServer;
        for (int r = 0; r < ds.recordCount(); ++r)
            fromServer << ds.value(r, 0).toString();
        QStringList expected = names;
        std::sort(expected.begin(), expected.end(), [](const QString &a, const QString &b) { return SqlFunctions::compareText(a, b) < 0; });
        QCOMPARE(fromServer, expected);
    }

    // A table streamed whole (binary COPY) reads every type, NULLs and
    // texts with the server's escape characters as the statements read them.
    void aStreamedTableReadsAsStatementsRead()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto c = f.open();
        c->executeNative(QStringLiteral("CREATE TABLE ALLTYPES (rowid bigint GENERATED ALWAYS AS IDENTITY, S smallint, I integer,"
                                        " B bigint, F real, D double precision, N numeric, T text, V varchar(20), C char(3),"
                                        " Y yesno, J jetdate, M memo, L boolean, R bytea, W date)"));
        const char *const rows[] = {
            "-32768, -2147483648, -9223372036854775808, -1.5, 0.1, 12.345, 'Ελένη\\\\ \t\n', '', 'ab', -1, '2020-02-29',"
            " 'Ο''Νιλ', true, '\\x00ff', '2020-01-02'",
            "32767, 2147483647, 9223372036854775807, 3.25e30, 1.7976931348623157e308, -0.005, 'Α', 'Ω', 'Ψ', 0, '', '', false,"
            " '', '1999-12-31'",
            "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL",
        };
        for (const char *r : rows)
            c->executeNative(QStringLiteral("INSERT INTO ALLTYPES (S, I, B, F, D, N, T, V, C, Y, J, M, L, R, W) VALUES (%1)")
                                 .arg(QString::fromUtf8(r)));
        // The first row, updated, lies last in the table: the stream keeps the order of making.
        c->executeNative(QStringLiteral("UPDATE ALLTYPES SET I = I WHERE rowid = 1"));

        DbStatement read(*c, QStringLiteral("SELECT * FROM ALLTYPES ORDER BY rowid"));
        QStringList want;
        auto cell = [](CellKind kind, qint64 i, double d, QByteArrayView text) {
            switch (kind) {
            case CellKind::Null:
                return QStringLiteral("NULL");
            case CellKind::Integer:
                return QStringLiteral("i%1").arg(i);
            case CellKind::Float:
                return QStringLiteral("f%1").arg(d, 0, 'g', 17);
            default:
                return QStringLiteral("t") + QString::fromUtf8(text);
            }
        };
        QStringList wantNames;
        for (int i = 0; i < read.columnCount(); ++i)
            wantNames << read.columnName(i);
        while (read.step()) {
            QStringList row;
            for (int i = 0; i < read.columnCount(); ++i) {
                const DbCursor &k = read.cursor();
                const CellKind kind = k.kind(i);
                row << cell(kind == CellKind::Blob ? CellKind::Text : kind, k.integer(i), k.real(i), k.utf8(i));
            }
            want << row.join(u'|');
        }
        QCOMPARE(want.size(), 3);

        QStringList names, got;
        ServerCopy::readTable(
            *c, QStringLiteral("ALLTYPES"), [&](const QStringList &n) { names = n; },
            [&](const ServerCopy::Cell *cells, int count) {
                QStringList row;
                for (int i = 0; i < count; ++i)
                    row << cell(cells[i].kind, cells[i].integer, cells[i].real, cells[i].bytes);
                got << row.join(u'|');
            });
        QCOMPARE(names, wantNames);
        QCOMPARE(got, want);
    }

    void anEditMeanwhileIsNotOverwritten()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto a = f.open();
        auto b = f.open();
        a->executeNative(QStringLiteral("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA,PERIGRAFH) VALUES(7,'2026-03-02','Πόνος','')"));
        DataSet first(a.get()), second(b.get());
        for (DataSet *ds : {&first, &second}) {
            ds->setSql(QStringLiteral("SELECT * FROM EPISKEPSEIS WHERE ID=7"));
            ds->open();
            ds->edit();
        }
        first.setFieldValue(QStringLiteral("AITIA"), QStringLiteral("Σφράγισμα"));
        first.post();
        second.setFieldValue(QStringLiteral("AITIA"), QStringLiteral("Εξαγωγή"));
        try {
            second.post();
            QFAIL("the second workstation overwrote the first one's change");
        } catch (const DbError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Η εγγραφή άλλαξε από άλλο χρήστη")), qPrintable(e.message()));
        }
        QCOMPARE(a->scalarNative(QStringLiteral("SELECT AITIA FROM EPISKEPSEIS")).toString(), QStringLiteral("Σφράγισμα"));
        // Posted again knowingly, the second change is stored.
        second.post();
        QCOMPARE(a->scalarNative(QStringLiteral("SELECT AITIA FROM EPISKEPSEIS")).toString(), QStringLiteral("Εξαγωγή"));
        // A deleted row is reported, not silently recreated.
        first.refresh();
        b->executeNative(QStringLiteral("DELETE FROM EPISKEPSEIS"));
        first.edit();
        first.setFieldValue(QStringLiteral("AITIA"), QStringLiteral("Άλλο"));
        QVERIFY_THROWS_EXCEPTION(DbError, first.post());
        QCOMPARE(a->scalarNative(QStringLiteral("SELECT count(*) FROM EPISKEPSEIS")).toInt(), 0);
    }

    // Both read the row; the first posts inside a unit still open when the
    // second posts. The second's check waits for that unit, then sees the
    // change and refuses: the check and the write are one step.
    void aPostWhileAnotherUnitHoldsTheRowIsRefused()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto a = f.open();
        auto b = f.open();
        auto watch = f.open();
        a->executeNative(QStringLiteral("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA,PERIGRAFH) VALUES(7,'2026-03-02','Πόνος','')"));
        DataSet first(a.get()), second(b.get());
        for (DataSet *ds : {&first, &second}) {
            ds->setSql(QStringLiteral("SELECT * FROM EPISKEPSEIS WHERE ID=7"));
            ds->open();
            ds->edit();
        }
        QString refused = QStringLiteral("(stored)");
        std::optional<DbTransaction> unit;
        std::unique_ptr<QThread> poster;
        // A failed check ends the unit first, so that the poster finishes.
        const auto finish = qScopeGuard([&] {
            unit.reset();
            if (poster)
                poster->wait();
        });
        unit.emplace(*a);
        first.setFieldValue(QStringLiteral("AITIA"), QStringLiteral("Σφράγισμα"));
        first.post();
        second.setFieldValue(QStringLiteral("AITIA"), QStringLiteral("Εξαγωγή"));
        poster.reset(QThread::create([&] {
            try {
                second.post();
            } catch (const DbError &e) {
                refused = e.message();
            }
        }));
        poster->start();
        const QString waiting = QStringLiteral("SELECT count(*) FROM pg_stat_activity"
                                               " WHERE datname = current_database() AND wait_event_type = 'Lock'");
        QTRY_VERIFY_WITH_TIMEOUT(watch->scalarNative(waiting).toInt() == 1, 120000);
        unit->commit();
        QVERIFY(poster->wait(120000));
        QVERIFY2(refused.startsWith(QStringLiteral("Η εγγραφή άλλαξε από άλλο χρήστη")), qPrintable(refused));
        QCOMPARE(watch->scalarNative(QStringLiteral("SELECT AITIA FROM EPISKEPSEIS")).toString(), QStringLiteral("Σφράγισμα"));
    }
};

// Several programs issuing receipts at once on one server.
class ServerWorkstationsTest : public QObject {
    Q_OBJECT

private slots:
    // The worker side: issues its share of receipts through the issuing
    // window's own unit of work, reading the counter again after a refusal.
    void issueAsWorker()
    {
        const QString dir = qEnvironmentVariable(WorkerDirVariable);
        if (dir.isEmpty())
            QSKIP("runs only as a worker of threeProgramsIssueOneThousandReceipts");
        const int share = qEnvironmentVariableIntValue("MOLARIX_RECEIPT_SHARE");
        Session::current().logIn(BuildConnectionString(dir), TestServer::loginPassword());
        DbConnection conn;
        conn.setConnectionString(BuildConnectionString(dir));
        conn.setCommandTimeout(60);
        conn.open();
        int issued = 0, refused = 0;
        while (issued < share) {
            TForm56::Entry e;
            e.number = QString::number(conn.scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toLongLong());
            e.customerId = QStringLiteral("1");
            e.amount = 10 + (issued % 7);
            e.firstName = QStringLiteral("Ελένη");
            e.surname = QStringLiteral("Ο'Νιλ");
            e.description = QStringLiteral("Καθαρισμός");
            e.fund = QStringLiteral("ΓΕΣΥ");
            try {
                TForm56::StoreReceipt(conn, e);
                ++issued;
            } catch (const DbError &) {
                QVERIFY2(++refused < 100000, "the worker was refused without end");
            }
        }
        std::printf("issued %d refused %d\n", issued, refused);
    }

    // The worker side of billing: receipts for the plan's done items not
    // billed yet, two at a time, as the plan window issues them, until none
    // is left; a refusal (counter moved, item billed meanwhile) is tried again.
    void billAsWorker()
    {
        const QString dir = qEnvironmentVariable(WorkerDirVariable);
        if (dir.isEmpty())
            QSKIP("runs only as a worker of threeProgramsBillEachItemOnce");
        Session::current().logIn(BuildConnectionString(dir), TestServer::loginPassword());
        DbConnection conn;
        conn.setConnectionString(BuildConnectionString(dir));
        conn.setCommandTimeout(60);
        conn.open();
        const CustomerRef customer = CustomerRef::require(QStringLiteral("1"));
        const int first = qEnvironmentVariableIntValue("MOLARIX_BILL_FROM");
        for (int round = 0; round < 100000; ++round) {
            QList<Plans::Item> billable;
            for (const Plans::Item &i : Plans::items(conn, customer))
                if (i.billable())
                    billable << i;
            if (billable.isEmpty())
                return;
            // Each worker starts elsewhere in the list, and all meet at its end.
            const QList<Plans::Item> two = billable.mid(std::min<qsizetype>(first, billable.size() - 1), 2);
            TForm56::Entry e;
            e.number = QString::number(conn.scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toLongLong());
            e.customerId = customer.text();
            e.amount = double(Plans::sum(two)) / 100;
            e.firstName = QStringLiteral("Ελένη");
            e.surname = QStringLiteral("Ο'Νιλ");
            e.description = Plans::billDescription(two);
            for (const Plans::Item &i : two)
                e.planItems << i.id;
            try {
                TForm56::StoreReceipt(conn, e);
            } catch (const DbError &) {
            }
        }
        QFAIL("the worker billed without end");
    }

    void threeProgramsBillEachItemOnce()
    {
        if (!qEnvironmentVariableIsEmpty(WorkerDirVariable))
            QSKIP("this is a worker");
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto c = f.open();
        c->executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Ελένη','Ο''Νιλ')"));
        c->executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(1)"));
        const CustomerRef customer = CustomerRef::require(QStringLiteral("1"));
        const qint64 work = Plans::addWork(*c, {.code = QStringLiteral("EM01"), .description = QStringLiteral("Έμφραξη"), .cents = 6000});
        const int itemCount = 90;
        for (int i = 0; i < itemCount; ++i)
            Plans::setState(*c, Plans::addItem(*c, customer, {.work = work, .cents = 1000 + i}), Plans::State::Done, QDate(2026, 3, 2));
        std::vector<std::unique_ptr<QProcess>> workers;
        for (const int from : {0, 0, 30}) {
            auto w = std::make_unique<QProcess>();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(WorkerDirVariable), f.dir.path());
            env.insert(QStringLiteral("MOLARIX_BILL_FROM"), QString::number(from));
            w->setProcessEnvironment(env);
            w->start(QCoreApplication::applicationFilePath(), {QStringLiteral("ServerWorkstationsTest"), QStringLiteral("billAsWorker")});
            QVERIFY(w->waitForStarted(10000));
            workers.push_back(std::move(w));
        }
        for (auto &w : workers) {
            QVERIFY(w->waitForFinished(600000));
            QVERIFY2(w->exitStatus() == QProcess::NormalExit && w->exitCode() == 0,
                     qPrintable(QString::fromUtf8(w->readAllStandardOutput() + w->readAllStandardError())));
        }
        // Every item on one receipt, every receipt's amount the sum of its items.
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT count(*) FROM SXEDIO_THERAPEIAS WHERE AR_APODEIKSHS IS NULL")).toInt(), 0);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT count(*) FROM APODEIKSEIS a WHERE round(a.POSO * 100) <>"
                                                " (SELECT coalesce(sum(s.TIMH_LEPTA), 0) FROM SXEDIO_THERAPEIAS s WHERE s.AR_APODEIKSHS = a.AR_APODEIKSHS)"))
                     .toInt(),
                 0);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT sum(TIMH_LEPTA) FROM SXEDIO_THERAPEIAS")).toLongLong(),
                 std::llround(c->scalarNative(QStringLiteral("SELECT sum(POSO) FROM EISPRAKSH_PELATH")).toDouble() * 100));
        QVERIFY(Plans::totals(Plans::items(*c, customer)).outstanding == 0);
    }

    void threeProgramsIssueOneThousandReceipts()
    {
        if (!qEnvironmentVariableIsEmpty(WorkerDirVariable))
            QSKIP("this is a worker");
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto c = f.open();
        c->executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Ελένη','Ο''Νιλ')"));
        c->executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(1)"));
        const int shares[] = {334, 333, 333};
        std::vector<std::unique_ptr<QProcess>> workers;
        for (int share : shares) {
            auto w = std::make_unique<QProcess>();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(WorkerDirVariable), f.dir.path());
            env.insert(QStringLiteral("MOLARIX_RECEIPT_SHARE"), QString::number(share));
            w->setProcessEnvironment(env);
            w->start(QCoreApplication::applicationFilePath(), {QStringLiteral("ServerWorkstationsTest"), QStringLiteral("issueAsWorker")});
            QVERIFY(w->waitForStarted(10000));
            workers.push_back(std::move(w));
        }
        for (auto &w : workers) {
            QVERIFY(w->waitForFinished(600000));
            QVERIFY2(w->exitStatus() == QProcess::NormalExit && w->exitCode() == 0,
                     qPrintable(QString::fromUtf8(w->readAllStandardOutput() + w->readAllStandardError())));
        }
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT count(*) FROM APODEIKSEIS")).toInt(), 1000);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT count(DISTINCT AR_APODEIKSHS) FROM APODEIKSEIS")).toInt(), 1000);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT min(AR_APODEIKSHS) FROM APODEIKSEIS")).toInt(), 1);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT max(AR_APODEIKSHS) FROM APODEIKSEIS")).toInt(), 1000);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toInt(), 1001);
        // Takings = receipts: one taking per receipt, with its amount.
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT count(*) FROM EISPRAKSH_PELATH")).toInt(), 1000);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT count(*) FROM APODEIKSEIS a JOIN EISPRAKSH_PELATH e"
                                                " ON e.AR_APODEIKSHS = a.AR_APODEIKSHS AND e.POSO = a.POSO"))
                     .toInt(),
                 1000);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT sum(POSO) FROM EISPRAKSH_PELATH")).toDouble(),
                 c->scalarNative(QStringLiteral("SELECT sum(POSO) FROM APODEIKSEIS")).toDouble());
    }
};

namespace {

const char *const HolderDirVariable = "MOLARIX_COUNTER_HOLDER_DIR";

int g_busyShown = 0;
void countBusy() { ++g_busyShown; }

// openssl, run by the test: a certificate authority and what it signs.
void openssl(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    QVERIFY2(p.waitForFinished(120000) && p.exitCode() == 0, qPrintable(QString::fromLocal8Bit(p.readAll())));
}

void makeAuthority(const QString &dir, const QString &name)
{
    openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
             QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
             QStringLiteral("/CN=") + name, QStringLiteral("-keyout"), dir + u'/' + name + QStringLiteral(".key"),
             QStringLiteral("-out"), dir + u'/' + name + QStringLiteral(".crt")});
}

Receipts::Issue receiptFor(qint64 number, const QString &surname)
{
    return {.number = number, .customer = CustomerRef::require(QStringLiteral("1")), .amount = 25, .firstName = QStringLiteral("Νίκος"), .surname = surname, .receiver = QStringLiteral("Νίκος ") + surname, .description = QStringLiteral("Καθαρισμός"), .fund = QString()};
}

}   // namespace

// A server practice on a real network: a workstation frozen inside a unit,
// a server restarted under open windows, TLS, texts the server could misread.
class ServerNetworkTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        DbConnection::setBusyNotifier(nullptr);
        Messages::takeShown();
    }

    // The frozen workstation: takes the counter inside a unit and stops itself.
    void holdCounterAsWorker()
    {
        const QString dir = qEnvironmentVariable(HolderDirVariable);
        if (dir.isEmpty())
            QSKIP("runs only as the frozen workstation of aFrozenWorkstationReleasesTheCounter");
        Session::current().logIn(BuildConnectionString(dir), TestServer::loginPassword());
        DbConnection conn;
        conn.setConnectionString(BuildConnectionString(dir));
        conn.open();
        DbTransaction tx(conn);
        conn.scalarNative(conn.engine().forUpdate(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")));
        ::raise(SIGSTOP);
    }

    void aFrozenWorkstationReleasesTheCounter()
    {
        if (!qEnvironmentVariableIsEmpty(HolderDirVariable))
            QSKIP("this is the frozen workstation");
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto c = f.open();
        c->executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Νίκος','Παπάς')"));
        c->executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(1)"));

        // A counter held elsewhere is waited for with the busy cursor, then refused as in use.
        DbConnection::setBusyNotifier(&countBusy);
        g_busyShown = 0;
        auto holder = f.open();
        {
            DbTransaction held(*holder);
            holder->scalarNative(holder->engine().forUpdate(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")));
            DbConnection waiting;
            waiting.setConnectionString(BuildConnectionString(f.dir.path()));
            waiting.setCommandTimeout(1);
            waiting.open();
            try {
                Receipts::issue(waiting, receiptFor(1, QStringLiteral("Παπάς")));
                QFAIL("a receipt was issued while another unit held the counter");
            } catch (const DbError &e) {
                QCOMPARE(e.cause(), DbError::Cause::InUse);
            }
            QVERIFY(g_busyShown > 0);
        }

        QProcess frozen;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(HolderDirVariable), f.dir.path());
        frozen.setProcessEnvironment(env);
        frozen.start(QCoreApplication::applicationFilePath(), {QStringLiteral("ServerNetworkTest"), QStringLiteral("holdCounterAsWorker")});
        const auto end = qScopeGuard([&] {
            ::kill(pid_t(frozen.processId()), SIGKILL);
            frozen.waitForFinished(30000);
        });
        // It stops itself once it holds the counter.
        const QString stat = QStringLiteral("/proc/%1/stat").arg(frozen.processId());
        const auto stopped = [&] {
            QFile proc(stat);
            return proc.open(QIODevice::ReadOnly) && proc.readAll().split(' ').value(2) == "T";
        };
        QTRY_VERIFY_WITH_TIMEOUT(stopped() || frozen.state() == QProcess::NotRunning, 120000);
        QVERIFY(frozen.state() == QProcess::Running);
        // The stopped program keeps its session and its lock; the server
        // ends that session, and the next press issues.
        bool issued = false;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     if (issued)
                                         return true;
                                     try {
                                         Receipts::issue(*c, receiptFor(1, QStringLiteral("Παπάς")));
                                         issued = true;
                                     } catch (const DbError &e) {
                                         if (e.cause() != DbError::Cause::InUse)
                                             qWarning("%s", qPrintable(e.message()));
                                     }
                                     return issued;
                                 }()),
                                 120000);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toInt(), 2);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT count(*) FROM APODEIKSEIS")).toInt(), 1);
    }

    // Typed text survives the server going away: saved once it is back.
    void workAcrossARestartIsSaved()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto c = f.open();
        c->executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Νίκος','Παπάς')"));
        c->executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(1001)"));
        auto untouched = f.open();   // nothing runs on it while the server is away
        DataSet early(c.get()), late(untouched.get());
        for (DataSet *ds : {&early, &late}) {
            ds->setSql(QStringLiteral("SELECT * FROM STOIXEIA_PELATH"));
            ds->open();
            ds->edit();
        }
        early.setFieldValue(QStringLiteral("THLEFWNO_1"), QStringLiteral("22123456"));
        DbConnectionString = BuildConnectionString(f.dir.path());
        const auto restore = qScopeGuard([] { DbConnectionString.clear(); });
        TForm56 w;
        w.CustomerId = QStringLiteral("1");
        w.CustomerFirstName = QStringLiteral("Νίκος");
        w.CustomerSurname = QStringLiteral("Παπάς");
        w.show();
        child<QLineEdit>(&w, "Edit3")->setText(QStringLiteral("50"));
        child<QLineEdit>(&w, "Edit2")->setText(QStringLiteral("Σφράγισμα"));
        QCOMPARE(child<QLabel>(&w, "DBText2")->text(), QStringLiteral("1001"));

        TestServer::stop();
        const QString lostLine = DbConnection::causeText(DbError::Cause::ConnectionLost);
        try {
            early.post();
            QFAIL("a post reached a stopped server");
        } catch (const DbError &e) {
            QCOMPARE(e.cause(), DbError::Cause::ConnectionLost);
            QVERIFY2(e.message().endsWith(lostLine), qPrintable(e.message()));
        }
        child<QPushButton>(&w, "Button1")->click();
        const QList<Messages::Shown> shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Η καταχώρηση δεν έγινε\n") + lostLine);
        QCOMPARE(child<QLabel>(&w, "DBText2")->text(), QStringLiteral("1001"));
        QCOMPARE(child<QLineEdit>(&w, "Edit3")->text(), QStringLiteral("50"));

        TestServer::start();
        early.post();
        late.setFieldValue(QStringLiteral("THLEFWNO_2"), QStringLiteral("99123456"));
        late.post();   // opened before the restart, stored at the first try
        child<QPushButton>(&w, "Button1")->click();
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT count(*) FROM APODEIKSEIS WHERE AR_APODEIKSHS=1001 AND POSO=50")).toInt(), 1);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toInt(), 1002);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT THLEFWNO_1 || THLEFWNO_2 FROM STOIXEIA_PELATH")).toString(),
                 QStringLiteral("2212345699123456"));
    }

    // A backslash is a character like any other, even where the database
    // would read it as an escape.
    void aBackslashStaysVerbatim()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        TestServer::superExec(QStringLiteral("postgres"),
                              QStringLiteral("ALTER DATABASE %1 SET standard_conforming_strings = off").arg(f.database));
        auto c = f.open();
        c->execute(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Νίκος','Παπάς\\')"));
        DataSet entry(c.get());
        Customers::openForEntry(entry);
        entry.append();
        entry.setFieldValue(QStringLiteral("EPWNYMO"), QStringLiteral("Παππάς\\"));
        entry.post();
        c->executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(1)"));
        Receipts::issue(*c, receiptFor(1, QStringLiteral("Παπάς\\")));

        DataSet found(c.get());
        found.setSql(Customers::byInitials(QStringLiteral("Παπ")).sql);
        found.open();
        QCOMPARE(found.recordCount(), 2);
        QCOMPARE(found.value(0, found.fieldIndex(QStringLiteral("EPWNYMO"))).toString(), QStringLiteral("Παπάς\\"));
        QCOMPARE(found.value(1, found.fieldIndex(QStringLiteral("EPWNYMO"))).toString(), QStringLiteral("Παππάς\\"));
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT EPWNYMO FROM APODEIKSEIS")).toString(), QStringLiteral("Παπάς\\"));
    }

    // The server's certificate made for the test: the authority's own
    // verifies it for the right name; a wrong name or authority is refused.
    void tlsVerifiesTheServer()
    {
        MOLARIX_REQUIRE_SERVER();
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            QSKIP("openssl is not installed");
        QTemporaryDir pki;
        const QString d = pki.path();
        makeAuthority(d, QStringLiteral("ca"));
        makeAuthority(d, QStringLiteral("stranger"));
        writeFile(d + QStringLiteral("/ext"), QStringLiteral("subjectAltName=DNS:localhost\n"));
        openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                 QStringLiteral("-subj"), QStringLiteral("/CN=localhost"), QStringLiteral("-keyout"), d + QStringLiteral("/server.key"),
                 QStringLiteral("-out"), d + QStringLiteral("/server.csr")});
        openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), d + QStringLiteral("/server.csr"),
                 QStringLiteral("-CA"), d + QStringLiteral("/ca.crt"), QStringLiteral("-CAkey"), d + QStringLiteral("/ca.key"),
                 QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                 d + QStringLiteral("/ext"), QStringLiteral("-out"), d + QStringLiteral("/server.crt")});
        TestServer::enableTls(d + QStringLiteral("/server.crt"), d + QStringLiteral("/server.key"));

        ServerFolder f;
        const auto conf = [&](const char *host, const char *root) {
            writeFile(f.dir.filePath(QStringLiteral("server.conf")),
                      QStringLiteral("host=%1\nport=%2\ndatabase=%3\nuser=%4\nsslmode=verify-full\nsslrootcert=%5\n")
                          .arg(QLatin1String(host))
                          .arg(TestServer::port())
                          .arg(f.database, TestServer::loginUser(), d + u'/' + QLatin1String(root)));
            return BuildConnectionString(f.dir.path());
        };
        struct Case {
            const char *host, *root, *refusal;
        };
        const Case cases[] = {
            {"localhost", "ca.crt", ""},
            {"127.0.0.1", "ca.crt", "δεν είναι γραμμένο για το όνομα «127.0.0.1»"},
            {"localhost", "stranger.crt", "δεν είναι υπογεγραμμένο από την αρχή"},
            {"localhost", "missing.crt", "Δεν βρέθηκε το πιστοποιητικό της αρχής"},
        };
        for (const Case &t : cases) {
            const QString cs = conf(t.host, t.root);
            if (!*t.refusal) {
                Session::current().logIn(cs, TestServer::loginPassword());
                DbConnection c;
                c.setConnectionString(cs);
                c.open();
                QVERIFY(c.scalarNative(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")).toBool());
                continue;
            }
            const QString msg = openError(cs + QStringLiteral(";Jet OLEDB:Database Password=") + TestServer::loginPassword());
            QVERIFY2(msg.contains(QString::fromUtf8(t.refusal)), qPrintable(msg));
        }
    }
};

// molarix-db on a server folder: create-server, sql, copy both ways.
class ServerToolTest : public QObject {
    Q_OBJECT

private slots:
    void createServerThenCopyThereAndBack()
    {
        MOLARIX_REQUIRE_SERVER();
        const QString password = TestServer::loginPassword();
        QTemporaryDir server;
        writeFile(server.filePath(QStringLiteral("server.conf")), TestServer::serverConf(TestServer::newEmptyDatabase()));
        ToolRun r = runTool({QStringLiteral("create-server"), server.path(), QStringLiteral("--password"), QStringLiteral("wrong")});
        QVERIFY2(r.code != 0 && r.err.contains(QStringLiteral("Λανθασμένος κωδικός πρόσβασης")), qPrintable(r.err));
        r = runTool({QStringLiteral("create-server"), server.path(), QStringLiteral("--password"), password});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // Every login of the server may still connect: the tool says so, until revoked.
        QVERIFY2(r.err.contains(QStringLiteral("Προσοχή: κάθε χρήστης του διακομιστή έχει ακόμη CONNECT, TEMP")), qPrintable(r.err));
        QTemporaryDir closed;
        const QString closedDb = TestServer::newEmptyDatabase();
        TestServer::superExec(QStringLiteral("postgres"), QStringLiteral("REVOKE CONNECT, TEMP ON DATABASE %1 FROM PUBLIC").arg(closedDb));
        writeFile(closed.filePath(QStringLiteral("server.conf")), TestServer::serverConf(closedDb));
        r = runTool({QStringLiteral("create-server"), closed.path(), QStringLiteral("--password"), password});
        QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(r.err));
        r = runTool({QStringLiteral("create-server"), server.path(), QStringLiteral("--password"), password});
        QVERIFY2(r.code != 0, "a second create-server overwrote the practice");

        // A file practice with customers, receipts, takings and expenses.
        QTemporaryDir file;
        QVERIFY(runTool({QStringLiteral("create"), file.path(), QStringLiteral("--password"), password}).code == 0);
        const QString fill = QStringLiteral(
            "INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,HMEROMHNIA_GENNHSEWS) VALUES('Ελένη','Ο''Νιλ',#3/5/1970#);"
            "INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Γιώργος','Παπαδόπουλος');"
            "INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,POSO,EGKYRH) VALUES(1,#1/2/2020#,12.5,TRUE);"
            "INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,POSO,EGKYRH) VALUES(2,#1/3/2020#,7.25,FALSE);"
            "INSERT INTO EISPRAKSH_PELATH(ID,HMEROMHNIA,POSO,AR_APODEIKSHS) VALUES(1,#1/2/2020#,12.5,1);"
            "INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT) VALUES(#2/29/2020#,100.1,19);"
            "INSERT INTO LAST_APODEIKSH([LAST]) VALUES(3)");
        r = runTool({QStringLiteral("sql"), file.path(), fill, QStringLiteral("--password"), password});
        QVERIFY2(r.code == 0, qPrintable(r.err));

        r = runTool({QStringLiteral("copy"), file.path(), server.path(), QStringLiteral("--password"), password});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        r = runTool({QStringLiteral("sql"), server.path(), QStringLiteral("SELECT COUNT(*) FROM SECURITY WHERE [PASSWORD] IS NULL"),
                     QStringLiteral("--password"), password});
        QCOMPARE(r.out.section(u'\n', 1).trimmed(), QStringLiteral("1"));   // the file's password stayed behind
        const QString sums = QStringLiteral(
            "SELECT (SELECT COUNT(*) FROM STOIXEIA_PELATH), (SELECT SUM(POSO) FROM APODEIKSEIS), "
            "(SELECT COUNT(*) FROM APODEIKSEIS WHERE EGKYRH=TRUE), (SELECT MAX(ID) FROM STOIXEIA_PELATH), "
            "(SELECT Format(HMEROMHNIA,'dd/mm/yyyy') FROM EKSODA), (SELECT [LAST] FROM LAST_APODEIKSH)");
        const ToolRun onFile = runTool({QStringLiteral("sql"), file.path(), sums, QStringLiteral("--password"), password});
        const ToolRun onServer = runTool({QStringLiteral("sql"), server.path(), sums, QStringLiteral("--password"), password});
        QVERIFY2(onServer.code == 0, qPrintable(onServer.err));
        QCOMPARE(onServer.out.section(u'\n', 1), onFile.out.section(u'\n', 1));
        QVERIFY(onFile.out.contains(QStringLiteral("29/02/2020")));
        // The server goes on numbering customers after the copied ones.
        r = runTool({QStringLiteral("sql"), server.path(),
                     QStringLiteral("INSERT INTO STOIXEIA_PELATH(EPWNYMO) VALUES('Νέος'); SELECT MAX(ID) FROM STOIXEIA_PELATH"),
                     QStringLiteral("--password"), password});
        QVERIFY2(r.code == 0 && r.out.contains(QStringLiteral("\n3\n")), qPrintable(r.out + r.err));

        // A target that holds rows is refused and left as it was.
        r = runTool({QStringLiteral("copy"), file.path(), server.path(), QStringLiteral("--password"), password});
        QVERIFY(r.code != 0);
        QCOMPARE(runTool({QStringLiteral("sql"), server.path(), QStringLiteral("SELECT COUNT(*) FROM APODEIKSEIS"),
                          QStringLiteral("--password"), password})
                     .out.section(u'\n', 1)
                     .trimmed(),
                 QStringLiteral("2"));

        // And back into a new file.
        QTemporaryDir back;
        r = runTool({QStringLiteral("copy"), server.path(), back.path(), QStringLiteral("--password"), password});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const ToolRun onBack = runTool({QStringLiteral("sql"), back.path(), QStringLiteral("SELECT COUNT(*), SUM(POSO) FROM APODEIKSEIS"),
                                        QStringLiteral("--password"), password});
        QCOMPARE(onBack.out.section(u'\n', 1).trimmed(), QStringLiteral("2\t19.75"));
    }

    // The file is written on a thread of its own while the server is read:
    // a copy that cannot be written is reported as such, leaves no file, and
    // the server's connection goes on as before.
    void aCopyThatCannotBeWrittenStopsTheReading()
    {
        MOLARIX_REQUIRE_SERVER();
        ServerFolder f;
        auto c = f.open();
        c->executeNative(QStringLiteral("INSERT INTO stoixeia_pelath (epwnymo) SELECT 'Π' || g FROM generate_series(1, 5000) g"));
        QTemporaryDir out;
        const QString dest = out.filePath(QStringLiteral("data-copy.mdb"));
        QVERIFY(QDir().mkpath(dest + QStringLiteral(".part")));   // its working name is taken
        QString message;
        try {
            ServerBackup::makeVerified(*c, dest, TestServer::loginPassword());
        } catch (const DbError &e) {
            message = e.message();
        }
        QVERIFY2(message.contains(QStringLiteral("υπάρχει ήδη")), qPrintable(message));
        QVERIFY(!QFileInfo::exists(dest));
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT count(*) FROM stoixeia_pelath")).toInt(), 5000);
    }

    // backup makes a verified practice file of the server under backups/;
    // restore fills an empty database from it (tables without rows, or
    // none) and replaces one that holds rows only when confirmed.
    void backupAndRestoreRoundTrip()
    {
        MOLARIX_REQUIRE_SERVER();
        const QString password = TestServer::loginPassword();
        const QStringList pw{QStringLiteral("--password"), password};
        QTemporaryDir server;
        const QString database = TestServer::newPracticeDatabase();
        writeFile(server.filePath(QStringLiteral("server.conf")), TestServer::serverConf(database));
        const QString fill = QStringLiteral(
            "INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,HMEROMHNIA_GENNHSEWS,ISTORIKO) VALUES('Ελένη','Ο''Νιλ\\',#3/5/1970#,NULL);"
            "INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Γιώργος','Παπαδόπουλος');"
            "INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA) VALUES(1,#1/2/2020#,'Έλεγχος');"
            "INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,POSO,EGKYRH) VALUES(1,#1/2/2020#,12.5,TRUE);"
            "INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,POSO,EGKYRH) VALUES(2,#1/3/2020#,7.25,FALSE);"
            "INSERT INTO EISPRAKSH_PELATH(ID,HMEROMHNIA,POSO,AR_APODEIKSHS) VALUES(1,#1/2/2020#,12.5,1);"
            "INSERT INTO LAST_APODEIKSH([LAST]) VALUES(3);"
            "INSERT INTO INFORMATION(TITLE) VALUES('Οδοντιατρείο');"
            "INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT) VALUES(#2/29/2020#,100.1,19);"
            "INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830]) VALUES(#1/2/2020#,'Ελένη');"
            "INSERT INTO YPENTHIMISEIS(HMEROMHNIA,PERIGRAFH) VALUES(#1/4/2020#,'Τηλέφωνο');"
            "INSERT INTO SHMEIWSEIS(TITLOS) VALUES('Σημείωση');"
            "INSERT INTO XRHSIMA_THLEFWNA(ONOMATEPWNYMO) VALUES('Εργαστήριο');"
            "INSERT INTO ODONTOGRAMMA(ID,HMEROMHNIA,DONTI,EPIFANEIES) VALUES(1,#1/2/2020#,16,'MO');"
            "INSERT INTO TIMOKATALOGOS(KWDIKOS,TIMH_LEPTA) VALUES('Α1',4000)");
        ToolRun r = runTool(QStringList{QStringLiteral("sql"), server.path(), fill} + pw);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // Every table's rows, the amounts, the counter and the texts as stored.
        QStringList parts;
        for (const QString &t : Schema::tableNames() + SchemaVersion::addedTables())
            parts << QStringLiteral("(SELECT COUNT(*) FROM %1)").arg(t);
        const QString summary = QStringLiteral("SELECT ") + parts.join(u',')
            + QStringLiteral(", (SELECT SUM(POSO) FROM APODEIKSEIS), (SELECT SUM(POSO) FROM EISPRAKSH_PELATH),"
                             " (SELECT SUM(POSO) FROM EKSODA), (SELECT [LAST] FROM LAST_APODEIKSH),"
                             " (SELECT MIN(EPWNYMO) FROM STOIXEIA_PELATH), (SELECT Format(HMEROMHNIA,'dd/mm/yyyy') FROM EKSODA)");
        auto summaryOf = [&](const QString &dir) {
            const ToolRun s = runTool(QStringList{QStringLiteral("sql"), dir, summary} + pw);
            return s.code == 0 ? s.out.section(u'\n', 1) : s.err;
        };
        const QString before = summaryOf(server.path());
        QVERIFY2(before.contains(QStringLiteral("Ο'Νιλ\\")), qPrintable(before));

        // A refused backup leaves no backups folder behind.
        const QString backups = server.filePath(QStringLiteral("backups"));
        r = runTool({QStringLiteral("backup"), server.path(), QStringLiteral("--password"), QStringLiteral("wrong")});
        QVERIFY2(r.code == 1 && r.err.trimmed().count(u'\n') == 0 && r.err.contains(QStringLiteral("Λανθασμένος κωδικός")), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(backups));

        r = runTool(QStringList{QStringLiteral("backup"), server.path()} + pw);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QStringList made = QDir(backups).entryList(QDir::Files);
        QCOMPARE(made.size(), 1);
        QVERIFY2(Backup::timeOfName(made.first()).isValid(), qPrintable(made.first()));
        const QString copy = QDir(backups).absoluteFilePath(made.first());
        // The copy is a practice file the login's password opens, with the server's data.
        QTemporaryDir asFile;
        QVERIFY(QFile::copy(copy, asFile.filePath(QStringLiteral("data.mdb"))));
        QCOMPARE(summaryOf(asFile.path()), before);
        // and every index of a new practice file, those built after the rows too.
        QTemporaryDir fresh;
        QVERIFY(runTool(QStringList{QStringLiteral("create"), fresh.path()} + pw).code == 0);
        auto indexesOf = [&](const QString &file) {
            DbConnection c;
            ConnectionInfo key;
            key.password = password;
            c.openFile(file, key);
            return c.scalarNative(QStringLiteral("SELECT group_concat(name || ' ' || coalesce(sql, ''), '; ') FROM"
                                                 " (SELECT name, sql FROM sqlite_master WHERE type = 'index' ORDER BY name)"))
                .toString();
        };
        const QString indexes = indexesOf(fresh.filePath(QStringLiteral("data.mdb")));
        QVERIFY2(indexes.contains(QStringLiteral("IX_EPISKEPSEIS_GESY")), qPrintable(indexes));
        QCOMPARE(indexesOf(copy), indexes);

        // Tables without rows: filled from the copy.
        QStringList empty;
        for (const QString &t : Schema::tableNames() + SchemaVersion::addedTables())
            if (t != QLatin1String("SECURITY"))
                empty << QStringLiteral("DELETE FROM %1").arg(t);
        r = runTool(QStringList{QStringLiteral("sql"), server.path(), empty.join(u';')} + pw);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(summaryOf(server.path()) != before);
        r = runTool(QStringList{QStringLiteral("restore"), server.path(), copy} + pw);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(summaryOf(server.path()), before);
        // The server numbers new customers and prices after the restored ones.
        r = runTool(QStringList{QStringLiteral("sql"), server.path(),
                                QStringLiteral("INSERT INTO STOIXEIA_PELATH(EPWNYMO) VALUES('Νέος');"
                                               " INSERT INTO TIMOKATALOGOS(KWDIKOS,TIMH_LEPTA) VALUES('Α2',5000);"
                                               " SELECT MAX(ID) FROM STOIXEIA_PELATH UNION ALL SELECT MAX(ID) FROM TIMOKATALOGOS")}
                    + pw);
        QVERIFY2(r.code == 0 && r.out.contains(QStringLiteral("\n3\n2\n")), qPrintable(r.out + r.err));

        // A database with rows is refused unless confirmed, and then replaced.
        r = runTool(QStringList{QStringLiteral("restore"), server.path(), copy} + pw);
        QVERIFY2(r.code == 1 && r.err.contains(QStringLiteral("έχει ήδη δεδομένα")), qPrintable(r.err));
        QVERIFY(summaryOf(server.path()) != before);
        r = runTool(QStringList{QStringLiteral("restore"), server.path(), copy, QStringLiteral("--yes")} + pw);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(summaryOf(server.path()), before);

        // A database without tables gets them, then the rows.
        QTemporaryDir bare;
        writeFile(bare.filePath(QStringLiteral("server.conf")), TestServer::serverConf(TestServer::newEmptyDatabase()));
        r = runTool(QStringList{QStringLiteral("restore"), bare.path(), copy} + pw);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(summaryOf(bare.path()), before);
        QVERIFY(!QFileInfo::exists(bare.filePath(QStringLiteral("backups"))));
    }

    // A refusal is one Greek sentence naming what it refers to, and the
    // folder stays as it was.
    void refusalsOnAServerPracticeAreOneSentence()
    {
        MOLARIX_REQUIRE_SERVER();
        QTemporaryDir up, down;
        writeFile(up.filePath(QStringLiteral("server.conf")), TestServer::serverConf(TestServer::newPracticeDatabase()));
        writeFile(down.filePath(QStringLiteral("server.conf")),
                  QStringLiteral("host=127.0.0.1\nport=%1\ndatabase=x\nuser=y\n").arg(TestServer::port() + 1));
        const QString right = TestServer::loginPassword(), wrong = QStringLiteral("lathos-kwdikos");
        struct Case {
            const QTemporaryDir *folder;
            QStringList args;   // %1: the folder
            QString password;
            const char *refusal;
        };
        const Case cases[] = {
            {&up, {QStringLiteral("create"), QStringLiteral("%1")}, right, "Ο φάκελος '%1' ορίζει ιατρείο σε διακομιστή"},
            {&up, {QStringLiteral("demo"), QStringLiteral("%1")}, right, "Ο φάκελος '%1' ορίζει ιατρείο σε διακομιστή"},
            {&up, {QStringLiteral("import-jet"), QStringLiteral("/nonexistent/old.mdb"), QStringLiteral("%1")}, right, "Ο φάκελος '%1' ορίζει ιατρείο σε διακομιστή"},
            {&up, {QStringLiteral("check"), QStringLiteral("%1")}, wrong, "Λανθασμένος κωδικός πρόσβασης."},
            {&up, {QStringLiteral("passwd"), QStringLiteral("%1"), QStringLiteral("--new-password"), QStringLiteral("kainourgios1")}, wrong, "Λανθασμένος κωδικός πρόσβασης."},
            {&down, {QStringLiteral("sql"), QStringLiteral("%1"), QStringLiteral("SELECT 1")}, right, "Δεν έγινε σύνδεση με τον διακομιστή 127.0.0.1"},
            {&down, {QStringLiteral("check"), QStringLiteral("%1")}, right, "Δεν έγινε σύνδεση με τον διακομιστή 127.0.0.1"},
            {&down, {QStringLiteral("passwd"), QStringLiteral("%1"), QStringLiteral("--new-password"), QStringLiteral("kainourgios1")}, right, "Δεν έγινε σύνδεση με τον διακομιστή 127.0.0.1"},
        };
        for (const Case &c : cases) {
            QStringList args = c.args;
            args.replaceInStrings(QStringLiteral("%1"), c.folder->path());
            const ToolRun r = runTool(args, 600000, c.password);
            const QString what = args.join(u' ') + QStringLiteral(": ") + r.err;
            QVERIFY2(r.code == 1 && r.out.isEmpty(), qPrintable(what));
            QVERIFY2(r.err.trimmed().count(u'\n') == 0, qPrintable(what));
            QVERIFY2(r.err.startsWith(QStringLiteral("molarix-db: ") + QString::fromUtf8(c.refusal).arg(c.folder->path())), qPrintable(what));
            QVERIFY2(!r.err.contains(QStringLiteral("''")) && !r.err.contains(QStringLiteral("  ")), qPrintable(what));
            QCOMPARE(QDir(c.folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("server.conf")});
        }
    }

    // The new password is the login's: it opens the practice, the old one no longer does.
    void passwdChangesTheLogin()
    {
        MOLARIX_REQUIRE_SERVER();
        QTemporaryDir server;
        writeFile(server.filePath(QStringLiteral("server.conf")), TestServer::serverConf(TestServer::newPracticeDatabase()));
        const auto back = qScopeGuard([] {
            TestServer::superExec(QStringLiteral("postgres"),
                                  QStringLiteral("ALTER ROLE %1 PASSWORD '%2'").arg(TestServer::loginUser(), TestServer::loginPassword()));
        });
        const QString fresh = QStringLiteral("kainourgios2");
        ToolRun r = runTool({QStringLiteral("passwd"), server.path(), QStringLiteral("--new-password"), fresh}, 600000, TestServer::loginPassword());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QStringList count = {QStringLiteral("sql"), server.path(), QStringLiteral("SELECT COUNT(*) FROM SECURITY WHERE [PASSWORD] IS NULL")};
        r = runTool(count, 600000, fresh);
        QVERIFY2(r.code == 0 && r.out == QStringLiteral("COUNT\n1\n"), qPrintable(r.out + r.err));
        r = runTool(count, 600000, TestServer::loginPassword());
        QVERIFY2(r.code == 1 && r.err.contains(QStringLiteral("Λανθασμένος κωδικός πρόσβασης")), qPrintable(r.err));
        QVERIFY(!TestServer::serverLog().contains(fresh));
    }
};

MOLARIX_TEST(ServerToolTest)
MOLARIX_TEST(ServerConnectionTest)
MOLARIX_TEST(ServerDialectTest)
MOLARIX_TEST(ServerWorkstationsTest)
MOLARIX_TEST(ServerNetworkTest)
#include "test_server.moc"
