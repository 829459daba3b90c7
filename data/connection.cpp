#include "data/connection.h"
#include "data/appstate.h"
#include "data/jetsql.h"
#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <sqlite3.h>

ConnectionInfo ParseConnectionString(const QString &cs)
{
    ConnectionInfo info;
    const auto parts = cs.split(QLatin1Char(';'));
    for (const QString &part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = part.left(eq).trimmed();
        const QString value = part.mid(eq + 1).trimmed();
        if (key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0)
            info.dataSource = value;
        else if (key.compare(QLatin1String("Jet OLEDB:Database Password"), Qt::CaseInsensitive) == 0)
            info.password = value;
    }
    if (info.dataSource.isEmpty())
        throw DbError(QStringLiteral("The connection string names no database file (Data Source)."));
    return info;
}

DbConnection::DbConnection() = default;

DbConnection::~DbConnection() { close(); }

void DbConnection::setConnectionString(const QString &cs)
{
    if (isOpen())
        throw DbError(QStringLiteral("Operation is not allowed when the object is open."));
    m_connectionString = cs;
}

void DbConnection::prepare()
{
    close();
    setConnectionString(DbConnectionString);
    setCommandTimeout(0);
    setConnectionTimeout(0);
    open();
}

void DbConnection::open()
{
    if (isOpen())
        return;
    m_info = ParseConnectionString(m_connectionString);
    openResolved();
}

void DbConnection::openFile(const QString &path, const ConnectionInfo &credentials)
{
    if (isOpen())
        throw DbError(QStringLiteral("Operation is not allowed when the object is open."));
    m_info = credentials;
    m_info.dataSource = path;
    openResolved();
}

void DbConnection::openResolved()
{
    const QString path = m_info.dataSource;
    const QFileInfo fi(path);
    if (!fi.exists() || !fi.isFile())
        throw DbError(QStringLiteral("Could not find file '%1'").arg(path));

    sqlite3 *db = nullptr;
    const QByteArray native = path.toUtf8();
    int rc = sqlite3_open_v2(native.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db);
        throw DbError(QStringLiteral("The database file '%1' cannot be opened: %2").arg(path, msg));
    }
    const QByteArray key = m_info.password.toUtf8();
    sqlite3_key(db, key.constData(), int(key.size()));
    // Time-out 0 means wait without limit for another connection's lock.
    const int waitMs = m_commandTimeout <= 0 ? 0x7fffffff : m_commandTimeout * 1000;
    sqlite3_busy_timeout(db, waitMs);
    // The key is checked only when the first page is read.
    char *err = nullptr;
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        QString msg = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(err);
        sqlite3_close(db);
        if (rc == SQLITE_NOTADB)
            throw DbError(QStringLiteral("The file '%1' is not a Molarix database, or its password is wrong.").arg(path));
        throw DbError(QStringLiteral("The database file '%1' cannot be read: %2").arg(path, msg));
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
}

void DbConnection::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

sqlite3 *DbConnection::handle() const
{
    if (!m_db)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    return m_db;
}

void DbConnection::fail(const QString &what) const
{
    const QString msg = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("not open");
    throw DbError(QStringLiteral("%1: %2 (%3)").arg(what, msg, m_info.dataSource));
}

int DbConnection::execute(const QString &jetStatement)
{
    return executeNative(JetSql::translate(jetStatement));
}

int DbConnection::executeNative(const QString &sql, const QVariantList &params)
{
    DbStatement st(*this, sql);
    st.bindAll(params);
    while (st.step()) {
    }
    return sqlite3_changes(handle());
}

QVariant DbConnection::scalarNative(const QString &sql, const QVariantList &params)
{
    DbStatement st(*this, sql);
    st.bindAll(params);
    if (st.step() && st.columnCount() > 0)
        return st.columnValue(0);
    return QVariant();
}

DbStatement::DbStatement(DbConnection &conn, const QString &nativeSql) : m_conn(conn)
{
    const QByteArray text = nativeSql.toUtf8();
    const int rc = sqlite3_prepare_v2(conn.handle(), text.constData(), int(text.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        conn.fail(QStringLiteral("The statement was refused"));
    }
}

DbStatement::~DbStatement() { sqlite3_finalize(m_stmt); }

void DbStatement::bind(int i, const QVariant &v)
{
    int rc = SQLITE_OK;
    if (!v.isValid() || v.isNull()) {
        rc = sqlite3_bind_null(m_stmt, i);
    } else {
        switch (v.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(m_stmt, i, v.toBool() ? -1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::UShort:
        case QMetaType::Short:
        case QMetaType::Long:
            rc = sqlite3_bind_int64(m_stmt, i, v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, i, v.toDouble());
            break;
        case QMetaType::QDate: {
            const QByteArray t = v.toDate().toString(Qt::ISODate).toUtf8();
            rc = sqlite3_bind_text(m_stmt, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDateTime: {
            const QByteArray t = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
            rc = sqlite3_bind_text(m_stmt, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray t = v.toString().toUtf8();
            rc = sqlite3_bind_text(m_stmt, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK)
        m_conn.fail(QStringLiteral("A value could not be bound"));
}

void DbStatement::bindAll(const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
}

bool DbStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    m_conn.fail(QStringLiteral("The statement failed"));
}

void DbStatement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int DbStatement::columnCount() const { return sqlite3_column_count(m_stmt); }

QString DbStatement::columnName(int i) const { return QString::fromUtf8(sqlite3_column_name(m_stmt, i)); }

QVariant DbStatement::columnValue(int i) const
{
    switch (sqlite3_column_type(m_stmt, i)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_stmt, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, i));
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, i)),
                                   sqlite3_column_bytes(m_stmt, i)));
    default:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i)),
                                          sqlite3_column_bytes(m_stmt, i)));
    }
}

DbTransaction::DbTransaction(DbConnection &conn) : m_conn(conn)
{
    m_conn.executeNative(QStringLiteral("BEGIN IMMEDIATE"));
}

DbTransaction::~DbTransaction()
{
    if (!m_done) {
        try {
            m_conn.executeNative(QStringLiteral("ROLLBACK"));
        } catch (const std::exception &e) {
            // Nothing more can be done; SQLite rolls back on close anyway.
            qWarning("Rollback failed: %s", e.what());
        } catch (...) {
            qWarning("Rollback failed");
        }
    }
}

void DbTransaction::commit()
{
    m_conn.executeNative(QStringLiteral("COMMIT"));
    m_done = true;
}
