#include "receipts/customertakings.h"
#include "data/work/accesslog.h"
#include "ui_customertakings.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "data/work/customerid.h"
#include "data/work/receipts.h"
#include "data/db/dataset.h"

TForm57::TForm57(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm57>())
{
    ui->setupUi(this);
    setupDialog(this);
    for (QWidget *w : {ui->Label1, ui->Label2, ui->Label5, ui->Label6})
        makeBold(w);
    for (QWidget *w : {ui->Label3, ui->Label4})
        makeRequiredMark(w);

    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    ADOQuery2 = new DataSet(&ADOConnection1, this);
    ADOQuery2->setObjectName(QStringLiteral("ADOQuery2"));

    DbGrid *g = ui->DBGrid1;
    g->setDataSet(ADOQuery1);
    g->addColumn(QStringLiteral("AR_APODEIKSHS"), QStringLiteral("Αριθμός απόδειξης"), Qt::AlignCenter);
    g->addColumn(QStringLiteral("HMEROMHNIA"), QStringLiteral("Ημερομηνία απόδειξης"), Qt::AlignCenter);
    g->addColumn(QStringLiteral("PERIGRAFH"), QStringLiteral("Περιγραφή"));
    g->addColumn(QStringLiteral("TAMEIO"), QStringLiteral("Ταμείο"));
    g->addColumn(QStringLiteral("POSO"), QStringLiteral("Ποσό (EUR)"), Qt::AlignRight | Qt::AlignVCenter);

    ui->DBNavigator1->setDataSet(ADOQuery1);
    ui->DBNavigator1->setVisibleButtons(
        {DbNavigator::First, DbNavigator::Prior, DbNavigator::Next, DbNavigator::Last});

    ui->DBText1->setDataSource(ADOQuery2, QStringLiteral("SYNOLO"));
    ui->DBText2->setDataSource(ADOQuery2, QStringLiteral("EISPRAKSH"));

    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);
}

TForm57::~TForm57() = default;

void TForm57::FormShow()
{
    ui->Label3->setText(CustomerFirstName);
    ui->Label4->setText(CustomerSurname);
    const CustomerRef customer = CustomerRef::require(CustomerId);
    ADOConnection1.prepare();
    Receipts::openTakings(*ADOQuery1, customer);
    AccessLog::recordLater(ADOConnection1, AccessLog::Action::Open, customer.value(), QStringLiteral("Εισπράξεις πελάτη"));
    Receipts::openTakingTotals(*ADOQuery2, customer);
}

void TForm57::FormClose()
{
    ADOQuery1->close();
    ADOQuery2->close();
    ADOConnection1.close();
}
