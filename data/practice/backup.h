#pragma once
#include "data/db/connection.h"
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// Copies of the practice file: made through SQLite's online backup while the
// program runs, counted as made only once opened on their own and checked.
namespace Backup {

using TableCounts = QMap<QString, qint64>;

// The folder of automatic copies beside data.mdb, and their names:
// data-YYYY-MM-DD-HHMMSS.mdb.
QString folder(const QString &practiceDir);
QString automaticName(const QDateTime &when);
// The time in an automatic copy's name; invalid for any other name.
QDateTime timeOfName(const QString &fileName);

// Rows of every table the file holds (the twelve of the program and any
// other, such as an imported file's duplicate receipts), by name.
TableCounts countRows(DbConnection &conn);

// Opens a file on its own with the given credentials and checks it:
// every page sound (quick_check), every index holding exactly its table's
// rows in its order (IndexCheck, or integrity_check where that cannot read
// an index) and every table it holds readable.
// Returns the row counts; throws DbError with the reason. alsoRead, when
// given, reads more from the checked file on the same connection (its
// pages are in memory by then).
TableCounts verifyFile(const QString &path, const ConnectionInfo &credentials,
                       const std::function<void(DbConnection &checked)> &alsoRead = {});
// The same for a file keyed with a raw key (the password's key derived
// once by whoever wrote the file).
TableCounts verifyFile(const QString &path, const QByteArray &rawKey,
                       const std::function<void(DbConnection &checked)> &alsoRead = {});

// Copies the open practice into dest (which must not exist), keyed as the
// source, then verifies the copy against the source's row counts at the
// moment of the copy, which it returns. A copy that fails is removed and
// DbError thrown.
TableCounts makeVerified(DbConnection &source, const QString &dest);

// Called with the path of each copy makeVerified has just written, before
// it is verified: lets a test damage the copy at that moment. Empty: none.
void setBeforeVerifyHook(std::function<void(const QString &path)> hook);

// An automatic copy into folder(practiceDir), then the rotation. Returns
// the file written.
QString makeAutomatic(DbConnection &source, const QString &practiceDir, TableCounts *counts = nullptr);

// Keeps the newest copy of each of the last 7 days, 5 weeks and 12 months
// among the automatic copies in dir; copies named otherwise are never
// touched. Returns the files removed.
QStringList rotate(const QString &dir);

// Removes from dir what copies cut short left behind (a program that ended
// while writing one). A copy still being written, by this program or by
// another one, is left alone. Returns the files removed.
QStringList removeLeftovers(const QString &dir);

// The newest automatic copy in folder(practiceDir), or "".
QString newest(const QString &practiceDir);
// The newest automatic copy that passes verifyFile with the credentials, or
// "". otherPassword, when given, receives the newest copy newer than that
// one which another password opens, or "".
QString newestVerified(const QString &practiceDir, const ConnectionInfo &credentials, QString *otherPassword = nullptr);

// When a copy was made: the time in an automatic copy's name, else when
// the file was last written.
QDateTime madeAt(const QString &path);

// The practice's key changes (a new password, a copy of another password
// restored) are noted beside the copies, so that a copy the password in
// force does not open can be told apart from a damaged one. Noting is best
// effort: false when the note could not be written.
bool noteKeyChange(const QString &practiceDir, const QDateTime &when);
QList<QDateTime> keyChanges(const QString &practiceDir);

// Which password opens a copy the given one did not open, in a Greek
// sentence: the one in force when the copy was made, and, when the
// password changed after that, when it changed.
QString passwordHint(const QString &practiceDir, const QString &copy);

// True when the day's automatic copy is still to be made: none was made
// today, or none since the key last changed (older copies of the day open
// only with the old password).
bool dueToday(const QString &practiceDir, const QDateTime &now);

// Puts a verified backup in place of the practice file named by
// credentials.dataSource. The current file is kept beside it as
// data.mdb.before-restore-<stamp> (returned). The practice file is held
// exclusively throughout, whatever key it has: when the credentials (those
// of the backup) do not open it, the backup's key becomes the practice's
// and the change is noted. Refuses with DbError, nothing changed, when the
// backup fails verification or another connection is using the practice
// file.
QString restore(const ConnectionInfo &credentials, const QString &backupPath);

}
