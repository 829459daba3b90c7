#include "recall/recalllist.h"
#include "ui_recalllist.h"

#include "gui/customerfields.h"
#include "customers/customerlist.h"
#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "data/work/customers.h"
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

    RvProject1 = new ReportProject(this);
    RvProject1->setObjectName(QStringLiteral("RvProject1"));
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection1"), ADOQuery2);
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection2"), ADOQuery1);

    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    connect(ui->Button3, &QPushButton::clicked, this, &QDialog::reject);
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
    Recall::open(*ADOQuery1, ui->SpinEdit1->value(), Clock::today());
    ui->Label1->setText(QStringLiteral("Βρέθηκαν ") + QString::number(ADOQuery1->recordCount())
                        + QStringLiteral(" πελάτες"));
    ui->Button2->setEnabled(ADOQuery1->recordCount() > 0);
}

void TForm81::Button2Click()
{
    Recall::openPrintout(*ADOQuery2);
    RvProject1->setValue(QStringLiteral("MONTHS"), QString::number(ui->SpinEdit1->value()));
    RvProject1->setProjectFile(AppDirectory + QDir::separator() + QStringLiteral("ANAKLHSH.RAV"));
    RvProject1->execute();
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
    ADOConnection1.close();
    QDialog::done(r);
}
