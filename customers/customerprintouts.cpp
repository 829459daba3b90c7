#include "customers/customerprintouts.h"
#include "ui_customerprintouts.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/customerfields.h"
#include "data/practice/appstate.h"
#include "data/work/customerid.h"
#include "data/db/dataset.h"
#include "reports/reportengine.h"
#include <QDir>

TForm22 *Form22 = nullptr;

TForm22::TForm22(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm22>())
{
    ui->setupUi(this);
    setupDialog(this);
    NoDefaultButton(this);

    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    auto project = [this](const char *name) {
        auto *p = new ReportProject(this);
        p->setObjectName(QLatin1String(name));
        p->addConnection(QStringLiteral("RvDataSetConnection7"), ADOQuery1);
        return p;
    };
    RvProject5 = project("RvProject5");
    RvProject7 = project("RvProject7");
    RvProject9 = project("RvProject9");

    const QString one = QStringLiteral(" WHERE ID=");
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] {
                Print(RvProject5, DataStatement() + ListCriteria, QStringLiteral("STOIXEIA.RAV"));
            }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this, one] {
                Print(RvProject5, DataStatement() + one + CustomerRef::require(CustomerId).text(), QStringLiteral("STOIXEIA.RAV"));
            }));
    connect(ui->Button8, &QPushButton::clicked, this, guarded([this] {
                Print(RvProject7, HistoryStatement() + ListCriteria, QStringLiteral("ISTORIKO.RAV"));
            }));
    connect(ui->Button9, &QPushButton::clicked, this, guarded([this, one] {
                Print(RvProject7, HistoryStatement() + one + CustomerRef::require(CustomerId).text(), QStringLiteral("ISTORIKO.RAV"));
            }));
    connect(ui->Button10, &QPushButton::clicked, this, guarded([this] {
                Print(RvProject9, ListSql, QStringLiteral("LIST.RAV"));
            }));
    connect(ui->Button3, &QPushButton::clicked, this, &QDialog::reject);
}

TForm22::~TForm22() = default;

QString TForm22::DataStatement() const
{
    return QStringLiteral("SELECT ID, ONOMA, EPWNYMO, FYLO, HMEROMHNIA_GENNHSEWS, THLEFWNO_1, THLEFWNO_2, "
                          "DIEYTHYNSH, EPAGGELMA, TAMEIO FROM STOIXEIA_PELATH ");
}

QString TForm22::HistoryStatement() const
{
    return QStringLiteral("SELECT ID, ONOMA, EPWNYMO, FYLO, HMEROMHNIA_GENNHSEWS, THLEFWNO_1, THLEFWNO_2, "
                          "DIEYTHYNSH, EPAGGELMA, TAMEIO, ISTORIKO FROM STOIXEIA_PELATH ");
}

// A failed print leaves the query and the connection open; the window's
// closing closes them.
void TForm22::Print(ReportProject *project, const QString &statement, const QString &reportFile)
{
    ADOConnection1.prepare();
    ADOQuery1->close();
    ADOQuery1->setSql(statement);
    ADOQuery1->open();
    project->setProjectFile(AppDirectory + QDir::separator() + reportFile);
    project->execute();
    ADOQuery1->close();
    ADOQuery1->setSql(QString());
    ADOConnection1.close();
}

void TForm22::FormClose()
{
    ADOQuery1->close();
    ADOConnection1.close();
}
