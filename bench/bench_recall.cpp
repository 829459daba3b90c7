// The recall list of a large practice: 100,000 customers with a few
// visits each over three years. Times the window's showing (its own
// connection, fetch, count, grid) against the same statement stepped
// through bare on an open connection; the showing should take at most
// twice as long.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_recall [--benchmark_min_time=1]

#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/jetsql.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include "gui/messages.h"
#include "recall/recalllist.h"

#include <QApplication>
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
        QRandomGenerator rng(19);
        DbTransaction t(conn);
        DbStatement customer(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,THLEFWNO_1,THLEFWNO_2) VALUES(?,?,?,?)"));
        DbStatement visit(conn, QStringLiteral("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA) VALUES(?,?,?)"));
        for (int i = 1; i <= customers(); ++i) {
            customer.reset();
            customer.bindAll({QString::fromUtf8(firsts[rng.bounded(7)]),
                              QString::fromUtf8(surnames[rng.bounded(10)]) + QString::number(rng.bounded(1000)),
                              QStringLiteral("22 %1").arg(rng.bounded(100000, 999999)),
                              rng.bounded(3) == 0 ? QVariant(QStringLiteral("99 %1").arg(rng.bounded(100000, 999999))) : QVariant()});
            customer.step();
            // Mostly one to three visits; some customers never came.
            const int n = int(rng.bounded(5));
            for (int k = 0; k < n; ++k) {
                visit.reset();
                visit.bindAll({i, kToday.addDays(-qint64(rng.bounded(1100))).toString(Qt::ISODate), QStringLiteral("Έλεγχος")});
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

// The window as the options menu opens it: shown, the list read into the
// grid and counted.
void BM_RecallWindowShow(benchmark::State &state)
{
    practice();
    int rows = 0;
    for (auto _ : state) {
        TForm81 w;
        w.show();
        QApplication::processEvents();
        state.PauseTiming();
        rows = w.findChild<DataSet *>(QStringLiteral("ADOQuery1"))->recordCount();
        w.reject();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}

// Only the statement: translated once, stepped through on an open
// connection, each column read as the UTF-8 text SQLite holds.
void BM_RecallBareStatement(benchmark::State &state)
{
    practice();
    DbConnection conn;
    conn.prepare();
    const QString native = JetSql::translate(TForm81::RecallSql(6, kToday));
    int rows = 0;
    for (auto _ : state) {
        DbStatement st(conn, native);
        rows = Bench::stepAsText(st);
    }
    state.counters["rows"] = rows;
}

BENCHMARK(BM_RecallWindowShow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecallBareStatement)->Unit(benchmark::kMillisecond);

}   // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Messages::setScripted(true);
    Bench::initialize(&argc, argv);
    std::printf("Making a practice with %d customers...\n", customers());
    std::printf("%d visits.\n", practice().visits);
    return Bench::run();
}
