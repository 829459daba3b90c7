#include "data/work/accesslog.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/practicekey.h"
#include "data/db/writegate.h"
#include "data/practice/session.h"
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QSaveFile>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <optional>
#include <utility>

namespace {

const QString Table = QStringLiteral("HMEROLOGIO_PROSVASEWN");
const QString Columns = QStringLiteral("AA,XRONOS,XRHSTHS,STATHMOS,ENERGEIA,PELATHS,LEPTOMEREIES,HASH");
// The key of the server's lock that lets one workstation append at a time.
constexpr qint64 ServerLockKey = 0x4d6f6c4c6f67;

struct Names {
    AccessLog::Action action;
    const char *code;
    const char *label;
};
constexpr Names names[] = {
    {AccessLog::Action::SignIn, "SIGNIN", "Σύνδεση"},
    {AccessLog::Action::FailedSignIn, "SIGNIN_FAILED", "Αποτυχημένη σύνδεση"},
    {AccessLog::Action::Open, "OPEN", "Άνοιγμα"},
    {AccessLog::Action::Print, "PRINT", "Εκτύπωση"},
    {AccessLog::Action::Change, "CHANGE", "Αλλαγή"},
    {AccessLog::Action::Delete, "DELETE", "Διαγραφή"},
    {AccessLog::Action::Export, "EXPORT", "Εξαγωγή"},
    {AccessLog::Action::Backup, "BACKUP", "Αντίγραφο ασφαλείας"},
    {AccessLog::Action::Restore, "RESTORE", "Επαναφορά"},
    {AccessLog::Action::UserChange, "USER", "Αλλαγή χρήστη"},
    {AccessLog::Action::ReceiptNumbering, "NUMBERING", "Αλλαγή αρίθμησης αποδείξεων"},
};

QMutex userLock;   // the user's name and the waiting entries
// Entries waiting for their practice to take writes, by practice.
QHash<QString, QList<AccessLog::Entry>> waiting;
bool writePosted = false;   // a write of the waiting entries is queued on the event loop
// The connection of the window whose entry waits, by practice: the queued
// write goes through it while it is still open, rather than opening the
// file again (its key, its schema, its memory) for one row.
struct Via {
    DbConnection *conn = nullptr;
    quint64 opening = 0;
    QThread *thread = nullptr;
};
QHash<QString, Via> vias;
QString &signedInUser()
{
    static QString name;
    return name;
}

void addField(QCryptographicHash &h, const QByteArray &bytes)
{
    char size[4];
    qToBigEndian(quint32(bytes.size()), size);
    h.addData(QByteArrayView(size, 4));
    h.addData(bytes);
}

AccessLog::Entry readEntry(const DbStatement &s)
{
    AccessLog::Entry e;
    e.position = s.columnValue(0).toLongLong();
    e.time = s.columnValue(1).toString();
    e.user = s.columnValue(2).toString();
    e.workstation = s.columnValue(3).toString();
    e.action = s.columnValue(4).toString();
    e.customerId = s.columnValue(5).toLongLong();
    e.detail = s.columnValue(6).toString();
    e.hash = s.columnValue(7).toString();
    return e;
}

// The seal: the newest entry's position and hash, in a file beside a
// practice file under a MAC keyed by the file's key, or in a server
// practice's folder on the workstation. Whoever edits the table
// with another tool and cuts off the newest entries leaves the seal naming
// an entry that is gone; the program never moves the seal back over a gap.
struct Seal {
    qint64 count = 0;
    QString hash;
    bool authentic = false;
};

// The practice folders of servers opened from a folder other than the session's.
QHash<QString, QString> &serverFolders()
{
    static QHash<QString, QString> folders;
    return folders;
}

// Beside the practice file; for a server, in the practice folder on this
// workstation (empty when the connection names no folder).
QString sealFile(const DbConnection &conn)
{
    const QString name = QStringLiteral("HMEROLOGIO.seal");
    if (!conn.onServer())
        return QFileInfo(conn.fileName()).absoluteDir().filePath(name);
    QString folder;
    {
        QMutexLocker lock(&userLock);
        folder = serverFolders().value(conn.connectionString());
    }
    if (folder.isEmpty() && conn.connectionString() == Session::current().connectionString())
        folder = Session::current().folder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(name);
}

// On a server the session holds no key: the seal there carries none, and
// guards against entries cut off by whoever cannot write this folder.
QByteArray sealMac(const DbConnection &conn, qint64 count, const QString &hash)
{
    if (conn.onServer())
        return QByteArrayLiteral("-");
    QByteArray key = Session::current().fileKey();
    if (key.isEmpty())
        return {};
    const QByteArray mac = QMessageAuthenticationCode::hash(
        "HMEROLOGIO_PROSVASEWN\n" + QByteArray::number(count) + '\n' + hash.toLatin1(), key, QCryptographicHash::Sha256);
    PracticeKey::wipe(key);
    return mac.toHex();
}

// The seal; nullopt when none was written.
std::optional<Seal> readSeal(const DbConnection &conn)
{
    const QString file = sealFile(conn);
    if (file.isEmpty())
        return std::nullopt;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> parts = f.readAll().trimmed().split(' ');
    Seal seal;
    if (parts.size() == 3) {
        seal.count = parts[0].toLongLong();
        seal.hash = QString::fromLatin1(parts[1]);
        const QByteArray mac = sealMac(conn, seal.count, seal.hash);
        seal.authentic = !mac.isEmpty() && mac == parts[2];
    }
    return seal;
}

void writeSeal(const DbConnection &conn, qint64 count, const QString &hash)
{
    const QByteArray mac = sealMac(conn, count, hash);
    const QString file = sealFile(conn);
    if (file.isEmpty() || mac.isEmpty())
        return;
    QSaveFile f(file);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(QByteArray::number(count) + ' ' + hash.toLatin1() + ' ' + mac + '\n');
        f.commit();
    }
}

}   // namespace

namespace AccessLog {

QString code(Action action)
{
    for (const Names &n : names)
        if (n.action == action)
            return QString::fromLatin1(n.code);
    return {};
}

QString label(Action action)
{
    for (const Names &n : names)
        if (n.action == action)
            return QString::fromUtf8(n.label);
    return {};
}

QString labelOfCode(const QString &stored)
{
    for (const Names &n : names)
        if (stored == QLatin1String(n.code))
            return QString::fromUtf8(n.label);
    return stored;
}

void setUser(const QString &name)
{
    QMutexLocker lock(&userLock);
    signedInUser() = name;
}

QString user()
{
    QMutexLocker lock(&userLock);
    return signedInUser();
}

void sealServerIn(const QString &connectionString, const QString &folder)
{
    QMutexLocker lock(&userLock);
    serverFolders().insert(connectionString, folder);
}

QString chainHash(const QString &previousHex, const Entry &e)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    const QByteArray previous = previousHex.isEmpty() ? QByteArray(32, '\0') : QByteArray::fromHex(previousHex.toLatin1());
    h.addData(previous);
    addField(h, QByteArray::number(e.position));
    addField(h, e.time.toUtf8());
    addField(h, e.user.toUtf8());
    addField(h, e.workstation.toUtf8());
    addField(h, e.action.toUtf8());
    addField(h, e.customerId > 0 ? QByteArray::number(e.customerId) : QByteArray());
    addField(h, e.detail.toUtf8());
    return QString::fromLatin1(h.result().toHex());
}

namespace {

Entry make(Action action, qint64 customerId, const QString &detail)
{
    Entry e;
    e.time = Clock::stamp();
    e.user = user();
    // The machine's name once: asking the system at every entry costs more
    // than the rest of the entry.
    static const QString workstation = QSysInfo::machineHostName();
    e.workstation = workstation;
    e.action = code(action);
    e.customerId = customerId > 0 ? customerId : 0;
    e.detail = detail;
    return e;
}

QString practiceOf(const DbConnection &conn) { return conn.connectionString(); }

// New entries wait after those already waiting; entries that failed to go
// in go back before them.
void wait(const DbConnection &conn, const QList<Entry> &entries, bool before = false)
{
    QMutexLocker lock(&userLock);
    QList<Entry> &list = waiting[practiceOf(conn)];
    if (before)
        list = entries + list;
    else
        list.append(entries);
}

QString hashAt(DbConnection &conn, qint64 position)
{
    DbStatement s(conn, QStringLiteral("SELECT HASH FROM %1 WHERE AA=?").arg(Table));
    s.bindAll({position});
    return s.step() ? s.columnValue(0).toString() : QString();
}

// Appends the entries in order, chained to the last one stored.
void append(DbConnection &conn, QList<Entry> entries)
{
    std::optional<DbTransaction> tx;
    if (!conn.inTransaction())
        tx.emplace(conn);
    // The file's unit of work already holds its write lock; a server's
    // workstations wait for each other here until the unit ends.
    if (conn.onServer())
        conn.scalarNative(QStringLiteral("SELECT 1 FROM pg_advisory_xact_lock(%1)").arg(ServerLockKey));
    qint64 position = 0;
    QString previous;
    {
        DbStatement last(conn, QStringLiteral("SELECT AA,HASH FROM %1 ORDER BY AA DESC LIMIT 1").arg(Table));
        if (last.step()) {
            position = last.columnValue(0).toLongLong();
            previous = last.columnValue(1).toString();
        }
    }
    // The seal moves on only from the entry it names: over a gap it stays,
    // for the check to find.
    const std::optional<Seal> seal = readSeal(conn);
    const bool sealHolds = !seal || (seal->authentic && seal->count <= position && (seal->count == position ? seal->hash == previous : hashAt(conn, seal->count) == seal->hash));
    for (Entry &e : entries) {
        e.position = ++position;
        e.hash = chainHash(previous, e);
        previous = e.hash;
        conn.executeNative(QStringLiteral("INSERT INTO %1 (%2) VALUES (?,?,?,?,?,?,?,?)").arg(Table, Columns),
                           {e.position, e.time, e.user, e.workstation, e.action, e.customerId > 0 ? QVariant(e.customerId) : QVariant(),
                            e.detail, e.hash});
    }
    if (!tx)
        return;
    tx->commit();
    if (sealHolds)
        writeSeal(conn, position, previous);
}

QList<Entry> takeWaiting(const DbConnection &conn)
{
    QMutexLocker lock(&userLock);
    return waiting.take(practiceOf(conn));
}

bool takesWrites(const DbConnection &conn)
{
    return conn.onServer() || WriteGate::state(conn.fileName()) == WriteGate::State::Open;
}

}   // namespace

void record(DbConnection &conn, Action action, qint64 customerId, const QString &detail)
{
    const Entry e = make(action, customerId, detail);
    if (!takesWrites(conn)) {
        wait(conn, {e});
        return;
    }
    const QList<Entry> entries = takeWaiting(conn) << e;
    try {
        append(conn, entries);
    } catch (...) {
        wait(conn, entries.mid(0, entries.size() - 1), true);
        throw;
    }
}

void recordReading(DbConnection &conn, Action action, qint64 customerId, const QString &detail)
{
    const Entry e = make(action, customerId, detail);
    if (!conn.isOpen() || !takesWrites(conn)) {
        wait(conn, {e});
        return;
    }
    const QList<Entry> entries = takeWaiting(conn) << e;
    try {
        append(conn, entries);
    } catch (const DbError &) {
        wait(conn, entries, true);
    }
}

namespace {

// Runs the write of the waiting entries once the event loop is back. On the
// program's own thread a zero timer, kept for it, does so without waking the
// loop through the system, which posting an event costs at every opening.
void postWrite(QCoreApplication *app)
{
    const auto write = [] {
        {
            QMutexLocker lock(&userLock);
            writePosted = false;
        }
        writeWaiting();
    };
    if (QThread::currentThread() != app->thread()) {
        QMetaObject::invokeMethod(app, write, Qt::QueuedConnection);
        return;
    }
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(app);
        timer->setSingleShot(true);
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, app, write);
    }
    timer->start();
}

}   // namespace

void recordLater(DbConnection &conn, Action action, qint64 customerId, const QString &detail)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        recordReading(conn, action, customerId, detail);
        return;
    }
    Entry e = make(action, customerId, detail);
    {
        QMutexLocker lock(&userLock);
        const QString practice = practiceOf(conn);
        waiting[practice].append(std::move(e));
        if (conn.opening() != 0)
            vias.insert(practice, Via{&conn, conn.opening(), QThread::currentThread()});
        if (std::exchange(writePosted, true))
            return;
    }
    postWrite(app);
}

void watch(DataSet &ds, Action change, qint64 customerId, const QString &detail)
{
    const QString name = QStringLiteral("AccessLogWatch");
    delete ds.findChild<QObject *>(name, Qt::FindDirectChildrenOnly);
    auto *watcher = new QObject(&ds);
    watcher->setObjectName(name);
    DataSet *set = &ds;
    QObject::connect(&ds, &DataSet::afterPost, watcher, [set, change, customerId, detail] {
        if (DbConnection *conn = set->connection())
            recordReading(*conn, change, customerId, detail);   // the row is stored already: never a failure
    });
    QObject::connect(&ds, &DataSet::afterDelete, watcher, [set, customerId, detail] {
        if (DbConnection *conn = set->connection())
            recordReading(*conn, Action::Delete, customerId, detail);
    });
}

qsizetype writeWaiting()
{
    QStringList practices;
    {
        QMutexLocker lock(&userLock);
        practices = waiting.keys();
    }
    // Entries that fail to go in go back to wait.
    const auto writeThrough = [](DbConnection &conn) {
        if (!takesWrites(conn))
            return;
        const QList<Entry> entries = takeWaiting(conn);
        try {
            if (!entries.isEmpty())
                append(conn, entries);
        } catch (const DbError &) {
            wait(conn, entries, true);
        }
    };
    for (const QString &practice : std::as_const(practices)) {
        Via via;
        {
            QMutexLocker lock(&userLock);
            via = vias.take(practice);
        }
        // A window's connection in the middle of its own unit of work is
        // left alone: the entry would stand or fall with that unit. A write
        // that failed through the window's connection is not tried again
        // at once through another: the same lock would be waited for twice.
        if (via.thread == QThread::currentThread() && DbConnection::stillOpen(via.conn, via.opening)
            && !via.conn->inTransaction()) {
            writeThrough(*via.conn);
            continue;
        }
        try {
            DbConnection conn;
            conn.setConnectionString(practice);
            conn.open();
            writeThrough(conn);
        } catch (const DbError &) {
        }
    }
    return pending();
}

qsizetype pending()
{
    QMutexLocker lock(&userLock);
    qsizetype n = 0;
    for (const QList<Entry> &list : std::as_const(waiting))
        n += list.size();
    return n;
}

namespace {

QString quoted(QString text) { return u'\'' + text.replace(u'\'', QStringLiteral("''")) + u'\''; }

// The filter as a condition on the table's columns (prefix: the table's
// alias and a dot, or empty); the values stand in the text, as a data set
// takes no parameters.
QString whereOf(const Filter &filter, const QString &prefix)
{
    QStringList where;
    if (filter.customerId > 0)
        where << QStringLiteral("%1PELATHS=%2").arg(prefix).arg(filter.customerId);
    if (!filter.user.isEmpty())
        where << QStringLiteral("%1XRHSTHS=%2").arg(prefix, quoted(filter.user));
    if (filter.from.isValid())
        where << QStringLiteral("%1XRONOS>=%2").arg(prefix, quoted(filter.from.toString(Qt::ISODate)));
    if (filter.to.isValid())
        where << QStringLiteral("%1XRONOS<%2").arg(prefix, quoted(filter.to.addDays(1).toString(Qt::ISODate)));
    return where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
}

}   // namespace

QList<Entry> entries(DbConnection &conn, const Filter &filter)
{
    DbStatement s(conn, QStringLiteral("SELECT %1 FROM %2").arg(Columns, Table) + whereOf(filter, QString()) + QStringLiteral(" ORDER BY AA"));
    QList<Entry> list;
    while (s.step())
        list << readEntry(s);
    return list;
}

void openEntries(DataSet &ds, const Filter &filter)
{
    QString action = QStringLiteral("CASE h.ENERGEIA");
    for (const Names &n : names)
        action += QStringLiteral(" WHEN '%1' THEN '%2'").arg(QLatin1String(n.code), QString::fromUtf8(n.label));
    action += QStringLiteral(" ELSE h.ENERGEIA END");
    ds.close();
    ds.setSql(QStringLiteral("SELECT h.AA AS AA, h.XRONOS AS XRONOS, h.XRHSTHS AS XRHSTHS, h.STATHMOS AS STATHMOS, %1 AS ENERGEIA,"
                             " h.PELATHS AS PELATHS, p.EPWNYMO AS EPWNYMO, p.ONOMA AS ONOMA, h.LEPTOMEREIES AS LEPTOMEREIES"
                             " FROM %2 h LEFT JOIN STOIXEIA_PELATH p ON p.ID=h.PELATHS")
                  .arg(action, Table)
              + whereOf(filter, QStringLiteral("h.")) + QStringLiteral(" ORDER BY h.AA"));
    ds.open();
}

Verdict verify(DbConnection &conn)
{
    Verdict v;
    const std::optional<Seal> seal = readSeal(conn);
    DbStatement s(conn, QStringLiteral("SELECT %1 FROM %2 ORDER BY AA").arg(Columns, Table));
    QString previous, sealed;
    while (s.step()) {
        const Entry e = readEntry(s);
        ++v.count;
        if (e.position != v.count) {
            v.firstBad = v.count;
            v.reason = QStringLiteral("Η εγγραφή στη θέση %1 λείπει ή μετακινήθηκε.").arg(v.count);
            return v;
        }
        if (chainHash(previous, e) != e.hash) {
            v.firstBad = v.count;
            v.reason = QStringLiteral("Η εγγραφή στη θέση %1 άλλαξε ή μετακινήθηκε.").arg(v.count);
            return v;
        }
        previous = e.hash;
        if (seal && v.count == seal->count)
            sealed = e.hash;
    }
    if (!seal)
        return v;
    if (!seal->authentic) {
        v.firstBad = v.count + 1;
        v.reason = QStringLiteral("Το σημάδι των νεότερων εγγραφών (HMEROLOGIO.seal) άλλαξε ή δεν διαβάζεται· "
                                  "νεότερες εγγραφές μπορεί να λείπουν μετά τη θέση %1.")
                       .arg(v.count);
    } else if (seal->count > v.count) {
        v.firstBad = v.count + 1;
        v.reason = QStringLiteral("Λείπουν οι νεότερες εγγραφές, από τη θέση %1 έως τη θέση %2.").arg(v.count + 1).arg(seal->count);
    } else if (seal->count > 0 && sealed != seal->hash) {
        v.firstBad = seal->count;
        v.reason = QStringLiteral("Η εγγραφή στη θέση %1 άλλαξε ή μετακινήθηκε.").arg(seal->count);
    }
    return v;
}

void resealAfterRestore(DbConnection &conn)
{
    DbStatement last(conn, QStringLiteral("SELECT AA,HASH FROM %1 ORDER BY AA DESC LIMIT 1").arg(Table));
    if (last.step())
        writeSeal(conn, last.columnValue(0).toLongLong(), last.columnValue(1).toString());
    else if (const QString file = sealFile(conn); !file.isEmpty())
        QFile::remove(file);
}

}   // namespace AccessLog
