#pragma once
#include <QDialog>
#include <memory>

class DataSet;
class DbConnection;
class ReportProject;
namespace Ui {
class TForm72;
}

// The receipt printout: created once at start-up and never shown; it holds
// the receipt query, the practice details and the report project of
// APODEIKSEIS.RAV. Callers set ReceiptNumber, then call PrintReceipt.
class TForm72 : public QDialog {
    Q_OBJECT
public:
    explicit TForm72(QWidget *parent = nullptr);
    ~TForm72() override;

    qint64 ReceiptNumber = 0;   // receipt numbers go past 2^31

    // Prints the receipt numbered ReceiptNumber; with no such receipt the
    // practice details print alone. Database and report errors reach the caller.
    void PrintReceipt();

private:
    std::unique_ptr<Ui::TForm72> ui;
    std::unique_ptr<DbConnection> ADOConnection1;
    DataSet *ADOQuery1 = nullptr;
    DataSet *ADOTable1 = nullptr;
    ReportProject *RvProject69 = nullptr;
};

// The receipt printout made at start-up (never shown); the receipt windows
// print through it, or through one of their own when there is none.
extern TForm72 *Form72;
