#pragma once
#include "data/db/engine.h"
#include <QByteArrayView>
#include <QStringList>
#include <functional>

class DbConnection;

// A whole table read from a PostgreSQL server as one stream (binary COPY):
// no batches to ask for, no text to parse for numbers, the server sending
// while the rows are used.
namespace ServerCopy {

// One cell as the file stores it: Integer in integer, Float in real, Text
// in bytes (UTF-8, valid during the call that hands it over).
struct Cell {
    CellKind kind = CellKind::Null;
    qint64 integer = 0;
    double real = 0;
    QByteArrayView bytes;
};

// Reads the table's rows in the order they were made (rowid), the rowid
// itself left out. columns receives the names (upper case) before the
// first row, row each row's cells in that order. Columns of other types
// than whole numbers, floating point and text come as text. Returns the
// rows the server counted in the table. Throws DbError, and what the
// handlers throw.
qint64 readTable(DbConnection &server, const QString &table, const std::function<void(const QStringList &names)> &columns,
                 const std::function<void(const Cell *cells, int count)> &row);

}
