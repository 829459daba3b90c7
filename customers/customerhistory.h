#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <memory>

namespace Ui {
class TForm20;
}
class DataSet;

// "Ιστορικό πελάτη": the free-text history of one customer, whose names
// and birth date the customer list hands in for display.
class TForm20 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm20(QWidget *parent = nullptr);
    ~TForm20() override;

    QString CustomerId;
    QString CustomerFirstName;
    QString CustomerSurname;
    QString CustomerBirthDate;

    void FormClose() override;

private:
    void FormShow() override;

    std::unique_ptr<Ui::TForm20> ui;
    DbConnection ADOConnection1;
    DataSet *ADOQuery1;
};
