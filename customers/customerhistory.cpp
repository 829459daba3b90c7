#include "customers/customerhistory.h"
#include "data/work/accesslog.h"
#include "ui_customerhistory.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/customerfields.h"
#include "data/work/customers.h"
#include "data/db/dataset.h"

TForm20::TForm20(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm20>())
{
    ui->setupUi(this);
    setupDialog(this);
    NoDefaultButton(this);
    for (QWidget *l : {ui->Label1, ui->Label2, ui->Label3, ui->Label4})
        makeBold(l);
    for (QWidget *l : {ui->Label5, ui->Label6, ui->Label7})
        makeRequiredMark(l);

    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    ui->DBMemo1->setDataSource(ADOQuery1, QStringLiteral("ISTORIKO"));
    ui->DBNavigator1->setDataSet(ADOQuery1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::Post});
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);
}

TForm20::~TForm20() = default;

void TForm20::FormShow()
{
    const CustomerRef customer = CustomerRef::require(CustomerId);
    ADOConnection1.prepare();
    Customers::openHistory(*ADOQuery1, customer);
    AccessLog::recordLater(ADOConnection1, AccessLog::Action::Open, customer.value(), QStringLiteral("Ιστορικό"));
    ui->Label7->setText(CustomerBirthDate);
    ui->Label6->setText(CustomerSurname);
    ui->Label5->setText(CustomerFirstName);
}

void TForm20::FormClose()
{
    ADOQuery1->close();
    ADOConnection1.close();
}
