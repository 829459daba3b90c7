// Molarix: office program for a small dental practice.
#include "app/molarixapplication.h"
#include "app/programrun.h"

int main(int argc, char **argv)
{
    MolarixApplication app(argc, argv);
    return RunProgram();
}
