#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <QString>
#include <memory>

class DataSet;
namespace Ui {
class TForm57;
}

// "Εισπράξεις από συγκεκριμένο πελάτη": one customer's takings (one per
// valid receipt), oldest first, with their number and total. Read-only.
// Opened from the customer list, which sets the three customer fields.
class TForm57 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm57(QWidget *parent = nullptr);
    ~TForm57() override;

    QString CustomerId;
    QString CustomerFirstName;
    QString CustomerSurname;

    DataSet *ADOQuery1 = nullptr;   // the takings
    DataSet *ADOQuery2 = nullptr;   // their count and totals

protected:
    void FormClose() override;

private:
    void FormShow() override;

    std::unique_ptr<Ui::TForm57> ui;
    DbConnection ADOConnection1;
};
