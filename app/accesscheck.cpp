#include "app/accesscheck.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "app/molarixapplication.h"
#include "app/passwordtext.h"
#include "data/appstate.h"
#include "data/dataset.h"
#include "data/helpers.h"
#include "ui_accesscheck.h"

TForm65::TForm65(QWidget *parent)
    : QDialog(parent), ADOTable1(new DataSet(&ADOConnection1, this)), ui(std::make_unique<Ui::TForm65>())
{
    ui->setupUi(this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));
    ADOTable1->setTableName(QStringLiteral("SECURITY"));
    // Left only through its two buttons: no system menu, no close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setupDialog(this);
    makeRequiredMark(ui->Label2);
    makeBold(ui->Label1);
    makeRequiredMark(ui->Label3);
    MaskWithStars(ui->Edit1);

    connect(ui->Edit1, &QLineEdit::textChanged, this, guarded([this] { Edit1Change(); }));
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));

    // FormCreate: the connection is set up here and opened at each try.
    AccessGranted = false;
    ADOConnection1.close();
    ADOConnection1.setConnectionString(DbConnectionString);
    ADOConnection1.setCommandTimeout(0);
    ADOConnection1.setConnectionTimeout(0);
}

TForm65::~TForm65() = default;

void TForm65::Edit1Change()
{
    EnteredPassword = TrimText(ui->Edit1->text());
    ui->Button1->setEnabled(!EnteredPassword.isEmpty() && HasNoSpecialChars(EnteredPassword));
}

void TForm65::Button1Click()
{
    // The stored password is read afresh at every try.
    ADOTable1->close();
    ADOConnection1.close();
    ADOConnection1.open();
    ADOTable1->open();
    const QString stored = StoredPassword(*ADOTable1);
    AccessGranted = false;
    if (stored != EnteredPassword) {
        ADOTable1->close();
        Messages::plain(QStringLiteral("Λανθασμένος κωδικός πρόσβασης."), this);
        ui->Edit1->clear();
        ui->Edit1->setFocus();
        return;
    }
    AccessGranted = true;
    ADOTable1->close();
    ADOConnection1.close();
    accept();
}

void TForm65::Button2Click()
{
    AccessGranted = false;
    RequestTerminate();
    QDialog::reject();
}

void TForm65::reject()
{
    runGuarded([this] { Button2Click(); });
}

void TForm65::FormClose()
{
    ADOTable1->close();
    ADOConnection1.close();
}

void TForm65::done(int result)
{
    FormClose();
    QDialog::done(result);
}
