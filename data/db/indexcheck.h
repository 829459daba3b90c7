#pragma once
#include <QStringList>
#include <optional>

class DbConnection;

// What integrity_check adds to quick_check, done in walks instead of
// lookups: every row of every table has its record read, and every index
// holds exactly its table's rows (the same number of entries, the same
// key values and rowids, by a keyed 128-bit fingerprint of each side),
// in its own order (each entry after the one before by the index's
// collations, no two alike in a unique index). A walk of each index and
// one of each table cost far less than looking every row up in every
// index, which calls the Greek collation a dozen times a row.
namespace IndexCheck {

// The problems found, empty when every index agrees with its table; no
// value when the file holds an index this check does not read (partial,
// on expressions or the rowid, of a table without rowid, of another
// collation than BINARY or GREEK): integrity_check must check that file.
// Throws DbError when the file cannot be read.
std::optional<QStringList> run(DbConnection &conn);

}
