#include "app/mainwindow.h"
#include "app/programrun.h"
#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "tests/app/startupscript.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QAction>
#include <QCalendarWidget>
#include <QTest>

// The start-up sequence of the main window: access, today's reminder and
// the receipt-numbering check.
class StartupTest : public QObject {
    Q_OBJECT

    static void addReminder(TempPractice &p, const QString &isoDate, const QString &text)
    {
        p.conn().executeNative(QStringLiteral("INSERT INTO YPENTHIMISEIS (HMEROMHNIA, PERIGRAFH) VALUES (?, ?)"),
                               {isoDate, text});
    }

private slots:
    void init() { Clock::setNow(QDateTime(QDate(2008, 3, 5), QTime(10, 15, 0))); }
    void cleanup() { Clock::reset(); }

    void rightPasswordOpensTheMainWindow()
    {
        TempPractice p;
        InFolder here(p.path());
        StartupScript s;
        s.passwords = {QStringLiteral("molarix")};
        TForm3 w;
        QVERIFY(AccessGranted);
        QVERIFY(!TerminateRequested());
        QCOMPARE(s.shown, (QStringList{"TForm4", "TForm65"}));
        QVERIFY(w.windowState() & Qt::WindowMaximized);
        QCOMPARE(int(StartDay), 5);
        QCOMPARE(int(StartMonth), 3);
        QCOMPARE(int(StartYear), 2008);
        QCOMPARE(child<QCalendarWidget>(&w, "MonthCalendar1")->selectedDate(), QDate(2008, 3, 5));
        // The program works in the folder it was started in.
        QCOMPARE(QDir(AppDirectory), QDir(p.path()));
        QVERIFY(DbConnectionString.contains(QStringLiteral("data.mdb")));
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void leavingTheAccessCheckEndsWithoutQuestions()
    {
        TempPractice p;
        addReminder(p, QStringLiteral("2008-03-05"), QStringLiteral("σήμερα"));
        InFolder here(p.path());
        StartupScript s;
        s.passwords = {QStringLiteral("λάθος")};
        TForm3 w;
        QVERIFY(!AccessGranted);
        QVERIFY(TerminateRequested());
        // No reminder and no maximised window for a refused start.
        QCOMPARE(s.shown, (QStringList{"TForm4", "TForm65"}));
        QVERIFY(!(w.windowState() & Qt::WindowMaximized));
        Messages::takeShown();
        w.show();
        QVERIFY(w.close());   // ending: no "Έξοδος;"
        QVERIFY(Messages::takeShown().isEmpty());
    }

    // The program's own run puts the access check up before the main window
    // is built; the main window (showing today's reminder) follows the password.
    void accessCheckComesBeforeTheMainWindow_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("withMainWindow");   // shown while a main window existed
        QTest::newRow("accepted") << QStringLiteral("molarix") << QStringList{"TForm4", "TForm65", "TForm12"}
                                  << QStringList{"TForm12"};
        QTest::newRow("refused") << QStringLiteral("λάθος") << QStringList{"TForm4", "TForm65"} << QStringList{};
    }
    void accessCheckComesBeforeTheMainWindow()
    {
        QFETCH(QString, password);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, withMainWindow);
        TempPractice p;
        addReminder(p, QStringLiteral("2008-03-05"), QStringLiteral("σήμερα"));
        InFolder here(p.path());
        StartupScript s;
        s.passwords = {password};
        QStringList seen;
        SetModalHandler([&](QDialog *d) {
            const QWidgetList windows = QApplication::topLevelWidgets();
            if (std::any_of(windows.begin(), windows.end(), [](QWidget *w) { return w->inherits("TForm3"); }))
                seen << QString::fromLatin1(d->metaObject()->className());
            // The run ends once the main window is built, before its event loop.
            if (d->inherits("TForm12"))
                RequestTerminate();
            return s.run(d);
        });
        QCOMPARE(RunProgram(), 0);
        QVERIFY2(s.shown == shown, qPrintable(s.shown.join(QLatin1Char(' '))));
        QCOMPARE(seen, withMainWindow);
    }

    void reminderViewerOnlyForExactlyOneToday_data()
    {
        QTest::addColumn<QStringList>("dates");
        QTest::addColumn<QString>("expected");   // empty: no viewer
        QTest::newRow("none today") << QStringList{"2008-03-04", "2008-03-06", "2007-03-05"} << QString();
        QTest::newRow("one today, late in the day")
            << QStringList{"2008-03-04", "2008-03-05 18:30:00", "2008-03-06"} << QStringLiteral("2008-03-05 18:30:00");
        QTest::newRow("one today, no time") << QStringList{"2008-03-05"} << QStringLiteral("2008-03-05");
        QTest::newRow("two today") << QStringList{"2008-03-05 09:00:00", "2008-03-05"} << QString();
    }
    void reminderViewerOnlyForExactlyOneToday()
    {
        QFETCH(QStringList, dates);
        QFETCH(QString, expected);
        TempPractice p;
        for (const QString &d : dates)
            addReminder(p, d, QStringLiteral("Υπενθύμιση ") + d);
        InFolder here(p.path());
        StartupScript s;
        s.passwords = {QStringLiteral("molarix")};
        TForm3 w;
        QVERIFY(AccessGranted);
        if (expected.isEmpty()) {
            QVERIFY(!s.shown.contains(QStringLiteral("TForm12")));
        } else {
            QCOMPARE(s.shown, (QStringList{"TForm4", "TForm65", "TForm12"}));
            QCOMPARE(s.reminderText, QStringLiteral("Υπενθύμιση ") + expected);
            QVERIFY(s.viewerReadOnly);
        }
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void numberingEntryHiddenOnceDefined()
    {
        TempPractice p;
        InFolder here(p.path());
        StartupScript s;
        s.passwords = {QStringLiteral("molarix")};
        TForm3 w;
        QAction *n8 = w.findChild<QAction *>(QStringLiteral("N8"));
        QVERIFY(n8);
        QVERIFY(n8->isVisible());
        QVERIFY(!NumberingFixed);

        // As after the numbering window stored its row.
        p.exec(QStringLiteral("INSERT INTO LAST_APODEIKSH ([LAST]) VALUES (1)"));
        w.CheckNumbering();
        QVERIFY(!n8->isVisible());
        QVERIFY(NumberingFixed);
    }

    void numberingDefinedAtStart()
    {
        TempPractice p;
        p.exec(QStringLiteral("INSERT INTO LAST_APODEIKSH ([LAST]) VALUES (12)"));
        InFolder here(p.path());
        StartupScript s;
        s.passwords = {QStringLiteral("molarix")};
        TForm3 w;
        QVERIFY(NumberingFixed);
        QVERIFY(!w.findChild<QAction *>(QStringLiteral("N8"))->isVisible());
    }

    void failingStartEndsSilently()
    {
        TempPractice p;
        p.conn().executeNative(QStringLiteral("DROP TABLE LAST_APODEIKSH"));
        InFolder here(p.path());
        StartupScript s;
        s.passwords = {QStringLiteral("molarix")};
        TForm3 w;
        QVERIFY(TerminateRequested());
        QVERIFY(!w.isEnabled());
        QVERIFY(w.windowState() & Qt::WindowMinimized);
        QVERIFY(Messages::takeShown().isEmpty());
    }
};

MOLARIX_TEST(StartupTest)
#include "startup.moc"
