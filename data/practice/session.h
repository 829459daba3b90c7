#pragma once
#include "data/db/connectioninfo.h"
#include "data/db/credentials.h"
#include "data/db/practicekey.h"
#include "data/practice/users.h"
#include <QByteArray>
#include <QString>
#include <array>
#include <memory>
#include <mutex>

class DbConnection;

// The practice folder (current directory at start, no trailing separator)
// and its connection string, built once at start-up. Neither holds a secret.
extern QString AppDirectory;
extern QString DbConnectionString;

// Who works with the practice this run, and with what: the folder and its
// connection string, the engine, the file's raw key or the server login, and
// the user signed in (empty: the practice's one shared password). Every
// connection without a password of its own opens through it.
//
// On a file the session holds the raw key (derived once per sign-in) and
// wipes it on sign-out. On a server it holds no password: it keeps its
// login connection open, and later connections take the password from
// libpq, which keeps it for that connection's life.
class Session final : public Credentials {
public:
    enum class Engine { None,
                        File,
                        Server };

    // The run's session, installed for every connection from the start.
    static Session &current();
    ~Session() override;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    QString folder() const { return AppDirectory; }
    QString connectionString() const override { return DbConnectionString; }

    // What the session is signed in to: None once signed out.
    Engine engine() const;
    bool signedIn() const { return engine() != Engine::None; }
    QString userName() const;
    // The signed-in user's role; Administrator for the one shared password
    // of a practice without users and for a server login in none of the
    // practice's group roles (the practice's own).
    Users::Role role() const;
    // A file's key is held.
    bool hasKey() const { return engine() == Engine::File; }
    // The server login connection that lends its password, null when none.
    DbConnection *login() const;

    // Signs in on a file with the raw key the caller derived (and the
    // file's salt), replacing whoever was signed in.
    void useKey(const QByteArray &key, const QByteArray &salt, const QString &user = {},
                Users::Role role = Users::Role::Administrator);
    // A copy of the file's key for sealing it under a new password (the
    // caller wipes it); empty when none is held.
    QByteArray fileKey() const;
    // Logs in to the server the connection string names, replacing whoever
    // was signed in; the password is not kept. A user's name logs in as that
    // user's login instead of the connection string's, for every connection
    // that follows. Throws DbError (Cause::WrongPassword when the server
    // refuses it), leaving nobody signed in.
    DbConnection &logIn(const QString &connectionString, const QString &password, const QString &user = {});
    // Wipes the key, closes the login; afterwards nothing opens through the session.
    void signOut();

    bool keyFile(sqlite3 *db, bool newFile) const override;
    QString loginPassword(const ConnectionInfo &info) const override;
    QString loginUser(const ConnectionInfo &info) const override;

private:
    Session();
    void clear();   // under the lock

    mutable std::mutex m_mutex;   // backups open connections on a worker thread
    Engine m_engine = Engine::None;
    QString m_user;
    Users::Role m_role = Users::Role::None;
    // The key lives outside any shared container, so wiping reaches the only copy.
    std::array<unsigned char, PracticeKey::KeySize> m_key{};
    QByteArray m_salt;
    std::unique_ptr<DbConnection> m_login;
    ConnectionInfo m_loginAt;   // host, port and user of the login; never a password
    QString m_practiceLogin;    // the connection string's user, whom m_loginAt.user stands in for
    // The password being tried, only while the login connects.
    QString m_trying;
};
