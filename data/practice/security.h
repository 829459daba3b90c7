#pragma once
#include "data/practice/practicefile.h"
#include "data/practice/users.h"
#include <QString>

class DataSet;
class DbConnection;

// The practice's password: reading it, signing in with it, changing it.
namespace Security {

// The stored password: the first column of the first row of SECURITY, which
// the data set opens, trimmed; empty when there is no row or no value.
QString storedPassword(DataSet &security);

// One try of the access check. The password must open the practice (the
// file's key, or the server's login) and, on a file, equal the stored password, read
// through the given connection and data set, which are closed again. On
// success the session is signed in (an old fixed-key file is first moved
// to the password: Access::Moved; a damaged file: Access::Damaged, signed in
// with its key alone); on a refusal nobody is. Throws DbError
// when the practice cannot be reached or read.
// A file practice with users takes the user's name with the password (see
// Users::signIn); how, when given, receives how the user came in.
PracticeFile::Unlocked signIn(DbConnection &conn, DataSet &security, const QString &password, const QString &user = {},
                              Users::Access *how = nullptr);

// Whether the password (or the recovery code) is the signed-in user's, on
// a file practice with users; the session is left as it is.
bool userPasswordHolds(const QString &practiceDir, const QString &password);

// Whether the server takes the password for the connection's login, tried
// on a connection of its own; the session is left as it is. Throws DbError
// when the server cannot be reached.
bool loginAccepts(const DbConnection &conn, const QString &password);

// Why a text cannot be the practice's password, as a Greek sentence; empty
// when it can. A password must come back from the file as it was typed:
// half of a surrogate pair or a NUL would key the file with a text nobody
// can type again.
QString passwordProblem(const QString &password);

struct Changed {
    QString backup;          // the verified copy made under the new password
    QString backupFailure;   // why there is none (the password changed all the same)
};

// Replaces the password on the open connection. On a file with users only
// the signed-in user's wrap of the key changes (Users::setPassword). On a
// file of one password SECURITY and the
// key change as one unit (PracticeFile::changePassword), the change is
// noted beside the backups and a verified copy is made under the new key
// at once (older copies open only with the old password); on a server only
// the login's password changes, sent as a verifier made here, and the
// session logs in again with the new one.
Changed changePassword(DbConnection &conn, const QString &newPassword);

}
