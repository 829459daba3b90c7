#pragma once
#include "gui/formdialog.h"
#include <memory>

class DataSet;
class DbConnection;
namespace Ui {
class TForm9;
}

// Defining the receipt numbering: the number the first receipt will carry,
// kept in the one row of LAST_APODEIKSH. The main window checks the
// numbering again when this window closes.
class TForm9 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm9(QWidget *parent = nullptr);
    ~TForm9() override;

protected:
    void FormClose() override;

private:
    std::unique_ptr<Ui::TForm9> ui;
    std::unique_ptr<DbConnection> ADOConnection1;
    DataSet *ADOTable1 = nullptr;
};
