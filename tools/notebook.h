#pragma once
#include "gui/formdialog.h"
#include <memory>

class DataSet;
class DbConnection;
namespace Ui {
class TForm6;
}

// The notebook: free notes, each a title and a text, listed by title.
class TForm6 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm6(QWidget *parent = nullptr);
    ~TForm6() override;

    void UpdatePrintButton();
    DataSet *table() const { return ADOTable1; }

protected:
    void FormClose() override;

private:
    void Button2Click();

    std::unique_ptr<Ui::TForm6> ui;
    std::unique_ptr<DbConnection> ADOConnection1;
    DataSet *ADOTable1 = nullptr;
};
