// Molarix: office program for a small dental practice.
#include "app/molarixapplication.h"
#include "app/programrun.h"
#include "app/splash.h"

int main(int argc, char **argv)
{
    const FontConfigReader fonts;
    MolarixApplication app(argc, argv);
    return RunProgram();
}
