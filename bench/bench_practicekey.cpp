// The cost of the password as the key: the derivation (what one guess
// costs an attacker), the whole access check, and a window's connection
// against the open every connection paid before (the fixed key derived by
// SQLCipher at each open) and against a plain unencrypted SQLite file; and
// a scan of the customers read from the file, encrypted and plain. The two
// ratios to plain SQLite are printed after the table at every run; for
// figures to compare, take the minimum of interleaved rounds:
//
//   build/bench/bench_practicekey --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/jetsql.h"
#include "data/practice/practicefile.h"
#include "data/db/practicekey.h"
#include "data/practice/session.h"
#include "data/practice/schema.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <sqlite3.h>
#include <cstdio>
#include <cstdlib>

namespace {

const QString Password = QStringLiteral("Οδοντ1ατρος");

struct Files {
    QTemporaryDir dir;
    QString practice, legacy, plain;
    Files()
    {
        Schema::createDatabase(dir.path(), Password);
        practice = QDir(dir.path()).filePath(QStringLiteral("data.mdb"));
        legacy = QDir(dir.path()).filePath(QStringLiteral("legacy.mdb"));
        plain = QDir(dir.path()).filePath(QStringLiteral("plain.db"));
        PracticeFile::unlock(practice, Password);
        DbConnection c;
        c.setConnectionString(BuildConnectionString(dir.path()));
        c.open();
        c.executeNative(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                       "INSERT INTO STOIXEIA_PELATH (EPWNYMO, ONOMA) SELECT 'Επώνυμο' || i, 'Όνομα' || i FROM n")
                            .arg(Bench::size(20000, 200)));
        // The connection may not create files: the two start empty.
        for (const QString &f : {legacy, plain})
            QFile(f).open(QIODevice::WriteOnly);
        const QByteArray sql = QStringLiteral("ATTACH DATABASE '%1' AS legacy KEY '%2'; SELECT sqlcipher_export('legacy'); "
                                              "DETACH DATABASE legacy; ATTACH DATABASE '%3' AS plain KEY ''; "
                                              "SELECT sqlcipher_export('plain'); DETACH DATABASE plain;")
                                   .arg(legacy, QLatin1String(PracticeFile::LegacyKey), plain)
                                   .toUtf8();
        char *err = nullptr;
        if (sqlite3_exec(c.handle(), sql.constData(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::fprintf(stderr, "the comparison files cannot be made: %s\n", err ? err : "?");
            std::exit(1);
        }
        DbConnectionString = BuildConnectionString(dir.path());
    }
};

Files &files()
{
    static Files f;
    return f;
}

// What a window's connection does after the key: first read, its
// settings, the program's SQL functions.
void finishOpen(sqlite3 *db)
{
    sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA foreign_keys=OFF", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=TRUNCATE", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA cache_size=-16384", nullptr, nullptr, nullptr);
    SqlFunctions::registerAll(db);
}

void BM_Derivation(benchmark::State &state)
{
    const QByteArray salt = PracticeKey::readSalt(files().practice);
    for (auto _ : state) {
        QByteArray key = PracticeKey::derive(Password, salt);
        benchmark::DoNotOptimize(key.data());
        PracticeKey::wipe(key);
    }
    // Per core: the derivation is single-threaded, so CPU time is what counts.
}
BENCHMARK(BM_Derivation)->Unit(benchmark::kMillisecond);

// The access check without the typing: the file opened with the typed
// password, SECURITY compared, the window's connection opened with the key
// and SECURITY read again.
void BM_AccessCheck(benchmark::State &state)
{
    const QString file = files().practice;
    for (auto _ : state) {
        Session::current().signOut();
        if (PracticeFile::unlock(file, Password).access != PracticeFile::Access::Granted)
            state.SkipWithError("the password does not open the file");
        DbConnection c;
        c.setConnectionString(DbConnectionString);
        c.open();
        benchmark::DoNotOptimize(c.scalarNative(QStringLiteral("SELECT * FROM SECURITY")));
    }
}
BENCHMARK(BM_AccessCheck)->Unit(benchmark::kMillisecond);

// A wrong password: the derivation plus the try of the old fixed key.
void BM_AccessCheckWrong(benchmark::State &state)
{
    const QString file = files().practice;
    for (auto _ : state)
        benchmark::DoNotOptimize(PracticeFile::unlock(file, QStringLiteral("λάθος")).access);
}
BENCHMARK(BM_AccessCheckWrong)->Unit(benchmark::kMillisecond);

// Every window's own connection, as it opens now: the session key.
void BM_WindowConnectionOpen(benchmark::State &state)
{
    PracticeFile::unlock(files().practice, Password);
    for (auto _ : state) {
        DbConnection c;
        c.prepare();
        benchmark::DoNotOptimize(c.handle());
    }
}
BENCHMARK(BM_WindowConnectionOpen)->Unit(benchmark::kMicrosecond);

// The same with another connection held open all along: SQLCipher's
// per-connection setup (its locked buffers, the OpenSSL contexts) is paid
// by every open all the same.
void BM_WindowConnectionOpenHeld(benchmark::State &state)
{
    PracticeFile::unlock(files().practice, Password);
    DbConnection held;
    held.prepare();
    for (auto _ : state) {
        DbConnection c;
        c.prepare();
        benchmark::DoNotOptimize(c.handle());
    }
}
BENCHMARK(BM_WindowConnectionOpenHeld)->Unit(benchmark::kMicrosecond);

// As every connection opened before: the fixed key, derived by SQLCipher
// (64,000 rounds, 1 KiB pages) at every open.
void BM_WindowConnectionOpenBefore(benchmark::State &state)
{
    const QByteArray name = files().legacy.toUtf8();
    for (auto _ : state) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_key(db, PracticeFile::LegacyKey, int(qstrlen(PracticeFile::LegacyKey)));
        finishOpen(db);
        sqlite3_close(db);
    }
}
BENCHMARK(BM_WindowConnectionOpenBefore)->Unit(benchmark::kMicrosecond);

// The same file unencrypted, opened the same way.
void BM_PlainSqliteOpen(benchmark::State &state)
{
    const QByteArray name = files().plain.toUtf8();
    for (auto _ : state) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        finishOpen(db);
        sqlite3_close(db);
    }
}
BENCHMARK(BM_PlainSqliteOpen)->Unit(benchmark::kMicrosecond);

// The window's open and a first small read, encrypted and plain.
void BM_WindowOpenAndRead(benchmark::State &state)
{
    PracticeFile::unlock(files().practice, Password);
    for (auto _ : state) {
        DbConnection c;
        c.prepare();
        benchmark::DoNotOptimize(c.scalarNative(QStringLiteral("SELECT count(*) FROM STOIXEIA_PELATH")));
    }
}
BENCHMARK(BM_WindowOpenAndRead)->Unit(benchmark::kMicrosecond);

void BM_PlainOpenAndRead(benchmark::State &state)
{
    const QByteArray name = files().plain.toUtf8();
    for (auto _ : state) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        finishOpen(db);
        sqlite3_exec(db, "SELECT count(*) FROM STOIXEIA_PELATH", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
}
BENCHMARK(BM_PlainOpenAndRead)->Unit(benchmark::kMicrosecond);

// Every customer read from the file on an open connection, each column as
// text: a cache of a few pages, so that each page comes through the pager
// (and, encrypted, through the cipher) at every scan.
void scan(benchmark::State &state, sqlite3 *db)
{
    sqlite3_exec(db, "PRAGMA cache_size=1", nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM STOIXEIA_PELATH", -1, &st, nullptr);
    for (auto _ : state) {
        qint64 bytes = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                benchmark::DoNotOptimize(sqlite3_column_text(st, c));
                bytes += sqlite3_column_bytes(st, c);
            }
        }
        sqlite3_reset(st);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_finalize(st);
}

void BM_EncryptedScan(benchmark::State &state)
{
    PracticeFile::unlock(files().practice, Password);
    DbConnection c;
    c.prepare();
    scan(state, c.handle());
}
BENCHMARK(BM_EncryptedScan)->Unit(benchmark::kMicrosecond);

void BM_PlainScan(benchmark::State &state)
{
    const QByteArray name = files().plain.toUtf8();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    finishOpen(db);
    scan(state, db);
    sqlite3_close(db);
}
BENCHMARK(BM_PlainScan)->Unit(benchmark::kMicrosecond);

// The table as usual, and then each encrypted measurement over its plain
// twin (the fastest round of each).
class RatioReporter : public Bench::Reporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs) {
            if (r.run_type != Run::RT_Iteration || r.error_occurred)
                continue;
            const std::string name = r.run_name.function_name;
            for (const auto &[times, t] : {std::pair{&cpu, r.GetAdjustedCPUTime()}, std::pair{&wall, r.GetAdjustedRealTime()}}) {
                auto it = times->find(name);
                if (it == times->end() || t < it->second)
                    (*times)[name] = t;
            }
        }
        Bench::Reporter::ReportRuns(runs);
    }

    void printRatios() const
    {
        const char *const pairs[][3] = {{"connection open", "BM_WindowConnectionOpen", "BM_PlainSqliteOpen"},
                                        {"encrypted scan", "BM_EncryptedScan", "BM_PlainScan"}};
        for (const auto &p : pairs) {
            if (cpu.count(p[1]) && cpu.count(p[2]) && cpu.at(p[2]) > 0 && wall.at(p[2]) > 0)
                std::printf("%s: %.2fx plain SQLite in CPU time, %.2fx in wall time\n", p[0], cpu.at(p[1]) / cpu.at(p[2]),
                            wall.at(p[1]) / wall.at(p[2]));
        }
    }

private:
    std::map<std::string, double> cpu, wall;
};

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    files();
    RatioReporter reporter;
    const int failed = Bench::run(reporter);
    reporter.printRatios();
    return failed;
}
