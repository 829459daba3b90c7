#include "data/practice/serverbackup.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/practicekey.h"
#include "data/db/servercopy.h"
#include "data/practice/schema.h"
#include "data/practice/schemaversion.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <future>
#include <sqlite3.h>
#include <unistd.h>

namespace {

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// The tables with amounts, compared after every copy.
const char *const kAmountTables[] = {"EISPRAKSH_PELATH", "APODEIKSEIS", "EKSODA"};

// The practice's tables but SECURITY, which a server keeps without a
// password and a file with one: each side keeps its own row.
QStringList dataTables()
{
    QStringList tables = Schema::tableNames() + SchemaVersion::addedTables();
    tables.removeAll(QStringLiteral("SECURITY"));
    return tables;
}

QString quoted(const QString &name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

// Rows of every data table and the amounts, on either engine.
struct Measure {
    Backup::TableCounts rows;
    QMap<QString, double> amounts;
};

QMap<QString, double> amounts(DbConnection &conn)
{
    QMap<QString, double> sums;
    for (const char *t : kAmountTables)
        sums.insert(QLatin1String(t), conn.scalarNative(QStringLiteral("SELECT coalesce(sum(POSO), 0) FROM %1").arg(QLatin1String(t))).toDouble());
    return sums;
}

Measure measure(DbConnection &conn)
{
    Measure m;
    for (const QString &t : dataTables())
        m.rows.insert(t, conn.scalarNative(QStringLiteral("SELECT count(*) FROM %1").arg(quoted(t))).toLongLong());
    m.amounts = amounts(conn);
    return m;
}

// What differs between two measures, empty when nothing does; a table
// missing from got counts as different.
QString differences(const Measure &want, const Backup::TableCounts &gotRows, const QMap<QString, double> &gotAmounts)
{
    QStringList diffs;
    for (auto it = want.rows.cbegin(); it != want.rows.cend(); ++it) {
        const qint64 got = gotRows.value(it.key(), -1);
        if (got != it.value())
            diffs << QStringLiteral("%1: %2 γραμμές αντί %3").arg(it.key()).arg(got).arg(it.value());
    }
    for (auto it = want.amounts.cbegin(); it != want.amounts.cend(); ++it) {
        // Amounts are stored as floating point: under half a cent is the same sum.
        if (qAbs(gotAmounts.value(it.key(), qQNaN()) - it.value()) < 0.005)
            continue;
        diffs << QStringLiteral("%1: ποσά %2 αντί %3").arg(it.key()).arg(gotAmounts.value(it.key())).arg(it.value());
    }
    return diffs.join(QStringLiteral(", "));
}

// A file keyed with the password alone (the server has no key of its own).
ConnectionInfo keyedWith(const QString &password)
{
    ConnectionInfo info;
    info.password = password;
    return info;
}

// The layout must be the program's on the server: the copy is of the same tables.
void requireCurrentLayout(DbConnection &conn, const QString &what)
{
    const int version = SchemaVersion::read(conn);
    if (version != SchemaVersion::current())
        throw DbError(QStringLiteral("%1 έχει έκδοση δομής %2 και το πρόγραμμα την %3· ανοίξτε πρώτα το ιατρείο με το πρόγραμμα.")
                          .arg(what)
                          .arg(version)
                          .arg(SchemaVersion::current()));
}

// Copies one table of the server (inside its snapshot) into the file as
// the server streams it, in the order the rows were made. Adds to held
// the rows the server counted and the amounts it sent.
void copyToFile(DbConnection &server, DbConnection &file, const QString &table, Measure &held)
{
    std::unique_ptr<DbStatement> insert;
    sqlite3_stmt *st = nullptr;
    const bool withAmounts = std::any_of(std::begin(kAmountTables), std::end(kAmountTables),
                                         [&](const char *t) { return table == QLatin1String(t); });
    int amountColumn = -1;
    double sum = 0;
    held.rows[table] = ServerCopy::readTable(
        server, table,
        [&](const QStringList &names) {
            if (withAmounts)
                amountColumn = int(names.indexOf(QStringLiteral("POSO")));
            QStringList cols, marks;
            for (const QString &name : names) {
                cols << quoted(name);
                marks << QStringLiteral("?");
            }
            insert = std::make_unique<DbStatement>(
                file, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(quoted(table), cols.join(u','), marks.join(u',')));
            st = insert->handle();
        },
        [&](const ServerCopy::Cell *cells, int count) {
            if (amountColumn >= 0 && amountColumn < count)
                sum += cells[amountColumn].kind == CellKind::Float ? cells[amountColumn].real : double(cells[amountColumn].integer);
            for (int i = 0; i < count; ++i) {
                const ServerCopy::Cell &c = cells[i];
                switch (c.kind) {
                case CellKind::Null:
                    sqlite3_bind_null(st, i + 1);
                    break;
                case CellKind::Integer:
                    sqlite3_bind_int64(st, i + 1, c.integer);
                    break;
                case CellKind::Float:
                    sqlite3_bind_double(st, i + 1, c.real);
                    break;
                case CellKind::Text:
                case CellKind::Blob:
                    // The bytes stay put until the row is stored.
                    sqlite3_bind_text64(st, i + 1, c.bytes.data(), sqlite3_uint64(c.bytes.size()), SQLITE_STATIC, SQLITE_UTF8);
                    break;
                }
            }
            if (sqlite3_step(st) != SQLITE_DONE)
                file.fail(QStringLiteral("Το αντίγραφο δεν γράφτηκε (%1)").arg(table));
            sqlite3_reset(st);
        });
    if (withAmounts)
        held.amounts[table] = sum;
}

// Writes the whole practice into the new file part; returns what the
// server held at that moment.
Measure fillFile(DbConnection &server, const QString &part, const QString &password, const QByteArray &key, const QByteArray &salt)
{
    requireCurrentLayout(server, QStringLiteral("Η βάση του διακομιστή %1").arg(server.engine().where()));
    DbConnection file;
    file.setOneThreadOnly();
    file.setRawKey(key, salt);
    file.createFile(part, ConnectionInfo{});
    // A copy not yet verified is thrown away whole after a failure: it
    // needs no journal, and it is synced once at the end.
    file.executeNative(QStringLiteral("PRAGMA journal_mode=OFF"));
    file.executeNative(QStringLiteral("PRAGMA synchronous=OFF"));
    // Indexes are built by sorting: in memory, not in (encrypted) temporary files.
    file.executeNative(QStringLiteral("PRAGMA cache_size=-262144"));
    file.executeNative(QStringLiteral("PRAGMA temp_store=MEMORY"));

    // The tables first and their indexes after the rows: an index built
    // from sorted rows is quicker than one grown row by row.
    QStringList indexes;
    DbTransaction fileUnit(file);
    for (const QString &stmt : Schema::fileTableStatements()) {
        if (stmt.startsWith(QLatin1String("CREATE INDEX")))
            indexes << stmt;
        else
            file.executeNative(stmt);
    }
    SchemaVersion::applyAll(file);
    // The later layouts' indexes too wait for the rows.
    QStringList later;
    {
        DbStatement made(file, QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"));
        while (made.step()) {
            later << made.columnValue(0).toString();
            indexes << made.columnValue(1).toString();
        }
    }
    for (const QString &name : later)
        file.executeNative(QStringLiteral("DROP INDEX %1").arg(quoted(name)));
    file.executeNative(QStringLiteral("INSERT INTO SECURITY (\"PASSWORD\") VALUES (?)"), {password});

    Measure held;
    {
        // One snapshot of the server for every table and the counts, read only.
        DbTransaction snapshot(server);
        server.executeNative(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
        for (const QString &t : dataTables())
            copyToFile(server, file, t, held);
        snapshot.commit();
    }
    for (const QString &stmt : indexes)
        file.executeNative(stmt);
    fileUnit.commit();
    file.close();
    return held;
}

// Copies one table of the file into the server, many rows to a statement.
void copyToServer(DbConnection &file, DbConnection &server, const QString &table)
{
    DbStatement rows(file, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(quoted(table)));
    const int n = rows.columnCount();
    QStringList cols, marks;
    for (int i = 0; i < n; ++i) {
        cols << quoted(rows.columnName(i));
        marks << QStringLiteral("?");
    }
    const QString head = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(quoted(table), cols.join(u','));
    const QString row = QLatin1Char('(') + marks.join(u',') + QLatin1Char(')');
    // The server takes at most 65,535 values in one statement.
    const int batch = std::max(1, std::min(1000, 30000 / std::max(1, n)));
    auto statement = [&](int count) {
        QStringList all;
        for (int i = 0; i < count; ++i)
            all << row;
        return std::make_unique<DbStatement>(server, head + all.join(u','));
    };
    std::unique_ptr<DbStatement> full;
    QVariantList pending;
    auto flush = [&](int count) {
        std::unique_ptr<DbStatement> partial;
        DbStatement *st = nullptr;
        if (count == batch) {
            if (!full)
                full = statement(batch);
            st = full.get();
        } else {
            partial = statement(count);
            st = partial.get();
        }
        st->reset();
        st->bindAll(pending);
        while (st->step()) {
        }
        pending.clear();
    };
    int inBatch = 0;
    while (rows.step()) {
        for (int i = 0; i < n; ++i)
            pending << rows.columnValue(i);
        if (++inBatch == batch) {
            flush(batch);
            inBatch = 0;
        }
    }
    if (inBatch > 0)
        flush(inBatch);
}

bool hasPracticeTables(DbConnection &server)
{
    return server
               .scalarNative(QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
                                            " WHERE n.nspname = current_schema() AND c.relname = 'security'"))
               .toLongLong()
        > 0;
}

}   // namespace

namespace ServerBackup {

Backup::TableCounts makeVerified(DbConnection &server, const QString &dest, const QString &password)
{
    if (!server.onServer())
        throw DbError(QStringLiteral("Η σύνδεση δεν είναι με διακομιστή βάσης δεδομένων."));
    const QString shown = native(dest);
    if (QFileInfo::exists(dest))
        throw DbError(QStringLiteral("Το αρχείο %1 υπάρχει ήδη.").arg(shown));
    // The password's key is derived once, for a salt of the copy's own:
    // writing and verifying the copy both use it.
    const QByteArray salt = PracticeKey::randomSalt();
    QByteArray key = PracticeKey::derive(password, salt);
    const QString folder = QFileInfo(dest).absolutePath();
    const bool madeFolder = !QFileInfo::exists(folder);
    if (!QDir().mkpath(folder)) {
        PracticeKey::wipe(key);
        throw DbError(QStringLiteral("Ο φάκελος %1 δεν μπορεί να δημιουργηθεί.").arg(native(folder)));
    }

    // Written under a temporary name, so that no unverified file ever
    // carries a backup's name.
    const QString part = dest + QStringLiteral(".part");
    auto discard = [&] {
        QFile::remove(part);
        QFile::remove(part + QStringLiteral("-journal"));
        if (madeFolder)
            QDir().rmdir(folder);
    };
    QFile::remove(part);
    Backup::TableCounts verified;
    try {
        const Measure held = fillFile(server, part, password, key, salt);
        // The disk takes the copy while it is checked: it is named only after both.
        auto synced = std::async(std::launch::async, [&part] {
            QFile f(part);
            return f.open(QIODevice::ReadWrite) && ::fsync(f.handle()) == 0;
        });
        // The copy opened on its own, checked whole, then counted and summed.
        QMap<QString, double> sums;
        verified = Backup::verifyFile(part, key, [&](DbConnection &copy) { sums = amounts(copy); });
        PracticeKey::wipe(key);
        if (!synced.get())
            throw DbError(QStringLiteral("Το αντίγραφο %1 δεν γράφτηκε στον δίσκο.").arg(native(part)));
        if (const QString diff = differences(held, verified, sums); !diff.isEmpty())
            throw DbError(QStringLiteral("Το αντίγραφο δεν έχει τα δεδομένα του διακομιστή (%1).").arg(diff));
    } catch (...) {
        PracticeKey::wipe(key);
        discard();
        throw;
    }
    if (!QFile::rename(part, dest)) {
        discard();
        throw DbError(QStringLiteral("Το αντίγραφο δεν μπορεί να πάρει το όνομα %1.").arg(shown));
    }
    return verified;
}

QString makeAutomatic(DbConnection &server, const QString &practiceDir, const QString &password, Backup::TableCounts *counts)
{
    const QString dir = Backup::folder(practiceDir);
    QDateTime when = Clock::now();
    QString dest = QDir(dir).absoluteFilePath(Backup::automaticName(when));
    // Two copies within one second: the second takes the next free second.
    for (int i = 0; i < 60 && QFileInfo::exists(dest); ++i) {
        when = when.addSecs(1);
        dest = QDir(dir).absoluteFilePath(Backup::automaticName(when));
    }
    const Backup::TableCounts made = makeVerified(server, dest, password);
    if (counts)
        *counts = made;
    Backup::rotate(dir);
    return dest;
}

Backup::TableCounts restore(DbConnection &server, const QString &copy, const QString &password, const std::function<bool()> &replace)
{
    if (!server.onServer())
        throw DbError(QStringLiteral("Η σύνδεση δεν είναι με διακομιστή βάσης δεδομένων."));
    const Backup::TableCounts counts = Backup::verifyFile(copy, keyedWith(password));
    DbConnection file;
    file.openFile(copy, keyedWith(password));
    requireCurrentLayout(file, QStringLiteral("Το αντίγραφο %1").arg(native(copy)));
    const Measure want = measure(file);

    const QString where = server.engine().where();
    if (!hasPracticeTables(server))
        Schema::createOnServer(server);
    requireCurrentLayout(server, QStringLiteral("Η βάση του διακομιστή %1").arg(where));

    DbTransaction unit(server);
    const Measure before = measure(server);
    qint64 held = 0;
    for (qint64 n : before.rows)
        held += n;
    if (held > 0 && replace && !replace())
        throw DbError(QStringLiteral("Η βάση %1 του διακομιστή έχει ήδη δεδομένα· η επαναφορά γίνεται μόνο σε άδεια βάση ή με επιβεβαίωση.").arg(where));
    for (const QString &t : dataTables()) {
        if (before.rows.value(t) > 0)
            server.executeNative(QStringLiteral("DELETE FROM %1").arg(quoted(t)));
        copyToServer(file, server, t);
    }
    // Numbers given by the server (customers, notes, price list ...) go on
    // after the copied ones.
    QList<QPair<QString, QString>> numbered;
    {
        DbStatement identities(server, QStringLiteral("SELECT table_name, column_name FROM information_schema.columns"
                                                      " WHERE table_schema = current_schema() AND is_identity = 'YES'"
                                                      " AND column_name <> 'rowid'"));
        while (identities.step())
            numbered.append({identities.columnValue(0).toString().toLower(), identities.columnValue(1).toString().toLower()});
    }
    for (const auto &[table, column] : numbered)
        server.executeNative(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), coalesce(max(%2), 0) + 1, false) FROM %1")
                                 .arg(quoted(table), quoted(column)),
                             {table, column});
    const Measure after = measure(server);
    if (const QString diff = differences(want, after.rows, after.amounts); !diff.isEmpty())
        throw DbError(QStringLiteral("Η επαναφορά δεν έγινε: η βάση του διακομιστή δεν θα είχε τα δεδομένα του αντιγράφου (%1).").arg(diff));
    unit.commit();
    return counts;
}

}
