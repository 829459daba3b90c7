#pragma once
#include "data/db/engine.h"
#include <functional>
#include <memory>

struct ConnectionInfo;

// A practice on a PostgreSQL server, through libpq. The statements arrive
// in the same native text as for the file ('?' parameters, "NAME" quoted
// names); the engine numbers the parameters and folds quoted names to the
// server's lower case. Opening throws DbError: a wrong password with the
// program's wrong-password text, an unreachable server naming host and port.
std::unique_ptr<DbEngine> connectServer(const ConnectionInfo &info, int timeoutSeconds, int lockWaitMs);
// The password a server connection logged in with, as libpq keeps it for
// the connection's life (a broken connection too); empty for the file.
QString loginPassword(const DbEngine &engine);
// Runs a COPY ... TO STDOUT (native text) on a server connection and hands
// each message of data to take as it arrives (one row each; a binary copy's
// header comes before the first row, its trailer alone). A failure of take
// is thrown once the server has finished sending. Returns the rows the
// server counted. Throws DbError on the file.
qint64 copyOut(DbEngine &engine, const QString &nativeSql, const std::function<void(QByteArrayView)> &take);
// The SCRAM verifier of a password for the connection's login, made here on
// the client so that the password itself never reaches the server or its
// log. Throws DbError on the file or when libpq cannot make one.
QString passwordVerifier(DbEngine &engine, const QString &user, const QString &password);

namespace PgText {
// The native text as the server takes it: $1, $2 ... for '?', quoted names
// in lower case; string literals untouched.
QString fromNative(const QString &native, int *parameterCount = nullptr);
// A name or text quoted for a statement that cannot take parameters
// (CREATE ROLE, ALTER ROLE ... PASSWORD).
QString literal(const QString &text);
QString identifier(const QString &name);
}
