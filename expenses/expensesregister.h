#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <memory>

class DataSet;
namespace Ui {
class TForm13;
}

// The expenses register: every operating expense with its date, net amount,
// VAT amount and description, entered and corrected through the bound edits
// and the navigator. The only window that writes EKSODA.
class TForm13 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm13(QWidget *parent = nullptr);
    ~TForm13() override;

    DataSet *ADOTable1 = nullptr;

private:
    void FormClose() override;

    std::unique_ptr<Ui::TForm13> ui;
    DbConnection ADOConnection1;
};
