#include "reports/estimate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/appstate.h"
#include "data/work/estimate.h"
#include "data/work/plans.h"
#include "reports/reportengine.h"
#include <QDir>

void PrintEstimate(const QString &customerId)
{
    const CustomerRef customer = CustomerRef::require(customerId);
    DbConnection conn;
    conn.prepare();
    DataSet practice(&conn), patient(&conn), items(&conn);
    Estimate::open(practice, patient, items, customer);
    ReportProject project;
    project.setObjectName(QStringLiteral("RvProjectEstimate"));
    project.addConnection(QStringLiteral("RvDataSetConnection1"), &practice);
    project.addConnection(QStringLiteral("RvDataSetConnection2"), &patient);
    project.logCustomers(QStringLiteral("RvDataSetConnection2"));
    project.addConnection(QStringLiteral("RvDataSetConnection3"), &items);
    project.setValue(QStringLiteral("TOTAL"), Plans::priceText(Estimate::totalCents(items)));
    project.setProjectFile(AppDirectory + QDir::separator() + QStringLiteral("PROYPOLOGISMOS.RAV"));
    project.execute();
}
