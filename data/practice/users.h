#pragma once
#include "data/practice/practicefile.h"
#include <QList>
#include <QString>

class DbConnection;
struct ConnectionInfo;

// The practice's named users: a name, a role, a password, enabled or not.
// On a file practice each password unwraps the file's random key (see
// keyring.h); the table XRHSTES lists them for the program's statements.
// A practice of one shared password becomes one of users once, through
// migrate(). On a server, users are the server's logins.
namespace Users {

enum class Role { None,
                  Administrator,
                  Clinician,
                  Reception };
// "administrator", "clinician", "reception"; Role::None for anything else.
QString roleName(Role role);
Role roleFromName(const QString &name);
// The role as the windows show it, in Greek.
QString roleText(Role role);

inline constexpr int MinPasswordLength = 8;
// Why a text cannot be a new password (Greek sentence), empty when it can.
QString passwordProblem(const QString &password);
// Why a text cannot be a user's name, empty when it can.
QString nameProblem(const QString &name);

struct User {
    QString name;
    Role role = Role::None;
    bool enabled = true;
};

// True when the practice folder's file has named users (keys.dat beside it).
bool haveUsers(const QString &practiceDir);

enum class Access {
    Refused,       // no such enabled user, or the password does not unwrap the key
    Granted,       // signed in as the user, with the user's role
    ByRecovery,    // an administrator signed in with the recovery code
    OnePassword,   // a practice of one shared password, which the password opens:
                   // the session holds its key, with no user yet (migrate next)
};
struct SignedIn {
    Access access = Access::Refused;
    PracticeFile::Unlocked file;   // OnePassword: how the one password opened the file
};

// Signs in on the practice file of the folder. With users, the name's
// password (or, for an administrator, the recovery code) must unwrap the
// file key, which must open the file; the session then holds the key, the
// name and the role. Without users the password is tried as the one shared
// password. A change of users cut short is finished here. Throws DbError
// when the file is missing, damaged or in use.
SignedIn signIn(const QString &practiceDir, const QString &name, const QString &password);
// The same on a backup copy, with the ring beside it (its moment's users);
// the copy is only read. A copy without one has the one shared password.
SignedIn signInCopy(const QString &copy, const QString &name, const QString &password);

// Moves a practice of one shared password, signed in through OnePassword
// on conn, to named users: a verified backup first (and the newest layout
// after it), then the file is
// encrypted with a random key that the password (for the administrator
// named) and a new recovery code unwrap. The old password keeps working
// for that administrator; older backups open with it as before. Returns
// the recovery code, which is shown once and never kept. backup receives
// the verified copy's path.
QString migrate(DbConnection &conn, const QString &administrator, const QString &password, QString *backup = nullptr);

// The users, in the table's order of names.
QList<User> list(DbConnection &conn);
// Changes of users, by the signed-in session (which holds the file key).
// Each rewrites keys.dat and its copy, never the file's key. Throws
// DbError with a Greek sentence when refused (an unknown or duplicate name,
// a short password, no enabled administrator left). On a server the users
// are logins in the practice's group roles (see serverroles.h).
void add(DbConnection &conn, const User &user, const QString &password);
void remove(DbConnection &conn, const QString &name);
void setPassword(DbConnection &conn, const QString &name, const QString &password);
void setRole(DbConnection &conn, const QString &name, Role role);
void setEnabled(DbConnection &conn, const QString &name, bool enabled);

// On a server, users are its logins: the sentence saying so, with the SQL
// an administrator of the server runs when the practice's login may not.
QString serverText(const ConnectionInfo &server);

}
