#include "app/safekeeping.h"
#include "data/practice/serverconf.h"
#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/practice/check.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/writegate.h"
#include "gui/messages.h"
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <exception>
#include <memory>
#include <utility>

namespace {

std::function<QString(QWidget *)> &folderChooser()
{
    static std::function<QString(QWidget *)> chooser;
    return chooser;
}

std::function<QString(QWidget *)> &copyChooser()
{
    static std::function<QString(QWidget *)> chooser;
    return chooser;
}

QString practiceDir() { return QDir::fromNativeSeparators(AppDirectory); }

QString shown(const QString &path) { return QDir::toNativeSeparators(path); }

std::unique_ptr<DbConnection> openPractice()
{
    auto conn = std::make_unique<DbConnection>();
    conn->setConnectionString(DbConnectionString);
    conn->open();
    return conn;
}

// The start-up check's worker while it runs.
QPointer<QThread> &runningCheck()
{
    static QPointer<QThread> worker;
    return worker;
}

// The exit backup while its worker copies.
struct ExitBackup {
    std::unique_ptr<QThread> worker;
    QString written;
    QString failure;
};

std::shared_ptr<ExitBackup> &runningExitBackup()
{
    static std::shared_ptr<ExitBackup> job;
    return job;
}

}   // namespace

namespace Safekeeping {

void SetFolderChooser(std::function<QString(QWidget *)> chooser) { folderChooser() = std::move(chooser); }
void SetCopyChooser(std::function<QString(QWidget *)> chooser) { copyChooser() = std::move(chooser); }

void RunWithProgress(QWidget *parent, const QString &text, const std::function<void()> &work)
{
    std::exception_ptr failure;
    QThread *worker = QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    QProgressDialog progress(text, QString(), 0, 0, parent);
    progress.setObjectName(QStringLiteral("BackupProgress"));
    progress.setWindowTitle(QString::fromLatin1(Messages::AppTitle));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(700);
    progress.setCancelButton(nullptr);
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    worker->start();
    if (!worker->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    QApplication::restoreOverrideCursor();
    progress.reset();
    if (failure)
        std::rethrow_exception(failure);
}

// A newer copy than any offered, made under another password: which one
// it needs, and that the tool restores it with that password.
static QString OtherPasswordNote(const QString &copy)
{
    if (copy.isEmpty())
        return QString();
    return QStringLiteral("Το αντίγραφο %1 δεν ανοίγει με τον κωδικό που δόθηκε. %2 "
                          "Επαναφέρεται με εκείνον τον κωδικό: molarix-db restore.\n")
        .arg(shown(copy), Backup::passwordHint(practiceDir(), copy));
}

static QString chooseCopy(QWidget *parent)
{
    if (copyChooser())
        return copyChooser()(parent);
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Επιλογή αντιγράφου ασφαλείας"), QString(),
                                        QStringLiteral("Αρχεία δεδομένων (*.mdb);;Όλα τα αρχεία (*)"));
}

bool OfferRestore(QWidget *parent, const QStringList &problems)
{
    const QString damage = QStringLiteral("Το αρχείο δεδομένων %1 είναι κατεστραμμένο.").arg(shown(practiceDir() + QStringLiteral("/data.mdb")));
    const QString details = problems.join(QLatin1Char('\n'));
    const QString closing = QStringLiteral("\n\nΜε «Κλείσιμο» το πρόγραμμα κλείνει χωρίς να γράψει τίποτα στο κατεστραμμένο αρχείο.");
    const QString pick = QStringLiteral("Επιλογή αντιγράφου…");
    const QString closeButton = QStringLiteral("Κλείσιμο");

    // The newest copy that still passes its check is the one offered; a
    // copy elsewhere (a USB stick) can be picked instead.
    const ConnectionInfo credentials = ParseConnectionString(DbConnectionString);
    QString otherPassword;
    const QString offered = Backup::newestVerified(practiceDir(), credentials, &otherPassword);
    const QString otherNote = OtherPasswordNote(otherPassword);
    for (;;) {
        QString copy;
        if (!offered.isEmpty()) {
            const QDateTime when = Backup::timeOfName(QFileInfo(offered).fileName());
            const int answer = Messages::choose(damage + QStringLiteral("\n\nΝα γίνει επαναφορά από το νεότερο επαληθευμένο αντίγραφο ασφαλείας\n%1 (%2);").arg(shown(offered), when.toString(QStringLiteral("d/M/yyyy HH:mm")))
                                                    + QStringLiteral("\nΜετά την επαναφορά ο κωδικός πρόσβασης θα είναι αυτός με τον οποίο ανοίγει το αντίγραφο.\n")
                                                    + otherNote + closing,
                                                {QStringLiteral("Επαναφορά"), pick, closeButton}, parent, details);
            if (answer == 2)
                return false;
            copy = answer == 0 ? offered : chooseCopy(parent);
        } else {
            const int answer = Messages::choose(damage + QStringLiteral("\n\nΔεν βρέθηκε επαληθευμένο αντίγραφο ασφαλείας στον φάκελο %1. Αν έχετε αντίγραφο αλλού (π.χ. σε USB), επιλέξτε το.\n").arg(shown(Backup::folder(practiceDir()))) + otherNote + closing,
                                                {pick, closeButton}, parent, details);
            if (answer == 1)
                return false;
            copy = chooseCopy(parent);
        }
        if (copy.isEmpty())
            continue;   // the choice was cancelled: asked again
        try {
            QString kept;
            // The copy is verified before it takes the file's place.
            RunWithProgress(parent, QStringLiteral("Επαναφορά από το αντίγραφο ασφαλείας…"),
                            [&] { kept = Backup::restore(credentials, copy); });
            Messages::plain(QStringLiteral("Έγινε επαναφορά από το αντίγραφο %1.\nΤο κατεστραμμένο αρχείο φυλάχτηκε ως %2.")
                                .arg(shown(copy), shown(kept)),
                            parent);
            return true;
        } catch (const DbError &e) {
            // A copy made under another password says which one it needs.
            const QString hint = e.cause() == DbError::Cause::WrongPassword ? QLatin1Char(' ') + Backup::passwordHint(practiceDir(), copy) : QString();
            Messages::plain(QStringLiteral("Η επαναφορά από το αντίγραφο %1 δεν έγινε.").arg(shown(copy)) + hint, parent, e.message());
        }
    }
}

// Reported when no other window stands over the main window: the restore
// of the file is done with every window that might write to it closed.
static void ReportWhenAlone(QWidget *parent, const QStringList &problems, const std::function<void(bool)> &done)
{
    QObject *context = parent ? static_cast<QObject *>(parent) : qApp;
    if (QApplication::activeModalWidget() && QApplication::activeModalWidget() != parent) {
        QTimer::singleShot(250, context, [parent, problems, done] { ReportWhenAlone(parent, problems, done); });
        return;
    }
    const bool restored = OfferRestore(parent, problems);
    if (restored)
        WriteGate::open(ParseConnectionString(DbConnectionString).dataSource);
    if (done)
        done(restored);
}

void StartCheck(QWidget *parent, std::function<void(bool usable)> done)
{
    WaitForCheck();
    const QString connectionString = DbConnectionString;
    // A server checks its own pages; there is no file to check here.
    if (ServerConf::exists(practiceDir())) {
        if (done)
            done(true);
        return;
    }
    // A copy cut short when the program last ended never became a backup.
    Backup::removeLeftovers(Backup::folder(practiceDir()));
    const QString file = ParseConnectionString(connectionString).dataSource;
    WriteGate::hold(file);
    auto problems = std::make_shared<QStringList>();
    QThread *worker = QThread::create([connectionString, problems] { *problems = Check::gateWrites(connectionString); });
    runningCheck() = worker;
    QObject *context = parent ? static_cast<QObject *>(parent) : qApp;
    QObject::connect(worker, &QThread::finished, context, [worker, parent, problems, done = std::move(done)] {
        if (runningCheck() == worker)
            runningCheck() = nullptr;
        worker->deleteLater();
        if (*problems == QStringList{QStringLiteral("ok")}) {
            if (done)
                done(true);
        } else {
            ReportWhenAlone(parent, *problems, done);
        }
    });
    worker->start();
}

void WaitForCheck()
{
    if (QThread *worker = runningCheck())
        worker->wait();
}

QString OldBackupNote(const QString &dir, const QDateTime &now)
{
    // A server's copies are its administrator's (pg_dump), not the program's.
    if (ServerConf::exists(dir))
        return QString();
    const QString newest = Backup::newest(dir);
    if (newest.isEmpty())
        return QStringLiteral("Δεν έχει γίνει ακόμη αντίγραφο ασφαλείας των δεδομένων.");
    const QDateTime when = Backup::timeOfName(QFileInfo(newest).fileName());
    const qint64 days = when.date().daysTo(now.date());
    if (days <= 7)
        return QString();
    return QStringLiteral("Το τελευταίο αντίγραφο ασφαλείας έγινε πριν από %1 ημέρες (%2).")
        .arg(days)
        .arg(when.toString(QStringLiteral("d/M/yyyy")));
}

void StartBackupAtExit()
{
    FinishBackupAtExit(nullptr);
    if (ServerConf::exists(practiceDir()) || !Backup::dueToday(practiceDir(), Clock::now()))
        return;
    auto job = std::make_shared<ExitBackup>();
    job->worker.reset(QThread::create([job = job.get(), dir = practiceDir(), connectionString = DbConnectionString] {
        try {
            DbConnection conn;
            conn.setConnectionString(connectionString);
            conn.open();
            job->written = Backup::makeAutomatic(conn, dir);
        } catch (const DbError &e) {
            job->failure = e.message();
        }
    }));
    runningExitBackup() = job;
    job->worker->start();
}

QString FinishBackupAtExit(QWidget *parent)
{
    const std::shared_ptr<ExitBackup> job = std::exchange(runningExitBackup(), nullptr);
    if (!job)
        return QString();
    job->worker->wait();
    if (!job->failure.isEmpty())
        Messages::plain(QStringLiteral("Το αντίγραφο ασφαλείας δεν έγινε: %1").arg(job->failure), parent);
    return job->written;
}

QString BackupAtExit(QWidget *parent)
{
    StartBackupAtExit();
    return FinishBackupAtExit(parent);
}

QString BackupToChosenFolder(QWidget *parent)
{
    const QString folder = folderChooser()
        ? folderChooser()(parent)
        : QFileDialog::getExistingDirectory(parent, QStringLiteral("Φάκελος για το αντίγραφο ασφαλείας"));
    if (folder.isEmpty())
        return QString();
    const QString dest = QDir(folder).absoluteFilePath(Backup::automaticName(Clock::now()));
    try {
        RunWithProgress(parent, QStringLiteral("Αντίγραφο ασφαλείας των δεδομένων…"), [&] {
            auto conn = openPractice();
            Backup::makeVerified(*conn, dest);
        });
    } catch (const DbError &e) {
        Messages::plain(QStringLiteral("Το αντίγραφο ασφαλείας δεν έγινε: %1").arg(e.message()), parent);
        return QString();
    }
    Messages::plain(QStringLiteral("Το αντίγραφο ασφαλείας γράφτηκε και επαληθεύτηκε:\n%1").arg(shown(dest)), parent);
    return dest;
}

}
