#pragma once
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
    static QString BirthDateSql(const QString &from, const QString &to);
    static QString BirthDateCriteria(const QString &from, const QString &to);

private:
    void Edit1Change();
    void Edit2Change();
    void Button1Click();
    void Button2Click();
    void Button4Click();
    void ShowList(const QString &sql, const QString &criteria);

    std::unique_ptr<Ui::TForm17> ui;
};
