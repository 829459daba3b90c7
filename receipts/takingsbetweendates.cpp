#include "receipts/takingsbetweendates.h"
#include "ui_takingsbetweendates.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"

namespace {
const QString WrongCriteria = QStringLiteral("Λανθασμένα κριτήρια.");
const QString Error = QStringLiteral("ERROR");
}

TForm59::TForm59(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm59>())
{
    ui->setupUi(this);
    setupDialog(this);
    for (QWidget *w : {ui->Label1, ui->Label2, ui->Label5})
        makeBold(w);
    for (QWidget *w : {ui->Label3, ui->Label4})
        makeRequiredMark(w);

    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    ui->DBText1->setDataSource(ADOQuery1, QStringLiteral("POSO"));

    connect(ui->Edit1, &QLineEdit::textChanged, this, guarded([this] { UpdateSearchButton(); }));
    connect(ui->Edit2, &QLineEdit::textChanged, this, guarded([this] { UpdateSearchButton(); }));
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

TForm59::~TForm59() = default;

void TForm59::UpdateSearchButton()
{
    ui->Button1->setEnabled(HasNoSpecialChars(ui->Edit1->text().trimmed())
                            && HasNoSpecialChars(ui->Edit2->text().trimmed()));
}

void TForm59::Button1Click()
{
    // Whatever fails here, the user learns only that the criteria are wrong.
    try {
        Search();
    } catch (...) {
        ADOQuery1->close();
        Messages::plain(WrongCriteria, this);
    }
}

void TForm59::Search()
{
    ADOConnection1.close();
    ADOConnection1.setConnectionString(DbConnectionString);
    ADOConnection1.setCommandTimeout(0);
    ADOConnection1.setConnectionTimeout(0);
    ADOConnection1.open();

    QString from = ui->Edit1->text().trimmed();
    QString to = ui->Edit2->text().trimmed();
    SqlDateLiteral(from);
    SqlDateLiteral(to);
    if (from == Error || to == Error) {
        // The total of the previous dates must not stand beside these.
        ADOQuery1->close();
        Messages::plain(WrongCriteria, this);
        return;
    }

    ADOQuery1->close();
    ADOQuery1->setSql(QStringLiteral("SELECT Format(sum(POSO),'0.00') AS POSO, Format(sum(POSO_CY),'0.00') AS POSO_CY "
                                     "FROM APODEIKSEIS WHERE HMEROMHNIA BETWEEN ")
                      + from + QStringLiteral(" AND ") + to + QStringLiteral(" AND EGKYRH=TRUE"));
    ADOQuery1->open();
}

void TForm59::FormClose()
{
    ADOQuery1->close();
    ADOConnection1.close();
}
