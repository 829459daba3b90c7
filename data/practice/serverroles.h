#pragma once
#include "data/practice/users.h"
#include <QList>
#include <QString>
#include <QStringList>

class DbConnection;

// A server practice's users are the server's logins, each a member of one
// group role per Molarix role, made for the practice's own database
// ("<database>_administrator", "_clinician", "_reception"), so that two
// practices on one server share none. The groups' table rights are the
// roles' rules, so the server itself refuses what a role may not read or
// change. The access log takes only inserts; the hash an entry chains to
// is readable by every group, the entries themselves by administrators.
//
// Names on the server are kept in lower case: the server's quoted names
// are folded so, and a user's name is found regardless of letter case.
namespace ServerRoles {

// The login a typed user name means.
QString loginName(const QString &typed);
// The group role of a role in the database.
QString groupName(const QString &database, Users::Role role);

// The statements that make the groups (when makeGroups) and give them
// their rights on the connection's tables, as an administrator of the
// server would run them on the practice's database.
QStringList setupStatements(DbConnection &conn, bool makeGroups = true);
// The practice login may create roles (CREATEROLE or superuser).
bool mayCreateRoles(DbConnection &conn);
// Makes the groups that are missing and (re)grants every table's rights,
// in one transaction. Throws DbError with setupText() when the login may
// not create roles and the groups are missing.
void setUp(DbConnection &conn);
// Grants the rights again (new tables of a newer layout) when the groups
// exist and the connection's login owns the practice's tables.
void regrant(DbConnection &conn);
// The Greek sentence for the server's administrator, with the statements.
QString setupText(DbConnection &conn);

// The role of the connection's login: its group's (the highest, when it is
// in several); Administrator for a login in none (the practice's own).
Users::Role roleOf(DbConnection &conn);

// The users: members of the three groups, in name order.
QList<Users::User> list(DbConnection &conn);
// Changes of the logins; each throws DbError with a Greek sentence when
// refused (an unknown or taken name, a login that may not create roles:
// then with the statements to run instead).
void add(DbConnection &conn, const Users::User &user, const QString &password);
void remove(DbConnection &conn, const QString &name);
void setPassword(DbConnection &conn, const QString &name, const QString &password);
void setRole(DbConnection &conn, const QString &name, Users::Role role);
void setEnabled(DbConnection &conn, const QString &name, bool enabled);

}
