// The yardstick of the start-up benchmark: a program that shows one empty
// dialog, watched as the access check is (MOLARIX_EXIT_WHEN_SHOWN=EmptyDialog).
#include "app/shownprobe.h"
#include <QApplication>
#include <QDialog>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ShownProbe::installFromEnvironment(&app);
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("EmptyDialog"));
    return dialog.exec();
}
