#pragma once
#include <QString>

// Writes to the practice file held back while its start-up check runs in
// the background: a write waits until the check has passed, and a file the
// check found damaged takes no write at all. Reading is never held back.
// Every statement that changes a file asks admit() first (DbStatement does).
namespace WriteGate {

enum class State {
    Open,      // writes go ahead
    Held,      // the check runs: writes wait
    Refused,   // the check found damage: writes are refused
};

// From now on writes to file wait (one file at a time is held).
void hold(const QString &file);
// The check passed, or a verified copy was put in place: writes go ahead.
void open(const QString &file);
// The check found damage: every write to file is refused with reason until
// open() is called.
void refuse(const QString &file, const QString &reason);

State state(const QString &file);

// Before a write to file: returns at once when file is open; while it is
// held, waits (calling onWait once, when given) until the check ends, then
// goes ahead or throws DbError with the reason. A wait longer than
// waitLimitMs() is given up with a DbError too: nothing is written.
void admit(const QString &file, void (*onWait)() = nullptr);

int waitLimitMs();
void setWaitLimitMs(int ms);   // tests shorten it

}
