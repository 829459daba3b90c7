#pragma once
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class DbConnection;

// The file's own integrity and the practice's bookkeeping rules, each
// checked by name with the rows that break it. On a server the layout's
// tables and columns stand in for the file's integrity.
namespace Check {

enum class Rule {
    Integrity,        // PRAGMA integrity_check (or quick_check)
    Layout,           // on a server: every table and column of the layout exists
    ReceiptTaking,    // a valid receipt has exactly one taking of its number and amounts
    TakingReceipt,    // no taking without a valid receipt
    Counter,          // LAST of LAST_APODEIKSH above every issued number
    VisitCustomer,    // visits of a customer that no longer exists
    TakingCustomer,   // takings of a customer that no longer exists
    PlanReceipt,      // a plan item billed on a receipt that is not there or cancelled
    NegativePrice,    // a price below zero in the price list or a plan
    Tables,           // a table the file holds that cannot be read to its end
};

struct Finding {
    Rule rule;
    QString name;       // short name, as the tool prints it
    bool reportOnly;    // the program itself can leave these behind
    QStringList rows;   // the offending rows, one line each
};

// Rows of each table, by name.
using TableRows = QMap<QString, qint64>;

struct Report {
    QList<Finding> findings;   // every rule of the engine, in the order above
    TableRows tableRows;       // every table the file holds that could be read
    // True when every rule that is not report-only holds.
    bool ok() const;
    const Finding *find(Rule rule) const;
};

// Runs every rule. The integrity part reads the whole file; quick uses
// quick_check (no index-content comparison). At most maxRows rows are kept
// per rule. On a server it is runOnServer().
Report run(DbConnection &conn, int maxRows = 50);
// The rules on a server practice: Layout in place of Integrity, then the
// bookkeeping rules and every table read to its end.
Report runOnServer(DbConnection &conn, int maxRows = 50);
// What the layout of a server practice lacks, one line each: its tables
// and columns at the version the database records.
QStringList missingLayout(DbConnection &conn);
// The tables the file holds: the program's twelve and any other (an
// imported file's duplicate receipts), sqlite's own left out. On a server,
// the tables of the practice's schema, in capitals.
QStringList tables(DbConnection &conn);
// The treatment plans' rules (PlanReceipt, NegativePrice), for the file's
// and the server's checks alike.
QList<Finding> planFindings(DbConnection &conn, int maxRows = 50);
// Rows of every one of tables(); throws DbError when one cannot be read.
TableRows countRows(DbConnection &conn);
// Only the file's integrity: "ok", or SQLite's descriptions of the damage.
QStringList integrity(DbConnection &conn, bool quick = false, int maxRows = 50);

// The check before a practice file takes writes: quick_check through a
// connection of its own, then the file's write gate opened, or closed with
// damagedText when the file is damaged or does not open. Returns "ok" or
// the engine's words about the damage.
QStringList gateWrites(const QString &connectionString);
// Why a write to a damaged file is refused.
QString damagedText(const QString &file);

}
