// GESY prevention: when a beneficiary's free visit is due, which visits
// may be stored, and the due list and the monthly count on the practice's
// engine.
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/work/gesy.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <array>
#include <map>

namespace {

qlonglong addCustomer(TempPractice &p, const QString &surname, bool beneficiary, const QString &number = {})
{
    p.conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH (ONOMA, EPWNYMO, GESY_DIKAIOUXOS, GESY_ARITHMOS) VALUES (?, ?, ?, ?)"),
                           {QStringLiteral("Όνομα"), surname, beneficiary ? -1 : 0, number.isEmpty() ? QVariant() : QVariant(number)});
    return p.scalar(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong();
}

void addVisit(TempPractice &p, qlonglong id, const QDate &day, Gesy::Kind kind)
{
    const QString code = Gesy::code(kind);
    p.conn().executeNative(QStringLiteral("INSERT INTO EPISKEPSEIS (ID, HMEROMHNIA, GESY_PROLHPSH) VALUES (?, ?, ?)"),
                           {id, day.toString(Qt::ISODate), code.isEmpty() ? QVariant() : QVariant(code)});
}

QStringList column(DataSet &ds, const char *field)
{
    QStringList out;
    for (int r = 0; r < ds.recordCount(); ++r)
        out << ds.displayText(r, ds.fieldIndex(QString::fromLatin1(field)));
    return out;
}

}

class GesyTest : public QObject {
    Q_OBJECT
private slots:
    // Twelve calendar months after the last free visit; from 29 February
    // the next is due on 28 February. The due list lists the beneficiary
    // from that day on, not the day before.
    void dueTwelveMonthsAfter_data()
    {
        QTest::addColumn<QDate>("visit");
        QTest::addColumn<QDate>("due");
        QTest::newRow("mid-month") << QDate(2025, 3, 15) << QDate(2026, 3, 15);
        QTest::newRow("year's last day") << QDate(2025, 12, 31) << QDate(2026, 12, 31);
        QTest::newRow("leap day") << QDate(2024, 2, 29) << QDate(2025, 2, 28);
    }
    void dueTwelveMonthsAfter()
    {
        QFETCH(QDate, visit);
        QFETCH(QDate, due);
        QCOMPARE(Gesy::nextEligible(visit), due);
        TempPractice p;
        const qlonglong id = addCustomer(p, QStringLiteral("Αντωνίου"), true, QStringLiteral("G123"));
        addVisit(p, id, visit, Gesy::Kind::Check);
        addVisit(p, id, visit.addMonths(-6), Gesy::Kind::None);
        DataSet ds(&p.conn());
        Gesy::openDue(ds, due.addDays(-1));
        QCOMPARE(ds.recordCount(), 0);
        Gesy::openDue(ds, due);
        QCOMPARE(column(ds, "GESY_ARITHMOS"), QStringList{QStringLiteral("G123")});
        QCOMPARE(column(ds, "TELEYTAIA_EPISKEPSH"), QStringList{visit.toString(QStringLiteral("d/M/yyyy"))});
        // An ordinary visit since does not stop the free one being due.
        addVisit(p, id, due.addDays(-1), Gesy::Kind::None);
        Gesy::openDue(ds, due);
        QCOMPARE(ds.recordCount(), 1);
    }

    // The last due visit day and the next eligible day agree every day of
    // four years, leap days and month ends included.
    void lastDueVisitMatchesEligibility()
    {
        for (QDate today(2023, 1, 1); today <= QDate(2026, 12, 31); today = today.addDays(1)) {
            const QDate last = Gesy::lastDueVisit(today);
            QVERIFY2(Gesy::nextEligible(last) <= today && Gesy::nextEligible(last.addDays(1)) > today,
                     qPrintable(today.toString(Qt::ISODate)));
        }
    }

    // A free visit is stored only for a beneficiary and at most one in
    // twelve months, also when entered after a later one; an ordinary
    // visit always.
    void whichVisitsMayBeStored_data()
    {
        QTest::addColumn<bool>("beneficiary");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("problem");   // the start of the refusal
        const QString tooSoon = QStringLiteral("Η τελευταία δωρεάν");
        QTest::newRow("not a beneficiary") << false << int(Gesy::Kind::Check) << QDate(2026, 6, 1) << QStringLiteral("Ο πελάτης δεν είναι δικαιούχος");
        QTest::newRow("ordinary visit, not a beneficiary") << false << int(Gesy::Kind::None) << QDate(2026, 6, 1) << QString();
        QTest::newRow("ordinary visit, too soon") << true << int(Gesy::Kind::None) << QDate(2025, 6, 1) << QString();
        QTest::newRow("a day too soon") << true << int(Gesy::Kind::Cleaning) << QDate(2025, 2, 27) << tooSoon;
        QTest::newRow("due after 29 February") << true << int(Gesy::Kind::Cleaning) << QDate(2025, 2, 28) << QString();
        QTest::newRow("before a later one") << true << int(Gesy::Kind::Check) << QDate(2023, 6, 1) << QStringLiteral("Ο πελάτης έχει ήδη");
        QTest::newRow("a year before") << true << int(Gesy::Kind::Check) << QDate(2023, 2, 28) << QString();
    }
    void whichVisitsMayBeStored()
    {
        QFETCH(bool, beneficiary);
        QFETCH(int, kind);
        QFETCH(QDate, day);
        QFETCH(QString, problem);
        TempPractice p;
        const qlonglong id = addCustomer(p, QStringLiteral("Αντωνίου"), beneficiary);
        addVisit(p, id, QDate(2024, 2, 29), Gesy::Kind::Check);
        const QString why = Gesy::visitProblem(p.conn(), *CustomerRef::parse(QString::number(id)), Gesy::Kind(kind), day);
        QVERIFY2(problem.isEmpty() ? why.isEmpty() : why.startsWith(problem), qPrintable(why));
    }

    // A practice of 10,000 beneficiaries (and others) with free and
    // ordinary visits over three years: the due list and the count per
    // month match what was stored.
    void dueListAndMonthlyCountOfALargePractice()
    {
        TempPractice p;
        const QDate today(2026, 3, 16);
        const QDate lastDue = Gesy::lastDueVisit(today);
        QRandomGenerator rng(28);
        int due = 0;
        std::map<int, std::array<int, 2>> perMonth;   // 2025's free visits: checks, cleanings
        {
            DbConnection &conn = p.conn();
            DbTransaction t(conn);
            DbStatement customer(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH (ID, ONOMA, EPWNYMO, GESY_DIKAIOUXOS, GESY_ARITHMOS) VALUES (?, ?, ?, ?, ?)"));
            DbStatement visit(conn, QStringLiteral("INSERT INTO EPISKEPSEIS (ID, HMEROMHNIA, GESY_PROLHPSH) VALUES (?, ?, ?)"));
            for (int i = 1; i <= 12000; ++i) {
                const bool beneficiary = i <= 10000;
                customer.reset();
                customer.bindAll({i, QStringLiteral("Όνομα"), QStringLiteral("Επώνυμο%1").arg(i, 5, 10, QLatin1Char('0')), beneficiary ? -1 : 0,
                                  beneficiary ? QVariant(QStringLiteral("G%1").arg(i)) : QVariant()});
                customer.step();
                QDate last;
                for (int k = int(rng.bounded(3)); k > 0; --k) {
                    const QDate day = today.addDays(-qint64(rng.bounded(1100)));
                    const bool free = beneficiary && rng.bounded(2) == 0;
                    const Gesy::Kind kind = !free ? Gesy::Kind::None : rng.bounded(2) ? Gesy::Kind::Check
                                                                                      : Gesy::Kind::Cleaning;
                    visit.reset();
                    visit.bindAll({i, day.toString(Qt::ISODate), free ? QVariant(Gesy::code(kind)) : QVariant()});
                    visit.step();
                    if (!free)
                        continue;
                    last = std::max(last, day);
                    if (day.year() == 2025)
                        ++perMonth[day.month()][kind == Gesy::Kind::Check ? 0 : 1];
                }
                if (beneficiary && (!last.isValid() || last <= lastDue))
                    ++due;
            }
            t.commit();
        }
        DataSet ds(&p.conn());
        Gesy::openDue(ds, today);
        QCOMPARE(ds.recordCount(), due);
        const QStringList surnames = column(ds, "EPWNYMO");
        QVERIFY(std::is_sorted(surnames.cbegin(), surnames.cend()));

        DataSet months(&p.conn()), visits(&p.conn());
        Gesy::openMonthly(months, visits, 2025);
        QCOMPARE(months.recordCount(), int(perMonth.size()));
        int total = 0;
        for (int r = 0; r < months.recordCount(); ++r) {
            months.moveTo(r);
            const auto &want = perMonth.at(months.fieldValue(QStringLiteral("MHNAS")).toInt());
            QCOMPARE(months.fieldValue(QStringLiteral("ELEGXOI")).toInt(), want[0]);
            QCOMPARE(months.fieldValue(QStringLiteral("KATHARISMOI")).toInt(), want[1]);
            QCOMPARE(months.fieldValue(QStringLiteral("SYNOLO")).toInt(), want[0] + want[1]);
            total += want[0] + want[1];
        }
        QCOMPARE(visits.recordCount(), total);
    }
};

MOLARIX_TEST(GesyTest)
#include "test_gesy.moc"
