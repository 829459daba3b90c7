#include "data/work/estimate.h"
#include "data/db/dataset.h"
#include "data/db/dberror.h"

namespace Estimate {

void open(DataSet &practice, DataSet &patient, DataSet &items, CustomerRef customer)
{
    practice.close();
    practice.setSql(QStringLiteral("SELECT * FROM INFORMATION"));
    practice.open();
    patient.close();
    patient.setSql(QStringLiteral("SELECT ID, ONOMA, EPWNYMO, DIEYTHYNSH, THLEFWNO_1, THLEFWNO_2, GESY_ARITHMOS"
                                  " FROM STOIXEIA_PELATH WHERE ID=")
                   + customer.text());
    patient.open();
    if (patient.isEmpty())
        throw DbError(QStringLiteral("Ο πελάτης δεν βρέθηκε."));
    items.close();
    items.setSql(QStringLiteral("SELECT T.KWDIKOS AS KWDIKOS, T.PERIGRAFH AS PERIGRAFH, S.DONTI AS DONTI,"
                                " S.EPIFANEIES AS EPIFANEIES, S.SHMEIWSH AS SHMEIWSH, S.TIMH_LEPTA AS TIMH_LEPTA,"
                                " Format(S.TIMH_LEPTA/100.0,'0.00') AS TIMH"
                                " FROM SXEDIO_THERAPEIAS AS S INNER JOIN TIMOKATALOGOS AS T ON T.ID = S.ERGASIA"
                                " WHERE S.PELATHS=")
                 + customer.text() + QStringLiteral(" AND S.KATASTASH='P' ORDER BY S.KATAXWRHSH, S.ID"));
    items.open();
}

qint64 totalCents(DataSet &items)
{
    qint64 total = 0;
    const int col = items.fieldIndex(QStringLiteral("TIMH_LEPTA"));
    for (int r = 0; r < items.recordCount(); ++r)
        total += items.value(r, col).toLongLong();
    return total;
}

}
