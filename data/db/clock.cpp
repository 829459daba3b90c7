#include "data/db/clock.h"

#include <cstdio>
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
    // Written out by hand: QDateTime's formatting reads its pattern again at
    // every call, several times the cost of the rest.
    const qint64 local = msecs + offsetMs;
    const qint64 days = local / 86400000 - (local % 86400000 < 0 ? 1 : 0);
    const qint64 ms = local - days * 86400000;
    int year = 0, month = 0, day = 0;
    QDate::fromJulianDay(days + 2440588).getDate(&year, &month, &day);
    char text[32];
    if (year < 0 || year > 9999) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, int(ms / 3600000),
                      int(ms / 60000 % 60), int(ms / 1000 % 60));
        return QString::fromLatin1(text);
    }
    // Digit by digit: snprintf's own work is most of a stamp's cost.
    const auto put = [&text](int at, int value, int digits) {
        for (int i = at + digits - 1; i >= at; --i, value /= 10)
            text[i] = char('0' + value % 10);
    };
    put(0, year, 4);
    text[4] = '-';
    put(5, month, 2);
    text[7] = '-';
    put(8, day, 2);
    text[10] = ' ';
    put(11, int(ms / 3600000), 2);
    text[13] = ':';
    put(14, int(ms / 60000 % 60), 2);
    text[16] = ':';
    put(17, int(ms / 1000 % 60), 2);
    return QString::fromLatin1(text, 19);
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
