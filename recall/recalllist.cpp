#include "recall/recalllist.h"
#include "ui_recalllist.h"

#include "gui/customerfields.h"
#include "customers/customerlist.h"
#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "data/work/customers.h"
#include "data/work/gesy.h"
#include "data/work/recall.h"
#include "data/db/dataset.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "reports/reportengine.h"
#include <QDir>
#include <QShowEvent>

TForm81::TForm81(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm81>())
{
    ui->setupUi(this);
    setupDialog(this);
    NoDefaultButton(this);
    ui->Button1->setDefault(true);
    makeBold(ui->Label2);
    QPalette red = ui->Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    ui->Label1->setPalette(red);
    makeBold(ui->Label1);

    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    ADOQuery2 = new DataSet(&ADOConnection1, this);
    ADOQuery2->setObjectName(QStringLiteral("ADOQuery2"));

    DbGrid *g = ui->DBGrid1;
    g->setDataSet(ADOQuery1);
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    g->addColumn(QStringLiteral("EPWNYMO"), QStringLiteral("Επώνυμο"), left);
    g->addColumn(QStringLiteral("ONOMA"), QStringLiteral("Όνομα"), left);
    g->addColumn(QStringLiteral("THLEFWNO_1"), QStringLiteral("Τηλέφωνο 1"), left);
    g->addColumn(QStringLiteral("THLEFWNO_2"), QStringLiteral("Τηλέφωνο 2"), left);
    g->addColumn(QStringLiteral("TELEYTAIA_EPISKEPSH"), QStringLiteral("Τελευταία επίσκεψη"), Qt::AlignCenter);
    g->addColumn(QStringLiteral("MHNES"), QStringLiteral("Μήνες"), Qt::AlignCenter);
    g->addColumn(QStringLiteral("GESY_ARITHMOS"), QStringLiteral("Αρ. ΓεΣΥ"), left);
    g->setColumnHidden(6, true);
    ADOQuery3 = new DataSet(&ADOConnection1, this);
    ADOQuery3->setObjectName(QStringLiteral("ADOQuery3"));
    ADOQuery4 = new DataSet(&ADOConnection1, this);
    ADOQuery4->setObjectName(QStringLiteral("ADOQuery4"));
    ui->SpinEdit2->setValue(Clock::today().year());

    RvProject1 = new ReportProject(this);
    RvProject1->setObjectName(QStringLiteral("RvProject1"));
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection1"), ADOQuery2);
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection2"), ADOQuery1);
    RvProject1->logCustomers(QStringLiteral("RvDataSetConnection2"));

    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    RvProject2 = new ReportProject(this);
    RvProject2->setObjectName(QStringLiteral("RvProject2"));
    RvProject2->addConnection(QStringLiteral("RvDataSetConnection1"), ADOQuery2);
    RvProject2->addConnection(QStringLiteral("RvDataSetConnection3"), ADOQuery3);
    RvProject2->addConnection(QStringLiteral("RvDataSetConnection4"), ADOQuery4);
    RvProject2->logCustomers(QStringLiteral("RvDataSetConnection4"));

    connect(ui->Button3, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->Button4, &QPushButton::clicked, this, guarded([this] { Button4Click(); }));
    connect(ui->CheckBox1, &QCheckBox::toggled, this, guarded([this] { Button1Click(); }));
    connect(g, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { runGuarded([&] { DBGrid1DblClick(index.row()); }); });
}

TForm81::~TForm81() = default;

QString TForm81::RecallSql(int months, const QDate &today) { return Recall::listSql(months, today); }

void TForm81::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        runGuarded([this] { FormShow(); });
}

void TForm81::FormShow()
{
    ADOConnection1.prepare();
    Button1Click();
}

void TForm81::Button1Click()
{
    const bool gesy = ui->CheckBox1->isChecked();
    if (gesy)
        Gesy::openDue(*ADOQuery1, Clock::today());
    else
        Recall::open(*ADOQuery1, ui->SpinEdit1->value(), Clock::today());
    ui->DBGrid1->setColumnHidden(5, gesy);
    ui->DBGrid1->setColumnHidden(6, !gesy);
    ui->SpinEdit1->setEnabled(!gesy);
    ui->Label1->setText(QStringLiteral("Βρέθηκαν ") + QString::number(ADOQuery1->recordCount())
                        + QStringLiteral(" πελάτες"));
    // The printout is of the months' list only.
    ui->Button2->setEnabled(!gesy && ADOQuery1->recordCount() > 0);
}

void TForm81::Button2Click()
{
    Recall::openPrintout(*ADOQuery2);
    RvProject1->setValue(QStringLiteral("MONTHS"), QString::number(ui->SpinEdit1->value()));
    RvProject1->setProjectFile(AppDirectory + QDir::separator() + QStringLiteral("ANAKLHSH.RAV"));
    RvProject1->execute();
}

void TForm81::Button4Click()
{
    Recall::openPrintout(*ADOQuery2);
    Gesy::openMonthly(*ADOQuery3, *ADOQuery4, ui->SpinEdit2->value());
    RvProject2->setValue(QStringLiteral("YEAR"), QString::number(ui->SpinEdit2->value()));
    RvProject2->setProjectFile(AppDirectory + QDir::separator() + QStringLiteral("GESY_MHNES.RAV"));
    RvProject2->execute();
}

void TForm81::DBGrid1DblClick(int row)
{
    if (!ADOQuery1->isOpen() || row < 0 || row >= ADOQuery1->recordCount())
        return;
    ADOQuery1->moveTo(row);
    const CustomerRef customer = CustomerRef::require(ADOQuery1->fieldText(QStringLiteral("ID")));
    if (!Form18)
        Form18 = new TForm18;
    const Customers::Search search = Customers::one(customer);
    Form18->ListCriteria = search.criteria;
    Form18->ListSql = search.sql;
    ShowModal(Form18);
}

void TForm81::done(int r)
{
    ADOQuery1->close();
    ADOQuery2->close();
    ADOQuery3->close();
    ADOQuery4->close();
    ADOConnection1.close();
    QDialog::done(r);
}
