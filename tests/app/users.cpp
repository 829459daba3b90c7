#include "app/accesscheck.h"
#include "app/mainwindow.h"
#include "app/molarixapplication.h"
#include "app/passwordchange.h"
#include "app/userswindow.h"
#include "data/practice/appstate.h"
#include "data/practice/session.h"
#include "data/practice/users.h"
#include "gui/messages.h"
#include "tests/app/typing.h"
#include "tests/common/testmain.h"
#include "tests/common/testserver.h"
#include "tests/common/testutil.h"
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

namespace {
const QString kAdmin = QStringLiteral("Γιώργος");
const QString kNurse = QStringLiteral("Μαρία");
const QString kNursePassword = QStringLiteral("Nosileia2024");

// One try at the access check; the messages it showed.
QList<Messages::Shown> tryAccess(TForm65 &f, const QString &name, const QString &password)
{
    auto *edit = child<QLineEdit>(&f, "Edit1");
    // The check waits after wrong tries; the caller sees no messages if it never comes back.
    if (!QTest::qWaitFor([edit] { return edit->isEnabled(); }, 30000))
        return {};
    auto *user = child<QLineEdit>(&f, "UserName");
    user->clear();
    typeInto(user, name);
    typeInto(edit, password);
    QTest::keyClick(edit, Qt::Key_Return);
    return Messages::takeShown();
}
}

// The windows of named users on a file practice: the access check takes a
// name (the first one typed makes the practice's administrator), each name
// waits after its own wrong tries, the status bar names who works, the
// administrator keeps the users in «Χρήστες», and each user changes only
// their own password.
class UsersWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        if (TestServer::practicesOnServer())
            QSKIP("a server's users are its logins");
        ResetTerminateRequest();
        AccessGranted = false;
    }
    void cleanup() { ResetTerminateRequest(); }

    void accessCheckAndUsersWindow()
    {
        TempPractice p;
        {
            TForm65 f;
            f.show();
            const auto shown = tryAccess(f, kAdmin, QStringLiteral("molarix"));
            QVERIFY(AccessGranted);
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].text.contains(QRegularExpression(QStringLiteral("([A-Z2-7]{5}-){5}[A-Z2-7]{5}"))), qPrintable(shown[0].text));
        }
        QCOMPARE(Session::current().userName(), kAdmin);
        {
            TForm3 w(QDateTime::currentDateTime());
            QCOMPARE(child<QLabel>(&w, "StatusUser")->text(), QStringLiteral("Χρήστης: Γιώργος (Διαχειριστής)"));
            QVERIFY(w.findChild<QAction *>(QStringLiteral("N32"))->isEnabled());
        }
        Messages::takeShown();

        {
            UsersForm u;
            u.show();
            auto *grid = child<QTableWidget>(&u, "UsersGrid");
            QCOMPARE(grid->rowCount(), 1);
            typeInto(child<QLineEdit>(&u, "UserName"), kNurse);
            child<QComboBox>(&u, "UserRole")->setCurrentIndex(1);
            typeInto(child<QLineEdit>(&u, "NewPassword"), kNursePassword);
            typeInto(child<QLineEdit>(&u, "NewPasswordAgain"), QStringLiteral("Different1"));
            child<QPushButton>(&u, "AddButton")->click();
            QCOMPARE(Messages::takeShown().value(0).text, QStringLiteral("Οι δύο κωδικοί διαφέρουν."));
            child<QLineEdit>(&u, "NewPasswordAgain")->clear();
            typeInto(child<QLineEdit>(&u, "NewPasswordAgain"), kNursePassword);
            child<QPushButton>(&u, "AddButton")->click();
            QCOMPARE(grid->rowCount(), 2);
            QVERIFY(Messages::takeShown().isEmpty());
            // The last administrator stays.
            grid->selectRow(grid->findItems(kAdmin, Qt::MatchExactly).first()->row());
            child<QPushButton>(&u, "EnableButton")->click();
            QCOMPARE(Messages::takeShown().size(), 1);
        }

        Session::current().signOut();
        AccessGranted = false;
        {
            TForm65 f;
            f.secondMs = 1;
            f.show();
            QCOMPARE(child<QLineEdit>(&f, "UserName")->text(), kAdmin);   // this workstation's last user
            const QString wrong = QStringLiteral("Λανθασμένο όνομα χρήστη ή κωδικός πρόσβασης.");
            QCOMPARE(tryAccess(f, kAdmin, QStringLiteral("wrong")).value(0).text, wrong);
            QCOMPARE(f.secondsLeft(), 1);
            QCOMPARE(tryAccess(f, kAdmin, QStringLiteral("wrong")).value(0).text, wrong);
            QCOMPARE(f.secondsLeft(), 2);
            // Another name's wrong tries are counted apart.
            QCOMPARE(tryAccess(f, kNurse, QStringLiteral("wrong")).value(0).text, wrong);
            QCOMPARE(f.secondsLeft(), 1);
            QVERIFY(tryAccess(f, kNurse, kNursePassword).isEmpty());
            QVERIFY(AccessGranted);
        }
        QCOMPARE(Session::current().role(), Users::Role::Clinician);
        // The sign-in and the administrator's change of users are in the access log, by name.
        for (const QString &who : {kNurse, kAdmin})
            QVERIFY(p.conn().scalarNative(QStringLiteral("SELECT count(*) FROM HMEROLOGIO_PROSVASEWN WHERE XRHSTHS = ?"), {who}).toInt() >= 1);
        p.conn().close();
        {
            UsersForm u;
            u.show();
            QCOMPARE(Messages::takeShown().size(), 1);   // the administrator's window only
        }
        {
            TForm66 c;
            c.show();
            for (const char *name : {"Edit1", "Edit2", "Edit3"})
                typeInto(child<QLineEdit>(&c, name), QByteArray(name) == "Edit1" ? kNursePassword : QStringLiteral("short7x"));
            child<QPushButton>(&c, "Button1")->click();
            QVERIFY(Messages::takeShown().value(0).text.contains(QStringLiteral("τουλάχιστον 8")));
            for (const char *name : {"Edit2", "Edit3"}) {
                child<QLineEdit>(&c, name)->clear();
                typeInto(child<QLineEdit>(&c, name), QStringLiteral("Kainourgios99"));
            }
            child<QPushButton>(&c, "Button1")->click();
            QCOMPARE(Messages::takeShown().value(0).text, QStringLiteral("Η αλλαγή του κωδικού πρόσβασης έγινε με επιτυχία."));
        }
        QCOMPARE(Users::signIn(p.path(), kNurse, QStringLiteral("Kainourgios99")).access, Users::Access::Granted);
        QCOMPARE(Users::signIn(p.path(), kAdmin, QStringLiteral("molarix")).access, Users::Access::Granted);
    }
};

MOLARIX_TEST(UsersWindowsTest)
#include "users.moc"
