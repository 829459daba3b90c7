#include "data/practice/users.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/practicekey.h"
#include "data/practice/backup.h"
#include "data/practice/keyring.h"
#include "data/practice/schemaversion.h"
#include "data/practice/security.h"
#include "data/practice/serverroles.h"
#include "data/practice/session.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <sqlite3.h>

namespace {

using KeyRing::Ring;
using PracticeKey::wipe;

QString folderOf(const DbConnection &conn) { return QFileInfo(conn.fileName()).absolutePath(); }

// The member a typed name means: names differ in more than letter case.
const KeyRing::Member *memberNamed(const Ring &ring, const QString &typed)
{
    const QString name = typed.trimmed();
    for (const KeyRing::Member &m : ring.members)
        if (m.name.compare(name, Qt::CaseInsensitive) == 0)
            return &m;
    return nullptr;
}

KeyRing::Member &existing(Ring &ring, const QString &name)
{
    const KeyRing::Member *m = memberNamed(ring, name);
    if (!m)
        throw DbError(QStringLiteral("Δεν υπάρχει χρήστης με το όνομα «%1».").arg(name.trimmed()));
    return *const_cast<KeyRing::Member *>(m);
}

// The copy of the ring inside the file; empty when there is none.
QByteArray storedText(DbConnection &conn)
{
    try {
        return conn.scalarNative(QStringLiteral("SELECT PERIEXOMENO FROM KLEIDIA")).toString().toUtf8();
    } catch (const DbError &) {
        return {};
    }
}

// The table of users and the ring's copy, as the ring says (inside the caller's transaction).
void store(DbConnection &conn, const Ring &ring, const QByteArray &text)
{
    conn.executeNative(QStringLiteral("DELETE FROM XRHSTES"));
    for (const KeyRing::Member &m : ring.members)
        conn.executeNative(QStringLiteral("INSERT INTO XRHSTES (ONOMA, ROLOS, ENERGOS) VALUES (?, ?, ?)"),
                           {m.name, m.role, m.enabled ? -1 : 0});
    conn.executeNative(QStringLiteral("DELETE FROM KLEIDIA"));
    conn.executeNative(QStringLiteral("INSERT INTO KLEIDIA (PERIEXOMENO) VALUES (?)"), {QString::fromUtf8(text)});
}

void storeInOne(DbConnection &conn, const Ring &ring, const QByteArray &text)
{
    DbTransaction tx(conn);
    store(conn, ring, text);
    tx.commit();
}

QString damagedText(const QString &ringPath)
{
    return QStringLiteral("Το αρχείο κλειδιών %1 είναι κατεστραμμένο· κάντε επαναφορά από αντίγραφο ασφαλείας.")
        .arg(QDir::toNativeSeparators(ringPath));
}

// The newer of keys.dat and the copy inside the file, both proved by the
// MAC under the file key; the older one is brought up to it. A change cut
// short between the two writes is finished so.
Ring settle(DbConnection &conn, const QByteArray &key)
{
    const QString dir = folderOf(conn);
    const QByteArray fileText = KeyRing::readFile(KeyRing::fileIn(dir));
    const QByteArray copyText = storedText(conn);
    auto inFile = Ring::parse(fileText);
    auto inCopy = Ring::parse(copyText);
    const bool fileOk = inFile && inFile->authentic(key);
    const bool copyOk = inCopy && inCopy->authentic(key);
    if (fileOk && (!copyOk || inFile->generation >= inCopy->generation)) {
        if (!copyOk || inFile->generation > inCopy->generation)
            storeInOne(conn, *inFile, fileText);
        return *inFile;
    }
    if (!copyOk)
        throw DbError(damagedText(KeyRing::fileIn(dir)));
    if (!KeyRing::writeAtomically(KeyRing::fileIn(dir), copyText))
        throw DbError(QStringLiteral("Το αρχείο κλειδιών %1 δεν γράφεται.").arg(QDir::toNativeSeparators(KeyRing::fileIn(dir))));
    return *inCopy;
}

bool hasEnabledAdministrator(const Ring &ring)
{
    for (const KeyRing::Member &m : ring.members)
        if (m.enabled && Users::roleFromName(m.role) == Users::Role::Administrator)
            return true;
    return false;
}

// One change of users: the ring edited, keys.dat replaced (from then on
// the change holds), then the copy and the table inside the file.
void change(DbConnection &conn, const std::function<void(Ring &, const QByteArray &key)> &edit)
{
    if (conn.onServer())
        throw DbError(Users::serverText(conn.credentials()));
    QByteArray key = Session::current().fileKey();
    if (key.isEmpty())
        throw DbError(QStringLiteral("Κανείς δεν έχει συνδεθεί στο ιατρείο."));
    try {
        Ring ring = settle(conn, key);
        edit(ring, key);
        if (!hasEnabledAdministrator(ring))
            throw DbError(QStringLiteral("Το ιατρείο χρειάζεται τουλάχιστον έναν ενεργό διαχειριστή."));
        ++ring.generation;
        const QByteArray text = ring.text(key);
        if (!KeyRing::writeAtomically(KeyRing::fileIn(folderOf(conn)), text))
            throw DbError(QStringLiteral("Το αρχείο κλειδιών δεν γράφεται· οι χρήστες έμειναν όπως ήταν."));
        storeInOne(conn, ring, text);
        KeyRing::step("copied");
    } catch (...) {
        wipe(key);
        throw;
    }
    wipe(key);
}

void refuseProblem(const QString &why)
{
    if (!why.isEmpty())
        throw DbError(why);
}

// Signs in on a file whose ring is ringPath (see Users::signIn). A
// practice file settles its two copies of the ring; a backup is only read.
Users::SignedIn signInFile(const QString &file, const QString &ringPath, const QString &name, const QString &password,
                           bool practice)
{
    using Users::Access;
    using Users::Role;
    Users::SignedIn result;
    auto onePassword = [&] {
        result.file = PracticeFile::unlock(file, password);
        if (result.file.access != PracticeFile::Access::Refused)
            result.access = Access::OnePassword;
        return result;
    };
    const QByteArray text = KeyRing::readFile(ringPath);
    if (text.isEmpty())
        return onePassword();
    const auto ring = Ring::parse(text);
    if (!ring)
        throw DbError(damagedText(ringPath));
    if (!QFileInfo(file).isFile())
        throw DbError(QStringLiteral("Το αρχείο '%1' δεν βρέθηκε").arg(file));

    Session::current().signOut();
    const KeyRing::Member *member = memberNamed(*ring, name);
    if (!member || password.isEmpty())
        return result;
    Access how = Access::Granted;
    QByteArray key = KeyRing::unseal(member->wrap, password, member->name);
    if (key.isEmpty() && Users::roleFromName(member->role) == Role::Administrator && !ring->recovery.isEmpty()) {
        if (const QString code = KeyRing::recoveryCodeOf(password); !code.isEmpty()) {
            key = KeyRing::unseal(ring->recovery, code, {});
            how = Access::ByRecovery;
        }
    }
    if (key.isEmpty())
        return result;

    const QString user = member->name;
    DbConnection conn;
    conn.setConnectionString(QStringLiteral("Data Source=") + QuoteConnectionValue(file));
    conn.setRawKey(key);
    try {
        conn.open();
    } catch (const DbError &e) {
        wipe(key);
        // A move to users cut short before the file took its new key, or
        // an older copy put back: the file still has its one password.
        if (e.cause() == DbError::Cause::WrongPassword)
            return onePassword();
        throw;
    }
    try {
        const Ring now = practice ? settle(conn, key) : *ring;
        const KeyRing::Member *m = now.find(user);
        // The newer ring decides: the user may have gone, or lost the password meanwhile.
        const bool stillHolds = (practice || now.authentic(key)) && m && m->enabled
            && (how == Access::ByRecovery ? Users::roleFromName(m->role) == Role::Administrator
                                          : (m->wrap.sealed == member->wrap.sealed || !KeyRing::unseal(m->wrap, password, user).isEmpty()));
        if (stillHolds) {
            Session::current().useKey(key, PracticeKey::readSalt(file), user, Users::roleFromName(m->role));
            result.access = how;
        }
    } catch (...) {
        wipe(key);
        throw;
    }
    wipe(key);
    return result;
}

}   // namespace

namespace Users {

QString roleName(Role role)
{
    switch (role) {
    case Role::Administrator:
        return QStringLiteral("administrator");
    case Role::Clinician:
        return QStringLiteral("clinician");
    case Role::Reception:
        return QStringLiteral("reception");
    case Role::None:
        break;
    }
    return {};
}

Role roleFromName(const QString &name)
{
    for (Role r : {Role::Administrator, Role::Clinician, Role::Reception})
        if (roleName(r) == name)
            return r;
    return Role::None;
}

QString roleText(Role role)
{
    switch (role) {
    case Role::Administrator:
        return QStringLiteral("Διαχειριστής");
    case Role::Clinician:
        return QStringLiteral("Οδοντίατρος");
    case Role::Reception:
        return QStringLiteral("Γραμματεία");
    case Role::None:
        break;
    }
    return {};
}

QString passwordProblem(const QString &password)
{
    if (const QString why = Security::passwordProblem(password); !why.isEmpty())
        return why;
    if (password.size() < MinPasswordLength)
        return QStringLiteral("Ο κωδικός πρόσβασης πρέπει να έχει τουλάχιστον %1 χαρακτήρες.").arg(MinPasswordLength);
    return {};
}

QString nameProblem(const QString &name)
{
    bool control = false;
    for (QChar c : name)
        control = control || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
    if (name.isEmpty() || name.trimmed() != name || control || name.size() > 50)
        return QStringLiteral("Το όνομα χρήστη δεν μπορεί να είναι κενό, να αρχίζει ή να τελειώνει με κενό, "
                              "ούτε να έχει πάνω από 50 χαρακτήρες.");
    return {};
}

bool haveUsers(const QString &practiceDir) { return QFileInfo::exists(KeyRing::fileIn(practiceDir)); }

SignedIn signIn(const QString &practiceDir, const QString &name, const QString &password)
{
    return signInFile(QDir(practiceDir).absoluteFilePath(QStringLiteral("data.mdb")), KeyRing::fileIn(practiceDir), name,
                      password, true);
}

SignedIn signInCopy(const QString &copy, const QString &name, const QString &password)
{
    return signInFile(copy, KeyRing::besideCopy(copy), name, password, false);
}

QString migrate(DbConnection &conn, const QString &administrator, const QString &password, QString *backup)
{
    if (conn.onServer())
        throw DbError(serverText(conn.credentials()));
    refuseProblem(nameProblem(administrator));
    const QString dir = folderOf(conn);
    const QString file = conn.fileName();
    // Whatever a move cut short left behind describes a key the file never took.
    QFile::remove(KeyRing::fileIn(dir));
    const QString copy = Backup::makeAutomatic(conn, dir);
    if (backup)
        *backup = copy;
    // The tables of users come with the newest layout; the copy covers both steps.
    SchemaVersion::upgrade(conn);

    QByteArray key = KeyRing::randomKey();
    QString code = KeyRing::newRecoveryCode();
    Ring ring;
    ring.generation = 1;
    ring.members.append({administrator, roleName(Role::Administrator), true, KeyRing::seal(key, password, administrator)});
    ring.recovery = KeyRing::seal(key, KeyRing::recoveryCodeOf(code), {});
    const QByteArray text = ring.text(key);
    // keys.dat first: once the file takes the new key, something must unwrap it.
    if (!KeyRing::writeAtomically(KeyRing::fileIn(dir), text)) {
        wipe(key);
        throw DbError(QStringLiteral("Το αρχείο κλειδιών δεν γράφεται· το ιατρείο έμεινε όπως ήταν."));
    }
    try {
        DbTransaction tx(conn);
        // The password no longer stands in clear inside the file.
        conn.executeNative(QStringLiteral("UPDATE SECURITY SET \"PASSWORD\"=NULL"));
        store(conn, ring, text);
        KeyRing::step("rekeying");
        if (PracticeKey::rekeyWithRaw(conn.handle(), key) != SQLITE_OK)
            throw DbError(QStringLiteral("Το αρχείο δεν παίρνει το νέο κλειδί· το ιατρείο έμεινε όπως ήταν."));
        tx.commit();
    } catch (...) {
        conn.close();
        wipe(key);
        throw;
    }
    // Only a fresh open proves the new key.
    DbConnection proof;
    proof.setConnectionString(QStringLiteral("Data Source=") + QuoteConnectionValue(file));
    proof.setRawKey(key);
    try {
        proof.open();
        if (storedText(proof) != text)
            throw DbError(QStringLiteral("Το αρχείο δεν έχει το αντίγραφο των κλειδιών."));
    } catch (const DbError &e) {
        wipe(key);
        conn.close();
        throw DbError(QStringLiteral("Το αρχείο δεν ανοίγει με το νέο του κλειδί (%1)· κάντε επαναφορά από το αντίγραφο %2.")
                          .arg(e.message(), QDir::toNativeSeparators(copy)));
    }
    proof.close();
    Session::current().useKey(key, PracticeKey::readSalt(file), administrator, Role::Administrator);
    wipe(key);
    DbConnection::reopenOthers(&conn);
    Backup::noteKeyChange(dir, Clock::now());
    return code;
}

QList<User> list(DbConnection &conn)
{
    if (conn.onServer())
        return ServerRoles::list(conn);
    QList<User> users;
    DbStatement st(conn, QStringLiteral("SELECT ONOMA, ROLOS, ENERGOS FROM XRHSTES ORDER BY ONOMA"));
    while (st.step())
        users.append({st.columnValue(0).toString(), roleFromName(st.columnValue(1).toString()), st.columnValue(2).toInt() != 0});
    return users;
}

void add(DbConnection &conn, const User &user, const QString &password)
{
    refuseProblem(nameProblem(user.name));
    refuseProblem(passwordProblem(password));
    if (user.role == Role::None)
        throw DbError(QStringLiteral("Ο ρόλος χρήστη είναι ένας από: administrator, clinician, reception."));
    if (conn.onServer())
        return ServerRoles::add(conn, user, password);
    change(conn, [&](Ring &ring, const QByteArray &key) {
        // The table's own comparison (Greek dictionary order) decides too.
        if (memberNamed(ring, user.name)
            || (!conn.onServer() && conn.scalarNative(QStringLiteral("SELECT count(*) FROM XRHSTES WHERE ONOMA = ?"), {user.name}).toInt() > 0))
            throw DbError(QStringLiteral("Υπάρχει ήδη χρήστης με το όνομα «%1».").arg(user.name));
        ring.members.append({user.name, roleName(user.role), user.enabled, KeyRing::seal(key, password, user.name)});
    });
}

void remove(DbConnection &conn, const QString &name)
{
    if (conn.onServer())
        return ServerRoles::remove(conn, name);
    change(conn, [&](Ring &ring, const QByteArray &) {
        const QString gone = existing(ring, name).name;
        ring.members.removeIf([&](const KeyRing::Member &x) { return x.name == gone; });
    });
}

void setPassword(DbConnection &conn, const QString &name, const QString &password)
{
    refuseProblem(passwordProblem(password));
    if (conn.onServer())
        return ServerRoles::setPassword(conn, name, password);
    change(conn, [&](Ring &ring, const QByteArray &key) {
        KeyRing::Member &m = existing(ring, name);
        m.wrap = KeyRing::seal(key, password, m.name);
    });
}

void setRole(DbConnection &conn, const QString &name, Role role)
{
    if (role == Role::None)
        throw DbError(QStringLiteral("Ο ρόλος χρήστη είναι ένας από: administrator, clinician, reception."));
    if (conn.onServer())
        return ServerRoles::setRole(conn, name, role);
    change(conn, [&](Ring &ring, const QByteArray &) { existing(ring, name).role = roleName(role); });
}

void setEnabled(DbConnection &conn, const QString &name, bool enabled)
{
    if (conn.onServer())
        return ServerRoles::setEnabled(conn, name, enabled);
    change(conn, [&](Ring &ring, const QByteArray &) { existing(ring, name).enabled = enabled; });
}

QString serverText(const ConnectionInfo &at)
{
    return QStringLiteral("Σε ιατρείο σε διακομιστή οι χρήστες είναι λογαριασμοί του διακομιστή, μέλη ενός από τους "
                          "ρόλους «%1», «%2», «%3»· τους φτιάχνει ο διαχειριστής του ιατρείου από το πρόγραμμα όταν ο "
                          "λογαριασμός του ιατρείου μπορεί να φτιάχνει ρόλους (CREATEROLE), αλλιώς ο διαχειριστής του "
                          "διακομιστή με τις εντολές: CREATE ROLE \"όνομα\" LOGIN PASSWORD 'κωδικός' IN ROLE \"%3\";")
        .arg(ServerRoles::groupName(at.database, Role::Administrator), ServerRoles::groupName(at.database, Role::Clinician),
             ServerRoles::groupName(at.database, Role::Reception));
}

}   // namespace Users
