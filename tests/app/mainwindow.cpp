#include "app/launcher.h"
#include "app/mainwindow.h"
#include "gui/messages.h"
#include "app/openers.h"
#include "app/safekeeping.h"
#include "data/practice/backup.h"
#include "data/db/clock.h"
#include "tests/app/startupscript.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSemaphore>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <memory>

// Swallows the main window's clock ticks while it lives: the clock shows
// only what a test's own Timer1Timer() calls put there, however long the
// start-up took.
struct TicksHeld : QObject {
    TicksHeld() { qApp->installEventFilter(this); }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        return e->type() == QEvent::Timer && o->objectName() == QLatin1String("Timer1")
            && qobject_cast<TForm3 *>(o->parent());
    }
};

// The running main window: menu, button column, status bar, exit.
class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempPractice> practice;
    std::unique_ptr<StartupScript> script;
    std::unique_ptr<TicksHeld> ticks;
    std::unique_ptr<TForm3> w;

    QStringList entries(QMenu *menu)
    {
        QStringList out;
        for (QAction *a : menu->actions())
            out << a->objectName() + (a->isSeparator() ? QStringLiteral("|-") : QStringLiteral("|") + a->text());
        return out;
    }

    void doubleClick(QWidget *target, QPoint at = {5, 5})
    {
        QTest::mouseDClick(target, Qt::LeftButton, {}, at);
    }

private slots:
    void init()
    {
        practice = std::make_unique<TempPractice>();
        InFolder here(practice->path());
        script = std::make_unique<StartupScript>();
        script->passwords = {QStringLiteral("molarix")};
        ticks = std::make_unique<TicksHeld>();
        w = std::make_unique<TForm3>();
        QVERIFY(AccessGranted);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        Launcher::setRecording(true);
        Launcher::takeRequests();
        Messages::takeShown();
    }
    void cleanup()
    {
        w.reset();
        ticks.reset();
        script.reset();
        practice.reset();
        Launcher::setRecording(false);
        Clock::reset();
    }

    void menuBarAsDesigned()
    {
        QMenuBar *bar = w->findChild<QMenuBar *>(QStringLiteral("MainMenu1"));
        QVERIFY(bar);
        QStringList top;
        for (QAction *a : bar->actions())
            top << a->objectName() + QLatin1Char('|') + a->text();
        QCOMPARE(top, (QStringList{"N1|Ε&πιλογές", "About1|A&bout Molarix", "N22|Έ&ξοδος"}));

        QCOMPARE(entries(w->findChild<QMenu *>(QStringLiteral("N1"))),
                 (QStringList{"N17|Εύρ&εση πελάτη", "N16|Καταχώρηση νέου πελάτη", "N23|-",
                              "N12|Λειτουργικά έξ&οδα", "N18|Εισπρά&ξεις σε διάστημα δύο ημερομηνιών",
                              "N19|Αποδείξεις που εκ&δόθηκαν", "N30|Ανάκληση πελατών", "N25|-", "N3|Βιβλίο ση&μειώσεων",
                              "Y1|Yπενθ&υμίσεις", "N10|Χρήσιμα &τηλέφωνα", "N26|-", "N4|Ημε&ρολογιακά",
                              "N5|Αριθμομη&χανή", "N28|Ραντεβού", "N27|-", "N6|Ρυ&θμίσεις",
                              "N11|Αλλαγή του κωδικού πρόσβασης", "N32|Χρήστες…", "N33|Ημερολόγιο προσβάσεων…",
                              "N34|Περίοδος διατήρησης ιατρικών στοιχείων…", "N29|Αντίγραφο ασφαλείας…"}));
        QCOMPARE(entries(w->findChild<QMenu *>(QStringLiteral("N12"))),
                 (QStringList{"N13|Επε&ξεργασία", "N14|Αναλυτική έ&ρευνα", "N15|Κατά &μήνα"}));
        QCOMPARE(entries(w->findChild<QMenu *>(QStringLiteral("N6"))),
                 (QStringList{"N8|Καθορισμός αρίθμησης των αποδείξεων",
                              "N7|Στοιχεία που θα εμφανίζονται στις αποδείξεις",
                              "N31|Τιμοκατάλογος εργασιών"}));
        // The reminders entry starts with a Latin Y.
        QCOMPARE(w->findChild<QAction *>(QStringLiteral("Y1"))->text().at(0), QLatin1Char('Y'));
        for (QAction *a : w->findChildren<QAction *>())
            QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->objectName()));
    }

    void entriesOfMissingWindowsAreDisabled_data()
    {
        QTest::addColumn<QString>("menuItem");
        QTest::addColumn<QString>("button");   // empty: no button
        QTest::addColumn<QString>("window");
        QTest::newRow("find") << "N17"
                              << "Button2"
                              << "TForm17";
        QTest::newRow("new customer") << "N16"
                                      << "Button1"
                                      << "TForm16";
        QTest::newRow("expenses") << "N13"
                                  << "Button13"
                                  << "TForm13";
        QTest::newRow("expenses search") << "N14"
                                         << "Button6"
                                         << "TForm14";
        QTest::newRow("expenses by month") << "N15"
                                           << "Button7"
                                           << "TForm15";
        QTest::newRow("takings") << "N18"
                                 << ""
                                 << "TForm59";
        QTest::newRow("receipts") << "N19"
                                  << "Button9"
                                  << "TForm71";
        QTest::newRow("notebook") << "N3"
                                  << "Button12"
                                  << "TForm6";
        QTest::newRow("reminders") << "Y1"
                                   << "Button5"
                                   << "TForm11";
        QTest::newRow("phones") << "N10"
                                << "Button4"
                                << "TForm10";
        QTest::newRow("calendar") << "N4"
                                  << "Button11"
                                  << "TForm8";
        QTest::newRow("appointments") << "N28"
                                      << "Button14"
                                      << "TForm1a";
        QTest::newRow("numbering") << "N8"
                                   << ""
                                   << "TForm9";
        QTest::newRow("receipt details") << "N7"
                                         << ""
                                         << "TForm73";
        QTest::newRow("price list") << "N31"
                                    << ""
                                    << "TForm82";
        QTest::newRow("password") << "N11"
                                  << ""
                                  << "TForm66";
        QTest::newRow("users") << "N32"
                               << ""
                               << "UsersForm";
        QTest::newRow("access log") << "N33"
                                    << ""
                                    << "AccessLogForm";
        QTest::newRow("retention") << "N34"
                                   << ""
                                   << "RetentionYears";
        QTest::newRow("about") << "About1"
                               << ""
                               << "TForm62";
    }
    void entriesOfMissingWindowsAreDisabled()
    {
        QFETCH(QString, menuItem);
        QFETCH(QString, button);
        QFETCH(QString, window);
        const bool built = bool(WindowOpener(window));
        // Every window of the program exists now: none may go missing again.
        QVERIFY2(built, qPrintable(window));
        QCOMPARE(w->findChild<QAction *>(menuItem)->isEnabled(), built);
        if (!button.isEmpty())
            QCOMPARE(w->findChild<QPushButton *>(button)->isEnabled(), built);
    }

    void buttonColumnToggles()
    {
        auto *panel = child<QWidget>(w.get(), "Panel4");
        auto *toggle = child<QPushButton>(w.get(), "BitBtn1");
        QVERIFY(!panel->isVisible());
        QCOMPARE(toggle->text(), QStringLiteral(" "));
        toggle->click();
        QVERIFY(panel->isVisible());
        toggle->click();
        QVERIFY(!panel->isVisible());
        for (QPushButton *b : panel->findChildren<QPushButton *>())
            QCOMPARE(b->focusPolicy(), Qt::NoFocus);
        QCOMPARE(panel->findChildren<QPushButton *>().size(), 12);
    }

    void statusBarClock()
    {
        // Empty until the first tick.
        QCOMPARE(w->statusText(0), QString());
        QVERIFY(w->statusText(1).endsWith(QStringLiteral("Version 1.0.0.2009")));
        QVERIFY(w->statusText(1).contains(QStringLiteral("Molarix")));
        QCOMPARE(w->Timer1->interval(), 1000);
        QVERIFY(w->Timer1->isActive());

        Clock::setNow(QDateTime(QDate(2008, 3, 5), QTime(14, 7, 9)));
        w->Timer1Timer();
        QCOMPARE(w->statusText(0), QStringLiteral("5/3/2008 14:07:09"));
        Clock::setNow(QDateTime(QDate(2009, 12, 31), QTime(9, 0, 0)));
        w->Timer1Timer();
        QCOMPARE(w->statusText(0), QStringLiteral("31/12/2009 09:00:00"));
        Clock::setNow(QDateTime(QDate(2010, 1, 1), QTime(0, 0, 0)));
        w->Timer1Timer();
        QCOMPARE(w->statusText(0), QStringLiteral("1/1/2010"));
        Clock::setNow(QDateTime(QDate(2010, 1, 1), QTime(0, 0, 1)));
        w->Timer1Timer();
        QCOMPARE(w->statusText(0), QStringLiteral("1/1/2010 00:00:01"));
    }

    void exitAsksOnceAndNoKeepsRunning()
    {
        Messages::setNextAnswer(false);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QVERIFY(!TerminateRequested());
        auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Confirm);
        QCOMPARE(shown[0].text, QStringLiteral("Έξοδος;"));

        // The menu's exit asks the same single question.
        Messages::setNextAnswer(false);
        w->findChild<QAction *>(QStringLiteral("N22"))->trigger();
        QVERIFY(w->isVisible());
        QCOMPARE(Messages::takeShown().size(), 1);
    }

    // Closing does not wait for the day's backup: the copy is finished
    // before the process ends, and counts only once verified.
    void exitYesShowsSplashAndEnds()
    {
        QSemaphore copying, released;
        Backup::setBeforeVerifyHook([&](const QString &) {
            copying.release();
            released.tryAcquire(1, 30000);
        });
        const QDir backups(practice->path() + QStringLiteral("/backups"));
        script->shown.clear();
        Messages::setNextAnswer(true);
        w->findChild<QAction *>(QStringLiteral("N22"))->trigger();
        QVERIFY(!w->isVisible());
        QVERIFY(TerminateRequested());
        QCOMPARE(script->shown, QStringList{"TForm4"});
        QCOMPARE(Messages::takeShown().size(), 1);
        QVERIFY(copying.tryAcquire(1, 30000));
        QCOMPARE(backups.entryList({QStringLiteral("data-*.mdb")}, QDir::Files), QStringList());
        released.release();
        const QString written = Safekeeping::FinishBackupAtExit(nullptr);
        Backup::setBeforeVerifyHook({});
        // The day's verified backup was made on the way out.
        const QStringList copies = backups.entryList(QDir::Files);
        QCOMPARE(copies, QStringList{QFileInfo(written).fileName()});
        QVERIFY2(copies.first().startsWith(QStringLiteral("data-")), qPrintable(copies.first()));
    }

    // A practice that has never been backed up says so at start-up, in a
    // panel of its own: the clock and the program's line stay in sight.
    void statusBarNotesMissingBackups()
    {
        auto *note = child<QLabel>(w.get(), "StatusPanel2");
        QVERIFY(note->isVisible());
        QVERIFY(note->text().contains(QStringLiteral("αντίγραφο ασφαλείας")));
        QCOMPARE(w->findChild<QStatusBar *>(QStringLiteral("StatusBar1"))->currentMessage(), QString());
        QVERIFY(child<QLabel>(w.get(), "StatusPanel0")->isVisible());
        QVERIFY(child<QLabel>(w.get(), "StatusPanel1")->isVisible());
    }

    void webPageAndCalculatorThroughTheLauncher()
    {
        const QString page = QStringLiteral("url ") + QLatin1String(Launcher::PublisherPage);
        doubleClick(w->statusBar());
        doubleClick(child<QWidget>(w.get(), "Image1"), {20, 20});
        doubleClick(child<QWidget>(w.get(), "Panel1"), {child<QWidget>(w.get(), "Panel1")->width() / 2, 3});
        doubleClick(child<QWidget>(w.get(), "Panel3"), {10, child<QWidget>(w.get(), "Panel3")->height() - 5});
        QCOMPARE(Launcher::takeRequests(), (QStringList{page, page, page, page}));

        // The clock, the calendar and the buttons have no double-click action.
        doubleClick(child<QWidget>(w.get(), "LMDClock1"));
        doubleClick(child<QWidget>(w.get(), "Panel2"), {2, 2});
        doubleClick(child<QWidget>(w.get(), "BitBtn1"));
        QCOMPARE(Launcher::takeRequests(), QStringList());

        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(child<QWidget>(w.get(), "Image1"), &menu);
        QCOMPARE(Launcher::takeRequests(), QStringList{page});

        w->findChild<QAction *>(QStringLiteral("N5"))->trigger();
        child<QPushButton>(w.get(), "Button10")->click();
        QCOMPARE(Launcher::takeRequests(), (QStringList{"calculator", "calculator"}));
    }
};

MOLARIX_TEST(MainWindowTest)
#include "mainwindow.moc"
