#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <QString>
#include <memory>

class DataSet;
class ReportProject;
namespace Ui {
class TForm15;
}

// The expenses of a range of years totalled month by month, with the totals
// of the whole range, printed through EKSODA2.RAV. One instance lives for
// the whole run and is shown again at every opening.
class TForm15 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm15(QWidget *parent = nullptr);
    ~TForm15() override;

    // A year as the statements take it: a whole number of one to four
    // digits, nothing else (the years go into the statement text).
    static bool IsYear(const QString &text);
    static QString MonthlyStatement(const QString &fromYear, const QString &toYear);
    static QString TotalsStatement(const QString &fromYear, const QString &toYear);

    // The years of the last search that got past the year check; the print
    // uses these, not what the edits hold at the time.
    QString MonthSearchFromYear;
    QString MonthSearchToYear;

    DataSet *ADOQuery1 = nullptr;   // the months on screen
    DataSet *ADOQuery2 = nullptr;   // the totals on screen
    DataSet *ADOQuery3 = nullptr;   // the months for the report
    DataSet *ADOQuery4 = nullptr;   // the totals for the report
    ReportProject *RvProject4 = nullptr;

    void UpdateSearchButton();
    void Button1Click();   // search
    void Button3Click();   // print

private:
    void FormClose() override;

    std::unique_ptr<Ui::TForm15> ui;
    DbConnection ADOConnection1;
};

// The expenses by month made at start-up, shown again from the menu.
extern TForm15 *Form15;
