// What a server restart costs a window whose connection was open across
// it: the server's own stop and start, against the first statement after
// it, which finds its connection broken and opens it again. The server is
// a throw-away cluster made as the tests make theirs.
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/appstate.h"
#include "data/practice/session.h"
#include "tests/common/testserver.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

struct Practice {
    QTemporaryDir dir;
    Practice()
    {
        QFile conf(dir.filePath(QStringLiteral("server.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(TestServer::serverConf(TestServer::newPracticeDatabase()).toUtf8());
        conf.close();
        Session::current().logIn(BuildConnectionString(dir.path()), TestServer::loginPassword());
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
    benchmark::DoNotOptimize(ds.recordCount());
}

// The server's own restart: pg_ctl stop -m fast, then start -w.
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

BENCHMARK(BM_ServerRestart)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstReadAfterRestart)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOnLiveConnection)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOnNewConnection)->Unit(benchmark::kMillisecond);

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
    practice();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
