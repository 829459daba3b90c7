#include "customers/newcustomer.h"
#include "ui_newcustomer.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/customerfields.h"
#include "data/db/dataset.h"
#include "data/work/customers.h"

TForm16::TForm16(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm16>())
{
    ui->setupUi(this);
    setupDialog(this);
    NoDefaultButton(this);

    ADOTable1 = new DataSet(&ADOConnection1, this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));
    SetupCustomerFields(ui.get(), ADOTable1);
    ui->DBNavigator1->setDataSet(ADOTable1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::Insert, DbNavigator::Post});

    connect(ui->DateTimePicker1, &QDateEdit::dateChanged, this, guarded([this] { DateTimePicker1Change(); }));
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);

    // A database that cannot be opened is reported; the window still opens.
    runGuarded([this] { FormCreate(); });
}

TForm16::~TForm16() = default;

void TForm16::FormCreate()
{
    ADOConnection1.prepare();
    Customers::openForEntry(*ADOTable1);
    ADOTable1->insert();
}

void TForm16::DateTimePicker1Change()
{
    PutPickedBirthDate(ui->DateTimePicker1->date(), ui->DBEdit3, ADOTable1);
}

void TForm16::FormClose()
{
    // Whatever was not posted is dropped without a question.
    ADOTable1->close();
    ADOConnection1.close();
}
