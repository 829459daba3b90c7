#include "customers/findcustomer.h"
#include "ui_findcustomer.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "gui/customerfields.h"
#include "customers/customerlist.h"
#include "gui/modal.h"
#include "data/db/jetsql.h"
#include "data/db/helpers.h"

namespace {
const QString Columns = QStringLiteral(
    "SELECT ID,ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,THLEFWNO_1,THLEFWNO_2,DIEYTHYNSH, EPAGGELMA, TAMEIO FROM STOIXEIA_PELATH");
}

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

QString TForm17::InitialsCriteria(const QString &initials)
{
    return QStringLiteral("WHERE EPWNYMO LIKE'") + initials + QStringLiteral("%") + QStringLiteral("'")
        + QStringLiteral(" ORDER BY EPWNYMO ASC");
}

QString TForm17::InitialsSql(const QString &initials)
{
    return Columns + QStringLiteral(" WHERE EPWNYMO LIKE'") + initials + QStringLiteral("%")
        + QStringLiteral("'") + QStringLiteral(" ORDER BY EPWNYMO ASC");
}

QString TForm17::AllSql()
{
    return Columns + QStringLiteral(" ORDER BY EPWNYMO ASC");
}

QString TForm17::BirthDateCriteria(const QString &from, const QString &to)
{
    return QStringLiteral(" WHERE HMEROMHNIA_GENNHSEWS BETWEEN ") + from + QStringLiteral(" AND ") + to
        + QStringLiteral(" ORDER BY EPWNYMO ASC");
}

QString TForm17::BirthDateSql(const QString &from, const QString &to)
{
    return Columns + BirthDateCriteria(from, to);
}

void TForm17::Edit1Change()
{
    const QString t = ui->Edit1->text().trimmed();
    ui->Button1->setEnabled(!t.isEmpty() && HasNoSpecialChars(t));
}

void TForm17::Edit2Change()
{
    ui->Button4->setEnabled(HasNoSpecialChars(ui->Edit2->text().trimmed())
                            && HasNoSpecialChars(ui->Edit3->text().trimmed()));
}

void TForm17::Button1Click()
{
    const QString t = ui->Edit1->text().trimmed();
    ShowList(InitialsSql(t), InitialsCriteria(t));
}

void TForm17::Button2Click()
{
    ShowList(AllSql(), QString());
}

void TForm17::Button4Click()
{
    QString a = ui->Edit2->text().trimmed();
    QString b = ui->Edit3->text().trimmed();
    SqlDateLiteral(a);
    SqlDateLiteral(b);
    // A date the database cannot take is wrong criteria too, not an error
    // report over a list of the previous search.
    bool readable = a != QLatin1String("ERROR") && b != QLatin1String("ERROR");
    if (readable) {
        try {
            JetSql::translate(BirthDateSql(a, b));
        } catch (const DbError &) {
            readable = false;
        }
    }
    if (!readable) {
        ui->Button4->setEnabled(false);
        Messages::plain(QStringLiteral("Λανθασμένα κριτήρια."), this);
        return;
    }
    ShowList(BirthDateSql(a, b), BirthDateCriteria(a, b));
}

void TForm17::ShowList(const QString &sql, const QString &criteria)
{
    if (!Form18)
        Form18 = new TForm18;
    Form18->ListCriteria = criteria;
    Form18->ListSql = sql;
    ShowModal(Form18);
}
