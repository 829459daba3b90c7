#include "data/practice/check.h"
#include "data/db/connection.h"
#include "data/db/writegate.h"
#include "data/practice/schema.h"
#include "data/practice/schemaversion.h"
#include <QDir>
#include <QRegularExpression>
#include <QSet>

namespace {

// Each row of a native query as "COLUMN=value, ..."; at most maxRows rows.
QStringList offending(DbConnection &conn, const QString &sql, int maxRows)
{
    QStringList rows;
    DbStatement st(conn, sql);
    while (st.step()) {
        if (rows.size() == maxRows) {
            rows << QStringLiteral("…");
            break;
        }
        QStringList fields;
        for (int i = 0; i < st.columnCount(); ++i) {
            const QVariant v = st.columnValue(i);
            fields << st.columnName(i) + QLatin1Char('=')
                    + (v.isValid() ? v.toString() : QStringLiteral("NULL"));
        }
        rows << fields.join(QStringLiteral(", "));
    }
    return rows;
}

// The rules' texts read alike on the file and on a server.
// Amounts are stored as floating point; a difference under half a cent is
// the same amount.
const char *const kReceiptTaking =
    "SELECT a.AR_APODEIKSHS, a.POSO, a.POSO_CY, count(e.rowid) AS TAKINGS,"
    " min(e.POSO) AS TAKING_POSO, min(e.POSO_CY) AS TAKING_POSO_CY"
    " FROM APODEIKSEIS a LEFT JOIN EISPRAKSH_PELATH e ON e.AR_APODEIKSHS = a.AR_APODEIKSHS"
    " WHERE a.EGKYRH <> 0"
    " GROUP BY a.rowid, a.AR_APODEIKSHS, a.POSO, a.POSO_CY"
    " HAVING count(e.rowid) <> 1"
    "  OR abs(coalesce(min(e.POSO), 1e300) - coalesce(a.POSO, 0)) >= 0.005"
    "  OR abs(coalesce(min(e.POSO_CY), 1e300) - coalesce(a.POSO_CY, 0)) >= 0.005"
    " ORDER BY a.AR_APODEIKSHS";

const char *const kTakingReceipt =
    "SELECT e.rowid AS ROW, e.ID, e.HMEROMHNIA, e.POSO, e.AR_APODEIKSHS FROM EISPRAKSH_PELATH e"
    " WHERE NOT EXISTS (SELECT 1 FROM APODEIKSEIS a"
    "  WHERE a.AR_APODEIKSHS = e.AR_APODEIKSHS AND a.EGKYRH <> 0)"
    " ORDER BY e.rowid";

// No counter row while receipts exist, more than one row, or a counter at
// or below an issued number.
const char *const kCounter =
    "SELECT * FROM (SELECT (SELECT count(*) FROM LAST_APODEIKSH) AS COUNTER_ROWS,"
    " (SELECT min(\"LAST\") FROM LAST_APODEIKSH) AS \"LAST\","
    " (SELECT max(AR_APODEIKSHS) FROM APODEIKSEIS) AS HIGHEST_ISSUED) AS c"
    " WHERE (HIGHEST_ISSUED IS NOT NULL AND (COUNTER_ROWS = 0 OR \"LAST\" IS NULL OR \"LAST\" <= HIGHEST_ISSUED))"
    "  OR COUNTER_ROWS > 1";

const char *const kVisitCustomer =
    "SELECT v.rowid AS ROW, v.ID, v.HMEROMHNIA, v.AITIA FROM EPISKEPSEIS v"
    " WHERE NOT EXISTS (SELECT 1 FROM STOIXEIA_PELATH c WHERE c.ID = v.ID) ORDER BY v.rowid";

const char *const kTakingCustomer =
    "SELECT e.rowid AS ROW, e.ID, e.HMEROMHNIA, e.POSO, e.AR_APODEIKSHS FROM EISPRAKSH_PELATH e"
    " WHERE NOT EXISTS (SELECT 1 FROM STOIXEIA_PELATH c WHERE c.ID = e.ID) ORDER BY e.rowid";
// A customer deleted after the retention period leaves the takings on
// purpose, with the name kept beside them.
const char *const kTakingCustomerKept =
    "SELECT e.rowid AS ROW, e.ID, e.HMEROMHNIA, e.POSO, e.AR_APODEIKSHS FROM EISPRAKSH_PELATH e"
    " WHERE NOT EXISTS (SELECT 1 FROM STOIXEIA_PELATH c WHERE c.ID = e.ID)"
    " AND NOT EXISTS (SELECT 1 FROM PELATES_DIAGRAMMENOI d WHERE d.ID = e.ID) ORDER BY e.rowid";

// Cancelling a receipt frees its items, so an item on a cancelled one is
// as wrong as one on a receipt that does not exist.
const char *const kPlanReceipt =
    "SELECT s.ID, s.PELATHS, s.AR_APODEIKSHS FROM SXEDIO_THERAPEIAS s"
    " WHERE s.AR_APODEIKSHS IS NOT NULL AND NOT EXISTS (SELECT 1 FROM APODEIKSEIS a"
    "  WHERE a.AR_APODEIKSHS = s.AR_APODEIKSHS AND a.EGKYRH <> 0) ORDER BY s.ID";

const char *const kNegativePrice =
    "SELECT 'TIMOKATALOGOS' AS PINAKAS, ID, TIMH_LEPTA FROM TIMOKATALOGOS WHERE TIMH_LEPTA < 0"
    " UNION ALL SELECT 'SXEDIO_THERAPEIAS' AS PINAKAS, ID, TIMH_LEPTA FROM SXEDIO_THERAPEIAS WHERE TIMH_LEPTA < 0"
    " ORDER BY 1, 2";

// A rule's rows; a damaged file may refuse the query, and then the rule
// cannot be shown to hold.
QStringList offendingOrWhy(DbConnection &conn, const char *sql, int maxRows)
{
    try {
        return offending(conn, QString::fromLatin1(sql), maxRows);
    } catch (const DbError &e) {
        return {e.message()};
    }
}

qint64 rowsOf(DbConnection &conn, const QString &table)
{
    QString quoted = table;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return conn.scalarNative(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(quoted)).toLongLong();
}

// The bookkeeping rules and every table read to its end, after the
// engine's own check.
void addRules(DbConnection &conn, int maxRows, Check::Report &r)
{
    using Check::Finding;
    using Check::Rule;
    struct Query {
        Rule rule;
        const char *name;
        bool reportOnly;
        const char *sql;
    };
    bool namesKept = false;
    try {
        namesKept = Check::tables(conn).contains(QStringLiteral("PELATES_DIAGRAMMENOI"));
    } catch (const DbError &) {
    }
    const Query queries[] = {
        {Rule::ReceiptTaking, "απόδειξη-είσπραξη", false, kReceiptTaking},
        {Rule::TakingReceipt, "είσπραξη-χωρίς-απόδειξη", false, kTakingReceipt},
        {Rule::Counter, "μετρητής-αποδείξεων", false, kCounter},
        {Rule::VisitCustomer, "επισκέψεις-χωρίς-πελάτη", true, kVisitCustomer},
        {Rule::TakingCustomer, "εισπράξεις-χωρίς-πελάτη", true, namesKept ? kTakingCustomerKept : kTakingCustomer},
    };
    for (const Query &q : queries)
        r.findings << Finding{q.rule, QString::fromUtf8(q.name), q.reportOnly, offendingOrWhy(conn, q.sql, maxRows)};
    r.findings << Check::planFindings(conn, maxRows);

    // Every table is read to its end, those no rule names too.
    QStringList unreadable;
    try {
        for (const QString &table : Check::tables(conn)) {
            try {
                r.tableRows.insert(table, rowsOf(conn, table));
            } catch (const DbError &e) {
                unreadable << table + QStringLiteral(": ") + e.message();
            }
        }
    } catch (const DbError &e) {
        unreadable << e.message();
    }
    r.findings << Finding{Rule::Tables, QString::fromUtf8("πίνακες"), false, unreadable};
}

// The columns a CREATE TABLE or ALTER TABLE ... ADD statement of the
// layout makes, by table, in capitals.
void addLayoutColumns(const QString &statement, QMap<QString, QStringList> &layout)
{
    static const QRegularExpression create(QStringLiteral("^CREATE TABLE (\\w+) *\\((.*)\\)$"),
                                           QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression alter(QStringLiteral("^ALTER TABLE (\\w+) ADD (?:COLUMN )?(\\S+)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const auto name = [](QString token) {
        if (token.size() > 1 && (token.front() == u'[' || token.front() == u'"'))
            token = token.mid(1, token.size() - 2);
        return token.toUpper();
    };
    const QString text = statement.simplified();
    if (const QRegularExpressionMatch m = alter.match(text); m.hasMatch()) {
        layout[name(m.captured(1))] << name(m.captured(2));
        return;
    }
    const QRegularExpressionMatch m = create.match(text);
    if (!m.hasMatch())
        return;
    QStringList &columns = layout[name(m.captured(1))];
    // Definitions are split at the commas outside parentheses; table
    // constraints name no column of their own.
    int depth = 0;
    QString part;
    for (const QChar c : m.captured(2) + QLatin1Char(',')) {
        if (c == u',' && depth == 0) {
            const QString first = part.trimmed().section(u' ', 0, 0);
            static const QStringList constraints = {QStringLiteral("PRIMARY"), QStringLiteral("UNIQUE"), QStringLiteral("CHECK"),
                                                    QStringLiteral("FOREIGN"), QStringLiteral("CONSTRAINT")};
            if (!first.isEmpty() && !constraints.contains(first.toUpper()))
                columns << name(first);
            part.clear();
            continue;
        }
        depth += c == u'(' ? 1 : c == u')' ? -1
                                           : 0;
        part += c;
    }
}

}   // namespace

namespace Check {

QStringList tables(DbConnection &conn)
{
    QStringList names;
    DbStatement st(conn, conn.onServer() ? QStringLiteral("SELECT upper(table_name) FROM information_schema.tables"
                                                          " WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'"
                                                          " ORDER BY 1")
                                         : QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"
                                                          " AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"));
    while (st.step())
        names << st.columnValue(0).toString();
    return names;
}

TableRows countRows(DbConnection &conn)
{
    TableRows counts;
    for (const QString &table : tables(conn))
        counts.insert(table, rowsOf(conn, table));
    return counts;
}

bool Report::ok() const
{
    for (const Finding &f : findings)
        if (!f.reportOnly && !f.rows.isEmpty())
            return false;
    return true;
}

const Finding *Report::find(Rule rule) const
{
    for (const Finding &f : findings)
        if (f.rule == rule)
            return &f;
    return nullptr;
}

QStringList integrity(DbConnection &conn, bool quick, int maxRows)
{
    QStringList rows;
    try {
        DbStatement st(conn, QStringLiteral("PRAGMA %1(%2)").arg(quick ? QLatin1String("quick_check") : QLatin1String("integrity_check")).arg(maxRows));
        while (st.step())
            rows << st.columnValue(0).toString();
    } catch (const DbError &e) {
        // A page too damaged to walk stops the check itself.
        rows << e.message();
    }
    return rows;
}

Report run(DbConnection &conn, int maxRows)
{
    if (conn.onServer())
        return runOnServer(conn, maxRows);
    Report r;
    QStringList damage = integrity(conn, false, maxRows);
    if (damage == QStringList{QStringLiteral("ok")})
        damage.clear();
    r.findings << Finding{Rule::Integrity, QStringLiteral("integrity_check"), false, damage};
    addRules(conn, maxRows, r);
    return r;
}

Report runOnServer(DbConnection &conn, int maxRows)
{
    Report r;
    QStringList missing;
    try {
        missing = missingLayout(conn);
    } catch (const DbError &e) {
        missing << e.message();
    }
    if (missing.size() > maxRows)
        missing = missing.mid(0, maxRows) << QStringLiteral("…");
    r.findings << Finding{Rule::Layout, QString::fromUtf8("δομή"), false, missing};
    addRules(conn, maxRows, r);
    return r;
}

QStringList missingLayout(DbConnection &conn)
{
    // The layout at the database's own version: a database an older program
    // made lacks what later versions add, and the program adds it at open.
    const int version = SchemaVersion::read(conn);
    QStringList statements = Schema::fileTableStatements();
    for (const SchemaVersion::Migration &m : SchemaVersion::migrations())
        if (m.to <= version)
            statements << m.statements;
    QMap<QString, QStringList> expected;
    for (const QString &statement : statements)
        addLayoutColumns(statement, expected);

    QMap<QString, QSet<QString>> present;
    DbStatement st(conn, QStringLiteral("SELECT upper(table_name), upper(column_name) FROM information_schema.columns"
                                        " WHERE table_schema = current_schema()"));
    while (st.step())
        present[st.columnValue(0).toString()].insert(st.columnValue(1).toString());

    QStringList missing;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const auto table = present.constFind(it.key());
        if (table == present.cend()) {
            missing << QString::fromUtf8("λείπει ο πίνακας %1").arg(it.key());
            continue;
        }
        for (const QString &column : it.value())
            if (!table->contains(column))
                missing << QString::fromUtf8("λείπει η στήλη %1.%2").arg(it.key(), column);
    }
    return missing;
}

QList<Finding> planFindings(DbConnection &conn, int maxRows)
{
    return {Finding{Rule::PlanReceipt, QString::fromUtf8("εργασία-χωρίς-απόδειξη"), false, offendingOrWhy(conn, kPlanReceipt, maxRows)},
            Finding{Rule::NegativePrice, QString::fromUtf8("αρνητική-τιμή"), false, offendingOrWhy(conn, kNegativePrice, maxRows)}};
}

QStringList gateWrites(const QString &connectionString)
{
    const QString file = ParseConnectionString(connectionString).dataSource;
    QStringList problems;
    try {
        DbConnection conn;
        conn.setConnectionString(connectionString);
        conn.open();
        problems = integrity(conn, true, 5);
    } catch (const std::exception &e) {
        problems = QStringList{QString::fromUtf8(e.what())};
    }
    if (problems == QStringList{QStringLiteral("ok")})
        WriteGate::open(file);
    else
        WriteGate::refuse(file, damagedText(file));
    return problems;
}

QString damagedText(const QString &file)
{
    return QStringLiteral("Το αρχείο δεδομένων %1 βρέθηκε κατεστραμμένο· δεν γράφτηκε τίποτα σε αυτό.").arg(QDir::toNativeSeparators(file));
}

}
