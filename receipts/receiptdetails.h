#pragma once
#include "gui/formdialog.h"
#include <memory>

class DataSet;
class DbConnection;
namespace Ui {
class TForm73;
}

// The practice's details printed at the head of every receipt (the one row
// of INFORMATION), with a sample receipt to see them printed.
class TForm73 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm73(QWidget *parent = nullptr);
    ~TForm73() override;

    void Button2Click();   // preview: the sample receipt, number 0

protected:
    void FormClose() override;

private:
    std::unique_ptr<Ui::TForm73> ui;
    std::unique_ptr<DbConnection> ADOConnection1;
    DataSet *ADOTable1 = nullptr;
};
