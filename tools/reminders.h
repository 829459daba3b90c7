#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <memory>

namespace Ui {
class TForm11;
}
class DataSet;

// Reminders editor: dated texts, newest first.
class TForm11 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm11(QWidget *parent = nullptr);
    ~TForm11() override;

    DbConnection ADOConnection1;
    DataSet *ADOTable1;

private:
    void FormShow() override;
    void FormClose() override;
    std::unique_ptr<Ui::TForm11> ui;
};
