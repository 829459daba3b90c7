#include "data/work/customers.h"
#include "data/practice/roles.h"
#include "data/db/dataset.h"
#include "data/db/dberror.h"
#include "data/db/helpers.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/jetsql.h"
#include "data/db/regional.h"
#include "data/work/accesslog.h"
#include "data/work/patientexport.h"
#include "data/work/settings.h"

namespace Customers {

namespace {

const QString Columns = QStringLiteral(
    "SELECT ID,ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,THLEFWNO_1,THLEFWNO_2,DIEYTHYNSH, EPAGGELMA, TAMEIO FROM STOIXEIA_PELATH");
const QString BySurname = QStringLiteral(" ORDER BY EPWNYMO ASC");
const QString WholeRow = QStringLiteral("SELECT * FROM STOIXEIA_PELATH");

// Every dated record that keeps a customer's data: visits, chart entries,
// takings and the receipts of those takings.
const QString RecordDays = QStringLiteral(
    "SELECT ID, HMEROMHNIA AS D FROM EPISKEPSEIS"
    " UNION ALL SELECT ID, HMEROMHNIA FROM ODONTOGRAMMA"
    " UNION ALL SELECT ID, HMEROMHNIA FROM EISPRAKSH_PELATH"
    " UNION ALL SELECT e.ID, a.HMEROMHNIA FROM APODEIKSEIS a INNER JOIN EISPRAKSH_PELATH e ON e.AR_APODEIKSHS = a.AR_APODEIKSHS");

QDate dayOf(const QVariant &v) { return v.isValid() ? QDate::fromString(v.toString().left(10), Qt::ISODate) : QDate(); }

Retention retentionAfter(const QDate &last, int years) { return {last, last.isValid() ? retentionEnd(last, years) : QDate()}; }

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
    if (what == Printout::History) {
        Roles::require(Roles::Duty::Clinical);
        return QStringLiteral("SELECT ID, ONOMA, EPWNYMO, FYLO, HMEROMHNIA_GENNHSEWS, THLEFWNO_1, THLEFWNO_2, "
                              "DIEYTHYNSH, EPAGGELMA, TAMEIO, ISTORIKO FROM STOIXEIA_PELATH ")
            + criteria;
    }
    return QStringLiteral("SELECT ID, ONOMA, EPWNYMO, FYLO, HMEROMHNIA_GENNHSEWS, THLEFWNO_1, THLEFWNO_2, "
                          "DIEYTHYNSH, EPAGGELMA, TAMEIO FROM STOIXEIA_PELATH ")
        + criteria;
}

QString printoutSql(Printout what, CustomerRef customer) { return printoutSql(what, oneCustomer(customer)); }

void openCard(DataSet &ds, CustomerRef customer)
{
    openRequired(ds, QStringLiteral("SELECT ID,ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,DIEYTHYNSH,THLEFWNO_1,") + QStringLiteral("THLEFWNO_2,EPAGGELMA, TAMEIO, GESY_DIKAIOUXOS, GESY_ARITHMOS FROM STOIXEIA_PELATH") + oneCustomer(customer));
    AccessLog::watch(ds, AccessLog::Action::Change, customer.value(), QStringLiteral("Καρτέλα πελάτη"));
}

void openHistory(DataSet &ds, CustomerRef customer)
{
    Roles::require(Roles::Duty::Clinical);
    openRequired(ds, WholeRow + oneCustomer(customer));
    AccessLog::watch(ds, AccessLog::Action::Change, customer.value(), QStringLiteral("Ιστορικό"));
}

void openRow(DataSet &ds, CustomerRef customer)
{
    Roles::require(Roles::Duty::Clinical);
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

QDate retentionEnd(const QDate &last, int years)
{
    const QDate end = last.addYears(years);
    return end.day() < last.day() ? end.addDays(1) : end;
}

Retention retention(DbConnection &conn, CustomerRef customer, int years)
{
    return retentionAfter(dayOf(conn.scalarNative(QStringLiteral("SELECT MAX(D) FROM (") + RecordDays + QStringLiteral(") AS R WHERE ID=?"),
                                                  {customer.value()})),
                          years);
}

QString retentionRefusal(const Retention &r, int years)
{
    return QStringLiteral("Ο πελάτης δεν μπορεί να διαγραφεί πριν από τις %1: τα ιατρικά του στοιχεία φυλάσσονται %2 χρόνια "
                          "μετά την τελευταία επίσκεψη, καταχώρηση οδοντογράμματος ή απόδειξη (%3).")
        .arg(Regional::formatDate(r.deletableFrom))
        .arg(years)
        .arg(Regional::formatDate(r.lastRecord));
}

void remove(DbConnection &conn, CustomerRef customer)
{
    Roles::require(Roles::Duty::CustomerDeletion);
    DbTransaction tx(conn);
    const QVariantList id{customer.value()};
    QString firstName, surname;
    {
        DbStatement st(conn, conn.engine().forUpdate(QStringLiteral("SELECT ONOMA, EPWNYMO FROM STOIXEIA_PELATH WHERE ID=?")));
        st.bind(1, customer.value());
        if (!st.step())
            throw DbError(QStringLiteral("Ο πελάτης δεν βρέθηκε."));
        firstName = st.columnValue(0).toString();
        surname = st.columnValue(1).toString();
    }
    const int years = Settings::retentionYears(conn);
    const Retention r = retention(conn, customer, years);
    if (!r.allowsDeletionOn(Clock::today()))
        throw DbError(retentionRefusal(r, years));

    const PatientExport::Mentions named = PatientExport::mentions(conn, firstName, surname);
    for (const auto &slot : named.booked)
        conn.executeNative(QStringLiteral("UPDATE RANTEBOU SET \"%1\"=NULL WHERE HMEROMHNIA=?").arg(slot.column), {slot.storedDay});
    for (const auto &reminder : named.reminders)
        conn.executeNative(QStringLiteral("DELETE FROM YPENTHIMISEIS WHERE rowid=?"), {reminder.rowid});
    conn.executeNative(QStringLiteral("DELETE FROM EPISKEPSEIS WHERE ID=?"), id);
    conn.executeNative(QStringLiteral("DELETE FROM ODONTOGRAMMA WHERE ID=?"), id);
    conn.executeNative(QStringLiteral("DELETE FROM SXEDIO_THERAPEIAS WHERE PELATHS=?"), id);
    if (conn.scalarNative(QStringLiteral("SELECT count(*) FROM EISPRAKSH_PELATH WHERE ID=?"), id).toLongLong() > 0)
        conn.executeNative(QStringLiteral("INSERT INTO PELATES_DIAGRAMMENOI (ID, ONOMA, EPWNYMO, HMEROMHNIA_DIAGRAFHS) VALUES (?, ?, ?, ?)"),
                           {customer.value(), firstName, surname, Clock::today()});
    conn.executeNative(QStringLiteral("DELETE FROM STOIXEIA_PELATH WHERE ID=?"), id);
    AccessLog::record(conn, AccessLog::Action::Delete, customer.value(), QStringLiteral("μετά την περίοδο διατήρησης"));
    tx.commit();
}

QList<PastRetention> pastRetention(DbConnection &conn, const QDate &day)
{
    const int years = Settings::retentionYears(conn);
    QList<PastRetention> out;
    DbStatement st(conn, QStringLiteral("SELECT P.ID, P.EPWNYMO, P.ONOMA, R.LATEST FROM STOIXEIA_PELATH P INNER JOIN"
                                        " (SELECT ID, MAX(D) AS LATEST FROM (")
                       + RecordDays + QStringLiteral(") AS A GROUP BY ID) AS R ON R.ID = P.ID ORDER BY R.LATEST, P.ID"));
    while (st.step()) {
        const Retention r = retentionAfter(dayOf(st.columnValue(3)), years);
        if (r.lastRecord.isValid() && r.allowsDeletionOn(day))
            out << PastRetention{st.columnValue(0).toLongLong(), st.columnValue(1).toString(), st.columnValue(2).toString(),
                                 r.lastRecord, r.deletableFrom};
    }
    return out;
}

}
