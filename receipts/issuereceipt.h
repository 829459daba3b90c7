#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <QString>
#include <memory>

class DataSet;
namespace Ui {
class TForm56;
}

// "Έκδοση απόδειξης": records one payment of one customer and issues its
// numbered receipt in one action (the taking, the receipt, the counter),
// then prints it. Opened from the customer list, which sets the three
// customer fields first.
class TForm56 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm56(QWidget *parent = nullptr);
    ~TForm56() override;

    QString CustomerId;
    QString CustomerFirstName;
    QString CustomerSurname;
    // Done plan items to bill, set by the plan window before showing: the
    // amount and description are offered from them, the description as
    // the program wrote it, and issuing links the items to the receipt.
    QList<qint64> PlanItems;
    QString PlanAmount;
    QString PlanDescription;

    // An amount as the receipt's statements write it (Receipts::statementNumber).
    static QString StatementNumber(double value);

    // One receipt as texts, for callers that hold the counter and the
    // customer as the windows show them.
    struct Entry {
        QString number;       // the counter's value, as digits
        QString customerId;   // as digits
        double amount = 0;
        QString firstName, surname, description, fund;
        QList<qint64> planItems;   // done plan items this receipt bills
    };
    // Issues it through Receipts::issue: all three rows or none (DbError),
    // a number issued meanwhile by another copy of the program refused.
    static void StoreReceipt(DbConnection &conn, const Entry &entry);
    // The same, with the receiver's name as the window shows it.
    static void StoreReceipt(DbConnection &conn, const Entry &entry, const QString &fullName);

    void UpdateEntryButton();
    void Button1Click();   // the entry

protected:
    void FormClose() override;

private:
    void FormShow() override;
    void ClearInputs();
    void PrintIssued(qint64 receiptNumber);

    std::unique_ptr<Ui::TForm56> ui;
    DbConnection ADOConnection1;
    DataSet *ADOTable1 = nullptr;   // LAST_APODEIKSH
};
