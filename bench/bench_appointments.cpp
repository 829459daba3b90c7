// Switching months in the appointment overview with 20 years of day rows.
#include "appointments/monthlyappointments.h"
#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/practice/practicefile.h"
#include <QDir>
#include "data/practice/schema.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include "bench/benchpractice.h"
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>

namespace {

// 2008 to 2027 (only 2017, the year measured, under --tiny): a row for
// every working day and for some Saturdays, with up to 20 of the 28 slots
// booked.
int fillBook(const QString &dir)
{
    Bench::openNewPractice(dir);
    DbConnection conn;
    conn.prepare();
    const QStringList columns = Schema::slotColumns();
    QString sql = QStringLiteral("INSERT INTO RANTEBOU VALUES(?");
    for (int i = 0; i < columns.size(); ++i)
        sql += QStringLiteral(",?");
    sql += QLatin1Char(')');

    QRandomGenerator rng(2008);
    int rows = 0;
    DbTransaction tx(conn);
    DbStatement st(conn, sql);
    for (QDate d(Bench::size(2008, 2017), 1, 1); d.year() < Bench::size(2028, 2018); d = d.addDays(1)) {
        if (d.dayOfWeek() == 7 || (d.dayOfWeek() == 6 && rng.bounded(3) != 0))
            continue;
        QVariantList values{d.toString(Qt::ISODate)};
        const int booked = int(rng.bounded(21));
        for (int i = 0; i < columns.size(); ++i)
            values << (int(rng.bounded(28)) < booked ? QVariant(QStringLiteral("Παπαδόπουλος Γ.")) : QVariant());
        st.reset();
        st.bindAll(values);
        while (st.step()) {
        }
        ++rows;
    }
    tx.commit();
    return rows;
}

void BM_SwitchMonth(benchmark::State &state)
{
    TForm1a w;
    auto *months = w.findChild<QComboBox *>(QStringLiteral("ComboBox1"));
    auto *years = w.findChild<QComboBox *>(QStringLiteral("ComboBox2"));
    years->setCurrentIndex(years->findText(QStringLiteral("2017")));
    int m = 0;
    for (auto _ : state) {
        m = (m + 1) % 12;
        months->setCurrentIndex(m);   // rebuilds the calendar and reads its counts
        benchmark::DoNotOptimize(w.MonthLength);
    }
    if (!Messages::takeShown().isEmpty())
        state.SkipWithError("the window reported an error");
}
BENCHMARK(BM_SwitchMonth)->Unit(benchmark::kMillisecond);

// The parts of a switch: opening the window's connection (close, connection
// string, time-outs, open: the key is derived anew each time) ...
void BM_PrepareConnection(benchmark::State &state)
{
    DbConnection conn;
    for (auto _ : state) {
        conn.prepare();
        conn.close();
    }
}
BENCHMARK(BM_PrepareConnection)->Unit(benchmark::kMillisecond);

// ... and reading a month's counts on the open connection: one statement
// for the month, as the window does, against one statement per day.
int countMonth(DataSet &q, int month, bool perDay)
{
    const int length = DaysInMonth(2017, month);
    auto literal = [month](int day) {
        QString text = QStringLiteral("%1/%2/2017").arg(day).arg(month);
        SqlDateLiteral(text);
        return text;
    };
    int booked = 0;
    auto tally = [&] {
        for (int row = 0; row < q.recordCount(); ++row)
            for (int c = 0; c < 29 && c < q.fieldCount(); ++c)
                booked += SlotIsFilled(q.displayText(row, c)) ? 1 : 0;
    };
    if (perDay) {
        for (int d = 1; d <= length; ++d) {
            q.close();
            q.setSql(QStringLiteral("SELECT * FROM RANTEBOU WHERE HMEROMHNIA=") + literal(d));
            q.open();
            tally();
        }
    } else {
        q.close();
        q.setSql(QStringLiteral("SELECT * FROM RANTEBOU WHERE HMEROMHNIA BETWEEN ") + literal(1)
                 + QStringLiteral(" AND ") + literal(length));
        q.open();
        tally();
    }
    q.close();
    return booked;
}

void BM_CountStatements(benchmark::State &state)
{
    const bool perDay = state.range(0) != 0;
    DbConnection conn;
    conn.prepare();
    DataSet q(&conn);
    int m = 0;
    const int expected = countMonth(q, 3, false);
    if (countMonth(q, 3, true) != expected)
        state.SkipWithError("the two ways disagree");
    for (auto _ : state) {
        m = m % 12 + 1;
        benchmark::DoNotOptimize(countMonth(q, m, perDay));
    }
    state.SetLabel(perDay ? "a statement per day" : "one statement per month");
}
BENCHMARK(BM_CountStatements)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}   // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Messages::setScripted(true);
    Bench::initialize(&argc, argv);
    QTemporaryDir dir;
    const int rows = fillBook(dir.path());
    benchmark::AddCustomContext("appointment rows", std::to_string(rows));
    return Bench::run();
}
