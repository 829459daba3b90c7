#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/practice/schema.h"
#include "data/work/appointments.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>

// The appointment book: the day's row, and the booked slots of a month.
class AppointmentsWorkTest : public QObject {
    Q_OBJECT

    // Writes slot n (1..28) of a day whose row exists.
    static void book(TempPractice &p, const QDate &day, int n, const QString &text)
    {
        p.exec(QStringLiteral("UPDATE RANTEBOU SET [%1]='%2' WHERE HMEROMHNIA=%3")
                   .arg(Schema::slotColumns().at(n - 1), text, SqlDateLiteral(day)));
    }

private slots:
    void makingADayTwiceKeepsItsRow()
    {
        TempPractice p;
        const QDate day(2008, 3, 5);
        Appointments::makeDay(p.conn(), day);
        book(p, day, 1, QStringLiteral("Παπαδόπουλος"));
        Appointments::makeDay(p.conn(), day);
        Appointments::makeDay(p.conn(), day.addDays(1));
        QCOMPARE(p.count(QStringLiteral("RANTEBOU")), 2);

        DataSet sheet(&p.conn());
        Appointments::openDay(sheet, day);
        QCOMPARE(sheet.recordCount(), 1);
        QCOMPARE(sheet.fieldValue(QStringLiteral("0800-0830")).toString(), QStringLiteral("Παπαδόπουλος"));
        QCOMPARE(sheet.fieldValue(QStringLiteral("HMEROMHNIA")).toDate(), day);
    }

    void slotsBookedInAMonth_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<QStringList>("booked");   // "day:slots" of the days with any
        QTest::newRow("leap February, both ends") << 2008 << 2 << QStringList{"1:2", "29:1"};
        QTest::newRow("the month before") << 2008 << 1 << QStringList{"31:3"};
        QTest::newRow("the month after") << 2008 << 3 << QStringList{"1:1"};
        QTest::newRow("the same month a year before") << 2007 << 2 << QStringList{"15:1"};
        QTest::newRow("a month without rows") << 2008 << 4 << QStringList{};
    }
    void slotsBookedInAMonth()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(QStringList, booked);
        TempPractice p;
        const struct {
            QDate day;
            QList<std::pair<int, QString>> filled;
        } days[] = {
            {QDate(2008, 2, 1), {{1, QStringLiteral("α")}, {28, QStringLiteral("ω")}}},
            {QDate(2008, 2, 10), {}},
            {QDate(2008, 2, 29), {{5, QStringLiteral("   ")}, {6, QStringLiteral(" x ")}}},
            {QDate(2008, 3, 1), {{2, QStringLiteral("Μάρτιος")}}},
            {QDate(2007, 2, 15), {{3, QStringLiteral("πέρσι")}}},
            {QDate(2008, 1, 31), {{1, QStringLiteral("a")}, {2, QStringLiteral("b")}, {14, QStringLiteral("c")}}},
        };
        for (const auto &d : days) {
            Appointments::makeDay(p.conn(), d.day);
            for (const auto &[n, text] : d.filled)
                book(p, d.day, n, text);
        }
        const Appointments::MonthCounts counts = Appointments::countMonth(p.conn(), year, month);
        QStringList got;
        for (int day = 1; day <= 31; ++day)
            if (counts[size_t(day)] != 0)
                got << QStringLiteral("%1:%2").arg(day).arg(counts[size_t(day)]);
        QCOMPARE(got, booked);
    }

    void aSlotIsFilledByAnythingButBlanks_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("filled");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blanks and controls") << QStringLiteral(" \t\r\n") << false;
        QTest::newRow("a letter among blanks") << QStringLiteral("  α ") << true;
        QTest::newRow("a dot") << QStringLiteral(".") << true;
    }
    void aSlotIsFilledByAnythingButBlanks()
    {
        QFETCH(QString, value);
        QFETCH(bool, filled);
        QCOMPARE(Appointments::slotIsFilled(value), filled);
    }
};

MOLARIX_TEST(AppointmentsWorkTest)
#include "test_appointments.moc"
