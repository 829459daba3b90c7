// The expense reports over 20 years of expenses (100,000 rows): a search by
// dates and the totals by month, through the windows as the user runs them.
#include "expenses/expensesbydates.h"
#include "expenses/expensesbymonth.h"
#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/practicefile.h"
#include <QDir>
#include "data/practice/schema.h"
#include "data/work/expenses.h"

#include <QApplication>
#include <QDate>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include "bench/benchpractice.h"
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>

namespace {

constexpr int FirstYear = 1990;
constexpr int Years = 20;
// Under --tiny, enough for every month to have some.
int rows() { return Bench::size(100000, 5000); }

void fillExpenses(const QString &dir)
{
    Bench::openNewPractice(dir);
    DbConnection conn;
    conn.prepare();
    const QStringList kinds{QStringLiteral("Ενοίκιο ιατρείου"), QStringLiteral("Ρεύμα"),
                            QStringLiteral("Αναλώσιμα οδοντιατρείου"), QStringLiteral("Τηλέφωνο"),
                            QStringLiteral("Εργαστήριο")};
    QRandomGenerator rng(2009);
    const QDate first(FirstYear, 1, 1);
    const qint64 days = first.daysTo(QDate(FirstYear + Years, 1, 1));
    DbTransaction tx(conn);
    DbStatement st(conn, QStringLiteral("INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT,PERIGRAFH) VALUES(?,?,?,?)"));
    for (int i = 0; i < rows(); ++i) {
        const double poso = double(rng.bounded(100000)) / 100.0;
        // One expense in ten carries no VAT.
        const QVariant vat = rng.bounded(10) == 0 ? QVariant() : QVariant(poso * 0.19);
        st.reset();
        st.bindAll({first.addDays(rng.bounded(days)).toString(Qt::ISODate), poso, vat,
                    kinds[int(rng.bounded(kinds.size()))]});
        while (st.step()) {
        }
    }
    tx.commit();
}

template <class Form>
void search(Form &f, const QString &from, const QString &to)
{
    f.template findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(from);
    f.template findChild<QLineEdit *>(QStringLiteral("Edit2"))->setText(to);
    f.Button1Click();
}

// The whole 20 years totalled by month: 240 rows and the totals.
void BM_MonthlyTotals20Years(benchmark::State &state)
{
    TForm15 f;
    for (auto _ : state) {
        search(f, QString::number(FirstYear), QString::number(FirstYear + Years - 1));
        benchmark::DoNotOptimize(f.ADOQuery1->recordCount());
    }
    if (f.ADOQuery1->recordCount() != Years * 12 || !Messages::takeShown().isEmpty())
        state.SkipWithError("wrong result");
}
BENCHMARK(BM_MonthlyTotals20Years)->Unit(benchmark::kMillisecond);

// One year by month.
void BM_MonthlyTotalsOneYear(benchmark::State &state)
{
    TForm15 f;
    for (auto _ : state) {
        search(f, QStringLiteral("2005"), QStringLiteral("2005"));
        benchmark::DoNotOptimize(f.ADOQuery1->recordCount());
    }
    if (f.ADOQuery1->recordCount() != 12 || !Messages::takeShown().isEmpty())
        state.SkipWithError("wrong result");
}
BENCHMARK(BM_MonthlyTotalsOneYear)->Unit(benchmark::kMillisecond);

// The expenses of one year listed with their totals (about 5,000 rows).
void BM_SearchOneYear(benchmark::State &state)
{
    TForm14 f;
    for (auto _ : state) {
        search(f, QStringLiteral("1/1/2005"), QStringLiteral("31/12/2005"));
        benchmark::DoNotOptimize(f.ADOQuery1->recordCount());
    }
    state.counters["rows"] = f.ADOQuery1->recordCount();
    if (f.ADOQuery1->recordCount() < rows() / Years / 2 || !Messages::takeShown().isEmpty())
        state.SkipWithError("wrong result");
}
BENCHMARK(BM_SearchOneYear)->Unit(benchmark::kMillisecond);

// One month listed, the everyday use.
void BM_SearchOneMonth(benchmark::State &state)
{
    TForm14 f;
    for (auto _ : state) {
        search(f, QStringLiteral("1/3/2005"), QStringLiteral("31/3/2005"));
        benchmark::DoNotOptimize(f.ADOQuery1->recordCount());
    }
    state.counters["rows"] = f.ADOQuery1->recordCount();
    if (!Messages::takeShown().isEmpty())
        state.SkipWithError("the window reported an error");
}
BENCHMARK(BM_SearchOneMonth)->Unit(benchmark::kMillisecond);

// The parts of a search: opening the window's connection (the key is
// derived anew at each open) ...
void BM_OpenConnection(benchmark::State &state)
{
    DbConnection conn;
    conn.setConnectionString(DbConnectionString);
    for (auto _ : state) {
        conn.close();
        conn.open();
    }
}
BENCHMARK(BM_OpenConnection)->Unit(benchmark::kMillisecond);

// ... and the two statements of the 20-year monthly totals on an open
// connection.
void BM_MonthlyStatementsOnly(benchmark::State &state)
{
    DbConnection conn;
    conn.setConnectionString(DbConnectionString);
    conn.open();
    DataSet months(&conn), totals(&conn);
    for (auto _ : state) {
        Expenses::byMonth(months, FirstYear, FirstYear + Years - 1);
        Expenses::totalsOfYears(totals, FirstYear, FirstYear + Years - 1);
        benchmark::DoNotOptimize(months.recordCount());
    }
}
BENCHMARK(BM_MonthlyStatementsOnly)->Unit(benchmark::kMillisecond);

}   // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Messages::setScripted(true);
    Bench::initialize(&argc, argv);
    QTemporaryDir dir;
    fillExpenses(dir.path());
    benchmark::AddCustomContext("expense rows", std::to_string(rows()));
    return Bench::run();
}
