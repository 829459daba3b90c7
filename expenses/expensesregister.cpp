#include "expenses/expensesregister.h"
#include "ui_expensesregister.h"

#include "gui/formstyle.h"
#include "data/db/dataset.h"
#include "data/work/expenses.h"

TForm13::TForm13(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm13>())
{
    ui->setupUi(this);
    setupDialog(this);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->Label1, ui->Label2, ui->Label3, ui->Label4})
        makeBold(w);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->Label5, ui->Label6, ui->Label7, ui->Label8})
        makeRequiredMark(w);

    ADOTable1 = new DataSet(&ADOConnection1, this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));

    ui->DBEdit1->setDataSource(ADOTable1, QStringLiteral("HMEROMHNIA"));
    ui->DBEdit2->setDataSource(ADOTable1, QStringLiteral("POSO"));
    ui->DBEdit3->setDataSource(ADOTable1, QStringLiteral("VAT"));
    ui->DBEdit4->setDataSource(ADOTable1, QStringLiteral("PERIGRAFH"));

    ui->DBNavigator1->setDataSet(ADOTable1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next,
                                         DbNavigator::Last, DbNavigator::Insert, DbNavigator::Delete,
                                         DbNavigator::Post});

    ui->DBGrid1->setDataSet(ADOTable1);
    ui->DBGrid1->addColumn(QStringLiteral("PERIGRAFH"), QStringLiteral("Περιγραφή"));
    ui->DBGrid1->addColumn(QStringLiteral("HMEROMHNIA"), QStringLiteral("Ημερομηνία"), Qt::AlignCenter);
    ui->DBGrid1->addColumn(QStringLiteral("POSO"), QStringLiteral("Ποσό (EUR)"),
                           Qt::AlignRight | Qt::AlignVCenter);
    ui->DBGrid1->addColumn(QStringLiteral("VAT"), QStringLiteral("Φ.Π.Α (EUR)"),
                           Qt::AlignRight | Qt::AlignVCenter);
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);

    ADOConnection1.prepare();
    Expenses::openRegister(*ADOTable1);
}

TForm13::~TForm13()
{
    // The data set goes before the connection it reads through.
    delete ADOTable1;
    ADOTable1 = nullptr;
}

void TForm13::FormClose()
{
    // An expense not yet posted is dropped, not stored.
    ADOTable1->close();
    ADOConnection1.close();
}
