#pragma once
#include "data/work/customerid.h"
#include <QDate>
#include <QList>
#include <QString>
#include <optional>

class DataSet;
class DbConnection;

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

// Medical records are kept for the practice's retention period (in years)
// after the customer's last visit, chart entry or receipt; until then the
// customer cannot be deleted. lastRecord is invalid for a customer with
// none of them, who may be deleted at once.
struct Retention {
    QDate lastRecord;
    QDate deletableFrom;   // the first day deletion is allowed
    bool allowsDeletionOn(const QDate &day) const { return !deletableFrom.isValid() || day >= deletableFrom; }
};
// The years added to a day; from 29 February to a year without one the
// period ends on 1 March, never a day early.
QDate retentionEnd(const QDate &last, int years);
Retention retention(DbConnection &conn, CustomerRef customer, int years);
// Why deleting is refused until the retention period ends, naming the day.
QString retentionRefusal(const Retention &r, int years);

// Deletes a customer whose retention period has ended (refused with
// retentionRefusal as DbError before it): their history, visits, tooth
// chart, treatment plan, the appointment slots and reminders naming them,
// and their card. Their receipts and takings stay, as tax records, and
// their name is kept beside the takings. One unit of work.
void remove(DbConnection &conn, CustomerRef customer);

// Stored customers whose records are past the retention period on day
// (those with no records left out), oldest first.
struct PastRetention {
    qint64 id = 0;
    QString surname, firstName;
    QDate lastRecord, deletableFrom;
};
QList<PastRetention> pastRetention(DbConnection &conn, const QDate &day);

}
