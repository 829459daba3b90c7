#include "data/practice/backup.h"
#include "data/practice/keyring.h"
#include "data/practice/check.h"
#include "data/db/clock.h"
#include "data/db/indexcheck.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>

namespace {

const char *const kNamePattern = "^data-(\\d{4}-\\d{2}-\\d{2}-\\d{6})\\.mdb$";
const char *const kStampFormat = "yyyy-MM-dd-HHmmss";

std::function<void(const QString &)> &beforeVerifyHook()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// A copy is written as <name>.part, held by <name>.part.lock while it is
// written: another program (a second start while the exit backup
// finishes) sees the lock and leaves the file alone. The lock of a
// program that has ended is free again.
QString lockName(const QString &part) { return part + QStringLiteral(".lock"); }

std::unique_ptr<QLockFile> lockPart(const QString &part)
{
    auto lock = std::make_unique<QLockFile>(lockName(part));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

// Runs the online backup from one open database into another in one step,
// so the destination is written in a single transaction.
void copyPages(sqlite3 *from, sqlite3 *to, const QString &what)
{
    sqlite3_backup *b = sqlite3_backup_init(to, "main", from, "main");
    if (!b)
        throw DbError(QString::fromUtf8("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(to))));
    const int step = sqlite3_backup_step(b, -1);
    const int finish = sqlite3_backup_finish(b);
    if (step != SQLITE_DONE || finish != SQLITE_OK) {
        const int rc = step != SQLITE_DONE ? step : finish;
        const QString reason = rc == SQLITE_BUSY || rc == SQLITE_LOCKED
            ? QString::fromUtf8("το αρχείο χρησιμοποιείται από άλλο πρόγραμμα")
            : QString::fromUtf8(sqlite3_errstr(rc));
        throw DbError(QString::fromUtf8("%1: %2").arg(what, reason));
    }
}

QStringList integrityRows(DbConnection &conn, const char *check = "integrity_check")
{
    QStringList rows;
    DbStatement st(conn, QStringLiteral("PRAGMA %1").arg(QLatin1String(check)));
    while (st.step())
        rows << st.columnValue(0).toString();
    return rows;
}

QString describeCounts(const Backup::TableCounts &want, const Backup::TableCounts &got)
{
    QStringList diffs;
    for (auto it = want.cbegin(); it != want.cend(); ++it) {
        const qint64 g = got.value(it.key(), -1);
        if (g != it.value())
            diffs << QString::fromUtf8("%1: %2 αντί %3").arg(it.key()).arg(g).arg(it.value());
    }
    return diffs.join(QStringLiteral(", "));
}

// A page cache that holds the whole file (up to 512 MiB), in KiB. SQLite
// counts each page's bookkeeping against the size too, which for small
// pages is a good part of the page: twice the file leaves room for it.
qint64 wholeFileCacheKib(const QString &path)
{
    return std::min<qint64>(QFileInfo(path).size() / 1024 * 2 + 1024, 512 * 1024);
}

// A larger page cache for as long as it lives, then the connection's own.
class CacheForWholeFile {
public:
    CacheForWholeFile(DbConnection &conn, const QString &path)
        : m_conn(conn), m_saved(conn.scalarNative(QStringLiteral("PRAGMA cache_size")).toLongLong())
    {
        m_conn.executeNative(QStringLiteral("PRAGMA cache_size=-%1").arg(wholeFileCacheKib(path)));
    }
    ~CacheForWholeFile()
    {
        try {
            m_conn.executeNative(QStringLiteral("PRAGMA cache_size=%1").arg(m_saved));
        } catch (...) {
            // Only a cache size: the connection works on as it is.
        }
    }
    CacheForWholeFile(const CacheForWholeFile &) = delete;
    CacheForWholeFile &operator=(const CacheForWholeFile &) = delete;

private:
    DbConnection &m_conn;
    qint64 m_saved;
};

// A read transaction: everything read inside it is of one moment.
class ReadSnapshot {
public:
    explicit ReadSnapshot(DbConnection &conn) : m_conn(conn)
    {
        // BEGIN alone takes no lock: the first read does, and from then on
        // no other connection can commit until this one ends.
        m_conn.executeNative(QStringLiteral("BEGIN"));
        try {
            m_conn.scalarNative(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        } catch (...) {
            end();
            throw;
        }
    }
    ~ReadSnapshot() { end(); }
    ReadSnapshot(const ReadSnapshot &) = delete;
    ReadSnapshot &operator=(const ReadSnapshot &) = delete;

private:
    void end()
    {
        try {
            m_conn.executeNative(QStringLiteral("COMMIT"));
        } catch (...) {
            // A read transaction has nothing to lose.
        }
    }

    DbConnection &m_conn;
};

// Puts a copy of from in place of to in one rename; false, with to
// untouched, when that cannot be done.
bool replaceWhole(const QString &from, const QString &to)
{
    const QString incoming = to + QStringLiteral(".restoring");
    QFile::remove(incoming);
    if (!QFile::copy(from, incoming)) {
        QFile::remove(incoming);
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(incoming.toStdU16String()), std::filesystem::path(to.toStdU16String()), ec);
    if (ec) {
        QFile::remove(incoming);
        return false;
    }
    return true;
}

// SQLite's unix file writes at most 128 KiB in one call.
constexpr int Chunk = 64 * 1024;

// The bytes of a file SQLite has open, read through its own file object
// (under the lock the caller holds), appended to out.
bool writeBytes(sqlite3_file *file, QFile &out)
{
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return false;
    QByteArray chunk;
    for (sqlite3_int64 at = 0; at < size; at += chunk.size()) {
        chunk.resize(qsizetype(std::min<sqlite3_int64>(size - at, Chunk)));
        if (file->pMethods->xRead(file, chunk.data(), int(chunk.size()), at) != SQLITE_OK || out.write(chunk) != chunk.size())
            return false;
    }
    return true;
}

// The open practice's file as it stands, byte for byte, into dest (an empty
// file), synced. Inside a read transaction of a file with a rollback
// journal no other connection can change a byte of it, and the copy keeps
// the key, the salt and the pages as they are: nothing is decrypted or
// encrypted again. False when the file keeps a write-ahead log (whose
// pages are not in the file) or cannot be read or written.
bool copyFileBytes(DbConnection &source, const QString &dest)
{
    if (source.scalarNative(QStringLiteral("PRAGMA journal_mode")).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0)
        return false;
    sqlite3_file *file = nullptr;
    if (sqlite3_file_control(source.handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
        return false;
    QFile out(dest);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || !writeBytes(file, out) || !out.flush())
        return false;
    return ::fsync(out.handle()) == 0;
}

// SQLite's exclusive lock on a file its key does not open (another key,
// or damage), taken through SQLite's own file object: SQLite's bookkeeping
// of this process's locks stays true, and reads and writes go through the
// same descriptor, so no closing of another one drops the lock.
class HeldFile {
public:
    HeldFile(const QString &path, int waitMs, const QString &inUse)
    {
        const QByteArray name = path.toUtf8();
        if (sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK
            || sqlite3_file_control(m_db, "main", SQLITE_FCNTL_FILE_POINTER, &m_file) != SQLITE_OK || !m_file
            || !m_file->pMethods) {
            sqlite3_close(m_db);
            throw DbError(QString::fromUtf8("Το αρχείο %1 δεν ανοίγει.").arg(native(path)));
        }
        // Shared, reserved, then exclusive once the readers have gone; the
        // pending lock taken on the way keeps new readers out meanwhile.
        int rc = SQLITE_OK;
        for (const int level : {SQLITE_LOCK_SHARED, SQLITE_LOCK_RESERVED, SQLITE_LOCK_EXCLUSIVE}) {
            for (int waited = 0;; waited += 50) {
                rc = m_file->pMethods->xLock(m_file, level);
                if (rc != SQLITE_BUSY || waited >= waitMs)
                    break;
                sqlite3_sleep(50);
            }
            if (rc != SQLITE_OK) {
                release();
                throw DbError(inUse);
            }
        }
    }
    ~HeldFile() { release(); }
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;

    // The whole file into a new file; false when it cannot be written.
    bool copyTo(const QString &dest) const
    {
        QFile out(dest);
        return out.open(QIODevice::NewOnly) && writeBytes(m_file, out) && out.flush();
    }

    // The file's bytes replaced by those of from, in place: every program
    // that has the file open reads the new bytes (after a rename it would
    // go on with the old file, and its writes would be lost).
    bool overwriteWith(const QString &from)
    {
        QFile in(from);
        if (!in.open(QIODevice::ReadOnly))
            return false;
        sqlite3_int64 at = 0;
        while (!in.atEnd()) {
            const QByteArray chunk = in.read(Chunk);
            if (chunk.isEmpty() || m_file->pMethods->xWrite(m_file, chunk.constData(), int(chunk.size()), at) != SQLITE_OK)
                return false;
            at += chunk.size();
        }
        return m_file->pMethods->xTruncate(m_file, at) == SQLITE_OK
            && m_file->pMethods->xSync(m_file, SQLITE_SYNC_FULL) == SQLITE_OK;
    }

private:
    void release()
    {
        if (m_file && m_file->pMethods)
            m_file->pMethods->xUnlock(m_file, SQLITE_LOCK_NONE);
        sqlite3_close(m_db);
        m_db = nullptr;
        m_file = nullptr;
    }

    sqlite3 *m_db = nullptr;
    sqlite3_file *m_file = nullptr;
};

// The copy of keys.dat inside a practice of users, empty for one of a single password.
QByteArray ringOf(DbConnection &source)
{
    if (source.onServer() || !QFileInfo::exists(KeyRing::fileIn(QFileInfo(source.fileName()).absolutePath())))
        return {};
    try {
        return source.scalarNative(QStringLiteral("SELECT PERIEXOMENO FROM KLEIDIA")).toString().toUtf8();
    } catch (const DbError &) {
        return {};   // a layout without users: what lies beside it was never this file's
    }
}

QString keyChangesFile(const QString &practiceDir)
{
    return QDir(Backup::folder(practiceDir)).absoluteFilePath(QStringLiteral("key-changes.txt"));
}

QString shownTime(const QDateTime &when) { return when.toString(QStringLiteral("dd/MM/yyyy HH:mm")); }

}   // namespace

namespace Backup {

QString folder(const QString &practiceDir)
{
    return QDir(practiceDir).absoluteFilePath(QStringLiteral("backups"));
}

QString automaticName(const QDateTime &when)
{
    return QStringLiteral("data-%1.mdb").arg(when.toString(QLatin1String(kStampFormat)));
}

QDateTime timeOfName(const QString &fileName)
{
    static const QRegularExpression re(QString::fromLatin1(kNamePattern));
    const auto m = re.match(fileName);
    if (!m.hasMatch())
        return QDateTime();
    return QDateTime::fromString(m.captured(1), QLatin1String(kStampFormat));
}

TableCounts countRows(DbConnection &conn)
{
    return Check::countRows(conn);
}

namespace {

// integrity_check in two halves: quick_check (every page read and
// authenticated, every b-tree, record and the free list), then the index
// check that stands for integrity_check's lookup of every row in every
// index, on pages by then in the cache. A file with an index that check
// does not read gets integrity_check itself.
QStringList checkWhole(DbConnection &conn)
{
    QStringList problems = integrityRows(conn, "quick_check");
    if (problems != QStringList{QStringLiteral("ok")})
        return problems;
    const std::optional<QStringList> indexes = IndexCheck::run(conn);
    if (!indexes)
        return integrityRows(conn);
    return indexes->isEmpty() ? QStringList{QStringLiteral("ok")} : *indexes;
}

TableCounts verifyOpened(const QString &path, const std::function<void(DbConnection &)> &open,
                         const std::function<void(DbConnection &)> &alsoRead)
{
    const QString shown = native(path);
    DbConnection conn;
    conn.setOneThreadOnly();
    conn.setBulkIo();
    conn.setCommandTimeout(5);
    try {
        open(conn);
    } catch (const DbError &e) {
        throw DbError(QString::fromUtf8("Το αντίγραφο %1 δεν ανοίγει: %2").arg(shown, e.message()), e.cause());
    }
    QStringList problems;
    TableCounts counts;
    try {
        // With the whole file in the cache each encrypted page is decrypted once.
        conn.executeNative(QStringLiteral("PRAGMA cache_size=-%1").arg(wholeFileCacheKib(path)));
        problems = checkWhole(conn);
        if (problems == QStringList{QStringLiteral("ok")}) {
            counts = countRows(conn);
            if (alsoRead)
                alsoRead(conn);
        }
    } catch (const DbError &e) {
        problems = QStringList{e.message()};
    }
    if (problems != QStringList{QStringLiteral("ok")}) {
        const QStringList firstFew = problems.mid(0, 5);
        throw DbError(QString::fromUtf8("Το αντίγραφο %1 είναι κατεστραμμένο: %2")
                          .arg(shown, firstFew.join(QStringLiteral("; "))));
    }
    return counts;
}

}   // namespace

TableCounts verifyFile(const QString &path, const ConnectionInfo &credentials, const std::function<void(DbConnection &)> &alsoRead)
{
    return verifyOpened(
        path, [&](DbConnection &conn) { conn.openFile(path, credentials); }, alsoRead);
}

TableCounts verifyFile(const QString &path, const QByteArray &rawKey, const std::function<void(DbConnection &)> &alsoRead)
{
    return verifyOpened(
        path,
        [&](DbConnection &conn) {
            conn.setRawKey(rawKey);
            conn.openFile(path, ConnectionInfo{});
        },
        alsoRead);
}

void setBeforeVerifyHook(std::function<void(const QString &path)> hook) { beforeVerifyHook() = std::move(hook); }

TableCounts makeVerified(DbConnection &source, const QString &dest)
{
    const QString shown = native(dest);
    if (QFileInfo::exists(dest))
        throw DbError(QString::fromUtf8("Το αρχείο %1 υπάρχει ήδη.").arg(shown));
    const QFileInfo destInfo(dest);
    if (!QDir().mkpath(destInfo.absolutePath()))
        throw DbError(QString::fromUtf8("Ο φάκελος %1 δεν μπορεί να δημιουργηθεί.").arg(native(destInfo.absolutePath())));

    // Written under a temporary name, so that no unverified file ever
    // carries a backup's name.
    const QString part = dest + QStringLiteral(".part");
    const auto held = lockPart(part);
    if (!held)
        throw DbError(QString::fromUtf8("Το αντίγραφο %1 γράφεται ήδη από άλλο πρόγραμμα.").arg(shown));
    QFile::remove(part);
    {
        QFile f(part);
        if (!f.open(QIODevice::WriteOnly))
            throw DbError(QString::fromUtf8("Το αρχείο %1 δεν μπορεί να γραφτεί: %2").arg(native(part), f.errorString()));
    }
    auto discard = [&] {
        QFile::remove(part);
        QFile::remove(part + QStringLiteral("-journal"));
    };

    TableCounts expected;
    QByteArray ringText;
    try {
        // One read transaction holds the source still: the bytes copied and
        // the counts are of the same moment, whatever other connections do.
        // With the whole file in the cache the counts read the pages the
        // online backup (of a file with a write-ahead log) has decrypted.
        {
            CacheForWholeFile cache(source, source.fileName());
            ReadSnapshot snapshot(source);
            if (!copyFileBytes(source, part)) {
                discard();
                DbConnection target;
                target.createFile(part, source.credentials());
                copyPages(source.handle(), target.handle(), QString::fromUtf8("Η αντιγραφή απέτυχε"));
            }
            expected = countRows(source);
            ringText = ringOf(source);
        }
        if (beforeVerifyHook())
            beforeVerifyHook()(part);

        const TableCounts got = verifyFile(part, source.credentials());
        if (got != expected)
            throw DbError(QString::fromUtf8("Το αντίγραφο δεν έχει τις γραμμές της βάσης (%1).").arg(describeCounts(expected, got)));
    } catch (...) {
        discard();
        throw;
    }
    // The wraps of the copy's moment go beside it before it takes its name.
    if (!ringText.isEmpty() && !KeyRing::writeAtomically(KeyRing::besideCopy(dest), ringText)) {
        discard();
        throw DbError(QString::fromUtf8("Τα κλειδιά του αντιγράφου %1 δεν γράφονται.").arg(shown));
    }
    if (!QFile::rename(part, dest)) {
        discard();
        throw DbError(QString::fromUtf8("Το αντίγραφο δεν μπορεί να πάρει το όνομα %1.").arg(shown));
    }
    QFile::remove(part + QStringLiteral("-journal"));
    return expected;
}

QString makeAutomatic(DbConnection &source, const QString &practiceDir, TableCounts *counts)
{
    const QString dir = folder(practiceDir);
    QDateTime when = Clock::now();
    QString dest = QDir(dir).absoluteFilePath(automaticName(when));
    // Two copies within one second: the second takes the next free second.
    for (int i = 0; i < 60 && (QFileInfo::exists(dest) || QFileInfo::exists(dest + QStringLiteral(".part"))); ++i) {
        when = when.addSecs(1);
        dest = QDir(dir).absoluteFilePath(automaticName(when));
    }
    const TableCounts copied = makeVerified(source, dest);
    if (counts)
        *counts = copied;
    rotate(dir);
    return dest;
}

QStringList rotate(const QString &dir)
{
    struct Copy {
        QString path;
        QDateTime when;
    };
    std::vector<Copy> copies;
    const QDir d(dir);
    for (const QString &name : d.entryList({QStringLiteral("data-*.mdb")}, QDir::Files)) {
        const QDateTime when = timeOfName(name);
        if (when.isValid())
            copies.push_back({d.absoluteFilePath(name), when});
    }
    std::sort(copies.begin(), copies.end(), [](const Copy &a, const Copy &b) { return a.when > b.when; });

    // Newest first: the first copy of each period is that period's keeper.
    QSet<QString> keep;
    auto keepPerPeriod = [&](int periods, auto periodOf) {
        QSet<qint64> seen;
        for (const Copy &c : copies) {
            const qint64 p = periodOf(c.when.date());
            if (seen.contains(p))
                continue;
            if (seen.size() == periods)
                break;
            seen.insert(p);
            keep.insert(c.path);
        }
    };
    keepPerPeriod(7, [](const QDate &day) { return day.toJulianDay(); });
    keepPerPeriod(5, [](const QDate &day) {
        int year = 0;
        const int week = day.weekNumber(&year);
        return qint64(year) * 100 + week;
    });
    keepPerPeriod(12, [](const QDate &day) { return qint64(day.year()) * 100 + day.month(); });

    QStringList removed;
    for (const Copy &c : copies) {
        if (!keep.contains(c.path) && QFile::remove(c.path)) {
            removed << c.path;
            QFile::remove(KeyRing::besideCopy(c.path));
        }
    }
    removed << removeLeftovers(dir);
    return removed;
}

QStringList removeLeftovers(const QString &dir)
{
    const QDir d(dir);
    QSet<QString> parts;
    static const QRegularExpression partOf(QStringLiteral("^(data-.*\\.mdb\\.part)(-journal|\\.lock)?$"));
    for (const QString &name : d.entryList({QStringLiteral("data-*.mdb.part*")}, QDir::Files | QDir::Hidden)) {
        const auto m = partOf.match(name);
        if (m.hasMatch())
            parts.insert(d.absoluteFilePath(m.captured(1)));
    }
    QStringList removed;
    for (const QString &part : parts) {
        const auto held = lockPart(part);
        if (!held)
            continue;   // still being written
        for (const QString &file : {part, part + QStringLiteral("-journal")}) {
            if (QFile::remove(file))
                removed << file;
        }
    }
    return removed;
}

QString newest(const QString &practiceDir)
{
    const QDir d(folder(practiceDir));
    QString best;
    QDateTime bestTime;
    for (const QString &name : d.entryList({QStringLiteral("data-*.mdb")}, QDir::Files)) {
        const QDateTime when = timeOfName(name);
        if (when.isValid() && (!bestTime.isValid() || when > bestTime)) {
            bestTime = when;
            best = d.absoluteFilePath(name);
        }
    }
    return best;
}

QDateTime madeAt(const QString &path)
{
    const QDateTime named = timeOfName(QFileInfo(path).fileName());
    return named.isValid() ? named : QFileInfo(path).lastModified();
}

bool noteKeyChange(const QString &practiceDir, const QDateTime &when)
{
    if (!QDir().mkpath(folder(practiceDir)))
        return false;
    QFile f(keyChangesFile(practiceDir));
    if (!f.open(QIODevice::Append | QIODevice::Text))
        return false;
    const QByteArray line = when.toString(Qt::ISODate).toLatin1() + '\n';
    return f.write(line) == line.size() && f.flush();
}

QList<QDateTime> keyChanges(const QString &practiceDir)
{
    QList<QDateTime> changes;
    QFile f(keyChangesFile(practiceDir));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return changes;
    while (!f.atEnd()) {
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(f.readLine().trimmed()), Qt::ISODate);
        if (when.isValid())
            changes << when;
    }
    std::sort(changes.begin(), changes.end());
    return changes;
}

QString passwordHint(const QString &practiceDir, const QString &copy)
{
    const QDateTime made = madeAt(copy);
    QString hint = QString::fromUtf8("Το αντίγραφο αυτό ανοίγει με τον κωδικό που ίσχυε στις %1").arg(shownTime(made));
    for (const QDateTime &change : keyChanges(practiceDir)) {
        if (change > made) {
            hint += QString::fromUtf8(", πριν αλλάξει ο κωδικός στις %1").arg(shownTime(change));
            break;
        }
    }
    return hint + QLatin1Char('.');
}

bool dueToday(const QString &practiceDir, const QDateTime &now)
{
    const QString last = newest(practiceDir);
    if (last.isEmpty())
        return true;
    const QDateTime made = timeOfName(QFileInfo(last).fileName());
    if (made.date() != now.date())
        return true;
    const QList<QDateTime> changes = keyChanges(practiceDir);
    return !changes.isEmpty() && changes.last() > made;
}

QString newestVerified(const QString &practiceDir, const ConnectionInfo &credentials, QString *otherPassword)
{
    const QDir d(folder(practiceDir));
    for (const QString &name : d.entryList({QStringLiteral("data-*.mdb")}, QDir::Files, QDir::Name | QDir::Reversed)) {
        if (!timeOfName(name).isValid())
            continue;
        try {
            verifyFile(d.absoluteFilePath(name), credentials);
            return d.absoluteFilePath(name);
        } catch (const DbError &e) {
            if (otherPassword && otherPassword->isEmpty() && e.cause() == DbError::Cause::WrongPassword)
                *otherPassword = d.absoluteFilePath(name);
        }
    }
    return QString();
}

QString restore(const ConnectionInfo &credentials, const QString &backupPath)
{
    const QString live = credentials.dataSource;
    if (QFileInfo(backupPath).canonicalFilePath() == QFileInfo(live).canonicalFilePath())
        throw DbError(QString::fromUtf8("Το αντίγραφο είναι το ίδιο το αρχείο της βάσης."));
    const TableCounts counts = verifyFile(backupPath, credentials);

    QString kept = live + QStringLiteral(".before-restore-") + Clock::now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int i = 2; QFileInfo::exists(kept); ++i)
        kept = live + QStringLiteral(".before-restore-%1-%2").arg(Clock::now().toString(QStringLiteral("yyyyMMdd-HHmmss"))).arg(i);
    const QString inUse = QString::fromUtf8("Η βάση %1 χρησιμοποιείται από άλλο πρόγραμμα· κλείστε το και δοκιμάστε ξανά.").arg(native(live));

    DbConnection current;
    current.setCommandTimeout(3);
    bool readable = true;
    bool otherKey = false;
    if (QFileInfo::exists(live)) {
        try {
            current.openFile(live, credentials);
        } catch (const DbError &e) {
            if (e.cause() == DbError::Cause::InUse)
                throw DbError(inUse);
            readable = false;
            otherKey = e.cause() == DbError::Cause::WrongPassword;
        }
    } else {
        readable = false;
    }

    if (readable) {
        // Opened before the lock is taken and closed after it is given up:
        // closing a handle on the file would drop the lock (POSIX locks
        // belong to the process, not to the handle).
        QFile currentBytes(live);
        if (!currentBytes.open(QIODevice::ReadOnly))
            throw DbError(QString::fromUtf8("Το αρχείο %1 δεν διαβάζεται: %2").arg(native(live), currentBytes.errorString()));
        // The exclusive lock is taken once and kept until the connection
        // closes: nobody writes between keeping the current file and
        // putting the backup in its place.
        try {
            current.executeNative(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
            current.executeNative(QStringLiteral("BEGIN EXCLUSIVE"));
            current.executeNative(QStringLiteral("COMMIT"));
        } catch (const DbError &) {
            throw DbError(inUse);
        }
        {
            QFile keep(kept);
            bool copied = keep.open(QIODevice::NewOnly);
            qint64 total = 0;
            while (copied && !currentBytes.atEnd()) {
                const QByteArray chunk = currentBytes.read(1 << 20);
                copied = !chunk.isEmpty() && keep.write(chunk) == chunk.size();
                total += chunk.size();
            }
            if (!copied || !keep.flush() || total != QFileInfo(live).size()) {
                keep.close();
                QFile::remove(kept);
                throw DbError(QString::fromUtf8("Το τρέχον αρχείο δεν μπορεί να φυλαχτεί ως %1.").arg(native(kept)));
            }
        }
        try {
            DbConnection from;
            from.openFile(backupPath, credentials);
            copyPages(from.handle(), current.handle(), QString::fromUtf8("Η επαναφορά απέτυχε"));
        } catch (const DbError &) {
            // A damaged page of the current file cannot be read back into
            // the journal: the copy then replaces the file whole, still
            // under the lock, and the damaged file is the one kept.
            if (!replaceWhole(backupPath, live)) {
                current.close();
                QFile::remove(kept);
                throw;
            }
        }
        current.close();
    } else if (QFileInfo::exists(live)) {
        // A file these credentials cannot read may still be in use under
        // its own key (another workstation, with the password of before):
        // it is held exclusively all the same, kept, and overwritten in place.
        HeldFile held(live, 3000, inUse);
        if (!held.copyTo(kept)) {
            QFile::remove(kept);
            throw DbError(QString::fromUtf8("Το τρέχον αρχείο δεν μπορεί να φυλαχτεί ως %1.").arg(native(kept)));
        }
        // A journal left by a writer that died belongs to the file kept:
        // rolled back into the copy put in place it would spoil it.
        const QString journal = live + QStringLiteral("-journal");
        if (QFileInfo(journal).size() > 0)
            QFile::rename(journal, kept + QStringLiteral("-journal"));
        if (!held.overwriteWith(backupPath)) {
            // The file may be half written: the kept bytes go back.
            held.overwriteWith(kept);
            QFile::rename(kept + QStringLiteral("-journal"), journal);
            QFile::remove(kept);
            throw DbError(QString::fromUtf8("Η επαναφορά απέτυχε· το αρχείο %1 έμεινε όπως ήταν.").arg(native(live)));
        }
        if (otherKey)
            noteKeyChange(QFileInfo(live).absolutePath(), Clock::now());
    } else {
        kept.clear();
        if (!replaceWhole(backupPath, live))
            throw DbError(inUse);
    }

    // What is in place now must be what was verified.
    const TableCounts after = verifyFile(live, credentials);
    if (after != counts)
        throw DbError(QString::fromUtf8("Η βάση μετά την επαναφορά διαφέρει από το αντίγραφο (%1).").arg(describeCounts(counts, after)));
    // The users of the copy's moment come back with it. A copy without
    // them is of the one shared password, which opens it as before.
    if (const QByteArray ring = KeyRing::readFile(KeyRing::besideCopy(backupPath)); !ring.isEmpty()) {
        const QString keys = KeyRing::fileIn(QFileInfo(live).absolutePath());
        if (!kept.isEmpty())
            KeyRing::writeAtomically(KeyRing::besideCopy(kept), KeyRing::readFile(keys));
        KeyRing::writeAtomically(keys, ring);
    }
    return kept;
}
}
