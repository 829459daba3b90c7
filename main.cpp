// Molarix: office program for a small dental practice.
#include "app/mainwindow.h"
#include "gui/messages.h"
#include "app/molarixapplication.h"
#include "app/startupwindows.h"

int main(int argc, char **argv)
{
    MolarixApplication app(argc, argv);

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
