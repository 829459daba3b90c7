#pragma once
#include "data/practice/backup.h"
#include <QString>
#include <functional>

class DbConnection;

// Copies of a practice on a PostgreSQL server, kept as encrypted practice
// files with the names, verification and rotation of a file practice's
// copies, and the way back from such a copy into the server.
namespace ServerBackup {

// Writes the practice the server connection is on into dest (which must
// not exist): a practice file keyed with the password (the login's), read
// from the server in one snapshot. The copy counts only once it opens on
// its own and passes the backup's check with the snapshot's rows in every table
// and amounts; those counts are returned. A copy that fails is removed,
// with the folder made for it, and DbError thrown.
Backup::TableCounts makeVerified(DbConnection &server, const QString &dest, const QString &password);

// A copy into Backup::folder(practiceDir) named as the automatic copies,
// then their rotation. Returns the file written.
QString makeAutomatic(DbConnection &server, const QString &practiceDir, const QString &password,
                      Backup::TableCounts *counts = nullptr);

// Puts the rows of a copy (a practice file the password opens) in place of
// the server's, receipt counter and numbering included, in one
// transaction that commits only when every table has the copy's rows and
// amounts. A database without the practice's tables gets them first, as
// create-server makes them. When the server holds rows, replace is asked
// first (none given: they are replaced); a refusal, a copy that does not
// verify or any failure throws DbError with the server as it was.
Backup::TableCounts restore(DbConnection &server, const QString &copy, const QString &password,
                            const std::function<bool()> &replace = {});

}
