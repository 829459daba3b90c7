// The same lists on the PostgreSQL server over its local socket and on the
// local file: the customer list of 100,000, the issued receipts of 200,000
// and 20 years of expenses by month, each read into the windows' data set.
// The server is a throw-away cluster made as the tests make theirs.
#include "customers/findcustomer.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/schema.h"
#include "data/work/expenses.h"
#include "tests/common/testserver.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

int Customers = 100000;
int Receipts = 200000;
int Expenses = 100000;   // 20 years

const char *const IssuedList =
    "SELECT AR_APODEIKSHS, HMEROMHNIA, ONOMA, EPWNYMO, PARALHPTHS, Format(POSO,'0.00') AS POSO, TAMEIO, "
    "Format(POSO_CY,'0.00') AS POSO_CY, PERIGRAFH, EGKYRH FROM APODEIKSEIS ORDER BY HMEROMHNIA";

const QStringList &surnames()
{
    static const QStringList s = {QStringLiteral("Παπαδόπουλος"), QStringLiteral("Αβραμίδη"), QStringLiteral("Ιωάννου"),
                                  QStringLiteral("Γεωργίου"), QStringLiteral("Νικολάου"), QStringLiteral("Κωνσταντίνου"),
                                  QStringLiteral("Χριστοδούλου"), QStringLiteral("Ευαγγέλου"), QStringLiteral("Σάββα")};
    return s;
}

void fill(DbConnection &conn)
{
    QRandomGenerator rng(17);
    DbTransaction tx(conn);
    {
        DbStatement st(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,THLEFWNO_1,"
                                            "DIEYTHYNSH,TAMEIO) VALUES(?,?,?,?,?,?,?)"));
        for (int i = 0; i < Customers; ++i) {
            st.reset();
            st.bindAll({QStringLiteral("Όνομα%1").arg(rng.bounded(500)), surnames()[int(rng.bounded(9))] + QString::number(i % 997),
                        QStringLiteral("ΑΡΡΕΝ"), QDate(1940, 1, 1).addDays(rng.bounded(25000)).toString(Qt::ISODate),
                        QStringLiteral("99%1").arg(rng.bounded(1000000)), QStringLiteral("Οδός %1").arg(i), QStringLiteral("ΓΕΣΥ")});
            while (st.step()) {
            }
        }
    }
    {
        DbStatement st(conn, QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,ONOMA,EPWNYMO,PARALHPTHS,POSO,"
                                            "TAMEIO,POSO_CY,PERIGRAFH,EGKYRH) VALUES(?,?,?,?,?,?,?,?,?,?)"));
        for (int i = 0; i < Receipts; ++i) {
            const double poso = double(rng.bounded(50000)) / 100.0;
            st.reset();
            st.bindAll({i + 1, QDate(2000, 1, 1).addDays(i / 30).toString(Qt::ISODate), QStringLiteral("Όνομα"),
                        surnames()[i % 9], QStringLiteral("Όνομα ") + surnames()[i % 9], poso, QStringLiteral("ΓΕΣΥ"),
                        poso * 0.585274, QStringLiteral("Σφράγισμα"), i % 50 == 0 ? 0 : -1});
            while (st.step()) {
            }
        }
    }
    {
        DbStatement st(conn, QStringLiteral("INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT,PERIGRAFH) VALUES(?,?,?,?)"));
        const QDate first(1990, 1, 1);
        const qint64 days = first.daysTo(QDate(2010, 1, 1));
        for (int i = 0; i < Expenses; ++i) {
            const double poso = double(rng.bounded(100000)) / 100.0;
            st.reset();
            st.bindAll({first.addDays(rng.bounded(days)).toString(Qt::ISODate), poso, poso * 0.19, QStringLiteral("Ρεύμα")});
            while (st.step()) {
            }
        }
    }
    tx.commit();
}

// The file is opened with its password, the server with the login's.
QString connectionString(const QString &dir)
{
    QString cs = BuildConnectionString(dir);
    if (!cs.contains(QLatin1String("Server=")))
        cs += QStringLiteral(";Jet OLEDB:Database Password=") + QLatin1String(Schema::FirstPassword);
    return cs;
}

struct Practices {
    QTemporaryDir fileDir, serverDir;
    Practices()
    {
        Schema::createDatabase(fileDir.path());
        QFile conf(serverDir.filePath(QStringLiteral("server.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(TestServer::serverConf(TestServer::newPracticeDatabase()).toUtf8());
        conf.close();
        Session::current().logIn(BuildConnectionString(serverDir.path()), TestServer::loginPassword());
        for (const QString &dir : {fileDir.path(), serverDir.path()}) {
            DbConnection c;
            c.setConnectionString(connectionString(dir));
            c.open();
            fill(c);
            if (c.onServer())
                c.executeNative(QStringLiteral("VACUUM ANALYZE"));
        }
    }
};

Practices &practices()
{
    static Practices p;
    return p;
}

// Opens the statement into a data set on a fresh connection, as a window does.
void readList(benchmark::State &state, const QString &jet, bool server, int expectedRows)
{
    const QString dir = server ? practices().serverDir.path() : practices().fileDir.path();
    DbConnection conn;
    conn.setConnectionString(connectionString(dir));
    conn.open();
    int rows = 0;
    for (auto _ : state) {
        DataSet ds(&conn);
        ds.setSql(jet);
        ds.open();
        rows = ds.recordCount();
        benchmark::DoNotOptimize(rows);
    }
    if (rows != expectedRows)
        state.SkipWithError("wrong number of rows");
}

void BM_CustomerList(benchmark::State &state) { readList(state, TForm17::AllSql(), state.range(0) == 1, Customers); }
void BM_IssuedReceipts(benchmark::State &state) { readList(state, QString::fromUtf8(IssuedList), state.range(0) == 1, Receipts); }
void BM_ExpensesByMonth20Years(benchmark::State &state)
{
    readList(state, Expenses::monthsStatement(1990, 2009), state.range(0) == 1, 240);
}

// Argument 0: the local file; 1: the server over its local socket.
BENCHMARK(BM_CustomerList)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IssuedReceipts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpensesByMonth20Years)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void tinySizes()
{
    Customers = 300;
    Receipts = 600;
    Expenses = 5000;
}

}   // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!TestServer::binariesPresent()) {
        std::fprintf(stderr, "The PostgreSQL server programs (initdb, pg_ctl) are not installed.\n");
        return 1;
    }
    Bench::initialize(&argc, argv);
    if (Bench::Tiny)
        tinySizes();
    practices();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
