#pragma once
#include <QString>

// A throw-away PostgreSQL cluster for the tests of the server engine:
// made with initdb in a temporary folder on first use, listening on a
// Unix socket in that folder and a free port on 127.0.0.1, stopped and
// removed when the test program ends. Run as the unprivileged postgres
// user when the tests run as root (the server refuses root).
namespace TestServer {

// initdb and pg_ctl are installed (on PATH or in /usr/lib/postgresql/*/bin).
bool binariesPresent();
// The socket folder and port; starts the cluster when first asked.
// Throws std::runtime_error when it cannot be started.
QString host();
int port();
// The practice's login and its password (the practice password).
QString loginUser();
QString loginPassword();
// A fresh database owned by the login, filled with the practice's tables
// by the same code as `molarix-db create-server`.
QString newPracticeDatabase();
// An empty database owned by the login.
QString newEmptyDatabase();
// server.conf text for a database of this cluster.
QString serverConf(const QString &database);
// Everything the cluster has logged so far.
QString serverLog();
// Runs one statement as the cluster's superuser on a database.
void superExec(const QString &database, const QString &sql);
// Stops the cluster (pg_ctl stop -m fast: every session ended) and starts
// it again on the same port; throws std::runtime_error when it cannot.
void stop();
void start();
// Restarts the cluster with TLS on, with this certificate and key.
void enableTls(const QString &certificate, const QString &key);

// The engine the practice tests run on: MOLARIX_TEST_ENGINE=postgres
// puts TempPractice on this cluster.
bool practicesOnServer();

}

#define MOLARIX_REQUIRE_SERVER()                                                         \
    do {                                                                                 \
        if (!TestServer::binariesPresent())                                              \
            QSKIP("The PostgreSQL server programs (initdb, pg_ctl) are not installed."); \
    } while (false)
