#include "app/accesscheck.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "app/molarixapplication.h"
#include "app/passwordtext.h"
#include "app/safekeeping.h"
#include "data/practice/appstate.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/db/practicekey.h"
#include "data/practice/security.h"
#include "data/practice/session.h"
#include "data/practice/practicefolder.h"
#include "data/practice/users.h"
#include "data/work/accesslog.h"
#include "data/practice/keyring.h"
#include "ui_accesscheck.h"
#include <QApplication>
#include <QDir>
#include <QLayout>
#include <QScopeGuard>

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
    makeBold(ui->Label5);
    // The workstation's last user is offered again, where the practice has users.
    // A practice of one password needs no name: the password comes first there.
    if (Users::haveUsers(AppDirectory))
        ui->UserName->setText(PracticeFolder::rememberedUser());
    (Users::haveUsers(AppDirectory) && ui->UserName->text().isEmpty() ? ui->UserName : ui->Edit1)->setFocus();

    connect(ui->Edit1, &QLineEdit::textChanged, this, guarded([this] { Edit1Change(); }));
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    connect(&m_countdown, &QTimer::timeout, this, [this] { countDown(); });
    makeBold(ui->Label4);

    // FormCreate: the connection is set up here and opened at each try.
    AccessGranted = false;
    ADOConnection1.close();
    ADOConnection1.setConnectionString(DbConnectionString);
    ADOConnection1.setCommandTimeout(0);
    ADOConnection1.setConnectionTimeout(0);
}

TForm65::~TForm65() = default;

void TForm65::makeReady()
{
    ensurePolished();
    if (QLayout *l = layout())
        l->activate();
    winId();
}

void TForm65::Edit1Change()
{
    EnteredPassword = TrimText(ui->Edit1->text());
    // The recovery code's dashes are no password's letters, but it is typed here too.
    ui->Button1->setEnabled(m_secondsLeft == 0 && !EnteredPassword.isEmpty()
                            && (HasNoSpecialChars(EnteredPassword) || !KeyRing::recoveryCodeOf(EnteredPassword).isEmpty()));
}

void TForm65::Button1Click()
{
    if (m_secondsLeft > 0)
        return;
    ADOTable1->close();
    ADOConnection1.close();
    AccessGranted = false;
    // The typed password must open the practice and equal the stored one;
    // the session then opens every window's connection. Nothing typed is kept.
    const QString name = ui->UserName->text().trimmed();
    Users::Access how = Users::Access::Refused;
    auto signIn = [&] {
        // The key's derivation, or another program's lock, takes a while.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        return Security::signIn(ADOConnection1, *ADOTable1, EnteredPassword, name, &how);
    };
    PracticeFile::Unlocked unlocked = signIn();
    if (unlocked.access == PracticeFile::Access::Damaged) {
        // As a file the start-up check finds damaged: a backup takes its
        // place, or the program ends without writing to it.
        if (!Safekeeping::OfferRestore(this, {unlocked.damage})) {
            Session::current().signOut();
            Button2Click();
            return;
        }
        unlocked = signIn();
    }
    if (unlocked.access != PracticeFile::Access::Refused && unlocked.access != PracticeFile::Access::Damaged) {
        if (how == Users::Access::OnePassword && !name.isEmpty())
            becomeUsers(name);
        AccessLog::setUser(Session::current().userName());
        if (how == Users::Access::Granted || how == Users::Access::ByRecovery) {
            ADOConnection1.open();
            AccessLog::record(ADOConnection1, AccessLog::Action::SignIn, 0,
                              how == Users::Access::ByRecovery ? QStringLiteral("κωδικός ανάκτησης") : QString());
            ADOConnection1.close();
        }
        if (!Session::current().userName().isEmpty())
            PracticeFolder::rememberUser(Session::current().userName());
        if (how == Users::Access::ByRecovery)
            Messages::plain(QStringLiteral("Μπήκατε με τον κωδικό ανάκτησης· ορίστε τώρα νέο κωδικό πρόσβασης από «Αλλαγή κωδικού»."), this);
        AccessGranted = true;
        m_countdown.stop();
        PracticeKey::wipe(EnteredPassword);
        ui->Edit1->clear();
        ui->Edit1->setText(QString());
        if (unlocked.access == PracticeFile::Access::Moved)
            Messages::plain(QStringLiteral("Το αρχείο δεδομένων κλειδώθηκε με τον κωδικό πρόσβασης. "
                                           "Αντίγραφο του αρχείου όπως ήταν: %1 (ανοίγει χωρίς κωδικό: "
                                           "φυλάξτε το σε ασφαλές μέρος ή σβήστε το).")
                                .arg(QDir::toNativeSeparators(unlocked.backup)),
                            this);
        accept();
        return;
    }
    ADOTable1->close();
    ADOConnection1.close();
    // A failed try is not logged: without the key the file cannot be written.
    Messages::plain(Users::haveUsers(AppDirectory) ? QStringLiteral("Λανθασμένο όνομα χρήστη ή κωδικός πρόσβασης.")
                                                   : QStringLiteral("Λανθασμένος κωδικός πρόσβασης."),
                    this);
    ui->Edit1->clear();
    ui->Edit1->setFocus();
    startWait();
}

// The practice's one password becomes the named user's, its first
// administrator's, after a verified backup; the recovery code is shown once.
void TForm65::becomeUsers(const QString &name)
{
    QString copy;
    QString code;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        ADOConnection1.open();
        code = Users::migrate(ADOConnection1, name, EnteredPassword, &copy);
        ADOConnection1.close();
    }
    Messages::plain(QStringLiteral("Το ιατρείο έχει πλέον χρήστες: ο κωδικός σας είναι του διαχειριστή «%1». "
                                   "Αντίγραφο ασφαλείας πριν από την αλλαγή: %2\n\n"
                                   "Κωδικός ανάκτησης (γράψτε τον ή τυπώστε τον και φυλάξτε τον σε ασφαλές μέρος· "
                                   "δεν θα ξαναεμφανιστεί): %3")
                        .arg(name, QDir::toNativeSeparators(copy), code),
                    this);
    PracticeKey::wipe(code);
}

int TForm65::waitAfterWrongTry(int wrongTries)
{
    if (wrongTries <= 0)
        return 0;
    return wrongTries > 5 ? 30 : std::min(30, 1 << (wrongTries - 1));
}

// Guessing is slowed: the input stays disabled while the seconds are counted.
void TForm65::startWait()
{
    m_secondsLeft = waitAfterWrongTry(++m_wrongTries[ui->UserName->text().trimmed().toCaseFolded()]);
    ui->Edit1->setEnabled(false);
    ui->Button1->setEnabled(false);
    showCountdown();
    m_countdown.start(secondMs);
}

void TForm65::countDown()
{
    if (--m_secondsLeft > 0) {
        showCountdown();
        return;
    }
    m_countdown.stop();
    m_secondsLeft = 0;
    ui->Label4->clear();
    ui->Edit1->setEnabled(true);
    ui->Edit1->setFocus();
    Edit1Change();
}

void TForm65::showCountdown()
{
    ui->Label4->setText(QStringLiteral("Νέα προσπάθεια σε %1 δευτ.").arg(m_secondsLeft));
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
    m_countdown.stop();
    ADOTable1->close();
    ADOConnection1.close();
}

void TForm65::done(int result)
{
    FormClose();
    QDialog::done(result);
}
