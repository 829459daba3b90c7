#include "data/practice/security.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/db/pgengine.h"
#include "data/db/practicekey.h"
#include "data/practice/backup.h"
#include "data/practice/keyring.h"
#include "data/practice/session.h"
#include <QFileInfo>
#include <QRegularExpression>

namespace Security {

QString storedPassword(DataSet &security)
{
    security.setTableName(QStringLiteral("SECURITY"));
    security.open();
    if (security.recordCount() == 0 || security.fieldCount() == 0)
        return {};
    const QVariant v = security.value(0, 0);
    return v.isValid() ? TrimText(v.toString()) : QString();
}

PracticeFile::Unlocked signIn(DbConnection &conn, DataSet &security, const QString &password, const QString &user,
                              Users::Access *how)
{
    Session &session = Session::current();
    session.signOut();
    security.close();
    conn.close();
    PracticeFile::Unlocked unlocked;
    const ConnectionInfo where = ParseConnectionString(conn.connectionString());
    if (where.onServer()) {
        // The typed password is the login's (the user's, when a name is
        // typed): the server says whether it holds; any other failure
        // (server away) is reported as such.
        try {
            session.logIn(conn.connectionString(), password, user);
        } catch (const DbError &e) {
            if (e.cause() != DbError::Cause::WrongPassword)
                throw;
            return unlocked;
        }
        unlocked.access = PracticeFile::Access::Granted;
    } else {
        const Users::SignedIn in = Users::signIn(QFileInfo(where.dataSource).absolutePath(), user, password);
        if (how)
            *how = in.access;
        if (in.access == Users::Access::Granted || in.access == Users::Access::ByRecovery) {
            // The file's key came from the user's own wrap: SECURITY holds no password.
            unlocked.access = PracticeFile::Access::Granted;
            return unlocked;
        }
        unlocked = in.file;
        // A damaged file's SECURITY may be unreadable: its key alone speaks.
        if (unlocked.access == PracticeFile::Access::Refused || unlocked.access == PracticeFile::Access::Damaged)
            return unlocked;
    }
    // The stored password is read afresh, through the practice's own
    // connection. On a server the login is the check: SECURITY holds no
    // password there, and an administrator's new password for the login
    // must open the program.
    bool same = false;
    try {
        conn.open();
        QString stored = storedPassword(security);
        same = where.onServer() || stored == password;
        PracticeKey::wipe(stored);
    } catch (...) {
        security.close();
        conn.close();
        session.signOut();
        throw;
    }
    security.close();
    conn.close();
    if (!same) {
        session.signOut();
        unlocked.access = PracticeFile::Access::Refused;
    }
    return unlocked;
}

bool userPasswordHolds(const QString &practiceDir, const QString &password)
{
    const QString user = Session::current().userName();
    if (user.isEmpty())
        return false;
    const auto ring = KeyRing::Ring::parse(KeyRing::readFile(KeyRing::fileIn(practiceDir)));
    const KeyRing::Member *m = ring ? ring->find(user) : nullptr;
    if (!m)
        return false;
    QByteArray key = KeyRing::unseal(m->wrap, password, user);
    if (key.isEmpty() && !ring->recovery.isEmpty() && !KeyRing::recoveryCodeOf(password).isEmpty())
        key = KeyRing::unseal(ring->recovery, KeyRing::recoveryCodeOf(password), {});
    const bool holds = !key.isEmpty();
    PracticeKey::wipe(key);
    return holds;
}

bool loginAccepts(const DbConnection &conn, const QString &password)
{
    DbConnection probe;
    probe.setConnectionString(conn.connectionString() + QStringLiteral(";Jet OLEDB:Database Password=")
                              + QuoteConnectionValue(password));
    try {
        probe.open();
    } catch (const DbError &e) {
        if (e.cause() != DbError::Cause::WrongPassword)
            throw;
        return false;
    }
    return true;
}

QString passwordProblem(const QString &password)
{
    // The specific reason first: NUL is also refused as a special character.
    if (password.contains(QChar(0)) || QString::fromUtf8(password.toUtf8()) != password)
        return QStringLiteral("Ο κωδικός πρόσβασης έχει χαρακτήρα που δεν μπορεί να φυλαχτεί όπως γράφτηκε "
                              "(μισό σύμβολο ή μηδενικό χαρακτήρα)· γράψτε τον ξανά με γράμματα και αριθμούς.");
    if (password.isEmpty() || password.trimmed() != password || !HasNoSpecialChars(password))
        return QStringLiteral("Ο κωδικός πρόσβασης δεν μπορεί να είναι κενός, να αρχίζει ή να τελειώνει "
                              "με κενό, ούτε να έχει σημεία στίξης ή σύμβολα.");
    return {};
}

Changed changePassword(DbConnection &conn, const QString &newPassword)
{
    Changed changed;
    if (!conn.onServer() && Users::haveUsers(QFileInfo(conn.fileName()).absolutePath())) {
        Users::setPassword(conn, Session::current().userName(), newPassword);
        return changed;
    }
    if (!conn.onServer()) {
        PracticeFile::changePassword(conn, newPassword);
        const QString dir = QFileInfo(conn.fileName()).absolutePath();
        try {
            Backup::noteKeyChange(dir, Clock::now());
            changed.backup = Backup::makeAutomatic(conn, dir);
        } catch (const DbError &e) {
            changed.backupFailure = e.message();
        }
        return changed;
    }
    if (const QString why = passwordProblem(newPassword); !why.isEmpty())
        throw DbError(why);
    // Only the verifier travels, so the password stays out of the server's
    // log; its letters (base64, '$', ':') need no escaping in any mode, and
    // anything else is refused rather than quoted.
    const QString user = conn.scalarNative(QStringLiteral("SELECT current_user")).toString();
    const QString verifier = passwordVerifier(conn.engine(), user, newPassword);
    static const QRegularExpression scram(QStringLiteral("^SCRAM-SHA-256\\$[A-Za-z0-9+/=:$]+$"));
    if (!scram.match(verifier).hasMatch())
        throw DbError(QStringLiteral("Ο νέος κωδικός δεν ετοιμάστηκε για τον διακομιστή %1.").arg(conn.engine().where()));
    conn.executeNative(QStringLiteral("ALTER ROLE CURRENT_USER PASSWORD ") + PgText::literal(verifier));
    // The login that lends its password to later connections holds the old one.
    Session &session = Session::current();
    session.logIn(conn.connectionString(), newPassword, session.userName());
    return changed;
}

}   // namespace Security
