#pragma once
#include <QString>
#include <cstdint>

// Program-wide state, set at start-up and read by the windows.
extern QString AppDirectory;          // current directory at start, no trailing separator
extern QString DbConnectionString;    // built once at start-up
extern bool AccessGranted;
extern QString EnteredPassword;
extern bool NumberingFixed;           // LAST_APODEIKSH holds a row
extern std::uint16_t StartDay, StartMonth, StartYear;

// The fixed database password; it is the SQLCipher key of data.mdb.
inline constexpr const char *DatabasePassword = "QT40718ZKM";

// The connection string in its documented form for a practice folder,
// with the platform's path separator.
QString BuildConnectionString(const QString &appDirectory);
