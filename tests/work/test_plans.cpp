// The price list, plan items, their totals and their billing, on the
// practice's engine.
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/work/chart.h"
#include "data/work/plans.h"
#include "data/work/receipts.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>
#include <cmath>

namespace {
CustomerRef addCustomer(TempPractice &p)
{
    p.conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Άννα','Αντωνίου')"));
    return CustomerRef::require(p.conn().scalarNative(QStringLiteral("SELECT max(ID) FROM STOIXEIA_PELATH")).toString());
}

qint64 addWork(TempPractice &p, const QString &code, const QString &description, qint64 cents)
{
    return Plans::addWork(p.conn(), {.code = code, .description = description, .cents = cents});
}

qint64 addItem(TempPractice &p, CustomerRef c, qint64 work, int tooth = 0, qint64 cents = -1)
{
    return Plans::addItem(p.conn(), c, {.work = work, .tooth = tooth, .cents = cents});
}

qint64 billedOn(TempPractice &p, qint64 item)
{
    return p.conn().scalarNative(QStringLiteral("SELECT AR_APODEIKSHS FROM SXEDIO_THERAPEIAS WHERE ID=?"), {item}).toLongLong();
}
}   // namespace

class PlanUnitsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    std::optional<CustomerRef> customer;

    Receipts::Issue receipt(qint64 number, const QList<Plans::Item> &items)
    {
        QList<qint64> ids;
        for (const Plans::Item &i : items)
            ids << i.id;
        return {.number = number, .customer = *customer, .amount = double(Plans::sum(items)) / 100, .firstName = QStringLiteral("Άννα"), .surname = QStringLiteral("Αντωνίου"), .receiver = QStringLiteral("Άννα Αντωνίου"), .description = Plans::billDescription(items), .planItems = ids};
    }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2026, 3, 16), QTime(9, 30)));
        p = std::make_unique<TempPractice>();
        customer = addCustomer(*p);
        p->conn().executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(500)"));
    }
    void cleanup()
    {
        p.reset();
        Clock::reset();
    }

    void typedPricesFollowTheAmountRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("cents");   // -1: refused
        QTest::newRow("comma decimals") << "12,5" << qint64(1250);
        QTest::newRow("point, two decimals") << "0.75" << qint64(75);
        QTest::newRow("cents that doubles round") << "1,15" << qint64(115);
        QTest::newRow("zero") << "0" << qint64(0);
        QTest::newRow("the largest") << "99999999,99" << qint64(9999999999);
        QTest::newRow("thousands point") << "1.500" << qint64(-1);
        QTest::newRow("three decimals") << "12,345" << qint64(-1);
        QTest::newRow("exponent") << "1,5e2" << qint64(-1);
        QTest::newRow("letters") << "δέκα" << qint64(-1);
        QTest::newRow("negative") << "-5" << qint64(-1);
        QTest::newRow("just over the largest") << "100000000" << qint64(-1);
    }
    void typedPricesFollowTheAmountRules()
    {
        QFETCH(QString, typed);
        QFETCH(qint64, cents);
        const Plans::PriceReading r = Plans::readPrice(typed);
        QCOMPARE(r.cents.value_or(-1), cents);
        QCOMPARE(r.refusal.isEmpty(), cents >= 0);
        if (cents >= 0)
            QCOMPARE(Plans::readPrice(Plans::priceText(cents)).cents.value_or(-1), cents);
    }

    // Cent prices whose sums a double would not keep exact.
    void totalsOfManyItemsAreExact()
    {
        const qint64 work = addWork(*p, QStringLiteral("KA01"), QStringLiteral("Καθαρισμός"), 10);
        qint64 planned = 0, done = 0, billed = 0;
        QList<Plans::Item> toBill;
        for (int i = 0; i < 300; ++i) {
            const qint64 cents = 1 + (i * 37) % 1000;   // 0,01 to 10,00
            const qint64 id = addItem(*p, *customer, work, 0, cents);
            if (i % 3 == 0) {
                planned += cents;
                continue;
            }
            Plans::setState(p->conn(), id, i % 3 == 1 ? Plans::State::Done : Plans::State::Cancelled, QDate(2026, 3, 10));
            if (i % 3 == 1) {
                done += cents;
                if (i % 2 == 1) {
                    billed += cents;
                    toBill << Plans::Item{.id = id, .cents = cents};
                }
            }
        }
        Receipts::issue(p->conn(), receipt(500, toBill));
        const QList<Plans::Item> items = Plans::items(p->conn(), *customer);
        QCOMPARE(items.size(), 300);
        QCOMPARE(Plans::totals(items), (Plans::Totals{planned, done, billed, done - billed}));
        QCOMPARE(std::llround(p->conn().scalarNative(QStringLiteral("SELECT POSO FROM APODEIKSEIS")).toDouble() * 100), billed);
    }

    // A work that a plan names is kept, inactive; a code is the work's own.
    void aWorkInUseIsMadeInactiveNotDeleted()
    {
        const qint64 used = addWork(*p, QStringLiteral("EM01"), QStringLiteral("Έμφραξη μίας επιφάνειας"), 6000);
        const qint64 unused = addWork(*p, QStringLiteral("LE01"), QStringLiteral("Λεύκανση"), 35000);
        addItem(*p, *customer, used, 16);
        QVERIFY(!Plans::removeWork(p->conn(), used));
        QVERIFY(Plans::removeWork(p->conn(), unused));
        const QList<Plans::Work> list = Plans::priceList(p->conn());
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].id, used);
        QVERIFY(!list[0].active);
        QVERIFY(Plans::priceList(p->conn(), true).isEmpty());
        QCOMPARE(Plans::items(p->conn(), *customer).value(0).cents, 6000);   // the list's price
        QVERIFY_THROWS_EXCEPTION(DbError, addWork(*p, QStringLiteral("EM01"), QStringLiteral("Άλλη"), 100));
        QVERIFY_THROWS_EXCEPTION(DbError, addWork(*p, QStringLiteral("XX"), QString(), -1));
        QVERIFY_THROWS_EXCEPTION(DbError, addItem(*p, *customer, used, 19));
    }

    // Done on a day: the chart has the work from that day on, not before;
    // planned again, it is gone from the chart.
    void doneWorkEntersTheChartOnItsDay()
    {
        const qint64 crown = addWork(*p, QStringLiteral("ST01"), QStringLiteral("Στεφάνη ζιρκονίας"), 60000);
        const qint64 exam = addWork(*p, QStringLiteral("EX01"), QStringLiteral("Κλινική εξέταση"), 3000);
        const qint64 item = addItem(*p, *customer, crown, 26);
        Plans::setState(p->conn(), addItem(*p, *customer, exam), Plans::State::Done, QDate(2026, 3, 12));
        Plans::setState(p->conn(), item, Plans::State::Done, QDate(2026, 3, 12));
        auto chartOn = [&](const QDate &day) {
            DataSet ds(&p->conn());
            Chart::open(ds, *customer);
            return Chart::stateOn(Chart::entries(ds), day);
        };
        QVERIFY(chartOn(QDate(2026, 3, 11)).isEmpty());
        QCOMPARE(chartOn(QDate(2026, 3, 12)).value(26).latest, QStringLiteral("στεφάνη"));
        QCOMPARE(chartOn(QDate(2026, 3, 12)).size(), 1);
        Plans::setState(p->conn(), item, Plans::State::Planned);
        QVERIFY(chartOn(QDate()).isEmpty());
    }

    // Billed once: a second receipt for an item already on one is refused
    // whole; cancelling the first frees the item.
    void anItemIsBilledOnceUntilItsReceiptIsCancelled()
    {
        const qint64 work = addWork(*p, QStringLiteral("EN01"), QStringLiteral("Ενδοδοντική θεραπεία"), 20000);
        const qint64 a = addItem(*p, *customer, work, 11), b = addItem(*p, *customer, work, 21), planned = addItem(*p, *customer, work, 12);
        Plans::setState(p->conn(), a, Plans::State::Done, QDate(2026, 3, 2));
        Plans::setState(p->conn(), b, Plans::State::Done, QDate(2026, 3, 9));
        QList<Plans::Item> items = Plans::items(p->conn(), *customer);
        Receipts::issue(p->conn(), receipt(500, {items[0]}));
        QCOMPARE(billedOn(*p, a), 500);
        QVERIFY_THROWS_EXCEPTION(DbError, Receipts::issue(p->conn(), receipt(501, {items[1], items[0]})));
        QVERIFY_THROWS_EXCEPTION(DbError, Receipts::issue(p->conn(), receipt(501, {items[2]})));
        QVERIFY_THROWS_EXCEPTION(DbError, Plans::setState(p->conn(), a, Plans::State::Cancelled));
        QCOMPARE(billedOn(*p, b), 0);
        QCOMPARE(p->count(QStringLiteral("APODEIKSEIS")), 1);
        QCOMPARE(p->count(QStringLiteral("EISPRAKSH_PELATH")), 1);
        QCOMPARE(p->conn().scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toLongLong(), 501);
        Receipts::cancel(p->conn(), 500);
        QCOMPARE(billedOn(*p, a), 0);
        Receipts::issue(p->conn(), receipt(501, {items[1], items[0]}));
        QCOMPARE(billedOn(*p, a), 501);
        QCOMPARE(billedOn(*p, b), 501);
        QCOMPARE(billedOn(*p, planned), 0);
        QCOMPARE(Plans::totals(Plans::items(p->conn(), *customer)), (Plans::Totals{20000, 40000, 40000, 0}));
    }

    void workOfTheListNamesItsChartCondition_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("condition");
        QTest::newRow("filling") << "Έμφραξη σύνθετης ρητίνης δύο επιφανειών"
                                 << "έμφραξη";
        QTest::newRow("capitals, no accents") << "ΕΜΦΡΑΞΗ ΑΜΑΛΓΑΜΑΤΟΣ"
                                              << "έμφραξη";
        QTest::newRow("root canal") << "Ενδοδοντική θεραπεία πολύριζου"
                                    << "ενδοδοντική θεραπεία";
        QTest::newRow("crown on implant") << "Στεφάνη επί εμφυτεύματος"
                                          << "στεφάνη";
        QTest::newRow("implant") << "Εμφύτευμα τιτανίου"
                                 << "εμφύτευμα";
        QTest::newRow("extraction") << "Χειρουργική εξαγωγή"
                                    << "εξαγωγή/απών";
        QTest::newRow("cleaning") << "Καθαρισμός και στίλβωση"
                                  << "";
    }
    void workOfTheListNamesItsChartCondition()
    {
        QFETCH(QString, description);
        QFETCH(QString, condition);
        QCOMPARE(Plans::chartCondition(description), condition);
        QVERIFY(condition.isEmpty() || Chart::conditions().contains(condition));
    }
};

MOLARIX_TEST(PlanUnitsTest)
#include "test_plans.moc"
