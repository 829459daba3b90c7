#include "app/accesscheck.h"
#include "gui/messages.h"
#include "app/molarixapplication.h"
#include "data/practice/appstate.h"
#include "app/passwordchange.h"
#include "tests/app/typing.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tests/common/testserver.h"
#include "data/practice/backup.h"
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// Changing the password, and that the next start asks for the new one.
class PasswordChangeTest : public QObject {
    Q_OBJECT

    static void type(TForm66 &f, const QString &old, const QString &fresh, const QString &again)
    {
        // Typed as a user would, into emptied inputs.
        int i = 1;
        for (const QString &t : {old, fresh, again}) {
            auto *e = f.findChild<QLineEdit *>(QStringLiteral("Edit%1").arg(i++));
            e->clear();
            typeInto(e, t);
        }
    }
    // A server keeps no password in SECURITY.
    static QString storedOnAFile(const QString &password) { return TestServer::practicesOnServer() ? QString() : password; }
    static bool changeEnabled(TForm66 &f) { return child<QPushButton>(&f, "Button1")->isEnabled(); }

    static bool accessAccepts(const QString &typed)
    {
        ResetTerminateRequest();
        TForm65 access;
        access.show();
        typeInto(child<QLineEdit>(&access, "Edit1"), typed);
        child<QPushButton>(&access, "Button1")->click();
        Messages::takeShown();
        return AccessGranted;
    }

private slots:
    void looksAsDesigned()
    {
        TempPractice p;
        TForm66 f;
        QCOMPARE(f.windowTitle(), QStringLiteral("Αλλαγή του κωδικού πρόσβασης"));
        QCOMPARE(f.CurrentPassword, storedOnAFile(QStringLiteral("molarix")));
        QVERIFY(!changeEnabled(f));
        for (const char *e : {"Edit1", "Edit2", "Edit3"})
            QCOMPARE(child<QLineEdit>(&f, e)->echoMode(), QLineEdit::Password);
        QCOMPARE(child<QPushButton>(&f, "Button1")->text(), QStringLiteral("Αλ&λαγή"));
        QVERIFY(child<QPushButton>(&f, "Button1")->isDefault());
    }

    void changeEnabledOnlyWhenEveryRuleHolds_data()
    {
        QTest::addColumn<QString>("old");
        QTest::addColumn<QString>("fresh");
        QTest::addColumn<QString>("again");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("all right") << "molarix"
                                   << "Οδόντας7"
                                   << "Οδόντας7" << true;
        QTest::newRow("blanks around") << " molarix "
                                       << "  new1"
                                       << "new1  " << true;
        QTest::newRow("same as before") << "molarix"
                                        << "molarix"
                                        << "molarix" << true;
        QTest::newRow("old empty") << ""
                                   << "new1"
                                   << "new1" << false;
        QTest::newRow("new empty") << "molarix"
                                   << ""
                                   << "" << false;
        QTest::newRow("confirmation empty") << "molarix"
                                            << "new1"
                                            << "  " << false;
        // A server checks the old password itself, at the change.
        QTest::newRow("old in other case") << "Molarix"
                                           << "new1"
                                           << "new1" << TestServer::practicesOnServer();
        QTest::newRow("old wrong") << "molarik"
                                   << "new1"
                                   << "new1" << TestServer::practicesOnServer();
        QTest::newRow("confirmation one letter off") << "molarix"
                                                     << "new1"
                                                     << "new2" << false;
        QTest::newRow("confirmation in other case") << "molarix"
                                                    << "new1"
                                                    << "NEW1" << false;
        QTest::newRow("new with full stop") << "molarix"
                                            << "a.b"
                                            << "a.b" << false;
        QTest::newRow("new with apostrophe") << "molarix"
                                             << "a'b"
                                             << "a'b" << false;
        QTest::newRow("new with hyphen") << "molarix"
                                         << "a-b"
                                         << "a-b" << false;
        QTest::newRow("old with forbidden") << "molarix;"
                                            << "new1"
                                            << "new1" << false;
    }
    void changeEnabledOnlyWhenEveryRuleHolds()
    {
        QFETCH(QString, old);
        QFETCH(QString, fresh);
        QFETCH(QString, again);
        QFETCH(bool, enabled);
        TempPractice p;
        TForm66 f;
        type(f, old, fresh, again);
        QCOMPARE(changeEnabled(f), enabled);
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void enablingFollowsEveryInput()
    {
        TempPractice p;
        TForm66 f;
        type(f, QStringLiteral("molarix"), QStringLiteral("new1"), QStringLiteral("new1"));
        QVERIFY(changeEnabled(f));
        QTest::keyClick(child<QLineEdit>(&f, "Edit3"), Qt::Key_Backspace);
        QVERIFY(!changeEnabled(f));
        typeInto(child<QLineEdit>(&f, "Edit3"), QStringLiteral("1"));
        QVERIFY(changeEnabled(f));
        typeInto(child<QLineEdit>(&f, "Edit1"), QStringLiteral(";"));
        QVERIFY(!changeEnabled(f));
    }

    void changeStoresTheNewPasswordForTheNextStart()
    {
        TempPractice p;
        {
            TForm66 f;
            f.show();
            if (TestServer::practicesOnServer()) {
                // A wrong old password is refused by the server, and the window stays.
                type(f, QStringLiteral("Molarix"), QStringLiteral("new1"), QStringLiteral("new1"));
                child<QPushButton>(&f, "Button1")->click();
                QVERIFY(f.isVisible());
                QCOMPARE(Messages::takeShown().value(0).text, QStringLiteral("Λανθασμένος κωδικός πρόσβασης."));
            }
            type(f, QStringLiteral("molarix"), QStringLiteral(" Οδόντας7 "), QStringLiteral("Οδόντας7"));
            child<QPushButton>(&f, "Button1")->click();
            QVERIFY(!f.isVisible());
            QCOMPARE(f.result(), int(QDialog::Accepted));
            QVERIFY(!f.ADOConnection1.isOpen());
            const auto shown = Messages::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].kind, Messages::Kind::Plain);
            QVERIFY(shown[0].text.startsWith(QStringLiteral("Η αλλαγή του κωδικού πρόσβασης έγινε με επιτυχία.")));
            // On a file the copy under the new key is named.
            const QString copy = Backup::newest(p.path());
            QCOMPARE(copy.isEmpty(), TestServer::practicesOnServer());
            if (!copy.isEmpty())
                QVERIFY2(shown[0].text.endsWith(QStringLiteral("Αντίγραφο ασφαλείας με τον νέο κωδικό: ") + QDir::toNativeSeparators(copy)),
                         qPrintable(shown[0].text));
        }
        QCOMPARE(p.scalar(QStringLiteral("SELECT [PASSWORD] FROM SECURITY")).toString(),
                 storedOnAFile(QStringLiteral("Οδόντας7")));
        QVERIFY(!accessAccepts(QStringLiteral("molarix")));
        QVERIFY(!accessAccepts(QStringLiteral("οδόντας7")));
        QVERIFY(accessAccepts(QStringLiteral("Οδόντας7")));
        ResetTerminateRequest();
    }

    void passwordThatCannotBeKeptIsRefusedWithItsReason()
    {
        TempPractice p;
        TForm66 f;
        f.show();
        const QString lone = QStringLiteral("new") + QChar(0xD801);
        type(f, QStringLiteral("molarix"), QString(), QString());
        for (const char *e : {"Edit2", "Edit3"})
            child<QLineEdit>(&f, e)->setText(lone);
        child<QPushButton>(&f, "Button1")->click();
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(QStringLiteral("μισό σύμβολο")), qPrintable(shown[0].text));
        QVERIFY(f.isVisible());
        QCOMPARE(p.scalar(QStringLiteral("SELECT [PASSWORD] FROM SECURITY")).toString(), storedOnAFile(QStringLiteral("molarix")));
    }

    void exitChangesNothing()
    {
        TempPractice p;
        TForm66 f;
        f.show();
        type(f, QStringLiteral("molarix"), QStringLiteral("new1"), QStringLiteral("new1"));
        child<QPushButton>(&f, "Button2")->click();
        QVERIFY(!f.isVisible());
        QVERIFY(!f.ADOConnection1.isOpen());
        QCOMPARE(p.scalar(QStringLiteral("SELECT [PASSWORD] FROM SECURITY")).toString(),
                 storedOnAFile(QStringLiteral("molarix")));
        QVERIFY(accessAccepts(QStringLiteral("molarix")));
        ResetTerminateRequest();
    }

    void unreadableDatabaseReportedAndChangeNeverEnabled()
    {
        if (TestServer::practicesOnServer())
            QSKIP("a practice on a server has no file to remove");
        TempPractice p;
        QVERIFY(QFile::remove(p.path() + QStringLiteral("/data.mdb")));
        TForm66 f;
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
        type(f, QStringLiteral("molarix"), QStringLiteral("new1"), QStringLiteral("new1"));
        QVERIFY(!changeEnabled(f));
    }

    void emptySecurityNeverEnablesTheChange()
    {
        if (TestServer::practicesOnServer())
            QSKIP("a server keeps no password in SECURITY");
        TempPractice p;
        p.exec(QStringLiteral("DELETE FROM SECURITY"));
        TForm66 f;
        QVERIFY(Messages::takeShown().isEmpty());
        type(f, QStringLiteral("molarix"), QStringLiteral("new1"), QStringLiteral("new1"));
        QVERIFY(!changeEnabled(f));
    }
};

MOLARIX_TEST(PasswordChangeTest)
#include "passwordchange.moc"
