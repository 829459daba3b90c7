#include "data/work/recall.h"
#include "data/practice/roles.h"
#include "data/db/dataset.h"

namespace Recall {

namespace {

QString jetDate(const QDate &d) { return QStringLiteral("#%1/%2/%3#").arg(d.month()).arg(d.day()).arg(d.year()); }

}

// The whole months are one integer division, so that they need no
// conditional in either engine's dialect.
QString listSql(int months, const QDate &today)
{
    const QDate cutoff = today.addMonths(-months);
    const qint64 todayKey = (qint64(today.year()) * 12 + today.month()) * 100 + today.day();
    return QStringLiteral(
               "SELECT P.ID AS ID, P.EPWNYMO AS EPWNYMO, P.ONOMA AS ONOMA, P.THLEFWNO_1 AS THLEFWNO_1,"
               " P.THLEFWNO_2 AS THLEFWNO_2, Format(V.TELEYTAIA,'d/m/yyyy') AS TELEYTAIA_EPISKEPSH,"
               " (%1 - ((YEAR(V.TELEYTAIA)*12+MONTH(V.TELEYTAIA))*100+DAY(V.TELEYTAIA)))/100 AS MHNES"
               " FROM STOIXEIA_PELATH AS P INNER JOIN"
               " (SELECT ID, MAX(HMEROMHNIA) AS TELEYTAIA FROM EPISKEPSEIS GROUP BY ID) AS V ON V.ID = P.ID"
               " WHERE V.TELEYTAIA < %2"
               " ORDER BY V.TELEYTAIA, P.EPWNYMO, P.ONOMA")
        .arg(todayKey)
        .arg(jetDate(cutoff));
}

void open(DataSet &ds, int months, const QDate &today)
{
    Roles::require(Roles::Duty::Recall);
    ds.close();
    ds.setSql(listSql(months, today));
    ds.open();
}

void openPrintout(DataSet &practice)
{
    practice.close();
    practice.setSql(QStringLiteral("SELECT * FROM INFORMATION"));
    practice.open();
}

}
