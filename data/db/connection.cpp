#include "data/db/connection.h"
#include "data/db/bulkvfs.h"
#include "data/db/credentials.h"
#include "data/db/jetsql.h"
#include "data/db/writegate.h"
#include "data/db/practicekey.h"
#include <QFile>
#include <mutex>
#include <set>
#include "data/db/pgengine.h"
#include "data/db/sqliteengine.h"
#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <cctype>
#include <cstring>
#include <sqlite3.h>

namespace {
int g_busyWaitMs = 5000;
void (*g_busyNotifier)() = nullptr;

// Waits in short steps up to the limit; the first step tells the windows.
int busyHandler(void *arg, int count)
{
    const int limitMs = *static_cast<const int *>(arg);
    if (count == 0 && g_busyNotifier)
        g_busyNotifier();
    constexpr int stepMs = 20;
    if (count * stepMs >= limitMs)
        return 0;
    sqlite3_sleep(stepMs);
    return 1;
}

// What stopped the engine when the statement itself was not at fault.
DbError::Cause causeOf(int rc, const QString &file)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbError::Cause::InUse;
    case SQLITE_FULL:
        return DbError::Cause::DiskFull;
    case SQLITE_READONLY:
        return DbError::Cause::ReadOnly;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR: {
        // The journal beside the file could not be made or written.
        const QFileInfo fi(file);
        if (fi.exists() && (!fi.isWritable() || !QFileInfo(fi.absolutePath()).isWritable()))
            return DbError::Cause::ReadOnly;
        return (rc & 0xff) == SQLITE_IOERR ? DbError::Cause::DiskFull : DbError::Cause::None;
    }
    default:
        return DbError::Cause::None;
    }
}

// A statement that changes rows or the schema. Settings and transaction
// control change no row themselves (the restore of a damaged file needs
// its exclusive lock), even where SQLite counts them as writing.
bool changesRows(sqlite3_stmt *stmt)
{
    if (sqlite3_stmt_readonly(stmt))
        return false;
    const char *sql = sqlite3_sql(stmt);
    while (sql && (*sql == ' ' || *sql == '\t' || *sql == '\n' || *sql == '\r'))
        ++sql;
    for (const char *word : {"PRAGMA", "BEGIN", "COMMIT", "END", "ROLLBACK", "SAVEPOINT", "RELEASE"}) {
        const size_t n = std::strlen(word);
        if (sql && qstrnicmp(sql, word, uint(n)) == 0 && !std::isalnum(static_cast<unsigned char>(sql[n])))
            return false;
    }
    return true;
}

// The engine's words for what stopped it; another program's lock is said
// in Greek, so that a message's first line reads whole.
QString engineWords(int rc, const QString &words)
{
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        return QStringLiteral("το αρχείο το κρατά κλειδωμένο άλλο πρόγραμμα");
    return words;
}

QString withCause(const QString &message, DbError::Cause cause)
{
    const QString line = DbConnection::causeText(cause);
    return line.isEmpty() ? message : message + QLatin1Char('\n') + line;
}
}

QString DbConnection::engineText(sqlite3 *db)
{
    return engineWords(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)));
}

int DbConnection::busyWaitMs() { return g_busyWaitMs; }
void DbConnection::setBusyWaitMs(int ms) { g_busyWaitMs = ms; }
void DbConnection::setBusyNotifier(void (*notify)()) { g_busyNotifier = notify; }
void DbConnection::notifyBusy()
{
    if (g_busyNotifier)
        g_busyNotifier();
}

DbConnection::DbConnection() = default;

DbConnection::~DbConnection()
{
    close();
    PracticeKey::wipe(m_rawKey);
    PracticeKey::wipe(m_rawSalt);
    PracticeKey::wipe(m_info.password);
}

void DbConnection::setConnectionString(const QString &cs)
{
    if (isOpen())
        throw DbError(QStringLiteral("Η ενέργεια δεν επιτρέπεται όσο η σύνδεση είναι ανοιχτή."));
    m_connectionString = cs;
}

void DbConnection::prepare()
{
    close();
    const Credentials *session = Credentials::installed();
    setConnectionString(session ? session->connectionString() : QString());
    setCommandTimeout(0);
    setConnectionTimeout(0);
    open();
}

namespace {
// Open connections, so that a change of the key reaches them all. Backups
// open theirs on a worker thread.
std::mutex g_openMutex;
std::set<DbConnection *> &openConnections()
{
    static std::set<DbConnection *> all;
    return all;
}
}

void DbConnection::setRawKey(const QByteArray &key, const QByteArray &salt)
{
    PracticeKey::wipe(m_rawKey);
    PracticeKey::wipe(m_rawSalt);
    m_rawKey = key;
    m_rawSalt = salt;
    m_rawKey.detach();
    m_rawSalt.detach();
}

void DbConnection::open() { openOrCreate(false); }

void DbConnection::create() { openOrCreate(true); }

void DbConnection::openOrCreate(bool create)
{
    if (isOpen())
        return;
    m_info = ParseConnectionString(m_connectionString);
    if (m_info.onServer()) {
        if (create)
            throw DbError(QStringLiteral("Ιατρείο σε διακομιστή δημιουργεί ο διαχειριστής του με το molarix-db create-server."));
        openServer();
    } else {
        openResolved(create);
    }
}

void DbConnection::openFile(const QString &path, const ConnectionInfo &credentials)
{
    if (isOpen())
        throw DbError(QStringLiteral("Η ενέργεια δεν επιτρέπεται όσο η σύνδεση είναι ανοιχτή."));
    m_info = credentials;
    m_info.dataSource = path;
    openResolved(false);
}

void DbConnection::createFile(const QString &path, const ConnectionInfo &credentials)
{
    if (isOpen())
        throw DbError(QStringLiteral("Η ενέργεια δεν επιτρέπεται όσο η σύνδεση είναι ανοιχτή."));
    m_info = credentials;
    m_info.dataSource = path;
    openResolved(true);
}

void DbConnection::openResolved(bool create)
{
    const QString path = m_info.dataSource;
    const QFileInfo fi(path);
    if (create) {
        // An empty file is one a caller made to receive a copy.
        if (fi.exists() && (!fi.isFile() || fi.size() > 0))
            throw DbError(QStringLiteral("Το '%1' υπάρχει ήδη· μένει όπως είναι.").arg(path));
    } else {
        if (!fi.exists() || !fi.isFile())
            throw DbError(QStringLiteral("Το αρχείο '%1' δεν βρέθηκε").arg(path));
        if (!PracticeKey::looksEncrypted(path))
            throw DbError(QStringLiteral("Το αρχείο '%1' δεν είναι βάση δεδομένων του Molarix.").arg(path));
    }

    sqlite3 *db = nullptr;
    const QByteArray native = path.toUtf8();
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | (m_oneThreadOnly ? SQLITE_OPEN_NOMUTEX : 0);
    int rc = sqlite3_open_v2(native.constData(), &db, flags, m_bulkIo ? BulkVfs::name() : nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db);
        throw DbError(QStringLiteral("Το αρχείο της βάσης '%1' δεν ανοίγει: %2").arg(path, msg));
    }
    bool keyed = false;
    m_sessionKeyed = false;
    if (!m_rawKey.isEmpty()) {
        keyed = PracticeKey::keyWithRaw(db, m_rawKey, create ? m_rawSalt : QByteArray()) == SQLITE_OK;
    } else if (!m_info.password.isEmpty()) {
        keyed = PracticeKey::keyWithPassword(db, m_info.password) == SQLITE_OK;
    } else if (const Credentials *session = Credentials::installed(); session && session->keyFile(db, create)) {
        keyed = m_sessionKeyed = true;
    } else {
        sqlite3_close(db);
        if (create)
            QFile::remove(path);
        throw DbError(QStringLiteral("Το αρχείο '%1' δεν ανοίγει πριν δοθεί ο κωδικός πρόσβασης.").arg(path));
    }
    if (!keyed) {
        sqlite3_close(db);
        throw DbError(QStringLiteral("Το αρχείο της βάσης '%1' δεν ανοίγει: δεν είναι κρυπτογραφημένο.").arg(path));
    }
    // Another program's lock is waited for a bounded time, then reported.
    m_busyLimitMs = m_commandTimeout <= 0 ? g_busyWaitMs : m_commandTimeout * 1000;
    sqlite3_busy_handler(db, busyHandler, &m_busyLimitMs);
    // The key is checked only when the first page is read.
    char *err = nullptr;
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        QString msg = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(err);
        sqlite3_close(db);
        if (rc == SQLITE_NOTADB)
            throw DbError(QStringLiteral("Ο κωδικός πρόσβασης δεν ανοίγει το αρχείο της βάσης '%1'.").arg(path),
                          DbError::Cause::WrongPassword);
        const DbError::Cause cause = causeOf(rc, path);
        throw DbError(withCause(QStringLiteral("Το αρχείο της βάσης '%1' δεν διαβάζεται: %2").arg(path, engineWords(rc, msg)), cause),
                      cause);
    }
    sqlite3_exec(db, "PRAGMA foreign_keys=OFF", nullptr, nullptr, nullptr);
    // A commit is sealed by a synced write to the journal (truncating it),
    // not by deleting the journal, whose removal the folder may not have
    // recorded yet when the power goes: a printed receipt stays stored.
    sqlite3_exec(db, "PRAGMA journal_mode=TRUNCATE", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    // Decrypted pages are costly to read again: a larger cache keeps long
    // lists (all customers in surname order) quick.
    sqlite3_exec(db, "PRAGMA cache_size=-16384", nullptr, nullptr, nullptr);
    try {
        SqlFunctions::registerAll(db);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    m_db = db;
    m_engine = std::make_unique<SqliteEngine>(*this, db);
    const std::lock_guard<std::mutex> lock(g_openMutex);
    openConnections().insert(this);
    static quint64 openings = 0;
    m_opening = ++openings;
}

void DbConnection::openServer()
{
    // The server's login password is the practice's access password: the
    // signed-in session lends it for this one attempt.
    ConnectionInfo info = m_info;
    if (const Credentials *session = Credentials::installed()) {
        info.user = session->loginUser(info);
        if (info.password.isEmpty())
            info.password = session->loginPassword(info);
    }
    m_busyLimitMs = m_commandTimeout <= 0 ? g_busyWaitMs : m_commandTimeout * 1000;
    try {
        m_engine = connectServer(info, m_connectionTimeout <= 0 ? 15 : m_connectionTimeout, m_busyLimitMs);
    } catch (...) {
        PracticeKey::wipe(info.password);
        throw;
    }
    PracticeKey::wipe(info.password);
}

void DbConnection::close()
{
    m_engine.reset();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        const std::lock_guard<std::mutex> lock(g_openMutex);
        openConnections().erase(this);
        m_opening = 0;
    }
}

bool DbConnection::stillOpen(const DbConnection *conn, quint64 opening)
{
    const std::lock_guard<std::mutex> lock(g_openMutex);
    return opening != 0 && openConnections().count(const_cast<DbConnection *>(conn)) != 0 && conn->m_opening == opening;
}

void DbConnection::reopenOthers(const DbConnection *changer)
{
    const QString file = changer ? changer->fileName() : QString();
    std::set<DbConnection *> all;
    {
        const std::lock_guard<std::mutex> lock(g_openMutex);
        all = openConnections();
    }
    for (DbConnection *c : all) {
        if (c == changer || !c->m_sessionKeyed || (!file.isEmpty() && c->fileName() != file))
            continue;
        c->close();
        c->open();
    }
}

DbEngine &DbConnection::engine() const
{
    if (!m_engine)
        throw DbError(QStringLiteral("Η ενέργεια δεν επιτρέπεται όσο η σύνδεση είναι κλειστή."));
    return *m_engine;
}

sqlite3 *DbConnection::handle() const
{
    engine();
    if (!m_db)
        throw DbError(QStringLiteral("Αυτό γίνεται μόνο σε αρχείο ιατρείου, όχι σε διακομιστή βάσης δεδομένων."));
    return m_db;
}

qint64 DbConnection::insertRow(const QString &sql, const QVariantList &params)
{
    return engine().insertRow(sql, params);
}

void DbConnection::fail(const QString &what) const
{
    const QString msg = m_db ? engineText(m_db) : QStringLiteral("η σύνδεση δεν είναι ανοιχτή");
    const DbError::Cause cause = m_db ? causeOf(sqlite3_extended_errcode(m_db), m_info.dataSource) : DbError::Cause::None;
    throw DbError(withCause(QStringLiteral("%1: %2 (%3)").arg(what, msg, m_info.dataSource), cause), cause);
}

int DbConnection::execute(const QString &jetStatement)
{
    return executeNative(JetSql::translate(jetStatement, dialect()));
}

int DbConnection::executeNative(const QString &sql, const QVariantList &params)
{
    DbStatement st(*this, sql);
    st.bindAll(params);
    while (st.step()) {
    }
    return int(changes());
}

QVariant DbConnection::scalarNative(const QString &sql, const QVariantList &params)
{
    DbStatement st(*this, sql);
    st.bindAll(params);
    if (st.step() && st.columnCount() > 0)
        return st.columnValue(0);
    return QVariant();
}

QVariant DbCursor::value(int i) const
{
    switch (kind(i)) {
    case CellKind::Null:
        return QVariant();
    case CellKind::Integer:
        return QVariant(qlonglong(integer(i)));
    case CellKind::Float:
        return QVariant(real(i));
    case CellKind::Blob:
        return QVariant(utf8(i).toByteArray());
    case CellKind::Text:
        break;
    }
    return QVariant(text(i));
}

// ---- the file engine ----------------------------------------------------------

BoundKind boundKind(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return BoundKind::Null;
    switch (v.typeId()) {
    case QMetaType::Bool:
        return BoundKind::Bool;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::Short:
    case QMetaType::Long:
        return BoundKind::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return BoundKind::Real;
    default:
        return BoundKind::Text;
    }
}

QByteArray boundText(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate).toUtf8();
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    default:
        return v.toString().toUtf8();
    }
}

QString SqliteEngine::where() const { return m_conn.fileName(); }

SqliteCursor::SqliteCursor(const DbConnection &conn, sqlite3 *db, const QString &nativeSql) : m_conn(conn)
{
    const QByteArray text = nativeSql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        conn.fail(QStringLiteral("Η εντολή δεν έγινε δεκτή"));
    }
}

SqliteCursor::~SqliteCursor() { sqlite3_finalize(m_stmt); }

void SqliteCursor::bind(int i, const QVariant &v)
{
    int rc = SQLITE_OK;
    switch (boundKind(v)) {
    case BoundKind::Null:
        rc = sqlite3_bind_null(m_stmt, i);
        break;
    case BoundKind::Bool:
        rc = sqlite3_bind_int(m_stmt, i, v.toBool() ? -1 : 0);
        break;
    case BoundKind::Integer:
        rc = sqlite3_bind_int64(m_stmt, i, v.toLongLong());
        break;
    case BoundKind::Real:
        rc = sqlite3_bind_double(m_stmt, i, v.toDouble());
        break;
    case BoundKind::Text: {
        const QByteArray t = boundText(v);
        rc = sqlite3_bind_text(m_stmt, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        break;
    }
    }
    if (rc != SQLITE_OK)
        m_conn.fail(QStringLiteral("Μια τιμή δεν δόθηκε στην εντολή"));
}

bool SqliteCursor::step()
{
    // A statement about to change the rows waits while the file's start-up
    // check runs, and is refused on a file found damaged.
    if (!sqlite3_stmt_busy(m_stmt) && changesRows(m_stmt))
        WriteGate::admit(m_conn.fileName(), g_busyNotifier);
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    m_conn.fail(QStringLiteral("Η εντολή απέτυχε"));
}

void SqliteCursor::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int SqliteCursor::columnCount() const { return sqlite3_column_count(m_stmt); }

QString SqliteCursor::columnName(int i) const { return QString::fromUtf8(sqlite3_column_name(m_stmt, i)); }

QByteArray SqliteCursor::declaredType(int i) const { return QByteArray(sqlite3_column_decltype(m_stmt, i)); }

QString SqliteCursor::originTable(int i) const { return QString::fromUtf8(sqlite3_column_table_name(m_stmt, i)); }

QString SqliteCursor::originColumn(int i) const { return QString::fromUtf8(sqlite3_column_origin_name(m_stmt, i)); }

QByteArray SqliteCursor::collation(int i) const
{
    const char *table = sqlite3_column_table_name(m_stmt, i);
    const char *column = sqlite3_column_origin_name(m_stmt, i);
    const char *collation = nullptr;
    if (!table || !column
        || sqlite3_table_column_metadata(sqlite3_db_handle(m_stmt), sqlite3_column_database_name(m_stmt, i), table,
                                         column, nullptr, &collation, nullptr, nullptr, nullptr)
            != SQLITE_OK)
        return QByteArray();
    return QByteArray(collation);
}

CellKind SqliteCursor::kind(int i) const
{
    switch (sqlite3_column_type(m_stmt, i)) {
    case SQLITE_INTEGER:
        return CellKind::Integer;
    case SQLITE_FLOAT:
        return CellKind::Float;
    case SQLITE_NULL:
        return CellKind::Null;
    case SQLITE_BLOB:
        return CellKind::Blob;
    default:
        return CellKind::Text;
    }
}

qint64 SqliteCursor::integer(int i) const { return sqlite3_column_int64(m_stmt, i); }

double SqliteCursor::real(int i) const { return sqlite3_column_double(m_stmt, i); }

QByteArrayView SqliteCursor::utf8(int i) const
{
    if (sqlite3_column_type(m_stmt, i) == SQLITE_BLOB)
        return QByteArrayView(static_cast<const char *>(sqlite3_column_blob(m_stmt, i)), sqlite3_column_bytes(m_stmt, i));
    const char *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
    return QByteArrayView(p, sqlite3_column_bytes(m_stmt, i));
}

QByteArrayView SqliteCursor::textCell(int i) const
{
    // The cell looked up once, for its text and its length: each column
    // call takes the connection's lock, and a statement is read on one
    // thread only.
    sqlite3_value *v = sqlite3_column_value(m_stmt, i);
    const char *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return p ? QByteArrayView(p, sqlite3_value_bytes(v)) : QByteArrayView();
}

std::unique_ptr<DbCursor> SqliteEngine::prepare(const QString &nativeSql)
{
    return std::make_unique<SqliteCursor>(m_conn, m_db, nativeSql);
}

qint64 SqliteEngine::changes() const { return sqlite3_changes(m_db); }

qint64 SqliteEngine::insertRow(const QString &nativeSql, const QVariantList &params)
{
    SqliteCursor st(m_conn, m_db, nativeSql);
    for (int i = 0; i < params.size(); ++i)
        st.bind(i + 1, params[i]);
    while (st.step()) {
    }
    return sqlite3_last_insert_rowid(m_db);
}

bool SqliteEngine::inTransaction() const { return !sqlite3_get_autocommit(m_db); }

void SqliteEngine::run(const char *sql)
{
    SqliteCursor st(m_conn, m_db, QString::fromLatin1(sql));
    while (st.step()) {
    }
}

// The file is taken for writing at once, so that a unit of work never
// fails half-way for a lock another program took meanwhile.
void SqliteEngine::begin() { run("BEGIN IMMEDIATE"); }
void SqliteEngine::commit() { run("COMMIT"); }
void SqliteEngine::rollback() { run("ROLLBACK"); }

// ---- statements and units of work ------------------------------------------------

DbStatement::DbStatement(DbConnection &conn, const QString &nativeSql) : m_cursor(conn.engine().prepare(nativeSql)) {}

DbStatement::~DbStatement() = default;

sqlite3_stmt *DbStatement::handle() const
{
    auto *c = dynamic_cast<SqliteCursor *>(m_cursor.get());
    if (!c)
        throw DbError(QStringLiteral("Αυτό γίνεται μόνο σε αρχείο ιατρείου, όχι σε διακομιστή βάσης δεδομένων."));
    return c->handle();
}

void DbStatement::bind(int i, const QVariant &v) { m_cursor->bind(i, v); }

void DbStatement::bindAll(const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
}

bool DbStatement::step() { return m_cursor->step(); }

void DbStatement::reset() { m_cursor->reset(); }

int DbStatement::columnCount() const { return m_cursor->columnCount(); }

QString DbStatement::columnName(int i) const { return m_cursor->columnName(i); }

QVariant DbStatement::columnValue(int i) const { return m_cursor->value(i); }

DbTransaction::DbTransaction(DbConnection &conn) : m_conn(conn)
{
    m_conn.engine().begin();
}

DbTransaction::~DbTransaction()
{
    if (!m_done) {
        try {
            m_conn.engine().rollback();
        } catch (const std::exception &e) {
            // Nothing more can be done; the engine rolls back on close anyway.
            qWarning("Rollback failed: %s", e.what());
        } catch (...) {
            qWarning("Rollback failed");
        }
    }
}

void DbTransaction::commit()
{
    m_conn.engine().commit();
    m_done = true;
}
