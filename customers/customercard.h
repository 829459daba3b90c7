#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <memory>

namespace Ui {
class TForm19;
}
class DataSet;

// "Στοιχεία πελάτη": edits one customer's basic data. The row is kept in
// editing from the showing on, so Post can be pressed again and again.
class TForm19 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm19(QWidget *parent = nullptr);
    ~TForm19() override;

    QString CustomerId;

    void FormClose() override;

private:
    void FormShow() override;
    void DateTimePicker1Change();
    void DBNavigator1Click();
    void ShowGesy();

    std::unique_ptr<Ui::TForm19> ui;
    DbConnection ADOConnection1;
    DataSet *ADOQuery1;
};
