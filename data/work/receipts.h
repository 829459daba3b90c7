#pragma once
#include "data/work/customerid.h"
#include <QDate>
#include <QList>
#include <QString>

class DataSet;
class DbConnection;

// Receipts and the customers' takings: each receipt issued records one
// taking of one customer under the next number of the counter; cancelling
// a receipt deletes its taking and keeps the receipt, marked invalid.
namespace Receipts {

// Cyprus pounds per euro, the fixed conversion rate.
inline constexpr double PoundsPerEuro = 0.585274;

// The amount in Cyprus pounds stored beside an amount in euros.
double pounds(double euros);

// Only an amount above zero and at most Regional::MaxAmount is issued.
bool acceptableAmount(double euros);

// An amount as statement text: a point, at most 15 significant digits,
// no exponent, no trailing zeros (12.5, 7.315925, 29.2637).
QString statementNumber(double value);

// One receipt to issue.
struct Issue {
    qint64 number = 0;   // the counter's value when the receipt was offered
    CustomerRef customer;
    double amount = 0;   // euros
    QString firstName, surname;
    QString receiver;   // the name printed as the payer (PARALHPTHS)
    QString description, fund;
    // Done items of the customer's treatment plan paid by this receipt;
    // each is linked to it, once only.
    QList<qint64> planItems;
};

// Stores the taking, the receipt and the counter's step as one unit of
// work: all three or none (DbError). The counter is read under its lock;
// a number issued meanwhile by another copy of the program, or an amount
// that is not acceptable, is refused. Plan items are linked to the receipt
// in the same unit; an item billed meanwhile, or not done, refuses it all.
void issue(DbConnection &conn, const Issue &receipt);

// Deletes the receipt's taking and marks the receipt invalid, both or
// neither; the plan items it billed can be billed again.
void cancel(DbConnection &conn, qint64 number);

// Every receipt ever issued, valid and cancelled, by date.
void openIssued(DataSet &receipts);

// One customer's takings, oldest first.
void openTakings(DataSet &takings, CustomerRef customer);
// Their count (SYNOLO) and totals in euros (EISPRAKSH) and pounds
// (EISPRAKSHCY); with no takings the totals are empty.
void openTakingTotals(DataSet &totals, CustomerRef customer);

// The totals (POSO, POSO_CY) of the valid receipts issued from one day to
// another, both included; empty when there are none.
void openTotalBetween(DataSet &totals, const QDate &from, const QDate &to);

// Sets the statement of the receipt numbered `number` and leaves it closed:
// the report opens it when it prints. PELATHS names the customer whose
// takings it records; for a cancelled one, the customer the access log's
// entry of its cancelling names.
void setPrintout(DataSet &receipt, qint64 number);

}
