#include "data/work/appointments.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/work/accesslog.h"
#include <algorithm>

namespace Appointments {

bool slotIsFilled(const QString &value)
{
    for (QChar c : value)
        if (c.unicode() > 0x20)
            return true;
    return false;
}

void makeDay(DbConnection &conn, const QDate &day)
{
    try {
        conn.execute(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA) VALUES(") + SqlDateLiteral(day)
                     + QStringLiteral(")"));
    } catch (const DbError &) {
    } catch (const std::exception &) {
    }
}

void openDay(DataSet &sheet, const QDate &day)
{
    sheet.close();
    sheet.setSql(QString());
    sheet.setSql(QStringLiteral("SELECT * FROM RANTEBOU WHERE HMEROMHNIA=") + SqlDateLiteral(day));
    sheet.open();
    // The slots name customers in free text, so the entry names the day.
    AccessLog::watch(sheet, AccessLog::Action::Change, 0, QStringLiteral("Ραντεβού ") + day.toString(QStringLiteral("dd/MM/yyyy")));
}

MonthCounts countMonth(DbConnection &conn, int year, int month)
{
    // One statement for the whole month; each row's count is made as for
    // a single day: the non-blank values among the row's first 29 columns,
    // less one for the date.
    const QDate first(year, month, 1);
    DataSet q(&conn);
    q.setSql(QStringLiteral("SELECT * FROM RANTEBOU WHERE HMEROMHNIA BETWEEN ") + SqlDateLiteral(first)
             + QStringLiteral(" AND ") + SqlDateLiteral(first.addDays(first.daysInMonth() - 1)));
    q.open();

    MonthCounts counts{};
    const int dateColumn = q.fieldIndex(QStringLiteral("HMEROMHNIA"));
    const int columns = std::min(q.fieldCount(), 29);
    for (int row = 0; row < q.recordCount(); ++row) {
        // A stored time would keep the row from matching its day's date.
        const QVariant stamp = q.value(row, dateColumn);
        if (stamp.typeId() != QMetaType::QDate)
            continue;
        const QDate date = stamp.toDate();
        if (date.year() != year || date.month() != month)
            continue;
        int n = -1;
        for (int c = 0; c < columns; ++c)
            if (slotIsFilled(q.displayText(row, c)))
                ++n;
        counts[size_t(date.day())] = std::max(n, 0);
    }
    return counts;
}

}   // namespace Appointments
