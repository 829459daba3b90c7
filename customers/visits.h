#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <memory>

namespace Ui {
class TFORM17A;
}
class DataSet;

// "Επισκέψεις πελάτη": one customer's visits in date order, and the entry
// of new ones, each stored with the customer's ID.
class TFORM17A : public FormDialog {
    Q_OBJECT
public:
    explicit TFORM17A(QWidget *parent = nullptr);
    ~TFORM17A() override;

    QString CustomerFirstName;
    QString CustomerSurname;
    QString CustomerId;

    void FormClose() override;

private:
    void FormCreate();
    void FormShow() override;
    void RefreshCount();
    void StartNewVisit();
    void DataSource1UpdateData();
    void DBNavigator1Click();

    std::unique_ptr<Ui::TFORM17A> ui;
    DbConnection ADOConnection1;
    DataSet *ADOTable1;
    DataSet *ADOQuery1;
};
