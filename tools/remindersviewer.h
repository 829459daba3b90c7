#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <memory>

namespace Ui {
class TForm12;
}
class DataSet;

// Today's reminder, shown at start-up. The opener sets the statement of
// ADOQuery1 before showing it.
class TForm12 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm12(QWidget *parent = nullptr);
    ~TForm12() override;

    DbConnection ADOConnection1;
    DataSet *ADOQuery1;

private:
    void FormShow() override;
    void FormClose() override;
    std::unique_ptr<Ui::TForm12> ui;
};
