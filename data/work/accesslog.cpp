#include "data/work/accesslog.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/writegate.h"
#include <QCryptographicHash>
#include <QHash>
#include <QMutex>
#include <QSysInfo>
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
    e.time = Clock::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    e.user = user();
    e.workstation = QSysInfo::machineHostName();
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
    list = before ? entries + list : list + entries;
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
    for (Entry &e : entries) {
        e.position = ++position;
        e.hash = chainHash(previous, e);
        previous = e.hash;
        conn.executeNative(QStringLiteral("INSERT INTO %1 (%2) VALUES (?,?,?,?,?,?,?,?)").arg(Table, Columns),
                           {e.position, e.time, e.user, e.workstation, e.action, e.customerId > 0 ? QVariant(e.customerId) : QVariant(),
                            e.detail, e.hash});
    }
    if (tx)
        tx->commit();
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

qsizetype pending()
{
    QMutexLocker lock(&userLock);
    qsizetype n = 0;
    for (const QList<Entry> &list : std::as_const(waiting))
        n += list.size();
    return n;
}

QList<Entry> entries(DbConnection &conn, const Filter &filter)
{
    QStringList where;
    QVariantList params;
    if (filter.customerId > 0) {
        where << QStringLiteral("PELATHS=?");
        params << filter.customerId;
    }
    if (!filter.user.isEmpty()) {
        where << QStringLiteral("XRHSTHS=?");
        params << filter.user;
    }
    if (filter.from.isValid()) {
        where << QStringLiteral("XRONOS>=?");
        params << filter.from.toString(Qt::ISODate);
    }
    if (filter.to.isValid()) {
        where << QStringLiteral("XRONOS<?");
        params << filter.to.addDays(1).toString(Qt::ISODate);
    }
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(Columns, Table);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    DbStatement s(conn, sql + QStringLiteral(" ORDER BY AA"));
    s.bindAll(params);
    QList<Entry> list;
    while (s.step())
        list << readEntry(s);
    return list;
}

Verdict verify(DbConnection &conn)
{
    Verdict v;
    DbStatement s(conn, QStringLiteral("SELECT %1 FROM %2 ORDER BY AA").arg(Columns, Table));
    QString previous;
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
    }
    return v;
}

}   // namespace AccessLog
