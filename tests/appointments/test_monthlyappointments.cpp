#include "appointments/daysheet.h"
#include "appointments/monthlyappointments.h"
#include "app/messages.h"
#include "data/clock.h"
#include "data/dataset.h"
#include "data/gui/dbcontrols.h"
#include "data/gui/dbnavigator.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"

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
    auto *months = child<QComboBox>(&w, "ComboBox1");
    months->setCurrentIndex(month - 1);
    years->setCurrentIndex(years->findText(QString::number(year)));
    QCOMPARE(w.SelectedYear, year);
    QCOMPARE(w.SelectedMonth, month);
}

QColor textColour(QLabel *l) { return l->palette().color(QPalette::WindowText); }

// The cell now showing day d, or 0.
int cellShowing(TForm1a &w, int day)
{
    for (int k = 1; k <= TForm1a::CellCount; ++k)
        if (!w.dayLabel(k)->isHidden() && w.dayLabel(k)->text() == QString::number(day))
            return k;
    return 0;
}

QString countOf(TForm1a &w, int day)
{
    const int k = cellShowing(w, day);
    return k ? w.countLabel(k)->text() : QStringLiteral("<no cell>");
}

// Replaces the modal show of the day sheet for one test.
struct SheetHand {
    explicit SheetHand(std::function<void(TForm2a &)> f) : saved(TForm1a::sheetShower())
    {
        TForm1a::sheetShower() = std::move(f);
    }
    ~SheetHand() { TForm1a::sheetShower() = saved; }
    std::function<void(TForm2a &)> saved;
};

// Types text the way a keyboard does, Greek letters included.
void type(QWidget *w, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

void clickDay(TForm1a &w, int day)
{
    const int k = cellShowing(w, day);
    QVERIFY2(k > 0, "day not shown");
    QTest::mouseClick(w.dayLabel(k), Qt::LeftButton);
}

} // namespace

class MonthlyCalendarTest : public QObject {
    Q_OBJECT
private slots:
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
        Clock::setNow(QDateTime(QDate(2012, 6, 15), QTime(9, 0)));
        TForm1a w;
        showMonth(w, year, month);
        QCOMPARE(w.FirstWeekday, firstCell);
        QCOMPARE(w.MonthLength, lastCell - firstCell + 1);
        for (int k = 1; k <= TForm1a::CellCount; ++k) {
            const bool inMonth = k >= firstCell && k <= lastCell;
            QCOMPARE(!w.dayLabel(k)->isHidden(), inMonth);
            QCOMPARE(!w.countLabel(k)->isHidden(), inMonth);
            QCOMPARE(w.dayLabel(k)->text(), inMonth ? QString::number(k - firstCell + 1) : QString());
        }
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void lists()
    {
        TempPractice practice;
        Clock::setNow(QDateTime(QDate(2012, 6, 15), QTime(9, 0)));
        TForm1a w;
        auto *years = child<QComboBox>(&w, "ComboBox2");
        auto *months = child<QComboBox>(&w, "ComboBox1");
        QCOMPARE(years->count(), 28);
        QCOMPARE(years->itemText(0), QStringLiteral("2008"));
        QCOMPARE(years->itemText(27), QStringLiteral("2035"));
        QCOMPARE(months->count(), 12);
        QCOMPARE(months->itemText(0), QStringLiteral("Ιανουάριος"));
        QCOMPARE(months->itemText(4), QStringLiteral("Μάιος"));
        QCOMPARE(months->itemText(11), QStringLiteral("Δεκέμβριος"));
        QVERIFY(!years->isEditable() && !months->isEditable());
        QCOMPARE(w.windowTitle(), QStringLiteral("Μηνιαία κατάσταση των ραντεβού"));
        // Weekday headings green, weekend lime.
        QCOMPARE(textColour(child<QLabel>(&w, "Label2")), QColor(0, 128, 0));
        QCOMPARE(textColour(child<QLabel>(&w, "Label6")), QColor(0, 128, 0));
        QCOMPARE(textColour(child<QLabel>(&w, "Label7")), QColor(0, 255, 0));
        QCOMPARE(textColour(child<QLabel>(&w, "Label8")), QColor(0, 255, 0));
    }

    // Today's number is green only in today's month; weekend numbers grey.
    void todayAndWeekendColours()
    {
        TempPractice practice;
        Clock::setNow(QDateTime(QDate(2008, 3, 8), QTime(9, 0)));   // a Saturday
        TForm1a w;
        QCOMPARE(w.SelectedYear, 2008);
        QCOMPARE(w.SelectedMonth, 3);
        QCOMPARE(child<QComboBox>(&w, "ComboBox2")->currentText(), QStringLiteral("2008"));
        QCOMPARE(child<QComboBox>(&w, "ComboBox1")->currentText(), QStringLiteral("Μάρτιος"));
        QCOMPARE(textColour(w.dayLabel(cellShowing(w, 8))), QColor(0, 128, 0));
        QCOMPARE(textColour(w.dayLabel(cellShowing(w, 9))), QColor(128, 128, 128));
        QCOMPARE(textColour(w.dayLabel(cellShowing(w, 15))), QColor(128, 128, 128));
        QCOMPARE(textColour(w.dayLabel(cellShowing(w, 10))), QColor(0, 0, 0));

        showMonth(w, 2008, 4);
        QCOMPARE(textColour(w.dayLabel(cellShowing(w, 8))), QColor(0, 0, 0));   // a Tuesday
        QCOMPARE(textColour(w.dayLabel(cellShowing(w, 5))), QColor(128, 128, 128));
        showMonth(w, 2009, 3);
        QCOMPARE(textColour(w.dayLabel(cellShowing(w, 8))), QColor(128, 128, 128));   // a Sunday

        child<QPushButton>(&w, "Button2")->click();
        QCOMPARE(w.SelectedYear, 2008);
        QCOMPARE(w.SelectedMonth, 3);
        QCOMPARE(textColour(w.dayLabel(cellShowing(w, 8))), QColor(0, 128, 0));
    }

    void yearListReachesToday_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("firstYear");
        QTest::addColumn<QString>("lastYear");
        QTest::newRow("2040") << QDate(2040, 5, 17) << "2008" << "2040";
        QTest::newRow("2036") << QDate(2036, 1, 1) << "2008" << "2036";
        QTest::newRow("2035") << QDate(2035, 12, 31) << "2008" << "2035";
        QTest::newRow("2005") << QDate(2005, 2, 1) << "2005" << "2035";
    }
    void yearListReachesToday()
    {
        QFETCH(QDate, today);
        QFETCH(QString, firstYear);
        QFETCH(QString, lastYear);
        TempPractice practice;
        Clock::setNow(QDateTime(today, QTime(9, 0)));
        TForm1a w;
        auto *years = child<QComboBox>(&w, "ComboBox2");
        QCOMPARE(years->itemText(0), firstYear);
        QCOMPARE(years->itemText(years->count() - 1), lastYear);
        QCOMPARE(years->count(), lastYear.toInt() - firstYear.toInt() + 1);
        QVERIFY(years->findText(QStringLiteral("2008")) >= 0);
        QVERIFY(years->findText(QStringLiteral("2035")) >= 0);
        QCOMPARE(years->currentText(), QString::number(today.year()));
        QCOMPARE(w.SelectedYear, today.year());
        QCOMPARE(w.SelectedMonth, today.month());
        QCOMPARE(textColour(w.dayLabel(cellShowing(w, today.day()))), QColor(0, 128, 0));

        showMonth(w, 2010, 8);
        child<QPushButton>(&w, "Button2")->click();
        QCOMPARE(years->currentText(), QString::number(today.year()));
        QCOMPARE(w.SelectedMonth, today.month());
        QVERIFY(Messages::takeShown().isEmpty());
    }
};
MOLARIX_TEST(MonthlyCalendarTest)

class MonthlyCountTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Clock::setNow(QDateTime(QDate(2012, 6, 15), QTime(9, 0))); }
    void cleanup() { Clock::reset(); }

    void countsFilledSlots()
    {
        TempPractice p;
        // Day 3: three filled slots and one of blanks; first and last slot filled.
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830],[1430-1500],[2130-2200],[1000-1030])"
                              " VALUES(#3/3/2008#,'Παπαδόπουλος',' x ','Νικολάου','    ')"));
        // Day 4: a row with nothing booked; day 5: only blanks and control characters.
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA) VALUES(#3/4/2008#)"));
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830],[0830-0900],[0900-0930])"
                              " VALUES(#3/5/2008#,'','  ','\t')"));
        // The month's first and last days, and the days just outside it.
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830]) VALUES(#3/1/2008#,'a')"));
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830],[0830-0900]) VALUES(#3/31/2008#,'a','b')"));
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830]) VALUES(#2/29/2008#,'a')"));
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830]) VALUES(#4/1/2008#,'a')"));
        // The same day of another year.
        p.exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA,[0800-0830]) VALUES(#3/6/2009#,'a')"));

        TForm1a w;
        showMonth(w, 2008, 3);
        QCOMPARE(countOf(w, 3), QStringLiteral("3"));
        QCOMPARE(countOf(w, 4), QString());
        QCOMPARE(countOf(w, 5), QString());
        QCOMPARE(countOf(w, 6), QString());
        QCOMPARE(countOf(w, 1), QStringLiteral("1"));
        QCOMPARE(countOf(w, 31), QStringLiteral("2"));
        int shown = 0;
        for (int k = 1; k <= TForm1a::CellCount; ++k)
            shown += w.countLabel(k)->text().isEmpty() ? 0 : 1;
        QCOMPARE(shown, 3);
        // Booked days stand out from free ones.
        QVERIFY(w.cellFrame(cellShowing(w, 3))->palette().color(QPalette::Window)
                != w.cellFrame(cellShowing(w, 4))->palette().color(QPalette::Window));

        showMonth(w, 2008, 2);
        QCOMPARE(countOf(w, 29), QStringLiteral("1"));
        for (int d = 1; d <= 28; ++d)
            QCOMPARE(countOf(w, d), QString());
        showMonth(w, 2009, 3);
        QCOMPARE(countOf(w, 6), QStringLiteral("1"));
        QCOMPARE(countOf(w, 3), QString());

        // A new booking shows on the next rebuild, not from a cache.
        p.exec(QStringLiteral("UPDATE RANTEBOU SET [0900-0930]='Γεωργίου' WHERE HMEROMHNIA=#3/6/2009#"));
        showMonth(w, 2008, 3);
        showMonth(w, 2009, 3);
        QCOMPARE(countOf(w, 6), QStringLiteral("2"));
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void missingDatabaseReachesTheErrorReport()
    {
        TempPractice p;
        TForm1a w;
        Messages::takeShown();
        QFile::remove(p.path() + QStringLiteral("/data.mdb"));
        child<QComboBox>(&w, "ComboBox1")->setCurrentIndex(2);
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, Messages::Kind::Error);
        QVERIFY(!w.ADOConnection1.isOpen());
    }
};
MOLARIX_TEST(MonthlyCountTest)

class DaySheetTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Clock::setNow(QDateTime(QDate(2008, 3, 20), QTime(9, 0))); }
    void cleanup() { Clock::reset(); }

    void slotRows()
    {
        TForm2a sheet;
        const QStringList expected = {QStringLiteral("08:00 - 08:30"), QStringLiteral("08:30 - 09:00")};
        QCOMPARE(child<QLabel>(&sheet, "Panel1")->text(), expected[0]);
        QCOMPARE(child<QLabel>(&sheet, "Panel2")->text(), expected[1]);
        QCOMPARE(child<QLabel>(&sheet, "Panel14")->text(), QStringLiteral("14:30 - 15:00"));
        QCOMPARE(child<QLabel>(&sheet, "Panel15")->text(), QStringLiteral("15:00 - 15:30"));
        QCOMPARE(child<QLabel>(&sheet, "Panel28")->text(), QStringLiteral("21:30 - 22:00"));
        QCOMPARE(child<DbEdit>(&sheet, "DBEdit1")->dataField(), QStringLiteral("0800-0830"));
        QCOMPARE(child<DbEdit>(&sheet, "DBEdit14")->dataField(), QStringLiteral("1430-1500"));
        QCOMPARE(child<DbEdit>(&sheet, "DBEdit15")->dataField(), QStringLiteral("1500-1530"));
        QCOMPARE(child<DbEdit>(&sheet, "DBEdit28")->dataField(), QStringLiteral("2130-2200"));

        // Two columns: 1..14 on the left, 15..28 on the right, each top to bottom.
        for (int n = 1; n <= 28; ++n) {
            DbEdit *e = sheet.slotEdit(n);
            QVERIFY(!e->hasFrame());
            QVERIFY(e->font().bold());
            QCOMPARE(e->palette().color(QPalette::Text), QColor(255, 0, 0));
            QCOMPARE(sheet.slotPanel(n)->y(), e->y());
            if (n != 1 && n != 15)
                QVERIFY(e->y() > sheet.slotEdit(n - 1)->y());
            if (n > 14)
                QVERIFY(e->x() > sheet.slotEdit(n - 14)->x() + sheet.slotEdit(n - 14)->width() - 1);
        }
        // Tab goes through the slots in order; the exit button is no tab stop.
        for (int n = 1; n < 28; ++n) {
            QWidget *next = sheet.slotEdit(n)->nextInFocusChain();
            while (next && !(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next, static_cast<QWidget *>(sheet.slotEdit(n + 1)));
        }
        auto *exit = child<QPushButton>(&sheet, "Button29");
        QCOMPARE(exit->text(), QStringLiteral("Έ&ξοδος"));
        QVERIFY(!(exit->focusPolicy() & Qt::TabFocus));
        auto *nav = child<DbNavigator>(&sheet, "DBNavigator1");
        QVERIFY(!nav->button(DbNavigator::Post)->isHidden());
        for (auto b : {DbNavigator::First, DbNavigator::Next, DbNavigator::Insert, DbNavigator::Delete,
                       DbNavigator::Cancel, DbNavigator::Edit})
            QVERIFY(nav->button(b)->isHidden());
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
            QVERIFY(sheet.ADOQuery1->sql().isEmpty());
            QVERIFY(!sheet.ADOConnection1.isOpen());
        });
        clickDay(w, 5);
        QCOMPARE(shows, 1);
        QCOMPARE(w.SelectedDay, 5);
        QCOMPARE(p.count(QStringLiteral("RANTEBOU")), 1);
        QCOMPARE(p.scalar(QStringLiteral("SELECT COUNT(*) FROM RANTEBOU WHERE HMEROMHNIA=#3/5/2008#"
                                         " AND [0800-0830] IS NULL AND [2130-2200] IS NULL")).toInt(), 1);
        QCOMPARE(countOf(w, 5), QString());
        QVERIFY(!w.ADOConnection1.isOpen());

        // Opening it again: the refused insert leaves no trace and says nothing.
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
            QCOMPARE(sheet.Label83->text(), QStringLiteral("12/3/2008"));
            QCOMPARE(sheet.slotEdit(5)->text(), QStringLiteral("Ιωάννου"));
            type(sheet.slotEdit(1), QStringLiteral("Κ. Παπαδοπούλου"));
            type(sheet.slotEdit(28), QStringLiteral("Σφράγισμα"));
            auto *post = sheet.DBNavigator1->button(DbNavigator::Post);
            QVERIFY(post->isEnabled());
            post->click();
            QVERIFY(!post->isEnabled());
            child<QPushButton>(&sheet, "Button29")->click();
        });
        clickDay(w, 12);
        QCOMPARE(countOf(w, 12), QStringLiteral("3"));
        QCOMPARE(p.scalar(QStringLiteral("SELECT [0800-0830] FROM RANTEBOU WHERE HMEROMHNIA=#3/12/2008#")).toString(),
                 QStringLiteral("Κ. Παπαδοπούλου"));
        QCOMPARE(p.scalar(QStringLiteral("SELECT [2130-2200] FROM RANTEBOU WHERE HMEROMHNIA=#3/12/2008#")).toString(),
                 QStringLiteral("Σφράγισμα"));

        // A day opened for the first time: one posted slot makes a count of 1.
        SheetHand one([&](TForm2a &sheet) {
            type(sheet.slotEdit(15), QStringLiteral("Έλεγχος"));
            sheet.DBNavigator1->clickButton(DbNavigator::Post);
            sheet.reject();
        });
        clickDay(w, 20);
        QCOMPARE(countOf(w, 20), QStringLiteral("1"));
        QVERIFY(Messages::takeShown().isEmpty());
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
            QVERIFY(sheet.DBNavigator1->button(DbNavigator::Post)->isEnabled());
            QTest::keyClick(&sheet, Qt::Key_Escape);
        });
        clickDay(w, 12);
        QCOMPARE(countOf(w, 12), QStringLiteral("1"));
        QCOMPARE(p.scalar(QStringLiteral("SELECT [1000-1030] FROM RANTEBOU WHERE HMEROMHNIA=#3/12/2008#")).toString(),
                 QStringLiteral("Ιωάννου"));
        QCOMPARE(p.scalar(QStringLiteral("SELECT COUNT(*) FROM RANTEBOU WHERE [0830-0900] IS NOT NULL")).toInt(), 0);
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void onlyShownDaysOpen()
    {
        TempPractice p;
        TForm1a w;
        showMonth(w, 2009, 2);   // cells 7 to 34
        int shows = 0;
        SheetHand hand([&](TForm2a &sheet) { ++shows; sheet.reject(); });
        for (int k : {1, 6, 35, 37}) {
            QTest::mouseClick(w.dayLabel(k), Qt::LeftButton);
            QTest::mouseClick(w.countLabel(k), Qt::LeftButton);
        }
        QCOMPARE(shows, 0);
        QCOMPARE(p.count(QStringLiteral("RANTEBOU")), 0);
        // The count is not a way in either.
        QTest::mouseClick(w.countLabel(7), Qt::LeftButton);
        QCOMPARE(shows, 0);
        QTest::mouseClick(w.dayLabel(7), Qt::LeftButton);
        QCOMPARE(shows, 1);
        QCOMPARE(w.SelectedDay, 1);
        QCOMPARE(p.scalar(QStringLiteral("SELECT COUNT(*) FROM RANTEBOU WHERE HMEROMHNIA=#2/1/2009#")).toInt(), 1);
    }

    void failedOpeningShowsNoSheet()
    {
        TempPractice p;
        TForm1a w;
        showMonth(w, 2008, 3);
        int shows = 0;
        SheetHand hand([&](TForm2a &sheet) { ++shows; sheet.reject(); });
        QFile::remove(p.path() + QStringLiteral("/data.mdb"));
        clickDay(w, 5);
        QCOMPARE(shows, 0);
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, Messages::Kind::Error);
    }
};
MOLARIX_TEST(DaySheetTest)

#include "test_monthlyappointments.moc"
