#include "expenses/expensesreport.h"

#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/practice/appstate.h"
#include "gui/dbcontrols.h"
#include "gui/dbgrid.h"
#include "gui/dbnavigator.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "reports/reportengine.h"
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString WrongCriteria = QStringLiteral("Λανθασμένα κριτήρια.");
}

void ExpensesReport::setUp(const Controls &controls, const Report &report)
{
    m_c = controls;
    m_file = report.file;
    m_refusalClears = report.refusalClears;
    // Bold captions; the totals box passes its bold font to its captions.
    for (QWidget *w : std::initializer_list<QWidget *>{m_c.Label1, m_c.Label2, m_c.GroupBox1})
        makeBold(w);
    for (QWidget *w : {m_c.Label3, m_c.Label4})
        makeRequiredMark(w);

    // Set up once for the run; each search opens the connection afresh.
    ADOConnection1.setConnectionString(DbConnectionString);
    ADOConnection1.setCommandTimeout(0);
    ADOConnection1.setConnectionTimeout(0);

    DataSet **queries[] = {&ADOQuery1, &ADOQuery2, &ADOQuery3, &ADOQuery4};
    for (int i = 0; i < 4; ++i) {
        *queries[i] = new DataSet(&ADOConnection1, this);
        (*queries[i])->setObjectName(QStringLiteral("ADOQuery%1").arg(i + 1));
    }

    m_project = new ReportProject(this);
    m_project->setObjectName(QLatin1String(report.project));
    m_project->addConnection(QLatin1String(report.listConnection), ADOQuery3);
    m_project->addConnection(QLatin1String(report.totalsConnection), ADOQuery4);

    m_c.DBGrid1->setDataSet(ADOQuery1);
    for (const Column &c : report.columns)
        m_c.DBGrid1->addColumn(QLatin1String(c.field), c.title, c.alignment);
    m_c.DBNavigator1->setDataSet(ADOQuery1);
    m_c.DBNavigator1->setVisibleButtons(
        {DbNavigator::First, DbNavigator::Prior, DbNavigator::Next, DbNavigator::Last});

    m_c.DBText1->setDataSource(ADOQuery2, QStringLiteral("AKSIA"));
    m_c.DBText2->setDataSource(ADOQuery2, QStringLiteral("VAT"));
    m_c.DBText3->setDataSource(ADOQuery2, QStringLiteral("SYNOLO"));

    connect(m_c.Edit1, &QLineEdit::textChanged, this, guarded([this] { UpdateSearchButton(); }));
    connect(m_c.Edit2, &QLineEdit::textChanged, this, guarded([this] { UpdateSearchButton(); }));
    connect(m_c.Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(m_c.Button3, &QPushButton::clicked, this, guarded([this] { Button3Click(); }));
    connect(m_c.Button2, &QPushButton::clicked, this, &QDialog::reject);

    m_c.Button3->setEnabled(false);
    UpdateSearchButton();
}

ExpensesReport::~ExpensesReport()
{
    // The queries go before the connection they read through.
    delete m_project;
    for (DataSet *q : {ADOQuery1, ADOQuery2, ADOQuery3, ADOQuery4})
        delete q;
}

void ExpensesReport::UpdateSearchButton()
{
    m_c.Button1->setEnabled(HasNoSpecialChars(m_c.Edit1->text().trimmed())
                            && HasNoSpecialChars(m_c.Edit2->text().trimmed()));
}

void ExpensesReport::refuse()
{
    m_c.Button3->setEnabled(false);
    Messages::plain(WrongCriteria, this);
}

void ExpensesReport::Button1Click()
{
    ADOConnection1.close();
    ADOConnection1.open();
    m_c.Button3->setEnabled(true);

    if (!takeCriteria(m_c.Edit1->text().trimmed(), m_c.Edit2->text().trimmed())) {
        if (m_refusalClears) {
            ADOQuery1->close();
            ADOQuery2->close();
        }
        refuse();
        return;
    }
    try {
        fill(*ADOQuery1, *ADOQuery2);
    } catch (const DbError &) {
        refuse();
    }
}

void ExpensesReport::Button3Click()
{
    // The criteria of the last search, whatever the edits hold now.
    for (DataSet *q : {ADOQuery3, ADOQuery4}) {
        q->close();
        q->setSql(QString());
    }
    fill(*ADOQuery3, *ADOQuery4);

    m_project->setProjectFile(QDir::toNativeSeparators(AppDirectory + QLatin1Char('/') + m_file));
    m_project->execute();

    for (DataSet *q : {ADOQuery3, ADOQuery4}) {
        q->close();
        q->setSql(QString());
    }
}

void ExpensesReport::FormClose()
{
    // The next opening starts with empty criteria and nothing on screen.
    ADOQuery1->close();
    ADOQuery2->close();
    ADOConnection1.close();
    m_c.Edit1->clear();
    m_c.Edit2->clear();
    m_c.Button3->setEnabled(false);
}
