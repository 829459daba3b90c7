#pragma once
// What the benchmarks over a practice file share: a new practice made and
// unlocked as the access check leaves it, and the bare statement loop the
// windows' data paths are compared with.
#include "data/db/connection.h"
#include "data/practice/appstate.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include <QDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace Bench {

// A new practice in dir, unlocked with the first password and made the
// program's practice (AppDirectory, DbConnectionString).
inline void openNewPractice(const QString &dir)
{
    const QString password = QString::fromLatin1(Schema::FirstPassword);
    Schema::createDatabase(dir, password);
    PracticeFile::unlock(QDir(dir).absoluteFilePath(QStringLiteral("data.mdb")), password);
    AppDirectory = QDir::toNativeSeparators(dir);
    DbConnectionString = BuildConnectionString(AppDirectory);
}

// Steps the statement through, each column read as the UTF-8 text SQLite
// holds and nothing more; returns the rows.
inline int stepAsText(DbStatement &st)
{
    int rows = 0;
    qint64 chars = 0;
    while (st.step()) {
        ++rows;
        for (int c = 0; c < st.columnCount(); ++c) {
            benchmark::DoNotOptimize(sqlite3_column_text(st.handle(), c));
            chars += sqlite3_column_bytes(st.handle(), c);
        }
    }
    benchmark::DoNotOptimize(chars);
    return rows;
}

}   // namespace Bench
