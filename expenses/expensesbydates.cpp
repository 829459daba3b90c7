#include "expenses/expensesbydates.h"
#include "ui_expensesbydates.h"

#include "data/db/helpers.h"
#include "data/db/regional.h"
#include "data/work/expenses.h"
#include "gui/formstyle.h"

TForm14 *Form14 = nullptr;

TForm14::TForm14(QWidget *parent)
    : ExpensesReport(parent), ui(std::make_unique<Ui::TForm14>())
{
    ui->setupUi(this);
    setupDialog(this);
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    setUp(controlsOf(*ui), {{{"PERIGRAFH", QStringLiteral("Περιγραφή")}, {"HMEROMHNIA", QStringLiteral("Ημερομηνία"), Qt::AlignCenter}, {"AKSIA", QStringLiteral("Αξία (EUR)"), right}, {"VAT", QStringLiteral("Φ.Π.Α (EUR)"), right}, {"SYNOLO", QStringLiteral("Αξία + Φ.Π.Α (EUR)"), right}}, "RvProject3", "RvDataSetConnection3", "RvDataSetConnection4", QStringLiteral("EKSODA1.RAV")});
    RvProject3 = project();
}

TForm14::~TForm14() = default;

bool TForm14::takeCriteria(const QString &from, const QString &to)
{
    const auto first = Regional::parseDate(from);
    const auto last = Regional::parseDate(to);
    ExpenseSearchFrom = first ? SqlDateLiteral(*first) : QStringLiteral("ERROR");
    ExpenseSearchTo = last ? SqlDateLiteral(*last) : QStringLiteral("ERROR");
    if (!first || !last)
        return false;
    m_from = *first;
    m_to = *last;
    return true;
}

void TForm14::fill(DataSet &list, DataSet &totals) const
{
    Expenses::listBetween(list, m_from, m_to);
    Expenses::totalsBetween(totals, m_from, m_to);
}
