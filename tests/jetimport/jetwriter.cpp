#include "tests/jetimport/jetwriter.h"
#include <QDateTime>
#include <QFile>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace JetWriter {

namespace {

constexpr int PageSize = 4096;
constexpr int DataHeader = 14;     // type, 1, free space, owner, 4 unknown, row count
constexpr int RowsPerPage = 255;   // a page/row pointer keeps the row in one byte
constexpr int BitsPerMapPage = (PageSize - 4) * 8;
constexpr quint8 OleType = 0x0B;

template <class T>
void put(QByteArray &b, int at, T v)
{
    qToLittleEndian<T>(v, b.data() + at);
}

template <class T>
void append(QByteArray &b, T v)
{
    char buf[sizeof(T)];
    qToLittleEndian<T>(v, buf);
    b.append(buf, int(sizeof(T)));
}

int fixedSize(quint8 type)
{
    switch (type) {
    case Byte: return 1;
    case Int: return 2;
    case Long: return 4;
    case Money:
    case Double:
    case DateTime: return 8;
    default: return 0;
    }
}

bool isFixed(quint8 type) { return type != Text && type != Memo && type != OleType; }

QByteArray ucs2(const QString &s)
{
    QByteArray b;
    for (QChar c : s)
        append<quint16>(b, c.unicode());
    return b;
}

// RC4 hides the header's second part from casual readers.
void rc4(const QByteArray &key, char *data, int len)
{
    quint8 S[256];
    for (int i = 0; i < 256; ++i)
        S[i] = quint8(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + S[i] + quint8(key[i % key.size()])) & 0xff;
        std::swap(S[i], S[j]);
    }
    for (int n = 0, i = 0, j = 0; n < len; ++n) {
        i = (i + 1) & 0xff;
        j = (j + S[i]) & 0xff;
        std::swap(S[i], S[j]);
        data[n] = char(quint8(data[n]) ^ S[(S[i] + S[j]) & 0xff]);
    }
}

}   // namespace

QByteArray encodeText(const QString &s)
{
    bool compressible = true;
    for (QChar c : s)
        if ((c.unicode() & 0xff) == 0)   // a zero byte would read as a mode switch
            compressible = false;
    if (compressible && !s.isEmpty()) {
        QByteArray b("\xff\xfe", 2);
        bool compressed = true;
        for (QChar c : s) {
            const quint16 u = c.unicode();
            const bool narrow = u < 0x100;
            if (narrow != compressed) {
                b.append('\0');
                compressed = narrow;
            }
            b.append(char(u & 0xff));
            if (!narrow)
                b.append(char(u >> 8));
        }
        if (b.size() < s.size() * 2)
            return b;
    }
    return ucs2(s);
}

double jetDay(const QDateTime &dt)
{
    const qint64 days = QDate(1899, 12, 30).daysTo(dt.date());
    const double frac = dt.time().msecsSinceStartOfDay() / 86400000.0;
    // Before 1899 the whole part counts back while the time still counts forward.
    return days >= 0 ? double(days) + frac : double(days) - frac;
}

Writer::Writer(const QString &databasePassword)
    : m_password(databasePassword), m_created(jetDay(QDateTime(QDate(2004, 3, 17), QTime(10, 21, 5))))
{
    m_pages.resize(3);   // header, the usage maps' rows, the catalog's definition
    m_pages[0] = QByteArray(PageSize, 0);
    m_pages[1] = QByteArray(PageSize, 0);
    m_pages[2] = QByteArray(PageSize, 0);
    addTableDef(QStringLiteral("MSysObjects"),
                {{QStringLiteral("Id"), Long}, {QStringLiteral("ParentId"), Long}, {QStringLiteral("Name"), Text, 255}, {QStringLiteral("Type"), Int}, {QStringLiteral("DateCreate"), DateTime}, {QStringLiteral("DateUpdate"), DateTime}, {QStringLiteral("Flags"), Long}, {QStringLiteral("LvProp"), Type(OleType)}},
                true, 2);
    addRow(0, {2, 0x0F000001, QStringLiteral("MSysObjects"), 1, m_created, m_created, qint64(0x80000002), QVariant()});
}

int Writer::newPage(quint8 type)
{
    QByteArray p(PageSize, 0);
    p[0] = char(type);
    p[1] = 1;
    if (type == 0x01)
        put<quint16>(p, 2, PageSize - DataHeader);
    m_pages.push_back(p);
    return int(m_pages.size() - 1);
}

int Writer::addTableDef(const QString &name, const QList<Column> &columns, bool system, int tdefPage)
{
    Table t;
    t.name = name;
    t.columns = columns;
    t.system = system;
    t.tdefPage = tdefPage;
    m_tables.push_back(t);
    return int(m_tables.size() - 1);
}

int Writer::addTable(const QString &name, const QList<Column> &columns)
{
    const int page = newPage(0x02);
    const int id = addTableDef(name, columns, false, page);
    addRow(0, {page, 0x0F000001, name, 1, m_created, m_created, 0, QVariant()});
    return id;
}

QByteArray Writer::memoField(const QByteArray &encoded)
{
    QByteArray f;
    const quint32 len = quint32(encoded.size());
    if (len <= 1000) {
        append<quint32>(f, len | 0x80000000u);
        append<quint32>(f, 0);
        append<quint32>(f, 0);
        return f + encoded;
    }
    // Longer texts go to long-value pages: one row on one page, or a chain
    // of rows each starting with the pointer to the next.
    constexpr int Chunk = 4000;
    auto lvalPage = [this](const QByteArray &row) {
        const int page = newPage(0x01);
        QByteArray &p = m_pages[size_t(page)];
        std::memcpy(p.data() + 4, "LVAL", 4);
        const int start = PageSize - int(row.size());
        std::memcpy(p.data() + start, row.constData(), size_t(row.size()));
        put<quint16>(p, 12, 1);
        put<quint16>(p, 14, quint16(start));
        put<quint16>(p, 2, quint16(PageSize - DataHeader - 2 - row.size()));
        return page;
    };
    if (len <= quint32(Chunk)) {
        const int page = lvalPage(encoded);
        append<quint32>(f, len | 0x40000000u);
        append<quint32>(f, quint32(page) << 8);
        append<quint32>(f, 0);
        return f;
    }
    std::vector<int> pages;
    quint32 next = 0;
    for (int at = int(((len - 1) / Chunk) * Chunk); at >= 0; at -= Chunk) {   // last piece first
        QByteArray row;
        append<quint32>(row, next);
        row += encoded.mid(at, Chunk);
        next = quint32(lvalPage(row)) << 8;
    }
    append<quint32>(f, len);
    append<quint32>(f, next);
    append<quint32>(f, 0);
    return f;
}

void Writer::addRow(int table, const QVariantList &values)
{
    Table &t = m_tables[size_t(table)];
    putRow(t, encodeRow(t, values));
    ++t.rows;
}

void Writer::addDeletedRow(int table, const QVariantList &values)
{
    Table &t = m_tables[size_t(table)];
    putRow(t, encodeRow(t, values), 0x8000);
}

void Writer::addMovedRow(int table, const QVariantList &values)
{
    Table &t = m_tables[size_t(table)];
    const QByteArray row = encodeRow(t, values);
    const int keep = t.currentPage;
    const int page = newDataPage(t);
    const int at = placeRow(page, row, 0x8000);   // readers skip it where it lies
    t.currentPage = keep < 0 ? page : keep;
    QByteArray pointer;
    append<quint32>(pointer, quint32(page) << 8 | quint32(at));
    putRow(t, pointer, 0x4000);
    ++t.rows;
}

QByteArray Writer::encodeRow(Table &t, const QVariantList &values)
{
    const int ncols = int(t.columns.size());
    int fixedBytes = 0;
    for (const Column &c : t.columns)
        fixedBytes += fixedSize(c.type);
    QByteArray fixed(fixedBytes, '\0');
    std::vector<QByteArray> var;
    QByteArray nulls((ncols + 7) / 8, '\0');

    int fixedAt = 0;
    for (int i = 0; i < ncols; ++i) {
        const Column &c = t.columns[i];
        QVariant v = i < values.size() ? values[i] : QVariant();
        if (c.autoNumber && !v.isValid())
            v = t.nextAuto;
        if (c.autoNumber)
            t.nextAuto = std::max(t.nextAuto, v.toLongLong() + 1);
        const bool present = c.type == Bool ? v.toBool() : (v.isValid() && !v.isNull());
        if (present)
            nulls[i / 8] = char(quint8(nulls[i / 8]) | (1 << (i % 8)));
        if (!isFixed(c.type)) {
            QByteArray data;
            if (present && c.type == Text)
                data = encodeText(v.toString());
            else if (present && c.type == Memo)
                data = memoField(encodeText(v.toString()));
            var.push_back(data);
            continue;
        }
        if (present) {
            switch (c.type) {
            case Byte: fixed[fixedAt] = char(quint8(v.toInt())); break;
            case Int: put<qint16>(fixed, fixedAt, qint16(v.toInt())); break;
            case Long: put<qint32>(fixed, fixedAt, qint32(v.toLongLong())); break;
            case Money: put<qint64>(fixed, fixedAt, qint64(std::llround(v.toDouble() * 10000.0))); break;
            case Double: put<double>(fixed, fixedAt, v.toDouble()); break;
            case DateTime: {
                double day = 0;
                if (v.typeId() == QMetaType::QDate)
                    day = jetDay(QDateTime(v.toDate(), QTime(0, 0)));
                else if (v.typeId() == QMetaType::QDateTime)
                    day = jetDay(v.toDateTime());
                else
                    day = v.toDouble();
                put<double>(fixed, fixedAt, day);
                break;
            }
            default: break;
            }
        }
        fixedAt += fixedSize(c.type);
    }

    QByteArray row;
    append<quint16>(row, quint16(ncols));
    row += fixed;
    std::vector<quint16> offsets;
    for (const QByteArray &d : var) {
        offsets.push_back(quint16(row.size()));
        row += d;
    }
    if (!var.empty()) {
        append<quint16>(row, quint16(row.size()));   // end of the variable data
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
            append<quint16>(row, *it);
        append<quint16>(row, quint16(var.size()));
    }
    row += nulls;
    return row;
}

int Writer::newDataPage(Table &t)
{
    const int page = newPage(0x01);
    put<quint32>(m_pages[size_t(page)], 4, quint32(t.tdefPage));
    t.dataPages.push_back(page);
    return page;
}

int Writer::placeRow(int page, const QByteArray &row, quint16 flags)
{
    QByteArray &p = m_pages[size_t(page)];
    const int n = qFromLittleEndian<quint16>(p.constData() + 12);
    const int prev = n == 0 ? PageSize : (qFromLittleEndian<quint16>(p.constData() + DataHeader + 2 * (n - 1)) & 0x1fff);
    const int start = prev - int(row.size());
    std::memcpy(p.data() + start, row.constData(), size_t(row.size()));
    put<quint16>(p, DataHeader + 2 * n, quint16(start | flags));
    put<quint16>(p, 12, quint16(n + 1));
    put<quint16>(p, 2, quint16(qFromLittleEndian<quint16>(p.constData() + 2) - row.size() - 2));
    return n;
}

int Writer::putRow(Table &t, const QByteArray &row, quint16 flags)
{
    auto fits = [&](int page) {
        const QByteArray &p = m_pages[size_t(page)];
        return qFromLittleEndian<quint16>(p.constData() + 2) >= row.size() + 2
            && qFromLittleEndian<quint16>(p.constData() + 12) < RowsPerPage;
    };
    if (t.currentPage < 0 || !fits(t.currentPage)) {
        t.currentPage = newDataPage(t);
        if (!fits(t.currentPage))
            qFatal("a row of %d bytes does not fit on a page", int(row.size()));
    }
    return (t.currentPage << 8) | placeRow(t.currentPage, row, flags);
}

QByteArray Writer::tableDefinition(const Table &t, int usageRow, int freeRow) const
{
    QByteArray p(PageSize, '\0');
    p[0] = 0x02;
    p[1] = 0x01;
    int nvar = 0;
    bool hasAuto = false;
    for (const Column &c : t.columns) {
        nvar += isFixed(c.type) ? 0 : 1;
        hasAuto = hasAuto || c.autoNumber;
    }
    const int ncols = int(t.columns.size());
    put<quint32>(p, 16, quint32(t.rows));
    put<quint32>(p, 20, hasAuto ? quint32(t.nextAuto) : 0);
    p[24] = hasAuto ? 1 : 0;
    p[40] = char(t.system ? 0x53 : 0x4e);
    put<quint16>(p, 41, quint16(ncols));
    put<quint16>(p, 43, quint16(nvar));
    put<quint16>(p, 45, quint16(ncols));
    put<quint32>(p, 47, 0);   // no indexes
    put<quint32>(p, 51, 0);
    put<quint32>(p, 55, quint32(usageRow));
    put<quint32>(p, 59, quint32(freeRow));

    int at = 63, fixedAt = 0, varIndex = 0;
    for (int i = 0; i < ncols; ++i, at += 25) {
        const Column &c = t.columns[i];
        p[at] = char(c.type);
        put<quint16>(p, at + 5, quint16(i));
        put<quint16>(p, at + 9, quint16(i));
        quint8 flags = 0;
        if (isFixed(c.type)) {
            flags |= 0x01;
            put<quint16>(p, at + 21, quint16(fixedAt));
            fixedAt += fixedSize(c.type);
        } else {
            put<quint16>(p, at + 7, quint16(varIndex++));
        }
        if (c.type != Bool)
            flags |= 0x02;
        if (c.autoNumber)
            flags |= 0x04;
        p[at + 15] = char(flags);
        if (c.type == Text || c.type == Memo) {
            put<quint16>(p, at + 11, 0x0409);   // General sort order
            p[at + 16] = 0x01;                  // compressed Unicode
        }
        const int len = c.type == Text ? c.length * 2 : fixedSize(c.type);
        put<quint16>(p, at + 23, quint16(len));
    }
    for (const Column &c : t.columns) {
        const QByteArray name = ucs2(c.name);
        put<quint16>(p, at, quint16(name.size()));
        std::memcpy(p.data() + at + 2, name.constData(), size_t(name.size()));
        at += 2 + int(name.size());
    }
    put<quint16>(p, at, 0xffff);
    at += 2;
    put<quint32>(p, 8, quint32(at));
    put<quint16>(p, 2, quint16(std::max(0, PageSize - at - 8)));
    return p;
}

QByteArray Writer::bytes()
{
    // Each table's pages are found through a map: a row on page 1 that
    // points at bitmap pages, one bit a page of the file.
    const int tables = int(m_tables.size());
    int mapsPerTable = 1;
    while (qint64(m_pages.size()) + qint64(tables) * mapsPerTable > qint64(mapsPerTable) * BitsPerMapPage)
        ++mapsPerTable;
    std::vector<std::vector<int>> mapPages(m_tables.size());
    for (size_t i = 0; i < m_tables.size(); ++i) {
        for (int k = 0; k < mapsPerTable; ++k)
            mapPages[i].push_back(newPage(0x05));
        for (int page : m_tables[i].dataPages) {
            QByteArray &m = m_pages[size_t(mapPages[i][size_t(page / BitsPerMapPage)])];
            const int bit = page % BitsPerMapPage;
            m[4 + bit / 8] = char(quint8(m[4 + bit / 8]) | (1 << (bit % 8)));
        }
    }
    QByteArray &rows = m_pages[1];
    rows[0] = 0x01;
    rows[1] = 0x01;
    int rowCount = 0, end = PageSize;
    auto addMapRow = [&](const QByteArray &r) {
        end -= int(r.size());
        std::memcpy(rows.data() + end, r.constData(), size_t(r.size()));
        put<quint16>(rows, DataHeader + 2 * rowCount, quint16(end));
        return (1 << 8) | rowCount++;
    };
    std::vector<std::pair<int, int>> mapRows;
    for (size_t i = 0; i < m_tables.size(); ++i) {
        QByteArray usage(1, '\x01');
        for (int mp : mapPages[i])
            append<quint32>(usage, quint32(mp));
        QByteArray free(1, '\0');
        append<quint32>(free, 0);
        free.append('\0');
        const int u = addMapRow(usage);
        const int f = addMapRow(free);
        mapRows.push_back({u, f});
    }
    put<quint16>(rows, 12, quint16(rowCount));
    put<quint16>(rows, 2, quint16(end - DataHeader - 2 * rowCount));
    for (size_t i = 0; i < m_tables.size(); ++i)
        m_pages[size_t(m_tables[i].tdefPage)] = tableDefinition(m_tables[i], mapRows[i].first, mapRows[i].second);

    QByteArray &h = m_pages[0];
    h.fill('\0');
    std::memcpy(h.data(), "\x00\x01\x00\x00Standard Jet DB\0", 20);
    put<quint32>(h, 0x14, 1);      // Jet 4
    put<quint16>(h, 0x3c, 1253);   // Greek code page
    put<quint32>(h, 0x3e, 0);      // pages not encoded
    QByteArray password = ucs2(m_password.left(20)).leftJustified(40, '\0');
    const qint32 mask = qint32(std::floor(m_created));
    char maskBytes[4];
    qToLittleEndian<qint32>(mask, maskBytes);
    for (int i = 0; i < 40; ++i)
        password[i] = char(password[i] ^ maskBytes[i % 4]);
    std::memcpy(h.data() + 0x42, password.constData(), 40);
    put<quint32>(h, 0x6e, 0x0409);
    put<double>(h, 0x72, m_created);
    rc4(QByteArray("\xc7\xda\x39\x6b", 4), h.data() + 0x18, 128);

    QByteArray all;
    all.reserve(int(m_pages.size()) * PageSize);
    for (const QByteArray &p : m_pages)
        all += p;
    return all;
}

bool Writer::save(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes()) == qint64(m_pages.size()) * PageSize;
}

}
