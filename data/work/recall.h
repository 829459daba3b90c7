#pragma once
#include <QDate>
#include <QString>

class DataSet;

// The recall list: the customers whose last visit is older than a number of
// months before today, the longest overdue first, with their phones and
// the whole months since that visit.
namespace Recall {

// Overdue: the last visit falls before the same day that many months back
// (a shorter month ends on its last day). Whole months: the calendar months
// between the two dates, one less when the day of the month has not come
// round again.
QString listSql(int months, const QDate &today);
void open(DataSet &ds, int months, const QDate &today);
// The practice details, for the printout.
void openPrintout(DataSet &practice);

}
