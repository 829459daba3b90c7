#include "app/safekeeping.h"
#include "data/work/accesslog.h"
#include "data/practice/serverconf.h"
#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/practice/check.h"
#include "data/practice/serverbackup.h"
#include "data/practice/session.h"
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
#include <QScopeGuard>
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

// A server's data replaced by a copy's, the server's data of before kept
// first as a copy of their own beside the automatic ones (a name rotation
// and the start-up offer leave alone). Returns that copy.
static QString RestoreServer(const QString &copy, const QString &password)
{
    auto conn = openPractice();
    const QString kept = QDir(Backup::folder(practiceDir()))
                             .absoluteFilePath(QStringLiteral("before-restore-%1.mdb").arg(Clock::now().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    ServerBackup::makeVerified(*conn, kept, password);
    ServerBackup::restore(*conn, copy, password);
    return kept;
}

bool OfferRestore(QWidget *parent, const QStringList &problems)
{
    // On a server the copies are keyed with the login's password.
    const bool server = ServerConf::exists(practiceDir());
    const ConnectionInfo practice = ParseConnectionString(DbConnectionString);
    ConnectionInfo credentials = practice;
    if (server) {
        credentials = ConnectionInfo();
        credentials.password = Session::current().loginPassword(practice);
    }
    const auto wipe = qScopeGuard([&] { PracticeKey::wipe(credentials.password); });
    const QString damage = server
        ? QStringLiteral("Τα δεδομένα του ιατρείου στον διακομιστή %1/%2 δεν περνούν τον έλεγχο.").arg(practice.host, practice.database)
        : QStringLiteral("Το αρχείο δεδομένων %1 είναι κατεστραμμένο.").arg(shown(practiceDir() + QStringLiteral("/data.mdb")));
    const QString details = problems.join(QLatin1Char('\n'));
    const QString closing = server ? QStringLiteral("\n\nΜε «Κλείσιμο» το πρόγραμμα κλείνει και τα δεδομένα του διακομιστή μένουν όπως είναι.")
                                   : QStringLiteral("\n\nΜε «Κλείσιμο» το πρόγραμμα κλείνει χωρίς να γράψει τίποτα στο κατεστραμμένο αρχείο.");
    // A server's login keeps its password whatever the copy's.
    const QString passwordAfter =
        server ? QString() : QStringLiteral("\nΜετά την επαναφορά ο κωδικός πρόσβασης θα είναι αυτός με τον οποίο ανοίγει το αντίγραφο.");
    const QString pick = QStringLiteral("Επιλογή αντιγράφου…");
    const QString closeButton = QStringLiteral("Κλείσιμο");

    // The newest copy that still passes its check is the one offered; a
    // copy elsewhere (a USB stick) can be picked instead.
    QString otherPassword;
    const QString offered = Backup::newestVerified(practiceDir(), credentials, &otherPassword);
    const QString otherNote = OtherPasswordNote(otherPassword);
    for (;;) {
        QString copy;
        if (!offered.isEmpty()) {
            const QDateTime when = Backup::timeOfName(QFileInfo(offered).fileName());
            const int answer = Messages::choose(damage + QStringLiteral("\n\nΝα γίνει επαναφορά από το νεότερο επαληθευμένο αντίγραφο ασφαλείας\n%1 (%2);").arg(shown(offered), when.toString(QStringLiteral("d/M/yyyy HH:mm")))
                                                    + passwordAfter + QLatin1Char('\n')
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
            RunWithProgress(parent, QStringLiteral("Επαναφορά από το αντίγραφο ασφαλείας…"), [&] {
                kept = server ? RestoreServer(copy, credentials.password) : Backup::restore(credentials, copy);
                // The copy's log is the log now: its seal starts from the copy's newest entry.
                auto conn = openPractice();
                AccessLog::resealAfterRestore(*conn);
                AccessLog::recordReading(*conn, AccessLog::Action::Restore, 0, copy);
            });
            Messages::plain(QStringLiteral("Έγινε επαναφορά από το αντίγραφο %1.\n").arg(shown(copy))
                                + (server ? QStringLiteral("Τα δεδομένα του διακομιστή πριν από την επαναφορά φυλάχτηκαν στο %1.")
                                          : QStringLiteral("Το κατεστραμμένο αρχείο φυλάχτηκε ως %1."))
                                      .arg(shown(kept)),
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
    if (restored && !ServerConf::exists(practiceDir()))
        WriteGate::open(ParseConnectionString(DbConnectionString).dataSource);
    if (done)
        done(restored);
}

void StartCheck(QWidget *parent, std::function<void(bool usable)> done)
{
    WaitForCheck();
    const QString connectionString = DbConnectionString;
    // A copy cut short when the program last ended never became a backup.
    Backup::removeLeftovers(Backup::folder(practiceDir()));
    // A server checks its own pages: there the practice's rules are checked.
    const bool server = ServerConf::exists(practiceDir());
    const QString file = ParseConnectionString(connectionString).dataSource;
    if (!server)
        WriteGate::hold(file);
    auto problems = std::make_shared<QStringList>();
    QThread *worker = QThread::create([connectionString, problems, server] {
        if (!server) {
            *problems = Check::gateWrites(connectionString);
            return;
        }
        *problems = QStringList{QStringLiteral("ok")};
        try {
            DbConnection conn;
            conn.setConnectionString(connectionString);
            conn.open();
            const Check::Report report = Check::run(conn);
            if (report.ok())
                return;
            problems->clear();
            for (const Check::Finding &f : report.findings)
                if (!f.reportOnly && !f.rows.isEmpty())
                    *problems << f.name + QStringLiteral(": ") + f.rows.join(QStringLiteral("; "));
        } catch (const DbError &e) {
            // A server out of reach is no fault of its data: the windows say so.
            qWarning("The start-up check of the server did not run: %s", qPrintable(e.message()));
        }
    });
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
            AccessLog::recordReading(conn, AccessLog::Action::Backup, 0, job->written);
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
            AccessLog::recordReading(*conn, AccessLog::Action::Backup, 0, dest);
        });
    } catch (const DbError &e) {
        Messages::plain(QStringLiteral("Το αντίγραφο ασφαλείας δεν έγινε: %1").arg(e.message()), parent);
        return QString();
    }
    Messages::plain(QStringLiteral("Το αντίγραφο ασφαλείας γράφτηκε και επαληθεύτηκε:\n%1").arg(shown(dest)), parent);
    return dest;
}

}
