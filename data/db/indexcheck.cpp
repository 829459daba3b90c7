#include "data/db/indexcheck.h"
#include "data/db/connection.h"
#include "data/db/jetsql.h"
#include <QHash>
#include <QRandomGenerator>
#include <cmath>
#include <cstring>
#include <map>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

enum class Collation { Binary,
                       Greek };

struct KeyColumn {
    QString name;
    bool descending = false;
    Collation collation = Collation::Binary;
    int tablePosition = 0;   // in the table walk's select list
};

// An order-free sum over entries: equal sets of entries give equal sums,
// and a key the file does not know makes any other set unlikely to.
struct Fingerprint {
    quint64 a = 0, b = 0;
    bool operator==(const Fingerprint &) const = default;
};

struct Index {
    QString name;
    bool unique = false;
    std::vector<KeyColumn> keys;
    qint64 entries = 0;
    Fingerprint fromTable, fromIndex;
};

struct Table {
    QString name;
    QString lastColumn;
    qint64 rows = 0;
    std::vector<Index> indexes;
    QStringList walked;   // the columns the table walk reads, after the rowid
};

// One value of an entry, kept for comparing with the next entry.
struct Value {
    int type = SQLITE_NULL;
    qint64 integer = 0;
    double real = 0;
    std::string bytes;
};

QString quoted(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

class Statement {
public:
    Statement(DbConnection &conn, const QString &sql) : m_conn(conn)
    {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(conn.handle(), text.constData(), int(text.size()), &m_st, nullptr) != SQLITE_OK)
            fail();
    }
    ~Statement() { sqlite3_finalize(m_st); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    bool step()
    {
        const int rc = sqlite3_step(m_st);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail();
        return false;
    }
    sqlite3_stmt *handle() const { return m_st; }
    QString text(int i) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_st, i)), sqlite3_column_bytes(m_st, i));
    }
    qint64 integer(int i) const { return sqlite3_column_int64(m_st, i); }

private:
    [[noreturn]] void fail() const
    {
        throw DbError(QStringLiteral("Ο έλεγχος των ευρετηρίων δεν διάβασε το αρχείο: %1").arg(QString::fromUtf8(sqlite3_errmsg(m_conn.handle()))));
    }
    DbConnection &m_conn;
    sqlite3_stmt *m_st = nullptr;
};

// An entry's values as bytes for the fingerprint. Numbers equal to SQLite
// (2 and 2.0) give the same bytes. Read through the column's value: one
// call into the library per column instead of one per question.
void appendValue(std::string &out, sqlite3_value *v)
{
    auto appendInteger = [&](qint64 i) {
        out.push_back('\1');
        out.append(reinterpret_cast<const char *>(&i), sizeof i);
    };
    const int type = sqlite3_value_type(v);
    switch (type) {
    case SQLITE_INTEGER:
        appendInteger(sqlite3_value_int64(v));
        return;
    case SQLITE_FLOAT: {
        const double d = sqlite3_value_double(v);
        if (d >= -9223372036854775808.0 && d < 9223372036854775808.0 && std::floor(d) == d) {
            appendInteger(qint64(d));
        } else {
            out.push_back('\2');
            out.append(reinterpret_cast<const char *>(&d), sizeof d);
        }
        return;
    }
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        const char *p = static_cast<const char *>(type == SQLITE_TEXT ? static_cast<const void *>(sqlite3_value_text(v))
                                                                      : sqlite3_value_blob(v));
        const int n = sqlite3_value_bytes(v);
        out.push_back(type == SQLITE_TEXT ? '\3' : '\4');
        out.append(reinterpret_cast<const char *>(&n), sizeof n);
        out.append(p ? p : "", size_t(n));
        return;
    }
    default:
        out.push_back('\0');
    }
}

void readValue(Value &v, sqlite3_value *from)
{
    v.type = sqlite3_value_type(from);
    if (v.type == SQLITE_INTEGER) {
        v.integer = sqlite3_value_int64(from);
    } else if (v.type == SQLITE_FLOAT) {
        v.real = sqlite3_value_double(from);
    } else if (v.type == SQLITE_TEXT || v.type == SQLITE_BLOB) {
        const void *p = v.type == SQLITE_TEXT ? static_cast<const void *>(sqlite3_value_text(from)) : sqlite3_value_blob(from);
        v.bytes.assign(p ? static_cast<const char *>(p) : "", size_t(sqlite3_value_bytes(from)));
    }
}

int typeClass(int type)
{
    switch (type) {
    case SQLITE_NULL:
        return 0;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return 1;
    case SQLITE_TEXT:
        return 2;
    default:
        return 3;
    }
}

int compareBytes(const std::string &a, const std::string &b)
{
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    return c != 0 ? c : (a.size() < b.size() ? -1 : a.size() > b.size() ? 1
                                                                        : 0);
}

// SQLite's order of two values under a collation.
int compareValues(const Value &a, const Value &b, Collation collation)
{
    const int ca = typeClass(a.type), cb = typeClass(b.type);
    if (ca != cb)
        return ca < cb ? -1 : 1;
    switch (ca) {
    case 0:
        return 0;
    case 1: {
        if (a.type == SQLITE_INTEGER && b.type == SQLITE_INTEGER)
            return a.integer < b.integer ? -1 : a.integer > b.integer ? 1
                                                                      : 0;
        const long double x = a.type == SQLITE_INTEGER ? static_cast<long double>(a.integer) : a.real;
        const long double y = b.type == SQLITE_INTEGER ? static_cast<long double>(b.integer) : b.real;
        return x < y ? -1 : x > y ? 1
                                  : 0;
    }
    case 2:
        if (collation == Collation::Greek)
            return SqlFunctions::compareUtf8(a.bytes.data(), int(a.bytes.size()), b.bytes.data(), int(b.bytes.size()));
        return compareBytes(a.bytes, b.bytes);
    default:
        return compareBytes(a.bytes, b.bytes);
    }
}

// The tables and their indexes; false when an index is of a kind this
// check does not read.
bool describe(DbConnection &conn, std::vector<Table> &tables)
{
    std::vector<std::pair<QString, QString>> named;
    {
        Statement st(conn, QStringLiteral("SELECT name, coalesce(sql, '') FROM sqlite_master WHERE type = 'table' ORDER BY name"));
        while (st.step())
            named.emplace_back(st.text(0), st.text(1));
    }
    for (const auto &[name, sql] : named) {
        if (sql.contains(QLatin1String("WITHOUT ROWID"), Qt::CaseInsensitive) || sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
            return false;
        Table t;
        t.name = name;
        {
            Statement info(conn, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(name)));
            while (info.step())
                t.lastColumn = info.text(1);
        }
        std::vector<std::pair<QString, bool>> listed;
        {
            Statement list(conn, QStringLiteral("PRAGMA index_list(%1)").arg(quoted(name)));
            while (list.step()) {
                if (sqlite3_column_count(list.handle()) < 5 || list.integer(4) != 0)
                    return false;   // partial
                listed.emplace_back(list.text(1), list.integer(2) != 0);
            }
        }
        std::map<QString, int> positions;
        for (const auto &[indexName, unique] : listed) {
            Index ix;
            ix.name = indexName;
            ix.unique = unique;
            bool rowidLast = false;
            Statement xinfo(conn, QStringLiteral("PRAGMA index_xinfo(%1)").arg(quoted(indexName)));
            while (xinfo.step()) {
                const qint64 cid = xinfo.integer(1);
                const bool key = xinfo.integer(5) != 0;
                if (!key) {
                    rowidLast = cid == -1;
                    continue;
                }
                if (cid < 0)
                    return false;   // an expression or the rowid itself
                KeyColumn k;
                k.name = xinfo.text(2);
                k.descending = xinfo.integer(3) != 0;
                const QString coll = xinfo.text(4);
                if (coll.compare(QLatin1String("BINARY"), Qt::CaseInsensitive) == 0)
                    k.collation = Collation::Binary;
                else if (coll.compare(QLatin1String("GREEK"), Qt::CaseInsensitive) == 0)
                    k.collation = Collation::Greek;
                else
                    return false;
                auto [it, added] = positions.emplace(k.name, int(positions.size()) + 1);
                if (added)
                    t.walked << k.name;
                k.tablePosition = it->second;
                ix.keys.push_back(k);
            }
            if (!rowidLast || ix.keys.empty())
                return false;
            t.indexes.push_back(std::move(ix));
        }
        tables.push_back(std::move(t));
    }
    return true;
}

// Every row of the table read (its record decoded to the last column),
// and each index's entries as the table's rows make them.
void walkTable(DbConnection &conn, Table &t, const size_t seedA, const size_t seedB)
{
    QStringList cols{QStringLiteral("rowid")};
    for (const QString &c : std::as_const(t.walked))
        cols << quoted(c);
    cols << QStringLiteral("typeof(%1)").arg(quoted(t.lastColumn));
    Statement st(conn, QStringLiteral("SELECT %1 FROM %2 NOT INDEXED").arg(cols.join(u','), quoted(t.name)));
    sqlite3_stmt *h = st.handle();
    std::string entry;
    while (st.step()) {
        ++t.rows;
        for (Index &ix : t.indexes) {
            entry.clear();
            for (const KeyColumn &k : ix.keys)
                appendValue(entry, sqlite3_column_value(h, k.tablePosition));
            appendValue(entry, sqlite3_column_value(h, 0));
            ix.fromTable.a += qHashBits(entry.data(), entry.size(), seedA);
            ix.fromTable.b += qHashBits(entry.data(), entry.size(), seedB);
        }
    }
}

QString indexWalk(const Table &t, const Index &ix)
{
    QStringList cols;
    for (const KeyColumn &k : ix.keys)
        cols << quoted(k.name);
    cols << QStringLiteral("rowid");
    return QStringLiteral("SELECT %1 FROM %2 INDEXED BY %3").arg(cols.join(u','), quoted(t.name), quoted(ix.name));
}

// Only the index's own pages count: the values must not come from the table.
bool readsIndexAlone(DbConnection &conn, const Table &t, const Index &ix)
{
    Statement plan(conn, QStringLiteral("EXPLAIN QUERY PLAN ") + indexWalk(t, ix));
    bool covering = false;
    while (plan.step())
        covering = covering || plan.text(3).contains(QLatin1String("COVERING INDEX"));
    return covering;
}

// The index read in its own order on its own pages: its entries, their
// fingerprint and whether each comes after the one before.
void walkIndex(DbConnection &conn, const Table &t, Index &ix, const size_t seedA, const size_t seedB, QStringList &problems)
{
    Statement st(conn, indexWalk(t, ix));
    sqlite3_stmt *h = st.handle();
    const int n = int(ix.keys.size());
    std::vector<Value> previous(size_t(n) + 1), current(size_t(n) + 1);
    std::string entry;
    bool misordered = false, repeated = false;
    while (st.step()) {
        entry.clear();
        for (int i = 0; i <= n; ++i) {
            sqlite3_value *v = sqlite3_column_value(h, i);
            appendValue(entry, v);
            readValue(current[size_t(i)], v);
        }
        ix.fromIndex.a += qHashBits(entry.data(), entry.size(), seedA);
        ix.fromIndex.b += qHashBits(entry.data(), entry.size(), seedB);
        if (ix.entries > 0) {
            int c = 0;
            bool nullKey = false;
            for (int i = 0; i < n && c == 0; ++i) {
                const KeyColumn &k = ix.keys[size_t(i)];
                nullKey = nullKey || previous[size_t(i)].type == SQLITE_NULL;
                c = compareValues(previous[size_t(i)], current[size_t(i)], k.collation);
                if (k.descending)
                    c = -c;
            }
            if (c == 0 && ix.unique && !nullKey)
                repeated = true;
            if (c == 0)
                c = compareValues(previous[size_t(n)], current[size_t(n)], Collation::Binary);
            if (c >= 0)
                misordered = true;
        }
        std::swap(previous, current);
        ++ix.entries;
    }
    if (misordered)
        problems << QStringLiteral("το ευρετήριο %1 δεν είναι ταξινομημένο").arg(ix.name);
    if (repeated)
        problems << QStringLiteral("το μοναδικό ευρετήριο %1 έχει την ίδια τιμή δύο φορές").arg(ix.name);
}

}   // namespace

namespace IndexCheck {

std::optional<QStringList> run(DbConnection &conn)
{
    std::vector<Table> tables;
    if (!describe(conn, tables))
        return std::nullopt;
    for (const Table &t : tables)
        for (const Index &ix : t.indexes)
            if (!readsIndexAlone(conn, t, ix))
                return std::nullopt;
    const size_t seedA = size_t(QRandomGenerator::system()->generate64());
    const size_t seedB = size_t(QRandomGenerator::system()->generate64());
    QStringList problems;
    for (Table &t : tables) {
        walkTable(conn, t, seedA, seedB);
        for (Index &ix : t.indexes) {
            walkIndex(conn, t, ix, seedA, seedB, problems);
            if (ix.entries != t.rows)
                problems << QStringLiteral("το ευρετήριο %1 έχει %2 εγγραφές και ο πίνακας %3 %4 γραμμές").arg(ix.name).arg(ix.entries).arg(t.name).arg(t.rows);
            else if (!(ix.fromIndex == ix.fromTable))
                problems << QStringLiteral("το ευρετήριο %1 δεν έχει τις τιμές των γραμμών του πίνακα %2").arg(ix.name, t.name);
        }
    }
    return problems;
}

}
