// What a server restart costs a window whose connection was open across
// it: the server's own stop and start, against the first statement after
// it, which finds its connection broken and opens it again, and against a
// fresh connection made at the same moment. The server is a throw-away
// cluster made as the tests make theirs.
//
// --tiny (first argument): each measurement once.
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/appstate.h"
#include "data/practice/session.h"
#include "tests/common/testserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

constexpr int Customers = 300;   // a window's worth

struct Practice {
    QTemporaryDir dir;
    Practice()
    {
        QFile conf(dir.filePath(QStringLiteral("server.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(TestServer::serverConf(TestServer::newPracticeDatabase()).toUtf8());
        conf.close();
        Session::current().logIn(BuildConnectionString(dir.path()), TestServer::loginPassword());
        DbConnection conn;
        open(conn);
        conn.executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) SELECT 'Όνομα', 'Επώνυμο' || i FROM generate_series(1, ?) AS i"),
                           {Customers});
    }
    void open(DbConnection &conn) const
    {
        conn.setConnectionString(BuildConnectionString(dir.path()));
        conn.open();
    }
};

Practice &practice()
{
    static Practice p;
    return p;
}

// A window's read: the customers into a data set.
void read(DbConnection &conn)
{
    DataSet ds(&conn);
    ds.setSql(QStringLiteral("SELECT * FROM STOIXEIA_PELATH"));
    ds.open();
    if (ds.recordCount() != Customers)
        throw DbError(QStringLiteral("wrong number of customers"));
}

double msSince(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

// The server's own restart: pg_ctl stop -m fast, then start -w, which
// returns once the server accepts connections.
void BM_ServerRestart(benchmark::State &state)
{
    practice();
    for (auto _ : state) {
        TestServer::stop();
        TestServer::start();
    }
}

// The first read after a restart, on a connection opened before it.
void BM_FirstReadAfterRestart(benchmark::State &state)
{
    DbConnection conn;
    practice().open(conn);
    for (auto _ : state) {
        state.PauseTiming();
        TestServer::stop();
        TestServer::start();
        state.ResumeTiming();
        read(conn);
    }
}

// The same read on a connection that never broke, and on a fresh one.
void BM_ReadOnLiveConnection(benchmark::State &state)
{
    DbConnection conn;
    practice().open(conn);
    for (auto _ : state)
        read(conn);
}

void BM_ReadOnNewConnection(benchmark::State &state)
{
    for (auto _ : state) {
        DbConnection conn;
        practice().open(conn);
        read(conn);
    }
}

// Both sides of the ratio in one loop, so that the machine's load falls on
// both alike: after each restart, from the moment the server accepts
// connections, the broken connection's first read (it reconnects), then a
// fresh connection's first read. The counters are the least of the rounds,
// in ms; the time measured is the reconnecting read.
void BM_ReconnectAgainstFreshConnect(benchmark::State &state)
{
    DbConnection old;
    practice().open(old);
    double start = std::numeric_limits<double>::max(), reconnect = start, fresh = start;
    for (auto _ : state) {
        TestServer::stop();
        QElapsedTimer t;
        t.start();
        TestServer::start();
        start = std::min(start, msSince(t));
        t.restart();
        read(old);
        const double again = msSince(t);
        reconnect = std::min(reconnect, again);
        t.restart();
        {
            DbConnection conn;
            practice().open(conn);
            read(conn);
        }
        fresh = std::min(fresh, msSince(t));
        state.SetIterationTime(again / 1000.0);
    }
    state.counters["server_start_ms"] = start;
    state.counters["reconnect_ms"] = reconnect;
    state.counters["fresh_connect_ms"] = fresh;
    state.counters["beyond_fresh_ms"] = reconnect - fresh;
}

void registerAll()
{
    const int restarts = Bench::size(10, 1);
    benchmark::RegisterBenchmark("BM_ServerRestart", BM_ServerRestart)->Iterations(restarts)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_FirstReadAfterRestart", BM_FirstReadAfterRestart)->Iterations(restarts)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ReconnectAgainstFreshConnect", BM_ReconnectAgainstFreshConnect)
        ->Iterations(restarts)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ReadOnLiveConnection", BM_ReadOnLiveConnection)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ReadOnNewConnection", BM_ReadOnNewConnection)->Unit(benchmark::kMillisecond);
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
    try {
        practice();
        registerAll();
        // A connection that does not come back ends the run.
        return Bench::run();
    } catch (const DbError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    return 1;
}
