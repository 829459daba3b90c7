#pragma once
#include "data/db/engine.h"
#include <QString>

struct sqlite3;

// Translates statements written in the Jet dialect (#m/d/yyyy# dates,
// Format(...), [NAME], TRUE/FALSE, "..." strings) into SQLite text.
// Works on tokens, so string literals are never rewritten.
// For the server the same statements become PostgreSQL text: the
// functions take their server names (jetformat, jet_day ...) and LIKE
// compares the folded forms of both sides (molarix_fold), as the file does.
namespace JetSql {
QString translate(const QString &jet, Dialect dialect = Dialect::Sqlite);

// For a SELECT drawn from one table (no join, grouping or aggregate):
// the translated text with the row's rowid added as first result column
// "__rowid", and the table's name in *baseTable. Otherwise the plain
// translation and an empty *baseTable (the result is read-only).
QString translateForEdit(const QString &jet, QString *baseTable, Dialect dialect = Dialect::Sqlite);

// As translateForEdit; when the statement is editable and ends in an ORDER
// BY of plain column names, the clause is left out of the text and given
// in *order as a data set's sort ("EPWNYMO ASC, ONOMA DESC"), so that the
// rows can be read in the table's order and ordered in memory.
QString translateForEdit(const QString &jet, QString *baseTable, QString *order, Dialect dialect);
}

// The SQL functions and the collation registered on every connection:
// DAY, MONTH, YEAR, JETFORMAT (the two Format forms), LIKE ignoring case
// and Greek accents, collation GREEK.
namespace SqlFunctions {
void registerAll(sqlite3 *db);
// Greek dictionary order, shared by SQL ORDER BY and the data sets' sort.
int compareText(const QString &a, const QString &b);
// The same order for UTF-8 texts, as the GREEK collation compares them.
int compareUtf8(const char *a, int lengthA, const char *b, int lengthB);
// Case- and accent-folded form used by LIKE.
QString foldForLike(const QString &s);
}
