#pragma once
#include "data/db/connection.h"
#include <QDate>
#include <QDialog>
#include <memory>

namespace Ui {
class TForm81;
}
class DataSet;
class ReportProject;

// "Ανάκληση πελατών": the customers whose last visit is older than the
// chosen number of months, the longest overdue first, with their phones;
// printed through the report engine. A double click opens the customer
// list on that customer. The choice of GESY beneficiaries lists instead
// those whose free preventive visit is due; the free visits of a year are
// printed counted per month.
class TForm81 : public QDialog {
    Q_OBJECT
public:
    explicit TForm81(QWidget *parent = nullptr);
    ~TForm81() override;

    // The statement behind the list on a given day.
    static QString RecallSql(int months, const QDate &today);

    void done(int r) override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button4Click();
    void DBGrid1DblClick(int row);

    std::unique_ptr<Ui::TForm81> ui;
    DbConnection ADOConnection1;
    DataSet *ADOQuery1;   // the list
    DataSet *ADOQuery2;   // the practice details, for the printout
    ReportProject *RvProject1;
    // The free GESY visits of a year: per month, and one by one.
    DataSet *ADOQuery3;
    DataSet *ADOQuery4;
    ReportProject *RvProject2;
};
