#include "data/db/dataset.h"
#include "data/db/connection.h"
#include "data/db/jetsql.h"
#include "data/db/regional.h"
#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <numeric>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

const QLatin1String kRowidColumn("__rowid");

QString rowChangedError(const QString &typed)
{
    return QStringLiteral("Η εγγραφή άλλαξε από άλλο χρήστη μετά την ανάγνωσή της και οι αλλαγές σας δεν "
                          "αποθηκεύτηκαν.\nΣτην οθόνη φαίνονται τώρα οι τιμές του άλλου χρήστη. Είχατε γράψει:")
        + typed
        + QStringLiteral("\nΑν αποθηκεύσετε ξανά, θα ερωτηθείτε αν θα γραφτούν αυτές στη θέση τους.");
}

QString rowGoneError(const QString &typed)
{
    if (typed.isEmpty())
        return QStringLiteral("Η εγγραφή είχε ήδη διαγραφεί από άλλο χρήστη.");
    return QStringLiteral("Η εγγραφή διαγράφηκε από άλλο χρήστη και οι αλλαγές σας δεν αποθηκεύτηκαν. Είχατε γράψει:") + typed;
}

QString closedError() { return QStringLiteral("Η ενέργεια δεν γίνεται σε κλειστό σύνολο δεδομένων"); }

QString quoteIdent(QString name)
{
    name = name.trimmed();
    if (name.size() >= 2 && name.front() == u'[' && name.back() == u']')
        name = name.mid(1, name.size() - 2);
    return u'"' + name.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

FieldType typeFromDecl(const QByteArray &decl)
{
    const QByteArray d = decl.trimmed().toUpper();
    if (d.startsWith("DATE") || d == "TIMESTAMP")
        return FieldType::Date;
    if (d.startsWith("BOOL") || d == "BIT" || d == "YESNO")
        return FieldType::Boolean;
    if (d.contains("INT") || d == "COUNTER")
        return FieldType::Integer;
    if (d.contains("DOUB") || d.contains("FLOA") || d.contains("REAL") || d.startsWith("NUMERIC")
        || d.startsWith("DECIMAL") || d == "CURRENCY" || d == "MONEY")
        return FieldType::Float;
    if (d.contains("MEMO") || d == "LONGTEXT")
        return FieldType::Memo;
    return FieldType::Text;
}

int digits(const unsigned char *s, int from, int count)
{
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

// A stored date: its day and, when a time is kept, the ms of the day.
struct StoredDate {
    qint64 day = 0;
    int ms = -1;   // no time
};

// Stored dates: "YYYY-MM-DD", with "HH:MM[:SS[.fff]]" after a blank or 'T'
// when a time is kept. Written by hand because this runs for every date of
// a column read or sorted.
bool readIsoDate(const unsigned char *s, qsizetype n, StoredDate &out)
{
    if (n < 10 || s[4] != '-' || s[7] != '-')
        return false;
    const int y = digits(s, 0, 4), m = digits(s, 5, 2), d = digits(s, 8, 2);
    if (y < 0 || m < 0 || d < 0 || !QDate::isValid(y, m, d))
        return false;
    out.day = QDate(y, m, d).toJulianDay();
    out.ms = -1;
    if (n == 10)
        return true;
    if (n < 16 || (s[10] != ' ' && s[10] != 'T') || s[13] != ':')
        return false;
    const int h = digits(s, 11, 2), mi = digits(s, 14, 2);
    int sec = 0, ms = 0;
    if (n >= 19) {
        if (s[16] != ':' || (sec = digits(s, 17, 2)) < 0)
            return false;
        if (n > 19) {
            if (s[19] != '.' || n > 23)
                return false;
            ms = digits(s, 20, int(n) - 20);
            for (qsizetype k = n - 20; k < 3 && ms >= 0; ++k)
                ms *= 10;
        }
    } else if (n != 16) {
        return false;
    }
    if (h < 0 || mi < 0 || ms < 0 || !QTime::isValid(h, mi, sec, ms))
        return false;
    out.ms = QTime(h, mi, sec, ms).msecsSinceStartOfDay();
    return true;
}

// A day number as Jet kept dates (days since 30/12/1899, the time as the
// fraction), as a stored date.
StoredDate fromSerial(double serial)
{
    const QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
    const QDateTime dt = base.addMSecs(qint64(serial * 86400000.0 + (serial < 0 ? -0.5 : 0.5)));
    const int ms = dt.time().msecsSinceStartOfDay();
    return {dt.date().toJulianDay(), ms == 0 ? -1 : ms};
}

QVariant dateValue(const StoredDate &d)
{
    if (d.ms < 0)
        return QDate::fromJulianDay(d.day);
    return QDateTime(QDate::fromJulianDay(d.day), QTime::fromMSecsSinceStartOfDay(d.ms));
}

// The type byte before each packed cell.
enum Tag : unsigned char { NullTag,
                           IntegerTag,   // 8 bytes
                           RealTag,      // 8 bytes
                           TextTag,      // length (7 bits a byte), then UTF-8
                           TrueTag,
                           FalseTag,
                           DateTag,         // Julian day, 8 bytes
                           DateTimeTag,     // Julian day, 8 bytes, then ms of the day, 4
                           DateTextTag };   // a date column's cell as stored, read when asked for

using RowStore = PackedRows;

void putTag(RowStore &s, Tag t) { *s.room(1) = t; }

template <typename T>
void putFixed(RowStore &s, Tag t, T v)
{
    unsigned char *p = s.room(1 + sizeof v);
    p[0] = t;
    std::memcpy(p + 1, &v, sizeof v);
}

void putText(RowStore &s, QByteArrayView utf8, Tag tag = TextTag)
{
    size_t n = size_t(utf8.size());
    if (n < 0x80) {
        // Most texts: one length byte.
        unsigned char *p = s.room(2 + n);
        p[0] = tag;
        p[1] = static_cast<unsigned char>(n);
        if (n)
            std::memcpy(p + 2, utf8.data(), n);
        return;
    }
    size_t lengthBytes = 1;
    while (n >> (7 * lengthBytes))
        ++lengthBytes;
    unsigned char *p = s.room(1 + lengthBytes + n);
    *p++ = tag;
    for (; n >= 0x80; n >>= 7)
        *p++ = static_cast<unsigned char>(n | 0x80);
    *p++ = static_cast<unsigned char>(n);
    if (!utf8.isEmpty())
        std::memcpy(p, utf8.data(), size_t(utf8.size()));
}

void putDateTime(RowStore &s, const QDateTime &dt)
{
    unsigned char *p = s.room(13);
    const qint64 day = dt.date().toJulianDay();
    const qint32 ms = dt.time().msecsSinceStartOfDay();
    p[0] = DateTimeTag;
    std::memcpy(p + 1, &day, 8);
    std::memcpy(p + 9, &ms, 4);
}

void putValue(RowStore &s, const QVariant &v)
{
    if (!v.isValid()) {
        putTag(s, NullTag);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::LongLong:
        putFixed(s, IntegerTag, v.toLongLong());
        break;
    case QMetaType::Double:
        putFixed(s, RealTag, v.toDouble());
        break;
    case QMetaType::Bool:
        putTag(s, v.toBool() ? TrueTag : FalseTag);
        break;
    case QMetaType::QDate:
        putFixed(s, DateTag, v.toDate().toJulianDay());
        break;
    case QMetaType::QDateTime:
        putDateTime(s, v.toDateTime());
        break;
    default:
        putText(s, v.toString().toUtf8());
    }
}

// One cell of the current statement row. Text and date columns keep the
// text as stored, in one call to the engine; dates are read when asked for.
// The tag of a column kept as the text stored, NullTag for the others.
Tag textTagOf(FieldType type, bool typeFromValue)
{
    if (typeFromValue || (type != FieldType::Text && type != FieldType::Memo && type != FieldType::Date))
        return NullTag;
    return type == FieldType::Date ? DateTextTag : TextTag;
}

void packTextCell(RowStore &s, const DbCursor &st, int i, Tag tag)
{
    const QByteArrayView text = st.textCell(i);
    if (text.isNull())
        return putTag(s, NullTag);
    putText(s, text, tag);
}

void packCell(RowStore &s, const DbCursor &st, int i, FieldType type, bool typeFromValue)
{
    if (const Tag tag = textTagOf(type, typeFromValue); tag != NullTag)
        return packTextCell(s, st, i, tag);
    const CellKind storage = st.kind(i);
    if (storage == CellKind::Null)
        return putTag(s, NullTag);
    const bool number = storage == CellKind::Integer || storage == CellKind::Float;
    if (typeFromValue)
        type = FieldType::Integer;
    switch (type) {
    case FieldType::Integer:
        if (storage == CellKind::Integer)
            return putFixed(s, IntegerTag, st.integer(i));
        if (storage == CellKind::Float)
            return putFixed(s, RealTag, st.real(i));
        break;
    case FieldType::Float:
        if (number)
            return putFixed(s, RealTag, st.real(i));
        break;
    case FieldType::Boolean:
        if (number)
            return putTag(s, st.integer(i) != 0 ? TrueTag : FalseTag);
        break;
    default:
        break;
    }
    putText(s, st.utf8(i));
}

// A packed cell, read in place.
struct Cell {
    Tag tag = NullTag;
    const unsigned char *value = nullptr;   // after the type byte (text: its first byte)
    size_t size = 0;                        // text only

    QByteArrayView utf8() const { return QByteArrayView(reinterpret_cast<const char *>(value), qsizetype(size)); }
    template <typename T>
    T fixed() const
    {
        T v;
        std::memcpy(&v, value, sizeof v);
        return v;
    }
};

Cell readCellAt(const unsigned char *p)
{
    Cell c;
    c.tag = Tag(*p++);
    if (c.tag == TextTag || c.tag == DateTextTag) {
        size_t n = 0;
        for (int shift = 0;; shift += 7) {
            const unsigned char b = *p++;
            n |= size_t(b & 0x7f) << shift;
            if (!(b & 0x80))
                break;
        }
        c.size = n;
    }
    c.value = p;
    return c;
}

size_t packedSize(const Cell &c)
{
    switch (c.tag) {
    case IntegerTag:
    case RealTag:
    case DateTag:
        return 8;
    case DateTimeTag:
        return 12;
    case TextTag:
    case DateTextTag:
        return c.size;
    default:
        return 0;
    }
}

Cell cellOf(const unsigned char *cells, int col)
{
    Cell c = readCellAt(cells);
    for (int k = 0; k < col; ++k)
        c = readCellAt(c.value + packedSize(c));
    return c;
}

// A date column's cell: ISO text, or a day number as Jet kept them (the
// file keeps a number in a date column as a number, so a text that reads as
// one was one). Other texts stay texts.
bool readDateCell(const Cell &c, StoredDate &out)
{
    if (readIsoDate(c.value, qsizetype(c.size), out))
        return true;
    bool number = false;
    const double serial = c.utf8().toDouble(&number);
    if (number)
        out = fromSerial(serial);
    return number;
}

QVariant cellValue(const Cell &c)
{
    switch (c.tag) {
    case NullTag:
        return QVariant();
    case IntegerTag:
        return qlonglong(c.fixed<qint64>());
    case RealTag:
        return c.fixed<double>();
    case TextTag:
        return QString::fromUtf8(c.utf8());
    case TrueTag:
        return true;
    case FalseTag:
        return false;
    case DateTag:
        return QDate::fromJulianDay(c.fixed<qint64>());
    case DateTimeTag: {
        qint32 ms;
        std::memcpy(&ms, c.value + 8, 4);
        return QDateTime(QDate::fromJulianDay(c.fixed<qint64>()), QTime::fromMSecsSinceStartOfDay(ms));
    }
    case DateTextTag: {
        StoredDate d;
        if (readDateCell(c, d))
            return dateValue(d);
        return QString::fromUtf8(c.utf8());
    }
    }
    return QVariant();
}

// One cell of the current statement row as a value, for the single rows
// read while posting.
QVariant readCell(const DbCursor &st, int i, FieldType type, bool typeFromValue)
{
    RowStore one;
    one.beginRow();
    packCell(one, st, i, type, typeFromValue);
    return cellValue(readCellAt(one.rowStart()));
}

// A value in the type the field holds, or an invalid QVariant for NULL.
QVariant storageValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QVariant();
    return v;
}

// Order-preserving integer for a double, so that every sort key is one
// qint64 and the comparator stays trivial.
qint64 orderedDouble(double d)
{
    if (d == 0)
        d = 0;   // -0 sorts with +0
    quint64 u;
    std::memcpy(&u, &d, sizeof u);
    if (u >> 63)
        return qint64(~u ^ (quint64(1) << 63));
    return qint64(u);
}

constexpr qint64 kNullKey = std::numeric_limits<qint64>::min();
// A stored value the column's type cannot read (text in a date column)
// sorts right after NULL.
constexpr qint64 kOddKey = kNullKey + 1;

}   // namespace

namespace {

// Makes the pages of fresh memory in one call rather than a fault each on
// first use: filling a large result page by page cost more in faults than
// reading its rows. Only a hint; where it is refused, nothing changes.
void makePages([[maybe_unused]] void *at, [[maybe_unused]] size_t size)
{
#if defined(MADV_POPULATE_WRITE)
    constexpr std::uintptr_t page = 4096;
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(at) + page - 1) & ~(page - 1);
    const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(at) + size) & ~(page - 1);
    if (from < to)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE);
#endif
}

// Fresh memory for a large block: huge pages for the whole ones inside it
// (only a hint), its other pages made at once. A fault per 4 KB page cost
// more than reading the rows that fill it.
void makeMemory(void *at, size_t size)
{
    if (size < 64 * 1024)
        return;
    const auto start = reinterpret_cast<std::uintptr_t>(at), end = start + size;
    std::uintptr_t from = end, to = end;
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t hugePage = 2 * 1024 * 1024;
    if (((start + hugePage - 1) & ~(hugePage - 1)) < (end & ~(hugePage - 1))) {
        from = (start + hugePage - 1) & ~(hugePage - 1);
        to = end & ~(hugePage - 1);
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
    }
#endif
    makePages(at, from - start);
    makePages(reinterpret_cast<void *>(to), end - to);
}

// A list of n values in memory made as above.
template <typename T>
std::vector<T> madeList(size_t n, const T &value = T())
{
    std::vector<T> v;
    v.reserve(n);
    makeMemory(v.data(), n * sizeof(T));
    v.resize(n, value);
    return v;
}

}   // namespace

namespace {
DataSet::OverwriteQuestion &overwriteQuestion()
{
    static DataSet::OverwriteQuestion ask;
    return ask;
}
}

void PackedRows::clear()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_rowStart = m_at = m_end = nullptr;
    m_blockSize = 256;
}

// A new block, small at first so that a few rows cost little; the row
// begun in the old one moves along. A large result goes on in large blocks
// on huge pages.
void PackedRows::grow(size_t n)
{
    constexpr size_t largeBlock = 8 * 1024 * 1024;
    const size_t begun = size_t(m_at - m_rowStart);
    const size_t size = std::max(m_blockSize, 2 * (begun + n));
    m_blockSize = m_blockSize >= 256 * 1024 ? largeBlock : m_blockSize * 2;
    m_blocks.emplace_back(new unsigned char[size]);
    unsigned char *block = m_blocks.back().get();
    makeMemory(block, size);
    if (begun)
        std::memcpy(block, m_rowStart, begun);
    m_rowStart = block;
    m_at = block + begun;
    m_end = block + size;
}

DataSet::DataSet(QObject *parent) : QObject(parent) {}

DataSet::DataSet(DbConnection *conn, QObject *parent) : QObject(parent), m_conn(conn) {}

DataSet::~DataSet() = default;

void DataSet::setConnection(DbConnection *conn)
{
    close();
    m_conn = conn;
}

void DataSet::setTableName(const QString &table)
{
    close();
    m_tableName = table.trimmed();
    m_sql.clear();
}

void DataSet::setSql(const QString &jetSelect)
{
    // As with a query component, changing the statement closes the result.
    close();
    m_sql = jetSelect;
    m_tableName.clear();
}

// ---- opening and closing -----------------------------------------------------

void DataSet::open()
{
    if (isOpen())
        return;
    fetch();
    m_current = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
    setState(DataSetState::Browse);
    emit dataReset();
    emit currentChanged();
}

void DataSet::close()
{
    if (!isOpen())
        return;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_store.clear();
    m_typedByValues.clear();
    m_order.clear();
    m_order.shrink_to_fit();
    m_fields.clear();
    m_baseColumns.clear();
    m_buffer = Row();
    m_modified.clear();
    m_recordModified = false;
    m_refused.clear();
    m_insertPos = -1;
    m_current = -1;
    m_bof = m_eof = true;
    m_baseTable.clear();
    // The order set on the open result goes with it.
    m_sortSpec.clear();
    setState(DataSetState::Inactive);
    emit dataReset();
    emit currentChanged();
}

void DataSet::refresh()
{
    close();
    open();
}

QString DataSet::selectText(QString *baseTable, QString *order) const
{
    if (order)
        order->clear();
    if (!m_tableName.isEmpty()) {
        *baseTable = m_tableName;
        if (baseTable->startsWith(u'[') && baseTable->endsWith(u']'))
            *baseTable = baseTable->mid(1, baseTable->size() - 2);
        return QStringLiteral("SELECT rowid AS __rowid, * FROM ") + quoteIdent(m_tableName);
    }
    if (m_sql.trimmed().isEmpty())
        throw DbError(QStringLiteral("Δεν έχει οριστεί πίνακας ή εντολή SQL"));
    return JetSql::translateForEdit(m_sql, baseTable, order, m_conn ? m_conn->dialect() : Dialect::Sqlite);
}

namespace {

QStringList planOf(DbConnection &conn, const QString &native)
{
    QStringList lines;
    DbStatement st(conn, QStringLiteral("EXPLAIN QUERY PLAN ") + native);
    while (st.step())
        lines << st.columnValue(3).toString();
    return lines;
}

}   // namespace

// How the file's own ORDER BY brings rows of equal keys, from its plan: a
// sort of the rows as the statement without the order reads them keeps
// them as read; walking an index of the keys brings them by rowid, in the
// direction of the walk. Any other plan: nothing, and the file orders.
std::optional<DataSet::Ties> DataSet::tiesOfPlan(DbConnection &conn, const QString &ordered, const QString &unordered,
                                                 const QStringList &keys, bool desc)
{
    QStringList plan = planOf(conn, ordered);
    if (plan.removeAll(QStringLiteral("USE TEMP B-TREE FOR ORDER BY")) == 1)
        return plan == planOf(conn, unordered) ? std::optional(Ties::AsRead) : std::nullopt;
    plan.removeAll(QStringLiteral("USE TEMP B-TREE FOR RIGHT PART OF ORDER BY"));
    if (plan.size() != 1)
        return std::nullopt;
    static const QRegularExpression walk(QStringLiteral("^(?:SCAN|SEARCH) (?:TABLE )?\\S+ USING (?:COVERING )?INDEX (\\S+)(?: \\(.*\\))?$"));
    const QRegularExpressionMatch m = walk.match(plan.front());
    if (!m.hasMatch())
        return std::nullopt;
    // Only an index on the keys alone, so that equal keys are ordered by rowid.
    QStringList columns;
    bool backwards = desc;
    DbStatement info(conn, QStringLiteral("PRAGMA index_xinfo(%1)").arg(quoteIdent(m.captured(1))));
    while (info.step()) {
        if (info.columnValue(5).toInt() == 0)
            continue;
        if (columns.isEmpty() && info.columnValue(3).toInt() != 0)
            backwards = !backwards;   // an index kept in descending order
        columns << info.columnValue(2).toString();
    }
    if (columns.isEmpty() || columns.size() > keys.size())
        return std::nullopt;
    for (qsizetype i = 0; i < columns.size(); ++i)
        if (columns[i].compare(keys[i], Qt::CaseInsensitive) != 0)
            return std::nullopt;
    return backwards ? Ties::RowidDesc : Ties::RowidAsc;
}

void DataSet::fetch()
{
    if (!m_conn)
        throw DbError(QStringLiteral("Λείπει η σύνδεση ή τα στοιχεία σύνδεσης"));
    QString baseTable;
    // On the file an ORDER BY on Greek texts is done here, over rows read
    // in the table's order: walking an index reads the table's pages in
    // random order, which gets slower than linear on a large table.
    QString order;
    const QString unordered = selectText(&baseTable, m_conn->dialect() == Dialect::Sqlite ? &order : nullptr);
    auto st = std::make_unique<DbStatement>(*m_conn, unordered);
    const DbCursor *h = &st->cursor();
    const int n = h->columnCount();
    if (n == 0)
        throw DbError(QStringLiteral("Η εντολή δεν επιστρέφει γραμμές: %1").arg(m_sql));

    const bool withRowid = h->columnName(0).compare(kRowidColumn, Qt::CaseInsensitive) == 0;
    const int first = withRowid ? 1 : 0;
    std::vector<FieldDef> fields;
    std::vector<QString> baseColumns;
    std::vector<char> fromValue;
    for (int i = first; i < n; ++i) {
        FieldDef f;
        f.name = h->columnName(i);
        const QByteArray decl = h->declaredType(i);
        f.type = !decl.isEmpty() ? typeFromDecl(decl) : FieldType::Text;
        fromValue.push_back(decl.isEmpty());
        // Only plain columns of the base table can be written back.
        QString origin;
        const QString table = h->originTable(i);
        const QString column = h->originColumn(i);
        if (withRowid && !table.isEmpty() && !column.isEmpty() && table.compare(baseTable, Qt::CaseInsensitive) == 0)
            origin = column;
        baseColumns.push_back(origin);
        fields.push_back(f);
    }

    // The order is taken over only where the sort here gives the file's
    // order: Greek texts of the table's own columns, rows of equal keys
    // coming as the file's plan brings them.
    std::vector<SortKey> taken;
    QStringList names;
    for (const QString &item : order.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        const QString name = item.section(u' ', 0, 0);
        const auto f = std::find_if(fields.begin(), fields.end(), [&](const FieldDef &d) { return d.name.compare(name, Qt::CaseInsensitive) == 0; });
        const size_t c = size_t(f - fields.begin());
        if (f == fields.end() || baseColumns[c].compare(name, Qt::CaseInsensitive) != 0
            || (f->type != FieldType::Text && f->type != FieldType::Memo)
            || h->collation(int(c) + first).compare("GREEK", Qt::CaseInsensitive) != 0) {
            taken.clear();
            break;
        }
        taken.push_back({int(c), item.endsWith(QLatin1String(" DESC"))});
        names << name;
    }
    std::optional<Ties> ties;
    if (!order.isEmpty()) {
        const QString ordered = selectText(&baseTable, nullptr);
        if (!taken.empty())
            ties = tiesOfPlan(*m_conn, ordered, unordered, names, taken.front().desc);
        if (!ties) {
            taken.clear();
            st = std::make_unique<DbStatement>(*m_conn, ordered);
            h = &st->cursor();
        }
    }
    const int nf = int(fields.size());

    m_store.clear();
    // The rows are gathered in small pieces, which the heap keeps from one
    // opening to the next, and moved once into a list of their number:
    // doubling a list took fresh pages at each step and moved every row
    // again.
    // Columns kept as the text stored, as packCell keeps them, and their tags.
    std::vector<Tag> textTags;
    for (size_t c = 0; c < size_t(nf); ++c)
        textTags.push_back(textTagOf(fields[c].type, fromValue[c]));
    constexpr size_t pieceRows = 2048;
    std::vector<std::vector<StoredRow>> pieces;
    size_t count = 0;
    while (st->step()) {
        if (count % pieceRows == 0) {
            pieces.emplace_back();
            pieces.back().reserve(pieceRows);
        }
        m_store.beginRow();
        for (int c = 0; c < nf; ++c) {
            if (const Tag tag = textTags[size_t(c)]; tag != NullTag)
                packTextCell(m_store, *h, c + first, tag);
            else
                packCell(m_store, *h, c + first, fields[size_t(c)].type, fromValue[size_t(c)]);
        }
        pieces.back().push_back({withRowid ? h->integer(0) : qint64(count), m_store.rowStart()});
        ++count;
    }
    std::vector<StoredRow> rows;
    rows.reserve(count);
    makeMemory(rows.data(), count * sizeof(StoredRow));
    for (const std::vector<StoredRow> &piece : pieces)
        rows.insert(rows.end(), piece.begin(), piece.end());
    pieces.clear();
    st.reset();

    // Expression columns take their type from the values they hold; the
    // cells are converted to it as they are read.
    for (int c = 0; c < nf; ++c) {
        if (!fromValue[size_t(c)])
            continue;
        bool anyInt = false, anyReal = false, anyText = false;
        for (const StoredRow &r : rows) {
            const Tag t = cellOf(r.cells, c).tag;
            anyInt |= t == IntegerTag;
            anyReal |= t == RealTag;
            anyText |= t != NullTag && t != IntegerTag && t != RealTag;
        }
        fields[size_t(c)].type = anyText ? FieldType::Text : anyReal ? FieldType::Float
            : anyInt                                                 ? FieldType::Integer
                                                                     : FieldType::Text;
    }

    m_fields = std::move(fields);
    m_baseColumns = std::move(baseColumns);
    m_baseTable = withRowid ? baseTable : QString();
    m_typedByValues = std::move(fromValue);
    m_rows = std::move(rows);
    m_order = madeList<int>(m_rows.size());
    if (!taken.empty()) {
        // The statement's order becomes the order of the fetch.
        if (*ties != Ties::AsRead) {
            // Rowids differ; a table read in its order brings them ascending already.
            const auto ascending = [](const StoredRow &a, const StoredRow &b) { return a.rowid < b.rowid; };
            if (!std::is_sorted(m_rows.begin(), m_rows.end(), ascending))
                std::sort(m_rows.begin(), m_rows.end(), ascending);
            if (*ties == Ties::RowidDesc)
                std::reverse(m_rows.begin(), m_rows.end());
        }
        orderRows(taken);
        std::vector<StoredRow> ordered;
        ordered.reserve(m_rows.size());
        for (const int i : m_order)
            ordered.push_back(m_rows[size_t(i)]);
        m_rows = std::move(ordered);
    }
    std::iota(m_order.begin(), m_order.end(), 0);
    m_buffer = Row();
    m_modified.assign(m_fields.size(), false);
    m_recordModified = false;
    m_insertPos = -1;
}

// ---- rows and navigation -------------------------------------------------------

int DataSet::recordCount() const { return int(m_order.size()); }

int DataSet::rowCount() const
{
    return int(m_order.size()) + (m_state == DataSetState::Insert ? 1 : 0);
}

bool DataSet::bof() const { return m_bof; }
bool DataSet::eof() const { return m_eof; }

int DataSet::fetchIndex(int row) const
{
    if (m_state == DataSetState::Insert) {
        if (row == m_insertPos)
            return -1;
        if (row > m_insertPos)
            --row;
    }
    return m_order[size_t(row)];
}

QVariant DataSet::valueAt(int row, int col) const
{
    if (row == m_current && (m_state == DataSetState::Edit || m_state == DataSetState::Insert))
        return m_buffer.values[size_t(col)];
    const int fi = fetchIndex(row);
    return fi < 0 ? m_buffer.values[size_t(col)] : storedValue(m_rows[size_t(fi)], col);
}

QVariant DataSet::storedValue(const StoredRow &row, int col) const
{
    const Cell c = cellOf(row.cells, col);
    if (m_typedByValues[size_t(col)] && (c.tag == IntegerTag || c.tag == RealTag)) {
        const FieldType type = m_fields[size_t(col)].type;
        if (type == FieldType::Float)
            return c.tag == RealTag ? c.fixed<double>() : double(c.fixed<qint64>());
        if (type == FieldType::Text)
            return cellValue(c).toString();
    }
    return cellValue(c);
}

DataSet::Row DataSet::unpack(int fetched) const
{
    const StoredRow &stored = m_rows[size_t(fetched)];
    Row row;
    row.rowid = stored.rowid;
    row.values.reserve(m_fields.size());
    for (size_t c = 0; c < m_fields.size(); ++c)
        row.values.push_back(storedValue(stored, int(c)));
    return row;
}

// A changed row is packed anew; its old cells stay unused until close.
DataSet::StoredRow DataSet::pack(const Row &row)
{
    m_store.beginRow();
    for (const QVariant &v : row.values)
        putValue(m_store, v);
    return {row.rowid, m_store.rowStart()};
}

void DataSet::repack(int fetched, const Row &row) { m_rows[size_t(fetched)] = pack(row); }

void DataSet::setCurrent(int row)
{
    if (row == m_current)
        return;
    m_current = row;
    emit currentChanged();
}

void DataSet::first()
{
    checkActive();
    checkBrowseMode();
    setCurrent(m_order.empty() ? -1 : 0);
    m_bof = true;
    m_eof = m_order.empty();
}

void DataSet::last()
{
    checkActive();
    checkBrowseMode();
    setCurrent(int(m_order.size()) - 1);
    m_eof = true;
    m_bof = m_order.empty();
}

void DataSet::next()
{
    checkActive();
    checkBrowseMode();
    if (m_current + 1 < int(m_order.size())) {
        setCurrent(m_current + 1);
        m_bof = m_eof = false;
    } else {
        m_eof = true;
    }
}

void DataSet::prior()
{
    checkActive();
    checkBrowseMode();
    if (m_current > 0) {
        setCurrent(m_current - 1);
        m_bof = m_eof = false;
    } else {
        m_bof = true;
    }
}

void DataSet::moveTo(int row)
{
    checkActive();
    if (row == m_current)
        return;
    const bool pendingInsert = m_state == DataSetState::Insert;
    const int insertPos = m_insertPos;
    checkBrowseMode();
    // Dropping an untouched new row shifts up the rows after it.
    if (pendingInsert && m_droppedInsert && row > insertPos)
        --row;
    if (row < 0 || row >= int(m_order.size()))
        return;
    setCurrent(row);
    m_bof = m_eof = false;
}

void DataSet::checkActive() const
{
    if (!isOpen())
        throw DbError(closedError());
}

void DataSet::checkBrowseMode()
{
    m_droppedInsert = false;
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    // Bound controls hand over what was typed; a row nobody touched is
    // dropped rather than stored empty.
    emit updateRecord();
    if (m_recordModified) {
        postRow();
    } else {
        m_droppedInsert = m_state == DataSetState::Insert;
        cancel();
    }
}

// ---- fields ------------------------------------------------------------------------

int DataSet::fieldIndex(const QString &name) const
{
    QString n = name.trimmed();
    if (n.size() >= 2 && n.front() == u'[' && n.back() == u']')
        n = n.mid(1, n.size() - 2);
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(n, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QStringList DataSet::fieldNames() const
{
    QStringList names;
    for (const FieldDef &f : m_fields)
        names << f.name;
    return names;
}

int DataSet::requireField(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw DbError(QStringLiteral("Το πεδίο '%1' δεν υπάρχει").arg(name));
    return i;
}

QVariant DataSet::value(int row, int col) const
{
    if (row < 0 || row >= rowCount() || col < 0 || col >= fieldCount())
        return QVariant();
    return valueAt(row, col);
}

QString DataSet::formatValue(int col, const QVariant &v) const
{
    if (!v.isValid())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::QDate:
        return Regional::formatDate(v.toDate());
    case QMetaType::QDateTime:
        return Regional::formatDateTime(v.toDateTime());
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return Regional::formatNumber(v.toDouble());
    case QMetaType::LongLong:
        if (m_fields[size_t(col)].type == FieldType::Float)
            return Regional::formatNumber(v.toDouble());
        return QString::number(v.toLongLong());
    default:
        return v.toString();
    }
}

QString DataSet::displayText(int row, int col) const
{
    if (row < 0 || row >= rowCount() || col < 0 || col >= fieldCount())
        return QString();
    return formatValue(col, valueAt(row, col));
}

QVariant DataSet::fieldValue(const QString &name) const
{
    const int col = requireField(name);
    return value(m_current, col);
}

QString DataSet::fieldText(const QString &name) const
{
    const int col = requireField(name);
    return displayText(m_current, col);
}

QVariant DataSet::convertText(int col, const QString &text) const
{
    const FieldDef &f = m_fields[size_t(col)];
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QVariant();
    switch (f.type) {
    case FieldType::Text:
    case FieldType::Memo:
        return text;
    case FieldType::Date: {
        if (const auto d = Regional::parseDate(t))
            return *d;
        // A date with a time after a blank.
        const int blank = int(t.indexOf(u' '));
        if (blank > 0) {
            const auto d = Regional::parseDate(t.left(blank));
            const QString timeText = t.mid(blank + 1).trimmed();
            QTime tm = QTime::fromString(timeText, QStringLiteral("H:mm:ss"));
            if (!tm.isValid())
                tm = QTime::fromString(timeText, QStringLiteral("H:mm"));
            if (d && tm.isValid())
                return tm == QTime(0, 0) ? QVariant(*d) : QVariant(QDateTime(*d, tm));
        }
        throw DbError(QStringLiteral("Το '%1' δεν είναι έγκυρη ημερομηνία για το πεδίο %2").arg(text, f.name));
    }
    case FieldType::Float: {
        // Every real column holds an amount: the receipts' rule, and its reason.
        const Regional::AmountReading amount = Regional::readAmount(t);
        if (amount.value)
            return *amount.value;
        throw DbError(QStringLiteral("Το '%1' δεν είναι έγκυρος αριθμός για το πεδίο %2.\n%3").arg(text, f.name, amount.refusal));
    }
    case FieldType::Integer: {
        bool ok = false;
        const qlonglong v = t.toLongLong(&ok);
        if (ok)
            return v;
        throw DbError(QStringLiteral("Το '%1' δεν είναι έγκυρος ακέραιος για το πεδίο %2").arg(text, f.name));
    }
    case FieldType::Boolean: {
        // Any beginning of "True" or "False", in any letter case.
        if (QStringLiteral("True").startsWith(t, Qt::CaseInsensitive))
            return true;
        if (QStringLiteral("False").startsWith(t, Qt::CaseInsensitive))
            return false;
        throw DbError(QStringLiteral("Το '%1' δεν είναι έγκυρη τιμή ναι/όχι για το πεδίο %2").arg(text, f.name));
    }
    }
    return text;
}

QVariant DataSet::convertValue(int col, const QVariant &value) const
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    const FieldDef &f = m_fields[size_t(col)];
    if (value.typeId() == QMetaType::QString && f.type == FieldType::Date) {
        // Dates as stored ("2008-03-05") as well as typed.
        const QByteArray iso = value.toString().trimmed().toLatin1();
        StoredDate d;
        if (readIsoDate(reinterpret_cast<const unsigned char *>(iso.constData()), iso.size(), d))
            return dateValue(d);
    }
    if (value.typeId() == QMetaType::QString && f.type != FieldType::Text && f.type != FieldType::Memo)
        return convertText(col, value.toString());
    bool ok = true;
    QVariant out;
    switch (f.type) {
    case FieldType::Text:
    case FieldType::Memo:
        out = value.toString();
        break;
    case FieldType::Date:
        if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime)
            out = value;
        else
            ok = false;
        break;
    case FieldType::Float:
        out = value.toDouble(&ok);
        break;
    case FieldType::Integer:
        out = value.toLongLong(&ok);
        break;
    case FieldType::Boolean:
        out = value.toBool();
        break;
    }
    if (!ok)
        throw DbError(QStringLiteral("Το '%1' δεν είναι έγκυρη τιμή για το πεδίο %2").arg(value.toString(), f.name));
    return out;
}

void DataSet::setFieldValue(const QString &name, const QVariant &value)
{
    checkActive();
    const int col = requireField(name);
    const QVariant v = convertValue(col, value);
    setField(col, v);
}

void DataSet::setFieldText(const QString &name, const QString &text)
{
    checkActive();
    const int col = requireField(name);
    const QVariant v = convertText(col, text);
    setField(col, v);
}

void DataSet::setField(int col, const QVariant &v)
{
    if (canModify() && m_baseColumns[size_t(col)].isEmpty())
        throw DbError(QStringLiteral("Το πεδίο '%1' δεν μπορεί να αλλάξει").arg(m_fields[size_t(col)].name));
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        edit();
    m_buffer.values[size_t(col)] = v;
    m_modified[size_t(col)] = true;
    m_recordModified = true;
    emit fieldChanged(col);
}

QVariantList DataSet::rowValues(int row) const
{
    QVariantList out;
    if (row < 0 || row >= rowCount())
        return out;
    out.reserve(fieldCount());
    for (int c = 0; c < fieldCount(); ++c)
        out.append(valueAt(row, c));
    return out;
}

// ---- editing ---------------------------------------------------------------------------

void DataSet::checkCanModify() const
{
    if (!canModify())
        throw DbError(QStringLiteral("Το σύνολο δεδομένων είναι μόνο για ανάγνωση"));
}

void DataSet::setState(DataSetState s)
{
    if (s == m_state)
        return;
    m_state = s;
    emit stateChanged();
}

void DataSet::edit()
{
    checkActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    // Editing an empty table starts its first row, as the bound controls
    // expect. An empty query result is no table: a window that selected one
    // row by its key and found none must not add a row by being typed into.
    if (m_order.empty()) {
        if (m_tableName.isEmpty())
            throw DbError(QStringLiteral("Η ενέργεια δεν γίνεται σε κενό σύνολο δεδομένων"));
        insert();
        return;
    }
    checkCanModify();
    m_buffer = unpack(m_order[size_t(m_current)]);
    m_modified.assign(m_fields.size(), false);
    m_recordModified = false;
    setState(DataSetState::Edit);
}

void DataSet::insert() { startInsert(false); }

void DataSet::append() { startInsert(true); }

void DataSet::startInsert(bool atEnd)
{
    checkActive();
    checkCanModify();
    checkBrowseMode();
    m_buffer = Row();
    m_buffer.values.assign(m_fields.size(), QVariant());
    m_modified.assign(m_fields.size(), false);
    m_recordModified = false;
    m_currentBeforeInsert = m_current;
    m_insertPos = atEnd || m_current < 0 ? int(m_order.size()) : m_current;
    m_current = m_insertPos;
    m_bof = m_eof = false;
    setState(DataSetState::Insert);
    emit dataReset();
    emit currentChanged();
}

void DataSet::post()
{
    checkActive();
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    emit updateRecord();
    postRow();
}

void DataSet::postRow()
{
    const QString table = quoteIdent(m_baseTable);
    if (m_state == DataSetState::Edit) {
        askOverwrite();
        QStringList sets;
        QVariantList params;
        for (size_t c = 0; c < m_fields.size(); ++c) {
            if (!m_modified[c])
                continue;
            sets << quoteIdent(m_baseColumns[c]) + QStringLiteral("=?");
            params << storageValue(m_buffer.values[c]);
        }
        if (!sets.isEmpty()) {
            // Optimistic locking: the row is written only while its changed
            // columns still hold what this data set read. Check and write
            // are one unit, unless the caller's own unit already holds.
            std::optional<DbTransaction> unit;
            if (!m_conn->inTransaction())
                unit.emplace(*m_conn);
            const int fetched = m_order[size_t(m_current)];
            const Row read = unpack(fetched);
            std::vector<QVariant> stored;
            std::vector<int> typed, clash;
            for (size_t c = 0; c < m_fields.size(); ++c)
                if (m_modified[c])
                    typed.push_back(int(c));
            if (!readStoredRow(read.rowid, stored)) {
                unit.reset();
                const QString lost = valueList(typed, m_buffer.values);
                removeCurrentRow();
                throw DbError(rowGoneError(lost));
            }
            // A column typed into that another user changed meanwhile, unless
            // both wrote the same.
            for (int c : typed)
                if (!sameValue(stored[size_t(c)], read.values[size_t(c)]) && !sameValue(stored[size_t(c)], m_buffer.values[size_t(c)]))
                    clash.push_back(c);
            if (!clash.empty()) {
                unit.reset();
                const QString lost = valueList(clash, m_buffer.values);
                takeStoredRow(fetched, stored, clash);
                throw DbError(rowChangedError(lost));
            }
            params << m_buffer.rowid;
            DbStatement st(*m_conn, QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(table, sets.join(u',')));
            st.bindAll(params);
            st.step();
            if (m_conn->changes() == 0)
                throw DbError(rowNotFoundError());
            if (unit)
                unit->commit();
            // The columns not written show what is stored now.
            for (size_t c = 0; c < m_fields.size(); ++c)
                if (!m_modified[c])
                    m_buffer.values[c] = stored[c];
        }
        repack(m_order[size_t(m_current)], m_buffer);
        m_buffer = Row();
        m_recordModified = false;
        setState(DataSetState::Browse);
        emit afterPost();
        return;
    }

    // Insert: only the columns that were set, so the table's defaults fill the rest.
    QStringList cols, marks;
    QVariantList params;
    for (size_t c = 0; c < m_fields.size(); ++c) {
        if (!m_modified[c])
            continue;
        cols << quoteIdent(m_baseColumns[c]);
        marks << QStringLiteral("?");
        params << storageValue(m_buffer.values[c]);
    }
    const QString sql = cols.isEmpty()
        ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, cols.join(u','), marks.join(u','));
    const qint64 rowid = m_conn->insertRow(sql, params);
    Row row = std::move(m_buffer);
    row.rowid = rowid;
    rereadRow(row);

    m_rows.push_back(pack(row));
    m_order.insert(m_order.begin() + m_insertPos, int(m_rows.size()) - 1);
    m_current = m_insertPos;
    m_insertPos = -1;
    m_buffer = Row();
    m_recordModified = false;
    setState(DataSetState::Browse);
    emit dataReset();
    emit afterPost();
}

// Reads a row back by its rowid, to pick up what the database filled in.
// A row the query's conditions no longer select keeps the values as set.
void DataSet::rereadRow(Row &row)
{
    try {
        QString baseTable, order;   // one row: the order does not matter
        QString sql = selectText(&baseTable, &order).trimmed();
        while (sql.endsWith(u';'))
            sql.chop(1);
        if (m_tableName.isEmpty())
            sql = QStringLiteral("SELECT * FROM (%1) AS reread WHERE __rowid=?").arg(sql);
        else
            sql += QStringLiteral(" WHERE rowid=?");
        DbStatement st(*m_conn, sql);
        st.bind(1, row.rowid);
        if (!st.step())
            return;
        const DbCursor &h = st.cursor();
        if (h.columnCount() != int(m_fields.size()) + 1)
            return;
        for (size_t c = 0; c < m_fields.size(); ++c) {
            const bool fromValue = h.declaredType(int(c) + 1).isEmpty();
            QVariant v = readCell(h, int(c) + 1, m_fields[c].type, fromValue);
            if (fromValue && v.isValid() && m_fields[c].type == FieldType::Float)
                v = v.toDouble();
            else if (fromValue && v.isValid() && m_fields[c].type == FieldType::Text)
                v = v.toString();
            row.values[c] = v;
        }
    } catch (const DbError &) {
        // The row is stored; only the defaults are not shown until the next open.
    }
}

// The row's stored values, by the fields' types; computed fields keep
// what was read. False when the row is gone.
bool DataSet::readStoredRow(qint64 rowid, std::vector<QVariant> &out) const
{
    QStringList cols;
    std::vector<size_t> at;
    for (size_t c = 0; c < m_fields.size(); ++c) {
        if (m_baseColumns[c].isEmpty())
            continue;
        cols << quoteIdent(m_baseColumns[c]);
        at.push_back(c);
    }
    out = unpack(m_order[size_t(m_current)]).values;
    if (cols.isEmpty())
        return true;
    // Locked until the unit of work ends where the engine locks rows, so
    // that no other workstation writes between this check and the update.
    DbStatement st(*m_conn, m_conn->engine().forUpdate(QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?").arg(cols.join(u','), quoteIdent(m_baseTable))));
    st.bind(1, rowid);
    if (!st.step())
        return false;
    for (size_t k = 0; k < at.size(); ++k)
        out[at[k]] = readCell(st.cursor(), int(k), m_fields[at[k]].type, false);
    return true;
}

bool DataSet::sameValue(const QVariant &a, const QVariant &b)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid();
    return a.typeId() == b.typeId() && a == b;
}

// Another user changed the row: this data set takes the stored values as
// read, and the row being edited shows them, the other user's values in the
// clashing columns too. What was typed there is kept for the next post to
// offer; the columns typed into without a clash keep the typed values.
void DataSet::takeStoredRow(int fetched, const std::vector<QVariant> &stored, const std::vector<int> &clash)
{
    repack(fetched, Row{m_rows[size_t(fetched)].rowid, stored});
    m_refused.clear();
    for (int c : clash) {
        m_refused.emplace_back(c, m_buffer.values[size_t(c)]);
        m_modified[size_t(c)] = false;
    }
    for (size_t c = 0; c < m_fields.size(); ++c) {
        if (m_modified[c] || sameValue(m_buffer.values[c], stored[c]))
            continue;
        m_buffer.values[c] = stored[c];
        emit fieldChanged(int(c));
    }
}

// The post after a refusal: the values typed before it overwrite the other
// user's only when the question, which names both, is answered yes. A column
// typed into again since is the user's new choice and is not asked about.
void DataSet::askOverwrite()
{
    std::vector<int> cols;
    std::vector<QVariant> typed(m_fields.size());
    for (const auto &[c, v] : m_refused) {
        if (m_modified[size_t(c)])
            continue;
        cols.push_back(c);
        typed[size_t(c)] = v;
    }
    m_refused.clear();
    if (cols.empty())
        return;
    QString question = QStringLiteral("Η εγγραφή άλλαξε από άλλο χρήστη. Αν αποθηκευτούν οι δικές σας τιμές, "
                                      "θα χαθούν οι τιμές που αποθήκευσε εκείνος:");
    question += valueList(cols, m_buffer.values);
    question += QStringLiteral("\nΟι δικές σας τιμές:") + valueList(cols, typed);
    question += QStringLiteral("\nΝα αποθηκευτούν οι δικές σας τιμές στη θέση των τιμών του άλλου χρήστη;");
    const OverwriteQuestion &ask = overwriteQuestion();
    if (!ask || !ask(question))
        return;
    for (int c : cols) {
        m_buffer.values[size_t(c)] = typed[size_t(c)];
        m_modified[size_t(c)] = true;
        emit fieldChanged(c);
    }
}

DataSet::OverwriteQuestion DataSet::setOverwriteQuestion(OverwriteQuestion ask)
{
    return std::exchange(overwriteQuestion(), std::move(ask));
}

// One line per column: its name and the value, as the user reads them.
QString DataSet::valueList(const std::vector<int> &cols, const std::vector<QVariant> &values) const
{
    QString out;
    for (int c : cols) {
        const QString text = formatValue(c, values[size_t(c)]);
        out += QStringLiteral("\n%1: %2").arg(m_fields[size_t(c)].name, text.isEmpty() ? QStringLiteral("(κενό)") : u'«' + text + u'»');
    }
    return out;
}

QString DataSet::rowNotFoundError()
{
    return QStringLiteral("Η εγγραφή δεν βρέθηκε για να αποθηκευτεί· κάποιες τιμές της μπορεί να άλλαξαν μετά την ανάγνωσή της.");
}

void DataSet::cancel()
{
    checkActive();
    m_refused.clear();
    if (m_state == DataSetState::Edit) {
        std::vector<int> changed;
        for (size_t c = 0; c < m_modified.size(); ++c)
            if (m_modified[c])
                changed.push_back(int(c));
        m_buffer = Row();
        m_modified.assign(m_fields.size(), false);
        m_recordModified = false;
        setState(DataSetState::Browse);
        for (int c : changed)
            emit fieldChanged(c);
    } else if (m_state == DataSetState::Insert) {
        m_buffer = Row();
        m_modified.assign(m_fields.size(), false);
        m_recordModified = false;
        m_insertPos = -1;
        const int back = std::min(m_currentBeforeInsert, int(m_order.size()) - 1);
        m_current = m_order.empty() ? -1 : std::max(back, 0);
        m_bof = m_eof = m_order.empty();
        setState(DataSetState::Browse);
        emit dataReset();
        emit currentChanged();
    }
}

void DataSet::deleteRecord()
{
    checkActive();
    if (m_state == DataSetState::Insert) {
        // Deleting a row that was never stored only drops it.
        cancel();
        return;
    }
    checkCanModify();
    if (m_order.empty())
        throw DbError(QStringLiteral("Η ενέργεια δεν γίνεται σε κενό σύνολο δεδομένων"));
    if (m_deleter) {
        m_deleter();
    } else {
        DbStatement st(*m_conn, QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(quoteIdent(m_baseTable)));
        st.bind(1, m_rows[size_t(m_order[size_t(m_current)])].rowid);
        st.step();
        if (m_conn->changes() == 0) {
            removeCurrentRow();
            throw DbError(rowGoneError(QString()));
        }
    }
    removeCurrentRow();
    emit afterDelete();
}

// Drops the current row from the data set, with an unposted change to it.
void DataSet::removeCurrentRow()
{
    const int pos = m_current;
    const int fi = m_order[size_t(pos)];
    if (m_state == DataSetState::Edit) {
        m_buffer = Row();
        m_modified.assign(m_fields.size(), false);
        m_recordModified = false;
        m_refused.clear();
        setState(DataSetState::Browse);
    }
    m_rows.erase(m_rows.begin() + fi);
    m_order.erase(m_order.begin() + pos);
    for (int &i : m_order)
        if (i > fi)
            --i;
    // The next row becomes current, or the new last one.
    m_current = m_order.empty() ? -1 : std::min(pos, int(m_order.size()) - 1);
    m_bof = m_order.empty() || m_current == 0;
    m_eof = m_order.empty();
    emit dataReset();
    emit currentChanged();
}

// ---- sorting -------------------------------------------------------------------------------

std::vector<DataSet::SortKey> DataSet::sortKeysOf(const QString &order, std::optional<QString> *unknown) const
{
    std::vector<SortKey> keys;
    for (const QString &partRaw : order.split(u',', Qt::SkipEmptyParts)) {
        QString part = partRaw.simplified();
        if (part.isEmpty())
            continue;
        bool desc = false;
        if (part.endsWith(QLatin1String(" DESC"), Qt::CaseInsensitive)) {
            desc = true;
            part.chop(5);
        } else if (part.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive)) {
            part.chop(4);
        }
        const int col = fieldIndex(part);
        if (col < 0) {
            *unknown = part.trimmed();
            return {};
        }
        keys.push_back({col, desc});
    }
    return keys;
}

void DataSet::setSort(const QString &order)
{
    checkActive();
    std::optional<QString> unknown;
    const std::vector<SortKey> keys = sortKeysOf(order, &unknown);
    if (unknown)
        throw DbError(QStringLiteral("Ταξινόμηση: το πεδίο '%1' δεν υπάρχει").arg(*unknown));
    checkBrowseMode();
    orderRows(keys);
    m_sortSpec = keys.empty() ? QString() : order.trimmed();

    // As with ADO's Sort, the cursor goes to the first row of the new order.
    m_current = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
    emit dataReset();
    emit currentChanged();
}

namespace {

// Rows ordered stably by 64-bit keys, the order given in and out: a radix
// sort a byte at a time from the lowest, skipping bytes all keys share.
// Linear in the rows, where a comparison sort grows as n log n.
void radixOrder(std::vector<int> &order, const std::vector<qint64> &keys, bool desc)
{
    const size_t n = order.size();
    struct Item {
        quint64 key;
        int row;
    };
    std::vector<Item> items = madeList<Item>(n), other = madeList<Item>(n);
    std::vector<std::array<size_t, 256>> counts(8, std::array<size_t, 256>{});
    for (size_t i = 0; i < n; ++i) {
        // Signed order as unsigned; descending as the complement, so that
        // equal keys keep their order both ways.
        quint64 k = quint64(keys[size_t(order[i])]) ^ (quint64(1) << 63);
        if (desc)
            k = ~k;
        items[i] = {k, order[i]};
        for (size_t b = 0; b < 8; ++b)
            ++counts[b][(k >> (8 * b)) & 0xff];
    }
    for (size_t b = 0; b < 8; ++b) {
        std::array<size_t, 256> &at = counts[b];
        if (std::find(at.begin(), at.end(), n) != at.end())
            continue;   // every key has the same byte here
        size_t sum = 0;
        for (size_t &c : at)
            sum += std::exchange(c, sum);
        for (const Item &it : items)
            other[at[(it.key >> (8 * b)) & 0xff]++] = it;
        items.swap(other);
    }
    for (size_t i = 0; i < n; ++i)
        order[i] = items[i].row;
}

}   // namespace

// The view order of the fetched rows by the keys, stable: ordered by the
// last key first, then by each one before it.
void DataSet::orderRows(const std::vector<SortKey> &keys)
{
    std::iota(m_order.begin(), m_order.end(), 0);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        const std::vector<qint64> k = sortKeys(key->col);
        // Rows that came in this order already (a statement ordered the
        // same way) stay as they are, as a stable sort would leave them.
        if (keys.size() == 1 && (key->desc ? std::is_sorted(k.rbegin(), k.rend()) : std::is_sorted(k.begin(), k.end())))
            return;
        radixOrder(m_order, k, key->desc);
    }
}

// One orderable integer per fetched row for a column: NULL lowest, then
// values by type; texts get their rank in Greek dictionary order.
std::vector<qint64> DataSet::sortKeys(int col) const
{
    const size_t n = m_rows.size();
    std::vector<qint64> keys = madeList<qint64>(n, kNullKey);
    const FieldType type = m_fields[size_t(col)].type;

    if (type == FieldType::Text || type == FieldType::Memo) {
        // Each distinct text is ranked once; rows take the rank of their text.
        std::unordered_map<std::string_view, int> distinctIndex;
        std::vector<QString> distinct;
        std::vector<int> rowDistinct = madeList<int>(n, -1);
        std::deque<QByteArray> numbersAsText;
        for (size_t i = 0; i < n; ++i) {
            const Cell c = cellOf(m_rows[i].cells, col);
            QByteArrayView text;
            if (c.tag == NullTag)
                continue;
            if (c.tag == TextTag) {
                text = c.utf8();
            } else if (m_typedByValues[size_t(col)] && (c.tag == IntegerTag || c.tag == RealTag)) {
                numbersAsText.push_back(storedValue(m_rows[i], col).toString().toUtf8());
                text = numbersAsText.back();
            } else {
                keys[i] = kOddKey;
                continue;
            }
            const auto [it, added] = distinctIndex.try_emplace(std::string_view(text.data(), size_t(text.size())), int(distinct.size()));
            if (added)
                distinct.push_back(QString::fromUtf8(text));
            rowDistinct[i] = it->second;
        }
        const std::vector<int> rank = textRanks(distinct);
        for (size_t i = 0; i < n; ++i)
            if (rowDistinct[i] >= 0)
                keys[i] = rank[size_t(rowDistinct[i])];
        return keys;
    }

    bool anyReal = false;
    for (size_t i = 0; i < n; ++i) {
        if (const Cell c = cellOf(m_rows[i].cells, col); c.tag == DateTextTag) {
            StoredDate d;
            keys[i] = readDateCell(c, d) ? d.day * 86400000 + std::max(d.ms, 0) : kOddKey;
            continue;
        }
        const QVariant v = storedValue(m_rows[i], col);
        if (!v.isValid())
            continue;
        anyReal |= v.typeId() == QMetaType::Double;
        switch (v.typeId()) {
        case QMetaType::QDate:
            keys[i] = v.toDate().toJulianDay() * 86400000;
            break;
        case QMetaType::QDateTime: {
            const QDateTime dt = v.toDateTime();
            keys[i] = dt.date().toJulianDay() * 86400000 + dt.time().msecsSinceStartOfDay();
            break;
        }
        case QMetaType::Bool:
            // Stored as -1 and 0: TRUE comes first.
            keys[i] = v.toBool() ? 0 : 1;
            break;
        case QMetaType::LongLong:
            keys[i] = type == FieldType::Float ? orderedDouble(double(v.toLongLong())) : v.toLongLong();
            break;
        case QMetaType::Double:
            keys[i] = orderedDouble(v.toDouble());
            break;
        default:
            keys[i] = kOddKey;
        }
    }
    // An integer column that also holds reals is compared as reals.
    if (type == FieldType::Integer && anyReal)
        for (size_t i = 0; i < n; ++i) {
            const Cell c = cellOf(m_rows[i].cells, col);
            if (c.tag == IntegerTag)
                keys[i] = orderedDouble(double(c.fixed<qint64>()));
        }
    return keys;
}

// Ranks of distinct texts in the order of SqlFunctions::compareText: the
// Greek collator first, the texts' code units where it sees no difference.
// Collation keys are made once per text instead of collating in every
// comparison, which is several times faster on large results.
std::vector<int> DataSet::textRanks(const std::vector<QString> &texts)
{
    const size_t d = texts.size();
    std::vector<QCollatorSortKey> sortKeys;
    sortKeys.reserve(d);
    const QCollator &collator = Regional::greekCollator();
    for (const QString &s : texts)
        sortKeys.push_back(collator.sortKey(s));
    std::vector<int> idx(d);
    std::iota(idx.begin(), idx.end(), 0);
    auto cmp = [&](int a, int b) {
        const QString &x = texts[size_t(a)], &y = texts[size_t(b)];
        // The collator puts an empty text before every other one.
        if (x.isEmpty() || y.isEmpty())
            return x.isEmpty() && !y.isEmpty();
        const int r = sortKeys[size_t(a)].compare(sortKeys[size_t(b)]);
        if (r != 0)
            return r < 0;
        return x < y;
    };
    std::sort(idx.begin(), idx.end(), cmp);
    std::vector<int> rank(d);
    for (size_t i = 0; i < d; ++i)
        rank[size_t(idx[i])] = int(i);
    return rank;
}
