#include "app/accesscheck.h"
#include "gui/messages.h"
#include "app/molarixapplication.h"
#include "data/practice/backup.h"
#include "data/practice/appstate.h"
#include "data/practice/practicefile.h"
#include "data/practice/session.h"
#include "data/db/practicekey.h"
#include "tests/app/typing.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tests/common/testserver.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The access check window by itself: what enables "Εί&σοδος" and what each try does.
class AccessCheckTest : public QObject {
    Q_OBJECT

    static QString wrongPassword() { return QStringLiteral("Λανθασμένος κωδικός πρόσβασης."); }

private slots:
    void init()
    {
        ResetTerminateRequest();
        AccessGranted = false;
    }
    void cleanup() { ResetTerminateRequest(); }

    void looksAsDesigned()
    {
        TempPractice p;
        TForm65 f;
        QCOMPARE(f.windowTitle(), QStringLiteral("Έλεγχος πρόσβασης"));
        QVERIFY(!(f.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(f.windowFlags() & Qt::WindowSystemMenuHint));
        QCOMPARE(child<QLineEdit>(&f, "Edit1")->echoMode(), QLineEdit::Password);
        child<QLineEdit>(&f, "Edit1")->setText(QStringLiteral("κωδ1"));
        QCOMPARE(child<QLineEdit>(&f, "Edit1")->displayText(), QStringLiteral("****"));
        child<QLineEdit>(&f, "Edit1")->clear();
        QCOMPARE(child<QPushButton>(&f, "Button1")->text(), QStringLiteral("Εί&σοδος"));
        QCOMPARE(child<QPushButton>(&f, "Button2")->text(), QStringLiteral("Έ&ξοδος"));
        QVERIFY(child<QPushButton>(&f, "Button1")->isDefault());
        // The o of "έχoυν" is the Latin letter.
        QCOMPARE(child<QLabel>(&f, "Label2")->text(), QStringLiteral("Προσοχή έχ") + QLatin1Char('o') + QStringLiteral("υν σημασία Πεζά / Κεφαλαία"));
        // The connection waits for the first try.
        QVERIFY(!f.ADOConnection1.isOpen());
    }

    void enterEnabledOnlyForAcceptableText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks only") << "   " << false;
        QTest::newRow("tab only") << "\t" << false;
        QTest::newRow("word") << "molarix" << true;
        QTest::newRow("greek") << "Κωδικός1" << true;
        QTest::newRow("blank inside") << "mol arix" << true;
        QTest::newRow("full stop") << "mol.arix" << false;
        QTest::newRow("apostrophe") << "mol'arix" << false;
        QTest::newRow("hyphen") << "mol-arix" << false;
        QTest::newRow("double quote") << "mol\"arix" << false;
        QTest::newRow("comma") << "mol,arix" << false;
    }
    void enterEnabledOnlyForAcceptableText()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enabled);
        TempPractice p;
        TForm65 f;   // nothing typed yet, as at start-up
        auto *edit = child<QLineEdit>(&f, "Edit1");
        auto *enter = child<QPushButton>(&f, "Button1");
        QVERIFY(!enter->isEnabled());
        typeInto(edit, typed);
        QCOMPARE(enter->isEnabled(), enabled);
        QCOMPARE(f.EnteredPassword, typed.trimmed());
    }

    void triesAgainstTheStoredPassword_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("granted");
        QTest::newRow("right") << "molarix" << true;
        QTest::newRow("blanks around") << "  molarix   " << true;
        QTest::newRow("one capital") << "Molarix" << false;
        QTest::newRow("all capitals") << "MOLARIX" << false;
        QTest::newRow("shorter") << "molari" << false;
        QTest::newRow("longer") << "molarix1" << false;
    }
    void triesAgainstTheStoredPassword()
    {
        QFETCH(QString, typed);
        QFETCH(bool, granted);
        TempPractice p;
        TForm65 f;
        f.show();
        auto *edit = child<QLineEdit>(&f, "Edit1");
        typeInto(edit, typed);
        child<QPushButton>(&f, "Button1")->click();
        QCOMPARE(AccessGranted, granted);
        QCOMPARE(f.isVisible(), !granted);
        const auto shown = Messages::takeShown();
        if (granted) {
            QVERIFY(shown.isEmpty());
            QCOMPARE(f.result(), int(QDialog::Accepted));
            QVERIFY(!f.ADOConnection1.isOpen());
            // Every window's own connection opens after the check, on either engine.
            DbConnection later;
            later.setConnectionString(DbConnectionString);
            later.open();
            QVERIFY(later.isOpen());
        } else {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].kind, Messages::Kind::Plain);
            QCOMPARE(shown[0].text, wrongPassword());
            QCOMPARE(edit->text(), QString());
            QVERIFY(!child<QPushButton>(&f, "Button1")->isEnabled());
            QVERIFY(!TerminateRequested());
        }
    }

    void wrongTryPutsFocusBackInTheInput()
    {
        TempPractice p;
        TForm65 f;
        f.show();
        QApplication::setActiveWindow(&f);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.secondMs = 1;
        auto *edit = child<QLineEdit>(&f, "Edit1");
        auto *enter = child<QPushButton>(&f, "Button1");
        typeInto(edit, QStringLiteral("x"));
        enter->setFocus();
        enter->click();
        // Once the wait is over.
        QTRY_VERIFY_WITH_TIMEOUT(edit->isEnabled(), 30000);
        QVERIFY(edit->hasFocus());
    }

    void threeWrongThenRight()
    {
        TempPractice p;
        TForm65 f;
        f.secondMs = 1;
        f.show();
        auto *edit = child<QLineEdit>(&f, "Edit1");
        for (const QString &t : {QStringLiteral("a"), QStringLiteral("molarix2"), QStringLiteral("MOLARIX"),
                                 QStringLiteral("molarix")}) {
            QTRY_VERIFY_WITH_TIMEOUT(edit->isEnabled(), 30000);
            typeInto(edit, t);
            QTest::keyClick(edit, Qt::Key_Return);
        }
        QVERIFY(AccessGranted);
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 3);
        for (const auto &m : shown)
            QCOMPARE(m.text, wrongPassword());
    }

    void enterKeyWithEmptyInputDoesNothing()
    {
        TempPractice p;
        TForm65 f;
        f.show();
        auto *edit = child<QLineEdit>(&f, "Edit1");
        typeInto(edit, QStringLiteral("  "));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(f.isVisible());
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void passwordChangedMeanwhileIsTheOneThatCounts()
    {
        if (TestServer::practicesOnServer())
            QSKIP("the file's own key change; a server's login is changed by the server");
        TempPractice p;
        TForm65 f;
        f.secondMs = 1;
        f.show();
        // Another copy of the program changes the password while the window waits.
        PracticeFile::changePassword(p.conn(), QStringLiteral("Νέος1"));
        Session::current().signOut();
        auto *edit = child<QLineEdit>(&f, "Edit1");
        typeInto(edit, QStringLiteral("molarix"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!AccessGranted);
        QVERIFY(!Session::current().hasKey());
        QCOMPARE(Messages::takeShown().size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(edit->isEnabled(), 30000);
        typeInto(edit, QStringLiteral("Νέος1"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(AccessGranted);
        // The typed password is not kept once the file is open.
        QVERIFY(f.EnteredPassword.isEmpty());
        QVERIFY(edit->text().isEmpty());
        // Every window's connection opens with the key the check derived.
        DbConnection window;
        window.prepare();
        QCOMPARE(window.scalarNative(QStringLiteral("SELECT * FROM SECURITY")).toString(), QStringLiteral("Νέος1"));
    }

    void eachWrongTryWaitsLongerWithTheInputDisabled()
    {
        TempPractice p;
        TForm65 f;
        f.secondMs = 60000;   // the count stays put while it is read
        f.show();
        auto *edit = child<QLineEdit>(&f, "Edit1");
        auto *countdown = child<QLabel>(&f, "Label4");
        QVERIFY(countdown->text().isEmpty());
        typeInto(edit, QStringLiteral("wrong"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(Messages::takeShown().value(0).text, wrongPassword());
        QVERIFY(!edit->isEnabled());
        QVERIFY(!child<QPushButton>(&f, "Button1")->isEnabled());
        QVERIFY(child<QPushButton>(&f, "Button2")->isEnabled());   // leaving is always possible
        QCOMPARE(f.secondsLeft(), 1);
        QCOMPARE(countdown->text(), QStringLiteral("Νέα προσπάθεια σε 1 δευτ."));
        // Enter pressed during the wait tries nothing.
        QTest::keyClick(&f, Qt::Key_Return);
        QVERIFY(Messages::takeShown().isEmpty());
        QVERIFY(!AccessGranted);

        // Doubling from 1 s up to 30 s.
        QList<int> waits;
        for (int n = 1; n <= 8; ++n)
            waits << TForm65::waitAfterWrongTry(n);
        QCOMPARE(waits, (QList<int>{1, 2, 4, 8, 16, 30, 30, 30}));

        // The second wrong try waits two seconds, counted down one by one.
        TForm65 g;
        g.secondMs = 1;
        g.show();
        auto *edit2 = child<QLineEdit>(&g, "Edit1");
        for (int wrong = 1; wrong <= 2; ++wrong) {
            QTRY_VERIFY_WITH_TIMEOUT(edit2->isEnabled(), 30000);
            typeInto(edit2, QStringLiteral("wrong"));
            QTest::keyClick(edit2, Qt::Key_Return);
            QCOMPARE(g.secondsLeft(), wrong);
        }
        QTRY_VERIFY_WITH_TIMEOUT(edit2->isEnabled(), 30000);
        QVERIFY(child<QLabel>(&g, "Label4")->text().isEmpty());
        Messages::takeShown();
    }

    void oldFixedKeyFileIsMovedAndTheUserToldOnce()
    {
        if (TestServer::practicesOnServer())
            QSKIP("only files were ever keyed with the old fixed key");
        TempPractice p;
        p.makeLegacy();
        for (int start = 0; start < 2; ++start) {
            Session::current().signOut();
            TForm65 f;
            f.show();
            typeInto(child<QLineEdit>(&f, "Edit1"), QStringLiteral("molarix"));
            child<QPushButton>(&f, "Button1")->click();
            QVERIFY(AccessGranted);
            const auto shown = Messages::takeShown();
            QCOMPARE(shown.size(), 1 - start);
            if (start == 0) {
                QCOMPARE(shown[0].kind, Messages::Kind::Plain);
                QVERIFY(shown[0].text.startsWith(QStringLiteral("Το αρχείο δεδομένων κλειδώθηκε με τον κωδικό πρόσβασης.")));
                QVERIFY(shown[0].text.contains(QStringLiteral(".bak")));
            }
        }
        QVERIFY(!PracticeFile::isLegacy(p.path() + QStringLiteral("/data.mdb")));
        QCOMPARE(p.count(QStringLiteral("STOIXEIA_PELATH")), 1);
    }

    void storedPasswordWithForbiddenCharacterCannotBeEntered()
    {
        TempPractice p;
        p.exec(QStringLiteral("UPDATE SECURITY SET [PASSWORD]='a.b'"));
        TForm65 f;
        typeInto(child<QLineEdit>(&f, "Edit1"), QStringLiteral("a.b"));
        QVERIFY(!child<QPushButton>(&f, "Button1")->isEnabled());
    }

    void emptySecurityLetsNobodyIn()
    {
        if (TestServer::practicesOnServer())
            QSKIP("a server keeps no password in SECURITY: its login is the check");
        TempPractice p;
        p.exec(QStringLiteral("DELETE FROM SECURITY"));
        TForm65 f;
        f.show();
        typeInto(child<QLineEdit>(&f, "Edit1"), QStringLiteral("molarix"));
        child<QPushButton>(&f, "Button1")->click();
        QVERIFY(!AccessGranted);
        QCOMPARE(Messages::takeShown().value(0).text, wrongPassword());
    }

    void fileThatIsNoDatabaseIsReportedAsSuch()
    {
        if (TestServer::practicesOnServer())
            QSKIP("a practice on a server has no file");
        TempPractice p;
        QFile text(p.path() + QStringLiteral("/data.mdb"));
        QVERIFY(text.open(QIODevice::WriteOnly | QIODevice::Truncate));
        text.write("Molarix\n");
        text.close();
        TForm65 f;
        f.show();
        typeInto(child<QLineEdit>(&f, "Edit1"), QStringLiteral("molarix"));
        child<QPushButton>(&f, "Button1")->click();
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
        QVERIFY(shown[0].text.contains(QStringLiteral("δεν είναι βάση δεδομένων του Molarix")));
        QVERIFY(child<QLineEdit>(&f, "Edit1")->isEnabled());   // no wait: nobody guessed wrong
    }

    void unreadableDatabaseIsReportedAndTheWindowStays()
    {
        if (TestServer::practicesOnServer())
            QSKIP("a practice on a server has no file to remove");
        TempPractice p;
        QVERIFY(QFile::remove(p.path() + QStringLiteral("/data.mdb")));
        TForm65 f;
        f.show();
        auto *edit = child<QLineEdit>(&f, "Edit1");
        typeInto(edit, QStringLiteral("molarix"));
        child<QPushButton>(&f, "Button1")->click();
        QVERIFY(f.isVisible());
        QVERIFY(!AccessGranted);
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
        QVERIFY(shown[0].text.contains(QStringLiteral("data.mdb")));
        // The try can be repeated or the window left.
        QCOMPARE(edit->text(), QStringLiteral("molarix"));
        QVERIFY(child<QPushButton>(&f, "Button1")->isEnabled());
    }

    // Another program's exclusive lock: the try waits a bounded time (with
    // the busy cursor), then says in Greek that the data are in use.
    void fileLockedByAnotherProgramIsReportedInGreek()
    {
        if (TestServer::practicesOnServer())
            QSKIP("a server's locks are the server's own");
        TempPractice p;
        const int bound = PracticeFile::lockWaitMs();
        PracticeFile::setLockWaitMs(100);
        const auto restoreBound = qScopeGuard([bound] { PracticeFile::setLockWaitMs(bound); });
        p.conn().executeNative(QStringLiteral("BEGIN EXCLUSIVE"));
        TForm65 f;
        f.show();
        auto *edit = child<QLineEdit>(&f, "Edit1");
        typeInto(edit, QStringLiteral("molarix"));
        child<QPushButton>(&f, "Button1")->click();
        p.conn().executeNative(QStringLiteral("ROLLBACK"));
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, Messages::errorText(DbConnection::causeText(DbError::Cause::InUse)));
        QVERIFY(!AccessGranted);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(edit->text(), QStringLiteral("molarix"));
    }

    // A file cut by whole pages fails to open as a damaged one: the newest
    // verified backup is offered in Greek, the engine's words under the details.
    void fileDamagedAtOpenOffersTheNewestBackup_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("restored");
        QTest::newRow("restore") << 0 << true;
        QTest::newRow("close") << 2 << false;
    }
    void fileDamagedAtOpenOffersTheNewestBackup()
    {
        QFETCH(int, answer);
        QFETCH(bool, restored);
        if (TestServer::practicesOnServer())
            QSKIP("a practice on a server has no file to cut");
        TempPractice p;
        Backup::makeAutomatic(p.conn(), p.path());
        const qint64 page = p.conn().scalarNative(QStringLiteral("PRAGMA page_size")).toLongLong();
        const qint64 security = p.conn().scalarNative(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name='SECURITY'")).toLongLong();
        p.conn().close();
        const QString file = p.path() + QStringLiteral("/data.mdb");
        QVERIFY(QFile::resize(file, (security - 1) * page));
        const QByteArray cut = fileBytes(file);
        TForm65 f;
        f.show();
        typeInto(child<QLineEdit>(&f, "Edit1"), QStringLiteral("molarix"));
        Messages::setNextChoice(answer);
        child<QPushButton>(&f, "Button1")->click();
        const auto shown = Messages::takeShown();
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown[0].kind, Messages::Kind::Choice);
        QVERIFY2(shown[0].text.contains(QStringLiteral("κατεστραμμένο")), qPrintable(shown[0].text));
        QVERIFY2(shown[0].details.contains(QLatin1String("malformed")), qPrintable(shown[0].details));
        QVERIFY(!shown[0].text.contains(QLatin1String("malformed")));
        QCOMPARE(AccessGranted, restored);
        QCOMPARE(TerminateRequested(), !restored);
        if (restored) {
            QCOMPARE(p.count(QStringLiteral("SECURITY")), 1);
            const QStringList kept = QDir(p.path()).entryList({QStringLiteral("data.mdb.before-restore-*")}, QDir::Files);
            QCOMPARE(kept.size(), 1);
            QCOMPARE(fileBytes(p.path() + QLatin1Char('/') + kept.first()), cut);
        } else {
            QCOMPARE(fileBytes(file), cut);
        }
    }

    void exitButtonAndEscEndTheProgram()
    {
        TempPractice p;
        {
            TForm65 f;
            f.show();
            child<QPushButton>(&f, "Button2")->click();
            QVERIFY(!f.isVisible());
            QVERIFY(!AccessGranted);
            QVERIFY(TerminateRequested());
        }
        ResetTerminateRequest();
        {
            TForm65 f;
            f.show();
            typeInto(child<QLineEdit>(&f, "Edit1"), QStringLiteral("molarix"));
            QTest::keyClick(child<QLineEdit>(&f, "Edit1"), Qt::Key_Escape);
            QVERIFY(!f.isVisible());
            QVERIFY(!AccessGranted);
            QVERIFY(TerminateRequested());
        }
        QVERIFY(Messages::takeShown().isEmpty());
    }
};

MOLARIX_TEST(AccessCheckTest)
#include "accesscheck.moc"
