// The chart's entries as stored and read back, on the practice's engine.
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/db/dberror.h"
#include "data/work/chart.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>

class ChartEntriesTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    std::optional<CustomerRef> customer;

    // Stores one entry as the window does: started, changed, completed, posted.
    void store(DataSet &ds, int tooth, const QString &condition, const QString &surfaces, const QVariant &date = QVariant())
    {
        ds.insert();
        Chart::startEntry(ds, *customer, tooth);
        ds.setFieldValue(QStringLiteral("KATASTASH"), condition);
        ds.setFieldValue(QStringLiteral("EPIFANEIES"), surfaces);
        ds.setFieldValue(QStringLiteral("HMEROMHNIA"), date);
        Chart::completeEntry(ds, *customer);
        ds.post();
    }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 20, 30, 456)));
        p = std::make_unique<TempPractice>();
        p->exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Άννα','Αντωνίου')"));
        customer = CustomerRef::parse(p->scalar(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toString());
    }
    void cleanup()
    {
        p.reset();
        Clock::reset();
    }

    void surfacesAreStoredInCanonicalOrder_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("stored");
        QTest::newRow("reversed") << "LBODM"
                                  << "MDOBL";
        QTest::newRow("some, shuffled") << "LOM"
                                        << "MOL";
        QTest::newRow("small letters") << "bdm"
                                       << "MDB";
        QTest::newRow("twice and others") << "OxoDD"
                                          << "DO";
        QTest::newRow("none") << ""
                              << "";
    }
    void surfacesAreStoredInCanonicalOrder()
    {
        QFETCH(QString, given);
        QFETCH(QString, stored);
        DataSet ds(&p->conn());
        Chart::open(ds, *customer);
        store(ds, 16, QStringLiteral("έμφραξη"), given);
        Chart::setSurfaces(ds, given);   // as the window's boxes set them
        ds.post();
        store(ds, 17, QStringLiteral("τερηδόνα"), given);
        QCOMPARE(p->conn().scalarNative(QStringLiteral("SELECT COUNT(*) FROM ODONTOGRAMMA")).toInt(), 2);
        for (const int tooth : {16, 17})
            QCOMPARE(p->conn().scalarNative(QStringLiteral("SELECT EPIFANEIES FROM ODONTOGRAMMA WHERE DONTI=?"), {tooth}).toString(), stored);
    }

    // A tooth and a condition from the list are needed; the date (today when
    // empty), the customer and the moment of entry are the program's.
    void anEntryNeedsAToothAndACondition_data()
    {
        QTest::addColumn<int>("tooth");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("error");
        const QString noTooth = QStringLiteral("Διαλέξτε ένα δόντι στο οδοντόγραμμα ή γράψτε τον αριθμό του (π.χ. 16 ή 55).");
        const QString noCondition = QStringLiteral("Διαλέξτε την κατάσταση του δοντιού από τη λίστα.");
        QTest::newRow("permanent, dated") << 48 << "στεφάνη" << QDate(2008, 3, 5) << "";
        QTest::newRow("primary, undated") << 55 << "υγιές" << QDate() << "";
        QTest::newRow("no tooth") << 0 << "στεφάνη" << QDate() << noTooth;
        QTest::newRow("no such tooth") << 19 << "στεφάνη" << QDate() << noTooth;
        QTest::newRow("no such primary tooth") << 56 << "στεφάνη" << QDate() << noTooth;
        QTest::newRow("no condition") << 16 << "" << QDate() << noCondition;
        QTest::newRow("condition not listed") << 16 << "σπασμένο" << QDate() << noCondition;
    }
    void anEntryNeedsAToothAndACondition()
    {
        QFETCH(int, tooth);
        QFETCH(QString, condition);
        QFETCH(QDate, date);
        QFETCH(QString, error);
        DataSet ds(&p->conn());
        Chart::open(ds, *customer);
        try {
            store(ds, tooth, condition, QString(), date.isValid() ? QVariant(date) : QVariant());
            QVERIFY2(error.isEmpty(), "stored");
        } catch (const DbError &e) {
            QCOMPARE(e.message(), error);
        }
        Chart::open(ds, *customer);
        QCOMPARE(ds.recordCount(), error.isEmpty() ? 1 : 0);
        if (!error.isEmpty())
            return;
        const Chart::Entry e = Chart::entries(ds).value(0);
        QCOMPARE(e.tooth, tooth);
        QCOMPARE(e.condition, condition);
        QCOMPARE(e.date, date.isValid() ? date : QDate(2009, 6, 15));
        QCOMPARE(e.entered, QDateTime(QDate(2009, 6, 15), QTime(10, 20, 30)));
        QCOMPARE(ds.fieldValue(QStringLiteral("ID")).toLongLong(), customer->value());
    }

    // Newest day first; on one day the entry made last first; another
    // customer's entries are not read.
    void entriesAreReadNewestFirst()
    {
        DataSet ds(&p->conn());
        Chart::open(ds, *customer);
        const struct {
            int tooth;
            QDate day;
            QTime at;
        } made[] = {{11, {2009, 6, 1}, {9, 0}}, {12, {2009, 6, 2}, {8, 0}}, {13, {2009, 6, 1}, {11, 0}}, {14, {2008, 12, 31}, {12, 0}}};
        for (const auto &m : made) {
            Clock::setNow(QDateTime(QDate(2009, 6, 15), m.at));
            store(ds, m.tooth, QStringLiteral("τερηδόνα"), QString(), m.day);
        }
        p->exec(QStringLiteral("INSERT INTO ODONTOGRAMMA(ID,HMEROMHNIA,DONTI,KATASTASH) VALUES(%1,#6/3/2009#,21,'υγιές')")
                    .arg(customer->value() + 1));
        Chart::open(ds, *customer);
        QList<int> teeth;
        for (const Chart::Entry &e : Chart::entries(ds))
            teeth << e.tooth;
        QCOMPARE(teeth, (QList<int>{12, 13, 11, 14}));
    }
};

MOLARIX_TEST(ChartEntriesTest)
#include "test_chart.moc"
