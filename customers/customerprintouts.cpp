#include "customers/customerprintouts.h"
#include "ui_customerprintouts.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/customerfields.h"
#include "data/practice/appstate.h"
#include "data/practice/roles.h"
#include "data/work/customers.h"
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
        p->logCustomers(QStringLiteral("RvDataSetConnection7"));
        return p;
    };
    RvProject5 = project("RvProject5");
    RvProject7 = project("RvProject7");
    RvProject9 = project("RvProject9");

    using Customers::Printout;
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] {
                Print(RvProject5, Customers::printoutSql(Printout::Data, ListCriteria), QStringLiteral("STOIXEIA.RAV"));
            }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] {
                Print(RvProject5, Customers::printoutSql(Printout::Data, CustomerRef::require(CustomerId)), QStringLiteral("STOIXEIA.RAV"));
            }));
    connect(ui->Button8, &QPushButton::clicked, this, guarded([this] {
                Print(RvProject7, Customers::printoutSql(Printout::History, ListCriteria), QStringLiteral("ISTORIKO.RAV"));
            }));
    connect(ui->Button9, &QPushButton::clicked, this, guarded([this] {
                Print(RvProject7, Customers::printoutSql(Printout::History, CustomerRef::require(CustomerId)), QStringLiteral("ISTORIKO.RAV"));
            }));
    connect(ui->Button10, &QPushButton::clicked, this, guarded([this] {
                Print(RvProject9, ListSql, QStringLiteral("LIST.RAV"));
            }));
    connect(ui->Button3, &QPushButton::clicked, this, &QDialog::reject);
}

TForm22::~TForm22() = default;

// The histories are printed only for the roles that may read them.
void TForm22::FormShow()
{
    const bool clinical = Roles::allowed(Roles::Duty::Clinical);
    ui->Button8->setVisible(clinical);
    ui->Button9->setVisible(clinical);
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
