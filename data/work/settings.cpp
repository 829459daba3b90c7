#include "data/work/settings.h"
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
}

void Settings::openPracticeDetails(DataSet &details)
{
    details.setTableName(QStringLiteral("INFORMATION"));
    details.open();
}
