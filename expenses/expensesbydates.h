#pragma once
#include "expenses/expensesreport.h"
#include <QDate>
#include <QString>
#include <memory>

namespace Ui {
class TForm14;
}

// The expenses between two dates, with their totals, printed through
// EKSODA1.RAV. One instance lives for the whole run and is shown again at
// every opening.
class TForm14 : public ExpensesReport {
    Q_OBJECT
public:
    explicit TForm14(QWidget *parent = nullptr);
    ~TForm14() override;

    // The range last typed as date constants, or "ERROR".
    QString ExpenseSearchFrom;
    QString ExpenseSearchTo;

    ReportProject *RvProject3 = nullptr;

private:
    bool takeCriteria(const QString &from, const QString &to) override;
    void fill(DataSet &list, DataSet &totals) const override;

    std::unique_ptr<Ui::TForm14> ui;
    // The range of the last search; the print uses it, not the edits.
    QDate m_from, m_to;
};

// The search by dates made at start-up, shown again from the menu.
extern TForm14 *Form14;
