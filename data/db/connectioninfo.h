#pragma once
#include "data/db/dberror.h"
#include <QString>

// The parts of a connection string the program uses.
struct ConnectionInfo {
    QString dataSource;   // full path of data.mdb
    QString password;     // "Jet OLEDB:Database Password": the practice password, or
                          // empty for the key the access check derived
    // A practice on a PostgreSQL server: host is set (Server=, Port=,
    // Database=, User ID= in the connection string).
    QString host;
    int port = 5432;
    QString database;
    QString user;
    // TLS to the server (SSL Mode=, SSL Root Cert=): require, verify-ca or
    // verify-full, and the authority's certificate; empty for libpq's own.
    QString sslMode;
    QString sslRootCert;
    bool onServer() const { return !host.isEmpty(); }
    // A Unix socket or this computer's own address: nothing crosses a network.
    bool serverIsLocal() const;
};
// Throws DbError when the text names neither a file (Data Source) nor a server.
ConnectionInfo ParseConnectionString(const QString &connectionString);
// A value in double quotes, its own double quotes doubled: any folder
// name survives the ';' and '=' of the connection string.
QString QuoteConnectionValue(const QString &value);

// The Greek line for what stopped a write outside the statement, empty for
// Cause::None.
QString DbCauseText(DbError::Cause cause);
