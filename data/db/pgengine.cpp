#include "data/db/pgengine.h"
#include "data/db/connection.h"
#include "data/db/connectioninfo.h"
#include "data/db/libpq.h"
#include "data/db/practicekey.h"
#include "data/db/regional.h"
#include <QHash>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <functional>
#include <poll.h>
#include <vector>

namespace {

// Type numbers of the server's built-in types.
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700;

QString serverText(const char *s) { return QString::fromUtf8(s).trimmed(); }

DbError::Cause causeOf(const PGresult *res)
{
    const char *state = res ? libpq().PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
    if (!state)
        return DbError::Cause::None;
    const QByteArray s(state);
    // Another program holds the row or the table longer than we wait.
    if (s == "55P03" || s == "40001" || s == "40P01")
        return DbError::Cause::InUse;
    if (s == "53100")
        return DbError::Cause::DiskFull;
    if (s == "25006")
        return DbError::Cause::ReadOnly;
    return DbError::Cause::None;
}

struct ColumnOrigin {
    QString table, column;
    QByteArray declared;
};

class PgEngine;

class PgCursor : public DbCursor {
public:
    PgCursor(PgEngine &engine, const QString &nativeSql);
    ~PgCursor() override { clear(); }
    PgCursor(const PgCursor &) = delete;
    PgCursor &operator=(const PgCursor &) = delete;

    void bind(int index1, const QVariant &value) override;
    bool step() override;
    void reset() override;
    int columnCount() const override;
    QString columnName(int i) const override;
    QByteArray declaredType(int i) const override;
    QString originTable(int i) const override;
    QString originColumn(int i) const override;
    QByteArray collation(int) const override { return QByteArray(); }
    CellKind kind(int i) const override;
    qint64 integer(int i) const override;
    double real(int i) const override;
    QByteArrayView utf8(int i) const override;
    QByteArrayView textCell(int i) const override;

private:
    void clear();
    void run() const;
    void describe() const;
    const PGresult *columns() const;
    int at(int i) const
    {
        if (i < 0 || size_t(i) >= m_visible.size())
            throw DbError(QStringLiteral("Η εντολή δεν έχει στήλη %1").arg(i));
        return m_visible[size_t(i)];
    }
    const ColumnOrigin *origin(int i) const;

    PgEngine &m_engine;
    QByteArray m_sql;
    int m_paramCount = 0;
    std::vector<QByteArray> m_values;
    std::vector<char> m_isNull;
    std::vector<Oid> m_types;
    mutable PGresult *m_result = nullptr;      // the rows, once run
    mutable PGresult *m_described = nullptr;   // the columns, asked before binding
    mutable std::vector<int> m_visible;        // result columns shown (the hidden rowid left out)
    mutable bool m_ran = false;
    int m_row = -1;
};

class PgEngine : public DbEngine {
public:
    PgEngine(PGconn *conn, QString where, int lockWaitMs) : m_conn(conn), m_where(std::move(where)), m_lockWaitMs(lockWaitMs) {}
    ~PgEngine() override { libpq().PQfinish(m_conn); }
    Dialect dialect() const override { return Dialect::Postgres; }
    std::unique_ptr<DbCursor> prepare(const QString &nativeSql) override
    {
        return std::make_unique<PgCursor>(*this, nativeSql);
    }
    qint64 changes() const override { return m_changes; }
    qint64 insertRow(const QString &nativeSql, const QVariantList &params) override
    {
        PgCursor st(*this, nativeSql + QStringLiteral(" RETURNING rowid AS __rowid"));
        for (int i = 0; i < params.size(); ++i)
            st.bind(i + 1, params[i]);
        if (!st.step())
            throw DbError(QStringLiteral("Η νέα εγγραφή δεν αποθηκεύτηκε (%1)").arg(m_where));
        return st.kind(0) == CellKind::Null ? 0 : st.integer(0);
    }
    bool inTransaction() const override
    {
        const PGTransactionStatusType st = libpq().PQtransactionStatus(m_conn);
        return m_unitOpen || (st != PQTRANS_IDLE && st != PQTRANS_UNKNOWN);
    }
    void begin() override
    {
        command("BEGIN");
        m_unitOpen = true;
    }
    void commit() override
    {
        // A unit whose statement failed ends in ROLLBACK even when asked to commit.
        const QByteArray status = command("COMMIT");
        m_unitOpen = false;
        if (status != "COMMIT")
            throw DbError(QStringLiteral("Οι αλλαγές δεν αποθηκεύτηκαν: μια εντολή της ίδιας ενέργειας είχε αποτύχει (%1)").arg(m_where));
    }
    void rollback() override
    {
        // The unit a broken connection took with it is over already.
        const bool lost = m_unitLost;
        m_unitOpen = m_unitLost = false;
        if (!lost)
            command("ROLLBACK");
    }
    QString forUpdate(const QString &nativeSelect) const override { return nativeSelect + QStringLiteral(" FOR UPDATE"); }
    QString where() const override { return m_where; }

    PGconn *conn() const { return m_conn; }
    void setChanges(qint64 n) { m_changes = n; }

    // Sends a statement and waits for its result. A connection found broken
    // outside a unit of work is opened again with the same login and the
    // statement sent once more; inside one, the unit is reported lost
    // (it may be repeated) and the next unit gets a fresh connection.
    template <typename Send>
    PGresult *exec(Send send)
    {
        if (m_unitLost)
            throw lost();
        const bool inUnit = m_unitOpen;
        if (libpq().PQstatus(m_conn) == CONNECTION_OK) {
            PGresult *res = result(send());
            if (libpq().PQstatus(m_conn) == CONNECTION_OK)
                return res;
            libpq().PQclear(res);
        }
        if (inUnit) {
            m_unitLost = true;
            reconnect();
            throw lost();
        }
        if (!reconnect())
            throw lost();
        PGresult *res = result(send());
        if (libpq().PQstatus(m_conn) != CONNECTION_OK) {
            libpq().PQclear(res);
            throw lost();
        }
        return res;
    }

    // The session's settings, at the first connection and every reconnection.
    void setUp()
    {
        // A row another workstation holds is waited for a bounded time, then
        // reported as data in use. A workstation frozen or gone inside a unit
        // of work loses its locks: the server ends a session idle in a unit
        // for 15 s and, through the keep-alives, one whose network is gone.
        // Literals keep their backslashes whatever the database says.
        // The regional separators reach Format().
        const QByteArray wait = QByteArray::number(std::max(1, m_lockWaitMs));
        const QByteArray dec = QString(Regional::decimalSeparator()).toUtf8();
        const QByteArray dsep = QString(Regional::dateSeparator()).toUtf8();
        const char *params[] = {wait.constData(), dec.constData(), dsep.constData()};
        PGresult *res = libpq().PQexecParams(m_conn,
                                             "SELECT set_config('lock_timeout', $1, false), set_config('molarix.decimal', $2, false),"
                                             " set_config('molarix.datesep', $3, false), set_config('client_min_messages', 'warning', false),"
                                             " set_config('standard_conforming_strings', 'on', false),"
                                             " set_config('idle_in_transaction_session_timeout', '15000', false),"
                                             " set_config('tcp_keepalives_idle', '10', false), set_config('tcp_keepalives_interval', '5', false),"
                                             " set_config('tcp_keepalives_count', '3', false), set_config('tcp_user_timeout', '25000', false)",
                                             3, nullptr, params, nullptr, nullptr, 0);
        check(res, "SET");
        libpq().PQclear(res);
    }

    // Throws DbError for a result that is not a success.
    void check(PGresult *res, const QByteArray &sql)
    {
        const ExecStatusType st = res ? libpq().PQresultStatus(res) : PGRES_FATAL_ERROR;
        if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK)
            return;
        const DbError::Cause cause = causeOf(res);
        QString msg = res ? serverText(libpq().PQresultErrorMessage(res)) : serverText(libpq().PQerrorMessage(m_conn));
        if (msg.isEmpty())
            msg = serverText(libpq().PQerrorMessage(m_conn));
        libpq().PQclear(res);
        QString text = QStringLiteral("Η εντολή απέτυχε: %1 (%2)\n%3").arg(msg, m_where, QString::fromUtf8(sql));
        if (libpq().PQstatus(m_conn) != CONNECTION_OK)
            text = QStringLiteral("Η σύνδεση με τον διακομιστή %1 χάθηκε: %2").arg(m_where, msg);
        const QString line = DbCauseText(cause);
        throw DbError(line.isEmpty() ? text : text + QLatin1Char('\n') + line, cause);
    }

    // Runs a COPY ... TO STDOUT and hands each message of data to take as
    // it arrives: the server goes on sending while the rows are used.
    qint64 copyOut(const QByteArray &sql, const std::function<void(QByteArrayView)> &take)
    {
        if (m_unitLost)
            throw lost();
        PGresult *start = result(libpq().PQsendQueryParams(m_conn, sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0) == 1,
                                 PGRES_COPY_OUT);
        if (libpq().PQresultStatus(start) != PGRES_COPY_OUT) {
            brokenInUnit();
            check(start, sql);
        }
        libpq().PQclear(start);
        std::exception_ptr failed;
        for (;;) {
            char *data = nullptr;
            const int n = libpq().PQgetCopyData(m_conn, &data, 0);
            if (n < 0)
                break;
            // After a failure the rest is read and dropped: the connection
            // stays usable for what follows (a rollback).
            if (!failed) {
                try {
                    take(QByteArrayView(data, n));
                } catch (...) {
                    failed = std::current_exception();
                }
            }
            libpq().PQfreemem(data);
        }
        PGresult *end = result(true);
        brokenInUnit();
        if (failed) {
            libpq().PQclear(end);
            std::rethrow_exception(failed);
        }
        check(end, sql);
        const qint64 rows = std::atoll(libpq().PQcmdTuples(end));
        libpq().PQclear(end);
        return rows;
    }

    const ColumnOrigin *origin(Oid table, int column)
    {
        auto it = m_origins.find(table);
        if (it == m_origins.end()) {
            const QByteArray oid = QByteArray::number(table);
            const char *values[] = {oid.constData()};
            PGresult *res = libpq().PQexecParams(m_conn,
                                                 "SELECT a.attnum, c.relname, a.attname, t.typname FROM pg_attribute a"
                                                 " JOIN pg_class c ON c.oid = a.attrelid JOIN pg_type t ON t.oid = a.atttypid"
                                                 " WHERE a.attrelid = $1::oid AND a.attnum > 0",
                                                 1, nullptr, values, nullptr, nullptr, 0);
            QHash<int, ColumnOrigin> cols;
            if (libpq().PQresultStatus(res) == PGRES_TUPLES_OK) {
                for (int r = 0; r < libpq().PQntuples(res); ++r) {
                    ColumnOrigin o;
                    o.table = QString::fromUtf8(libpq().PQgetvalue(res, r, 1)).toUpper();
                    o.column = QString::fromUtf8(libpq().PQgetvalue(res, r, 2)).toUpper();
                    o.declared = declaredName(libpq().PQgetvalue(res, r, 3));
                    cols.insert(std::atoi(libpq().PQgetvalue(res, r, 0)), o);
                }
            }
            libpq().PQclear(res);
            it = m_origins.insert(table, cols);
        }
        auto c = it->find(column);
        return c == it->end() ? nullptr : &*c;
    }

private:
    DbError lost() const
    {
        const DbError::Cause cause = DbError::Cause::ConnectionLost;
        return DbError(QStringLiteral("Η σύνδεση με τον διακομιστή %1 διακόπηκε.").arg(m_where) + QLatin1Char('\n') + DbCauseText(cause), cause);
    }

    // A connection that broke inside a unit loses the unit; the next one
    // gets a fresh connection.
    void brokenInUnit()
    {
        if (libpq().PQstatus(m_conn) == CONNECTION_OK || !m_unitOpen)
            return;
        m_unitLost = true;
        reconnect();
        throw lost();
    }

    // A fresh connection with the login this one had.
    bool reconnect()
    {
        libpq().PQreset(m_conn);
        if (libpq().PQstatus(m_conn) != CONNECTION_OK)
            return false;
        try {
            setUp();
        } catch (const DbError &) {
            return false;
        }
        return true;
    }

    // Waits for the statement sent; when the server has not answered at
    // once (a row another workstation holds), the windows show it busy.
    PGresult *result(bool sent, ExecStatusType stopAt = PGRES_FATAL_ERROR)
    {
        if (!sent)
            return nullptr;
        bool told = false;
        while (libpq().PQisBusy(m_conn)) {
            pollfd fd{libpq().PQsocket(m_conn), POLLIN, 0};
            if (fd.fd < 0)
                break;
            const int ready = ::poll(&fd, 1, told ? -1 : 100);
            if (ready == 0) {
                DbConnection::notifyBusy();
                told = true;
                continue;
            }
            if (ready < 0 && errno != EINTR)
                break;
            if (!libpq().PQconsumeInput(m_conn))
                break;
        }
        PGresult *last = nullptr;
        while (PGresult *r = libpq().PQgetResult(m_conn)) {
            libpq().PQclear(last);
            last = r;
            // A COPY's start comes again until its data are read.
            if (stopAt != PGRES_FATAL_ERROR && libpq().PQresultStatus(r) == stopAt)
                break;
        }
        return last;
    }

    // The server's type names in the words the data sets know.
    static QByteArray declaredName(const QByteArray &type)
    {
        if (type == "jetdate")
            return "DATE";
        if (type == "yesno")
            return "BOOLEAN";
        if (type == "memo")
            return "MEMO";
        if (type == "int2" || type == "int4" || type == "int8")
            return "INTEGER";
        if (type == "float4" || type == "float8" || type == "numeric")
            return "DOUBLE";
        return "TEXT";
    }

    QByteArray command(const char *sql)
    {
        PGresult *res = exec([&] { return libpq().PQsendQueryParams(m_conn, sql, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1; });
        check(res, sql);
        const QByteArray status = libpq().PQcmdStatus(res);
        libpq().PQclear(res);
        return status;
    }

    PGconn *m_conn;
    QString m_where;
    int m_lockWaitMs;
    bool m_unitOpen = false;   // BEGIN ran, neither COMMIT nor ROLLBACK yet
    bool m_unitLost = false;   // the connection broke inside that unit
    qint64 m_changes = 0;
    QHash<Oid, QHash<int, ColumnOrigin>> m_origins;
};

PgCursor::PgCursor(PgEngine &engine, const QString &nativeSql) : m_engine(engine)
{
    m_sql = PgText::fromNative(nativeSql, &m_paramCount).toUtf8();
    m_values.resize(size_t(m_paramCount));
    m_isNull.assign(size_t(m_paramCount), 1);
    m_types.assign(size_t(m_paramCount), 0);
}

void PgCursor::clear()
{
    libpq().PQclear(m_result);
    libpq().PQclear(m_described);
    m_result = m_described = nullptr;
    m_ran = false;
    m_row = -1;
}

void PgCursor::bind(int i, const QVariant &v)
{
    if (i < 1 || i > m_paramCount)
        throw DbError(QStringLiteral("Μια τιμή δεν δόθηκε στην εντολή: η εντολή δεν έχει παράμετρο %1 (%2)")
                          .arg(i)
                          .arg(m_engine.where()));
    const size_t k = size_t(i - 1);
    m_types[k] = 0;   // the server infers the type from where the value goes
    m_isNull[k] = 0;
    switch (boundKind(v)) {
    case BoundKind::Null:
        m_isNull[k] = 1;
        m_values[k].clear();
        break;
    case BoundKind::Bool:
        m_values[k] = v.toBool() ? "-1" : "0";
        m_types[k] = kInt4;
        break;
    case BoundKind::Integer:
        m_values[k] = QByteArray::number(v.toLongLong());
        m_types[k] = kInt8;
        break;
    case BoundKind::Real:
        m_values[k] = QByteArray::number(v.toDouble(), 'g', 17);
        m_types[k] = kFloat8;
        break;
    case BoundKind::Text:
        m_values[k] = boundText(v);
        break;
    }
}

void PgCursor::run() const
{
    std::vector<const char *> values(static_cast<size_t>(m_paramCount));
    for (size_t k = 0; k < values.size(); ++k)
        values[k] = m_isNull[k] ? nullptr : m_values[k].constData();
    PGresult *res = m_engine.exec([&] {
        return libpq().PQsendQueryParams(m_engine.conn(), m_sql.constData(), m_paramCount, m_types.data(), values.data(), nullptr,
                                         nullptr, 0)
            == 1;
    });
    m_engine.check(res, m_sql);
    m_result = res;
    m_ran = true;
    const char *tuples = libpq().PQcmdTuples(res);
    m_engine.setChanges(tuples && *tuples ? std::atoll(tuples) : 0);
    m_visible.clear();
    for (int c = 0; c < libpq().PQnfields(res); ++c)
        if (qstrcmp(libpq().PQfname(res, c), "rowid") != 0)
            m_visible.push_back(c);
}

// The columns of a statement not yet run: the server describes it unrun.
void PgCursor::describe() const
{
    PGresult *prep = m_engine.exec([&] {
        return libpq().PQsendPrepare(m_engine.conn(), "", m_sql.constData(), m_paramCount, m_types.data()) == 1;
    });
    m_engine.check(prep, m_sql);
    libpq().PQclear(prep);
    PGresult *res = m_engine.exec([&] { return libpq().PQsendDescribePrepared(m_engine.conn(), "") == 1; });
    m_engine.check(res, m_sql);
    m_described = res;
    m_visible.clear();
    for (int c = 0; c < libpq().PQnfields(res); ++c)
        if (qstrcmp(libpq().PQfname(res, c), "rowid") != 0)
            m_visible.push_back(c);
}

const PGresult *PgCursor::columns() const
{
    if (m_result)
        return m_result;
    if (!m_described) {
        bool bound = true;
        for (char n : m_isNull)
            bound = bound && !n;
        if (bound)
            run();
        else
            describe();
        if (m_result)
            return m_result;
    }
    return m_described;
}

bool PgCursor::step()
{
    if (!m_ran) {
        libpq().PQclear(m_described);
        m_described = nullptr;
        run();
        m_row = -1;
    }
    if (libpq().PQresultStatus(m_result) != PGRES_TUPLES_OK)
        return false;
    if (m_row + 1 >= libpq().PQntuples(m_result)) {
        m_row = libpq().PQntuples(m_result);
        return false;
    }
    ++m_row;
    return true;
}

void PgCursor::reset()
{
    clear();
    m_isNull.assign(size_t(m_paramCount), 1);
    for (auto &v : m_values)
        v.clear();
}

int PgCursor::columnCount() const
{
    columns();
    return int(m_visible.size());
}

QString PgCursor::columnName(int i) const
{
    // Names come back folded to lower case; the program's names are upper
    // case, its own helper columns ("__rowid") lower case.
    const QString name = QString::fromUtf8(libpq().PQfname(columns(), at(i)));
    return name.startsWith(QLatin1String("__")) ? name : name.toUpper();
}

const ColumnOrigin *PgCursor::origin(int i) const
{
    const PGresult *res = columns();
    const Oid table = libpq().PQftable(res, at(i));
    const int col = libpq().PQftablecol(res, at(i));
    if (table == InvalidOid || col <= 0)
        return nullptr;
    return m_engine.origin(table, col);
}

QByteArray PgCursor::declaredType(int i) const
{
    const ColumnOrigin *o = origin(i);
    return o ? o->declared : QByteArray();
}

QString PgCursor::originTable(int i) const
{
    const ColumnOrigin *o = origin(i);
    return o ? o->table : QString();
}

QString PgCursor::originColumn(int i) const
{
    const ColumnOrigin *o = origin(i);
    return o ? o->column : QString();
}

CellKind PgCursor::kind(int i) const
{
    if (!m_result || m_row < 0 || m_row >= libpq().PQntuples(m_result) || libpq().PQgetisnull(m_result, m_row, at(i)))
        return CellKind::Null;
    switch (libpq().PQftype(m_result, at(i))) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
    case kBool:
        return CellKind::Integer;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return CellKind::Float;
    case kBytea:
        return CellKind::Blob;
    default:
        return CellKind::Text;
    }
}

qint64 PgCursor::integer(int i) const
{
    if (kind(i) == CellKind::Null)
        return 0;
    const char *v = libpq().PQgetvalue(m_result, m_row, at(i));
    if (libpq().PQftype(m_result, at(i)) == kBool)
        return v[0] == 't' ? 1 : 0;
    if (kind(i) == CellKind::Float)
        return qint64(std::strtod(v, nullptr));
    return std::strtoll(v, nullptr, 10);
}

double PgCursor::real(int i) const
{
    if (kind(i) == CellKind::Null)
        return 0;
    if (libpq().PQftype(m_result, at(i)) == kBool)
        return double(integer(i));
    return std::strtod(libpq().PQgetvalue(m_result, m_row, at(i)), nullptr);
}

QByteArrayView PgCursor::utf8(int i) const
{
    if (kind(i) == CellKind::Null)
        return QByteArrayView();
    return QByteArrayView(libpq().PQgetvalue(m_result, m_row, at(i)), libpq().PQgetlength(m_result, m_row, at(i)));
}

QByteArrayView PgCursor::textCell(int i) const
{
    const int c = at(i);
    if (!m_result || m_row < 0 || m_row >= libpq().PQntuples(m_result) || libpq().PQgetisnull(m_result, m_row, c))
        return QByteArrayView();
    return QByteArrayView(libpq().PQgetvalue(m_result, m_row, c), libpq().PQgetlength(m_result, m_row, c));
}

}   // namespace

namespace PgText {

QString fromNative(const QString &native, int *parameterCount)
{
    QString out;
    out.reserve(native.size() + 16);
    int params = 0;
    const qsizetype n = native.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = native[i];
        if (c == u'\'') {
            // A string literal, its doubled quotes inside, unchanged.
            out += c;
            for (++i; i < n; ++i) {
                out += native[i];
                if (native[i] == u'\'') {
                    if (i + 1 < n && native[i + 1] == u'\'') {
                        out += native[++i];
                        continue;
                    }
                    break;
                }
            }
        } else if (c == u'"') {
            QString name;
            for (++i; i < n; ++i) {
                if (native[i] == u'"') {
                    if (i + 1 < n && native[i + 1] == u'"') {
                        name += QStringLiteral("\"\"");
                        ++i;
                        continue;
                    }
                    break;
                }
                name += native[i];
            }
            out += u'"' + name.toLower() + u'"';
        } else if (c == u'?') {
            out += u'$' + QString::number(++params);
        } else {
            out += c;
        }
    }
    if (parameterCount)
        *parameterCount = params;
    return out;
}

QString literal(const QString &text)
{
    QString s = text;
    s.replace(u'\'', QStringLiteral("''"));
    return u'\'' + s + u'\'';
}

QString identifier(const QString &name)
{
    QString s = name;
    s.replace(u'"', QStringLiteral("\"\""));
    return u'"' + s + u'"';
}

}   // namespace PgText

QString loginPassword(const DbEngine &engine)
{
    const auto *pg = dynamic_cast<const PgEngine *>(&engine);
    const char *pass = pg ? libpq().PQpass(pg->conn()) : nullptr;
    return pass ? QString::fromUtf8(pass) : QString();
}

qint64 copyOut(DbEngine &engine, const QString &nativeSql, const std::function<void(QByteArrayView)> &take)
{
    auto *pg = dynamic_cast<PgEngine *>(&engine);
    if (!pg)
        throw DbError(QStringLiteral("Η σύνδεση δεν είναι με διακομιστή βάσης δεδομένων."));
    return pg->copyOut(PgText::fromNative(nativeSql).toUtf8(), take);
}

QString passwordVerifier(DbEngine &engine, const QString &user, const QString &password)
{
    auto *pg = dynamic_cast<PgEngine *>(&engine);
    if (!pg)
        throw DbError(QStringLiteral("Η σύνδεση δεν είναι με διακομιστή βάσης δεδομένων."));
    QByteArray pass = password.toUtf8();
    const QByteArray name = user.toUtf8();
    char *made = libpq().PQencryptPasswordConn(pg->conn(), pass.constData(), name.constData(), "scram-sha-256");
    PracticeKey::wipe(pass);
    if (!made)
        throw DbError(QStringLiteral("Ο νέος κωδικός δεν ετοιμάστηκε για τον διακομιστή %1: %2")
                          .arg(pg->where(), serverText(libpq().PQerrorMessage(pg->conn()))));
    const QString verifier = QString::fromLatin1(made);
    libpq().PQfreemem(made);
    return verifier;
}

namespace {

// What a refused TLS connection means, in the program's words; empty when
// the failure was no TLS one.
QString tlsFailure(const ConnectionInfo &info, const QString &msg)
{
    const QString server = QStringLiteral("%1 (θύρα %2)").arg(info.host).arg(info.port);
    if (msg.contains(QLatin1String("does not match host name")))
        return QStringLiteral("Το πιστοποιητικό του διακομιστή %1 δεν είναι γραμμένο για το όνομα «%2»· η σύνδεση δεν "
                              "έγινε. Γράψτε στο server.conf το όνομα που έχει το πιστοποιητικό του διακομιστή.")
            .arg(server, info.host);
    if (msg.contains(QLatin1String("certificate verify failed")))
        return QStringLiteral("Το πιστοποιητικό του διακομιστή %1 δεν είναι υπογεγραμμένο από την αρχή που ορίζει το "
                              "sslrootcert· η σύνδεση δεν έγινε.")
            .arg(server);
    if (msg.contains(QLatin1String("root certificate file")))
        return QStringLiteral("Δεν βρέθηκε το πιστοποιητικό της αρχής (sslrootcert) για τον έλεγχο του διακομιστή %1· "
                              "η σύνδεση δεν έγινε.")
            .arg(server);
    if (msg.contains(QLatin1String("server does not support SSL")))
        return QStringLiteral("Ο διακομιστής %1 δεν δέχεται κρυπτογραφημένη σύνδεση (SSL)· η σύνδεση δεν έγινε.").arg(server);
    return QString();
}

}   // namespace

std::unique_ptr<DbEngine> connectServer(const ConnectionInfo &info, int timeoutSeconds, int lockWaitMs)
{
    const QByteArray host = info.host.toUtf8(), port = QByteArray::number(info.port),
                     db = info.database.toUtf8(), user = info.user.toUtf8(),
                     timeout = QByteArray::number(std::max(1, timeoutSeconds)),
                     sslMode = info.sslMode.isEmpty() ? QByteArrayLiteral("prefer") : info.sslMode.toUtf8(),
                     rootCert = info.sslRootCert.toUtf8();
    QByteArray password = info.password.toUtf8();
    // The keep-alives and the user timeout find a server gone from the
    // network within about 25 s.
    std::vector<const char *> keys = {"host", "port", "dbname", "user", "password", "connect_timeout",
                                      "client_encoding", "application_name", "keepalives", "keepalives_idle",
                                      "keepalives_interval", "keepalives_count", "tcp_user_timeout", "sslmode"};
    std::vector<const char *> values = {host.constData(), port.constData(), db.constData(), user.constData(),
                                        password.constData(), timeout.constData(), "UTF8", "molarix", "1", "10",
                                        "5", "3", "25000", sslMode.constData()};
    if (!rootCert.isEmpty()) {
        keys.push_back("sslrootcert");
        values.push_back(rootCert.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn *conn = libpq().PQconnectdbParams(keys.data(), values.data(), 0);
    // libpq keeps its own copy for as long as the connection lives.
    PracticeKey::wipe(password);
    const QString where = QStringLiteral("%1:%2/%3").arg(info.host).arg(info.port).arg(info.database);
    if (!conn)
        throw DbError(QStringLiteral("Δεν έγινε σύνδεση με τον διακομιστή %1 στη θύρα %2.").arg(info.host).arg(info.port));
    if (libpq().PQstatus(conn) != CONNECTION_OK) {
        const QString msg = serverText(libpq().PQerrorMessage(conn));
        const bool badLogin = libpq().PQconnectionNeedsPassword(conn) || libpq().PQconnectionUsedPassword(conn)
            || msg.contains(QLatin1String("password authentication failed"));
        libpq().PQfinish(conn);
        if (const QString tls = tlsFailure(info, msg); !tls.isEmpty())
            throw DbError(tls);
        if (badLogin && msg.contains(QLatin1String("password")))
            throw DbError(QStringLiteral("Λανθασμένος κωδικός πρόσβασης."), DbError::Cause::WrongPassword);
        if (msg.contains(QLatin1String("does not exist")))
            throw DbError(QStringLiteral("Ο διακομιστής %1 (θύρα %2) δεν έχει τη βάση δεδομένων «%3» ή τον χρήστη «%4»:\n%5")
                              .arg(info.host)
                              .arg(info.port)
                              .arg(info.database, info.user, msg));
        throw DbError(QStringLiteral("Δεν έγινε σύνδεση με τον διακομιστή %1 στη θύρα %2: δεν απαντά ή δεν δέχεται "
                                     "συνδέσεις.\n%3")
                          .arg(info.host)
                          .arg(info.port)
                          .arg(msg));
    }
    auto engine = std::make_unique<PgEngine>(conn, where, lockWaitMs);
    engine->setUp();
    return engine;
}
