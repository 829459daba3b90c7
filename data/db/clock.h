#pragma once
#include <QDate>
#include <QDateTime>

// The program reads the current date and time only through here, so tests
// can set "today".
namespace Clock {
QDateTime now();
QDate today();
void setNow(const QDateTime &fixed);   // tests: freeze the clock
void reset();                          // back to the real clock
}
