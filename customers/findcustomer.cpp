#include "customers/findcustomer.h"
#include "ui_findcustomer.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "gui/customerfields.h"
#include "customers/customerlist.h"
#include "gui/modal.h"
#include "data/db/helpers.h"
#include "data/work/customers.h"

TForm17::TForm17(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm17>())
{
    ui->setupUi(this);
    setupDialog(this);
    for (QWidget *l : {ui->Label1, ui->Label2, ui->Label3})
        makeBold(l);
    makeRequiredMark(ui->Label4);
    makeRequiredMark(ui->Label5);
    ui->PageControl1->setCurrentIndex(0);

    NoDefaultButton(this);   // Enter starts no search

    connect(ui->Edit1, &QLineEdit::textChanged, this, guarded([this] { Edit1Change(); }));
    connect(ui->Edit2, &QLineEdit::textChanged, this, guarded([this] { Edit2Change(); }));
    connect(ui->Edit3, &QLineEdit::textChanged, this, guarded([this] { Edit2Change(); }));
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    connect(ui->Button4, &QPushButton::clicked, this, guarded([this] { Button4Click(); }));
    connect(ui->Button3, &QPushButton::clicked, this, &QDialog::reject);
}

TForm17::~TForm17() = default;

QString TForm17::InitialsCriteria(const QString &initials) { return Customers::byInitials(initials).criteria; }
QString TForm17::InitialsSql(const QString &initials) { return Customers::byInitials(initials).sql; }
QString TForm17::AllSql() { return Customers::all().sql; }

void TForm17::Edit1Change()
{
    ui->Button1->setEnabled(Customers::initialsAllowed(ui->Edit1->text()));
}

void TForm17::Edit2Change()
{
    ui->Button4->setEnabled(HasNoSpecialChars(ui->Edit2->text().trimmed())
                            && HasNoSpecialChars(ui->Edit3->text().trimmed()));
}

void TForm17::Button1Click()
{
    ShowList(Customers::byInitials(ui->Edit1->text()));
}

void TForm17::Button2Click()
{
    ShowList(Customers::all());
}

void TForm17::Button4Click()
{
    // A date the database cannot take is wrong criteria too, not an error
    // report over a list of the previous search.
    const auto search = Customers::byBirthDates(ui->Edit2->text(), ui->Edit3->text());
    if (!search) {
        ui->Button4->setEnabled(false);
        Messages::plain(QStringLiteral("Λανθασμένα κριτήρια."), this);
        return;
    }
    ShowList(*search);
}

void TForm17::ShowList(const Customers::Search &search)
{
    if (!Form18)
        Form18 = new TForm18;
    Form18->ListCriteria = search.criteria;
    Form18->ListSql = search.sql;
    ShowModal(Form18);
}
