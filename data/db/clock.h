#pragma once
#include <QDate>
#include <QDateTime>

// The program reads the current date and time only through here, so tests
// can set "today".
namespace Clock {
QDateTime now();
QDate today();
// Now as "yyyy-MM-dd HH:mm:ss" local time, for stamps made often (the
// access log): the zone's offset is looked up once a minute, not at every
// stamp, since each look-up reads the system's zone file again.
QString stamp();
// The same for an instant, in milliseconds since the epoch.
QString stampAt(qint64 msecs);
void setNow(const QDateTime &fixed);   // tests: freeze the clock
void reset();                          // back to the real clock
}
