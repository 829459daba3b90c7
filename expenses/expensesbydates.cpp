#include "expenses/expensesbydates.h"
#include "ui_expensesbydates.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "reports/reportengine.h"
#include <QDir>

TForm14 *Form14 = nullptr;

namespace {
const QString WrongCriteria = QStringLiteral("Λανθασμένα κριτήρια.");

DataSet *makeQuery(DbConnection *conn, QObject *owner, const char *name)
{
    auto *q = new DataSet(conn, owner);
    q->setObjectName(QLatin1String(name));
    return q;
}
}

QString TForm14::ListStatement(const QString &from, const QString &to)
{
    return QStringLiteral("SELECT Format(EKSODA.HMEROMHNIA,\"dd/mm/yyyy\") AS HMEROMHNIA, "
                          "Format(EKSODA.POSO,'0.00') AS AKSIA, Format(EKSODA.VAT,'0.00') AS VAT")
        + QStringLiteral(", Format((EKSODA.POSO+EKSODA.VAT),'0.00') AS SYNOLO, EKSODA.PERIGRAFH "
                         "FROM EKSODA WHERE EKSODA.HMEROMHNIA Between ")
        + from + QStringLiteral(" AND ") + to + QStringLiteral(" ORDER BY EKSODA.HMEROMHNIA ASC");
}

QString TForm14::TotalsStatement(const QString &from, const QString &to)
{
    return QStringLiteral("SELECT Format(SUM(EKSODA.POSO),'0.00') AS AKSIA, "
                          "Format(SUM(EKSODA.VAT),'0.00') AS VAT")
        + QStringLiteral(", Format(SUM((EKSODA.POSO+EKSODA.VAT)),'0.00') AS SYNOLO "
                         "FROM EKSODA WHERE EKSODA.HMEROMHNIA Between ")
        + from + QStringLiteral(" AND ") + to;
}

TForm14::TForm14(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm14>())
{
    ui->setupUi(this);
    setupDialog(this);
    // Bold captions; the totals box passes its bold font to its captions.
    for (QWidget *w : std::initializer_list<QWidget *>{ui->Label1, ui->Label2, ui->GroupBox1})
        makeBold(w);
    for (QWidget *w : {ui->Label3, ui->Label4})
        makeRequiredMark(w);

    // Set up once for the run; each search opens the connection afresh.
    ADOConnection1.setConnectionString(DbConnectionString);
    ADOConnection1.setCommandTimeout(0);
    ADOConnection1.setConnectionTimeout(0);

    ADOQuery1 = makeQuery(&ADOConnection1, this, "ADOQuery1");
    ADOQuery2 = makeQuery(&ADOConnection1, this, "ADOQuery2");
    ADOQuery3 = makeQuery(&ADOConnection1, this, "ADOQuery3");
    ADOQuery4 = makeQuery(&ADOConnection1, this, "ADOQuery4");

    RvProject3 = new ReportProject(this);
    RvProject3->setObjectName(QStringLiteral("RvProject3"));
    RvProject3->addConnection(QStringLiteral("RvDataSetConnection3"), ADOQuery3);
    RvProject3->addConnection(QStringLiteral("RvDataSetConnection4"), ADOQuery4);

    ui->DBGrid1->setDataSet(ADOQuery1);
    ui->DBGrid1->addColumn(QStringLiteral("PERIGRAFH"), QStringLiteral("Περιγραφή"));
    ui->DBGrid1->addColumn(QStringLiteral("HMEROMHNIA"), QStringLiteral("Ημερομηνία"), Qt::AlignCenter);
    ui->DBGrid1->addColumn(QStringLiteral("AKSIA"), QStringLiteral("Αξία (EUR)"),
                           Qt::AlignRight | Qt::AlignVCenter);
    ui->DBGrid1->addColumn(QStringLiteral("VAT"), QStringLiteral("Φ.Π.Α (EUR)"),
                           Qt::AlignRight | Qt::AlignVCenter);
    ui->DBGrid1->addColumn(QStringLiteral("SYNOLO"), QStringLiteral("Αξία + Φ.Π.Α (EUR)"),
                           Qt::AlignRight | Qt::AlignVCenter);
    ui->DBNavigator1->setDataSet(ADOQuery1);
    ui->DBNavigator1->setVisibleButtons(
        {DbNavigator::First, DbNavigator::Prior, DbNavigator::Next, DbNavigator::Last});

    ui->DBText1->setDataSource(ADOQuery2, QStringLiteral("AKSIA"));
    ui->DBText2->setDataSource(ADOQuery2, QStringLiteral("VAT"));
    ui->DBText3->setDataSource(ADOQuery2, QStringLiteral("SYNOLO"));

    connect(ui->Edit1, &QLineEdit::textChanged, this, guarded([this] { UpdateSearchButton(); }));
    connect(ui->Edit2, &QLineEdit::textChanged, this, guarded([this] { UpdateSearchButton(); }));
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button3, &QPushButton::clicked, this, guarded([this] { Button3Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);

    ui->Button3->setEnabled(false);
    UpdateSearchButton();
}

TForm14::~TForm14()
{
    // The queries go before the connection they read through.
    delete RvProject3;
    for (DataSet *q : {ADOQuery1, ADOQuery2, ADOQuery3, ADOQuery4})
        delete q;
}

void TForm14::UpdateSearchButton()
{
    ui->Button1->setEnabled(HasNoSpecialChars(ui->Edit1->text().trimmed())
                            && HasNoSpecialChars(ui->Edit2->text().trimmed()));
}

void TForm14::Button1Click()
{
    ADOConnection1.close();
    ADOConnection1.open();
    ui->Button3->setEnabled(true);

    ExpenseSearchFrom = ui->Edit1->text().trimmed();
    ExpenseSearchTo = ui->Edit2->text().trimmed();
    SqlDateLiteral(ExpenseSearchFrom);
    SqlDateLiteral(ExpenseSearchTo);
    if (ExpenseSearchFrom == QLatin1String("ERROR") || ExpenseSearchTo == QLatin1String("ERROR")) {
        ui->Button3->setEnabled(false);
        Messages::plain(WrongCriteria, this);
        return;
    }

    ADOQuery1->close();
    ADOQuery1->setSql(ListStatement(ExpenseSearchFrom, ExpenseSearchTo));
    ADOQuery2->close();
    ADOQuery2->setSql(TotalsStatement(ExpenseSearchFrom, ExpenseSearchTo));
    try {
        ADOQuery1->open();
        ADOQuery2->open();
    } catch (const DbError &) {
        ui->Button3->setEnabled(false);
        Messages::plain(WrongCriteria, this);
    }
}

void TForm14::Button3Click()
{
    // The range of the last search, whatever the edits hold now.
    ADOQuery3->close();
    ADOQuery3->setSql(QString());
    ADOQuery3->setSql(ListStatement(ExpenseSearchFrom, ExpenseSearchTo));
    ADOQuery3->open();
    ADOQuery4->close();
    ADOQuery4->setSql(QString());
    ADOQuery4->setSql(TotalsStatement(ExpenseSearchFrom, ExpenseSearchTo));
    ADOQuery4->open();

    RvProject3->setProjectFile(QDir::toNativeSeparators(AppDirectory + QStringLiteral("/EKSODA1.RAV")));
    RvProject3->execute();

    ADOQuery3->close();
    ADOQuery3->setSql(QString());
    ADOQuery4->close();
    ADOQuery4->setSql(QString());
}

void TForm14::FormClose()
{
    // The next opening starts with empty dates and nothing on screen.
    ADOQuery1->close();
    ADOQuery2->close();
    ADOConnection1.close();
    ui->Edit1->clear();
    ui->Edit2->clear();
    ui->Button3->setEnabled(false);
}
