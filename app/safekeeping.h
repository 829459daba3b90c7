#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The program's side of keeping the practice file safe: the check of the
// file after the access check, the daily backup at exit, the copy to a
// folder the user picks, and the note when backups have stopped.
namespace Safekeeping {

// quick_check of the practice file after the access check, in a worker
// thread with its own connection, so that the main window is usable
// meanwhile. Writes to the file wait until the check has passed. A damaged
// file takes no write; it is reported once no other window stands over
// the main window, and the newest backup that still verifies is offered in
// its place. Then done(true) when the file may be used (it passed, or the
// backup was put in place) or done(false) when the program must end
// (damage left unrepaired: nothing was written to it); done is not called
// once parent is gone. On a server the practice's rules are checked the
// same way (the server keeps its own pages): data that break them are
// offered the newest verified backup, whose rows then replace the server's.
void StartCheck(QWidget *parent, std::function<void(bool usable)> done);
// A practice file found damaged (problems: the engine's own words, shown
// under the details): the newest backup that still verifies is offered,
// or a copy the user picks (a USB stick), verified before it is used.
// True when a copy is now in place; false when the user closes.
bool OfferRestore(QWidget *parent, const QStringList &problems);
// Waits for a check still running (before the program ends).
void WaitForCheck();

// The status-bar note when the newest automatic backup is older than 7
// days, or there is none; empty otherwise.
QString OldBackupNote(const QString &practiceDir, const QDateTime &now);

// After the exit is confirmed: a verified backup into backups/ unless one
// was made today. A failure is reported; the program ends either way.
// Returns the file written, or "".
QString BackupAtExit(QWidget *parent);
// The same in two halves, so that closing does not wait for the copy: the
// start returns at once, the copy is made in a worker thread, and the
// finish (before the process ends) waits for it and reports a failure.
void StartBackupAtExit();
QString FinishBackupAtExit(QWidget *parent);

// "Αντίγραφο ασφαλείας…": a verified copy into a folder the user picks.
// Returns the file written, or "".
QString BackupToChosenFolder(QWidget *parent);

// Runs work in a worker thread, showing a busy progress box when it takes
// longer than a moment; a DbError thrown by work is thrown again here.
void RunWithProgress(QWidget *parent, const QString &text, const std::function<void()> &work);

// --- test seam: how the folder is picked (empty: the folder dialog) ---
void SetFolderChooser(std::function<QString(QWidget *)> chooser);
// ... and how a copy to restore is picked (empty: the file dialog).
void SetCopyChooser(std::function<QString(QWidget *)> chooser);

}
