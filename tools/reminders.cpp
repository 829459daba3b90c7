#include "tools/reminders.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "data/db/dataset.h"
#include "data/work/reminders.h"
#include "ui_reminders.h"
#include <QHeaderView>

TForm11::TForm11(QWidget *parent)
    : FormDialog(parent), ADOTable1(new DataSet(&ADOConnection1, this)), ui(std::make_unique<Ui::TForm11>())
{
    ui->setupUi(this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));
    setupDialog(this);
    makeBold(ui->Label1);
    makeBold(ui->Label2);
    makeRequiredMark(ui->Label3);
    QPalette red = ui->Label4->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    ui->Label4->setPalette(red);

    ui->DBGrid1->setDataSet(ADOTable1);
    ui->DBGrid1->addColumn(QStringLiteral("HMEROMHNIA"), QStringLiteral("Ημερομηνία"), Qt::AlignCenter);
    ui->DBGrid1->setCtrlDeleteEnabled(true);
    ui->DBGrid1->horizontalHeader()->setStretchLastSection(true);
    ui->DBEdit1->setDataSource(ADOTable1, QStringLiteral("HMEROMHNIA"));
    ui->DBMemo1->setDataSource(ADOTable1, QStringLiteral("PERIGRAFH"));
    ui->DBNavigator1->setDataSet(ADOTable1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next,
                                         DbNavigator::Last, DbNavigator::Insert, DbNavigator::Delete,
                                         DbNavigator::Post});
    connect(ui->Button1, &QPushButton::clicked, this, [this] { reject(); });
}

TForm11::~TForm11() = default;

void TForm11::FormShow()
{
    ADOConnection1.prepare();
    Reminders::openList(*ADOTable1);   // on the newest reminder
}

void TForm11::FormClose()
{
    ADOTable1->close();
    ADOConnection1.close();
}
