#include "app/startupwindows.h"
// One include per start-up window.

TForm7 *Form7 = nullptr;
TForm14 *Form14 = nullptr;
TForm15 *Form15 = nullptr;
TForm18 *Form18 = nullptr;
TForm22 *Form22 = nullptr;
TForm72 *Form72 = nullptr;

void CreateStartupWindows()
{
    // In this order: TForm7, TForm14, TForm15, TForm18, TForm22, TForm72.
}

void DestroyStartupWindows()
{
    // Deleted in reverse order of creation.
}
