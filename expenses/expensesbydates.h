#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <QString>
#include <memory>

class DataSet;
class ReportProject;
namespace Ui {
class TForm14;
}

// The expenses between two dates, with their totals, printed through
// EKSODA1.RAV. One instance lives for the whole run and is shown again at
// every opening.
class TForm14 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm14(QWidget *parent = nullptr);
    ~TForm14() override;

    // The list and the totals of one range of date constants (#m/d/yyyy#).
    static QString ListStatement(const QString &from, const QString &to);
    static QString TotalsStatement(const QString &from, const QString &to);

    // The range of the last search as date constants, or "ERROR"; the print
    // uses these, not what the edits hold at the time.
    QString ExpenseSearchFrom;
    QString ExpenseSearchTo;

    DataSet *ADOQuery1 = nullptr;   // the list on screen
    DataSet *ADOQuery2 = nullptr;   // the totals on screen
    DataSet *ADOQuery3 = nullptr;   // the list for the report
    DataSet *ADOQuery4 = nullptr;   // the totals for the report
    ReportProject *RvProject3 = nullptr;

    void UpdateSearchButton();
    void Button1Click();   // search
    void Button3Click();   // print

private:
    void FormClose() override;

    std::unique_ptr<Ui::TForm14> ui;
    DbConnection ADOConnection1;
};

// The search by dates made at start-up, shown again from the menu.
extern TForm14 *Form14;
