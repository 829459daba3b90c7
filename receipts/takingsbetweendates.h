#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <memory>

class DataSet;
namespace Ui {
class TForm59;
}

// "Εισπράξεις σε διάστημα δύο ημερομηνιών": the total of the valid
// receipts issued between two dates, both days included.
class TForm59 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm59(QWidget *parent = nullptr);
    ~TForm59() override;

    DataSet *ADOQuery1 = nullptr;   // the sums

    void UpdateSearchButton();
    void Button1Click();   // search

protected:
    void FormClose() override;

private:
    void Search();

    std::unique_ptr<Ui::TForm59> ui;
    DbConnection ADOConnection1;
};
