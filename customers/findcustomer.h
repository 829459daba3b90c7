#pragma once
#include "data/work/customers.h"
#include <QDialog>
#include <memory>

namespace Ui {
class TForm17;
}

// "Εύρεση πελάτη": turns the criteria into the statement of the customer
// list and shows the list with it.
class TForm17 : public QDialog {
    Q_OBJECT
public:
    explicit TForm17(QWidget *parent = nullptr);
    ~TForm17() override;

    // The three searches, as the list runs them.
    static QString InitialsSql(const QString &initials);
    static QString InitialsCriteria(const QString &initials);
    static QString AllSql();

private:
    void Edit1Change();
    void Edit2Change();
    void Button1Click();
    void Button2Click();
    void Button4Click();
    void ShowList(const Customers::Search &search);

    std::unique_ptr<Ui::TForm17> ui;
};
