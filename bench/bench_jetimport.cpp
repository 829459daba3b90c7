// Import of an old Access practice: 100,000 customers with 300,000 visits.
// Compared with what the same rows cost without the importer: mdb-export of
// the two tables to CSV files, plus a bare loop inserting the rows into a
// new practice file. The import should take at most twice their sum, in
// wall time (its work runs in another process).
//
//   build/bench/bench_jetimport

#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/import/jetimport.h"
#include "data/practice/schema.h"
#include "tests/jetimport/practicejet.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <cstdio>

namespace {

struct OldPractice {
    QTemporaryDir dir;
    QString file;
    QHash<QString, QList<QVariantList>> rows;   // as the new file stores them

    OldPractice()
    {
        PracticeJet::Options o;
        o.customers = Bench::size(100000, 200);
        o.visitsPerCustomer = 3;
        o.everything = false;
        JetWriter::Writer w(QString::fromLatin1(PracticeJet::DatabasePassword));
        QHash<QString, int> ids;
        for (const QString &t : PracticeJet::tables())
            ids[t] = w.addTable(t, PracticeJet::columns(t));
        PracticeJet::generate(o, [&](const QString &t, const QVariantList &row) {
            w.addRow(ids[t], row);
            QVariantList stored;
            for (const QVariant &v : row) {
                if (v.typeId() == QMetaType::QDate)
                    stored << v.toDate().toString(Qt::ISODate);
                else
                    stored << v;
            }
            rows[t] << stored;
        });
        file = dir.filePath(QStringLiteral("old.mdb"));
        if (!w.save(file))
            std::fprintf(stderr, "the Jet file could not be written\n");
    }
};

OldPractice &old()
{
    static OldPractice p;
    return p;
}

const QStringList kTables{QStringLiteral("STOIXEIA_PELATH"), QStringLiteral("EPISKEPSEIS")};

void BM_ImportJet(benchmark::State &state)
{
    OldPractice &p = old();
    JetImport::setChildLimits({QStringLiteral(MOLARIX_BINARY_DIR "/molarix-db")});
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir target;
        state.ResumeTiming();
        // The old file has no password row; the report says so.
        const JetImport::Result r = JetImport::importFile(p.file, target.path(), true);
        if (!r.made) {
            state.SkipWithError("the import made no database");
            break;
        }
    }
    state.counters["rows"] = double(p.rows[kTables[0]].size() + p.rows[kTables[1]].size());
}

void BM_MdbExportCsv(benchmark::State &state)
{
    OldPractice &p = old();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir target;
        state.ResumeTiming();
        for (const QString &t : kTables) {
            QProcess exp;
            exp.setStandardOutputFile(target.filePath(t + QStringLiteral(".csv")));
            exp.start(QStringLiteral("mdb-export"), {p.file, t});
            if (!exp.waitForFinished(-1) || exp.exitCode() != 0)
                state.SkipWithError("mdb-export failed");
        }
    }
}

void BM_BareInsertLoop(benchmark::State &state)
{
    OldPractice &p = old();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir target;
        Schema::createDatabase(target.path(), QString::fromLatin1(Schema::FirstPassword));
        state.ResumeTiming();
        DbConnection conn;
        conn.setConnectionString(BuildConnectionString(target.path()) + QLatin1String(Schema::FirstPassword));
        conn.open();
        DbTransaction tx(conn);
        for (const QString &t : kTables) {
            QStringList names, marks;
            for (const JetWriter::Column &c : PracticeJet::columns(t)) {
                names << c.name;
                marks << QStringLiteral("?");
            }
            sqlite3_stmt *st = nullptr;
            const QByteArray sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                       .arg(t, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                                       .toUtf8();
            sqlite3_prepare_v2(conn.handle(), sql.constData(), -1, &st, nullptr);
            for (const QVariantList &row : p.rows[t]) {
                for (int i = 0; i < row.size(); ++i) {
                    const QVariant &v = row[i];
                    if (!v.isValid())
                        sqlite3_bind_null(st, i + 1);
                    else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong)
                        sqlite3_bind_int64(st, i + 1, v.toLongLong());
                    else {
                        const QByteArray text = v.toString().toUtf8();
                        sqlite3_bind_text(st, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                    }
                }
                sqlite3_step(st);
                sqlite3_reset(st);
            }
            sqlite3_finalize(st);
        }
        tx.commit();
    }
}

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    // Wall time: the import and mdb-export do their work in other processes.
    for (const auto &[name, run] : {std::pair{"BM_ImportJet", &BM_ImportJet}, std::pair{"BM_MdbExportCsv", &BM_MdbExportCsv},
                                    std::pair{"BM_BareInsertLoop", &BM_BareInsertLoop}})
        benchmark::RegisterBenchmark(name, run)->Unit(benchmark::kMillisecond)->Iterations(Bench::size(3, 1))->UseRealTime();
    old();   // the Jet file is made before any timing
    return Bench::run();
}
