#include "app/startupwindows.h"
// One include per start-up window.
#include "customers/customerlist.h"
#include "customers/customerprintouts.h"
#include "expenses/expensesbydates.h"
#include "expenses/expensesbymonth.h"
#include "receipts/receiptprintout.h"
#include "tools/notesprint.h"

void CreateStartupWindows()
{
    // In this order: TForm7, TForm14, TForm15, TForm18, TForm22, TForm72.
    Form7 = new TForm7;
    Form14 = new TForm14;
    Form15 = new TForm15;
    Form18 = new TForm18;
    Form22 = new TForm22;
    Form72 = new TForm72;
}

void DestroyStartupWindows()
{
    // Deleted in reverse order of creation.
    delete Form72;
    Form72 = nullptr;
    delete Form22;
    Form22 = nullptr;
    delete Form18;
    Form18 = nullptr;
    delete Form15;
    Form15 = nullptr;
    delete Form14;
    Form14 = nullptr;
    delete Form7;
    Form7 = nullptr;
}
