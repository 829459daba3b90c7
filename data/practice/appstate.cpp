#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/practice/serverconf.h"
#include <QDir>

bool AccessGranted = false;
bool NumberingFixed = false;
std::uint16_t StartDay = 0, StartMonth = 0, StartYear = 0;

QString BuildConnectionString(const QString &appDirectory)
{
    // A folder with server.conf keeps its data on that server. A broken
    // server.conf gives a connection string that names the fault when opened.
    if (ServerConf::exists(appDirectory)) {
        try {
            return ServerConf::connectionString(ServerConf::read(appDirectory));
        } catch (const DbError &e) {
            return QStringLiteral("Server Error=") + QuoteConnectionValue(e.message());
        }
    }
    // The path in double quotes, its own quotes doubled (the OLE DB rules),
    // so that a folder name with ';' or '=' cannot cut the string. No
    // password: every connection opens with the signed-in session's key.
    const QString path = QDir::toNativeSeparators(appDirectory) + QDir::toNativeSeparators(QStringLiteral("/data.mdb"));
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=") + QuoteConnectionValue(path)
        + QStringLiteral(";Persist Security Info=True;Jet OLEDB:Database Password=");
}
