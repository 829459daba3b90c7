#include "app/passwordchange.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "app/passwordtext.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/db/practicekey.h"
#include "data/practice/security.h"
#include "ui_passwordchange.h"
#include <QDir>
#include <QFileInfo>

TForm66::TForm66(QWidget *parent)
    : QDialog(parent), ADOTable1(new DataSet(&ADOConnection1, this)), ui(std::make_unique<Ui::TForm66>())
{
    ui->setupUi(this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));
    ADOTable1->setTableName(QStringLiteral("SECURITY"));
    setupDialog(this);
    makeRequiredMark(ui->Label7);
    for (QWidget *w : {ui->Label1, ui->Label2, ui->Label3})
        makeBold(w);
    for (QWidget *w : {ui->Label4, ui->Label5, ui->Label6})
        makeRequiredMark(w);
    for (QLineEdit *e : {ui->Edit1, ui->Edit2, ui->Edit3}) {
        MaskWithStars(e);
        connect(e, &QLineEdit::textChanged, this, guarded([this] { UpdateChangeButton(); }));
    }
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, [this] { reject(); });

    // A database that cannot be read is reported; the window still opens,
    // and with no stored password read the change can never be enabled.
    runGuarded([this] { FormCreate(); });
}

TForm66::~TForm66() = default;

void TForm66::FormCreate()
{
    ADOConnection1.prepare();
    ADOTable1->close();
    CurrentPassword = Security::storedPassword(*ADOTable1);
    m_serverChecksOld = ADOConnection1.onServer();
    m_userChecksOld = !m_serverChecksOld && Users::haveUsers(QFileInfo(ADOConnection1.fileName()).absolutePath());
}

void TForm66::UpdateChangeButton()
{
    OldPasswordText = TrimText(ui->Edit1->text());
    NewPasswordText = TrimText(ui->Edit2->text());
    ConfirmPasswordText = TrimText(ui->Edit3->text());
    bool ok = !OldPasswordText.isEmpty() && !NewPasswordText.isEmpty() && !ConfirmPasswordText.isEmpty();
    ok = ok && HasNoSpecialChars(OldPasswordText) && HasNoSpecialChars(NewPasswordText)
        && HasNoSpecialChars(ConfirmPasswordText);
    ok = ok && NewPasswordText == ConfirmPasswordText;
    ok = ok && (m_serverChecksOld || m_userChecksOld || CurrentPassword == OldPasswordText);
    ui->Button1->setEnabled(ok);
}

void TForm66::Button1Click()
{
    // The stored password and the file's key (on a server, the login's
    // password) change as one unit; a failure leaves the old password in
    // force and reaches the error report.
    if (m_serverChecksOld && !Security::loginAccepts(ADOConnection1, OldPasswordText)) {
        Messages::plain(QStringLiteral("Λανθασμένος κωδικός πρόσβασης."), this);
        return;
    }
    if (m_userChecksOld && !Security::userPasswordHolds(QFileInfo(ADOConnection1.fileName()).absolutePath(), OldPasswordText)) {
        Messages::plain(QStringLiteral("Λανθασμένος κωδικός πρόσβασης."), this);
        return;
    }
    const QString why = m_userChecksOld ? Users::passwordProblem(NewPasswordText) : Security::passwordProblem(NewPasswordText);
    if (!why.isEmpty()) {
        Messages::plain(why, this);
        return;
    }
    const Security::Changed changed = Security::changePassword(ADOConnection1, NewPasswordText);
    for (QString *text : {&CurrentPassword, &OldPasswordText, &NewPasswordText, &ConfirmPasswordText})
        PracticeKey::wipe(*text);
    for (QLineEdit *e : {ui->Edit1, ui->Edit2, ui->Edit3})
        e->setText(QString());
    QString text = QStringLiteral("Η αλλαγή του κωδικού πρόσβασης έγινε με επιτυχία.");
    if (!changed.backup.isEmpty())
        text += QStringLiteral("\nΑντίγραφο ασφαλείας με τον νέο κωδικό: %1").arg(QDir::toNativeSeparators(changed.backup));
    else if (!changed.backupFailure.isEmpty())
        text += QStringLiteral("\nΤο αντίγραφο ασφαλείας με τον νέο κωδικό δεν έγινε: %1\n"
                               "Κάντε αντίγραφο από το μενού πριν κλείσετε το πρόγραμμα· τα παλαιότερα ανοίγουν μόνο με τον παλιό κωδικό.")
                    .arg(changed.backupFailure);
    Messages::plain(text, this);
    accept();
}

void TForm66::FormClose()
{
    ADOTable1->close();
    ADOConnection1.close();
}

void TForm66::done(int result)
{
    FormClose();
    QDialog::done(result);
}
