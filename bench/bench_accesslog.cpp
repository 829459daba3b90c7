// The access log's cost. Opening a customer's card as its window does (the
// connection made ready, the card's row read) with the log entry, against
// the same without it, a user's pause apart and back to back; and the check
// of the whole chain at 100,000 and 1,000,000 entries, whose CPU time should
// grow with the count alone. BM_CardPaired times both openings in the same
// rounds and reports their ratio; its median over repetitions is the figure
// to compare:
//
//   build/bench/bench_accesslog --benchmark_filter=Paired --benchmark_repetitions=9
#include "bench/benchtiny.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/appstate.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include "data/work/accesslog.h"
#include "data/work/customerid.h"
#include "data/work/customers.h"
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

struct Practice {
    QTemporaryDir dir;
    qint64 customer = 0;
    Practice()
    {
        Schema::createDatabase(dir.path(), QString::fromLatin1(Schema::FirstPassword));
        PracticeFile::unlock(QDir(dir.path()).absoluteFilePath(QStringLiteral("data.mdb")), QString::fromLatin1(Schema::FirstPassword));
        AppDirectory = QDir::toNativeSeparators(dir.path());
        DbConnectionString = BuildConnectionString(AppDirectory);
        AccessLog::setUser(QStringLiteral("Γιώργος"));
        DbConnection conn;
        conn.prepare();
        conn.executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO, ONOMA, THLEFWNO_1) VALUES ('Παπαδόπουλος', 'Νίκος', '99123456')"));
        customer = conn.scalarNative(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong();
    }
};

Practice &practice()
{
    static Practice p;
    return p;
}

enum class Log { None,
                 Queued,
                 Written };

// A user looks at a window before opening the next one, and the program
// waits for the click. Between two openings both sides wait alike (20 ms,
// shorter than any user); without it the loop would set a processor still
// warm from the last opening against one that has just waited for the
// entry's write to reach the disk, which says nothing about the window.
constexpr int UserPauseMs = 20;

// What the card's window does when it is shown, and when it closes. The
// window's entry waits for the event loop, which writes it once the window
// is on screen: timed with Log::Queued is what the user waits for before the
// card shows (connection made ready, the row read, the entry queued); the
// write itself and the window's closing (whose connection then ends the
// write's journal) run with the clock stopped, and Log::Written times them
// too, the whole cost of an opening to the machine.
void showCard(DbConnection &conn, DataSet &card, bool logged)
{
    conn.prepare();
    const CustomerRef customer = CustomerRef::require(QString::number(practice().customer));
    Customers::openCard(card, customer);
    if (logged)
        AccessLog::recordLater(conn, AccessLog::Action::Open, customer.value(), QStringLiteral("Καρτέλα πελάτη"));
}

void openCard(benchmark::State &state, Log log, int pauseMs)
{
    DbConnection conn;
    DataSet card(&conn);
    showCard(conn, card, log != Log::None);
    if (log != Log::Written)
        state.PauseTiming();
    QCoreApplication::processEvents();
    if (AccessLog::pending() != 0)
        state.SkipWithError("the entry was not written");
    card.close();
    conn.close();
    if (log == Log::Written)
        state.PauseTiming();
    if (pauseMs > 0)
        usleep(useconds_t(pauseMs) * 1000);
    state.ResumeTiming();
}

void card(benchmark::State &state, Log log, int pauseMs)
{
    practice();
    for (auto _ : state)
        openCard(state, log, pauseMs);
}

double cpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// One opening as the window does it, the entry written after; returns the
// CPU time the user waits for.
double openOnce(bool logged)
{
    const double start = cpuNow();
    DbConnection conn;
    DataSet card(&conn);
    showCard(conn, card, logged);
    const double spent = cpuNow() - start;
    QCoreApplication::processEvents();
    card.close();
    conn.close();
    return spent;
}

// The two openings side by side. Two runs of the rounds above see the
// machine at different moments, and its speed drifts by more than the entry
// costs; here each round opens the card twice with its entry and twice
// without, in turns of order, a user's pause after each, and times the
// second of each pair: that one follows an opening of its own kind, as every
// opening does in a practice that logs or in one that does not.
void BM_CardPaired(benchmark::State &state)
{
    practice();
    // The first write sets up what every later one finds ready.
    openOnce(true);
    openOnce(false);
    double with = 0;
    double without = 0;
    qint64 round = 0;
    for (auto _ : state) {
        for (const bool logged : {round % 2 == 0, round % 2 != 0}) {
            for (int i = 0; i < 2; ++i) {
                const double spent = openOnce(logged);
                if (i == 1)
                    (logged ? with : without) += spent;
                if (AccessLog::pending() != 0)
                    state.SkipWithError("the entry was not written");
                usleep(useconds_t(UserPauseMs) * 1000);
            }
        }
        ++round;
    }
    state.counters["with_ms"] = with * 1e3 / double(round);
    state.counters["without_ms"] = without * 1e3 / double(round);
    state.counters["ratio"] = without > 0 ? with / without : 0;
}

// A practice whose log holds n entries, written straight into the table in
// one unit of work, chained as the program chains them.
struct LongLog {
    QTemporaryDir dir;
    explicit LongLog(qint64 n)
    {
        Schema::createDatabase(dir.path(), QString::fromLatin1(Schema::FirstPassword));
        PracticeFile::unlock(QDir(dir.path()).absoluteFilePath(QStringLiteral("data.mdb")), QString::fromLatin1(Schema::FirstPassword));
        DbConnection conn;
        conn.setConnectionString(BuildConnectionString(dir.path()));
        conn.open();
        DbTransaction tx(conn);
        AccessLog::Entry e;
        e.time = QStringLiteral("2026-12-10 09:30:00");
        e.user = QStringLiteral("Γιώργος");
        e.workstation = QStringLiteral("ΙΑΤΡΕΙΟ-1");
        e.action = QStringLiteral("OPEN");
        e.detail = QStringLiteral("Καρτέλα πελάτη");
        QString previous;
        DbStatement insert(conn, QStringLiteral("INSERT INTO HMEROLOGIO_PROSVASEWN (AA,XRONOS,XRHSTHS,STATHMOS,ENERGEIA,PELATHS,LEPTOMEREIES,HASH)"
                                                " VALUES (?,?,?,?,?,?,?,?)"));
        for (qint64 i = 1; i <= n; ++i) {
            e.position = i;
            e.customerId = 1 + i % 5000;
            e.hash = AccessLog::chainHash(previous, e);
            previous = e.hash;
            insert.bindAll({e.position, e.time, e.user, e.workstation, e.action, e.customerId, e.detail, e.hash});
            insert.step();
            insert.reset();
        }
        tx.commit();
    }
};

void BM_VerifyChain(benchmark::State &state)
{
    const qint64 n = Bench::size<qint64>(state.range(0), 300);
    static std::map<qint64, std::unique_ptr<LongLog>> logs;
    auto &log = logs[n];
    if (!log)
        log = std::make_unique<LongLog>(n);
    DbConnection conn;
    conn.setConnectionString(BuildConnectionString(log->dir.path()));
    conn.open();
    for (auto _ : state) {
        const AccessLog::Verdict v = AccessLog::verify(conn);
        if (!v.holds() || v.count != n) {
            state.SkipWithError("the chain does not hold");
            return;
        }
    }
    state.counters["entries"] = double(n);
}

BENCHMARK(BM_VerifyChain)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1);

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    // The check's figures: openings a user's pause apart (fixed rounds, as
    // each waits); then the same back to back, and everything an opening
    // costs the machine, write included.
    const int rounds = Bench::size(300, 1);
    const struct {
        const char *name;
        Log log;
        int pauseMs;
    } cards[] = {
        {"BM_CardWithoutLog", Log::None, UserPauseMs},
        {"BM_CardWithLog", Log::Queued, UserPauseMs},
        {"BM_CardBackToBackWithoutLog", Log::None, 0},
        {"BM_CardBackToBackWithLog", Log::Queued, 0},
        {"BM_CardWithLogWritten", Log::Written, 0},
    };
    benchmark::RegisterBenchmark("BM_CardPaired", BM_CardPaired)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(rounds);
    for (const auto &c : cards) {
        auto *b = benchmark::RegisterBenchmark(c.name, [c](benchmark::State &state) { card(state, c.log, c.pauseMs); });
        b->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
        if (c.pauseMs > 0)
            b->Iterations(rounds);
    }
    return Bench::run();
}
