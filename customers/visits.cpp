#include "customers/visits.h"
#include "data/work/accesslog.h"
#include "ui_visits.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/customerfields.h"
#include "data/practice/appstate.h"
#include "data/work/gesy.h"
#include "data/work/visits.h"
#include "data/db/dataset.h"
#include "data/db/dberror.h"

TFORM17A::TFORM17A(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TFORM17A>())
{
    ui->setupUi(this);
    setupDialog(this);
    NoDefaultButton(this);
    for (QWidget *l : {ui->Label1, ui->Label2, ui->Label3, ui->Label4, ui->Label9})
        makeBold(l);
    for (QWidget *l : {ui->Label5, ui->Label6, ui->Label7, ui->Label8, ui->Label11, ui->Label10})
        makeRequiredMark(l);

    ADOTable1 = new DataSet(&ADOConnection1, this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));
    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));

    ui->DBEdit1->setDataSource(ADOTable1, QStringLiteral("HMEROMHNIA"));
    ui->DBEdit2->setDataSource(ADOTable1, QStringLiteral("AITIA"));
    ui->DBEdit3->setDataSource(ADOTable1, QStringLiteral("PERIGRAFH"));
    ui->DBEdit4->setDataSource(ADOTable1, QStringLiteral("ID"));
    ui->DBNavigator1->setDataSet(ADOTable1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::Post});

    ui->DBGrid1->setDataSet(ADOQuery1);
    ui->DBGrid1->addColumn(QStringLiteral("HMEROMHNIA"), QStringLiteral("Ημερομηνία"), Qt::AlignCenter);
    ui->DBGrid1->addColumn(QStringLiteral("AITIA"), QStringLiteral("Αιτία"));
    ui->DBGrid1->addColumn(QStringLiteral("PERIGRAFH"), QStringLiteral("Περιγραφή"));
    ui->DBGrid1->addColumn(QStringLiteral("GESY_PROLHPSH"), QStringLiteral("Πρόληψη ΓεΣΥ"));
    ui->DBNavigator2->setDataSet(ADOQuery1);
    ui->DBNavigator2->setVisibleButtons(
        {DbNavigator::First, DbNavigator::Prior, DbNavigator::Next, DbNavigator::Last, DbNavigator::Delete});

    connect(ADOTable1, &DataSet::updateRecord, this, [this] { DataSource1UpdateData(); });
    connect(ui->DBNavigator1, &DbNavigator::clicked, this, guarded([this] { DBNavigator1Click(); }));
    connect(ui->DBNavigator2, &DbNavigator::clicked, this, guarded([this] { RefreshCount(); }));
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);

    runGuarded([this] { FormCreate(); });
}

TFORM17A::~TFORM17A() = default;

void TFORM17A::FormCreate()
{
    ADOConnection1.setConnectionString(DbConnectionString);
    ADOConnection1.setCommandTimeout(0);
    ADOConnection1.setConnectionTimeout(0);
    ADOConnection1.open();
    Visits::openForEntry(*ADOTable1);
}

void TFORM17A::FormShow()
{
    // Opening refused or failed, and said so already: nothing to show.
    if (!ADOTable1->isOpen())
        return;
    ui->Label5->setText(CustomerFirstName);
    ui->Label6->setText(CustomerSurname);
    // Without a customer no visit row is started: nothing can be stored.
    const CustomerRef customer = CustomerRef::require(CustomerId);
    StartNewVisit();
    Visits::assign(*ADOTable1, customer);
    Visits::openList(*ADOQuery1, customer);
    AccessLog::recordLater(ADOConnection1, AccessLog::Action::Open, customer.value(), QStringLiteral("Επισκέψεις"));
    RefreshCount();
}

void TFORM17A::RefreshCount()
{
    ui->Label10->setText(QStringLiteral("Βρέθηκαν ") + QString::number(ADOQuery1->recordCount())
                         + QStringLiteral(" επισκέψεις"));
}

void TFORM17A::StartNewVisit()
{
    if (ADOTable1->isOpen())
        ADOTable1->append();
}

// A free GESY visit carries its kind and no amount; one the rule refuses
// keeps the row in editing for correcting.
void TFORM17A::DataSource1UpdateData()
{
    const CustomerRef customer = CustomerRef::require(CustomerId);
    Visits::assign(*ADOTable1, customer);
    const auto kind = Gesy::Kind(ui->ComboBox1->currentIndex());
    const QString code = Gesy::code(kind);
    ADOTable1->setFieldValue(QStringLiteral("GESY_PROLHPSH"), code.isEmpty() ? QVariant() : QVariant(code));
    const QString problem = Gesy::visitProblem(ADOConnection1, customer, kind, ADOTable1->fieldValue(QStringLiteral("HMEROMHNIA")).toDate());
    if (!problem.isEmpty())
        throw DbError(problem);
}

void TFORM17A::DBNavigator1Click()
{
    ui->ComboBox1->setCurrentIndex(0);
    ADOQuery1->close();
    ADOQuery1->open();
    RefreshCount();
    StartNewVisit();
}

void TFORM17A::FormClose()
{
    ADOTable1->close();
    ADOQuery1->close();
    ADOConnection1.close();
}
