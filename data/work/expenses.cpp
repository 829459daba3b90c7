#include "data/work/expenses.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"

namespace {
void openStatement(DataSet &set, const QString &jet)
{
    set.close();
    set.setSql(jet);
    set.open();
}

QString years(int fromYear, int toYear)
{
    return QString::number(fromYear) + QStringLiteral(" AND ") + QString::number(toYear);
}
}   // namespace

namespace Expenses {

void openRegister(DataSet &table)
{
    table.setTableName(QStringLiteral("EKSODA"));
    table.close();
    table.open();
    table.setSort(QStringLiteral("HMEROMHNIA DESC"));
    table.first();
}

void listBetween(DataSet &list, const QDate &from, const QDate &to)
{
    openStatement(list, QStringLiteral("SELECT Format(EKSODA.HMEROMHNIA,\"dd/mm/yyyy\") AS HMEROMHNIA, "
                                       "Format(EKSODA.POSO,'0.00') AS AKSIA, Format(EKSODA.VAT,'0.00') AS VAT")
                      + QStringLiteral(", Format((EKSODA.POSO+EKSODA.VAT),'0.00') AS SYNOLO, EKSODA.PERIGRAFH "
                                       "FROM EKSODA WHERE EKSODA.HMEROMHNIA Between ")
                      + SqlDateLiteral(from) + QStringLiteral(" AND ") + SqlDateLiteral(to) + QStringLiteral(" ORDER BY EKSODA.HMEROMHNIA ASC"));
}

void totalsBetween(DataSet &totals, const QDate &from, const QDate &to)
{
    openStatement(totals, QStringLiteral("SELECT Format(SUM(EKSODA.POSO),'0.00') AS AKSIA, "
                                         "Format(SUM(EKSODA.VAT),'0.00') AS VAT")
                      + QStringLiteral(", Format(SUM((EKSODA.POSO+EKSODA.VAT)),'0.00') AS SYNOLO "
                                       "FROM EKSODA WHERE EKSODA.HMEROMHNIA Between ")
                      + SqlDateLiteral(from) + QStringLiteral(" AND ") + SqlDateLiteral(to));
}

QString monthsStatement(int fromYear, int toYear)
{
    return QStringLiteral("SELECT MONTH(EKSODA.HMEROMHNIA) AS [MONTH], YEAR(EKSODA.HMEROMHNIA) AS [YEAR], "
                          "Format(SUM(EKSODA.POSO),'0.00') AS AKSIA,Format(SUM(EKSODA.VAT),'0.00') AS VAT, "
                          "Format(SUM(EKSODA.POSO+EKSODA.VAT),'0.00') AS SYNOLO FROM EKSODA "
                          "WHERE YEAR(EKSODA.HMEROMHNIA) BETWEEN ")
        + years(fromYear, toYear)
        + QStringLiteral(" GROUP BY MONTH(EKSODA.HMEROMHNIA), YEAR(EKSODA.HMEROMHNIA)  "
                         "ORDER BY YEAR(EKSODA.HMEROMHNIA), MONTH(EKSODA.HMEROMHNIA) ASC");
}

void byMonth(DataSet &months, int fromYear, int toYear)
{
    openStatement(months, monthsStatement(fromYear, toYear));
}

void totalsOfYears(DataSet &totals, int fromYear, int toYear)
{
    openStatement(totals, QStringLiteral("SELECT Format(SUM(EKSODA.POSO),'0.00') AS AKSIA,Format(SUM(EKSODA.VAT),'0.00') AS VAT, "
                                         "Format(SUM(EKSODA.POSO+EKSODA.VAT),'0.00') AS SYNOLO FROM EKSODA "
                                         "WHERE YEAR(EKSODA.HMEROMHNIA) BETWEEN ")
                      + years(fromYear, toYear));
}

}   // namespace Expenses
