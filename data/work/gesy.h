#pragma once
#include "data/work/customerid.h"
#include <QDate>
#include <QString>

class DataSet;
class DbConnection;

// GESY prevention: beneficiaries of the national health system have one
// free preventive check or cleaning every twelve months, recorded as a
// visit of its kind with no receipt and no amount.
namespace Gesy {

// What EPISKEPSEIS.GESY_PROLHPSH holds: NULL for an ordinary visit.
enum class Kind { None,
                  Check,
                  Cleaning };
QString code(Kind kind);   // empty for None
Kind kindOf(const QString &code);

// The day the next free visit is due: twelve calendar months after the
// last one; from a day the month lacks (29 February) it is the month's
// last day (28 February).
QDate nextEligible(const QDate &last);
// The latest day of a last visit that makes a beneficiary due on today.
QDate lastDueVisit(const QDate &today);

// The beneficiaries whose free visit is due on today (those who never had
// one too), by surname, with their phones, their number and the day of
// their last free visit (TELEYTAIA_EPISKEPSH, empty for none).
QString dueSql(const QDate &today);
void openDue(DataSet &ds, const QDate &today);

// The free visits of a year: per month (MHNAS, ELEGXOI, KATHARISMOI,
// SYNOLO) and one by one (date, customer, number, kind), for checking
// against the insurer's portal.
QString monthlySql(int year);
QString visitsOfYearSql(int year);
void openMonthly(DataSet &months, DataSet &visits, int year);

// Why a customer's GESY details cannot be stored (a beneficiary without
// a number); empty when they can.
QString beneficiaryProblem(bool beneficiary, const QString &number);

// Why a visit of this kind on this day cannot be stored for the customer
// (not a beneficiary; the last free visit too recent); empty when it can.
QString visitProblem(DbConnection &conn, CustomerRef customer, Kind kind, const QDate &day);

}
