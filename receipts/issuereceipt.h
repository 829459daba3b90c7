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

    // An amount as statement text: a point, at most 15 significant digits,
    // no exponent, no trailing zeros (12.5, 7.315925, 29.2637).
    static QString StatementNumber(double value);
    // A text from a stored row between apostrophes, its own apostrophes doubled.
    static QString Quoted(const QString &text);

    // One receipt as the entry stores it.
    struct Entry {
        QString number;       // the counter's value, as digits
        QString customerId;   // as digits
        double amount = 0;
        QString firstName, surname, description, fund;
    };
    // Stores the taking, the receipt and the counter's step as one unit of
    // work: all three or none (DbError). A number issued meanwhile by
    // another copy of the program is refused.
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
