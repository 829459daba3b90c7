#pragma once
#include <QString>
#include <QStringList>

class DbConnection;

namespace Schema {
// The 28 half-hour slot columns of RANTEBOU, "0800-0830" ... "2130-2200".
QStringList slotColumns();
// Names of the twelve tables.
QStringList tableNames();
// The password of the demo practice (and of the tests' practice files).
inline constexpr const char *FirstPassword = "molarix";

// Creates dir/data.mdb at the current layout (the twelve tables and those
// of every migration), keyed with the password, which is also stored in
// SECURITY (FirstPassword when none is given). Throws DbError when dir is
// missing, data.mdb already exists or the password is one the access check
// would not accept.
void createDatabase(const QString &dir, const QString &givenPassword = QString());
// The table and index statements of a practice file, in order.
QStringList fileTableStatements();
// Fills an empty database on a server (the connection's) with the
// practice's types, functions, tables, indexes and the SECURITY row, which
// holds no password there. Throws DbError when it already holds a practice.
void createOnServer(DbConnection &conn);
// What every login of the server may still do on the connection's database
// ("CONNECT", "TEMP"): nothing, once the administrator revoked it from PUBLIC.
QStringList publicDatabaseRights(DbConnection &conn);
// Copies the report files (*.RAV) from sourceDir into dir, when there are any.
int copyReportFiles(const QString &sourceDir, const QString &dir);
}
