#pragma once
#include "data/connection.h"
#include <QDialog>
#include <memory>

namespace Ui { class TForm65; }
class DataSet;

// Access check: asks for the practice's password before the program can be used.
class TForm65 : public QDialog {
    Q_OBJECT
public:
    explicit TForm65(QWidget *parent = nullptr);
    ~TForm65() override;

    DbConnection ADOConnection1;
    DataSet *ADOTable1;

    void reject() override;   // Esc and the exit button
    void done(int result) override;

private:
    void Edit1Change();
    void Button1Click();
    void Button2Click();
    void FormClose();
    std::unique_ptr<Ui::TForm65> ui;
};
