#include "app/about.h"
#include "chart/dentalchart.h"
#include "data/work/plans.h"
#include "plans/pricelist.h"
#include "recall/recalllist.h"
#include "app/accesscheck.h"
#include "app/mainwindow.h"
#include "app/splash.h"
#include "app/passwordchange.h"
#include "app/practicechoice.h"
#include "tests/app/startupscript.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tools/reminders.h"
#include "tools/remindersviewer.h"
#include "data/db/dataset.h"
#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "receipts/receiptprintout.h"
#include "reports/reportengine.h"
#include <QPushButton>
#include <QTest>

// Renders this program's windows to PNG files for looking at them:
// MOLARIX_PICTURES_DIR=/tmp/pictures test_app WindowPictures
class WindowPictures : public QObject {
    Q_OBJECT
    QString m_dir;

    void save(QWidget *w, const QString &name)
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QImage picture = w->grab().toImage();
        QVERIFY(!picture.isNull());
        QVERIFY(picture.save(m_dir + QLatin1Char('/') + name + QStringLiteral(".png")));
    }

private slots:
    void render()
    {
        // Skipped here, not in initTestCase, so the classes after it still run.
        m_dir = qEnvironmentVariable("MOLARIX_PICTURES_DIR");
        if (m_dir.isEmpty())
            QSKIP("set MOLARIX_PICTURES_DIR to render the windows");
        QDir().mkpath(m_dir);
        TempPractice p;
        p.conn().executeNative(QStringLiteral("INSERT INTO YPENTHIMISEIS VALUES ('2008-03-05', 'Παραγγελία υλικών\nΤηλεφώνημα στο εργαστήριο')"));
        p.conn().executeNative(QStringLiteral("INSERT INTO YPENTHIMISEIS VALUES ('2007-12-28', 'Πληρωμή ΦΠΑ')"));
        {
            InFolder here(p.path());
            StartupScript s;
            s.passwords = {QStringLiteral("molarix")};
            TForm3 w;
            w.resize(1280, 800);
            w.Timer1Timer();
            child<QPushButton>(&w, "BitBtn1")->click();
            save(&w, QStringLiteral("mainwindow"));
        }
        TForm4 splash;
        save(&splash, QStringLiteral("splash"));
        TForm65 access;
        save(&access, QStringLiteral("accesscheck"));
        TForm62 about;
        save(&about, QStringLiteral("about"));
        TForm66 password;
        save(&password, QStringLiteral("passwordchange"));
        PracticeChoice practice;
        save(&practice, QStringLiteral("practicechoice"));
        TForm11 reminders;
        save(&reminders, QStringLiteral("reminders"));
        TForm12 viewer;
        viewer.ADOQuery1->setSql(QStringLiteral("SELECT * from YPENTHIMISEIS WHERE YEAR(HMEROMHNIA)=2008"));
        save(&viewer, QStringLiteral("remindersviewer"));

        // The price list, and a chart with a finding, work done and work planned.
        const qint64 filling = Plans::addWork(p.conn(), {.code = QStringLiteral("ΕΜ02"), .description = QStringLiteral("Έμφραξη σύνθετης ρητίνης, δύο επιφάνειες"), .cents = 7500});
        Plans::addWork(p.conn(), {.code = QStringLiteral("ΕΞ01"), .description = QStringLiteral("Εξέταση και σχέδιο θεραπείας"), .cents = 3000});
        Plans::addWork(p.conn(), {.code = QStringLiteral("ΣΤ01"), .description = QStringLiteral("Στεφάνη μεταλλοκεραμική"), .cents = 45050});
        TForm82 prices;
        save(&prices, QStringLiteral("pricelist"));
        p.conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Άννα','Αντωνίου')"));
        const CustomerRef customer = CustomerRef::require(p.conn().scalarNative(QStringLiteral("SELECT max(ID) FROM STOIXEIA_PELATH")).toString());
        p.conn().executeNative(QStringLiteral("INSERT INTO ODONTOGRAMMA (ID, HMEROMHNIA, DONTI, EPIFANEIES, KATASTASH) VALUES (?, '2008-01-10', 36, 'O', 'τερηδόνα')"), {customer.value()});
        for (const auto &[tooth, surfaces] : {std::pair{36, "MO"}, std::pair{16, ""}, std::pair{25, "DO"}})
            Plans::addItem(p.conn(), customer, {.work = filling, .tooth = tooth, .surfaces = QString::fromLatin1(surfaces), .cents = -1});
        Plans::setState(p.conn(), Plans::items(p.conn(), customer).last().id, Plans::State::Done);
        TForm80 chart;
        chart.CustomerId = customer.text();
        chart.CustomerFirstName = QStringLiteral("Άννα");
        chart.CustomerSurname = QStringLiteral("Αντωνίου");
        save(&chart, QStringLiteral("toothchart"));
    }
};

MOLARIX_TEST(WindowPictures)

// The pictures of the user guide, from a demo practice:
// MOLARIX_DOCS_PRACTICE=DIR MOLARIX_PICTURES_DIR=docs/screenshots test_app GuidePictures
// (scripts/screenshots.sh makes the practice and runs this).
class GuidePictures : public QObject {
    Q_OBJECT

private slots:
    void render()
    {
        const QString practice = qEnvironmentVariable("MOLARIX_DOCS_PRACTICE");
        const QString out = qEnvironmentVariable("MOLARIX_PICTURES_DIR");
        if (practice.isEmpty() || out.isEmpty())
            QSKIP("set MOLARIX_DOCS_PRACTICE and MOLARIX_PICTURES_DIR to render the guide's pictures");
        QDir().mkpath(out);
        AppDirectory = QDir::toNativeSeparators(practice);
        DbConnectionString = BuildConnectionString(AppDirectory);
        const QString today = qEnvironmentVariable("MOLARIX_DOCS_TODAY");
        if (!today.isEmpty())
            Clock::setNow(QDateTime(QDate::fromString(today, Qt::ISODate), QTime(10, 30, 0)));
        {
            InFolder here(practice);
            StartupScript s;
            s.passwords = {QStringLiteral("molarix")};
            TForm3 w;
            QVERIFY(AccessGranted);
            w.setWindowState(Qt::WindowNoState);
            w.resize(1024, 700);
            w.Timer1Timer();
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QVERIFY(w.grab().save(out + QStringLiteral("/mainwindow.png")));
        }

        // The newest issued receipt, printed as the practice would print it.
        DbConnection conn;
        conn.setConnectionString(DbConnectionString);
        conn.open();
        const int number = conn.scalarNative(QStringLiteral("SELECT MAX(AR_APODEIKSHS) FROM APODEIKSEIS")).toInt();
        conn.close();
        QVERIFY2(number > 0, "the practice has no receipt");
        QString html;
        ReportProject::setTestSink([&](const QString &, const QString &rendered) { html = rendered; });
        TForm72 printout;
        printout.ReceiptNumber = number;
        printout.PrintReceipt();
        ReportProject::setTestSink({});
        QVERIFY(!html.isEmpty());
        ReportProject::writePdf(html, out + QStringLiteral("/receipt.pdf"));

        // The tooth chart of the customer with the most entries, and the recall list.
        conn.open();
        DbStatement most(conn, QStringLiteral("SELECT P.ID, P.ONOMA, P.EPWNYMO, P.HMEROMHNIA_GENNHSEWS FROM STOIXEIA_PELATH P JOIN ODONTOGRAMMA O ON O.ID = P.ID"
                                              " WHERE P.HMEROMHNIA_GENNHSEWS < '2000-01-01' GROUP BY P.ID ORDER BY count(*) DESC, P.ID LIMIT 1"));
        QVERIFY2(most.step(), "the practice has no tooth chart entries");
        {
            TForm80 chart;
            chart.CustomerId = most.columnValue(0).toString();
            chart.CustomerFirstName = most.columnValue(1).toString();
            chart.CustomerSurname = most.columnValue(2).toString();
            chart.CustomerBirthDate = QDate::fromString(most.columnValue(3).toString(), Qt::ISODate).toString(QStringLiteral("d/M/yyyy"));
            chart.show();
            QVERIFY(QTest::qWaitForWindowExposed(&chart));
            QVERIFY(chart.grab().save(out + QStringLiteral("/toothchart.png")));
        }
        {
            TForm81 recall;
            recall.show();
            QVERIFY(QTest::qWaitForWindowExposed(&recall));
            QVERIFY(recall.grab().save(out + QStringLiteral("/recall.png")));
        }
        Clock::reset();
    }
};

MOLARIX_TEST(GuidePictures)
#include "pictures.moc"
