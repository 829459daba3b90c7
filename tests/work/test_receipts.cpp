#include "data/work/receipts.h"
#include "data/db/dataset.h"
#include "data/db/regional.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>

namespace {
CustomerRef addCustomer(TempPractice &p, const QString &surname)
{
    p.conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Ελένη',?)"), {surname});
    return CustomerRef::require(p.conn().scalarNative(QStringLiteral("SELECT max(ID) FROM STOIXEIA_PELATH")).toString());
}

void startNumbering(TempPractice &p, qint64 next)
{
    p.conn().executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(?)"), {next});
}

qint64 counter(TempPractice &p)
{
    return p.conn().scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toLongLong();
}

Receipts::Issue receipt(qint64 number, CustomerRef customer, double amount)
{
    return {.number = number,
            .customer = customer,
            .amount = amount,
            .firstName = QStringLiteral("Ελένη"),
            .surname = QStringLiteral("Ο'Νιλ"),
            .receiver = QStringLiteral("Ελένη Ο'Νιλ"),
            .description = QStringLiteral("Σφράγισμα"),
            .fund = QStringLiteral("ΓΕΣΥ")};
}

QList<qint64> numbers(TempPractice &p, const QString &table)
{
    QList<qint64> list;
    for (const QVariantList &row :
         queryRows(p.conn(), QStringLiteral("SELECT AR_APODEIKSHS FROM ") + table + QStringLiteral(" ORDER BY AR_APODEIKSHS")))
        list << row.value(0).toLongLong();
    return list;
}

// Every digit of a double: QCOMPARE of doubles forgives the last ones.
QString exact(double value)
{
    return QString::number(value, 'g', 17);
}

// A field of the first row, as the windows bound to the data set show it.
QString shown(DataSet &d, const char *field)
{
    return d.displayText(0, d.fieldIndex(QLatin1String(field)));
}
}

class ReceiptUnitsTest : public QObject {
    Q_OBJECT
private slots:
    // Each attempt offers the number its workstation read and an amount;
    // only the counter's current number with an acceptable amount is issued.
    void eachReceiptTakesTheCountersNumberOnce_data()
    {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<QList<qint64>>("offered");
        QTest::addColumn<QList<double>>("amounts");
        QTest::addColumn<QList<qint64>>("issued");
        QTest::newRow("in turn") << qint64(1001) << QList<qint64>{1001, 1002, 1003} << QList<double>{10, 20, 30}
                                 << QList<qint64>{1001, 1002, 1003};
        QTest::newRow("a number taken meanwhile") << qint64(1001) << QList<qint64>{1001, 1001, 1002}
                                                  << QList<double>{10, 20, 30} << QList<qint64>{1001, 1002};
        QTest::newRow("a number not reached yet") << qint64(1001) << QList<qint64>{1002, 1001}
                                                  << QList<double>{10, 20} << QList<qint64>{1001};
        QTest::newRow("refused amounts take no number")
            << qint64(7) << QList<qint64>{7, 7, 7, 7} << QList<double>{0, -5, Regional::MaxAmount + 0.01, 5}
            << QList<qint64>{7};
        QTest::newRow("past 2^31") << qint64(2147483647) << QList<qint64>{2147483647, 2147483648}
                                   << QList<double>{10, 20} << QList<qint64>{2147483647, 2147483648};
    }
    void eachReceiptTakesTheCountersNumberOnce()
    {
        QFETCH(qint64, start);
        QFETCH(QList<qint64>, offered);
        QFETCH(QList<double>, amounts);
        QFETCH(QList<qint64>, issued);
        TempPractice p;
        const CustomerRef customer = addCustomer(p, QStringLiteral("Ο'Νιλ"));
        startNumbering(p, start);
        for (qsizetype i = 0; i < offered.size(); ++i) {
            try {
                Receipts::issue(p.conn(), receipt(offered[i], customer, amounts[i]));
            } catch (const DbError &) {
            }
        }
        // A refused attempt leaves no row, so the numbers run without a gap.
        QCOMPARE(numbers(p, QStringLiteral("APODEIKSEIS")), issued);
        QCOMPARE(numbers(p, QStringLiteral("EISPRAKSH_PELATH")), issued);
        QCOMPARE(counter(p), start + issued.size());
    }

    // Both rows carry the euros and the pounds to fifteen digits, as the
    // receipt shows them.
    void amountsAreStoredWithTheirPounds_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<double>("poso");
        QTest::addColumn<double>("posoCy");
        QTest::newRow("whole") << 50.0 << 50.0 << 29.2637;
        QTest::newRow("pounds rounded to fifteen digits") << 12.5 << 12.5 << 7.315925;
        QTest::newRow("sum drift") << 0.1 + 0.2 << 0.3 << 0.1755822;
        QTest::newRow("largest") << Regional::MaxAmount << 99999999.99 << 58527399.9941473;
    }
    void amountsAreStoredWithTheirPounds()
    {
        QFETCH(double, amount);
        QFETCH(double, poso);
        QFETCH(double, posoCy);
        TempPractice p;
        const CustomerRef customer = addCustomer(p, QStringLiteral("Ο'Νιλ"));
        startNumbering(p, 1);
        Receipts::issue(p.conn(), receipt(1, customer, amount));
        for (const char *table : {"APODEIKSEIS", "EISPRAKSH_PELATH"}) {
            const QList<QVariantList> rows =
                queryRows(p.conn(), QStringLiteral("SELECT POSO, POSO_CY FROM ") + QLatin1String(table));
            QCOMPARE(rows.size(), 1);
            QCOMPARE(exact(rows[0].value(0).toDouble()), exact(poso));
            QCOMPARE(exact(rows[0].value(1).toDouble()), exact(posoCy));
        }
    }

    void cancellingRemovesTheTakingAndKeepsTheReceiptInvalid()
    {
        TempPractice p;
        const CustomerRef a = addCustomer(p, QStringLiteral("Ο'Νιλ"));
        const CustomerRef b = addCustomer(p, QStringLiteral("Ιωάννου"));
        startNumbering(p, 1001);
        Receipts::issue(p.conn(), receipt(1001, a, 10));
        Receipts::issue(p.conn(), receipt(1002, a, 20));
        Receipts::issue(p.conn(), receipt(1003, b, 40));
        Receipts::cancel(p.conn(), 1002);
        Receipts::cancel(p.conn(), 1002);   // again: nothing more changes

        QCOMPARE(numbers(p, QStringLiteral("EISPRAKSH_PELATH")), (QList<qint64>{1001, 1003}));
        QCOMPARE(counter(p), 1004);
        DataSet issued(&p.conn());
        Receipts::openIssued(issued);
        const struct {
            qint64 number;
            const char *valid;
        } expected[] = {{1001, "True"}, {1002, "False"}, {1003, "True"}};
        QCOMPARE(issued.recordCount(), 3);
        issued.setSort(QStringLiteral("AR_APODEIKSHS ASC"));
        for (const auto &e : expected) {
            const int row = int(e.number - 1001);
            QCOMPARE(issued.value(row, issued.fieldIndex(QStringLiteral("AR_APODEIKSHS"))).toLongLong(), e.number);
            QCOMPARE(issued.displayText(row, issued.fieldIndex(QStringLiteral("EGKYRH"))), QLatin1String(e.valid));
        }

        // The customer's takings and totals lose it too.
        DataSet takings(&p.conn()), totals(&p.conn());
        Receipts::openTakings(takings, a);
        QCOMPARE(takings.recordCount(), 1);
        QCOMPARE(shown(takings, "AR_APODEIKSHS"), QStringLiteral("1001"));
        Receipts::openTakingTotals(totals, a);
        QCOMPARE(shown(totals, "SYNOLO"), QStringLiteral("1"));
        QCOMPARE(shown(totals, "EISPRAKSH"), Regional::formatAmount(10));
    }

    // Receipts of 1/3 (10), 15/3 (20, cancelled), 31/3 (30) and 1/4 (40).
    void totalsBetweenDatesCountBothEndsAndOnlyValidReceipts_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<double>("total");   // 0: none, an empty total
        QTest::newRow("the month") << QDate(2008, 3, 1) << QDate(2008, 3, 31) << 40.0;
        QTest::newRow("the first day alone") << QDate(2008, 3, 1) << QDate(2008, 3, 1) << 10.0;
        QTest::newRow("the last day alone") << QDate(2008, 3, 31) << QDate(2008, 3, 31) << 30.0;
        QTest::newRow("only the cancelled one") << QDate(2008, 3, 2) << QDate(2008, 3, 30) << 0.0;
        QTest::newRow("across the month's end") << QDate(2008, 3, 31) << QDate(2008, 4, 1) << 70.0;
        QTest::newRow("reversed") << QDate(2008, 4, 1) << QDate(2008, 3, 1) << 0.0;
    }
    void totalsBetweenDatesCountBothEndsAndOnlyValidReceipts()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(double, total);
        TempPractice p;
        const CustomerRef customer = addCustomer(p, QStringLiteral("Ο'Νιλ"));
        startNumbering(p, 1);
        const struct {
            QDate date;
            double amount;
        } issued[] = {{QDate(2008, 3, 1), 10}, {QDate(2008, 3, 15), 20}, {QDate(2008, 3, 31), 30}, {QDate(2008, 4, 1), 40}};
        qint64 number = 1;
        for (const auto &r : issued) {
            Receipts::issue(p.conn(), receipt(number, customer, r.amount));
            p.conn().executeNative(QStringLiteral("UPDATE APODEIKSEIS SET HMEROMHNIA=? WHERE AR_APODEIKSHS=?"),
                                   {r.date.toString(Qt::ISODate), number});
            ++number;
        }
        Receipts::cancel(p.conn(), 2);

        DataSet totals(&p.conn());
        Receipts::openTotalBetween(totals, from, to);
        QCOMPARE(totals.recordCount(), 1);
        QCOMPARE(shown(totals, "POSO"), total > 0 ? Regional::formatAmount(total) : QString());
        QCOMPARE(shown(totals, "POSO_CY"), total > 0 ? Regional::formatAmount(Receipts::pounds(total)) : QString());
    }
};

MOLARIX_TEST(ReceiptUnitsTest)
#include "test_receipts.moc"
