// The cost of the password as the key: the derivation (what one guess
// costs an attacker), the whole access check, and a window's connection
// against the open every connection paid before (the fixed key derived by
// SQLCipher at each open) and against a plain unencrypted SQLite file.
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
#include <benchmark/benchmark.h>
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
        c.executeNative(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                                       "INSERT INTO STOIXEIA_PELATH (EPWNYMO, ONOMA) SELECT 'Επώνυμο' || i, 'Όνομα' || i FROM n"));
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

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    files();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
