#include "data/work/gesy.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/regional.h"

namespace Gesy {

namespace {

QString jetDate(const QDate &d) { return QStringLiteral("#%1/%2/%3#").arg(d.month()).arg(d.day()).arg(d.year()); }

// The last free visit of each customer.
const QString LastFreeVisit = QStringLiteral(
    "(SELECT ID, MAX(HMEROMHNIA) AS TELEYTAIA FROM EPISKEPSEIS WHERE GESY_PROLHPSH IS NOT NULL GROUP BY ID)");

QString yearRange(int year)
{
    return QStringLiteral("HMEROMHNIA BETWEEN %1 AND %2").arg(jetDate(QDate(year, 1, 1)), jetDate(QDate(year, 12, 31)));
}

}

QString code(Kind kind)
{
    switch (kind) {
    case Kind::Check:
        return QStringLiteral("Έλεγχος");
    case Kind::Cleaning:
        return QStringLiteral("Καθαρισμός");
    case Kind::None:
        break;
    }
    return {};
}

Kind kindOf(const QString &text)
{
    for (Kind k : {Kind::Check, Kind::Cleaning})
        if (text == code(k))
            return k;
    return Kind::None;
}

QDate nextEligible(const QDate &last) { return last.addMonths(12); }

// Twelve months back may land on a day whose next eligible day is still
// today (a last visit on 29 February is due on 28 February), so the last
// such day is sought forward from there.
QDate lastDueVisit(const QDate &today)
{
    QDate d = today.addMonths(-12);
    while (nextEligible(d.addDays(1)) <= today)
        d = d.addDays(1);
    return d;
}

QString dueSql(const QDate &today)
{
    return QStringLiteral(
               "SELECT P.ID AS ID, P.EPWNYMO AS EPWNYMO, P.ONOMA AS ONOMA, P.THLEFWNO_1 AS THLEFWNO_1,"
               " P.THLEFWNO_2 AS THLEFWNO_2, P.GESY_ARITHMOS AS GESY_ARITHMOS,"
               " Format(V.TELEYTAIA,'d/m/yyyy') AS TELEYTAIA_EPISKEPSH"
               " FROM STOIXEIA_PELATH AS P LEFT JOIN %1 AS V ON V.ID = P.ID"
               " WHERE P.GESY_DIKAIOUXOS <> 0 AND (V.TELEYTAIA IS NULL OR V.TELEYTAIA <= %2)"
               " ORDER BY P.EPWNYMO, P.ONOMA, P.ID")
        .arg(LastFreeVisit, jetDate(lastDueVisit(today)));
}

void openDue(DataSet &ds, const QDate &today)
{
    ds.close();
    ds.setSql(dueSql(today));
    ds.open();
}

QString monthlySql(int year)
{
    return QStringLiteral(
               "SELECT MONTH(HMEROMHNIA) AS MHNAS, COUNT(NULLIF(GESY_PROLHPSH,'%1')) AS ELEGXOI,"
               " COUNT(NULLIF(GESY_PROLHPSH,'%2')) AS KATHARISMOI, COUNT(*) AS SYNOLO"
               " FROM EPISKEPSEIS WHERE GESY_PROLHPSH IS NOT NULL AND %3"
               " GROUP BY MONTH(HMEROMHNIA) ORDER BY MONTH(HMEROMHNIA)")
        .arg(code(Kind::Cleaning), code(Kind::Check), yearRange(year));
}

QString visitsOfYearSql(int year)
{
    return QStringLiteral(
               "SELECT V.HMEROMHNIA AS HMEROMHNIA, P.EPWNYMO AS EPWNYMO, P.ONOMA AS ONOMA,"
               " P.GESY_ARITHMOS AS GESY_ARITHMOS, V.GESY_PROLHPSH AS GESY_PROLHPSH, P.ID AS ID"
               " FROM EPISKEPSEIS AS V INNER JOIN STOIXEIA_PELATH AS P ON P.ID = V.ID"
               " WHERE V.GESY_PROLHPSH IS NOT NULL AND V.%1"
               " ORDER BY V.HMEROMHNIA, P.EPWNYMO, P.ONOMA, P.ID")
        .arg(yearRange(year));
}

void openMonthly(DataSet &months, DataSet &visits, int year)
{
    months.close();
    months.setSql(monthlySql(year));
    months.open();
    visits.close();
    visits.setSql(visitsOfYearSql(year));
    visits.open();
}

QString beneficiaryProblem(bool beneficiary, const QString &number)
{
    if (beneficiary && number.trimmed().isEmpty())
        return QStringLiteral("Γράψτε τον αριθμό δικαιούχου ΓεΣΥ του πελάτη.");
    return {};
}

QString visitProblem(DbConnection &conn, CustomerRef customer, Kind kind, const QDate &day)
{
    if (kind == Kind::None)
        return {};
    if (conn.scalarNative(QStringLiteral("SELECT GESY_DIKAIOUXOS FROM STOIXEIA_PELATH WHERE ID=?"), {customer.value()}).toInt() == 0)
        return QStringLiteral("Ο πελάτης δεν είναι δικαιούχος ΓεΣΥ· σημειώστε τον στα στοιχεία του πρώτα.");
    if (!day.isValid())
        return {};
    // Any free visit within twelve months either side: one a year.
    const QVariant last = conn.scalarNative(
        QStringLiteral("SELECT MAX(HMEROMHNIA) FROM EPISKEPSEIS WHERE ID=? AND GESY_PROLHPSH IS NOT NULL AND HMEROMHNIA <= ?"),
        {customer.value(), day.toString(Qt::ISODate)});
    const QDate lastDay = QDate::fromString(last.toString().left(10), Qt::ISODate);
    if (lastDay.isValid() && nextEligible(lastDay) > day)
        return QStringLiteral("Η τελευταία δωρεάν προληπτική επίσκεψη ΓεΣΥ του πελάτη ήταν στις %1· "
                              "η επόμενη δικαιούται από τις %2.")
            .arg(Regional::formatDate(lastDay), Regional::formatDate(nextEligible(lastDay)));
    const QVariant next = conn.scalarNative(
        QStringLiteral("SELECT MIN(HMEROMHNIA) FROM EPISKEPSEIS WHERE ID=? AND GESY_PROLHPSH IS NOT NULL AND HMEROMHNIA > ?"),
        {customer.value(), day.toString(Qt::ISODate)});
    const QDate nextDay = QDate::fromString(next.toString().left(10), Qt::ISODate);
    if (nextDay.isValid() && nextEligible(day) > nextDay)
        return QStringLiteral("Ο πελάτης έχει ήδη δωρεάν προληπτική επίσκεψη ΓεΣΥ στις %1, λιγότερο από 12 μήνες μετά.")
            .arg(Regional::formatDate(nextDay));
    return {};
}

}
