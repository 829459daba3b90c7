#include "data/work/customers.h"
#include "data/db/dataset.h"
#include "data/db/dberror.h"
#include "data/db/helpers.h"
#include "data/db/jetsql.h"

namespace Customers {

namespace {

const QString Columns = QStringLiteral(
    "SELECT ID,ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,THLEFWNO_1,THLEFWNO_2,DIEYTHYNSH, EPAGGELMA, TAMEIO FROM STOIXEIA_PELATH");
const QString BySurname = QStringLiteral(" ORDER BY EPWNYMO ASC");
const QString WholeRow = QStringLiteral("SELECT * FROM STOIXEIA_PELATH");

QString oneCustomer(CustomerRef customer) { return QStringLiteral(" WHERE ID=") + customer.text(); }

void openRequired(DataSet &ds, const QString &sql)
{
    ds.close();
    ds.setSql(sql);
    ds.open();
    if (!ds.isEmpty())
        return;
    ds.close();
    throw DbError(QStringLiteral("Ο πελάτης δεν βρέθηκε."));
}

}

Search all() { return {Columns + BySurname, QString()}; }

bool initialsAllowed(const QString &initials)
{
    const QString t = initials.trimmed();
    return !t.isEmpty() && HasNoSpecialChars(t);
}

Search byInitials(const QString &initials)
{
    if (!HasNoSpecialChars(initials.trimmed()))
        throw DbError(QStringLiteral("Λανθασμένα κριτήρια."));
    const QString criteria = QStringLiteral("WHERE EPWNYMO LIKE'") + initials.trimmed() + QStringLiteral("%'") + BySurname;
    return {Columns + QLatin1Char(' ') + criteria, criteria};
}

std::optional<Search> byBirthDates(const QString &from, const QString &to)
{
    QString a = from.trimmed(), b = to.trimmed();
    SqlDateLiteral(a);
    SqlDateLiteral(b);
    if (a == QLatin1String("ERROR") || b == QLatin1String("ERROR"))
        return std::nullopt;
    const QString criteria = QStringLiteral(" WHERE HMEROMHNIA_GENNHSEWS BETWEEN ") + a + QStringLiteral(" AND ") + b + BySurname;
    const Search s{Columns + criteria, criteria};
    // A date the parser takes but the database cannot (31/2) is no search.
    try {
        JetSql::translate(s.sql);
    } catch (const DbError &) {
        return std::nullopt;
    }
    return s;
}

Search one(CustomerRef customer)
{
    const QString criteria = oneCustomer(customer);
    return {WholeRow + criteria, criteria};
}

QString printoutSql(Printout what, const QString &criteria)
{
    if (what == Printout::History)
        return QStringLiteral("SELECT ID, ONOMA, EPWNYMO, FYLO, HMEROMHNIA_GENNHSEWS, THLEFWNO_1, THLEFWNO_2, "
                              "DIEYTHYNSH, EPAGGELMA, TAMEIO, ISTORIKO FROM STOIXEIA_PELATH ")
            + criteria;
    return QStringLiteral("SELECT ID, ONOMA, EPWNYMO, FYLO, HMEROMHNIA_GENNHSEWS, THLEFWNO_1, THLEFWNO_2, "
                          "DIEYTHYNSH, EPAGGELMA, TAMEIO FROM STOIXEIA_PELATH ")
        + criteria;
}

QString printoutSql(Printout what, CustomerRef customer) { return printoutSql(what, oneCustomer(customer)); }

void openCard(DataSet &ds, CustomerRef customer)
{
    openRequired(ds, QStringLiteral("SELECT ID,ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,DIEYTHYNSH,THLEFWNO_1,") + QStringLiteral("THLEFWNO_2,EPAGGELMA, TAMEIO, GESY_DIKAIOUXOS, GESY_ARITHMOS FROM STOIXEIA_PELATH") + oneCustomer(customer));
}

void openHistory(DataSet &ds, CustomerRef customer) { openRequired(ds, WholeRow + oneCustomer(customer)); }

void openRow(DataSet &ds, CustomerRef customer)
{
    ds.close();
    ds.setSql(WholeRow + oneCustomer(customer));
    ds.open();
}

void openForEntry(DataSet &ds)
{
    ds.close();
    ds.setSql(QStringLiteral("SELECT * FROM STOIXEIA_PELATH WHERE ID IS NULL"));
    ds.open();
}

}
