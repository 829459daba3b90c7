#pragma once
#include "data/practice/session.h"
#include <QString>
#include <cstdint>

// Program-wide state, set at start-up and read by the windows. The practice
// folder and connection string are the session's (AppDirectory,
// DbConnectionString); no password or key is kept here.
extern bool AccessGranted;
extern bool NumberingFixed;   // LAST_APODEIKSH holds a row
extern std::uint16_t StartDay, StartMonth, StartYear;

// The connection string in its documented form for a practice folder,
// with the platform's path separator. Its database password is left empty:
// connections open through the signed-in session.
QString BuildConnectionString(const QString &appDirectory);
