#pragma once
#include <QString>
#include <cstdint>

// Program-wide state, set at start-up and read by the windows.
extern QString AppDirectory;         // current directory at start, no trailing separator
extern QString DbConnectionString;   // built once at start-up
extern bool AccessGranted;
extern QString EnteredPassword;
extern bool NumberingFixed;   // LAST_APODEIKSH holds a row
extern std::uint16_t StartDay, StartMonth, StartYear;

// The connection string in its documented form for a practice folder,
// with the platform's path separator. Its database password is left empty:
// connections open with the key the access check derived from the typed
// password.
QString BuildConnectionString(const QString &appDirectory);
