#include "app/programrun.h"
#include "app/jetconversion.h"
#include "app/mainwindow.h"
#include "app/molarixapplication.h"
#include "app/practicechoice.h"
#include "app/safekeeping.h"
#include "app/startupwindows.h"
#include "data/work/accesslog.h"
#include <QApplication>
#include <QDateTime>
#include <QDir>

int RunProgram()
{
    // Started from the menu, the practice is found or made first.
    if (!EnterPracticeFolder())
        return 0;
    // An old Access data.mdb is brought over first, if the user wants it.
    if (!OfferJetConversion(QDir::currentPath()))
        return 0;

    int result = 0;
    {
        // The access check comes up without waiting for the main window,
        // which is built once the password is accepted.
        QDateTime startedAt;
        if (TForm3::OpenPractice(startedAt)) {
            TForm3 mainWindow(startedAt);
            if (!TerminateRequested()) {
                CreateStartupWindows();
                mainWindow.show();
                result = QApplication::exec();
                DestroyStartupWindows();
            }
        }
        // The start-up check may still be reading when the program ends early.
        Safekeeping::WaitForCheck();
        // The exit backup may still be copying after the windows have closed.
        Safekeeping::FinishBackupAtExit(nullptr);
        // Entries that waited for the check go in now, not lost with the program.
        AccessLog::writeWaiting();
    }
    return result;
}
