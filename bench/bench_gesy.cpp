// The GESY due list of a large practice: 100,000 customers, most of them
// GESY beneficiaries, with ordinary and free visits over three years.
// Times the list read into a data set as the recall window reads it
// against the same statement stepped through bare on an open connection;
// the list should take at most twice as long.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_gesy [--tiny] [--benchmark_repetitions=5 --benchmark_enable_random_interleaving=true]

#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/jetsql.h"
#include "data/practice/appstate.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include "data/work/gesy.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include "bench/benchpractice.h"
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <cstdio>

namespace {

// Under --tiny, three hundred.
int customers() { return Bench::size(100000, 300); }
const QDate kToday(2026, 3, 16);

struct Practice {
    QTemporaryDir dir;
    int visits = 0;

    Practice()
    {
        Bench::openNewPractice(dir.path());
        Clock::setNow(QDateTime(kToday, QTime(10, 0)));
        DbConnection conn;
        conn.setConnectionString(DbConnectionString);
        conn.open();
        conn.executeNative(QStringLiteral("PRAGMA cache_size = -262144"));
        static const char *firsts[] = {"Γιώργος", "Νίκος", "Κώστας", "Μαρία", "Ελένη", "Σοφία", "Άννα"};
        static const char *surnames[] = {"Παπαδόπουλος", "Νικολάου", "Ιωάννου", "Γεωργίου", "Χατζηδάκης",
                                         "Κωνσταντίνου", "Σταύρου", "Μιχαήλ", "Αντωνίου", "Λοΐζου"};
        QRandomGenerator rng(28);
        DbTransaction t(conn);
        DbStatement customer(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,THLEFWNO_1,GESY_DIKAIOUXOS,GESY_ARITHMOS) VALUES(?,?,?,?,?)"));
        DbStatement visit(conn, QStringLiteral("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA,GESY_PROLHPSH) VALUES(?,?,?,?)"));
        for (int i = 1; i <= customers(); ++i) {
            const bool beneficiary = rng.bounded(10) < 7;
            customer.reset();
            customer.bindAll({QString::fromUtf8(firsts[rng.bounded(7)]),
                              QString::fromUtf8(surnames[rng.bounded(10)]) + QString::number(rng.bounded(1000)),
                              QStringLiteral("22 %1").arg(rng.bounded(100000, 999999)), beneficiary ? -1 : 0,
                              beneficiary ? QVariant(QString::number(rng.bounded(1000000, 9999999))) : QVariant()});
            customer.step();
            for (int k = int(rng.bounded(5)); k > 0; --k) {
                const bool free = beneficiary && rng.bounded(2) == 0;
                visit.reset();
                visit.bindAll({i, kToday.addDays(-qint64(rng.bounded(1100))).toString(Qt::ISODate), QStringLiteral("Έλεγχος"),
                               free ? QVariant(Gesy::code(Gesy::Kind::Check)) : QVariant()});
                visit.step();
                ++visits;
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

// The list as the recall window reads it: its own connection, every row
// fetched into the data set and counted.
void BM_GesyDueList(benchmark::State &state)
{
    practice();
    int rows = 0;
    for (auto _ : state) {
        DbConnection conn;
        conn.prepare();
        DataSet ds(&conn);
        Gesy::openDue(ds, kToday);
        rows = ds.recordCount();
    }
    state.counters["rows"] = rows;
}

// Only the statement: translated once, stepped through on an open
// connection, each column read as the UTF-8 text SQLite holds.
void BM_GesyDueBareStatement(benchmark::State &state)
{
    practice();
    DbConnection conn;
    conn.prepare();
    const QString native = JetSql::translate(Gesy::dueSql(kToday));
    int rows = 0;
    for (auto _ : state) {
        DbStatement st(conn, native);
        rows = Bench::stepAsText(st);
    }
    state.counters["rows"] = rows;
}

BENCHMARK(BM_GesyDueList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GesyDueBareStatement)->Unit(benchmark::kMillisecond);

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    std::printf("Making a practice with %d customers...\n", customers());
    std::printf("%d visits.\n", practice().visits);
    return Bench::run();
}
