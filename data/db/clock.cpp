#include "data/db/clock.h"

#include <limits>

namespace {
QDateTime g_fixed;
const char *const StampFormat = "yyyy-MM-dd HH:mm:ss";
}

namespace Clock {
QDateTime now() { return g_fixed.isValid() ? g_fixed : QDateTime::currentDateTime(); }
QDate today() { return now().date(); }
QString stampAt(qint64 msecs)
{
    // A zone changes its offset only at the start of a minute.
    thread_local qint64 minute = std::numeric_limits<qint64>::min();
    thread_local qint64 offsetMs = 0;
    const qint64 start = msecs - (msecs % 60000 + 60000) % 60000;
    if (start != minute) {
        minute = start;
        offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(start, Qt::LocalTime).offsetFromUtc()) * 1000;
    }
    return QDateTime::fromMSecsSinceEpoch(msecs + offsetMs, Qt::UTC).toString(QLatin1String(StampFormat));
}

QString stamp()
{
    if (g_fixed.isValid())
        return g_fixed.toString(QLatin1String(StampFormat));
    return stampAt(QDateTime::currentMSecsSinceEpoch());
}

void setNow(const QDateTime &fixed) { g_fixed = fixed; }
void reset() { g_fixed = QDateTime(); }
}
