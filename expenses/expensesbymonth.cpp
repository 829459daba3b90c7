#include "expenses/expensesbymonth.h"
#include "ui_expensesbymonth.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "reports/reportengine.h"
#include <QDir>

TForm15 *Form15 = nullptr;

namespace {
const QString WrongCriteria = QStringLiteral("Λανθασμένα κριτήρια.");

DataSet *makeQuery(DbConnection *conn, QObject *owner, const char *name)
{
    auto *q = new DataSet(conn, owner);
    q->setObjectName(QLatin1String(name));
    return q;
}
}

bool TForm15::IsYear(const QString &text)
{
    if (text.isEmpty() || text.size() > 4)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

QString TForm15::MonthlyStatement(const QString &fromYear, const QString &toYear)
{
    return QStringLiteral("SELECT MONTH(EKSODA.HMEROMHNIA) AS [MONTH], YEAR(EKSODA.HMEROMHNIA) AS [YEAR], "
                          "Format(SUM(EKSODA.POSO),'0.00') AS AKSIA,Format(SUM(EKSODA.VAT),'0.00') AS VAT, "
                          "Format(SUM(EKSODA.POSO+EKSODA.VAT),'0.00') AS SYNOLO FROM EKSODA "
                          "WHERE YEAR(EKSODA.HMEROMHNIA) BETWEEN ")
        + fromYear + QStringLiteral(" AND ") + toYear
        + QStringLiteral(" GROUP BY MONTH(EKSODA.HMEROMHNIA), YEAR(EKSODA.HMEROMHNIA)  "
                         "ORDER BY YEAR(EKSODA.HMEROMHNIA), MONTH(EKSODA.HMEROMHNIA) ASC");
}

QString TForm15::TotalsStatement(const QString &fromYear, const QString &toYear)
{
    return QStringLiteral("SELECT Format(SUM(EKSODA.POSO),'0.00') AS AKSIA,Format(SUM(EKSODA.VAT),'0.00') AS VAT, "
                          "Format(SUM(EKSODA.POSO+EKSODA.VAT),'0.00') AS SYNOLO FROM EKSODA "
                          "WHERE YEAR(EKSODA.HMEROMHNIA) BETWEEN ")
        + fromYear + QStringLiteral(" AND ") + toYear;
}

TForm15::TForm15(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm15>())
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

    RvProject4 = new ReportProject(this);
    RvProject4->setObjectName(QStringLiteral("RvProject4"));
    RvProject4->addConnection(QStringLiteral("RvDataSetConnection5"), ADOQuery3);
    RvProject4->addConnection(QStringLiteral("RvDataSetConnection6"), ADOQuery4);

    ui->DBGrid1->setDataSet(ADOQuery1);
    ui->DBGrid1->addColumn(QStringLiteral("MONTH"), QStringLiteral("Μήνας"), Qt::AlignCenter);
    ui->DBGrid1->addColumn(QStringLiteral("YEAR"), QStringLiteral("Έτος"), Qt::AlignCenter);
    ui->DBGrid1->addColumn(QStringLiteral("AKSIA"), QStringLiteral("Αξία (EUR)"),
                           Qt::AlignRight | Qt::AlignVCenter);
    ui->DBGrid1->addColumn(QStringLiteral("VAT"), QStringLiteral("Φ.Π.Α (EUR)"),
                           Qt::AlignRight | Qt::AlignVCenter);
    ui->DBGrid1->addColumn(QStringLiteral("SYNOLO"), QStringLiteral("Αξία +Φ.Π.Α (EUR)"),
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

TForm15::~TForm15()
{
    // The queries go before the connection they read through.
    delete RvProject4;
    for (DataSet *q : {ADOQuery1, ADOQuery2, ADOQuery3, ADOQuery4})
        delete q;
}

void TForm15::UpdateSearchButton()
{
    ui->Button1->setEnabled(HasNoSpecialChars(ui->Edit1->text().trimmed())
                            && HasNoSpecialChars(ui->Edit2->text().trimmed()));
}

void TForm15::Button1Click()
{
    ADOConnection1.close();
    ADOConnection1.open();
    ui->Button3->setEnabled(true);

    // The years are written into the statements, so nothing but a whole
    // number gets that far.
    const QString fromYear = ui->Edit1->text().trimmed();
    const QString toYear = ui->Edit2->text().trimmed();
    if (!IsYear(fromYear) || !IsYear(toYear)) {
        ADOQuery1->close();
        ADOQuery2->close();
        ui->Button3->setEnabled(false);
        Messages::plain(WrongCriteria, this);
        return;
    }
    MonthSearchFromYear = fromYear;
    MonthSearchToYear = toYear;

    ADOQuery1->close();
    ADOQuery1->setSql(MonthlyStatement(MonthSearchFromYear, MonthSearchToYear));
    ADOQuery2->close();
    ADOQuery2->setSql(TotalsStatement(MonthSearchFromYear, MonthSearchToYear));
    try {
        ADOQuery1->open();
        ADOQuery2->open();
    } catch (const DbError &) {
        ui->Button3->setEnabled(false);
        Messages::plain(WrongCriteria, this);
    }
}

void TForm15::Button3Click()
{
    // The years of the last search, whatever the edits hold now.
    ADOQuery3->close();
    ADOQuery3->setSql(QString());
    ADOQuery3->setSql(MonthlyStatement(MonthSearchFromYear, MonthSearchToYear));
    ADOQuery3->open();
    ADOQuery4->close();
    ADOQuery4->setSql(QString());
    ADOQuery4->setSql(TotalsStatement(MonthSearchFromYear, MonthSearchToYear));
    ADOQuery4->open();

    RvProject4->setProjectFile(QDir::toNativeSeparators(AppDirectory + QStringLiteral("/EKSODA2.RAV")));
    RvProject4->execute();

    ADOQuery3->close();
    ADOQuery3->setSql(QString());
    ADOQuery4->close();
    ADOQuery4->setSql(QString());
}

void TForm15::FormClose()
{
    // The next opening starts with empty years and nothing on screen.
    ADOQuery1->close();
    ADOQuery2->close();
    ADOConnection1.close();
    ui->Edit1->clear();
    ui->Edit2->clear();
    ui->Button3->setEnabled(false);
}
