// Molarix: office program for a small dental practice.
#include "app/mainwindow.h"
#include "gui/messages.h"
#include "app/molarixapplication.h"
#include "app/practicechoice.h"
#include "app/startupwindows.h"

int main(int argc, char **argv)
{
    MolarixApplication app(argc, argv);

    // Started from the menu, the practice is found or made first.
    if (!EnterPracticeFolder())
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
    }
    return result;
}
