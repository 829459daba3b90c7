// Backups of a large practice: 100,000 customers with their history,
// 200,000 receipts and their takings, 150,000 visits. Compares the verified
// backup (copy, reopen, integrity_check, row counts) with SQLite's online
// backup alone, wall and CPU, in turns; times the start-up quick_check and
// how long closing the main window waits for the day's backup.
//
//   build/bench/bench_backup [--benchmark_repetitions=3]
//   build/bench/bench_backup --tiny     (a few hundred rows, each once)

#include "app/safekeeping.h"
#include "data/db/clock.h"
#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/practice/check.h"
#include "data/db/connection.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <cstdio>
#include <utility>
#include <sqlite3.h>

namespace {

int kCustomers = 100000;
int kReceipts = 200000;
int kVisits = 150000;

struct Practice {
    QTemporaryDir dir;

    Practice()
    {
        Schema::createDatabase(dir.path(), QString::fromLatin1(Schema::FirstPassword));
        PracticeFile::unlock(QDir(dir.path()).absoluteFilePath(QStringLiteral("data.mdb")), QString::fromLatin1(Schema::FirstPassword));
        DbConnection conn;
        conn.setConnectionString(BuildConnectionString(dir.path()));
        conn.open();
        static const char *names[] = {"Γιώργος", "Μαρία", "Νίκος", "Ελένη", "Κώστας", "Σοφία", "Δημήτρης"};
        static const char *surnames[] = {"Παπαδόπουλος", "Νικολάου", "Ιωάννου", "Γεωργίου", "Χατζηδάκης",
                                         "Κωνσταντίνου", "Σταύρου", "Μιχαήλ"};
        static const char *works[] = {"Σφράγισμα", "Καθαρισμός", "Εξαγωγή", "Απονεύρωση", "Στεφάνη", "Έλεγχος"};
        QRandomGenerator rng(11);
        DbTransaction t(conn);
        DbStatement customer(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,DIEYTHYNSH,THLEFWNO_1,"
                                                  "EPAGGELMA,TAMEIO,ISTORIKO) VALUES(?,?,?,?,?,?,?,?,?)"));
        for (int i = 0; i < kCustomers; ++i) {
            customer.reset();
            customer.bindAll({QString::fromUtf8(names[i % 7]), QString::fromUtf8(surnames[(i / 7) % 8]) + QString::number(i),
                              QStringLiteral("Α"), QStringLiteral("1970-01-01"),
                              QStringLiteral("Λεωφόρος Μακαρίου %1, Λευκωσία").arg(i % 300),
                              QStringLiteral("99%1").arg(rng.bounded(1000000, 9999999)), QStringLiteral("Ιδιωτικός υπάλληλος"),
                              QStringLiteral("ΓΕΣΥ"),
                              QStringLiteral("Αλλεργία στην πενικιλίνη. Τελευταίος έλεγχος χωρίς ευρήματα. ").repeated(1 + i % 3)});
            customer.step();
        }
        DbStatement visit(conn, QStringLiteral("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA,PERIGRAFH) VALUES(?,?,?,?)"));
        for (int i = 0; i < kVisits; ++i) {
            visit.reset();
            visit.bindAll({1 + rng.bounded(kCustomers), QStringLiteral("2025-%1-%2").arg(1 + i % 12, 2, 10, QLatin1Char('0')).arg(1 + i % 28, 2, 10, QLatin1Char('0')),
                           QString::fromUtf8(works[i % 6]), QStringLiteral("Δόντι %1, χωρίς επιπλοκές").arg(11 + i % 38)});
            visit.step();
        }
        DbStatement receipt(conn, QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,ONOMA,EPWNYMO,PARALHPTHS,POSO,TAMEIO,POSO_CY,PERIGRAFH)"
                                                 " VALUES(?,?,?,?,?,?,?,?,?)"));
        DbStatement taking(conn, QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,HMEROMHNIA,POSO,POSO_CY,PERIGRAFH,TAMEIO,AR_APODEIKSHS) VALUES(?,?,?,?,?,?,?)"));
        for (int n = 1; n <= kReceipts; ++n) {
            const int c = 1 + rng.bounded(kCustomers);
            const double poso = 20 + rng.bounded(30) * 5;
            const QString date = QStringLiteral("20%1-%2-10").arg(10 + n * 15 / kReceipts).arg(1 + n % 12, 2, 10, QLatin1Char('0'));
            receipt.reset();
            receipt.bindAll({n, date, QString::fromUtf8(names[c % 7]), QString::fromUtf8(surnames[(c / 7) % 8]),
                             QStringLiteral("Παραλήπτης"), poso, QStringLiteral("ΓΕΣΥ"), poso * 0.585274,
                             QString::fromUtf8(works[n % 6])});
            receipt.step();
            taking.reset();
            taking.bindAll({c, date, poso, poso * 0.585274, QString::fromUtf8(works[n % 6]), QStringLiteral("ΓΕΣΥ"), n});
            taking.step();
        }
        conn.executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(?)"), {kReceipts + 1});
        t.commit();
        std::printf("practice file: %.1f MB\n", double(QFileInfo(dir.path() + QStringLiteral("/data.mdb")).size()) / 1048576.0);
    }
};

Practice &practice()
{
    static Practice p;
    return p;
}

std::unique_ptr<DbConnection> openPractice()
{
    auto c = std::make_unique<DbConnection>();
    c->setConnectionString(BuildConnectionString(practice().dir.path()));
    c->open();
    return c;
}

QString target() { return practice().dir.path() + QStringLiteral("/copy.mdb"); }

void removeTarget()
{
    QFile::remove(target());
    QFile::remove(target() + QStringLiteral("-journal"));
}

// SQLite's online backup alone, into a new file keyed the same way.
void BM_BackupStepOnly(benchmark::State &state)
{
    auto source = openPractice();
    for (auto _ : state) {
        state.PauseTiming();
        removeTarget();
        state.ResumeTiming();
        QFile(target()).open(QIODevice::WriteOnly);
        DbConnection dest;
        dest.createFile(target(), source->credentials());
        sqlite3_backup *b = sqlite3_backup_init(dest.handle(), "main", source->handle(), "main");
        if (sqlite3_backup_step(b, -1) != SQLITE_DONE)
            state.SkipWithError("backup_step failed");
        sqlite3_backup_finish(b);
        dest.close();
    }
    removeTarget();
}

// What `molarix-db backup` and the exit backup do.
void BM_VerifiedBackup(benchmark::State &state)
{
    auto source = openPractice();
    for (auto _ : state) {
        state.PauseTiming();
        removeTarget();
        state.ResumeTiming();
        Backup::makeVerified(*source, target());
    }
    removeTarget();
}

// Where the verified backup's time goes: the opening with its key, the
// source's row counts, and the verification of a finished copy.
// What closing the main window waits for when the day's backup is due
// (the goodbye picture aside): Safekeeping's start of the exit backup. The
// copy then finishes in the background, outside the timing.
void BM_CloseWithBackupDue(benchmark::State &state)
{
    AppDirectory = QDir::toNativeSeparators(practice().dir.path());
    DbConnectionString = BuildConnectionString(AppDirectory);
    AccessGranted = true;
    for (auto _ : state) {
        state.PauseTiming();
        QDir(Backup::folder(practice().dir.path())).removeRecursively();
        state.ResumeTiming();
        Safekeeping::StartBackupAtExit();
        state.PauseTiming();
        if (Safekeeping::FinishBackupAtExit(nullptr).isEmpty())
            state.SkipWithError("the exit backup was not made");
        state.ResumeTiming();
    }
    QDir(Backup::folder(practice().dir.path())).removeRecursively();
}

void BM_OpenWithKey(benchmark::State &state)
{
    practice();
    for (auto _ : state)
        openPractice();
}

void BM_SourceRowCounts(benchmark::State &state)
{
    practice();
    for (auto _ : state) {
        auto conn = openPractice();
        benchmark::DoNotOptimize(Backup::countRows(*conn));
    }
}

void BM_VerifyCopy(benchmark::State &state)
{
    auto source = openPractice();
    removeTarget();
    Backup::makeVerified(*source, target());
    for (auto _ : state)
        benchmark::DoNotOptimize(Backup::verifyFile(target(), source->credentials()));
    removeTarget();
}

// The start-up check, on a fresh connection as the program makes it.
void BM_StartupQuickCheck(benchmark::State &state)
{
    practice();
    for (auto _ : state) {
        auto conn = openPractice();
        if (Check::integrity(*conn, true) != QStringList{QStringLiteral("ok")})
            state.SkipWithError("quick_check failed");
    }
}

void BM_IntegrityCheck(benchmark::State &state)
{
    practice();
    for (auto _ : state) {
        auto conn = openPractice();
        if (Check::integrity(*conn, false) != QStringList{QStringLiteral("ok")})
            state.SkipWithError("integrity_check failed");
    }
}

}   // namespace

int main(int argc, char **argv)
{
    // Nothing is shown: the exit backup's failure would be a message box.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    const int rounds = Bench::size(3, 1);
    if (Bench::Tiny) {
        kCustomers = 300;
        kReceipts = 600;
        kVisits = 450;
    }
    // The two sides of the ratio in turns, so that the machine's load
    // weighs on both alike.
    for (int round = 0; round < rounds; ++round) {
        benchmark::RegisterBenchmark("BM_BackupStepOnly", BM_BackupStepOnly)->Unit(benchmark::kMillisecond)->Iterations(1)->MeasureProcessCPUTime();
        benchmark::RegisterBenchmark("BM_VerifiedBackup", BM_VerifiedBackup)->Unit(benchmark::kMillisecond)->Iterations(1)->MeasureProcessCPUTime();
    }
    for (auto [name, fn] : {std::pair{"BM_CloseWithBackupDue", &BM_CloseWithBackupDue}, std::pair{"BM_OpenWithKey", &BM_OpenWithKey},
                            std::pair{"BM_SourceRowCounts", &BM_SourceRowCounts}, std::pair{"BM_VerifyCopy", &BM_VerifyCopy},
                            std::pair{"BM_StartupQuickCheck", &BM_StartupQuickCheck}, std::pair{"BM_IntegrityCheck", &BM_IntegrityCheck}})
        benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMillisecond)->Iterations(rounds)->MeasureProcessCPUTime();
    return Bench::run();
}
