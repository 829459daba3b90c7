// Opening a treatment plan of 200 items: the plan window's data path (the
// items read, their totals, and every cell's text as the grid shows it)
// against the same statement stepped through bare on the same open
// connection; the window's path should take at most 1.5 times as long.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_plan [--tiny] [--benchmark_repetitions=5 --benchmark_enable_random_interleaving=true]

#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/practice/appstate.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include "data/work/plans.h"
#include "plans/planitems.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include "bench/benchpractice.h"
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <cstdio>

namespace {

// Under --tiny, twenty.
int items() { return Bench::size(200, 20); }
// Other customers' plans around the one opened.
int others() { return Bench::size(2000, 20); }

struct Practice {
    QTemporaryDir dir;
    qint64 customer = 0;

    Practice()
    {
        Bench::openNewPractice(dir.path());
        Clock::setNow(QDateTime(QDate(2026, 3, 16), QTime(10, 0)));
        DbConnection conn;
        conn.setConnectionString(DbConnectionString);
        conn.open();
        QList<qint64> works;
        for (int w = 0; w < 30; ++w)
            works << Plans::addWork(conn, {.code = QStringLiteral("W%1").arg(w, 2, 10, QLatin1Char('0')), .description = QStringLiteral("Έμφραξη σύνθετης ρητίνης, εργασία %1").arg(w), .cents = 4000 + 125 * w});
        DbTransaction t(conn);
        DbStatement person(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES(?,?)"));
        DbStatement item(conn, QStringLiteral("INSERT INTO SXEDIO_THERAPEIAS (PELATHS, ERGASIA, DONTI, EPIFANEIES, TIMH_LEPTA, KATASTASH,"
                                              " HMEROMHNIA_EKTELESHS, SHMEIWSH, AR_APODEIKSHS, KATAXWRHSH) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const QList<int> teeth = {11, 16, 21, 26, 36, 46, 55, 75};
        for (int c = 0; c <= others() / 10; ++c) {
            person.reset();
            person.bindAll({QStringLiteral("Μαρία"), QStringLiteral("Παπά %1").arg(c)});
            person.step();
            const qint64 id = conn.scalarNative(QStringLiteral("SELECT max(ID) FROM STOIXEIA_PELATH")).toLongLong();
            if (c == 0)
                customer = id;
            const int count = c == 0 ? items() : 10;
            for (int k = 0; k < count; ++k) {
                const char state = "PPDDC"[k % 5];
                item.reset();
                item.bindAll({id, works.at(k % works.size()), k % 3 ? QVariant(teeth.at(k % teeth.size())) : QVariant(),
                              QStringLiteral("MO"), 4000 + k, QString(QLatin1Char(state)),
                              state == 'D' ? QVariant(QStringLiteral("2026-02-%1").arg(1 + k % 28, 2, 10, QLatin1Char('0'))) : QVariant(),
                              k % 4 ? QVariant() : QVariant(QStringLiteral("Με τοπική αναισθησία")),
                              state == 'D' && k % 2 ? QVariant(1000 + k) : QVariant(),
                              QStringLiteral("2026-01-05 09:%1:%2").arg(k / 60 % 60, 2, 10, QLatin1Char('0')).arg(k % 60, 2, 10, QLatin1Char('0'))});
                item.step();
            }
        }
        t.commit();
    }
};

Practice &practice()
{
    static Practice p;
    return p;
}

// The window's path: the model reads the items and their totals, and the
// text of every cell is made as the grid asks for it.
void BM_PlanWindowData(benchmark::State &state)
{
    Practice &p = practice();
    DbConnection conn;
    conn.prepare();
    PlanItemsModel model;
    qint64 chars = 0;
    for (auto _ : state) {
        model.load(conn, CustomerRef::require(QString::number(p.customer)));
        benchmark::DoNotOptimize(model.totals().outstanding);
        for (int r = 0; r < model.rowCount(); ++r)
            for (int c = 0; c < model.columnCount(); ++c)
                chars += model.index(r, c).data().toString().size();
    }
    benchmark::DoNotOptimize(chars);
    state.counters["rows"] = model.rowCount();
}

// Only the statement, stepped through on an open connection, each column
// read as the UTF-8 text SQLite holds.
void BM_PlanBareStatement(benchmark::State &state)
{
    Practice &p = practice();
    DbConnection conn;
    conn.prepare();
    const QString sql = Plans::itemsSql();
    int rows = 0;
    for (auto _ : state) {
        DbStatement st(conn, sql);
        st.bind(1, p.customer);
        rows = Bench::stepAsText(st);
    }
    state.counters["rows"] = rows;
}

BENCHMARK(BM_PlanWindowData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlanBareStatement)->Unit(benchmark::kMicrosecond);

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    std::printf("Making a practice with a plan of %d items among %d others...\n", items(), others());
    practice();
    return Bench::run();
}
