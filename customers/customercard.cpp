#include "customers/customercard.h"
#include "data/work/accesslog.h"
#include "ui_customercard.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/customerfields.h"
#include "data/work/customers.h"
#include "data/work/gesy.h"
#include "data/db/dberror.h"
#include "data/db/dataset.h"

TForm19::TForm19(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm19>())
{
    ui->setupUi(this);
    setupDialog(this);
    NoDefaultButton(this);

    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    SetupCustomerFields(ui.get(), ADOQuery1);
    ui->DBNavigator1->setDataSet(ADOQuery1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::Post});
    ui->DBEdit6->setDataSource(ADOQuery1, QStringLiteral("GESY_ARITHMOS"));
    for (auto signal : {&DataSet::dataReset, &DataSet::currentChanged})
        connect(ADOQuery1, signal, this, [this] { ShowGesy(); });
    connect(ui->CheckBox1, &QCheckBox::clicked, this, guarded([this] {
                const bool on = ui->CheckBox1->isChecked();
                ADOQuery1->setFieldValue(QStringLiteral("GESY_DIKAIOUXOS"), on);
                ui->DBEdit6->setEnabled(on);
            }));
    // After the edits have handed over their text.
    connect(ADOQuery1, &DataSet::updateRecord, this, [this] {
        const QString problem = Gesy::beneficiaryProblem(ADOQuery1->fieldValue(QStringLiteral("GESY_DIKAIOUXOS")).toBool(),
                                                         ADOQuery1->fieldText(QStringLiteral("GESY_ARITHMOS")));
        if (!problem.isEmpty())
            throw DbError(problem);
    });

    connect(ui->DateTimePicker1, &QDateEdit::dateChanged, this, guarded([this] { DateTimePicker1Change(); }));
    connect(ui->DBNavigator1, &DbNavigator::clicked, this, guarded([this] { DBNavigator1Click(); }));
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);
}

TForm19::~TForm19() = default;

void TForm19::FormShow()
{
    const CustomerRef customer = CustomerRef::require(CustomerId);
    ADOConnection1.prepare();
    Customers::openCard(*ADOQuery1, customer);
    AccessLog::recordLater(ADOConnection1, AccessLog::Action::Open, customer.value(), QStringLiteral("Καρτέλα πελάτη"));
    ADOQuery1->edit();
}

void TForm19::DateTimePicker1Change()
{
    PutPickedBirthDate(ui->DateTimePicker1->date(), ui->DBEdit3, ADOQuery1);
}

void TForm19::DBNavigator1Click()
{
    // Post is the only button: once stored, the row is ready for more changes.
    if (ADOQuery1->state() == DataSetState::Browse && !ADOQuery1->isEmpty())
        ADOQuery1->edit();
}

void TForm19::ShowGesy()
{
    const bool on = ADOQuery1->isOpen() && !ADOQuery1->isEmpty() && ADOQuery1->fieldValue(QStringLiteral("GESY_DIKAIOUXOS")).toBool();
    ui->CheckBox1->setChecked(on);
    ui->DBEdit6->setEnabled(on);
}

void TForm19::FormClose()
{
    ADOQuery1->close();
    ADOConnection1.close();
}
