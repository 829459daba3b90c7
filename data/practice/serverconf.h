#pragma once
#include "data/db/connectioninfo.h"
#include <QString>

// server.conf in a practice folder puts the practice on a PostgreSQL
// server: lines host=, port=, database=, user=, and for TLS sslmode=
// (require, verify-ca, verify-full; verify-full by default for a server
// on another computer) and sslrootcert= (the authority's certificate, a
// relative name in the folder); '#' starts a comment. It never holds a
// password: the access password is the server login's.
namespace ServerConf {
QString fileName(const QString &dir);   // dir/server.conf
bool exists(const QString &dir);
// The server named by dir/server.conf (password empty). Throws DbError,
// in Greek, for an unreadable file, an unknown or repeated key, a missing
// host, database or user, a bad port, or a password line.
ConnectionInfo read(const QString &dir);
// The connection string for that server.
QString connectionString(const ConnectionInfo &info);
}
