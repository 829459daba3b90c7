#include "data/db/dataset.h"
#include "data/db/connection.h"
#include "data/db/jetsql.h"
#include "data/db/regional.h"
#include <QCollator>
#include <QCollatorSortKey>
#include <QHash>
#include <QLocale>
#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <optional>
#include <utility>

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

// Stored dates: "YYYY-MM-DD", with "HH:MM[:SS[.fff]]" after a blank or 'T'
// when a time is kept. Written by hand because this runs for every date of
// every fetched row.
bool readIsoDate(const unsigned char *s, int n, QVariant &out)
{
    if (n < 10 || s[4] != '-' || s[7] != '-')
        return false;
    const int y = digits(s, 0, 4), m = digits(s, 5, 2), d = digits(s, 8, 2);
    if (y < 0 || m < 0 || d < 0 || !QDate::isValid(y, m, d))
        return false;
    const QDate date(y, m, d);
    if (n == 10) {
        out = date;
        return true;
    }
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
            ms = digits(s, 20, n - 20);
            for (int k = n - 20; k < 3 && ms >= 0; ++k)
                ms *= 10;
        }
    } else if (n != 16) {
        return false;
    }
    if (h < 0 || mi < 0 || ms < 0 || !QTime::isValid(h, mi, sec, ms))
        return false;
    out = QDateTime(date, QTime(h, mi, sec, ms));
    return true;
}

QString columnText(const DbCursor &st, int i) { return st.text(i); }

// One cell of the current statement row as the field's type holds it.
QVariant readCell(const DbCursor &st, int i, FieldType type, bool typeFromValue)
{
    const CellKind storage = st.kind(i);
    if (storage == CellKind::Null)
        return QVariant();
    if (typeFromValue) {
        if (storage == CellKind::Integer)
            return qlonglong(st.integer(i));
        if (storage == CellKind::Float)
            return st.real(i);
        return columnText(st, i);
    }
    switch (type) {
    case FieldType::Text:
    case FieldType::Memo:
        return columnText(st, i);
    case FieldType::Integer:
        if (storage == CellKind::Integer)
            return qlonglong(st.integer(i));
        if (storage == CellKind::Float)
            return st.real(i);
        return columnText(st, i);
    case FieldType::Float:
        if (storage == CellKind::Integer || storage == CellKind::Float)
            return st.real(i);
        return columnText(st, i);
    case FieldType::Boolean:
        if (storage == CellKind::Integer || storage == CellKind::Float)
            return st.integer(i) != 0;
        return columnText(st, i);
    case FieldType::Date:
        if (storage == CellKind::Text) {
            QVariant v;
            const QByteArrayView s = st.utf8(i);
            if (readIsoDate(reinterpret_cast<const unsigned char *>(s.data()), int(s.size()), v))
                return v;
        } else if (storage == CellKind::Integer || storage == CellKind::Float) {
            // A date kept as a day number, as Jet kept them.
            const double serial = st.real(i);
            const QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
            const QDateTime dt = base.addMSecs(qint64(serial * 86400000.0 + (serial < 0 ? -0.5 : 0.5)));
            if (dt.time() == QTime(0, 0))
                return dt.date();
            return dt;
        }
        return columnText(st, i);
    }
    return QVariant();
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
DataSet::OverwriteQuestion &overwriteQuestion()
{
    static DataSet::OverwriteQuestion ask;
    return ask;
}
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

QString DataSet::selectText(QString *baseTable) const
{
    if (!m_tableName.isEmpty()) {
        *baseTable = m_tableName;
        if (baseTable->startsWith(u'[') && baseTable->endsWith(u']'))
            *baseTable = baseTable->mid(1, baseTable->size() - 2);
        return QStringLiteral("SELECT rowid AS __rowid, * FROM ") + quoteIdent(m_tableName);
    }
    if (m_sql.trimmed().isEmpty())
        throw DbError(QStringLiteral("Δεν έχει οριστεί πίνακας ή εντολή SQL"));
    return JetSql::translateForEdit(m_sql, baseTable, m_conn ? m_conn->dialect() : Dialect::Sqlite);
}

void DataSet::fetch()
{
    if (!m_conn)
        throw DbError(QStringLiteral("Λείπει η σύνδεση ή τα στοιχεία σύνδεσης"));
    QString baseTable;
    const QString native = selectText(&baseTable);
    DbStatement st(*m_conn, native);
    const DbCursor &h = st.cursor();
    const int n = h.columnCount();
    if (n == 0)
        throw DbError(QStringLiteral("Η εντολή δεν επιστρέφει γραμμές: %1").arg(m_sql));

    const bool withRowid = h.columnName(0).compare(kRowidColumn, Qt::CaseInsensitive) == 0;
    const int first = withRowid ? 1 : 0;
    std::vector<FieldDef> fields;
    std::vector<QString> baseColumns;
    std::vector<char> fromValue;
    for (int i = first; i < n; ++i) {
        FieldDef f;
        f.name = h.columnName(i);
        const QByteArray decl = h.declaredType(i);
        f.type = !decl.isEmpty() ? typeFromDecl(decl) : FieldType::Text;
        fromValue.push_back(decl.isEmpty());
        // Only plain columns of the base table can be written back.
        QString origin;
        const QString table = h.originTable(i);
        const QString column = h.originColumn(i);
        if (withRowid && !table.isEmpty() && !column.isEmpty() && table.compare(baseTable, Qt::CaseInsensitive) == 0)
            origin = column;
        baseColumns.push_back(origin);
        fields.push_back(f);
    }
    const int nf = int(fields.size());

    std::vector<Row> rows;
    while (st.step()) {
        Row r;
        r.rowid = withRowid ? h.integer(0) : qint64(rows.size());
        r.values.reserve(size_t(nf));
        for (int c = 0; c < nf; ++c)
            r.values.push_back(readCell(h, c + first, fields[size_t(c)].type, fromValue[size_t(c)]));
        rows.push_back(std::move(r));
    }

    // Expression columns take their type from the values they hold.
    for (int c = 0; c < nf; ++c) {
        if (!fromValue[size_t(c)])
            continue;
        bool anyInt = false, anyReal = false, anyText = false;
        for (const Row &r : rows) {
            const QVariant &v = r.values[size_t(c)];
            if (!v.isValid())
                continue;
            const int t = v.typeId();
            anyInt |= t == QMetaType::LongLong;
            anyReal |= t == QMetaType::Double;
            anyText |= t != QMetaType::LongLong && t != QMetaType::Double;
        }
        FieldType &type = fields[size_t(c)].type;
        type = anyText ? FieldType::Text : anyReal ? FieldType::Float
            : anyInt                               ? FieldType::Integer
                                                   : FieldType::Text;
        if ((type == FieldType::Float && anyInt) || (type == FieldType::Text && (anyInt || anyReal))) {
            for (Row &r : rows) {
                QVariant &v = r.values[size_t(c)];
                if (!v.isValid())
                    continue;
                if (type == FieldType::Float)
                    v = v.toDouble();
                else if (v.typeId() != QMetaType::QString)
                    v = v.toString();
            }
        }
    }

    m_fields = std::move(fields);
    m_baseColumns = std::move(baseColumns);
    m_baseTable = withRowid ? baseTable : QString();
    m_rows = std::move(rows);
    m_order.resize(m_rows.size());
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

const DataSet::Row &DataSet::rowAt(int row) const
{
    if (row == m_current && (m_state == DataSetState::Edit || m_state == DataSetState::Insert))
        return m_buffer;
    const int fi = fetchIndex(row);
    return fi < 0 ? m_buffer : m_rows[size_t(fi)];
}

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
    return rowAt(row).values[size_t(col)];
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
    return formatValue(col, rowAt(row).values[size_t(col)]);
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
        QVariant d;
        if (readIsoDate(reinterpret_cast<const unsigned char *>(iso.constData()), int(iso.size()), d))
            return d;
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
    const Row &r = rowAt(row);
    out.reserve(qsizetype(r.values.size()));
    for (const QVariant &v : r.values)
        out.append(v);
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
    m_buffer = m_rows[size_t(m_order[size_t(m_current)])];
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
            Row &read = m_rows[size_t(m_order[size_t(m_current)])];
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
                takeStoredRow(read, stored, clash);
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
        m_rows[size_t(m_order[size_t(m_current)])] = std::move(m_buffer);
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

    m_rows.push_back(std::move(row));
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
        QString baseTable;
        QString sql = selectText(&baseTable).trimmed();
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
    out.assign(m_fields.size(), QVariant());
    const Row &read = m_rows[size_t(m_order[size_t(m_current)])];
    for (size_t c = 0; c < m_fields.size(); ++c)
        out[c] = read.values[c];
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
void DataSet::takeStoredRow(Row &read, const std::vector<QVariant> &stored, const std::vector<int> &clash)
{
    read.values = stored;
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
    {
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

void DataSet::setSort(const QString &order)
{
    checkActive();
    struct Key {
        int col;
        bool desc;
    };
    std::vector<Key> keys;
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
        if (col < 0)
            throw DbError(QStringLiteral("Ταξινόμηση: το πεδίο '%1' δεν υπάρχει").arg(part.trimmed()));
        keys.push_back({col, desc});
    }
    checkBrowseMode();

    const size_t n = m_rows.size();
    std::iota(m_order.begin(), m_order.end(), 0);
    if (keys.size() == 1) {
        // One key: sort (key, index) pairs, which keeps the data in cache.
        const std::vector<qint64> k = sortKeys(keys[0].col);
        std::vector<std::pair<qint64, int>> pairs(n);
        for (size_t i = 0; i < n; ++i)
            pairs[i] = {k[i], int(i)};
        if (keys[0].desc)
            std::stable_sort(pairs.begin(), pairs.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
        else
            std::stable_sort(pairs.begin(), pairs.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        for (size_t i = 0; i < n; ++i)
            m_order[i] = pairs[i].second;
    } else if (!keys.empty()) {
        std::vector<std::vector<qint64>> k;
        for (const Key &key : keys)
            k.push_back(sortKeys(key.col));
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            for (size_t j = 0; j < keys.size(); ++j) {
                const qint64 x = k[j][size_t(a)], y = k[j][size_t(b)];
                if (x != y)
                    return keys[j].desc ? x > y : x < y;
            }
            return false;
        });
    }
    m_sortSpec = keys.empty() ? QString() : order.trimmed();

    // As with ADO's Sort, the cursor goes to the first row of the new order.
    m_current = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
    emit dataReset();
    emit currentChanged();
}

// One orderable integer per fetched row for a column: NULL lowest, then
// values by type; texts get their rank in Greek dictionary order.
std::vector<qint64> DataSet::sortKeys(int col) const
{
    const size_t n = m_rows.size();
    std::vector<qint64> keys(n, kNullKey);
    const FieldType type = m_fields[size_t(col)].type;

    if (type == FieldType::Text || type == FieldType::Memo) {
        // Each distinct text is ranked once; rows take the rank of their text.
        QHash<QString, int> distinctIndex;
        distinctIndex.reserve(qsizetype(n));
        std::vector<const QString *> distinct;
        std::vector<int> rowDistinct(n, -1);
        for (size_t i = 0; i < n; ++i) {
            const QVariant &v = m_rows[i].values[size_t(col)];
            if (!v.isValid())
                continue;
            if (v.typeId() != QMetaType::QString) {
                keys[i] = kOddKey;
                continue;
            }
            const QString &s = *static_cast<const QString *>(v.constData());
            auto it = distinctIndex.constFind(s);
            if (it == distinctIndex.constEnd()) {
                it = distinctIndex.insert(s, int(distinct.size()));
                distinct.push_back(&s);
            }
            rowDistinct[i] = it.value();
        }
        const std::vector<int> rank = textRanks(distinct);
        for (size_t i = 0; i < n; ++i)
            if (rowDistinct[i] >= 0)
                keys[i] = rank[size_t(rowDistinct[i])];
        return keys;
    }

    for (size_t i = 0; i < n; ++i) {
        const QVariant &v = m_rows[i].values[size_t(col)];
        if (!v.isValid())
            continue;
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
    if (type == FieldType::Integer) {
        bool anyReal = false;
        for (size_t i = 0; i < n && !anyReal; ++i)
            anyReal = m_rows[i].values[size_t(col)].typeId() == QMetaType::Double;
        if (anyReal)
            for (size_t i = 0; i < n; ++i) {
                const QVariant &v = m_rows[i].values[size_t(col)];
                if (v.typeId() == QMetaType::LongLong)
                    keys[i] = orderedDouble(double(v.toLongLong()));
            }
    }
    return keys;
}

// Ranks of distinct texts in the order of SqlFunctions::compareText: the
// Greek collator first, the texts' code units where it sees no difference.
// Collation keys are made once per text instead of collating in every
// comparison, which is several times faster on large results.
std::vector<int> DataSet::textRanks(const std::vector<const QString *> &texts)
{
    const size_t d = texts.size();
    std::vector<QCollatorSortKey> sortKeys;
    sortKeys.reserve(d);
    const QCollator &collator = Regional::greekCollator();
    for (const QString *s : texts)
        sortKeys.push_back(collator.sortKey(*s));
    std::vector<int> idx(d);
    std::iota(idx.begin(), idx.end(), 0);
    auto cmp = [&](int a, int b) {
        const QString &x = *texts[size_t(a)], &y = *texts[size_t(b)];
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
