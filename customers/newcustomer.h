#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <memory>

namespace Ui {
class TForm16;
}
class DataSet;

// "Καταχώρηση νέου πελάτη": enters new customers, one record after the
// other, through the Insert and Post buttons of its navigator.
class TForm16 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm16(QWidget *parent = nullptr);
    ~TForm16() override;

    void FormClose() override;

private:
    void FormCreate();
    void DateTimePicker1Change();

    std::unique_ptr<Ui::TForm16> ui;
    DbConnection ADOConnection1;
    DataSet *ADOTable1;
};
