#pragma once
#include "expenses/expensesreport.h"
#include <QString>
#include <memory>

namespace Ui {
class TForm15;
}

// The expenses of a range of years totalled month by month, with the totals
// of the whole range, printed through EKSODA2.RAV. One instance lives for
// the whole run and is shown again at every opening.
class TForm15 : public ExpensesReport {
    Q_OBJECT
public:
    explicit TForm15(QWidget *parent = nullptr);
    ~TForm15() override;

    // A year as typed: a whole number of one to four digits, nothing else.
    static bool IsYear(const QString &text);

    // The years of the last search that got past the year check; the print
    // uses these, not what the edits hold at the time.
    QString MonthSearchFromYear;
    QString MonthSearchToYear;

    ReportProject *RvProject4 = nullptr;

private:
    bool takeCriteria(const QString &from, const QString &to) override;
    void fill(DataSet &list, DataSet &totals) const override;

    std::unique_ptr<Ui::TForm15> ui;
};

// The expenses by month made at start-up, shown again from the menu.
extern TForm15 *Form15;
