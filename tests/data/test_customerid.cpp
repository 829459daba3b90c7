#include "data/work/customerid.h"
#include "data/db/dberror.h"
#include "tests/common/testmain.h"
#include <QTest>

class CustomerRefTest : public QObject {
    Q_OBJECT
private slots:
    void onlyPositiveDecimalNumbersAreCustomers()
    {
        QCOMPARE(CustomerRef::parse(QStringLiteral("17"))->value(), 17);
        QCOMPARE(CustomerRef::parse(QStringLiteral("  0042 "))->text(), QStringLiteral("42"));
        QCOMPARE(CustomerRef::parse(QStringLiteral("9223372036854775807"))->value(), Q_INT64_C(9223372036854775807));
        for (const char *bad : {"", "   ", "0", "-5", "+5", "1.0", "1e3", "12a", "1 OR 1=1", "3;DELETE",
                                "9223372036854775808", "١٢"})
            QVERIFY2(!CustomerRef::parse(QString::fromUtf8(bad)), bad);
    }

    void requireNamesTheMissingCustomer()
    {
        QCOMPARE(CustomerRef::require(QStringLiteral("8")).value(), 8);
        try {
            CustomerRef::require(QString());
            QFAIL("an empty ID was taken");
        } catch (const DbError &e) {
            QCOMPARE(e.message(), QStringLiteral("Δεν έχει επιλεγεί πελάτης."));
        }
    }
};

MOLARIX_TEST(CustomerRefTest)
#include "test_customerid.moc"
