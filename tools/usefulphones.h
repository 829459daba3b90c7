#pragma once
#include "gui/formdialog.h"
#include <memory>

class DataSet;
class DbConnection;
namespace Ui {
class TForm10;
}

// Useful phones: a small address book edited in place, sorted by name.
class TForm10 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm10(QWidget *parent = nullptr);
    ~TForm10() override;
    DataSet *table() const { return ADOTable1; }

protected:
    void FormClose() override;

private:
    std::unique_ptr<Ui::TForm10> ui;
    std::unique_ptr<DbConnection> ADOConnection1;
    DataSet *ADOTable1 = nullptr;
};
