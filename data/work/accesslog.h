#pragma once
#include <QDate>
#include <QList>
#include <QString>

class DataSet;
class DbConnection;

// The access log (HMEROLOGIO_PROSVASEWN): who opened, printed or changed
// what, from which workstation and when. Entries are only ever appended,
// each chained to the one before it by a SHA-256 hash, so an entry edited,
// removed or moved by another tool breaks the chain at its position.
//
// The hash of entry n (lower-case hex in HASH) is SHA-256 over:
//   the 32 bytes of entry n-1's hash (32 zero bytes for the first entry),
//   then for each of AA, XRONOS, XRHSTHS, STATHMOS, ENERGEIA, PELATHS,
//   LEPTOMEREIES in this order: its UTF-8 bytes' count as 4 bytes, most
//   significant first, then the bytes. AA (the position, 1 for the first
//   entry) and PELATHS are written in decimal digits; a NULL PELATHS is
//   empty. XRONOS is local time, "yyyy-MM-dd HH:mm:ss".
namespace AccessLog {

enum class Action {
    SignIn,
    FailedSignIn,
    Open,
    Print,
    Change,
    Delete,
    Export,
    Backup,
    Restore,
    UserChange,
    ReceiptNumbering,
};

// The code stored in ENERGEIA ("OPEN", "PRINT", ...), never changed once
// written; the Greek name shown to the user.
QString code(Action action);
QString label(Action action);
// The Greek name for a stored code; the code itself when it is unknown.
QString labelOfCode(const QString &code);

// Who is signed in on this process; every entry names them.
void setUser(const QString &name);
QString user();

// Appends one entry: the previous entry's hash is read and the new one
// written in one unit of work (the caller's, when one is open), under a
// lock two workstations share, so the chain never forks. customerId 0
// means the entry concerns no customer. Throws DbError.
// While the file takes no writes (its start-up check runs, or found
// damage) the entry waits in memory and goes in with the next one.
void record(DbConnection &conn, Action action, qint64 customerId = 0, const QString &detail = {});
// The same, for a window reading what the entry names: an entry that cannot
// be written waits in memory rather than keep the data from being shown.
void recordReading(DbConnection &conn, Action action, qint64 customerId, const QString &detail);
// The same, for a window opening or printing what the entry names: the entry
// waits in memory and is written from the event loop right after, so the
// window shows without waiting for the write; still in order with every
// other entry, and written at the latest by writeWaiting as the program ends.
// Without an application object it is written at once.
void recordLater(DbConnection &conn, Action action, qint64 customerId, const QString &detail);
// From now on each row the data set stores writes a Change entry, each row
// it deletes a Delete entry, naming the customer and the detail; a later
// call replaces the earlier one. The data set's connection must be set.
void watch(DataSet &ds, Action change, qint64 customerId, const QString &detail);
// Entries waiting in memory, for every practice.
qsizetype pending();
// Writes the waiting entries of every practice that takes writes now; the
// program calls it as it ends. Returns how many still wait (a file found
// damaged takes none).
qsizetype writeWaiting();

struct Entry {
    qint64 position = 0;
    QString time;                        // "yyyy-MM-dd HH:mm:ss"
    QString user, workstation, action;   // action: the stored code
    qint64 customerId = 0;               // 0: none
    QString detail, hash;
};

// Which entries to list; empty fields do not filter. Dates include both ends.
struct Filter {
    qint64 customerId = 0;
    QString user;
    QDate from, to;
};

// The entries that pass the filter, oldest first.
QList<Entry> entries(DbConnection &conn, const Filter &filter = {});
// The same into a data set, for the log's window and printout: AA, XRONOS,
// XRHSTHS, STATHMOS, ENERGEIA (its Greek name), PELATHS, EPWNYMO and ONOMA
// (the customer's, when the card is still there), LEPTOMEREIES.
void openEntries(DataSet &ds, const Filter &filter);

struct Verdict {
    qint64 count = 0;      // entries read
    qint64 firstBad = 0;   // position of the first entry found wrong; 0: the chain holds
    QString reason;        // in Greek, empty when the chain holds
    bool holds() const { return firstBad == 0; }
};

// Walks the whole chain in order and finds the first entry edited, removed
// or moved since it was written. It also reads the seal (HMEROLOGIO.seal:
// the newest entry's position and hash, moved on by each entry written in a
// unit of work of its own, never over a gap): newest entries cut off, or cut
// off and written anew, are found too, unless the seal was removed with
// them or rewritten. On a practice file the seal lies beside the file under
// a MAC keyed by the file's key; on a server, in the practice folder of the
// workstation, without a MAC (the session holds no key), so it names what
// this workstation wrote and saw, not what others wrote after it.
Verdict verify(DbConnection &conn);
// The practice folder of a server practice opened by connectionString, for
// its seal; the session's own folder serves its connection string unasked.
void sealServerIn(const QString &connectionString, const QString &folder);
// After a practice file was replaced by an older copy, the seal names the
// copy's newest entry (it would report the later entries as cut off).
void resealAfterRestore(DbConnection &conn);

// The hash of an entry following the one whose hash is previousHex (empty
// for the first), by the layout above.
QString chainHash(const QString &previousHex, const Entry &entry);

}   // namespace AccessLog
