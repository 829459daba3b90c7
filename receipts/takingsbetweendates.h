#pragma once
#include "data/connection.h"
#include <QDialog>
#include <memory>

class DataSet;
namespace Ui { class TForm59; }

// "Εισπράξεις σε διάστημα δύο ημερομηνιών": the total of the valid
// receipts issued between two dates, both days included.
class TForm59 : public QDialog {
    Q_OBJECT
public:
    explicit TForm59(QWidget *parent = nullptr);
    ~TForm59() override;

    DataSet *ADOQuery1 = nullptr;   // the sums

    void UpdateSearchButton();
    void Button1Click();   // search

protected:
    void done(int r) override;

private:
    void Search();

    std::unique_ptr<Ui::TForm59> ui;
    DbConnection ADOConnection1;
};
