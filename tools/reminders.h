#pragma once
#include "data/connection.h"
#include <QDialog>
#include <memory>

namespace Ui { class TForm11; }
class DataSet;

// Reminders editor: dated texts, newest first.
class TForm11 : public QDialog {
    Q_OBJECT
public:
    explicit TForm11(QWidget *parent = nullptr);
    ~TForm11() override;

    DbConnection ADOConnection1;
    DataSet *ADOTable1;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    void FormShow();
    void FormClose();
    std::unique_ptr<Ui::TForm11> ui;
};
