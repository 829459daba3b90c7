#include "receipts/takingsbetweendates.h"
#include "ui_takingsbetweendates.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/db/regional.h"
#include "data/work/receipts.h"

namespace {
const QString WrongCriteria = QStringLiteral("Λανθασμένα κριτήρια.");
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

    const std::optional<QDate> from = Regional::parseDate(ui->Edit1->text().trimmed());
    const std::optional<QDate> to = Regional::parseDate(ui->Edit2->text().trimmed());
    if (!from || !to) {
        // The total of the previous dates must not stand beside these.
        ADOQuery1->close();
        Messages::plain(WrongCriteria, this);
        return;
    }

    Receipts::openTotalBetween(*ADOQuery1, *from, *to);
}

void TForm59::FormClose()
{
    ADOQuery1->close();
    ADOConnection1.close();
}
