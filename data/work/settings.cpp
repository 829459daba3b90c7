#include "data/work/settings.h"
#include "data/work/accesslog.h"
#include "data/practice/roles.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include <limits>

bool Settings::usableNumber(qint64 next)
{
    return next > 0 && next < std::numeric_limits<qint64>::max();
}

bool Settings::numberingDefined(DbConnection &conn)
{
    bool ok = false;
    const qlonglong next = conn.scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toLongLong(&ok);
    return ok && usableNumber(next);
}

void Settings::openNumbering(DataSet &numbering)
{
    numbering.setTableName(QStringLiteral("LAST_APODEIKSH"));
    numbering.open();
    AccessLog::watch(numbering, AccessLog::Action::ReceiptNumbering, 0, QString());
}

void Settings::openPracticeDetails(DataSet &details)
{
    details.setTableName(QStringLiteral("INFORMATION"));
    details.open();
}

int Settings::retentionYears(DbConnection &conn)
{
    bool ok = false;
    const int years = conn.scalarNative(QStringLiteral("SELECT DIATHRHSH_ETH FROM INFORMATION WHERE DIATHRHSH_ETH IS NOT NULL")).toInt(&ok);
    return ok && years > 0 ? years : DefaultRetentionYears;
}

void Settings::setRetentionYears(DbConnection &conn, int years)
{
    if (years < 1 || years > 100)
        throw DbError(QStringLiteral("Η περίοδος διατήρησης των ιατρικών στοιχείων είναι από 1 έως 100 χρόνια."));
    Roles::require(Roles::Duty::Settings);
    DbTransaction tx(conn);
    if (conn.executeNative(QStringLiteral("UPDATE INFORMATION SET DIATHRHSH_ETH=?"), {years}) == 0)
        conn.executeNative(QStringLiteral("INSERT INTO INFORMATION (DIATHRHSH_ETH) VALUES (?)"), {years});
    AccessLog::record(conn, AccessLog::Action::Change, 0, QStringLiteral("Περίοδος διατήρησης ιατρικών στοιχείων: %1 χρόνια").arg(years));
    tx.commit();
}
