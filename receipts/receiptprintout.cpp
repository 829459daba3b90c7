#include "receipts/receiptprintout.h"
#include "ui_receiptprintout.h"

#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/work/receipts.h"
#include "data/work/settings.h"
#include "reports/reportengine.h"

#include <QDir>

TForm72 *Form72 = nullptr;

TForm72::TForm72(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm72>()), ADOConnection1(std::make_unique<DbConnection>())
{
    ui->setupUi(this);

    ADOQuery1 = new DataSet(ADOConnection1.get(), this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    ADOTable1 = new DataSet(ADOConnection1.get(), this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));

    RvProject69 = new ReportProject(this);
    RvProject69->setObjectName(QStringLiteral("RvProject69"));
    RvProject69->addConnection(QStringLiteral("RvDataSetConnection69"), ADOQuery1);
    RvProject69->logCustomers(QStringLiteral("RvDataSetConnection69"), QStringLiteral("PELATHS"));
    RvProject69->addConnection(QStringLiteral("RvDataSetConnection179INFORMAAP"), ADOTable1);

    // Set up, not opened: each print opens it.
    ADOConnection1->close();
    ADOConnection1->setConnectionString(DbConnectionString);
    ADOConnection1->setCommandTimeout(0);
    ADOConnection1->setConnectionTimeout(0);
}

TForm72::~TForm72() = default;

void TForm72::PrintReceipt()
{
    ADOConnection1->close();
    ADOConnection1->setConnectionString(DbConnectionString);
    ADOConnection1->setCommandTimeout(0);
    ADOConnection1->setConnectionTimeout(0);

    ADOConnection1->close();
    ADOConnection1->open();

    // Left closed: the report engine opens it when it reads the receipt.
    ADOQuery1->close();
    ADOQuery1->setSql(QString());
    Receipts::setPrintout(*ADOQuery1, ReceiptNumber);

    ADOTable1->close();
    Settings::openPracticeDetails(*ADOTable1);

    RvProject69->setProjectFile(AppDirectory + QDir::separator() + QStringLiteral("APODEIKSEIS.RAV"));
    RvProject69->execute();

    ADOTable1->close();
    ADOQuery1->close();
    ADOQuery1->setSql(QString());
    ADOConnection1->close();
}
