#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/db/regional.h"
#include "data/work/expenses.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>

// The expenses' list, month totals and register, read from the statements.
class ExpensesWorkTest : public QObject {
    Q_OBJECT

    struct Expense {
        QDate date;
        double net;
        double vat;   // negative: no VAT stored
        const char *text;
    };
    // Around two year ends, with the edges of months.
    static void fill(TempPractice &p)
    {
        const Expense book[] = {
            {QDate(2007, 12, 31), 500, 100, "Πριν"},
            {QDate(2008, 1, 1), 10, 2.4, "Αρχή"},
            {QDate(2008, 3, 15), 35, 8.4, "Νερό"},
            {QDate(2008, 12, 1), 100.5, 24.12, "Ρεύμα"},
            {QDate(2008, 12, 31), 200.25, -1, "Ενοίκιο"},
            {QDate(2009, 1, 1), 40, 9.6, "Τηλέφωνο"},
            {QDate(2009, 1, 31), 1.75, 0.42, "Χαρτί"},
            {QDate(2010, 1, 1), 700, 100, "Μετά"},
        };
        for (const Expense &e : book)
            p.exec(QStringLiteral("INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT,PERIGRAFH) VALUES(%1,%2,%3,'%4')")
                       .arg(SqlDateLiteral(e.date), QString::number(e.net, 'f', 2),
                            e.vat < 0 ? QStringLiteral("NULL") : QString::number(e.vat, 'f', 2),
                            QString::fromUtf8(e.text)));
    }
    static QStringList column(DataSet &ds, const char *field)
    {
        QStringList out;
        for (int r = 0; r < ds.recordCount(); ++r)
            out << ds.displayText(r, ds.fieldIndex(QLatin1String(field)));
        return out;
    }
    // "net|vat|gross" of the one totals row; empty texts without expenses.
    static QString totals(DataSet &ds)
    {
        return column(ds, "AKSIA").join(u',') + u'|' + column(ds, "VAT").join(u',') + u'|'
            + column(ds, "SYNOLO").join(u',');
    }
    static QString amounts(double net, double vat, double gross)
    {
        return Regional::formatAmount(net) + u'|' + Regional::formatAmount(vat) + u'|' + Regional::formatAmount(gross);
    }

private slots:
    void betweenDates_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("sums");
        QTest::newRow("both ends included, oldest first")
            << QDate(2008, 12, 1) << QDate(2009, 1, 1) << QStringList{"Ρεύμα", "Ενοίκιο", "Τηλέφωνο"}
            << amounts(100.5 + 200.25 + 40, 24.12 + 9.6, 100.5 + 24.12 + 40 + 9.6);
        QTest::newRow("one day") << QDate(2008, 3, 15) << QDate(2008, 3, 15) << QStringList{"Νερό"}
                                 << amounts(35, 8.4, 43.4);
        QTest::newRow("nothing in range") << QDate(2008, 4, 1) << QDate(2008, 11, 30) << QStringList{}
                                          << QStringLiteral("||");
    }
    void betweenDates()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, listed);
        QFETCH(QString, sums);
        TempPractice p;
        fill(p);
        DataSet list(&p.conn()), sum(&p.conn());
        Expenses::listBetween(list, from, to);
        Expenses::totalsBetween(sum, from, to);
        QCOMPARE(column(list, "PERIGRAFH"), listed);
        QCOMPARE(totals(sum), sums);
        if (!listed.isEmpty())
            QCOMPARE(column(list, "HMEROMHNIA").first(), from.toString(QStringLiteral("dd/MM/yyyy")));
    }

    void byMonth_data()
    {
        QTest::addColumn<int>("fromYear");
        QTest::addColumn<int>("toYear");
        QTest::addColumn<QStringList>("months");   // "month/year net|vat|gross"
        QTest::addColumn<QString>("sums");
        QTest::newRow("over a year end")
            << 2008 << 2009
            << QStringList{QStringLiteral("1/2008 ") + amounts(10, 2.4, 12.4),
                           QStringLiteral("3/2008 ") + amounts(35, 8.4, 43.4),
                           QStringLiteral("12/2008 ") + amounts(300.75, 24.12, 124.62),
                           QStringLiteral("1/2009 ") + amounts(41.75, 10.02, 51.77)}
            << amounts(387.5, 44.94, 232.19);
        QTest::newRow("one year") << 2010 << 2010 << QStringList{QStringLiteral("1/2010 ") + amounts(700, 100, 800)}
                                  << amounts(700, 100, 800);
        QTest::newRow("no expenses") << 2001 << 2003 << QStringList{} << QStringLiteral("||");
    }
    void byMonth()
    {
        QFETCH(int, fromYear);
        QFETCH(int, toYear);
        QFETCH(QStringList, months);
        QFETCH(QString, sums);
        TempPractice p;
        fill(p);
        DataSet list(&p.conn()), sum(&p.conn());
        Expenses::byMonth(list, fromYear, toYear);
        Expenses::totalsOfYears(sum, fromYear, toYear);
        QStringList got;
        for (int r = 0; r < list.recordCount(); ++r)
            got << list.displayText(r, list.fieldIndex(QStringLiteral("MONTH"))) + u'/'
                    + list.displayText(r, list.fieldIndex(QStringLiteral("YEAR"))) + u' '
                    + list.displayText(r, list.fieldIndex(QStringLiteral("AKSIA"))) + u'|'
                    + list.displayText(r, list.fieldIndex(QStringLiteral("VAT"))) + u'|'
                    + list.displayText(r, list.fieldIndex(QStringLiteral("SYNOLO")));
        QCOMPARE(got, months);
        QCOMPARE(totals(sum), sums);
    }

    void theRegisterIsNewestFirst()
    {
        TempPractice p;
        fill(p);
        DataSet table(&p.conn());
        Expenses::openRegister(table);
        QCOMPARE(table.recordCount(), 8);
        QCOMPARE(table.recNo(), 0);
        QCOMPARE(column(table, "PERIGRAFH").first(), QStringLiteral("Μετά"));
        QCOMPARE(column(table, "PERIGRAFH").last(), QStringLiteral("Πριν"));
    }
};

MOLARIX_TEST(ExpensesWorkTest)
#include "test_expenses.moc"
