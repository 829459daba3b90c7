#include "gui/messages.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "gui/dbcontrols.h"
#include "gui/dbgrid.h"
#include "gui/dbnavigator.h"
#include "reports/reportengine.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tools/calendartools.h"
#include "tools/notebook.h"
#include "tools/notesprint.h"
#include "tools/usefulphones.h"
#include <QCalendarWidget>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

namespace {
// Gregorian date of a Julian calendar date, through the Julian day number.
QDate fromJulianCalendar(int y, int m, int d)
{
    const int a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
    const qint64 jdn = d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - 32083;
    return QDate::fromJulianDay(jdn);
}

// Gauss's rule for the Julian Easter: 22 March + d + e.
QDate gaussOrthodoxEaster(int y)
{
    const int d = (19 * (y % 19) + 15) % 30;
    const int e = (2 * (y % 4) + 4 * (y % 7) + 6 * d + 6) % 7;
    const int n = 22 + d + e;
    return n <= 31 ? fromJulianCalendar(y, 3, n) : fromJulianCalendar(y, 4, n - 31);
}

// The right edge of a grid's last column, in viewport pixels.
int lastColumnRight(QTableView *g)
{
    const int last = g->model()->columnCount() - 1;
    return g->columnViewportPosition(last) + g->columnWidth(last);
}

// The widest display text of a grid column, as the grid's font draws it.
int widestText(QTableView *g, int column)
{
    int w = 0;
    for (int r = 0; r < g->model()->rowCount(); ++r)
        w = std::max(w, g->fontMetrics().horizontalAdvance(g->model()->index(r, column).data().toString()));
    return w;
}

QString pdfText(const QString &html)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath("out.pdf");
    ReportProject::writePdf(html, pdf);
    QProcess p;
    p.start("pdftotext", {"-enc", "UTF-8", pdf, "-"});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
}

class CalendarToolsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Clock::setNow(QDateTime(QDate(2008, 6, 1), QTime(12, 0))); }
    void cleanup() { Clock::reset(); }

    void easterLabels_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("label");
        QTest::newRow("2008") << 2008 << "είναι 27 Απριλίου";
        QTest::newRow("2010") << 2010 << "είναι 4 Απριλίου";
        QTest::newRow("2013") << 2013 << "είναι 5 Μαϊου";
        QTest::newRow("2100") << 2100 << "είναι 2 Μαϊου";
    }
    void easterLabels()
    {
        QFETCH(int, year);
        QFETCH(QString, label);
        TForm8 w;
        child<QSpinBox>(&w, "SpinEdit1")->setValue(year);
        QCOMPARE(child<QLabel>(&w, "Label2")->text(), label);
    }

    void opensOnThisYear()
    {
        TForm8 w;
        QCOMPARE(child<QSpinBox>(&w, "SpinEdit1")->value(), 2008);
        QCOMPARE(child<QLabel>(&w, "Label2")->text(), QStringLiteral("είναι 27 Απριλίου"));
        QCOMPARE(child<QCalendarWidget>(&w, "MonthCalendar1")->selectedDate(), QDate(2008, 6, 1));
        QCOMPARE(child<QCalendarWidget>(&w, "MonthCalendar1")->verticalHeaderFormat(),
                 QCalendarWidget::ISOWeekNumbers);
    }

    void monthAndDayNamesAreGreekOnAnEnglishSystem()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        {
            TForm8 w;
            w.show();
            auto *cal = child<QCalendarWidget>(&w, "MonthCalendar1");
            QCOMPARE(cal->locale().language(), QLocale::Greek);
            QCOMPARE(child<QToolButton>(cal, "qt_calendar_monthbutton")->text(), QStringLiteral("Ιούνιος"));
            for (const char *name : {"DateTimePicker1", "DateTimePicker2"}) {
                auto *picker = child<QDateEdit>(&w, name);
                QVERIFY(picker->calendarWidget());
                QCOMPARE(picker->calendarWidget()->locale().language(), QLocale::Greek);
                QCOMPARE(picker->calendarWidget()->locale().dayName(1, QLocale::ShortFormat),
                         QLocale(QLocale::Greek).dayName(1, QLocale::ShortFormat));
                // The typed form stays day/month/year.
                picker->setDate(QDate(2008, 12, 28));
                QCOMPARE(picker->text(), QStringLiteral("28/12/2008"));
            }
        }
        QLocale::setDefault(saved);
    }

    void easterUnchangedForTheTwentiethAndTwentyFirstCenturies()
    {
        // The short formula the program always used is right for 1900-2099.
        for (int y = 1900; y <= 2099; ++y) {
            const int a = y % 19, d = (19 * a + 16) % 30;
            const int e = (2 * (y % 4) + 4 * (y % 7) + 6 * d) % 7;
            const int n = d + e + 3;
            const QDate expected = n < 31 ? QDate(y, 4, n) : QDate(y, 5, n - 30);
            QCOMPARE(OrthodoxEaster(y), expected);
        }
    }

    void easterIsAlwaysASundayInItsRange()
    {
        for (int y = EasterYearBox::Lowest; y <= EasterYearBox::Highest; ++y) {
            const QDate d = OrthodoxEaster(y);
            QVERIFY2(d.dayOfWeek() == Qt::Sunday, qPrintable(QString::number(y)));
            QVERIFY(d >= QDate(y, 4, 1) && d <= QDate(y, 5, 9));
        }
        // In 1583 the Julian Easter (31 March) fell on the Gregorian 10 April.
        QCOMPARE(OrthodoxEaster(1583), QDate(1583, 4, 10));
    }

    void easterOutsideTheShortFormulaYears()
    {
        // Checked against Gauss's rule and a calendar conversion of its own.
        for (int y = 1583; y <= 2100; ++y)
            QCOMPARE(OrthodoxEaster(y), gaussOrthodoxEaster(y));
    }

    void yearTypedOutsideTheRange()
    {
        TForm8 w;
        w.show();
        auto *spin = child<QSpinBox>(&w, "SpinEdit1");
        auto *label = child<QLabel>(&w, "Label2");
        spin->setFocus();
        QLineEdit *edit = spin->findChild<QLineEdit *>();
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClicks(edit, "1582");
        QCOMPARE(edit->text(), QStringLiteral("1582"));
        QVERIFY(label->text().isEmpty());
        child<QPushButton>(&w, "Button1")->setFocus();
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(spin, &out);
        QCOMPARE(edit->text(), QStringLiteral("1583"));
        QCOMPARE(label->text(), QStringLiteral("είναι 10 Απριλίου"));

        spin->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "2101");
        QVERIFY(label->text().isEmpty());
        QApplication::sendEvent(spin, &out);
        QCOMPARE(edit->text(), QStringLiteral("2100"));
        QCOMPARE(label->text(), QStringLiteral("είναι 2 Μαϊου"));

        // An emptied box counts as the lowest year.
        edit->clear();
        QCOMPARE(label->text(), QStringLiteral("είναι 10 Απριλίου"));
        // The arrows stay within the range.
        spin->setValue(2100);
        spin->stepBy(1);
        QCOMPARE(spin->value(), 2100);
    }

    void daysBetween()
    {
        TForm8 w;
        auto *from = child<QDateEdit>(&w, "DateTimePicker1");
        auto *to = child<QDateEdit>(&w, "DateTimePicker2");
        auto *label = child<QLabel>(&w, "Label7");
        QCOMPARE(from->date(), QDate(2006, 2, 18));
        QCOMPARE(to->date(), QDate(2006, 2, 18));
        QVERIFY(label->text().isEmpty());
        from->setDate(QDate(2008, 3, 1));
        to->setDate(QDate(2008, 3, 2));
        QCOMPARE(label->text(), QStringLiteral("Αριθμός ημερών=1"));
        from->setDate(QDate(2008, 1, 1));
        to->setDate(QDate(2009, 1, 1));
        QCOMPARE(label->text(), QStringLiteral("Αριθμός ημερών=366"));
        to->setDate(QDate(2008, 1, 1));
        QVERIFY(label->text().isEmpty());
        to->setDate(QDate(2007, 12, 31));
        QVERIFY(label->text().isEmpty());
    }
};

class NotebookTest : public QObject {
    Q_OBJECT
    QStringList printed;
private slots:
    void init()
    {
        printed.clear();
        ReportProject::setTestSink([this](const QString &file, const QString &html) {
            printed << file << html;
        });
    }
    void cleanup() { ReportProject::setTestSink({}); }

    void printButtonFollowsTheNotes()
    {
        TempPractice p;
        TForm6 w;
        auto *print = child<QPushButton>(&w, "Button2");
        auto *nav = child<DbNavigator>(&w, "DBNavigator1");
        QVERIFY(!print->isEnabled());
        nav->clickButton(DbNavigator::Insert);
        w.table()->setFieldText("TITLOS", "Προμηθευτές");
        w.table()->setFieldText("PERIGRAFH", "Τηλέφωνα\nκαι διευθύνσεις");
        nav->clickButton(DbNavigator::Post);
        QVERIFY(print->isEnabled());
        QCOMPARE(p.count("SHMEIWSEIS"), 1);
        Messages::setNextAnswer(true);
        nav->clickButton(DbNavigator::Delete);
        QCOMPARE(p.count("SHMEIWSEIS"), 0);
        QVERIFY(!print->isEnabled());
    }

    void titlesAscendingAndPrintingOneOrAll()
    {
        TempPractice p;
        p.copyReportFiles();
        p.exec("INSERT INTO SHMEIWSEIS(TITLOS,PERIGRAFH) VALUES('Ωράριο','Δευτέρα ως Παρασκευή')");
        p.exec("INSERT INTO SHMEIWSEIS(TITLOS,PERIGRAFH) VALUES('Άδειες','Αύγουστος & <Χριστούγεννα>')");
        p.exec("INSERT INTO SHMEIWSEIS(TITLOS,PERIGRAFH) VALUES('Βάρδιες','Πρωί')");
        TForm6 w;
        DataSet *t = w.table();
        QCOMPARE(t->fieldText("TITLOS"), QStringLiteral("Άδειες"));
        t->next();
        QCOMPARE(t->fieldText("TITLOS"), QStringLiteral("Βάρδιες"));
        t->next();
        QCOMPARE(t->fieldText("TITLOS"), QStringLiteral("Ωράριο"));

        // Print the current note only.
        TForm7 print;
        print.SelectedNoteId = child<DbText>(&w, "DBText1")->text().trimmed();
        print.Button2Click();
        QCOMPARE(printed.size(), 2);
        QVERIFY(printed[0].endsWith("NOTES.RAV"));
        const QString one = pdfText(printed[1]);
        QVERIFY2(one.contains("Ωράριο"), qPrintable(one));
        QVERIFY(one.contains("Δευτέρα ως Παρασκευή"));
        QVERIFY(!one.contains("Βάρδιες"));
        QVERIFY(!one.contains("Άδειες"));

        printed.clear();
        print.Button1Click();
        const QString all = pdfText(printed.value(1));
        QVERIFY(all.indexOf("Άδειες") >= 0);
        QVERIFY(all.indexOf("Άδειες") < all.indexOf("Βάρδιες"));
        QVERIFY(all.indexOf("Βάρδιες") < all.indexOf("Ωράριο"));
        // Text prints as typed, never as markup.
        QVERIFY(all.contains("Αύγουστος & <Χριστούγεννα>"));
    }

    void theTitleColumnFillsTheGrid()
    {
        TempPractice p;
        p.exec("INSERT INTO SHMEIWSEIS(TITLOS,PERIGRAFH) VALUES('Προμηθευτές οδοντιατρικών υλικών και εργαστήρια','-')");
        TForm6 w;
        w.show();
        auto *g = child<DbGrid>(&w, "DBGrid1");
        QCOMPARE(g->model()->columnCount(), 1);
        QCOMPARE(g->columnWidth(0), g->viewport()->width());
        QVERIFY(g->columnWidth(0) > widestText(g, 0));
    }

    void missingReportFileIsReported()
    {
        TempPractice p;   // no report files copied
        TForm7 print;
        child<QPushButton>(&print, "Button1")->click();
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
        QVERIFY(shown[0].text.startsWith("The following reporting project does not exist:\n\""));
        QVERIFY(printed.isEmpty());
    }
};

class UsefulPhonesTest : public QObject {
    Q_OBJECT
private slots:
    void sortedByNameAndEditsFollowTheGrid()
    {
        TempPractice p;
        p.exec("INSERT INTO XRHSIMA_THLEFWNA(ONOMATEPWNYMO,DIEYTHYNSH,THLEFWNO_1) VALUES('Ψυχολόγος Λ.','Λεμεσός','25000001')");
        p.exec("INSERT INTO XRHSIMA_THLEFWNA(ONOMATEPWNYMO,DIEYTHYNSH,THLEFWNO_1) VALUES('Άγγελος Οδοντοτεχνίτης','Λευκωσία','22000002')");
        p.exec("INSERT INTO XRHSIMA_THLEFWNA(ONOMATEPWNYMO,DIEYTHYNSH,THLEFWNO_1) VALUES('Βιβή Προμήθειες','Λάρνακα','24000003')");
        TForm10 w;
        auto *grid = child<DbGrid>(&w, "DBGrid1");
        auto *name = child<DbEdit>(&w, "DBEdit1");
        QCOMPARE(grid->model()->columnCount(), 7);
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Ονοματεπώνυμο"));
        QCOMPARE(grid->model()->data(grid->model()->index(0, 0)).toString(), QStringLiteral("Άγγελος Οδοντοτεχνίτης"));
        QCOMPARE(grid->model()->data(grid->model()->index(2, 0)).toString(), QStringLiteral("Ψυχολόγος Λ."));
        QCOMPARE(name->text(), QStringLiteral("Άγγελος Οδοντοτεχνίτης"));
        w.table()->last();
        QCOMPARE(name->text(), QStringLiteral("Ψυχολόγος Λ."));
        QCOMPARE(child<DbEdit>(&w, "DBEdit2")->text(), QStringLiteral("Λεμεσός"));
        QCOMPARE(child<QLabel>(&w, "Label1")->text(), QStringLiteral("Όνοματεπώνυμο:"));
    }

    void columnsFitTheirTextsAndTheLastFillsTheGrid()
    {
        TempPractice p;
        p.exec("INSERT INTO XRHSIMA_THLEFWNA(ONOMATEPWNYMO,DIEYTHYNSH,THLEFWNO_1) VALUES('Άγγελος Οδοντοτεχνίτης','Λεωφόρος Μακαρίου 112','22000002')");
        p.exec("INSERT INTO XRHSIMA_THLEFWNA(ONOMATEPWNYMO,DIEYTHYNSH,THLEFWNO_1) VALUES('Ψ.','Π.','2')");
        TForm10 w;
        w.show();
        auto *g = child<DbGrid>(&w, "DBGrid1");
        for (int c : {0, 1})
            QVERIFY2(g->columnWidth(c) > widestText(g, c), qPrintable(QString::number(c)));
        // Short columns give their room to the others.
        QVERIFY(g->columnWidth(2) < g->columnWidth(0));
        QCOMPARE(lastColumnRight(g), g->viewport()->width());
    }

    void editPostAndCloseMidEntry()
    {
        TempPractice p;
        {
            TForm10 w;
            auto *nav = child<DbNavigator>(&w, "DBNavigator1");
            nav->clickButton(DbNavigator::Insert);
            w.table()->setFieldText("ONOMATEPWNYMO", "Εργαστήριο Κ.");
            w.table()->setFieldText("DIEYTHYNSH", "Πάφος");
            w.table()->setFieldText("THLEFWNO_1", "26000004");
            // Insert while entering stores the typed contact, then starts the next.
            QVERIFY(nav->button(DbNavigator::Insert)->isEnabled());
            nav->clickButton(DbNavigator::Insert);
            QCOMPARE(p.count("XRHSIMA_THLEFWNA"), 1);
            w.table()->setFieldText("ONOMATEPWNYMO", "Ποτέ");
            w.reject();
        }
        QCOMPARE(p.count("XRHSIMA_THLEFWNA"), 1);
        QCOMPARE(p.scalar("SELECT THLEFWNO_1 FROM XRHSIMA_THLEFWNA").toString(), QStringLiteral("26000004"));
    }
};

MOLARIX_TEST(CalendarToolsTest)
MOLARIX_TEST(NotebookTest)
MOLARIX_TEST(UsefulPhonesTest)
#include "test_tools.moc"
