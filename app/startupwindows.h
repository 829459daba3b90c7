#pragma once

// The windows created once at start-up and reused for the whole run.
class TForm7;    // notes printing
class TForm14;   // expenses search by dates
class TForm15;   // expenses by month
class TForm18;   // customer list
class TForm22;   // customer printouts
class TForm72;   // receipt printout (never shown)

extern TForm7 *Form7;
extern TForm14 *Form14;
extern TForm15 *Form15;
extern TForm18 *Form18;
extern TForm22 *Form22;
extern TForm72 *Form72;

// Creates those that exist, in the start-up order; null for the others.
void CreateStartupWindows();
void DestroyStartupWindows();
