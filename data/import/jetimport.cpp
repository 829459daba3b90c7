#include "data/import/jetimport.h"
#include "data/db/helpers.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/practice/schema.h"
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QProcess>
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mdbtools.h>
#include <sqlite3.h>
#include <vector>

namespace JetImport {

// Jet keeps a date as days since 30/12/1899; the fraction is the time of
// day, and before 1899 the whole part is negative while the time still
// counts forward from midnight.
bool jetDateText(double v, QString *out)
{
    if (!std::isfinite(v) || v < -657434.0 || v >= 2958466.0)   // 1/1/100 .. 31/12/9999
        return false;
    double whole = std::trunc(v);
    qint64 seconds = qint64(std::llround(std::fabs(v - whole) * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += v < 0 ? -1 : 1;
    }
    const QDate day = QDate(1899, 12, 30).addDays(qint64(whole));
    if (!day.isValid() || day.year() < 100 || day.year() > 9999)
        return false;
    QString text = QStringLiteral("%1-%2-%3").arg(day.year(), 4, 10, QLatin1Char('0')).arg(day.month(), 2, 10, QLatin1Char('0')).arg(day.day(), 2, 10, QLatin1Char('0'));
    if (seconds != 0)
        text += QStringLiteral(" %1:%2:%3").arg(seconds / 3600, 2, 10, QLatin1Char('0')).arg((seconds / 60) % 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    *out = text;
    return true;
}

QVariant JetValue::toVariant() const
{
    switch (kind) {
    case Bool: return QVariant(i != 0);
    case Int: return QVariant(qlonglong(i));
    case Double: return QVariant(d);
    case Text: return QVariant(s);
    case Date: {
        QString t;
        if (!jetDateText(d, &t))
            return QVariant();
        return QVariant(QDateTime::fromString(t.size() == 10 ? t + QStringLiteral(" 00:00:00") : t,
                                              QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    default: return QVariant();
    }
}

namespace {

QString native(const QString &p) { return QDir::toNativeSeparators(p); }

QString tr8(const char *s) { return QString::fromUtf8(s); }

using Value = JetValue;
using Kind = JetValue;

QString shown(const Value &v)
{
    switch (v.kind) {
    case Kind::Null: return QStringLiteral("NULL");
    case Kind::Bool: return v.i ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Kind::Int: return QString::number(v.i);
    case Kind::Double: return QString::number(v.d, 'g', 17);
    case Kind::Date: {
        QString t;
        return jetDateText(v.d, &t) ? t : QStringLiteral("#%1#").arg(QString::number(v.d, 'g', 17));
    }
    case Kind::Text: return QLatin1Char('"') + v.s + QLatin1Char('"');
    case Kind::Unsupported: return QStringLiteral("?");
    }
    return QString();
}

// ---- the new database's columns ----

enum class Target { Integer,
                    Double,
                    Date,
                    Boolean,
                    Text };

struct TargetColumn {
    QString name;
    Target type;
};

QList<TargetColumn> targetColumns(DbConnection &conn, const QString &table)
{
    QList<TargetColumn> cols;
    DbStatement st(conn, QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
    while (st.step()) {
        const QString name = st.columnValue(1).toString();
        const QString type = st.columnValue(2).toString().toUpper();
        Target t = Target::Text;
        if (type.startsWith(QLatin1String("INT")))
            t = Target::Integer;
        else if (type == QLatin1String("DOUBLE"))
            t = Target::Double;
        else if (type == QLatin1String("DATE"))
            t = Target::Date;
        else if (type == QLatin1String("BOOLEAN"))
            t = Target::Boolean;
        cols << TargetColumn{name, t};
    }
    return cols;
}

// ---- reading through libmdb ----

MdbColumn *column(MdbTableDef *t, unsigned i) { return static_cast<MdbColumn *>(g_ptr_array_index(t->columns, i)); }

QString utf8Text(MdbHandle *mdb, const char *src, size_t len)
{
    if (len == 0)
        return QString();
    // Compressed text widens to two bytes a character; UTF-8 takes at most
    // three bytes for what UCS-2 holds in two.
    std::vector<char> out(len * 3 + 8);
    const int n = mdb_unicode2ascii(mdb, src, len, out.data(), out.size());
    return QString::fromUtf8(out.data(), n);
}

// A memo's text, whole: inline, on one long-value page or in a chain.
QString memoText(MdbHandle *mdb, MdbColumn *col, const char *field, int size)
{
    if (size < MDB_MEMO_OVERHEAD)
        return QString();
    const quint32 header = qFromLittleEndian<quint32>(field);
    const size_t memoLen = header & 0x3fffffff;
    if (header & 0x80000000u)
        return utf8Text(mdb, field + MDB_MEMO_OVERHEAD, size_t(size - MDB_MEMO_OVERHEAD));

    std::vector<char> raw;
    std::vector<char> page(mdb->fmt->pg_size + 16);
    char ole[MDB_MEMO_OVERHEAD];
    std::memcpy(ole, field, MDB_MEMO_OVERHEAD);
    void *saved = col->bind_ptr;
    col->bind_ptr = page.data();
    size_t n = mdb_ole_read(mdb, col, ole, page.size());
    raw.insert(raw.end(), page.data(), page.data() + n);
    while (raw.size() < memoLen && (n = mdb_ole_read_next(mdb, col, ole)) > 0)
        raw.insert(raw.end(), page.data(), page.data() + n);
    col->bind_ptr = saved;
    if (raw.size() < memoLen)
        throw DbError(tr8("Ένα κείμενο (memo) του παλιού αρχείου είναι κομμένο: το αρχείο είναι κατεστραμμένο."));
    raw.resize(memoLen);
    return utf8Text(mdb, raw.data(), raw.size());
}

Value fieldValue(MdbHandle *mdb, MdbColumn *col, const MdbField &f)
{
    Value v;
    const char *p = static_cast<const char *>(f.value);
    if (col->col_type == MDB_BOOL) {
        v.kind = Kind::Bool;
        v.i = f.is_null ? 0 : 1;   // a Yes/No value lives in the null mask
        return v;
    }
    if (f.is_null)
        return v;
    switch (col->col_type) {
    case MDB_BYTE:
        v.kind = Kind::Int;
        v.i = quint8(*p);
        break;
    case MDB_INT:
        v.kind = Kind::Int;
        v.i = qFromLittleEndian<qint16>(p);
        break;
    case MDB_LONGINT:
        v.kind = Kind::Int;
        v.i = qFromLittleEndian<qint32>(p);
        break;
    case MDB_MONEY:
        // Currency is a count of ten-thousandths; one division gives the
        // double nearest to the exact amount.
        v.kind = Kind::Double;
        v.d = double(qFromLittleEndian<qint64>(p)) / 10000.0;
        break;
    case MDB_FLOAT:
        v.kind = Kind::Double;
        v.d = double(qFromLittleEndian<float>(p));
        break;
    case MDB_DOUBLE:
        v.kind = Kind::Double;
        v.d = qFromLittleEndian<double>(p);
        break;
    case MDB_DATETIME:
        v.kind = Kind::Date;
        v.d = qFromLittleEndian<double>(p);
        break;
    case MDB_TEXT:
        v.kind = Kind::Text;
        v.s = f.siz > 0 ? utf8Text(mdb, p, size_t(f.siz)) : QString(QLatin1String(""));
        break;
    case MDB_MEMO:
        v.kind = Kind::Text;
        v.s = memoText(mdb, col, p, f.siz);
        if (v.s.isNull())
            v.s = QLatin1String("");
        break;
    default:
        v.kind = Kind::Unsupported;
        break;
    }
    return v;
}

QString jetTypeName(int type)
{
    switch (type) {
    case MDB_BOOL: return QStringLiteral("Yes/No");
    case MDB_BYTE: return QStringLiteral("Byte");
    case MDB_INT: return QStringLiteral("Integer");
    case MDB_LONGINT: return QStringLiteral("Long");
    case MDB_MONEY: return QStringLiteral("Currency");
    case MDB_FLOAT: return QStringLiteral("Single");
    case MDB_DOUBLE: return QStringLiteral("Double");
    case MDB_DATETIME: return QStringLiteral("Date/Time");
    case MDB_TEXT: return QStringLiteral("Text");
    case MDB_MEMO: return QStringLiteral("Memo");
    case MDB_OLE: return QStringLiteral("OLE");
    default: return QStringLiteral("0x%1").arg(type, 2, 16, QLatin1Char('0'));
    }
}

// ---- converting to the new column's type ----

enum class Fit { Ok,
                 DateOutOfRange,
                 WrongType };

Fit convert(const Value &v, Target t, QVariant *out)
{
    if (v.kind == Kind::Null) {
        *out = QVariant();
        return Fit::Ok;
    }
    if (v.kind == Kind::Unsupported)
        return Fit::WrongType;
    switch (t) {
    case Target::Integer:
        if (v.kind == Kind::Int || v.kind == Kind::Bool) {
            *out = v.kind == Kind::Bool ? qlonglong(v.i ? -1 : 0) : qlonglong(v.i);
            return Fit::Ok;
        }
        if (v.kind == Kind::Double && v.d == std::trunc(v.d) && std::fabs(v.d) < 9.0e15) {
            *out = qlonglong(v.d);
            return Fit::Ok;
        }
        if (v.kind == Kind::Text) {
            bool ok = false;
            const qlonglong n = v.s.trimmed().toLongLong(&ok);
            if (ok) {
                *out = n;
                return Fit::Ok;
            }
        }
        return Fit::WrongType;
    case Target::Double:
        if (v.kind == Kind::Double) {
            *out = v.d;
            return Fit::Ok;
        }
        if (v.kind == Kind::Int) {
            *out = double(v.i);
            return Fit::Ok;
        }
        return Fit::WrongType;
    case Target::Date: {
        if (v.kind != Kind::Date)
            return Fit::WrongType;
        QString text;
        if (!jetDateText(v.d, &text))
            return Fit::DateOutOfRange;
        *out = text;
        return Fit::Ok;
    }
    case Target::Boolean:
        if (v.kind == Kind::Bool || v.kind == Kind::Int) {
            *out = qlonglong(v.i ? -1 : 0);
            return Fit::Ok;
        }
        return Fit::WrongType;
    case Target::Text:
        switch (v.kind) {
        case Kind::Text: *out = v.s; return Fit::Ok;
        case Kind::Int: *out = QString::number(v.i); return Fit::Ok;
        case Kind::Double: *out = QString::number(v.d, 'g', 17); return Fit::Ok;
        case Kind::Date: {
            QString text;
            if (!jetDateText(v.d, &text))
                return Fit::DateOutOfRange;
            *out = text;
            return Fit::Ok;
        }
        default: return Fit::WrongType;
        }
    }
    return Fit::WrongType;
}

void bindValue(sqlite3_stmt *st, int i, const QVariant &v)
{
    if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(st, i);
    } else if (v.typeId() == QMetaType::LongLong) {
        sqlite3_bind_int64(st, i, v.toLongLong());
    } else if (v.typeId() == QMetaType::Double) {
        sqlite3_bind_double(st, i, v.toDouble());
    } else {
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    }
}

class Insert {
public:
    Insert(DbConnection &conn, const QString &table, const QStringList &columns) : m_conn(conn)
    {
        QStringList quoted, marks;
        for (const QString &c : columns) {
            quoted << QLatin1Char('"') + c + QLatin1Char('"');
            marks << QStringLiteral("?");
        }
        const QByteArray sql = QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                   .arg(table, quoted.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                                   .toUtf8();
        if (sqlite3_prepare_v2(conn.handle(), sql.constData(), -1, &m_st, nullptr) != SQLITE_OK)
            conn.fail(QStringLiteral("Η μεταφορά δεν ετοίμασε την εντολή της για τον πίνακα %1").arg(table));
    }
    ~Insert() { sqlite3_finalize(m_st); }
    // False when a constraint refuses the row; other failures throw.
    bool run(const QVariantList &values)
    {
        for (int i = 0; i < values.size(); ++i)
            bindValue(m_st, i + 1, values[i]);
        const int rc = sqlite3_step(m_st);
        sqlite3_reset(m_st);
        sqlite3_clear_bindings(m_st);
        if (rc == SQLITE_DONE)
            return true;
        if ((rc & 0xff) == SQLITE_CONSTRAINT)
            return false;
        m_conn.fail(QStringLiteral("Μια γραμμή δεν γράφτηκε"));
    }

private:
    DbConnection &m_conn;
    sqlite3_stmt *m_st = nullptr;
};

QString rowText(const QStringList &names, const std::vector<Value> &values)
{
    QStringList parts;
    for (size_t i = 0; i < values.size() && i < size_t(names.size()); ++i)
        parts << names.at(int(i)) + QLatin1Char('=') + shown(values[i]);
    return parts.join(QStringLiteral(", "));
}

QString amount(double v) { return QString::number(v, 'f', 2); }

bool sameSum(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

// The rows a table holds in the new file, and the sums of its amounts.
void countStored(DbConnection &conn, const QString &table, qint64 *rows, QList<AmountSum> &sums)
{
    const qint64 n = conn.scalarNative(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table)).toLongLong();
    *rows += n;
    for (AmountSum &s : sums) {
        const double v = conn.scalarNative(QStringLiteral("SELECT TOTAL(\"%1\") FROM \"%2\"").arg(s.column, table)).toDouble();
        s.stored = v;
    }
}

}   // namespace

bool TableCount::matches() const
{
    if (jet != stored + setAside + notStored)
        return false;
    for (const AmountSum &s : sums)
        if (!sameSum(s.jet, s.stored + s.notStored))
            return false;
    return true;
}

FileKind sniff(const QString &path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return FileKind::Missing;
    const QByteArray head = f.read(0x20);
    if (head.size() < 0x20 || head.left(4) != QByteArray("\x00\x01\x00\x00", 4))
        return FileKind::NotJet;
    const QByteArray engine = head.mid(4, 15);
    if (engine == "Standard ACE DB")
        return FileKind::Ace;
    if (engine != "Standard Jet DB")
        return FileKind::NotJet;
    switch (quint8(head.at(0x14))) {
    case 0: return FileKind::Jet3;
    case 1: return FileKind::Jet4;
    default: return FileKind::Ace;
    }
}

QString Result::reportText() const
{
    QString t;
    t += tr8("Μεταφορά δεδομένων από παλιό αρχείο Access (Jet)\n");
    t += tr8("Παλιό αρχείο: %1 (%2)\n").arg(native(jetPath), version);
    t += made ? tr8("Νέα βάση δεδομένων: %1\n").arg(native(databasePath))
              : tr8("Δεν δημιουργήθηκε νέα βάση δεδομένων.\n");
    t += QLatin1Char('\n');
    t += tr8("Έλεγχος: γραμμές και αθροίσματα ποσών, παλιό αρχείο και νέα βάση\n");
    t += QStringLiteral("%1 %2 %3 %4 %5\n").arg(tr8("Πίνακας"), -34).arg(tr8("Παλιό"), 10).arg(tr8("Νέο"), 10).arg(tr8("Διπλότυπα"), 10).arg(tr8("Εκτός"), 10);
    for (const TableCount &c : counts) {
        if (!c.present) {
            t += QStringLiteral("%1 %2\n").arg(c.table, -34).arg(tr8("λείπει από το παλιό αρχείο"));
            continue;
        }
        t += QStringLiteral("%1 %2 %3 %4 %5\n").arg(c.table, -34).arg(c.jet, 10).arg(c.stored, 10).arg(c.setAside, 10).arg(c.notStored, 10);
        for (const AmountSum &s : c.sums)
            t += QStringLiteral("  %1 %2 %3 %4 %5\n").arg(tr8("Σ ") + s.column, -32).arg(amount(s.jet), 10).arg(amount(s.stored), 10).arg(QString(), 10).arg(amount(s.notStored), 10);
    }
    t += QLatin1Char('\n');
    if (findings.isEmpty()) {
        t += tr8("Όλα τα δεδομένα μεταφέρθηκαν όπως ήταν.\n");
    } else {
        t += tr8("Τι δεν μεταφέρθηκε όπως ήταν (%1):\n").arg(findings.size());
        for (const QString &f : findings)
            t += QStringLiteral("- ") + f + QLatin1Char('\n');
    }
    if (!notes.isEmpty()) {
        t += QLatin1Char('\n') + tr8("Σημειώσεις:\n");
        for (const QString &n : notes)
            t += QStringLiteral("- ") + n + QLatin1Char('\n');
    }
    return t;
}

namespace {

void writeReport(const QString &dir, const QString &text)
{
    QSaveFile f(QDir(dir).absoluteFilePath(QLatin1String(ReportFileName)));
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0 || !f.commit())
        throw DbError(tr8("Η αναφορά μεταφοράς δεν γράφτηκε στον φάκελο '%1'.").arg(native(dir)));
}

struct Import {
    const JetFile &jet;
    DbConnection &conn;
    Result &result;
    bool duplicatesMade = false;

    void table(const QString &name, TableCount &count);
};

void Import::table(const QString &name, TableCount &count)
{
    const QList<JetColumn> jetColumns = jet.columns(name);
    const QList<TargetColumn> targets = targetColumns(conn, name);
    QHash<QString, int> targetIndex;
    for (int i = 0; i < targets.size(); ++i)
        targetIndex.insert(targets[i].name.toUpper(), i);

    // Which old column feeds which new one.
    QStringList jetNames, insertNames;
    std::vector<int> feeds(size_t(jetColumns.size()), -1);   // old column -> position in the insert
    std::vector<Target> feedType;
    QSet<int> fed;
    for (int i = 0; i < jetColumns.size(); ++i) {
        const JetColumn &c = jetColumns[i];
        jetNames << c.name;
        const auto it = targetIndex.constFind(c.name.toUpper());
        if (it == targetIndex.constEnd()) {
            result.findings << tr8("%1.%2 (%3): η στήλη δεν υπάρχει στο Molarix· οι τιμές της δεν μεταφέρθηκαν.")
                                   .arg(name, c.name, c.typeName);
            continue;
        }
        if (fed.contains(it.value()))
            continue;
        fed.insert(it.value());
        feeds[size_t(i)] = int(insertNames.size());
        insertNames << targets[it.value()].name;
        feedType.push_back(targets[it.value()].type);
    }
    for (int i = 0; i < targets.size(); ++i)
        if (!fed.contains(i))
            result.notes << tr8("%1.%2: η στήλη λείπει από το παλιό αρχείο· μένει κενή.").arg(name, targets[i].name);

    QHash<int, int> sumOf;   // insert position -> index in count.sums
    for (int i = 0; i < insertNames.size(); ++i)
        if (feedType[size_t(i)] == Target::Double) {
            sumOf.insert(i, int(count.sums.size()));
            count.sums << AmountSum{insertNames[i], 0, 0, 0};
        }

    const bool receipts = name == QLatin1String("APODEIKSEIS");
    if (insertNames.isEmpty())
        result.findings << tr8("%1: καμία στήλη του παλιού πίνακα δεν ταιριάζει· ο πίνακας δεν μεταφέρθηκε.").arg(name);
    std::unique_ptr<Insert> insert;
    if (!insertNames.isEmpty())
        insert = std::make_unique<Insert>(conn, name, insertNames);
    std::unique_ptr<Insert> aside;
    qint64 unknownValues = 0;
    QVariantList row;

    count.jet = jet.readRows(name, [&](const std::vector<JetValue> &values) {
        if (insertNames.isEmpty()) {
            ++count.notStored;
            return;
        }
        row.clear();
        for (int i = 0; i < insertNames.size(); ++i)
            row << QVariant();
        QString problem;
        for (size_t i = 0; i < values.size(); ++i) {
            if (feeds[i] < 0) {
                if (values[i].kind != JetValue::Null)
                    ++unknownValues;
                continue;
            }
            const Fit fit = convert(values[i], feedType[size_t(feeds[i])], &row[feeds[i]]);
            if (fit == Fit::DateOutOfRange && problem.isEmpty())
                problem = tr8("ημερομηνία εκτός ορίων στη στήλη %1").arg(jetNames[int(i)]);
            else if (fit == Fit::WrongType && problem.isEmpty())
                problem = tr8("η τιμή της στήλης %1 (%2) δεν χωρά στη νέα στήλη")
                              .arg(jetNames[int(i)], jetColumns[int(i)].typeName);
        }
        // The old file's amounts count towards its sums whether or not the row is stored.
        for (auto it = sumOf.constBegin(); it != sumOf.constEnd(); ++it)
            if (row[it.key()].isValid())
                count.sums[it.value()].jet += row[it.key()].toDouble();
        auto notStored = [&](const QString &why) {
            ++count.notStored;
            for (auto it = sumOf.constBegin(); it != sumOf.constEnd(); ++it)
                if (row[it.key()].isValid())
                    count.sums[it.value()].notStored += row[it.key()].toDouble();
            result.findings << tr8("%1: γραμμή που δεν αποθηκεύτηκε (%2): %3").arg(name, why, rowText(jetNames, values));
        };
        if (!problem.isEmpty()) {
            notStored(problem);
            return;
        }
        if (insert->run(row))
            return;
        const int numberAt = receipts ? int(insertNames.indexOf(QStringLiteral("AR_APODEIKSHS"))) : -1;
        if (numberAt >= 0 && row[numberAt].isValid()) {
            // Two old receipts with one number: the first keeps its place,
            // the later one waits in a table of its own, number unchanged.
            if (!aside) {
                if (!duplicatesMade) {
                    QStringList defs;
                    DbStatement st(conn, QStringLiteral("PRAGMA table_info(APODEIKSEIS)"));
                    while (st.step())
                        defs << QStringLiteral("\"%1\" %2").arg(st.columnValue(1).toString(), st.columnValue(2).toString());
                    conn.executeNative(QStringLiteral("CREATE TABLE \"%1\" (%2)")
                                           .arg(QLatin1String(DuplicateReceiptsTable), defs.join(QStringLiteral(", "))));
                    duplicatesMade = true;
                }
                aside = std::make_unique<Insert>(conn, QLatin1String(DuplicateReceiptsTable), insertNames);
            }
            if (aside->run(row)) {
                ++count.setAside;
                result.findings << tr8("APODEIKSEIS: η απόδειξη αρ. %1 υπάρχει δύο φορές στο παλιό αρχείο· "
                                       "η μεταγενέστερη κρατήθηκε στον πίνακα %2 με τον ίδιο αριθμό: %3")
                                       .arg(row[numberAt].toString(), QLatin1String(DuplicateReceiptsTable),
                                            rowText(jetNames, values));
                return;
            }
        }
        notStored(tr8("παραβιάζει περιορισμό του πίνακα, π.χ. διπλή τιμή"));
    });
    if (unknownValues > 0)
        result.notes << tr8("%1: %2 τιμές σε στήλες που δεν μεταφέρθηκαν (μένουν στο παλιό αρχείο).").arg(name).arg(unknownValues);

    countStored(conn, name, &count.stored, count.sums);
    if (receipts && duplicatesMade) {
        qint64 asideRows = 0;
        QList<AmountSum> asideSums = count.sums;
        countStored(conn, QLatin1String(DuplicateReceiptsTable), &asideRows, asideSums);
        for (int i = 0; i < count.sums.size(); ++i)
            count.sums[i].stored += asideSums[i].stored;
        if (asideRows != count.setAside)
            count.setAside = -1;   // fails the check below
    }
}

}   // namespace

// ---- the old file ----

struct JetFile::Private {
    MdbHandle *mdb = nullptr;
    QList<MdbCatalogEntry *> tables;

    MdbCatalogEntry *entry(const QString &name) const
    {
        for (MdbCatalogEntry *e : tables)
            if (QString::fromUtf8(e->object_name).compare(name, Qt::CaseInsensitive) == 0)
                return e;
        throw DbError(tr8("Ο πίνακας %1 λείπει από το παλιό αρχείο.").arg(name));
    }
};

namespace {
struct TableDef {
    MdbTableDef *t = nullptr;
    TableDef(MdbCatalogEntry *e, const QString &name)
    {
        t = mdb_read_table(e);
        if (!t || !mdb_read_columns(t)) {
            if (t)
                mdb_free_tabledef(t);
            throw DbError(tr8("Ο πίνακας %1 του παλιού αρχείου δεν διαβάζεται: το αρχείο είναι κατεστραμμένο ή κομμένο.")
                              .arg(name));
        }
    }
    ~TableDef() { mdb_free_tabledef(t); }
};
}

JetFile::JetFile(const QString &path) : d(new Private), m_kind(sniff(path))
{
    std::unique_ptr<Private> guard(d);
    switch (m_kind) {
    case FileKind::Missing:
        throw DbError(tr8("Το αρχείο '%1' δεν υπάρχει ή δεν διαβάζεται.").arg(native(path)));
    case FileKind::NotJet:
        throw DbError(tr8("Το αρχείο '%1' δεν είναι βάση δεδομένων Access (Jet).").arg(native(path)));
    case FileKind::Ace:
        throw DbError(tr8("Το αρχείο '%1' είναι βάση Access 2007 ή νεότερη (.accdb), που δεν μεταφέρεται. "
                          "Αποθηκεύστε τη από την Access ως Access 2000-2003 (.mdb) και δοκιμάστε ξανά.")
                          .arg(native(path)));
    default:
        break;
    }
    const qint64 pageSize = m_kind == FileKind::Jet3 ? 2048 : 4096;
    const qint64 fileSize = QFileInfo(path).size();
    if (fileSize < 3 * pageSize || fileSize % pageSize != 0)
        throw DbError(tr8("Το αρχείο '%1' είναι κομμένο (το μέγεθός του δεν είναι ολόκληρες σελίδες Jet).")
                          .arg(native(path)));

    d->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!d->mdb)
        throw DbError(tr8("Το αρχείο '%1' δεν ανοίγει ως βάση Access.").arg(native(path)));
    if (IS_JET3(d->mdb) && d->mdb->f->code_page != 1252 && d->mdb->f->code_page != 0) {
        // Access 97 wrote texts in the code page of the Windows that made
        // the file (1253 on Greek Windows); libmdb assumes 1252 unless told.
        const QByteArray old = qgetenv("MDB_JET3_CHARSET");
        qputenv("MDB_JET3_CHARSET", "CP" + QByteArray::number(d->mdb->f->code_page));
        mdb_iconv_close(d->mdb);
        mdb_iconv_init(d->mdb);
        if (old.isNull())
            qunsetenv("MDB_JET3_CHARSET");
        else
            qputenv("MDB_JET3_CHARSET", old);
    }
    if (!mdb_read_catalog(d->mdb, MDB_TABLE)) {
        mdb_close(d->mdb);
        throw DbError(tr8("Ο κατάλογος πινάκων του αρχείου '%1' δεν διαβάζεται: το αρχείο είναι κατεστραμμένο.")
                          .arg(native(path)));
    }
    for (unsigned i = 0; i < d->mdb->num_catalog; ++i) {
        auto *e = static_cast<MdbCatalogEntry *>(g_ptr_array_index(d->mdb->catalog, i));
        if (e->object_type == MDB_TABLE && !mdb_is_system_table(e))
            d->tables << e;
    }
    guard.release();
}

JetFile::~JetFile()
{
    if (d->mdb)
        mdb_close(d->mdb);
    delete d;
}

QStringList JetFile::tableNames() const
{
    QStringList names;
    for (MdbCatalogEntry *e : d->tables)
        names << QString::fromUtf8(e->object_name);
    return names;
}

bool JetFile::hasTable(const QString &name) const
{
    return tableNames().contains(name, Qt::CaseInsensitive);
}

QList<JetColumn> JetFile::columns(const QString &table) const
{
    TableDef def(d->entry(table), table);
    QList<JetColumn> cols;
    for (unsigned i = 0; i < def.t->num_cols; ++i) {
        MdbColumn *c = column(def.t, i);
        cols << JetColumn{QString::fromUtf8(c->name), c->col_type, jetTypeName(c->col_type)};
    }
    return cols;
}

qint64 JetFile::readRows(const QString &table, const std::function<void(const std::vector<JetValue> &)> &row) const
{
    TableDef def(d->entry(table), table);
    MdbTableDef *t = def.t;
    std::vector<MdbField> fields(t->num_cols);
    std::vector<JetValue> values(t->num_cols);
    MdbHandle *mdb = d->mdb;
    qint64 fetched = 0;
    auto crack = [&](int slot) {
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, slot, &start, &size) != 0 || size == 0
            || mdb_crack_row(t, start & 0x1fff, size, fields.data()) < 0)
            throw DbError(tr8("Μια γραμμή του πίνακα %1 δεν διαβάζεται: το αρχείο είναι κατεστραμμένο.").arg(table));
        for (unsigned i = 0; i < t->num_cols; ++i)
            values[i] = fieldValue(mdb, column(t, i), fields[i]);
        ++fetched;
        row(values);
    };
    // Pages through libmdb, rows by their flags as Access sets them:
    // 0x8000 a deleted row (or the far half of a moved one), 0x4000 a row
    // moved to another page, standing here as a pointer. libmdb 1.0 reads
    // these two flags the other way round, which would bring deleted rows
    // back and lose moved ones, so the rows of a page are walked here.
    const int rowCountAt = mdb->fmt->row_count_offset;
    mdb_rewind_table(t);
    while (mdb_read_next_dpg(t)) {
        const int rows = mdb_get_int16(mdb->pg_buf, rowCountAt);
        for (int r = 0; r < rows; ++r) {
            const int raw = mdb_get_int16(mdb->pg_buf, rowCountAt + 2 + 2 * r);
            if (raw & 0x8000)
                continue;
            if (!(raw & 0x4000)) {
                crack(r);
                continue;
            }
            const int at = raw & 0x1fff;
            if (at + 4 > mdb->fmt->pg_size)
                throw DbError(tr8("Μια γραμμή του πίνακα %1 δεν διαβάζεται: το αρχείο είναι κατεστραμμένο.").arg(table));
            const quint32 pointer = quint32(mdb_get_int32(mdb->pg_buf, at));
            if (mdb_read_pg(mdb, pointer >> 8) != mdb->fmt->pg_size)
                throw DbError(tr8("Μια μετακινημένη γραμμή του πίνακα %1 λείπει: το αρχείο είναι κομμένο ή κατεστραμμένο.")
                                  .arg(table));
            crack(int(pointer & 0xff));
            mdb_read_pg(mdb, t->cur_phys_pg);
        }
    }
    if (fetched < qint64(t->num_rows))
        throw DbError(tr8("Ο πίνακας %1 του παλιού αρχείου δηλώνει %2 γραμμές, αλλά διαβάστηκαν %3: "
                          "το αρχείο είναι κομμένο ή κατεστραμμένο.")
                          .arg(table)
                          .arg(t->num_rows)
                          .arg(fetched));
    return fetched;
}

// ---- the import ----

namespace {

// The folder's absolute path, when it exists and holds no data.mdb yet.
QString folderWithoutDatabase(const QString &dir)
{
    const QFileInfo di(dir);
    if (!di.isDir())
        throw DbError(tr8("Ο φάκελος '%1' δεν υπάρχει.").arg(native(dir)));
    const QString folder = di.absoluteFilePath();
    if (QFileInfo::exists(QDir(folder).absoluteFilePath(QStringLiteral("data.mdb"))))
        throw DbError(tr8("Ο φάκελος '%1' έχει ήδη data.mdb· η μεταφορά γίνεται μόνο σε φάκελο χωρίς βάση.")
                          .arg(native(folder)));
    return folder;
}

}   // namespace

Result importHere(const QString &jetPath, const QString &dir, bool acceptReport)
{
    Result result;
    result.jetPath = QFileInfo(jetPath).absoluteFilePath();
    const QString folder = folderWithoutDatabase(dir);
    const QString target = QDir(folder).absoluteFilePath(QStringLiteral("data.mdb"));

    const JetFile jet(jetPath);
    // An Access file of something else would otherwise become an empty
    // practice with the first password.
    const QStringList practiceTables = Schema::tableNames();
    if (std::none_of(practiceTables.cbegin(), practiceTables.cend(), [&](const QString &t) { return jet.hasTable(t); }))
        throw DbError(tr8("Το αρχείο '%1' είναι βάση Access, αλλά δεν έχει κανέναν από τους πίνακες του ιατρείου "
                          "(π.χ. STOIXEIA_PELATH, APODEIKSEIS)· δεν είναι αρχείο του προγράμματος και δεν μεταφέρεται.")
                          .arg(native(jetPath)));
    result.version = jet.kind() == FileKind::Jet3 ? tr8("Jet 3, Access 97") : tr8("Jet 4, Access 2000-2003");

    // Built in a side folder and moved in at the end: a failure leaves
    // nothing half-made in the folder.
    QTemporaryDir work(QDir(folder).absoluteFilePath(QStringLiteral(".molarix-import-XXXXXX")));
    if (!work.isValid())
        throw DbError(tr8("Δεν γίνεται να γραφτεί στον φάκελο '%1'.").arg(native(folder)));
    // The practice's password is known before the file is made, so that it
    // is made as any new practice with that password is.
    QString password;
    if (jet.hasTable(QStringLiteral("SECURITY"))) {
        jet.readRows(QStringLiteral("SECURITY"), [&](const std::vector<JetValue> &values) {
            if (password.isEmpty() && !values.empty() && values[0].kind == JetValue::Text)
                password = values[0].s;
        });
    }
    // The password is the new file's key: it must be one the access check
    // takes, compared as the access check compares (trimmed).
    password = password.trimmed();
    const bool keptPassword = !password.isEmpty() && HasNoSpecialChars(password);
    if (!keptPassword) {
        if (!password.isEmpty())
            result.findings << tr8("SECURITY: ο κωδικός του παλιού αρχείου έχει σημεία στίξης που δεν πληκτρολογούνται "
                                   "στον έλεγχο πρόσβασης· η νέα βάση έχει τον αρχικό: %1")
                                   .arg(QLatin1String(Schema::FirstPassword));
        password = QString::fromLatin1(Schema::FirstPassword);
    }
    Schema::createDatabase(work.path(), password);
    const QString built = QDir(work.path()).absoluteFilePath(QStringLiteral("data.mdb"));
    {
        DbConnection conn;
        conn.setConnectionString(QStringLiteral("Data Source=%1;Jet OLEDB:Database Password=%2").arg(built, password));
        conn.open();
        DbTransaction tx(conn);
        Import import{jet, conn, result};

        const QStringList tables = Schema::tableNames();
        for (const QString &name : tables) {
            TableCount count;
            count.table = name;
            if (!jet.hasTable(name)) {
                result.findings << tr8("%1: ο πίνακας λείπει από το παλιό αρχείο.").arg(name);
                if (name == QLatin1String("SECURITY"))
                    result.notes << tr8("Ο κωδικός πρόσβασης της νέας βάσης είναι ο αρχικός: %1")
                                        .arg(QLatin1String(Schema::FirstPassword));
                result.counts << count;
                continue;
            }
            count.present = true;
            if (name == QLatin1String("SECURITY"))
                conn.executeNative(QStringLiteral("DELETE FROM SECURITY"));   // the practice keeps its own
            import.table(name, count);
            if (name == QLatin1String("SECURITY") && !keptPassword && count.stored > 0)
                conn.executeNative(QStringLiteral("UPDATE SECURITY SET \"PASSWORD\"=?"), {password});
            if (name == QLatin1String("SECURITY") && count.stored == 0) {
                conn.executeNative(QStringLiteral("INSERT INTO SECURITY (\"PASSWORD\") VALUES (?)"),
                                   {QString::fromLatin1(Schema::FirstPassword)});
                result.findings << tr8("SECURITY: το παλιό αρχείο δεν έχει κωδικό· η νέα βάση έχει τον αρχικό: %1")
                                       .arg(QLatin1String(Schema::FirstPassword));
            }
            result.counts << count;
        }
        for (const QString &name : jet.tableNames())
            if (!tables.contains(name, Qt::CaseInsensitive))
                result.findings << tr8("%1: ο πίνακας δεν ανήκει στο Molarix· δεν μεταφέρθηκε.").arg(name);

        for (const TableCount &c : std::as_const(result.counts))
            if (c.present && !c.matches()) {
                writeReport(folder, result.reportText());
                throw DbError(tr8("Ο έλεγχος μετά τη μεταφορά απέτυχε στον πίνακα %1: οι γραμμές ή τα ποσά "
                                  "δεν συμφωνούν με το παλιό αρχείο. Δεν δημιουργήθηκε βάση.")
                                  .arg(c.table));
            }
        if (!result.findings.isEmpty() && !acceptReport) {
            writeReport(folder, result.reportText());
            return result;
        }
        tx.commit();
    }
    if (!QFile::rename(built, target))
        throw DbError(tr8("Η νέα βάση δεν μπήκε στη θέση της '%1'.").arg(native(target)));
    result.made = true;
    result.databasePath = target;
    writeReport(folder, result.reportText());
    return result;
}

// ---- the child process that reads the old file ----

namespace {

ChildLimits &givenLimits()
{
    static ChildLimits limits;
    return limits;
}

enum ChildExit { ChildDone = 0,
                 ChildRefused = 1,
                 ChildUsage = 2,
                 ChildOutOfMemory = 3 };

constexpr const char *ChildResultFile = ".result";
// Tests make the child misbehave as damaged files have made the Jet library
// do: "stall" waits for ever, "hog" takes memory up to 4 GiB, then reads.
constexpr const char *TestVariable = "MOLARIX_JET_CHILD_TEST";

void misbehaveForTests()
{
    const QByteArray how = qgetenv(TestVariable);
    if (how == "stall")
        for (;;)
            pause();
    if (how == "hog") {
        std::vector<std::unique_ptr<char[]>> held;
        static volatile char seen;   // the memory is used, not optimised away
        for (int i = 0; i < 256; ++i) {
            held.emplace_back(new char[16 << 20]);
            std::memset(held.back().get(), i, 16 << 20);
            seen = char(seen + held.back()[size_t(i) << 16]);
        }
    }
}

// The address space this process has mapped so far, in bytes.
[[maybe_unused]] qint64 mappedBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readLine().split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE);
}

void setLimit(int resource, qint64 bytes)
{
    const rlimit l{rlim_t(bytes), rlim_t(bytes)};
    setrlimit(resource, &l);
}

QString megabytes(qint64 bytes) { return QString::number((bytes + (1 << 20) - 1) >> 20); }

}   // namespace

// Found by argument lookup in this namespace, so outside the unnamed one.
static QDataStream &operator<<(QDataStream &s, const AmountSum &a) { return s << a.column << a.jet << a.stored << a.notStored; }
static QDataStream &operator>>(QDataStream &s, AmountSum &a) { return s >> a.column >> a.jet >> a.stored >> a.notStored; }
static QDataStream &operator<<(QDataStream &s, const TableCount &c)
{
    return s << c.table << c.present << c.jet << c.stored << c.setAside << c.notStored << c.sums;
}
static QDataStream &operator>>(QDataStream &s, TableCount &c)
{
    return s >> c.table >> c.present >> c.jet >> c.stored >> c.setAside >> c.notStored >> c.sums;
}
static QDataStream &operator<<(QDataStream &s, const Result &r)
{
    return s << r.version << r.counts << r.findings << r.notes << r.made;
}
static QDataStream &operator>>(QDataStream &s, Result &r)
{
    return s >> r.version >> r.counts >> r.findings >> r.notes >> r.made;
}

void setChildLimits(const ChildLimits &limits) { givenLimits() = limits; }

ChildLimits childLimits(qint64 fileSize)
{
    ChildLimits l = givenLimits();
    const qint64 mb = fileSize >> 20;
    if (l.program.isEmpty())
        l.program = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("molarix-db"));
    // A sound file reads at well over a megabyte a second even on a slow
    // machine; the floor covers making the new, encrypted file.
    if (l.timeMs <= 0)
        l.timeMs = 120000 + 2000 * mb;
    if (l.memoryBytes <= 0)
        l.memoryBytes = (qint64(1) << 30) + 16 * fileSize;
    return l;
}

int childMain(const QStringList &args)
{
    if (args.size() != 5)
        return ChildUsage;
    const QString jetPath = args.at(0), stage = args.at(1);
    const bool accept = args.at(2) == QLatin1String("1");
    const qint64 memory = args.at(3).toLongLong(), seconds = args.at(4).toLongLong();
    setLimit(RLIMIT_CORE, 0);   // a crash writes nothing either
    if (memory > 0) {
#if defined(__SANITIZE_ADDRESS__)
        // AddressSanitizer maps terabytes for its shadow before main: the
        // reader's memory is counted from there.
        setLimit(RLIMIT_AS, mappedBytes() + memory);
#else
        setLimit(RLIMIT_AS, memory);
#endif
    }
    // Nor can it fill the disk: the new file is never many times the old one.
    setLimit(RLIMIT_FSIZE, (qint64(256) << 20) + 16 * QFileInfo(jetPath).size());
    // Should the program that waits for it be gone, a looping child still ends.
    if (seconds > 0)
        setLimit(RLIMIT_CPU, seconds);

    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    int rc = ChildDone;
    try {
        misbehaveForTests();
        const Result r = importHere(jetPath, stage, accept);
        s << quint8(ChildDone) << r;
    } catch (const DbError &e) {
        s << quint8(ChildRefused) << e.message();
        rc = ChildRefused;
    } catch (const std::bad_alloc &) {
        return ChildOutOfMemory;
    }
    QSaveFile f(QDir(stage).absoluteFilePath(QLatin1String(ChildResultFile)));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        return ChildUsage;
    return rc;
}

Result importFile(const QString &jetPath, const QString &dir, bool acceptReport)
{
    const QString folder = folderWithoutDatabase(dir);
    const QString target = QDir(folder).absoluteFilePath(QStringLiteral("data.mdb"));
    const QString jet = QFileInfo(jetPath).absoluteFilePath();
    const ChildLimits limits = childLimits(QFileInfo(jet).size());

    // The child writes only here; what it leaves behind when stopped goes
    // with the folder.
    QTemporaryDir stage(QDir(folder).absoluteFilePath(QStringLiteral(".molarix-import-XXXXXX")));
    if (!stage.isValid())
        throw DbError(tr8("Δεν γίνεται να γραφτεί στον φάκελο '%1'.").arg(native(folder)));
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setStandardInputFile(QProcess::nullDevice());
    child.start(limits.program, {QLatin1String(ChildCommand), jet, stage.path(), acceptReport ? QStringLiteral("1") : QStringLiteral("0"), QString::number(limits.memoryBytes), QString::number(limits.timeMs / 1000 + 1)});
    if (!child.waitForStarted(-1))
        throw DbError(tr8("Το πρόγραμμα '%1', που διαβάζει τα αρχεία Access, δεν ξεκινά.").arg(native(limits.program)));
    // What the Jet library prints is kept up to a limit and the rest let
    // go, however much a damaged file makes it write.
    QByteArray output;
    const auto drain = [&] {
        const QByteArray more = child.readAll();
        if (output.size() < limits.outputBytes)
            output += more.left(limits.outputBytes - output.size());
    };
    QElapsedTimer clock;
    clock.start();
    bool late = false;
    while (child.state() != QProcess::NotRunning) {
        const qint64 left = limits.timeMs - clock.elapsed();
        if (left <= 0) {
            late = true;
            child.kill();
            child.waitForFinished(-1);
            break;
        }
        child.waitForReadyRead(int(std::min<qint64>(left, 1000)));
        drain();
    }
    drain();
    if (late)
        throw DbError(tr8("Η ανάγνωση του αρχείου '%1' δεν τελείωσε σε %2 δευτερόλεπτα και σταμάτησε: το αρχείο "
                          "είναι μάλλον κατεστραμμένο. Δεν δημιουργήθηκε βάση.")
                          .arg(native(jet))
                          .arg((limits.timeMs + 999) / 1000));

    QFile resultFile(QDir(stage.path()).absoluteFilePath(QLatin1String(ChildResultFile)));
    quint8 status = ChildUsage;
    QDataStream in(&resultFile);
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() != ChildOutOfMemory && resultFile.open(QIODevice::ReadOnly))
        in >> status;
    if (status != ChildDone && status != ChildRefused) {
        if (!output.isEmpty())
            qWarning("%s", output.left(2048).constData());
        throw DbError(tr8("Η ανάγνωση του αρχείου '%1' σταμάτησε πριν τελειώσει: το αρχείο είναι κατεστραμμένο ή "
                          "χρειάστηκε περισσότερη μνήμη από %2 MB. Δεν δημιουργήθηκε βάση.")
                          .arg(native(jet), megabytes(limits.memoryBytes)));
    }
    const QString stagedReport = QDir(stage.path()).absoluteFilePath(QLatin1String(ReportFileName));
    if (status == ChildRefused) {
        QString message;
        in >> message;
        QFile report(stagedReport);
        if (report.open(QIODevice::ReadOnly))
            writeReport(folder, QString::fromUtf8(report.readAll()));
        throw DbError(message);
    }
    Result result;
    in >> result;
    if (in.status() != QDataStream::Ok)
        throw DbError(tr8("Η ανάγνωση του αρχείου '%1' δεν έδωσε αποτέλεσμα. Δεν δημιουργήθηκε βάση.").arg(native(jet)));
    result.jetPath = jet;
    if (result.made) {
        if (!QFile::rename(QDir(stage.path()).absoluteFilePath(QStringLiteral("data.mdb")), target))
            throw DbError(tr8("Η νέα βάση δεν μπήκε στη θέση της '%1'.").arg(native(target)));
        result.databasePath = target;
    }
    writeReport(folder, result.reportText());
    return result;
}

}
