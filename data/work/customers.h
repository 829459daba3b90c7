#pragma once
#include "data/work/customerid.h"
#include <QString>
#include <optional>

class DataSet;

// The customers: the searches that fill the customer list, the rows the
// customer windows read and write, and the statements of their printouts.
namespace Customers {

// A search as the customer list runs it: the whole statement, and its tail
// after the table name, which the printouts put after their own columns.
struct Search {
    QString sql;
    QString criteria;
};

Search all();
// Initials go into the statement as typed: a search takes only texts with
// none of the special characters; the window asks for at least one letter.
bool initialsAllowed(const QString &initials);
// Surnames that start with the initials (every one for none); DbError for
// initials with a special character.
Search byInitials(const QString &initials);
// Born between two typed dates, both included; nothing when either is no
// date the database can take.
std::optional<Search> byBirthDates(const QString &from, const QString &to);
// The one customer, every column.
Search one(CustomerRef customer);

// The printouts of a search's customers (or of one): their basic data, or
// the same with their histories.
enum class Printout { Data,
                      History };
QString printoutSql(Printout what, const QString &criteria);
QString printoutSql(Printout what, CustomerRef customer);

// The card: the customer's basic data. A customer no longer stored (deleted
// from another window or workstation) leaves the data set closed, so that
// typing cannot turn into a new customer, and raises DbError.
void openCard(DataSet &ds, CustomerRef customer);
// The history: every column of the customer's row; a missing one as above.
void openHistory(DataSet &ds, CustomerRef customer);
// Every column of the customer's row, as the printouts take it.
void openRow(DataSet &ds, CustomerRef customer);
// New customers are only added: none of the stored ones is fetched.
void openForEntry(DataSet &ds);

}
