// How much the data set costs over reading the rows straight from SQLite:
// a practice with 100,000 customers, opened as the customer list opens it
// and closed again. The bare loop reads every column as UTF-8 text.
//
//   build/bench/bench_dataset [--tiny] [--benchmark_repetitions=5 --benchmark_enable_random_interleaving=true]
//
// MOLARIX_BENCH_CUSTOMERS=N sets another size.
// With repetitions, the ratios are of the least times; interleaving spreads
// the machine's other load over both sides.

#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/jetsql.h"
#include "data/practice/practicefile.h"
#include <QDir>
#include "data/practice/schema.h"
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <string>

namespace {

int kCustomers = 100000;

const QString kListSql = QStringLiteral(
    "SELECT ID,ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,THLEFWNO_1,THLEFWNO_2,DIEYTHYNSH,EPAGGELMA,TAMEIO "
    "FROM STOIXEIA_PELATH");

// Surnames built from common stems and endings give a few thousand distinct
// names, many repeated, as a real register has.
QString surname(QRandomGenerator &rng)
{
    static const char *prefixes[] = {"", "", "", "", "Παπα", "Χατζη", "Καρα", "Μαυρο"};
    static const char *stems[] = {"γεωργ", "δημητρ", "νικολ", "ιωανν", "κωνσταντιν", "αθανασ", "βασιλ", "χρηστ",
                                  "παναγιωτ", "αντων", "σταυρ", "μιχαλ", "θεοδωρ", "σπυρ", "ευαγγελ", "αλεξ",
                                  "πετρ", "λαμπρ", "ηλι", "στεφαν", "μαρκ", "αποστολ", "ζαχαρ", "τριαντ",
                                  "καλλ", "ρηγ", "φωτ", "λεοντ", "αγγελ", "σωτηρ", "μανωλ", "κυριακ"};
    static const char *endings[] = {"όπουλος", "ίδης", "άκης", "ίου", "άτος", "άς", "ιάδης", "έλλης", "ούδης",
                                    "άκος", "όγλου", "ίτσας"};
    QString s = QString::fromUtf8(prefixes[rng.bounded(8)]) + QString::fromUtf8(stems[rng.bounded(32)])
        + QString::fromUtf8(endings[rng.bounded(12)]);
    s[0] = s[0].toUpper();
    return s;
}

struct Practice {
    QTemporaryDir dir;
    DbConnection conn;

    Practice()
    {
        Schema::createDatabase(dir.path(), QString::fromLatin1(Schema::FirstPassword));
        PracticeFile::unlock(QDir(dir.path()).absoluteFilePath(QStringLiteral("data.mdb")), QString::fromLatin1(Schema::FirstPassword));
        conn.setConnectionString(BuildConnectionString(dir.path()));
        conn.setCommandTimeout(0);
        conn.open();
        static const char *names[] = {"Γιώργος", "Μαρία", "Νίκος", "Ελένη", "Κώστας", "Αικατερίνη", "Δημήτρης",
                                      "Σοφία", "Γιάννης", "Αναστασία", "Παναγιώτης", "Ευαγγελία", "Χρήστος"};
        static const char *jobs[] = {"Εκπαιδευτικός", "Λογιστής", "Συνταξιούχος", "Μαθητής", "Ιδιωτικός υπάλληλος",
                                     "Μηχανικός", "Αγρότης", ""};
        static const char *funds[] = {"ΙΚΑ", "ΟΓΑ", "ΤΕΒΕ", "ΟΠΑΔ", "Ιδιώτης"};
        QRandomGenerator rng(42);
        DbTransaction t(conn);
        DbStatement st(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,THLEFWNO_1,THLEFWNO_2,"
                                            "DIEYTHYNSH,EPAGGELMA,TAMEIO) VALUES(?,?,?,?,?,?,?,?,?)"));
        for (int i = 0; i < kCustomers; ++i) {
            st.reset();
            st.bind(1, QString::fromUtf8(names[rng.bounded(13)]));
            st.bind(2, surname(rng));
            st.bind(3, rng.bounded(2) ? QStringLiteral("ΑΡΡΕΝ") : QStringLiteral("ΘΗΛΥ"));
            st.bind(4, QDate(1930, 1, 1).addDays(rng.bounded(28000)));
            st.bind(5, QStringLiteral("2%1").arg(rng.bounded(100000000, 999999999)));
            st.bind(6, rng.bounded(3) ? QVariant() : QVariant(QStringLiteral("69%1").arg(rng.bounded(10000000, 99999999))));
            st.bind(7, QStringLiteral("Οδός Ερμού %1, Αθήνα").arg(rng.bounded(1, 200)));
            st.bind(8, QString::fromUtf8(jobs[rng.bounded(8)]));
            st.bind(9, QString::fromUtf8(funds[rng.bounded(5)]));
            st.step();
        }
        t.commit();
    }
};

Practice &practice()
{
    static Practice p;
    return p;
}

void BM_BareStep(benchmark::State &state)
{
    Practice &p = practice();
    const QString native = JetSql::translate(kListSql);
    std::size_t bytes = 0;
    for (auto _ : state) {
        DbStatement st(p.conn, native);
        sqlite3_stmt *h = st.handle();
        const int n = sqlite3_column_count(h);
        while (sqlite3_step(h) == SQLITE_ROW)
            for (int i = 0; i < n; ++i) {
                benchmark::DoNotOptimize(sqlite3_column_text(h, i));
                bytes += std::size_t(sqlite3_column_bytes(h, i));
            }
    }
    benchmark::DoNotOptimize(bytes);
}

void BM_DataSetOpen(benchmark::State &state)
{
    Practice &p = practice();
    DataSet ds(&p.conn);
    ds.setSql(kListSql);
    for (auto _ : state) {
        ds.open();
        benchmark::DoNotOptimize(ds.recordCount());
        ds.close();
    }
}

void openAndSort(benchmark::State &state, const QString &sort)
{
    Practice &p = practice();
    DataSet ds(&p.conn);
    ds.setSql(kListSql);
    for (auto _ : state) {
        ds.open();
        ds.setSort(sort);
        benchmark::DoNotOptimize(ds.recNo());
        ds.close();
    }
}

// The customer list's own sort: surname, ascending.
void BM_DataSetOpenSortSurname(benchmark::State &state) { openAndSort(state, QStringLiteral("EPWNYMO ASC")); }
// Texts that are all different: every one gets its own collation key.
void BM_DataSetOpenSortPhone(benchmark::State &state) { openAndSort(state, QStringLiteral("THLEFWNO_1 DESC")); }
void BM_DataSetOpenSortBirthDate(benchmark::State &state)
{
    openAndSort(state, QStringLiteral("HMEROMHNIA_GENNHSEWS DESC"));
}

BENCHMARK(BM_BareStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetOpenSortSurname)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetOpenSortPhone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetOpenSortBirthDate)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::pair<double, double>> times;   // real, CPU: the least of the repetitions
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs) {
            if (r.run_type != Run::RT_Iteration)
                continue;
            const auto [at, added] = times.try_emplace(r.run_name.function_name, r.GetAdjustedRealTime(), r.GetAdjustedCPUTime());
            if (!added)
                at->second = {std::min(at->second.first, r.GetAdjustedRealTime()), std::min(at->second.second, r.GetAdjustedCPUTime())};
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    if (Bench::Tiny)
        kCustomers = 300;
    else if (const int n = qEnvironmentVariableIntValue("MOLARIX_BENCH_CUSTOMERS"); n > 0)
        kCustomers = n;
    std::printf("Making a practice with %d customers...\n", kCustomers);
    practice();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto bare = reporter.times["BM_BareStep"];
    if (bare.first > 0 && bare.second > 0) {
        // CPU time is the fairer measure on a busy machine.
        std::printf("\nRelative to the bare sqlite3_step loop:     real    CPU\n");
        for (const auto &[name, t] : reporter.times)
            if (name != "BM_BareStep")
                std::printf("  %-36s %5.2fx %5.2fx\n", name.c_str(), t.first / bare.first, t.second / bare.second);
    }
    benchmark::Shutdown();
    return 0;
}
