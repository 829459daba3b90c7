#include "appointments/daysheet.h"
#include "appointments/monthlyappointments.h"
#include "gui/messages.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "gui/dbcontrols.h"
#include "gui/dbnavigator.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tests/common/testserver.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

void showMonth(TForm1a &w, int year, int month)
{
    auto *years = child<QComboBox>(&w, "ComboBox2");
    child<QComboBox>(&w, "ComboBox1")->setCurrentIndex(month - 1);
    years->setCurrentIndex(years->findText(QString::number(year)));
    QCOMPARE(w.SelectedYear, year);
    QCOMPARE(w.SelectedMonth, month);
}

QColor colour(QLabel *l) { return l->palette().color(QPalette::WindowText); }

int cellShowing(TForm1a &w, int day)
{
    for (int k = 1; k <= TForm1a::CellCount; ++k)
        if (!w.dayLabel(k)->isHidden() && w.dayLabel(k)->text() == QString::number(day))
            return k;
    return 0;
}

QLabel *dayOf(TForm1a &w, int day) { return w.dayLabel(cellShowing(w, day)); }

QString countOf(TForm1a &w, int day)
{
    const int k = cellShowing(w, day);
    return k ? w.countLabel(k)->text() : QStringLiteral("<no cell>");
}

// Takes the place of the modal show of the day sheet for one test.
struct SheetHand {
    explicit SheetHand(std::function<void(TForm2a &)> f) : saved(TForm1a::sheetShower())
    {
        TForm1a::sheetShower() = std::move(f);
    }
    ~SheetHand() { TForm1a::sheetShower() = saved; }
    std::function<void(TForm2a &)> saved;
};

// Types as a keyboard does, Greek letters included.
void type(QWidget *w, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

void clickDay(TForm1a &w, int day) { QTest::mouseClick(dayOf(w, day), Qt::LeftButton); }

QString slot(TempPractice &p, const char *column, const char *date)
{
    return p.scalar(QStringLiteral("SELECT [%1] FROM RANTEBOU WHERE HMEROMHNIA=%2")
                        .arg(QLatin1String(column), QLatin1String(date)))
        .toString();
}

}   // namespace

class MonthlyCalendarTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Clock::setNow(QDateTime(QDate(2012, 6, 15), QTime(9, 0))); }
    void cleanup() { Clock::reset(); }

    void firstWeekdayAgreesWithTheCalendar()
    {
        QCOMPARE(FirstWeekdayOfMonth(2008, 1), 2);
        for (int y = 1900; y <= 2100; ++y)
            for (int m = 1; m <= 12; ++m) {
                QCOMPARE(FirstWeekdayOfMonth(y, m), QDate(y, m, 1).dayOfWeek());
                QCOMPARE(DaysInMonth(y, m), QDate(y, m, 1).daysInMonth());
            }
    }

    void monthFillsItsCells_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("firstCell");
        QTest::addColumn<int>("lastCell");
        QTest::newRow("February 2016, leap, Monday") << 2016 << 2 << 1 << 29;
        QTest::newRow("February 2010, Monday") << 2010 << 2 << 1 << 28;
        QTest::newRow("February 2009, Sunday") << 2009 << 2 << 7 << 34;
        QTest::newRow("March 2008, Saturday") << 2008 << 3 << 6 << 36;
        QTest::newRow("August 2010, Sunday") << 2010 << 8 << 7 << 37;
    }
    void monthFillsItsCells()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, firstCell);
        QFETCH(int, lastCell);
        TempPractice practice;
        TForm1a w;
        showMonth(w, 2035, 12);   // a month that fills other cells first
        showMonth(w, year, month);
        for (int k = 1; k <= TForm1a::CellCount; ++k) {
            const bool inMonth = k >= firstCell && k <= lastCell;
            QCOMPARE(!w.dayLabel(k)->isHidden(), inMonth);
            QCOMPARE(!w.countLabel(k)->isHidden(), inMonth);
            QCOMPARE(w.dayLabel(k)->text(), inMonth ? QString::number(k - firstCell + 1) : QString());
        }
    }

    // Today's number is green only in today's month; weekend numbers grey.
    void todayAndWeekendColours()
    {
        TempPractice practice;
        Clock::setNow(QDateTime(QDate(2008, 3, 8), QTime(9, 0)));   // a Saturday
        TForm1a w;
        QCOMPARE(child<QComboBox>(&w, "ComboBox1")->currentText(), QStringLiteral("Μάρτιος"));
        QCOMPARE(colour(dayOf(w, 8)), QColor(0, 128, 0));
        QCOMPARE(colour(dayOf(w, 9)), QColor(128, 128, 128));
        QCOMPARE(colour(dayOf(w, 10)), QColor(0, 0, 0));
        showMonth(w, 2008, 4);
        QCOMPARE(colour(dayOf(w, 8)), QColor(0, 0, 0));   // a Tuesday
        showMonth(w, 2009, 3);
        QCOMPARE(colour(dayOf(w, 8)), QColor(128, 128, 128));   // a Sunday
        child<QPushButton>(&w, "Button2")->click();
        QCOMPARE(w.SelectedYear, 2008);
        QCOMPARE(w.SelectedMonth, 3);
        QCOMPARE(colour(dayOf(w, 8)), QColor(0, 128, 0));
    }

    void yearListReachesToday_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("firstYear");
        QTest::addColumn<int>("lastYear");
        QTest::newRow("2012") << QDate(2012, 6, 15) << 2008 << 2035;
        QTest::newRow("2035") << QDate(2035, 12, 31) << 2008 << 2035;
        QTest::newRow("2036") << QDate(2036, 1, 1) << 2008 << 2036;
        QTest::newRow("2040") << QDate(2040, 5, 17) << 2008 << 2040;
        QTest::newRow("2005") << QDate(2005, 2, 1) << 2005 << 2035;
    }
    void yearListReachesToday()
    {
        QFETCH(QDate, today);
        QFETCH(int, firstYear);
        QFETCH(int, lastYear);
        TempPractice practice;
        Clock::setNow(QDateTime(today, QTime(9, 0)));
        TForm1a w;
        auto *years = child<QComboBox>(&w, "ComboBox2");
        QCOMPARE(years->count(), lastYear - firstYear + 1);
        for (int i = 0; i < years->count(); ++i)
            QCOMPARE(years->itemText(i), QString::number(firstYear + i));
        QCOMPARE(w.SelectedYear, today.year());
        QCOMPARE(w.SelectedMonth, today.month());
        QCOMPARE(colour(dayOf(w, today.day())), QColor(0, 128, 0));
        showMonth(w, 2010, 8);
        child<QPushButton>(&w, "Button2")->click();
        QCOMPARE(years->currentText(), QString::number(today.year()));
        QCOMPARE(w.SelectedMonth, today.month());
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void countsFilledSlots()
    {
        TempPractice p;
        // Day 3: three filled slots (first, middle, last) and one of blanks.
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830],[1430-1500],[2130-2200],[1000-1030])"
                              " VALUES(#3/3/2008#,'Παπαδόπουλος',' x ','Νικολάου','    ')"));
        // Day 4: nothing booked; day 5: only blanks and control characters.
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA) VALUES(#3/4/2008#)"));
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830],[0830-0900],[0900-0930])"
                              " VALUES(#3/5/2008#,'','  ','\t')"));
        // The month's ends, the days just outside it, and March of another year.
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830]) VALUES(#3/1/2008#,'a')"));
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830],[0830-0900]) VALUES(#3/31/2008#,'a','b')"));
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830]) VALUES(#2/29/2008#,'a')"));
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830]) VALUES(#4/1/2008#,'a')"));
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830]) VALUES(#3/6/2009#,'a')"));

        TForm1a w;
        showMonth(w, 2008, 3);
        QStringList counts;
        for (int d = 1; d <= 31; ++d)
            counts << countOf(w, d);
        QStringList expected(31, QString());
        expected[0] = QStringLiteral("1");
        expected[2] = QStringLiteral("3");
        expected[30] = QStringLiteral("2");
        QCOMPARE(counts, expected);
        // Booked days stand out from free ones.
        QVERIFY(w.cellFrame(cellShowing(w, 3))->palette().color(QPalette::Window)
                != w.cellFrame(cellShowing(w, 4))->palette().color(QPalette::Window));

        showMonth(w, 2008, 2);
        QCOMPARE(countOf(w, 29), QStringLiteral("1"));
        QCOMPARE(countOf(w, 1), QString());
        // Counts are read afresh at every rebuild.
        p.exec(QStringLiteral("UPDATE RANTEBOU SET [0900-0930]='Γεωργίου' WHERE HMEROMHNIA=#3/6/2009#"));
        showMonth(w, 2009, 3);
        QCOMPARE(countOf(w, 6), QStringLiteral("2"));
        QCOMPARE(countOf(w, 3), QString());
        QVERIFY(Messages::takeShown().isEmpty());
    }
};
MOLARIX_TEST(MonthlyCalendarTest)

class DaySheetTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Clock::setNow(QDateTime(QDate(2008, 3, 20), QTime(9, 0))); }
    void cleanup() { Clock::reset(); }

    void slotRows()
    {
        TForm2a sheet;
        const int probes[] = {1, 2, 14, 15, 28};
        const char *captions[] = {"08:00 - 08:30", "08:30 - 09:00", "14:30 - 15:00", "15:00 - 15:30", "21:30 - 22:00"};
        const char *columns[] = {"0800-0830", "0830-0900", "1430-1500", "1500-1530", "2130-2200"};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(sheet.slotPanel(probes[i])->text(), QLatin1String(captions[i]));
            QCOMPARE(sheet.slotEdit(probes[i])->dataField(), QLatin1String(columns[i]));
        }
        // Two columns, 08:00-15:00 left and 15:00-22:00 right; Tab follows the slots.
        for (int n = 1; n <= 28; ++n) {
            DbEdit *e = sheet.slotEdit(n);
            QCOMPARE(sheet.slotPanel(n)->y(), e->y());
            if (n != 1 && n != 15)
                QVERIFY(e->y() > sheet.slotEdit(n - 1)->y());
            if (n > 14)
                QVERIFY(sheet.slotPanel(n)->x() >= sheet.slotEdit(n - 14)->geometry().right());
            if (n < 28) {
                QWidget *next = e->nextInFocusChain();
                while (!(next->focusPolicy() & Qt::TabFocus))
                    next = next->nextInFocusChain();
                QCOMPARE(next, static_cast<QWidget *>(sheet.slotEdit(n + 1)));
            }
        }
        QVERIFY(!(child<QPushButton>(&sheet, "Button29")->focusPolicy() & Qt::TabFocus));
    }

    void firstOpeningMakesAnEmptyRow()
    {
        TempPractice p;
        TForm1a w;
        showMonth(w, 2008, 3);
        int shows = 0;
        SheetHand hand([&](TForm2a &sheet) {
            ++shows;
            QCOMPARE(sheet.Label83->text(), QStringLiteral("5/3/2008"));
            QCOMPARE(sheet.ADOQuery1->sql(), QStringLiteral("SELECT * FROM RANTEBOU WHERE HMEROMHNIA=#3/5/2008#"));
            QCOMPARE(sheet.ADOQuery1->recordCount(), 1);
            for (int n = 1; n <= 28; ++n)
                QCOMPARE(sheet.slotEdit(n)->text(), QString());
            QVERIFY(!sheet.DBNavigator1->button(DbNavigator::Post)->isEnabled());
            sheet.reject();
            QVERIFY(!sheet.ADOQuery1->isOpen());
            QVERIFY(!sheet.ADOConnection1.isOpen());
        });
        clickDay(w, 5);
        QCOMPARE(shows, 1);
        QCOMPARE(p.count(QStringLiteral("RANTEBOU")), 1);
        QCOMPARE(p.scalar(QStringLiteral("SELECT COUNT(*) FROM RANTEBOU WHERE HMEROMHNIA=#3/5/2008#"
                                         " AND [0800-0830] IS NULL AND [2130-2200] IS NULL"))
                     .toInt(),
                 1);
        QCOMPARE(countOf(w, 5), QString());
        QVERIFY(!w.ADOConnection1.isOpen());

        // Again: the refused insert leaves no trace and says nothing.
        clickDay(w, 5);
        QCOMPARE(shows, 2);
        QCOMPARE(p.count(QStringLiteral("RANTEBOU")), 1);
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void postedTypingCountsAtOnce()
    {
        TempPractice p;
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[1000-1030]) VALUES(#3/12/2008#,'Ιωάννου')"));
        TForm1a w;
        showMonth(w, 2008, 3);
        QCOMPARE(countOf(w, 12), QStringLiteral("1"));
        SheetHand hand([&](TForm2a &sheet) {
            QCOMPARE(sheet.slotEdit(5)->text(), QStringLiteral("Ιωάννου"));
            type(sheet.slotEdit(1), QStringLiteral("Κ. Παπαδοπούλου"));
            type(sheet.slotEdit(28), QStringLiteral("Σφράγισμα"));
            auto *post = sheet.DBNavigator1->button(DbNavigator::Post);
            QVERIFY(post->isEnabled());
            post->click();
            child<QPushButton>(&sheet, "Button29")->click();
        });
        clickDay(w, 12);
        QCOMPARE(countOf(w, 12), QStringLiteral("3"));
        QCOMPARE(slot(p, "0800-0830", "#3/12/2008#"), QStringLiteral("Κ. Παπαδοπούλου"));
        QCOMPARE(slot(p, "2130-2200", "#3/12/2008#"), QStringLiteral("Σφράγισμα"));

        // A day opened for the first time: one posted slot counts 1.
        SheetHand one([&](TForm2a &sheet) {
            type(sheet.slotEdit(15), QStringLiteral("Έλεγχος"));
            sheet.DBNavigator1->clickButton(DbNavigator::Post);
            sheet.reject();
        });
        clickDay(w, 20);
        QCOMPARE(countOf(w, 20), QStringLiteral("1"));
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void captionAndLongSlotsShowTheirBeginning()
    {
        TempPractice p;
        const QString booked = QStringLiteral("Παπαδόπουλος Γιώργος - σφράγισμα 26, τηλ. 99123456, να φέρει τις ακτινογραφίες");
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830],[2130-2200]) VALUES(#3/12/2008#,'%1','%1')").arg(booked));
        TForm1a w;
        showMonth(w, 2008, 3);
        int shows = 0;
        SheetHand hand([&](TForm2a &sheet) {
            ++shows;
            QCOMPARE(sheet.windowTitle(), QStringLiteral("Αναλυτική κατάσταση των ραντεβού"));
            for (int n : {1, 28}) {
                DbEdit *e = sheet.slotEdit(n);
                QCOMPARE(e->text(), booked);
                QVERIFY(e->fontMetrics().horizontalAdvance(booked) > e->width());   // too long to show whole
                QCOMPARE(e->cursorPosition(), 0);
            }
            // Typing elsewhere and posting reloads the slots: still their beginning.
            type(sheet.slotEdit(2), QStringLiteral("Ιωάννου"));
            sheet.DBNavigator1->clickButton(DbNavigator::Post);
            QCOMPARE(sheet.slotEdit(1)->cursorPosition(), 0);
            sheet.reject();
        });
        clickDay(w, 12);
        QCOMPARE(shows, 1);
    }

    void unpostedTypingIsDropped()
    {
        TempPractice p;
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[1000-1030]) VALUES(#3/12/2008#,'Ιωάννου')"));
        TForm1a w;
        showMonth(w, 2008, 3);
        SheetHand hand([&](TForm2a &sheet) {
            sheet.slotEdit(2)->setFocus();
            type(sheet.slotEdit(2), QStringLiteral("Νέο ραντεβού"));
            sheet.slotEdit(5)->selectAll();
            QTest::keyClick(sheet.slotEdit(5), Qt::Key_Delete);
            QTest::keyClick(&sheet, Qt::Key_Escape);
        });
        clickDay(w, 12);
        QCOMPARE(countOf(w, 12), QStringLiteral("1"));
        QCOMPARE(slot(p, "1000-1030", "#3/12/2008#"), QStringLiteral("Ιωάννου"));
        QCOMPARE(slot(p, "0830-0900", "#3/12/2008#"), QString());
    }

    void onlyShownDaysOpen()
    {
        TempPractice p;
        TForm1a w;
        showMonth(w, 2009, 2);   // cells 7 to 34
        int shows = 0;
        SheetHand hand([&](TForm2a &sheet) { ++shows; sheet.reject(); });
        for (int k : {1, 6, 35, 37})
            QTest::mouseClick(w.dayLabel(k), Qt::LeftButton);
        QTest::mouseClick(w.countLabel(7), Qt::LeftButton);
        QCOMPARE(shows, 0);
        QCOMPARE(w.SelectedDay, 0);
        QCOMPARE(p.count(QStringLiteral("RANTEBOU")), 0);
        QVERIFY(Messages::takeShown().isEmpty());
        QTest::mouseClick(w.dayLabel(7), Qt::LeftButton);
        QCOMPARE(shows, 1);
        QCOMPARE(p.scalar(QStringLiteral("SELECT COUNT(*) FROM RANTEBOU WHERE HMEROMHNIA=#2/1/2009#")).toInt(), 1);
    }

    // Two desks on one day: the second to book the same slot is told, sees
    // the first's booking, and keeps it when it does not confirm.
    void aBookingFromAnotherDeskIsShownAfterTheRefusal()
    {
        TempPractice p;
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA) VALUES(#3/12/2008#)"));
        TForm1a deskA, deskB;
        showMonth(deskA, 2008, 3);
        showMonth(deskB, 2008, 3);
        TForm2a *sheetA = nullptr;
        int shows = 0;
        SheetHand hand([&](TForm2a &sheet) {
            if (++shows == 1) {
                sheetA = &sheet;
                clickDay(deskB, 12);
                return;
            }
            type(sheetA->slotEdit(5), QStringLiteral("Ιωάννου"));
            sheetA->DBNavigator1->button(DbNavigator::Post)->click();
            type(sheet.slotEdit(5), QStringLiteral("Παπαδόπουλος"));
            sheet.DBNavigator1->button(DbNavigator::Post)->click();
            auto shown = Messages::takeShown();
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].text.startsWith(QStringLiteral("Η εγγραφή άλλαξε από άλλο χρήστη")), qPrintable(shown[0].text));
            QCOMPARE(sheet.slotEdit(5)->text(), QStringLiteral("Ιωάννου"));
            Messages::setNextAnswer(false);
            sheet.DBNavigator1->button(DbNavigator::Post)->click();
            shown = Messages::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].kind, Messages::Kind::Confirm);
            QCOMPARE(sheet.slotEdit(5)->text(), QStringLiteral("Ιωάννου"));
        });
        clickDay(deskA, 12);
        QCOMPARE(shows, 2);
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(slot(p, "1000-1030", "#3/12/2008#"), QStringLiteral("Ιωάννου"));
    }

    // Without a database the window reports once and no sheet appears.
    void missingDatabase()
    {
        if (TestServer::practicesOnServer())
            QSKIP("a practice on a server has no file to remove");
        TempPractice p;
        TForm1a w;
        showMonth(w, 2008, 3);
        int shows = 0;
        SheetHand hand([&](TForm2a &) { ++shows; });
        QFile::remove(p.path() + QStringLiteral("/data.mdb"));
        showMonth(w, 2008, 4);
        clickDay(w, 5);
        QCOMPARE(shows, 0);
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
        QCOMPARE(shown[1].kind, Messages::Kind::Error);
        QVERIFY(!w.ADOConnection1.isOpen());
    }
};
MOLARIX_TEST(DaySheetTest)

#include "test_monthlyappointments.moc"
