#pragma once
#include <QDate>

class DataSet;
class DbConnection;

// The reminders (YPENTHIMISEIS): a dated text each.
namespace Reminders {

// Every reminder, editable in place, newest first.
void openList(DataSet &table);
// How many reminders fall on a day, whatever their time.
int countOn(DbConnection &conn, const QDate &day);
// Sets (without opening) the statement of a day's reminders.
void selectDay(DataSet &viewer, const QDate &day);

}   // namespace Reminders
