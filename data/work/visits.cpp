#include "data/work/visits.h"
#include "data/work/accesslog.h"
#include "data/practice/roles.h"
#include "data/db/dataset.h"

namespace Visits {

void openForEntry(DataSet &ds)
{
    Roles::require(Roles::Duty::Clinical);
    ds.close();
    ds.setSql(QStringLiteral("SELECT * FROM EPISKEPSEIS WHERE 1=0"));
    ds.open();
}

void assign(DataSet &entry, CustomerRef customer)
{
    entry.setFieldValue(QStringLiteral("ID"), customer.value());
    AccessLog::watch(entry, AccessLog::Action::Change, customer.value(), QStringLiteral("Επισκέψεις"));
}

void openList(DataSet &ds, CustomerRef customer)
{
    Roles::require(Roles::Duty::Clinical);
    ds.close();
    ds.setSql(QStringLiteral("select ID AS ID,HMEROMHNIA AS HMEROMHNIA,AITIA AS AITIA,PERIGRAFH AS PERIGRAFH,GESY_PROLHPSH AS GESY_PROLHPSH from EPISKEPSEIS WHERE ID=")
              + customer.text() + QStringLiteral(" ORDER BY HMEROMHNIA ASC"));
    ds.open();
    AccessLog::watch(ds, AccessLog::Action::Change, customer.value(), QStringLiteral("Επισκέψεις"));
}

}
