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
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
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

// ---- the copy: the server read on the calling thread, the file written on
// another. The key is derived, and each table's indexes built, while the
// server goes on sending.

// A cell held by a batch; texts point into the batch's bytes.
struct HeldCell {
    CellKind kind = CellKind::Null;
    qint64 integer = 0;
    double real = 0;
    qsizetype offset = 0, size = 0;
};

// Rows of one table, owned: the server's buffer is reused as soon as a row
// has been handed over.
struct Batch {
    QString table;
    QStringList names;   // on the table's first batch only
    int columns = 0;
    std::vector<HeldCell> cells;   // row after row
    std::string bytes;
    bool first = false, last = false;
    size_t weight() const { return bytes.size() + cells.size() * sizeof(HeldCell); }
};

// Batches from the reader to the writer. The reader runs ahead while the
// writer derives the key or builds indexes, up to 64 MiB: never the whole
// practice in memory.
class BatchQueue {
public:
    // False once the writer has given up: the reader stops.
    bool push(Batch &&batch)
    {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock, [&] { return m_gaveUp || m_held < kLimit; });
        if (m_gaveUp)
            return false;
        m_held += batch.weight();
        m_batches.push_back(std::move(batch));
        m_ready.notify_one();
        return true;
    }
    // The next batch; none once the reader has finished or stopped.
    std::optional<Batch> pop()
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [&] { return m_finished || !m_batches.empty(); });
        if (m_batches.empty())
            return std::nullopt;
        Batch batch = std::move(m_batches.front());
        m_batches.pop_front();
        m_held -= batch.weight();
        m_space.notify_one();
        return batch;
    }
    void finish(bool whole)
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
        m_whole = whole;
        m_ready.notify_all();
    }
    bool whole()
    {
        const std::lock_guard lock(m_mutex);
        return m_whole;
    }
    void giveUp()
    {
        const std::lock_guard lock(m_mutex);
        m_gaveUp = true;
        m_batches.clear();
        m_held = 0;
        m_space.notify_all();
    }

private:
    static constexpr size_t kLimit = 64u << 20;
    std::mutex m_mutex;
    std::condition_variable m_ready, m_space;
    std::deque<Batch> m_batches;
    size_t m_held = 0;
    bool m_finished = false, m_whole = false, m_gaveUp = false;
};

// Thrown on the reader when the writer has given up: the writer's error is
// the one reported.
struct WriterGaveUp {};

// Reads every table inside one snapshot of the server into the queue, in
// the order the rows were made; returns the rows the server counted and
// the amounts it sent.
Measure readServer(DbConnection &server, BatchQueue &queue)
{
    constexpr int kRowsPerBatch = 2048;
    constexpr size_t kBytesPerBatch = 1u << 20;
    Measure held;
    DbTransaction snapshot(server);
    server.executeNative(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
    for (const QString &table : dataTables()) {
        const bool withAmounts = std::any_of(std::begin(kAmountTables), std::end(kAmountTables),
                                             [&](const char *t) { return table == QLatin1String(t); });
        int amountColumn = -1;
        double sum = 0;
        Batch batch;
        batch.table = table;
        batch.first = true;
        auto send = [&](bool last) {
            batch.last = last;
            const int columns = batch.columns;
            if (!queue.push(std::move(batch)))
                throw WriterGaveUp{};
            batch = Batch{};
            batch.table = table;
            batch.columns = columns;
        };
        held.rows[table] = ServerCopy::readTable(
            server, table,
            [&](const QStringList &names) {
                batch.names = names;
                batch.columns = int(names.size());
                if (withAmounts)
                    amountColumn = int(names.indexOf(QStringLiteral("POSO")));
            },
            [&](const ServerCopy::Cell *cells, int count) {
                if (count != batch.columns)
                    throw DbError(QStringLiteral("Ο διακομιστής έστειλε γραμμή του πίνακα %1 με %2 στήλες αντί %3.").arg(table).arg(count).arg(batch.columns));
                if (amountColumn >= 0)
                    sum += cells[amountColumn].kind == CellKind::Float ? cells[amountColumn].real : double(cells[amountColumn].integer);
                for (int i = 0; i < count; ++i) {
                    const ServerCopy::Cell &c = cells[i];
                    HeldCell h{c.kind, c.integer, c.real, 0, 0};
                    if (c.kind == CellKind::Text || c.kind == CellKind::Blob) {
                        h.offset = qsizetype(batch.bytes.size());
                        h.size = c.bytes.size();
                        batch.bytes.append(c.bytes.data(), size_t(c.bytes.size()));
                    }
                    batch.cells.push_back(h);
                }
                if (batch.cells.size() >= size_t(kRowsPerBatch) * size_t(count) || batch.bytes.size() >= kBytesPerBatch)
                    send(false);
            });
        // Even an empty table ends with a batch: the writer learns it is whole.
        send(true);
        if (withAmounts)
            held.amounts[table] = sum;
    }
    snapshot.commit();
    return held;
}

// Binds one held row to the statement's parameters from first on.
void bindRow(sqlite3_stmt *st, const Batch &batch, size_t row, int first)
{
    const HeldCell *cells = batch.cells.data() + row * size_t(batch.columns);
    for (int i = 0; i < batch.columns; ++i) {
        const HeldCell &c = cells[i];
        const int at = first + i;
        switch (c.kind) {
        case CellKind::Null:
            sqlite3_bind_null(st, at);
            break;
        case CellKind::Integer:
            sqlite3_bind_int64(st, at, c.integer);
            break;
        case CellKind::Float:
            sqlite3_bind_double(st, at, c.real);
            break;
        case CellKind::Text:
        case CellKind::Blob:
            // The batch outlives the statement's step.
            sqlite3_bind_text64(st, at, batch.bytes.data() + c.offset, sqlite3_uint64(c.size), SQLITE_STATIC, SQLITE_UTF8);
            break;
        }
    }
}

// One table's inserts: many rows to a statement, which spares the
// statement's own work (opening the table, its counters) for each row.
class TableWriter {
public:
    TableWriter(DbConnection &file, const Batch &first)
        : m_file(file), m_table(first.table), m_columns(first.columns)
    {
        QStringList cols, marks;
        for (const QString &name : first.names) {
            cols << quoted(name);
            marks << QStringLiteral("?");
        }
        m_head = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(quoted(m_table), cols.join(u','));
        m_row = QLatin1Char('(') + marks.join(u',') + QLatin1Char(')');
        const int variables = sqlite3_limit(file.handle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1);
        m_perStatement = std::clamp(variables / std::max(1, m_columns), 1, 64);
    }
    void write(const Batch &batch)
    {
        const size_t rows = m_columns > 0 ? batch.cells.size() / size_t(m_columns) : 0;
        size_t row = 0;
        for (; row + size_t(m_perStatement) <= rows; row += size_t(m_perStatement))
            run(many(), batch, row, m_perStatement);
        for (; row < rows; ++row)
            run(one(), batch, row, 1);
    }

private:
    sqlite3_stmt *many()
    {
        if (!m_many)
            m_many = statement(m_perStatement);
        return m_many->handle();
    }
    sqlite3_stmt *one()
    {
        if (!m_one)
            m_one = statement(1);
        return m_one->handle();
    }
    std::unique_ptr<DbStatement> statement(int rows)
    {
        QStringList all;
        for (int i = 0; i < rows; ++i)
            all << m_row;
        return std::make_unique<DbStatement>(m_file, m_head + all.join(u','));
    }
    void run(sqlite3_stmt *st, const Batch &batch, size_t row, int count)
    {
        for (int i = 0; i < count; ++i)
            bindRow(st, batch, row + size_t(i), 1 + i * m_columns);
        if (sqlite3_step(st) != SQLITE_DONE)
            m_file.fail(QStringLiteral("Το αντίγραφο δεν γράφτηκε (%1)").arg(m_table));
        sqlite3_reset(st);
    }

    DbConnection &m_file;
    QString m_table, m_head, m_row;
    int m_columns = 0, m_perStatement = 1;
    std::unique_ptr<DbStatement> m_many, m_one;
};

// Makes the new file part and writes into it what the reader sends, each
// table's indexes after its rows; throws unless every table came whole.
void writeFile(BatchQueue &queue, const QString &part, const QString &password, const QByteArray &key, const QByteArray &salt)
{
    DbConnection file;
    file.setOneThreadOnly();
    file.setBulkIo();
    file.setRawKey(key, salt);
    file.createFile(part, ConnectionInfo{});
    // A copy not yet verified is thrown away whole after a failure: it
    // needs no journal, and it is synced once at the end.
    file.executeNative(QStringLiteral("PRAGMA journal_mode=OFF"));
    file.executeNative(QStringLiteral("PRAGMA synchronous=OFF"));
    // Indexes are built by sorting: in memory, not in (encrypted) temporary files.
    file.executeNative(QStringLiteral("PRAGMA cache_size=-262144"));
    file.executeNative(QStringLiteral("PRAGMA temp_store=MEMORY"));

    // Each table's indexes are built after its rows, while the reader goes
    // on with the next table: an index built from sorted rows is quicker
    // than one grown row by row.
    DbTransaction fileUnit(file);
    for (const QString &stmt : Schema::fileTableStatements())
        file.executeNative(stmt);
    SchemaVersion::applyAll(file);
    QMap<QString, QStringList> indexesOf;
    QStringList made;
    {
        DbStatement st(file, QStringLiteral("SELECT name, tbl_name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"));
        while (st.step()) {
            made << st.columnValue(0).toString();
            indexesOf[st.columnValue(1).toString().toUpper()] << st.columnValue(2).toString();
        }
    }
    for (const QString &name : std::as_const(made))
        file.executeNative(QStringLiteral("DROP INDEX %1").arg(quoted(name)));
    auto buildIndexes = [&](const QString &table) {
        for (const QString &stmt : indexesOf.take(table.toUpper()))
            file.executeNative(stmt);
    };
    file.executeNative(QStringLiteral("INSERT INTO SECURITY (\"PASSWORD\") VALUES (?)"), {password});

    std::unique_ptr<TableWriter> writer;
    while (std::optional<Batch> batch = queue.pop()) {
        if (batch->first)
            writer = std::make_unique<TableWriter>(file, *batch);
        writer->write(*batch);
        if (batch->last) {
            writer.reset();
            buildIndexes(batch->table);
        }
    }
    if (!queue.whole())
        throw DbError(QStringLiteral("Η ανάγνωση του διακομιστή διακόπηκε."));
    for (const QString &table : indexesOf.keys())
        buildIndexes(table);
    fileUnit.commit();
    file.close();
}

// Writes the whole practice into the new file part, the server read here
// and the file written on a thread of its own; returns what the server held
// at that moment, and the key the part is keyed with (derived there too).
Measure fillFile(DbConnection &server, const QString &part, const QString &password, const QByteArray &salt, QByteArray &key)
{
    requireCurrentLayout(server, QStringLiteral("Η βάση του διακομιστή %1").arg(server.engine().where()));
    BatchQueue queue;
    auto written = std::async(std::launch::async, [&] {
        try {
            key = PracticeKey::derive(password, salt);
            writeFile(queue, part, password, key, salt);
        } catch (...) {
            queue.giveUp();
            throw;
        }
    });
    Measure held;
    try {
        held = readServer(server, queue);
    } catch (const WriterGaveUp &) {
        queue.finish(false);
        written.get();   // throws the writer's error
        throw DbError(QStringLiteral("Το αντίγραφο δεν γράφτηκε."));
    } catch (...) {
        queue.finish(false);
        written.wait();   // the reader's error is the one that counts
        throw;
    }
    queue.finish(true);
    written.get();
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
    QByteArray key;
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
        const Measure held = fillFile(server, part, password, salt, key);
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
