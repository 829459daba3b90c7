#pragma once
#include <QDate>
#include <QString>
#include <array>

class DataSet;
class DbConnection;

// The appointment book (RANTEBOU): one row a day, its date and its 28
// half-hour slots.
namespace Appointments {

// True when a slot value holds something besides blanks and control characters.
bool slotIsFilled(const QString &value);

// Makes the day's row the first time the day is opened. A day that has its
// row already keeps it untouched: the refused insert is expected and dropped.
void makeDay(DbConnection &conn, const QDate &day);
// The day's row, for editing in place.
void openDay(DataSet &sheet, const QDate &day);

// The booked slots of each day of a month, by day of the month (index 0
// unused); 0 for a day without a row.
using MonthCounts = std::array<int, 32>;
MonthCounts countMonth(DbConnection &conn, int year, int month);

}   // namespace Appointments
