#pragma once
#include "data/work/customerid.h"
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

class DbConnection;

// Everything the practice holds on one customer, read in one place for the
// copy a patient may ask for: the PDF and the JSON file are made from the
// same structure. docs/patient-export.md describes the JSON file.
namespace PatientExport {

// Written into the JSON file; raised when a field changes meaning or goes.
inline constexpr int FormatVersion = 1;

enum class Kind { Text,
                  Date,     // a day
                  Moment,   // a day and a time
                  Amount,   // euros
                  Cents,    // a whole number of cents
                  Integer,
                  Flag };

struct Column {
    const char *key;       // the JSON name
    const char *heading;   // the PDF's column heading
    Kind kind;
};

// One kind of record: its rows hold one value per column, already of the
// column's kind (QString, QDate, QDateTime, double, qint64, bool; an
// invalid QVariant for none).
struct Section {
    QString key;
    QString title;
    QList<Column> columns;
    QList<QVariantList> rows;
};

struct Export {
    qint64 customerId = 0;
    QDateTime made;
    Section customer;          // one row: the card and the history
    QList<Section> sections;   // visits, chart, plan, appointments, takings, receipts, reminders
    const Section *find(const QString &key) const;
};

// Throws DbError when the customer is not stored.
Export read(DbConnection &conn, CustomerRef customer);

// The JSON document: {"format", "version", "made", "customer", and one
// array per section}.
QByteArray json(const Export &e);

// A value as the PDF prints it: dates as d/M/yyyy, amounts with two
// decimals, flags as Ναι/Όχι.
QString displayText(const QVariant &value, Kind kind);

// The files' name without extension: the customer's ID and the day.
QString baseName(CustomerRef customer, const QDate &day);

// A free text (an appointment slot, a reminder) names the customer when it
// holds the surname and, when the customer has one, the first name as
// whole words, whatever the case and accents.
bool names(const QString &text, const QString &firstName, const QString &surname);

// Where the appointment book and the reminders name a customer.
struct Mentions {
    struct Slot {
        QDate day;
        QVariant storedDay;   // the row's key as stored
        QString column;       // the slot's column in RANTEBOU
        QString text;
    };
    struct Reminder {
        qint64 rowid = 0;
        QDateTime when;
        QString text;
    };
    QList<Slot> booked;
    QList<Reminder> reminders;
};
Mentions mentions(DbConnection &conn, const QString &firstName, const QString &surname);

}
