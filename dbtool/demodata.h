#pragma once
#include <QDate>

class DbConnection;

// Sample practice for demonstrations, screenshots and benchmarks: Greek
// customers of a Nicosia dental practice with visits and their tooth charts,
// receipts, expenses, appointments, the small office tools and the price list.
namespace DemoData {

struct Options {
    int customers = 300;
    QDate today;               // invalid: the program's clock
    quint32 seed = 20080325;   // same seed, same practice
};

struct Summary {
    int customers = 0;
    int visits = 0;
    int receipts = 0;
    int cancelled = 0;
    int nextReceipt = 0;
    int expenses = 0;
    int appointmentDays = 0;
    int appointments = 0;
    int reminders = 0;
    int notes = 0;
    int phones = 0;
    int chartEntries = 0;
    int works = 0;   // the price list
};

// Fills a freshly created, empty database in one transaction; on failure
// nothing is kept and the DbError is passed on.
Summary fill(DbConnection &conn, const Options &options);

}
