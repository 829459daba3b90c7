#pragma once
#include "data/work/chart.h"
#include "data/work/customerid.h"
#include <QHash>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class DataSet;
class DbConnection;

// The treatment chain: the practice's price list of work and each
// customer's plan of items taken from it. Prices are whole euro cents, so
// sums are exact; they are typed and shown by the receipts' amount rules.
namespace Plans {

// A typed price: the amount rules of the receipts, zero or more, at most
// the largest receipt amount. cents is empty when refused, with the reason.
struct PriceReading {
    std::optional<qint64> cents;
    QString refusal;
};
PriceReading readPrice(const QString &text);
// "12,50"
QString priceText(qint64 cents);

// One work of the price list.
struct Work {
    qint64 id = 0;
    QString code, description;
    qint64 cents = 0;
    bool active = true;
};
// Every work (or the active ones), by code.
QList<Work> priceList(DbConnection &conn, bool activeOnly = false);
std::optional<Work> work(DbConnection &conn, qint64 id);
// A code of its own, a price of zero or more, or DbError. Returns the ID.
qint64 addWork(DbConnection &conn, const Work &w);
void changeWork(DbConnection &conn, const Work &w);
bool workInUse(DbConnection &conn, qint64 id);
// A work no plan item uses is deleted; one in use is made inactive and
// kept, so the plans that name it still read. True when deleted.
bool removeWork(DbConnection &conn, qint64 id);
// The list for the window's grid and its printout (the active works
// only, when asked): ID, KWDIKOS, PERIGRAFH, TIMH (as "12,50"),
// TIMH_LEPTA, ENERGH and ENERGH_KEIMENO («Ναι» or «Όχι»), by code.
void openPriceList(DataSet &ds, bool activeOnly = false);

enum class State { Planned,
                   Done,
                   Cancelled };
// Stored as 'P', 'D', 'C'.
QString stateCode(State s);
QString stateText(State s);   // Greek, for the window

// One item of a customer's plan.
struct Item {
    qint64 id = 0;
    qint64 customer = 0;
    qint64 work = 0;
    QString code, description;   // the work's, read with the item
    int tooth = 0;               // FDI; 0 for none
    QString surfaces;            // as the tooth chart stores them
    qint64 cents = 0;
    State state = State::Planned;
    QDate done;   // the day it was done
    QString note;
    qint64 receipt = 0;   // the receipt it was billed on; 0 when not billed
    QDate entered;        // the day it was put in the plan
    bool billable() const { return state == State::Done && receipt == 0; }
};
// The customer's items in the order they were entered.
QList<Item> items(DbConnection &conn, CustomerRef customer);
// The statement items() reads them with; its one parameter is the customer.
QString itemsSql();
// A new planned item: a work of the list, a tooth (FDI) or none, its price
// (the list's when cents is below zero). Returns the ID; DbError otherwise.
qint64 addItem(DbConnection &conn, CustomerRef customer, const Item &item);
// Work, tooth, surfaces, price and note of an item not billed yet.
void changeItem(DbConnection &conn, const Item &item);
// Planned, done on a day (today when invalid) or cancelled. Done adds the
// work's entry to the tooth's chart history on that day, in the same unit;
// undoing it takes that entry away again. A billed item keeps its state.
void setState(DbConnection &conn, qint64 id, State state, const QDate &day = QDate());
// The tooth chart's condition a work leaves, from its description; empty
// for work that leaves none (an examination, a cleaning).
QString chartCondition(const QString &description);

// Marks on the chart's states the work planned on day (now, when day is
// invalid): items entered by then and neither done by then nor cancelled.
// A tooth's planned surfaces are those of all its items, all five when one
// is for the whole tooth; items with no tooth are not drawn.
void markPlanned(QHash<int, Chart::ToothState> &states, const QList<Item> &items, const QDate &day);

struct Totals {
    qint64 planned = 0, done = 0, billed = 0, outstanding = 0;
    bool operator==(const Totals &) const = default;
};
// Planned: items still planned; done: items done, billed or not; billed:
// done items on a receipt; outstanding: done and not billed yet.
Totals totals(const QList<Item> &items);

// A receipt's description for the items billed on it, and their sum.
QString billDescription(const QList<Item> &items);
qint64 sum(const QList<Item> &items);

}
