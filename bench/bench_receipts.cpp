// Receipts of a busy practice: twenty years, 200,000 receipts (one in
// twenty cancelled) of 5,000 customers. Times the issued-receipts window
// opening, sorting and cancelling, and the takings totals.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_receipts [--benchmark_min_time=1]

#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include "receipts/customertakings.h"
#include "receipts/issuedreceipts.h"
#include "receipts/takingsbetweendates.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include "bench/benchpractice.h"
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

// Under --tiny, five hundred receipts of fifty customers.
int receipts() { return Bench::size(200000, 500); }
int customers() { return Bench::size(5000, 50); }

struct Practice {
    QTemporaryDir dir;

    Practice()
    {
        Bench::openNewPractice(dir.path());
        DbConnection conn;
        conn.setConnectionString(DbConnectionString);
        conn.open();

        static const char *names[] = {"Γιώργος", "Μαρία", "Νίκος", "Ελένη", "Κώστας", "Σοφία", "Δημήτρης"};
        static const char *surnames[] = {"Παπαδόπουλος", "Νικολάου", "Ιωάννου", "Γεωργίου", "Χατζηδάκης",
                                         "Κωνσταντίνου", "Σταύρου", "Μιχαήλ"};
        static const char *works[] = {"Σφράγισμα", "Καθαρισμός", "Εξαγωγή", "Απονεύρωση", "Στεφάνη", "Έλεγχος"};
        static const char *funds[] = {"", "ΙΚΑ", "ΟΓΑ", "ΤΕΒΕ"};
        QRandomGenerator rng(7);
        DbTransaction t(conn);
        DbStatement customer(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES(?,?)"));
        for (int i = 0; i < customers(); ++i) {
            customer.reset();
            customer.bind(1, QString::fromUtf8(names[i % 7]));
            customer.bind(2, QString::fromUtf8(surnames[(i / 7) % 8]));
            customer.step();
        }
        DbStatement receipt(conn, QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,ONOMA,EPWNYMO,PARALHPTHS,POSO,TAMEIO,POSO_CY,"
                                                 "PERIGRAFH,EGKYRH) VALUES(?,?,?,?,?,?,?,?,?,?)"));
        DbStatement taking(conn, QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,HMEROMHNIA,POSO,PERIGRAFH,TAMEIO,POSO_CY,AR_APODEIKSHS) "
                                                "VALUES(?,?,?,?,?,?,?)"));
        const QDate start(2000, 1, 1);
        const int days = int(start.daysTo(QDate(2019, 12, 31))) + 1;
        for (int i = 0; i < receipts(); ++i) {
            const int number = 1001 + i;
            const QString date = start.addDays(qint64(i) * days / receipts()).toString(Qt::ISODate);
            const int c = int(rng.bounded(customers()));
            const double poso = 10.0 * (1 + rng.bounded(60));
            const QString work = QString::fromUtf8(works[rng.bounded(6)]);
            const QString fund = QString::fromUtf8(funds[rng.bounded(4)]);
            const bool valid = rng.bounded(20) != 0;
            const QString first = QString::fromUtf8(names[c % 7]);
            const QString surname = QString::fromUtf8(surnames[(c / 7) % 8]);
            receipt.reset();
            receipt.bindAll({number, date, first, surname, first + u' ' + surname, poso, fund, poso * 0.585274, work,
                             valid ? -1 : 0});
            receipt.step();
            if (valid) {
                taking.reset();
                taking.bindAll({c + 1, date, poso, work, fund, poso * 0.585274, number});
                taking.step();
            }
        }
        conn.executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(?)"), {1001 + receipts()});
        t.commit();
    }
};

Practice &practice()
{
    static Practice p;
    return p;
}

// Opening the window as the main window does: created, shown, closed.
void BM_IssuedReceiptsOpen(benchmark::State &state)
{
    practice();
    for (auto _ : state) {
        TForm71 f;
        f.show();
        benchmark::DoNotOptimize(f.ADOQuery1->recordCount());
        state.PauseTiming();
        f.reject();
        state.ResumeTiming();
    }
}

void sortBy(benchmark::State &state, const char *radio)
{
    practice();
    TForm71 f;
    f.show();
    auto *byDate = f.findChild<QRadioButton *>(QStringLiteral("RadioButton1"));
    auto *button = f.findChild<QRadioButton *>(QLatin1String(radio));
    for (auto _ : state) {
        button->click();
        state.PauseTiming();
        byDate->click();
        state.ResumeTiming();
    }
}
void BM_IssuedReceiptsSortNumber(benchmark::State &state) { sortBy(state, "RadioButton2"); }
void BM_IssuedReceiptsSortValid(benchmark::State &state) { sortBy(state, "RadioButton3"); }

// A cancellation, its unit of work and the list read again.
void BM_IssuedReceiptsCancel(benchmark::State &state)
{
    practice();
    Messages::setScripted(true);
    TForm71 f;
    f.show();
    auto *cancel = f.findChild<QPushButton *>(QStringLiteral("Button1"));
    DataSet *q = f.ADOQuery1;
    const int valid = q->fieldIndex(QStringLiteral("EGKYRH"));
    int row = 0;
    for (auto _ : state) {
        state.PauseTiming();
        while (!q->value(row, valid).toBool())
            ++row;
        q->moveTo(row);
        f.UpdateReceiptButtons();
        state.ResumeTiming();
        cancel->click();
    }
    Messages::takeShown();
}

// One customer's takings with their count and total.
void BM_CustomerTakings(benchmark::State &state)
{
    practice();
    int id = 1;
    for (auto _ : state) {
        TForm57 f;
        f.CustomerId = QString::number(id);
        f.show();
        benchmark::DoNotOptimize(f.ADOQuery2->recordCount());
        state.PauseTiming();
        f.reject();
        id = id % customers() + 1;
        state.ResumeTiming();
    }
}

void takingsBetween(benchmark::State &state, const QString &from, const QString &to)
{
    practice();
    TForm59 f;
    f.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(from);
    f.findChild<QLineEdit *>(QStringLiteral("Edit2"))->setText(to);
    auto *search = f.findChild<QPushButton *>(QStringLiteral("Button1"));
    for (auto _ : state) {
        search->click();
        benchmark::DoNotOptimize(f.ADOQuery1->recordCount());
    }
}
void BM_TakingsOneMonth(benchmark::State &state)
{
    takingsBetween(state, QStringLiteral("1/3/2012"), QStringLiteral("31/3/2012"));
}
void BM_TakingsTwentyYears(benchmark::State &state)
{
    takingsBetween(state, QStringLiteral("1/1/2000"), QStringLiteral("31/12/2019"));
}

BENCHMARK(BM_IssuedReceiptsOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IssuedReceiptsSortNumber)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IssuedReceiptsSortValid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IssuedReceiptsCancel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CustomerTakings)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TakingsOneMonth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TakingsTwentyYears)->Unit(benchmark::kMillisecond);

}   // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    std::printf("Making a practice with %d receipts...\n", receipts());
    practice();
    return Bench::run();
}
