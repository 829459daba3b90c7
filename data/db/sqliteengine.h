#pragma once
#include "data/db/engine.h"

struct sqlite3;
struct sqlite3_stmt;
class DbConnection;

// The encrypted file: SQLCipher's C API. The connection opens and keys the
// file; this engine runs the statements on it.
class SqliteCursor : public DbCursor {
public:
    SqliteCursor(const DbConnection &conn, sqlite3 *db, const QString &nativeSql);
    ~SqliteCursor() override;
    SqliteCursor(const SqliteCursor &) = delete;
    SqliteCursor &operator=(const SqliteCursor &) = delete;

    void bind(int index1, const QVariant &value) override;
    bool step() override;
    void reset() override;
    int columnCount() const override;
    QString columnName(int i) const override;
    QByteArray declaredType(int i) const override;
    QString originTable(int i) const override;
    QString originColumn(int i) const override;
    QByteArray collation(int i) const override;
    CellKind kind(int i) const override;
    qint64 integer(int i) const override;
    double real(int i) const override;
    QByteArrayView utf8(int i) const override;
    QByteArrayView textCell(int i) const override;
    sqlite3_stmt *handle() const { return m_stmt; }

private:
    const DbConnection &m_conn;
    sqlite3_stmt *m_stmt = nullptr;
};

class SqliteEngine : public DbEngine {
public:
    SqliteEngine(const DbConnection &conn, sqlite3 *db) : m_conn(conn), m_db(db) {}
    Dialect dialect() const override { return Dialect::Sqlite; }
    std::unique_ptr<DbCursor> prepare(const QString &nativeSql) override;
    qint64 changes() const override;
    qint64 insertRow(const QString &nativeSql, const QVariantList &params) override;
    bool inTransaction() const override;
    void begin() override;
    void commit() override;
    void rollback() override;
    QString forUpdate(const QString &nativeSelect) const override { return nativeSelect; }
    QString where() const override;

private:
    void run(const char *sql);
    const DbConnection &m_conn;
    sqlite3 *m_db;
};
