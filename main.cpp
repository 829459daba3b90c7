// Molarix: office program for a small dental practice.
#include "app/mainwindow.h"
#include "gui/messages.h"
#include "app/safekeeping.h"
#include "app/molarixapplication.h"
#include "app/jetconversion.h"
#include "app/practicechoice.h"
#include "app/startupwindows.h"
#include <QDir>

int main(int argc, char **argv)
{
    MolarixApplication app(argc, argv);

    // Started from the menu, the practice is found or made first.
    if (!EnterPracticeFolder())
        return 0;
    // An old Access data.mdb is brought over first, if the user wants it.
    if (!OfferJetConversion(QDir::currentPath()))
        return 0;

    int result = 0;
    {
        // Creating the main window runs the whole start-up sequence.
        TForm3 mainWindow;
        if (!TerminateRequested()) {
            CreateStartupWindows();
            mainWindow.show();
            result = app.exec();
            DestroyStartupWindows();
        }
        // The start-up check may still be reading when the program ends early.
        Safekeeping::WaitForCheck();
        // The exit backup may still be copying after the windows have closed.
        Safekeeping::FinishBackupAtExit(nullptr);
    }
    return result;
}
