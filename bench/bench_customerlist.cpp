// A large practice: 100,000 customers. Times the customer list as the find
// window shows it (fetch, count, default sort), the sort buttons, moving
// through the grid, and the printed list of one search; the heap the shown
// list holds is set beside the UTF-8 text of its rows.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_customerlist [--tiny] [--benchmark_min_time=1]
//
// MOLARIX_BENCH_CUSTOMERS=N sets another size. The Pages benchmarks count
// the pages a search reads from the file, to show it stays linear in size.

#include "gui/messages.h"
#include "customers/customerlist.h"
#include "customers/customerprintouts.h"
#include "customers/findcustomer.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "gui/dbgrid.h"
#include "gui/dbnavigator.h"
#include "data/db/jetsql.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include "reports/reportengine.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

int kCustomers = 100000;

#ifdef __GLIBC__
qint64 heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
}
#else
qint64 heapInUse()
{
    return 0;
}
#endif

// The UTF-8 bytes of every text the statement gives, as the bare loop reads them.
qint64 textBytes(const QString &jetSql)
{
    DbConnection conn;
    conn.prepare();
    DbStatement st(conn, JetSql::translate(jetSql));
    qint64 bytes = 0;
    while (st.step())
        for (int c = 0; c < st.columnCount(); ++c)
            bytes += st.cursor().utf8(c).size();
    return bytes;
}

struct Practice {
    QTemporaryDir dir;

    Practice()
    {
        Schema::createDatabase(dir.path(), QString::fromLatin1(Schema::FirstPassword));
        PracticeFile::unlock(QDir(dir.path()).absoluteFilePath(QStringLiteral("data.mdb")), QString::fromLatin1(Schema::FirstPassword));
        // The build copies the report files beside the programs.
        Schema::copyReportFiles(QCoreApplication::applicationDirPath() + QStringLiteral("/../reports"), dir.path());
        AppDirectory = QDir::toNativeSeparators(dir.path());
        DbConnectionString = BuildConnectionString(AppDirectory);
        DbConnection conn;
        conn.setConnectionString(DbConnectionString);
        conn.open();

        static const char *men[] = {"Γιώργος", "Νίκος", "Κώστας", "Δημήτρης", "Ανδρέας", "Μιχάλης", "Χρίστος"};
        static const char *women[] = {"Μαρία", "Ελένη", "Σοφία", "Άννα", "Χριστίνα", "Κατερίνα", "Ειρήνη"};
        static const char *surnames[] = {"Παπαδόπουλος", "Νικολάου", "Ιωάννου", "Γεωργίου", "Χατζηδάκης",
                                         "Κωνσταντίνου", "Σταύρου", "Μιχαήλ", "Αντωνίου", "Λοΐζου",
                                         "Χριστοδούλου", "Ευαγγέλου", "Ζαχαρίου", "Θεοδώρου", "Οικονόμου"};
        static const char *works[] = {"Δάσκαλος", "Λογιστής", "Γιατρός", "Μηχανικός", "Συνταξιούχος", "Μαθητής",
                                      "Ιδιωτικός υπάλληλος", "Δημόσιος υπάλληλος", ""};
        static const char *funds[] = {"", "ΙΚΑ", "ΟΓΑ", "ΤΕΒΕ", "ΓεΣΥ"};
        static const char *streets[] = {"Μακαρίου", "Αρχ. Κυπριανού", "Λεωφ. Αθηνών", "Γρ. Αυξεντίου", "Ομήρου"};
        QRandomGenerator rng(11);
        DbTransaction t(conn);
        DbStatement st(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,DIEYTHYNSH,THLEFWNO_1,"
                                            "THLEFWNO_2,EPAGGELMA,TAMEIO) VALUES(?,?,?,?,?,?,?,?,?)"));
        const QDate first(1925, 1, 1);
        for (int i = 0; i < kCustomers; ++i) {
            const bool man = rng.bounded(2) == 0;
            QString surname = QString::fromUtf8(surnames[rng.bounded(15)]);
            if (rng.bounded(3) == 0)
                surname += QString::number(rng.bounded(1000));   // more distinct surnames
            st.reset();
            st.bindAll({QString::fromUtf8(man ? men[rng.bounded(7)] : women[rng.bounded(7)]), surname,
                        QString::fromUtf8(man ? "ΑΡΡΕΝ" : "ΘΗΛΥ"),
                        first.addDays(rng.bounded(30000)).toString(Qt::ISODate),
                        QStringLiteral("%1 %2, Λευκωσία").arg(QString::fromUtf8(streets[rng.bounded(5)])).arg(rng.bounded(200)),
                        QStringLiteral("22 %1").arg(rng.bounded(100000, 999999)),
                        QStringLiteral("99 %1").arg(rng.bounded(100000, 999999)),
                        QString::fromUtf8(works[rng.bounded(9)]), QString::fromUtf8(funds[rng.bounded(5)])});
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

TForm18 &list()
{
    static TForm18 *l = new TForm18;
    return *l;
}

// What the find window's "all customers" does: the list shown with its
// statement (connection, fetch, count, default sort, grid).
void BM_ListShowAll(benchmark::State &state)
{
    practice();
    TForm18 &l = list();
    l.ListSql = TForm17::AllSql();
    l.ListCriteria.clear();
    int rows = 0;
    qint64 held = 0;
    for (auto _ : state) {
        const qint64 before = heapInUse();
        l.show();
        QApplication::processEvents();
        state.PauseTiming();
        held = heapInUse() - before;
        rows = l.findChild<DataSet *>(QStringLiteral("ADOQuery1"))->recordCount();
        l.reject();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["heldMB"] = double(held) / 1e6;
    state.counters["heldPerText"] = double(held) / double(textBytes(TForm17::AllSql()));
}

// The parts of a showing: the statement fetched into a data set, and the
// default sort applied to the fetched rows.
void BM_FetchAll(benchmark::State &state)
{
    practice();
    DbConnection conn;
    conn.prepare();
    DataSet ds(&conn);
    ds.setSql(TForm17::AllSql());
    for (auto _ : state) {
        ds.open();
        ds.close();
    }
}
// For comparison: the translated statement stepped through bare, each
// column read as UTF-8 text.
void BM_BareStepAll(benchmark::State &state)
{
    practice();
    DbConnection conn;
    conn.prepare();
    const QString native = JetSql::translate(TForm17::AllSql());
    for (auto _ : state) {
        DbStatement st(conn, native);
        qint64 bytes = 0;
        const DbCursor &h = st.cursor();
        const int n = h.columnCount();
        while (st.step())
            for (int c = 0; c < n; ++c)
                bytes += h.utf8(c).size();
        benchmark::DoNotOptimize(bytes);
    }
}
void BM_SortFetchedBySurname(benchmark::State &state)
{
    practice();
    DbConnection conn;
    conn.prepare();
    DataSet ds(&conn);
    ds.setSql(TForm17::AllSql());
    ds.open();
    for (auto _ : state) {
        ds.setSort(QStringLiteral("EPWNYMO ASC"));
        state.PauseTiming();
        ds.setSort(QString());
        state.ResumeTiming();
    }
}

// A search by initials that finds a few thousand customers.
void BM_ListShowInitials(benchmark::State &state)
{
    practice();
    TForm18 &l = list();
    l.ListSql = TForm17::InitialsSql(QStringLiteral("παπ"));
    for (auto _ : state) {
        l.show();
        QApplication::processEvents();
        state.PauseTiming();
        l.reject();
        state.ResumeTiming();
    }
}

// Pages read from the file (cache misses of a fresh connection) for the
// surname search and the whole list as the data set reads them, beside the
// same statements walked in the surname index's order as the file runs
// them with their ORDER BY.
qint64 pagesRead(DbConnection &conn, const std::function<void()> &read)
{
    int misses = 0, highest = 0;
    sqlite3_db_status(conn.handle(), SQLITE_DBSTATUS_CACHE_MISS, &misses, &highest, 1);
    read();
    sqlite3_db_status(conn.handle(), SQLITE_DBSTATUS_CACHE_MISS, &misses, &highest, 0);
    return misses;
}

void pagesOf(benchmark::State &state, const QString &jetSql)
{
    practice();
    qint64 dataSetPages = 0, indexWalkPages = 0;
    for (auto _ : state) {
        DbConnection conn;
        conn.prepare();
        DataSet ds(&conn);
        ds.setSql(jetSql);
        dataSetPages = pagesRead(conn, [&] {
            ds.open();
            ds.close();
        });
        state.PauseTiming();
        DbConnection walk;
        walk.prepare();
        QString table;
        indexWalkPages = pagesRead(walk, [&] {
            DbStatement st(walk, JetSql::translateForEdit(jetSql, &table));
            while (st.step())
                for (int c = 0; c < st.columnCount(); ++c)
                    benchmark::DoNotOptimize(st.cursor().textCell(c));
        });
        state.ResumeTiming();
    }
    state.counters["pagesRead"] = double(dataSetPages);
    state.counters["pagesIndexWalk"] = double(indexWalkPages);
}
void BM_PagesSurnameSearch(benchmark::State &state) { pagesOf(state, TForm17::InitialsSql(QStringLiteral("παπ"))); }
void BM_PagesWholeList(benchmark::State &state) { pagesOf(state, TForm17::AllSql()); }

void sortBy(benchmark::State &state, const char *radio)
{
    practice();
    TForm18 &l = list();
    l.ListSql = TForm17::AllSql();
    l.show();
    auto *bySurname = l.findChild<QRadioButton *>(QStringLiteral("RadioButton2"));
    auto *button = l.findChild<QRadioButton *>(QLatin1String(radio));
    for (auto _ : state) {
        button->click();
        QApplication::processEvents();
        state.PauseTiming();
        bySurname->click();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    l.reject();
}
void BM_ListSortBirthDate(benchmark::State &state) { sortBy(state, "RadioButton3"); }
void BM_ListSortSex(benchmark::State &state) { sortBy(state, "RadioButton10"); }
void BM_ListSortOccupation(benchmark::State &state) { sortBy(state, "RadioButton5"); }
void BM_ListSortDescending(benchmark::State &state) { sortBy(state, "RadioButton9"); }

// Last and First on the navigator, each with the grid painted where it lands.
void BM_ListScrollEnds(benchmark::State &state)
{
    practice();
    TForm18 &l = list();
    l.ListSql = TForm17::AllSql();
    l.show();
    auto *nav = l.findChild<DbNavigator *>(QStringLiteral("DBNavigator1"));
    auto *grid = l.findChild<DbGrid *>(QStringLiteral("DBGrid1"));
    for (auto _ : state) {
        nav->clickButton(DbNavigator::Last);
        benchmark::DoNotOptimize(grid->viewport()->grab());
        nav->clickButton(DbNavigator::First);
        benchmark::DoNotOptimize(grid->viewport()->grab());
    }
    l.reject();
}

// Dragging the scroll bar: one page of rows painted at a new place.
void BM_ListScrollPage(benchmark::State &state)
{
    practice();
    TForm18 &l = list();
    l.ListSql = TForm17::AllSql();
    l.show();
    auto *grid = l.findChild<DbGrid *>(QStringLiteral("DBGrid1"));
    QScrollBar *bar = grid->verticalScrollBar();
    int pos = 0;
    for (auto _ : state) {
        pos = (pos + bar->maximum() / 37) % (bar->maximum() + 1);
        bar->setValue(pos);
        benchmark::DoNotOptimize(grid->viewport()->grab());
    }
    l.reject();
}

// The printed list of a search of about 2,000 customers, rendered to HTML.
void BM_PrintListOfSearch(benchmark::State &state)
{
    practice();
    Messages::setScripted(true);
    ReportProject::setTestSink([](const QString &, const QString &html) { benchmark::DoNotOptimize(html.size()); });
    TForm22 p;
    p.ListSql = TForm17::InitialsSql(QStringLiteral("Λοΐζου"));
    p.ListCriteria = TForm17::InitialsCriteria(QStringLiteral("Λοΐζου"));
    p.show();
    auto *button = p.findChild<QPushButton *>(QStringLiteral("Button10"));
    for (auto _ : state)
        button->click();
    ReportProject::setTestSink({});
    p.reject();
}

BENCHMARK(BM_ListShowAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareStepAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortFetchedBySurname)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListShowInitials)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PagesSurnameSearch)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PagesWholeList)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ListSortBirthDate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListSortSex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListSortOccupation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListSortDescending)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListScrollEnds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListScrollPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintListOfSearch)->Unit(benchmark::kMillisecond);

}   // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    if (Bench::Tiny)
        kCustomers = 300;
    else if (const int n = qEnvironmentVariableIntValue("MOLARIX_BENCH_CUSTOMERS"); n > 0)
        kCustomers = n;
    std::printf("Making a practice with %d customers...\n", kCustomers);
    practice();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
