#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <QString>
#include <memory>
#include <optional>

class DataSet;
namespace Ui {
class TForm71;
}

// "Αποδείξεις που εκδόθηκαν": every receipt ever issued, valid and
// cancelled, with reprint and cancellation of a valid one. A cancelled
// receipt stays listed; its taking is deleted.
class TForm71 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm71(QWidget *parent = nullptr);
    ~TForm71() override;

    DataSet *ADOQuery1 = nullptr;   // the receipts

    // Keeps both actions in step with the current row's validity.
    void UpdateReceiptButtons();
    // Cancels receipt number (digits) through Receipts::cancel.
    static void CancelReceipt(DbConnection &conn, const QString &number);
    void Button1Click();   // cancel the receipt
    void Button2Click();   // print it again

protected:
    void FormClose() override;

private:
    std::optional<qint64> CurrentNumber() const;
    void FormShow() override;
    void SortClick(const QString &sort);

    std::unique_ptr<Ui::TForm71> ui;
    DbConnection ADOConnection1;
};
