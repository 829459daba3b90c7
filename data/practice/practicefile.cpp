#include "data/practice/practicefile.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/dberror.h"
#include "data/db/helpers.h"
#include "data/db/jetsql.h"
#include "data/db/practicekey.h"
#include "data/practice/security.h"
#include "data/practice/session.h"
#include "data/db/credentials.h"
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <cstdio>
#include <functional>
#include <sqlite3.h>

namespace PracticeFile {

const char *const LegacyKey = "QT40718ZKM";

}   // namespace PracticeFile

namespace {

using PracticeKey::wipe;

int g_lockWaitMs = 10000;

// The time in the name of the copy left by the move from the fixed key.
const char *const kCopyStamp = "yyyyMMdd-HHmmss";

// A bare handle for the checks below; closed on scope exit.
class Handle {
public:
    explicit Handle(const QString &file, int lockWaitMs = 30000)
    {
        const QByteArray native = file.toUtf8();
        if (sqlite3_open_v2(native.constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            const QString msg = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
            sqlite3_close(m_db);
            m_db = nullptr;
            throw DbError(QStringLiteral("Το αρχείο της βάσης '%1' δεν ανοίγει: %2").arg(file, msg));
        }
        sqlite3_busy_timeout(m_db, lockWaitMs);
    }
    ~Handle() { sqlite3_close(m_db); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    sqlite3 *db() const { return m_db; }
    // SQLite's code of the first read: NOTADB when the key is wrong.
    int firstRead() const { return sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr); }
    QString error() const { return DbConnection::engineText(m_db); }
    int errorCode() const { return sqlite3_errcode(m_db) & 0xff; }

private:
    sqlite3 *m_db = nullptr;
};

// One column of the first row of a statement, as text; a null QString when no row.
QString firstText(sqlite3 *db, const char *sql, const QString &file, bool *hadRow = nullptr)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        const QString msg = DbConnection::engineText(db);
        sqlite3_finalize(st);
        throw DbError(QStringLiteral("Το αρχείο της βάσης '%1' δεν διαβάζεται: %2").arg(file, msg));
    }
    QString out;
    const int rc = sqlite3_step(st);
    if (hadRow)
        *hadRow = rc == SQLITE_ROW;
    if (rc == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
        out = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), sqlite3_column_bytes(st, 0));
    else if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const QString msg = DbConnection::engineText(db);
        sqlite3_finalize(st);
        throw DbError(QStringLiteral("Το αρχείο της βάσης '%1' δεν διαβάζεται: %2").arg(file, msg));
    }
    sqlite3_finalize(st);
    return out;
}

// The stored password as the access check reads it: first column of the
// first row, blanks and control characters removed at both ends.
bool storedPasswordIs(sqlite3 *db, const QString &file, const QString &password)
{
    QString stored = firstText(db, "SELECT * FROM SECURITY", file);
    QString trimmed = TrimText(stored);
    const bool same = !password.isEmpty() && trimmed == password;
    wipe(trimmed);   // first: it may share the stored text's bytes
    wipe(stored);
    return same;
}

bool openWithLegacyKey(Handle &h)
{
    // The old files use SQLCipher's own defaults for page size and rounds.
    return sqlite3_key(h.db(), PracticeFile::LegacyKey, int(qstrlen(PracticeFile::LegacyKey))) == SQLITE_OK
        && h.firstRead() == SQLITE_OK;
}

QByteArray fileHash(const QString &file)
{
    QFile f(file);
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!f.open(QIODevice::ReadOnly) || !h.addData(&f))
        return {};
    return h.result();
}

QString integrity(sqlite3 *db, const QString &file) { return firstText(db, "PRAGMA integrity_check", file); }

QStringList tables(sqlite3 *db, const QString &file)
{
    QStringList names;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite%' ORDER BY name",
                           -1, &st, nullptr)
        != SQLITE_OK) {
        sqlite3_finalize(st);
        throw DbError(QStringLiteral("Οι πίνακες του '%1' δεν διαβάζονται.").arg(file));
    }
    while (sqlite3_step(st) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return names;
}

qint64 rowCount(sqlite3 *db, const QString &table, const QString &file)
{
    const QByteArray sql = QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table).toUtf8();
    return firstText(db, sql.constData(), file).toLongLong();
}

// A copy of the file beside it, byte for byte the same and whole by
// SQLite's own check, before anything replaces it.
QString verifiedCopy(const QString &file)
{
    const QString stamp = Clock::now().toString(QLatin1String(kCopyStamp));
    QString copy = file + QStringLiteral(".%1.bak").arg(stamp);
    for (int n = 2; QFileInfo::exists(copy); ++n)
        copy = file + QStringLiteral(".%1-%2.bak").arg(stamp).arg(n);
    auto failed = [&](const QString &why) {
        QFile::remove(copy);
        return DbError(QStringLiteral("Το αντίγραφο του '%1' πριν από το κλειδί του κωδικού απέτυχε: %2").arg(file, why));
    };
    if (!QFile::copy(file, copy))
        throw failed(QStringLiteral("το αντίγραφο δεν γράφεται"));
    const QByteArray want = fileHash(file);
    if (want.isEmpty() || fileHash(copy) != want)
        throw failed(QStringLiteral("το αντίγραφο διαφέρει από το αρχείο"));
    Handle h(copy);
    if (!openWithLegacyKey(h))
        throw failed(QStringLiteral("το αντίγραφο δεν ανοίγει"));
    SqlFunctions::registerAll(h.db());   // the indexes use the Greek collation
    if (integrity(h.db(), copy) != QLatin1String("ok"))
        throw failed(QStringLiteral("το αντίγραφο δεν περνά τον έλεγχο ακεραιότητας"));
    return copy;
}

// Exports an old fixed-key file into a fresh file keyed with the password
// (4096-byte pages), checks it table by table, and puts it in the old
// one's place. Returns the backup's path; key receives the new raw key.
QString moveLegacyFile(const QString &file, const QString &password, QByteArray &key)
{
    const QString backup = verifiedCopy(file);
    const QString fresh = file + QStringLiteral(".rekeyed");
    QFile::remove(fresh);
    const QByteArray salt = PracticeKey::randomSalt();
    key = PracticeKey::derive(password, salt);
    try {
        QStringList names;
        QList<qint64> counts;
        {
            Handle old(file);
            if (!openWithLegacyKey(old))
                throw DbError(QStringLiteral("Το αρχείο '%1' δεν ανοίγει πια με το παλιό του κλειδί.").arg(file));
            SqlFunctions::registerAll(old.db());   // the collation of the text columns
            names = tables(old.db(), file);
            for (const QString &t : names)
                counts << rowCount(old.db(), t, file);

            // The handle may not create files: the new one starts empty.
            QFile empty(fresh);
            if (!empty.open(QIODevice::WriteOnly))
                throw DbError(QStringLiteral("Το '%1' δεν μπορεί να δημιουργηθεί.").arg(fresh));
            empty.close();
            if (PracticeKey::attachWithRaw(old.db(), fresh, "fresh", key, salt) != SQLITE_OK)
                throw DbError(QStringLiteral("%1 (%2)").arg(old.error(), fresh));
            if (sqlite3_exec(old.db(), "SELECT sqlcipher_export('fresh')", nullptr, nullptr, nullptr) != SQLITE_OK)
                throw DbError(QStringLiteral("Τα δεδομένα του '%1' δεν αντιγράφονται: %2").arg(file, old.error()));
            sqlite3_exec(old.db(), "DETACH DATABASE fresh", nullptr, nullptr, nullptr);
        }
        {
            // The new file must hold everything the old one held.
            DbConnection check;
            check.setConnectionString(QStringLiteral("Data Source=") + fresh);
            check.setRawKey(key);
            check.open();
            sqlite3 *db = check.handle();
            if (integrity(db, fresh) != QLatin1String("ok") || tables(db, fresh) != names)
                throw DbError(QStringLiteral("Το αντίγραφο του '%1' με το νέο κλειδί δεν είναι πλήρες.").arg(file));
            for (int i = 0; i < names.size(); ++i)
                if (rowCount(db, names[i], fresh) != counts[i])
                    throw DbError(QStringLiteral("Στο αντίγραφο του '%1' με το νέο κλειδί λείπουν γραμμές του πίνακα %2.").arg(file, names[i]));
        }
        if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(file).constData()) != 0)
            throw DbError(QStringLiteral("Το '%1' δεν αντικαθίσταται από το αντίγραφό του με το νέο κλειδί.").arg(file));
    } catch (...) {
        QFile::remove(fresh);
        wipe(key);
        throw;
    }
    return backup;
}

// True when a fresh handle keyed by keyer reads the file and, when a
// password is given, finds it in SECURITY as the access check would.
bool opensWith(const QString &file, const std::function<bool(sqlite3 *)> &keyer, const QString &password = {})
{
    try {
        Handle h(file);
        return keyer(h.db()) && h.firstRead() == SQLITE_OK && (password.isEmpty() || storedPasswordIs(h.db(), file, password));
    } catch (const DbError &) {
        return false;
    }
}

// A scratch file keyed with the key and salt, its SECURITY written as the
// practice's is, opened again the way the access check opens it: with the
// key derived afresh from the password as typed.
bool newKeyOpensScratch(const QByteArray &key, const QByteArray &salt, const QString &password)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    const QString scratch = dir.filePath(QStringLiteral("keycheck.mdb"));
    try {
        DbConnection c;
        c.setConnectionString(QStringLiteral("Data Source=") + scratch);
        c.setRawKey(key, salt);
        c.create();
        c.executeNative(QStringLiteral("CREATE TABLE SECURITY (\"PASSWORD\" TEXT)"));
        c.executeNative(QStringLiteral("INSERT INTO SECURITY (\"PASSWORD\") VALUES (?)"), {password});
    } catch (const DbError &) {
        return false;
    }
    QByteArray again = PracticeKey::derive(password, PracticeKey::readSalt(scratch));
    const bool opens = opensWith(
        scratch, [&](sqlite3 *db) { return PracticeKey::keyWithRaw(db, again) == SQLITE_OK; }, password);
    wipe(again);
    return opens;
}

}   // namespace

namespace PracticeFile {

QList<OldKeyCopy> oldKeyCopies(const QString &file)
{
    const QFileInfo fi(file);
    const QRegularExpression name(QLatin1Char('^') + QRegularExpression::escape(fi.fileName())
                                  + QStringLiteral("\\.(\\d{8}-\\d{6})(-\\d+)?\\.bak$"));
    QList<OldKeyCopy> copies;
    const QDir dir = fi.absoluteDir();
    for (const QString &entry : dir.entryList({fi.fileName() + QStringLiteral(".*.bak")}, QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch m = name.match(entry);
        const QDateTime made = m.hasMatch() ? QDateTime::fromString(m.captured(1), QLatin1String(kCopyStamp)) : QDateTime();
        if (made.isValid())
            copies << OldKeyCopy{dir.absoluteFilePath(entry), made};
    }
    return copies;
}

int lockWaitMs() { return g_lockWaitMs; }
void setLockWaitMs(int ms) { g_lockWaitMs = ms; }

bool isLegacy(const QString &file)
{
    if (!PracticeKey::looksEncrypted(file))
        return false;
    Handle h(file);
    return openWithLegacyKey(h);
}

Unlocked unlock(const QString &file, const QString &password)
{
    const QFileInfo fi(file);
    if (!fi.exists() || !fi.isFile())
        throw DbError(QStringLiteral("Το αρχείο '%1' δεν βρέθηκε").arg(file));
    if (!PracticeKey::looksEncrypted(file))
        throw DbError(QStringLiteral("Το αρχείο '%1' δεν είναι βάση δεδομένων του Molarix.").arg(file));
    Unlocked result;
    if (password.isEmpty())
        return result;

    const QByteArray salt = PracticeKey::readSalt(file);
    QByteArray key = PracticeKey::derive(password, salt);
    {
        Handle h(file, g_lockWaitMs);
        PracticeKey::keyWithRaw(h.db(), key);
        // The key checks the first page: a damaged page further on means a
        // damaged file, not a wrong password.
        auto damaged = [&] {
            result.access = Access::Damaged;
            result.damage = h.error();
            Session::current().useKey(key, salt);
            wipe(key);
            return result;
        };
        const int rc = h.firstRead();
        if (rc == SQLITE_OK) {
            try {
                if (storedPasswordIs(h.db(), file, password)) {
                    Session::current().useKey(key, salt);
                    result.access = Access::Granted;
                }
            } catch (const DbError &) {
                if (h.errorCode() != SQLITE_CORRUPT)
                    throw;
                return damaged();
            }
            wipe(key);
            return result;
        }
        if (rc == SQLITE_CORRUPT)
            return damaged();
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            wipe(key);
            throw DbError(DbCauseText(DbError::Cause::InUse), DbError::Cause::InUse);
        }
        if (rc != SQLITE_NOTADB)
            throw DbError(QStringLiteral("Το αρχείο της βάσης '%1' δεν διαβάζεται: %2").arg(file, h.error()));
    }
    wipe(key);

    // Not the password's key: perhaps a file made before the password was the key.
    {
        Handle h(file, g_lockWaitMs);
        if (!openWithLegacyKey(h) || !storedPasswordIs(h.db(), file, password))
            return result;
    }
    result.backup = moveLegacyFile(file, password, key);
    Session::current().useKey(key, PracticeKey::readSalt(file));
    wipe(key);
    result.access = Access::Moved;
    return result;
}

void changePassword(DbConnection &conn, const QString &newPassword)
{
    const QString file = conn.fileName();
    if (const QString why = Security::passwordProblem(newPassword); !why.isEmpty())
        throw DbError(why);
    // SQLCipher keeps the file's salt through a rekey.
    const QByteArray salt = PracticeKey::readSalt(file);
    QByteArray key = PracticeKey::derive(newPassword, salt);
    // The rekey commits as it goes: the new key is proved on a scratch
    // file first, so a password the access check could not take back
    // never reaches the practice file.
    if (!newKeyOpensScratch(key, salt, newPassword)) {
        wipe(key);
        throw DbError(QStringLiteral("Ο νέος κωδικός πρόσβασης δεν ανοίγει αρχείο κλειδωμένο μ' αυτόν· "
                                     "ο κωδικός του '%1' δεν άλλαξε, ισχύει ο παλιός.")
                          .arg(file));
    }
    try {
        DbTransaction tx(conn);
        conn.executeNative(QStringLiteral("UPDATE SECURITY SET \"PASSWORD\"=?"), {newPassword});
        PracticeKey::rekeyWithRaw(conn.handle(), key);
        tx.commit();
    } catch (...) {
        // The handle may hold the new key for pages it never wrote.
        conn.close();
        wipe(key);
        throw;
    }
    // SQLCipher reports no failure of its own rekey: only a fresh open
    // with the new key proves it.
    if (opensWith(
            file, [&](sqlite3 *db) { return PracticeKey::keyWithRaw(db, key) == SQLITE_OK; }, newPassword)) {
        Session::current().useKey(key, salt, Session::current().userName());
        wipe(key);
        DbConnection::reopenOthers(&conn);
        return;
    }
    // Whatever is said next must be what opens the file now.
    conn.close();
    const bool oldOpens = opensWith(file, [](sqlite3 *db) {
        const Credentials *session = Credentials::installed();
        return session && session->keyFile(db, false);
    });
    const bool newKeyOpens = !oldOpens && opensWith(file, [&](sqlite3 *db) { return PracticeKey::keyWithRaw(db, key) == SQLITE_OK; });
    if (newKeyOpens)
        Session::current().useKey(key, salt, Session::current().userName());
    wipe(key);
    if (oldOpens)
        throw DbError(QStringLiteral("Ο κωδικός πρόσβασης του '%1' δεν άλλαξε· ισχύει ο παλιός.").arg(file));
    if (newKeyOpens)
        throw DbError(QStringLiteral("Το '%1' κλειδώθηκε με τον νέο κωδικό, αλλά ο κωδικός που φυλάχτηκε μέσα του διαφέρει· "
                                     "κάντε επαναφορά από το νεότερο αντίγραφο ασφαλείας.")
                          .arg(file));
    throw DbError(QStringLiteral("Ούτε ο παλιός ούτε ο νέος κωδικός ανοίγει πια το '%1'· "
                                 "κάντε επαναφορά από το νεότερο αντίγραφο ασφαλείας.")
                      .arg(file));
}

}   // namespace PracticeFile
