// Who is overdue for a visit and by how many whole months, on the
// practice's engine.
#include "data/db/dataset.h"
#include "data/work/recall.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>
#include <algorithm>

using Dates = QList<QDate>;

class RecallTest : public QObject {
    Q_OBJECT
private slots:
    // Overdue: the last visit before the same day that many months back.
    // Months: whole ones, the last not counted until its day comes round.
    void overdueAndWholeMonths_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("months");
        QTest::addColumn<Dates>("visits");
        QTest::addColumn<int>("overdue");   // whole months; -1: not listed
        const QDate june15(2009, 6, 15);
        QTest::newRow("exactly the months ago") << june15 << 6 << Dates{{2008, 12, 15}} << -1;
        QTest::newRow("a day more") << june15 << 6 << Dates{{2008, 12, 14}} << 6;
        QTest::newRow("the last visit counts") << june15 << 6 << Dates{{2008, 1, 1}, {2009, 6, 1}, {2007, 1, 1}} << -1;
        QTest::newRow("the last of old visits") << june15 << 6 << Dates{{2006, 1, 1}, {2007, 3, 1}} << 27;
        QTest::newRow("day not come round") << june15 << 1 << Dates{{2009, 1, 20}} << 4;
        QTest::newRow("across the new year") << QDate(2009, 1, 10) << 1 << Dates{{2008, 11, 11}} << 1;
        QTest::newRow("shorter month: its last day") << QDate(2009, 3, 31) << 1 << Dates{{2009, 2, 28}} << -1;
        QTest::newRow("shorter month: the day before") << QDate(2009, 3, 31) << 1 << Dates{{2009, 2, 27}} << 1;
        QTest::newRow("leap day") << QDate(2008, 2, 29) << 12 << Dates{{2007, 2, 27}} << 12;
        QTest::newRow("never came") << june15 << 1 << Dates{} << -1;
    }
    void overdueAndWholeMonths()
    {
        QFETCH(QDate, today);
        QFETCH(int, months);
        QFETCH(Dates, visits);
        QFETCH(int, overdue);
        TempPractice p;
        p.exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,THLEFWNO_1) VALUES('Άννα','Αντωνίου','22 111111')"));
        const qlonglong id = p.scalar(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong();
        for (const QDate &d : visits)
            p.conn().executeNative(QStringLiteral("INSERT INTO EPISKEPSEIS (ID, HMEROMHNIA) VALUES (?, ?)"), {id, d.toString(Qt::ISODate)});
        DataSet ds(&p.conn());
        Recall::open(ds, months, today);
        QCOMPARE(ds.recordCount(), overdue < 0 ? 0 : 1);
        if (overdue < 0)
            return;
        QCOMPARE(ds.fieldText(QStringLiteral("MHNES")), QString::number(overdue));
        const QDate last = *std::max_element(visits.cbegin(), visits.cend());
        QCOMPARE(ds.fieldText(QStringLiteral("TELEYTAIA_EPISKEPSH")), last.toString(QStringLiteral("d/M/yyyy")));
        QCOMPARE(ds.fieldText(QStringLiteral("THLEFWNO_1")), QStringLiteral("22 111111"));
    }

    // The longest overdue first; on the same day by surname.
    void theLongestOverdueFirst()
    {
        TempPractice p;
        const std::pair<const char *, QDate> customers[] = {
            {"Γεωργίου", {2009, 1, 1}}, {"Βασιλείου", {2008, 5, 5}}, {"Αντωνίου", {2009, 1, 1}}, {"Δημητρίου", {2009, 6, 1}}};
        for (const auto &[surname, last] : customers) {
            p.exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Όνομα','%1')").arg(QString::fromUtf8(surname)));
            p.conn().executeNative(QStringLiteral("INSERT INTO EPISKEPSEIS (ID, HMEROMHNIA) VALUES (?, ?)"),
                                   {p.scalar(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")), last.toString(Qt::ISODate)});
        }
        DataSet ds(&p.conn());
        Recall::open(ds, 3, QDate(2009, 6, 15));
        QStringList surnames;
        for (int r = 0; r < ds.recordCount(); ++r)
            surnames << ds.displayText(r, ds.fieldIndex(QStringLiteral("EPWNYMO")));
        QCOMPARE(surnames, (QStringList{"Βασιλείου", "Αντωνίου", "Γεωργίου"}));
    }
};

MOLARIX_TEST(RecallTest)
#include "test_recall.moc"
