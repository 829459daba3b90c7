#include "data/appstate.h"
#include <QDir>

QString AppDirectory;
QString DbConnectionString;
bool AccessGranted = false;
QString EnteredPassword;
bool NumberingFixed = false;
std::uint16_t StartDay = 0, StartMonth = 0, StartYear = 0;

QString BuildConnectionString(const QString &appDirectory)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=")
        + QDir::toNativeSeparators(appDirectory)
        + QDir::toNativeSeparators(QStringLiteral("/data.mdb"))
        + QStringLiteral(";Persist Security Info=True;Jet OLEDB:Database Password=")
        + QLatin1String(DatabasePassword);
}
