#pragma once
#include <QString>
#include <QStringList>

class DbConnection;

namespace Schema {
// The 28 half-hour slot columns of RANTEBOU, "0800-0830" ... "2130-2200".
QStringList slotColumns();
// Names of the twelve tables.
QStringList tableNames();
// The first password stored in a new database.
inline constexpr const char *FirstPassword = "molarix";

// Creates dir/data.mdb (encrypted) at the current layout (the twelve tables
// and those of every migration) with the first password (FirstPassword when
// none is given). Throws DbError when dir is missing or data.mdb already
// exists.
void createDatabase(const QString &dir, const QString &password = QString());
// Copies the report files (*.RAV) from sourceDir into dir, when there are any.
int copyReportFiles(const QString &sourceDir, const QString &dir);
}
