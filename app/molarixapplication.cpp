#include "app/molarixapplication.h"
#include "gui/messages.h"
#include "app/shownprobe.h"
#include "data/db/dberror.h"
#include "data/db/connection.h"
#include <QCursor>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace {
bool g_terminate = false;

// While a statement waits for a file another program holds, the busy
// cursor shows it; it goes when the program gets back to its event loop.
void showBusyWhileWaiting()
{
    // A worker thread (a backup, the start-up check) has no cursor to show.
    if (QThread::currentThread() != qApp->thread())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, qApp, [] { QApplication::restoreOverrideCursor(); });
}
}

MolarixApplication::MolarixApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The title is the main window's caption; no display name, which the
    // platform would append to every window's caption.
    setApplicationName(QStringLiteral("Molarix"));
    DbConnection::setBusyNotifier(&showBusyWhileWaiting);
    ShownProbe::installFromEnvironment(this);
}

bool MolarixApplication::notify(QObject *receiver, QEvent *event)
{
    return deliverReporting([&] { return QApplication::notify(receiver, event); });
}

bool MolarixApplication::deliverReporting(const std::function<bool()> &deliver)
{
    try {
        return deliver();
    } catch (const DbError &e) {
        Messages::error(e.message());
    } catch (const std::exception &e) {
        Messages::error(QString::fromUtf8(e.what()));
    }
    return false;
}

void RequestTerminate()
{
    if (g_terminate)
        return;
    g_terminate = true;
    // Queued: before the loop runs, quit() would be lost.
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

bool TerminateRequested() { return g_terminate; }
void ResetTerminateRequest() { g_terminate = false; }
