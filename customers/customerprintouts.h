#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <memory>

namespace Ui {
class TForm22;
}
class DataSet;
class ReportProject;

// "Εκτύπωση": prints the customers of the list, all that the search found
// or the current one: their data, their histories or the list itself.
// Created once at start-up; the customer list sets the fields before each
// showing.
class TForm22 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm22(QWidget *parent = nullptr);
    ~TForm22() override;

    QString CustomerId;
    QString ListCriteria;
    QString ListSql;

    void FormClose() override;

private:
    void FormShow() override;
    void Print(ReportProject *project, const QString &statement, const QString &reportFile);

    std::unique_ptr<Ui::TForm22> ui;
    DbConnection ADOConnection1;
    DataSet *ADOQuery1;
    ReportProject *RvProject5;   // STOIXEIA.RAV
    ReportProject *RvProject7;   // ISTORIKO.RAV
    ReportProject *RvProject9;   // LIST.RAV
};

// The customer printouts made at start-up; the customer list hands it
// CustomerId, ListCriteria and ListSql.
extern TForm22 *Form22;
