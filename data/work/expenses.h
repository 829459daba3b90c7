#pragma once
#include <QDate>
#include <QString>

class DataSet;

// The practice's running expenses (EKSODA): the register and the two
// reports. Amounts come as text with two decimals; an expense without VAT
// counts in the net total only.
namespace Expenses {

// The register: every expense, editable in place, newest first.
void openRegister(DataSet &table);

// The expenses of a range of days, both ends included, oldest first:
// HMEROMHNIA (dd/mm/yyyy), AKSIA, VAT, SYNOLO (AKSIA + VAT), PERIGRAFH.
void listBetween(DataSet &list, const QDate &from, const QDate &to);
// Their totals in one row: AKSIA, VAT, SYNOLO; empty texts without expenses.
void totalsBetween(DataSet &totals, const QDate &from, const QDate &to);

// The months of a range of years that have expenses, in order, each
// totalled: MONTH, YEAR, AKSIA, VAT, SYNOLO.
QString monthsStatement(int fromYear, int toYear);
void byMonth(DataSet &months, int fromYear, int toYear);
// The totals of the whole range of years, as totalsBetween().
void totalsOfYears(DataSet &totals, int fromYear, int toYear);

}   // namespace Expenses
