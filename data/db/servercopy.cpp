#include "data/db/servercopy.h"
#include "data/db/connection.h"
#include "data/db/pgengine.h"
#include <QtEndian>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// How a column's binary form is read; other types are sent as text.
enum class Form { Int2,
                  Int4,
                  Int8,
                  Bool,
                  Float8,
                  FloatText,
                  Text };

struct Column {
    QString name;
    Form form = Form::Text;
    QString select;   // the column in the COPY's SELECT, cast where needed
};

// The server's built-in type numbers read here.
Form formOf(qint64 type, bool *cast, const char **castTo)
{
    *cast = false;
    switch (type) {
    case 16:
        return Form::Bool;
    case 20:
        return Form::Int8;
    case 21:
        return Form::Int2;
    case 23:
        return Form::Int4;
    case 701:
        return Form::Float8;
    case 19:     // name
    case 25:     // text
    case 1042:   // character
    case 1043:   // character varying
        return Form::Text;
    case 700:    // real
    case 1700:   // numeric: their text read as a double, as statements read them
        *cast = true;
        *castTo = "text";
        return Form::FloatText;
    default:
        *cast = true;
        *castTo = "text";
        return Form::Text;
    }
}

std::vector<Column> columnsOf(DbConnection &server, const QString &table)
{
    // A domain's values are sent as its base type's.
    DbStatement st(server, QStringLiteral("SELECT a.attname, coalesce(nullif(t.typbasetype, 0), t.oid)::bigint"
                                          " FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid"
                                          " WHERE a.attrelid = ?::regclass AND a.attnum > 0 AND NOT a.attisdropped"
                                          " ORDER BY a.attnum"));
    st.bind(1, table);
    std::vector<Column> cols;
    while (st.step()) {
        const QString name = st.cursor().text(0);
        if (name == QLatin1String("rowid"))
            continue;
        Column c;
        c.name = name.toUpper();
        bool cast = false;
        const char *castTo = "";
        c.form = formOf(st.cursor().integer(1), &cast, &castTo);
        c.select = PgText::identifier(name);
        if (cast)
            c.select += QStringLiteral("::") + QLatin1String(castTo);
        cols.push_back(c);
    }
    if (cols.empty())
        throw DbError(QStringLiteral("Ο πίνακας %1 δεν βρέθηκε στον διακομιστή %2.").arg(table, server.engine().where()));
    return cols;
}

// Reads the binary stream message by message: the header before the
// first row, then rows, then the trailer.
class Reader {
public:
    Reader(const std::vector<Column> &cols, const std::function<void(const ServerCopy::Cell *, int)> &row, QString where)
        : m_cols(cols), m_row(row), m_cells(cols.size()), m_where(std::move(where))
    {
    }

    void take(QByteArrayView data)
    {
        m_at = data.data();
        m_end = m_at + data.size();
        if (!m_headerRead) {
            static const char signature[] = "PGCOPY\n\377\r\n";
            need(11 + 8);
            if (std::memcmp(m_at, signature, 11) != 0)
                bad();
            m_at += 11 + 4;
            const qint32 extension = int32();
            need(extension);
            m_at += extension;
            m_headerRead = true;
        }
        while (m_at < m_end) {
            if (m_finished)
                bad();
            need(2);
            const qint16 count = qFromBigEndian<qint16>(m_at);
            m_at += 2;
            if (count == -1) {
                m_finished = true;
                continue;
            }
            if (count != qint16(m_cols.size()))
                bad();
            for (size_t i = 0; i < m_cols.size(); ++i)
                readCell(m_cols[i].form, m_cells[i]);
            m_row(m_cells.data(), int(m_cells.size()));
        }
    }

    bool finished() const { return m_finished; }

private:
    [[noreturn]] void bad() const
    {
        throw DbError(QStringLiteral("Ο διακομιστής %1 έστειλε γραμμές που δεν διαβάζονται.").arg(m_where));
    }
    void need(qint64 n) const
    {
        if (n < 0 || m_end - m_at < n)
            bad();
    }
    qint32 int32()
    {
        need(4);
        const qint32 v = qFromBigEndian<qint32>(m_at);
        m_at += 4;
        return v;
    }

    void readCell(Form form, ServerCopy::Cell &cell)
    {
        const qint32 size = int32();
        cell = ServerCopy::Cell{};
        if (size == -1)
            return;
        need(size);
        const char *v = m_at;
        m_at += size;
        auto fixed = [&](qint32 width) {
            if (size != width)
                bad();
        };
        switch (form) {
        case Form::Bool:
            fixed(1);
            cell.kind = CellKind::Integer;
            cell.integer = v[0] ? 1 : 0;
            break;
        case Form::Int2:
            fixed(2);
            cell.kind = CellKind::Integer;
            cell.integer = qFromBigEndian<qint16>(v);
            break;
        case Form::Int4:
            fixed(4);
            cell.kind = CellKind::Integer;
            cell.integer = qFromBigEndian<qint32>(v);
            break;
        case Form::Int8:
            fixed(8);
            cell.kind = CellKind::Integer;
            cell.integer = qFromBigEndian<qint64>(v);
            break;
        case Form::FloatText:
            cell.kind = CellKind::Float;
            cell.real = std::strtod(QByteArray(v, size).constData(), nullptr);
            break;
        case Form::Float8:
            fixed(8);
            cell.kind = CellKind::Float;
            cell.real = std::bit_cast<double>(qFromBigEndian<quint64>(v));
            break;
        case Form::Text:
            cell.kind = CellKind::Text;
            cell.bytes = QByteArrayView(v, size);
            break;
        }
    }

    const std::vector<Column> &m_cols;
    const std::function<void(const ServerCopy::Cell *, int)> &m_row;
    std::vector<ServerCopy::Cell> m_cells;
    QString m_where;
    const char *m_at = nullptr;
    const char *m_end = nullptr;
    bool m_headerRead = false;
    bool m_finished = false;
};

}   // namespace

namespace ServerCopy {

qint64 readTable(DbConnection &server, const QString &table, const std::function<void(const QStringList &names)> &columns,
                 const std::function<void(const Cell *cells, int count)> &row)
{
    const std::vector<Column> cols = columnsOf(server, table);
    QStringList names, selected;
    for (const Column &c : cols) {
        names << c.name;
        selected << c.select;
    }
    columns(names);
    Reader reader(cols, row, server.engine().where());
    const qint64 rows = copyOut(server.engine(),
                                QStringLiteral("COPY (SELECT %1 FROM %2 ORDER BY rowid) TO STDOUT (FORMAT binary)")
                                    .arg(selected.join(u','), PgText::identifier(table.toLower())),
                                [&](QByteArrayView data) { reader.take(data); });
    if (!reader.finished())
        throw DbError(QStringLiteral("Ο διακομιστής %1 δεν έστειλε όλες τις γραμμές του πίνακα %2.").arg(server.engine().where(), table));
    return rows;
}

}
