#include "data/practice/session.h"
#include "data/db/connection.h"
#include "data/db/dberror.h"
#include "data/db/pgengine.h"
#include "data/practice/serverroles.h"
#include <openssl/crypto.h>
#include <sqlite3.h>
#include <stdexcept>

QString AppDirectory;
QString DbConnectionString;

namespace {
// Installed before main(), so that every connection finds it.
[[maybe_unused]] const Session &g_run = Session::current();

bool sameLogin(const ConnectionInfo &a, const ConnectionInfo &b)
{
    return a.onServer() && a.host == b.host && a.port == b.port && a.user == b.user;
}
}

Session &Session::current()
{
    static Session session;
    return session;
}

Session::Session() { Credentials::install(this); }

Session::~Session()
{
    Credentials::install(nullptr);
    signOut();
}

Session::Engine Session::engine() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_engine;
}

QString Session::userName() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_user;
}

Users::Role Session::role() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_role;
}

QByteArray Session::fileKey() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_engine != Engine::File)
        return {};
    return QByteArray(reinterpret_cast<const char *>(m_key.data()), PracticeKey::KeySize);
}

DbConnection *Session::login() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_login.get();
}

void Session::clear()
{
    OPENSSL_cleanse(m_key.data(), m_key.size());
    m_salt.clear();
    m_login.reset();
    m_loginAt = ConnectionInfo();
    m_practiceLogin.clear();
    PracticeKey::wipe(m_trying);
    m_user.clear();
    m_role = Users::Role::None;
    m_engine = Engine::None;
}

void Session::signOut()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    clear();
}

void Session::useKey(const QByteArray &key, const QByteArray &salt, const QString &user, Users::Role role)
{
    if (key.size() != PracticeKey::KeySize)
        throw std::invalid_argument("το κλειδί ιατρείου έχει 32 bytes");
    if (salt.size() != PracticeKey::SaltSize)
        throw std::invalid_argument("το salt του κλειδιού έχει 16 bytes");
    const std::lock_guard<std::mutex> lock(m_mutex);
    clear();
    std::copy(key.begin(), key.end(), m_key.begin());
    m_salt = salt;
    m_salt.detach();
    m_user = user;
    m_role = role;
    m_engine = Engine::File;
}

DbConnection &Session::logIn(const QString &connectionString, const QString &password, const QString &user)
{
    ConnectionInfo at = ParseConnectionString(connectionString);
    const QString practiceLogin = at.user;
    if (!user.isEmpty())
        at.user = ServerRoles::loginName(user);
    auto conn = std::make_unique<DbConnection>();
    conn->setConnectionString(connectionString);
    conn->setCommandTimeout(0);
    conn->setConnectionTimeout(0);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        clear();
        if (!at.onServer())
            throw DbError(QStringLiteral("Το ιατρείο δεν βρίσκεται σε διακομιστή βάσης δεδομένων."));
        m_trying = password;
        m_trying.detach();
        m_loginAt = at;
        m_practiceLogin = practiceLogin;
    }
    Users::Role role = Users::Role::None;
    try {
        conn->open();   // asks loginUser() and loginPassword() below
        role = ServerRoles::roleOf(*conn);
    } catch (...) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        clear();
        throw;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    PracticeKey::wipe(m_trying);
    m_login = std::move(conn);
    m_user = user.isEmpty() ? QString() : at.user;
    m_role = role;
    m_engine = Engine::Server;
    return *m_login;
}

bool Session::keyFile(sqlite3 *db, bool newFile) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_engine != Engine::File)
        return false;
    return PracticeKey::keyWithRawBytes(db, m_key.data(), newFile ? m_salt : QByteArray()) == SQLITE_OK;
}

QString Session::loginUser(const ConnectionInfo &info) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    ConnectionInfo practice = m_loginAt;
    practice.user = m_practiceLogin;
    return sameLogin(practice, info) ? m_loginAt.user : info.user;
}

QString Session::loginPassword(const ConnectionInfo &info) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!sameLogin(m_loginAt, info))
        return {};
    if (!m_trying.isEmpty()) {
        QString copy = m_trying;
        copy.detach();
        return copy;
    }
    return m_login && m_login->isOpen() ? ::loginPassword(m_login->engine()) : QString();
}
