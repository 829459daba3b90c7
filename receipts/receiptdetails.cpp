#include "receipts/receiptdetails.h"
#include "ui_receiptdetails.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/work/settings.h"
#include "receipts/receiptprintout.h"

TForm73::TForm73(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm73>()), ADOConnection1(std::make_unique<DbConnection>())
{
    ui->setupUi(this);
    setupDialog(this);
    for (QWidget *label : {ui->Label1, ui->Label2, ui->Label3, ui->Label4, ui->Label5, ui->Label6, ui->Label7})
        makeBold(label);
    makeRequiredMark(ui->Label8);

    ADOTable1 = new DataSet(ADOConnection1.get(), this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));
    const struct {
        DbEdit *edit;
        const char *field;
    } bindings[] = {{ui->DBEdit1, "TITLE"}, {ui->DBEdit2, "ADDRESS1"}, {ui->DBEdit3, "ADDRESS2"}, {ui->DBEdit4, "PHONE"}, {ui->DBEdit5, "FAX"}, {ui->DBEdit6, "WEBSITE"}, {ui->DBEdit7, "EMAIL"}, {ui->DBEdit8, "AFT"}};
    for (const auto &b : bindings)
        b.edit->setDataSource(ADOTable1, QLatin1String(b.field));
    ui->DBNavigator1->setDataSet(ADOTable1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::Post});

    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);

    // FormCreate: its time-outs are those of the start-up convention already.
    runGuarded([this] {
        ADOConnection1->setConnectionString(DbConnectionString);
        ADOConnection1->setCommandTimeout(0);
        ADOConnection1->setConnectionTimeout(0);
        ADOConnection1->open();
        Settings::openPracticeDetails(*ADOTable1);
    });
}

TForm73::~TForm73() = default;

void TForm73::Button2Click()
{
    // Reconnecting drops what was typed but not posted: the sample shows the
    // stored details, as every real receipt will.
    ADOTable1->close();
    ADOConnection1->close();
    ADOConnection1->setConnectionString(DbConnectionString);
    ADOConnection1->open();
    Settings::openPracticeDetails(*ADOTable1);

    // The printout lives for the whole run; a stand-in serves when this
    // window is used on its own.
    std::unique_ptr<TForm72> standIn;
    TForm72 *printout = Form72;
    if (!printout) {
        standIn = std::make_unique<TForm72>(this);
        printout = standIn.get();
    }
    printout->ReceiptNumber = QStringLiteral("0").toLongLong();
    printout->PrintReceipt();
}

void TForm73::FormClose()
{
    ADOTable1->close();
    ADOConnection1->close();
}
