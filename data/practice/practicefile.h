#pragma once
#include <QDateTime>
#include <QList>
#include <QString>

class DbConnection;

// Opening the practice file with the access password, moving files made
// with the old fixed key to the password key, and changing the password.
namespace PracticeFile {

// The key every practice file was made with before the password became the
// key. Kept only to open such files once and move them to the password.
extern const char *const LegacyKey;

enum class Access {
    Refused,   // the password does not open the file, or differs from SECURITY
    Granted,   // opened with the password
    Moved,     // an old fixed-key file, now keyed with the password
    Damaged,   // the password's key opens the file, but its pages are damaged
};

struct Unlocked {
    Access access = Access::Refused;
    QString backup;   // Moved: the verified copy of the file as it was
    QString damage;   // Damaged: the engine's own words
};

// How long another program's lock on the file is waited for while the
// password is tried, in ms (10 s; tests shorten it). Then the file is
// reported in use.
int lockWaitMs();
void setLockWaitMs(int ms);

// Tries the password on the file. On success the session is signed in with
// the password's key (every connection without a password in its connection
// string opens with it). Throws DbError when the file is missing, is not a database,
// or cannot be read (SECURITY missing, locked, unreadable). A file the
// password's key opens but whose pages are damaged is Damaged, and the
// session holds its key, so that a backup can be put in its place.
Unlocked unlock(const QString &file, const QString &password);

// Replaces the password: SECURITY and the file's key change together, in
// one transaction on the given open connection. Afterwards the session
// holds the new key and the run's other connections reopen with it. On a
// failure (DbError) the old password still opens the file and the
// connection is closed.
void changePassword(DbConnection &conn, const QString &newPassword);

// True when the file opens with the old fixed key.
bool isLegacy(const QString &file);

// A copy an old fixed-key file left beside it when it moved to the password
// (file.<stamp>.bak): it opens with the key every copy of the program holds.
struct OldKeyCopy {
    QString path;
    QDateTime made;   // from its name
};
QList<OldKeyCopy> oldKeyCopies(const QString &file);
// The user is reminded of such a copy at each start for this many days;
// then its deletion is offered, once a verified backup under the password
// exists.
inline constexpr int OldKeyCopyReminderDays = 30;

}
