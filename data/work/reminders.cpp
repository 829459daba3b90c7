#include "data/work/reminders.h"
#include "data/db/dataset.h"

namespace {
QString onDay(const QDate &day)
{
    return QStringLiteral("DAY(HMEROMHNIA)=%1 AND MONTH(HMEROMHNIA)=%2 AND YEAR(HMEROMHNIA)=%3")
        .arg(day.day())
        .arg(day.month())
        .arg(day.year());
}
}   // namespace

namespace Reminders {

void openList(DataSet &table)
{
    table.setTableName(QStringLiteral("YPENTHIMISEIS"));
    table.close();
    table.open();
    table.setSort(QStringLiteral("HMEROMHNIA DESC"));
    table.first();
}

int countOn(DbConnection &conn, const QDate &day)
{
    DataSet q(&conn);
    q.setSql(QStringLiteral("SELECT HMEROMHNIA from YPENTHIMISEIS WHERE ") + onDay(day));
    q.open();
    return q.recordCount();
}

void selectDay(DataSet &viewer, const QDate &day)
{
    viewer.close();
    viewer.setSql(QStringLiteral("SELECT * from YPENTHIMISEIS WHERE ") + onDay(day));
}

}   // namespace Reminders
