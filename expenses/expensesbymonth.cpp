#include "expenses/expensesbymonth.h"
#include "ui_expensesbymonth.h"

#include "data/work/expenses.h"
#include "gui/formstyle.h"

TForm15 *Form15 = nullptr;

bool TForm15::IsYear(const QString &text)
{
    if (text.isEmpty() || text.size() > 4)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

TForm15::TForm15(QWidget *parent)
    : ExpensesReport(parent), ui(std::make_unique<Ui::TForm15>())
{
    ui->setupUi(this);
    setupDialog(this);
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    setUp(controlsOf(*ui), {{{"MONTH", QStringLiteral("Μήνας"), Qt::AlignCenter}, {"YEAR", QStringLiteral("Έτος"), Qt::AlignCenter}, {"AKSIA", QStringLiteral("Αξία (EUR)"), right}, {"VAT", QStringLiteral("Φ.Π.Α (EUR)"), right}, {"SYNOLO", QStringLiteral("Αξία +Φ.Π.Α (EUR)"), right}}, "RvProject4", "RvDataSetConnection5", "RvDataSetConnection6", QStringLiteral("EKSODA2.RAV"), true});
    RvProject4 = project();
}

TForm15::~TForm15() = default;

bool TForm15::takeCriteria(const QString &from, const QString &to)
{
    if (!IsYear(from) || !IsYear(to))
        return false;
    MonthSearchFromYear = from;
    MonthSearchToYear = to;
    return true;
}

void TForm15::fill(DataSet &list, DataSet &totals) const
{
    Expenses::byMonth(list, MonthSearchFromYear.toInt(), MonthSearchToYear.toInt());
    Expenses::totalsOfYears(totals, MonthSearchFromYear.toInt(), MonthSearchToYear.toInt());
}
