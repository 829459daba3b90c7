#pragma once
#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>

// The two database engines behind DbConnection: the encrypted file
// (SQLCipher) and a PostgreSQL server (libpq). Everything above the
// connection (data sets, windows) sees only these types.

enum class Dialect { Sqlite,
                     Postgres };

// How a result cell is stored, as the data sets read it.
enum class CellKind { Null,
                      Integer,
                      Float,
                      Text,
                      Blob };

// A prepared statement with its current result row.
class DbCursor {
public:
    virtual ~DbCursor() = default;
    virtual void bind(int index1, const QVariant &value) = 0;   // 1-based
    virtual bool step() = 0;                                    // true: a row is ready
    virtual void reset() = 0;                                   // bindings cleared too
    virtual int columnCount() const = 0;
    virtual QString columnName(int i) const = 0;
    // The column's declared type in the file's words (DATE, BOOLEAN, MEMO,
    // INTEGER, DOUBLE, TEXT), empty for an expression.
    virtual QByteArray declaredType(int i) const = 0;
    // The table and column a result column comes from, empty for an expression.
    virtual QString originTable(int i) const = 0;
    virtual QString originColumn(int i) const = 0;
    // The collation the column a result column comes from is declared
    // with ("GREEK"); empty for an expression or where the engine orders
    // by its own rules.
    virtual QByteArray collation(int i) const = 0;

    virtual CellKind kind(int i) const = 0;
    virtual qint64 integer(int i) const = 0;
    virtual double real(int i) const = 0;
    // UTF-8 bytes of a text cell, valid until the next step.
    virtual QByteArrayView utf8(int i) const = 0;
    // Any cell read as text in one call: numbers as the engine writes
    // them, NULL as a null view (an empty text is empty, not null).
    virtual QByteArrayView textCell(int i) const = 0;
    QString text(int i) const { return QString::fromUtf8(utf8(i)); }
    // NULL -> invalid QVariant; integers as qlonglong, reals as double.
    QVariant value(int i) const;
};

// One open session with an engine.
class DbEngine {
public:
    virtual ~DbEngine() = default;
    virtual Dialect dialect() const = 0;
    virtual std::unique_ptr<DbCursor> prepare(const QString &nativeSql) = 0;
    // Rows changed by the last statement.
    virtual qint64 changes() const = 0;
    // Runs an INSERT and gives the new row's rowid.
    virtual qint64 insertRow(const QString &nativeSql, const QVariantList &params) = 0;
    virtual bool inTransaction() const = 0;
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // Locks the row(s) a SELECT reads until the unit of work ends, where
    // the engine can (the file engine holds the whole file already).
    virtual QString forUpdate(const QString &nativeSelect) const = 0;
    // Where the data lives, for messages: a file, or host:port/database.
    virtual QString where() const = 0;
};

// The stored text of a bound value that is not a number: dates as ISO
// text ("YYYY-MM-DD", a time after a blank), as both engines keep them.
QByteArray boundText(const QVariant &v);

// How both engines store a bound value: booleans as -1/0, whole numbers as
// 64-bit integers, other numbers as doubles, everything else as text.
enum class BoundKind { Null,
                       Bool,
                       Integer,
                       Real,
                       Text };
BoundKind boundKind(const QVariant &v);
