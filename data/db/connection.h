#pragma once
#include "data/db/connectioninfo.h"
#include "data/db/dberror.h"
#include "data/db/engine.h"
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// A window's own connection (ADOConnection1). Opening never creates the
// file; every failure is a DbError naming the file.
class DbConnection {
public:
    DbConnection();
    ~DbConnection();
    DbConnection(const DbConnection &) = delete;
    DbConnection &operator=(const DbConnection &) = delete;

    void setConnectionString(const QString &cs);
    QString connectionString() const { return m_connectionString; }
    // Seconds to wait while another program holds the file; 0 means the
    // program's bounded wait (busyWaitMs), never a wait without limit.
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }
    void setConnectionTimeout(int seconds) { m_connectionTimeout = seconds; }
    // For a connection that only the thread making it ever uses (a copy
    // being written or checked): the file engine then skips its
    // per-call lock, which is a fifth of a whole-file scan's time.
    void setOneThreadOnly() { m_oneThreadOnly = true; }
    // For a connection that writes or reads its file whole (a copy): pages
    // go to and from the disk 64 KiB at a time (BulkVfs).
    void setBulkIo() { m_bulkIo = true; }

    // Opens with, in this order: the raw key given by setRawKey, the
    // password of the connection string, the signed-in session's key or
    // login (see Credentials).
    void open();
    // Opens another file (a backup copy) with this connection's credentials,
    // so a copy is keyed exactly as the practice file it came from.
    void openFile(const QString &path, const ConnectionInfo &credentials);
    const ConnectionInfo &credentials() const { return m_info; }
    // Makes a file (missing, or left empty by the caller) to receive a copy
    // of the practice, keyed exactly as the practice file, salt and all:
    // the practice's password opens the copy.
    void createFile(const QString &path, const ConnectionInfo &credentials);
    // Makes the file, which must not exist yet, keyed as open() keys it.
    void create();
    void close();
    // A raw key (and, for a file still to be made, its salt) to open with.
    void setRawKey(const QByteArray &key, const QByteArray &salt = {});
    bool isOpen() const { return m_engine != nullptr; }
    bool onServer() const { return m_info.onServer(); }

    // The windows' own-connection convention: close, take the session's
    // connection string (DbConnectionString), both time-outs 0, open.
    void prepare();

    // Runs one statement of the program's (Jet) dialect that returns no rows.
    // Returns the number of rows changed.
    int execute(const QString &jetStatement);
    // Runs native SQLite text with bound parameters (already translated).
    int executeNative(const QString &sql, const QVariantList &params = {});
    // First column of the first row of a native query, or an invalid QVariant.
    QVariant scalarNative(const QString &sql, const QVariantList &params = {});

    QString fileName() const { return m_info.dataSource; }
    // The file engine's handle, for what only a file has (online backup,
    // bulk import); throws when closed or on a server.
    sqlite3 *handle() const;
    DbEngine &engine() const;   // throws when closed
    Dialect dialect() const { return m_info.onServer() ? Dialect::Postgres : Dialect::Sqlite; }
    // Rows changed by the last statement; whether a unit of work is open.
    qint64 changes() const { return engine().changes(); }
    bool inTransaction() const { return engine().inTransaction(); }
    // Runs a native INSERT with bound parameters and gives the new rowid.
    qint64 insertRow(const QString &nativeSql, const QVariantList &params = {});

    // Throws DbError with SQLite's message for rc != OK, naming the file,
    // and, on a second line in Greek, what stopped it when that lay outside
    // the statement (file in use, disk full, no writing allowed).
    [[noreturn]] void fail(const QString &what) const;

    // The bounded wait for a file another program holds, in milliseconds.
    static int busyWaitMs();
    static void setBusyWaitMs(int ms);   // tests shorten it
    // Called once when a statement starts waiting for the file; the windows
    // show the busy cursor meanwhile.
    static void setBusyNotifier(void (*notify)());
    // The engine's words for the handle's last failure; another program's
    // lock is said in Greek.
    static QString engineText(sqlite3 *db);
    // Tells the windows a statement is waiting (the server engine calls it).
    static void notifyBusy();
    // The Greek line for a cause, empty for Cause::None.
    static QString causeText(DbError::Cause cause) { return DbCauseText(cause); }
    // After the file's key changed: every other open connection on it that
    // used the session key closes and opens again with the new one.
    static void reopenOthers(const DbConnection *changer);
    // Which opening of a file this is (0 when closed, or on a server): a
    // caller that kept a pointer finds with stillOpen() whether it still
    // points at the same open connection.
    quint64 opening() const { return m_opening; }
    static bool stillOpen(const DbConnection *conn, quint64 opening);

private:
    void openOrCreate(bool create);
    void openResolved(bool create);
    void openServer();

    QString m_connectionString;
    ConnectionInfo m_info;
    QByteArray m_rawKey, m_rawSalt;
    bool m_sessionKeyed = false;
    bool m_oneThreadOnly = false;
    bool m_bulkIo = false;
    int m_commandTimeout = 30;
    int m_connectionTimeout = 15;
    sqlite3 *m_db = nullptr;   // the file engine's handle, else null
    std::unique_ptr<DbEngine> m_engine;
    int m_busyLimitMs = 0;   // read by the busy handler
    quint64 m_opening = 0;
};

// A prepared native statement; finalised on destruction.
class DbStatement {
public:
    DbStatement(DbConnection &conn, const QString &nativeSql);
    ~DbStatement();
    DbStatement(const DbStatement &) = delete;
    DbStatement &operator=(const DbStatement &) = delete;

    void bind(int index1, const QVariant &value);   // 1-based
    void bindAll(const QVariantList &values);
    bool step();   // true: a row is ready
    void reset();
    int columnCount() const;
    QString columnName(int i) const;
    QVariant columnValue(int i) const;   // NULL -> invalid QVariant
    DbCursor &cursor() const { return *m_cursor; }
    // The file engine's statement; throws on a server.
    sqlite3_stmt *handle() const;

private:
    std::unique_ptr<DbCursor> m_cursor;
};

// One unit of work: BEGIN (IMMEDIATE on the file) on construction, COMMIT
// on commit(), ROLLBACK when it leaves scope uncommitted.
class DbTransaction {
public:
    explicit DbTransaction(DbConnection &conn);
    ~DbTransaction();
    void commit();

private:
    DbConnection &m_conn;
    bool m_done = false;
};
