// Everything held on one customer: the export a customer may ask for, and
// deletion only after the retention period, on the practice's engine.
#include "data/db/clock.h"
#include "data/db/dberror.h"
#include "data/practice/check.h"
#include "data/work/accesslog.h"
#include "data/work/customers.h"
#include "data/work/patientexport.h"
#include "data/work/settings.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

QString jet(const QDate &d) { return QStringLiteral("#%1/%2/%3#").arg(d.month()).arg(d.day()).arg(d.year()); }

qlonglong addCustomer(TempPractice &p, const QString &first, const QString &surname)
{
    p.exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,ISTORIKO) VALUES('%1','%2','Αλλεργία στην πενικιλίνη')").arg(first, surname));
    return p.scalar(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong();
}

void addVisit(TempPractice &p, qlonglong id, const QDate &d)
{
    p.exec(QStringLiteral("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA,PERIGRAFH) VALUES(%1,%2,'Έλεγχος','Καθαρισμός')").arg(id).arg(jet(d)));
}

void addChartEntry(TempPractice &p, qlonglong id, const QDate &d)
{
    p.exec(QStringLiteral("INSERT INTO ODONTOGRAMMA(ID,HMEROMHNIA,DONTI,EPIFANEIES,KATASTASH,KATAXWRHSH) VALUES(%1,%2,16,'MO','σφράγισμα',%2)")
               .arg(id)
               .arg(jet(d)));
}

// A valid receipt and its taking, as issuing leaves them.
void addReceipt(TempPractice &p, qlonglong id, const QDate &d)
{
    const qlonglong n = p.scalar(QStringLiteral("SELECT COUNT(*) FROM APODEIKSEIS")).toLongLong() + 1;
    p.exec(QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,ONOMA,EPWNYMO,POSO,POSO_CY,EGKYRH)"
                          " SELECT %1,%2,ONOMA,EPWNYMO,40,23.41096,-1 FROM STOIXEIA_PELATH WHERE ID=%3")
               .arg(n)
               .arg(jet(d))
               .arg(id));
    p.exec(QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,HMEROMHNIA,POSO,POSO_CY,PERIGRAFH,AR_APODEIKSHS) VALUES(%1,%2,40,23.41096,'Σφράγισμα',%3)")
               .arg(id)
               .arg(jet(d))
               .arg(n));
}

qlonglong countOf(TempPractice &p, const QString &table, const QString &column, qlonglong id)
{
    return p.scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2=%3").arg(table, column).arg(id)).toLongLong();
}

}   // namespace

class PatientRecordsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;

private slots:
    void init() { p = std::make_unique<TempPractice>(); }
    void cleanup()
    {
        p.reset();
        Clock::reset();
    }

    // Deletion waits for the period after the latest visit, chart entry or
    // receipt, whichever it is; 29 February ends it on 1 March.
    void deletionAfterTheRetentionPeriod_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<int>("years");   // 0: the default
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("from");   // invalid: deletable at once
        const QDate visit(2009, 6, 15), leap(2012, 2, 29), receipt(2010, 1, 10);
        QTest::newRow("visit, the day before") << "visit" << visit << 0 << QDate(2024, 6, 14) << QDate(2024, 6, 15);
        QTest::newRow("visit, the day") << "visit" << visit << 0 << QDate(2024, 6, 15) << QDate(2024, 6, 15);
        QTest::newRow("chart, 29 February to 28th") << "chart" << leap << 0 << QDate(2027, 2, 28) << QDate(2027, 3, 1);
        QTest::newRow("chart, 29 February to 1 March") << "chart" << leap << 0 << QDate(2027, 3, 1) << QDate(2027, 3, 1);
        QTest::newRow("chart, 29 February to a leap year") << "chart" << leap << 4 << QDate(2016, 2, 28) << QDate(2016, 2, 29);
        QTest::newRow("only receipts, before") << "receipt" << receipt << 0 << QDate(2025, 1, 9) << QDate(2025, 1, 10);
        QTest::newRow("only receipts, after") << "receipt" << receipt << 0 << QDate(2025, 2, 1) << QDate(2025, 1, 10);
        QTest::newRow("the practice's period") << "visit" << QDate(2015, 1, 1) << 5 << QDate(2019, 12, 31) << QDate(2020, 1, 1);
        QTest::newRow("nothing kept") << "none" << QDate() << 0 << QDate(2000, 1, 1) << QDate();
    }
    void deletionAfterTheRetentionPeriod()
    {
        QFETCH(QString, record);
        QFETCH(QDate, last);
        QFETCH(int, years);
        QFETCH(QDate, today);
        QFETCH(QDate, from);
        Clock::setNow(QDateTime(today, QTime(9, 0)));
        if (years)
            Settings::setRetentionYears(p->conn(), years);
        QCOMPARE(Settings::retentionYears(p->conn()), years ? years : 15);
        const qlonglong id = addCustomer(*p, QStringLiteral("Μαρία"), QStringLiteral("Παπά"));
        const CustomerRef ref = *CustomerRef::parse(QString::number(id));
        if (record == QLatin1String("receipt"))
            addReceipt(*p, id, last);
        if (record == QLatin1String("visit"))
            addVisit(*p, id, last);
        if (record == QLatin1String("chart")) {
            addVisit(*p, id, last.addYears(-3));   // the latest record counts
            addChartEntry(*p, id, last);
        }
        QCOMPARE(Customers::retention(p->conn(), ref, Settings::retentionYears(p->conn())).deletableFrom, from);

        const bool allowed = !from.isValid() || today >= from;
        try {
            Customers::remove(p->conn(), ref);
            QVERIFY2(allowed, "deleted within the period");
        } catch (const DbError &e) {
            QVERIFY2(!allowed, qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("πριν από τις %1/%2/%3").arg(from.day()).arg(from.month()).arg(from.year())),
                     qPrintable(e.message()));
        }
        QCOMPARE(countOf(*p, QStringLiteral("STOIXEIA_PELATH"), QStringLiteral("ID"), id), allowed ? 0 : 1);
        const bool visited = record == QLatin1String("visit") || record == QLatin1String("chart");
        QCOMPARE(countOf(*p, QStringLiteral("EPISKEPSEIS"), QStringLiteral("ID"), id), !allowed && visited ? 1 : 0);
        QCOMPARE(countOf(*p, QStringLiteral("EISPRAKSH_PELATH"), QStringLiteral("ID"), id), record == QLatin1String("receipt") ? 1 : 0);
    }

    // The export holds every record of the customer and nobody else's, the
    // JSON as many rows per section as the tables; deleting after the
    // period removes those records but the receipts and takings, which keep
    // the name, and leaves the other customer whole.
    void exportThenDeletion()
    {
        Clock::setNow(QDateTime(QDate(2024, 6, 1), QTime(9, 0)));
        const qlonglong maria = addCustomer(*p, QStringLiteral("Μαρία"), QStringLiteral("Παπά"));
        const qlonglong other = addCustomer(*p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος"));
        const qlonglong recent = addCustomer(*p, QStringLiteral("Άννα"), QStringLiteral("Αντωνίου"));
        const qlonglong none = addCustomer(*p, QStringLiteral("Νίκος"), QStringLiteral("Ζήνωνος"));
        for (const QDate &d : {QDate(2005, 3, 1), QDate(2006, 5, 2)}) {
            addVisit(*p, maria, d);
            addChartEntry(*p, maria, d);
            addReceipt(*p, maria, d);
        }
        addVisit(*p, other, QDate(2007, 1, 1));
        addReceipt(*p, other, QDate(2007, 1, 1));
        addVisit(*p, recent, QDate(2020, 1, 1));
        p->exec(QStringLiteral("INSERT INTO TIMOKATALOGOS(KWDIKOS,PERIGRAFH,TIMH_LEPTA,ENERGH) VALUES('Σ1','Σφράγισμα',4000,-1)"));
        p->exec(QStringLiteral("INSERT INTO SXEDIO_THERAPEIAS(PELATHS,ERGASIA,DONTI,TIMH_LEPTA,KATASTASH,KATAXWRHSH)"
                               " SELECT %1,ID,16,4000,'P',#3/1/2005# FROM TIMOKATALOGOS")
                    .arg(maria));
        // The book and the reminders name customers in free text.
        const std::pair<const char *, const char *> booked[] = {
            {"0900-0930", "Μαρία Παπά"}, {"1000-1030", "ΠΑΠΑ ΜΑΡΙΑ - έλεγχος"}, {"1100-1130", "Γιώργος Παπαδόπουλος"}, {"1200-1230", "Μαρία Παπάς"}};
        p->exec(QStringLiteral("INSERT INTO RANTEBOU(HMEROMHNIA) VALUES(#3/1/2005#)"));
        for (const auto &[slot, text] : booked)
            p->exec(QStringLiteral("UPDATE RANTEBOU SET [%1]='%2'").arg(QLatin1String(slot), QString::fromUtf8(text)));
        p->exec(QStringLiteral("INSERT INTO YPENTHIMISEIS(HMEROMHNIA,PERIGRAFH) VALUES(#3/2/2005#,'Να πάρει τηλέφωνο η Παπά Μαρία')"));
        p->exec(QStringLiteral("INSERT INTO YPENTHIMISEIS(HMEROMHNIA,PERIGRAFH) VALUES(#3/2/2005#,'Παραγγελία υλικών')"));

        const CustomerRef ref = *CustomerRef::parse(QString::number(maria));
        QJsonParseError error;
        const QJsonObject doc = QJsonDocument::fromJson(PatientExport::json(PatientExport::read(p->conn(), ref)), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(doc.value(QStringLiteral("version")).toInt(), PatientExport::FormatVersion);
        const QJsonObject card = doc.value(QStringLiteral("customer")).toObject();
        QCOMPARE(card.value(QStringLiteral("id")).toInteger(), maria);
        QCOMPARE(card.value(QStringLiteral("history")).toString(), QStringLiteral("Αλλεργία στην πενικιλίνη"));
        const QString receiptsOfMaria = QStringLiteral("(SELECT COUNT(*) FROM APODEIKSEIS WHERE AR_APODEIKSHS IN (SELECT AR_APODEIKSHS FROM EISPRAKSH_PELATH WHERE ID=%1))").arg(maria);
        const std::pair<const char *, qlonglong> counts[] = {
            {"visits", countOf(*p, QStringLiteral("EPISKEPSEIS"), QStringLiteral("ID"), maria)},
            {"chart", countOf(*p, QStringLiteral("ODONTOGRAMMA"), QStringLiteral("ID"), maria)},
            {"plan", countOf(*p, QStringLiteral("SXEDIO_THERAPEIAS"), QStringLiteral("PELATHS"), maria)},
            {"takings", countOf(*p, QStringLiteral("EISPRAKSH_PELATH"), QStringLiteral("ID"), maria)},
            {"receipts", p->scalar(QStringLiteral("SELECT ") + receiptsOfMaria).toLongLong()},
            {"appointments", 2},
            {"reminders", 1}};
        for (const auto &[section, rows] : counts)
            QVERIFY2(doc.value(QLatin1String(section)).toArray().size() == rows && rows > 0, section);
        QCOMPARE(doc.value(QStringLiteral("visits")).toArray().at(0).toObject().value(QStringLiteral("date")).toString(), QStringLiteral("2005-03-01"));
        QCOMPARE(doc.value(QStringLiteral("takings")).toArray().at(0).toObject().value(QStringLiteral("amount_eur")).toDouble(), 40.0);
        QCOMPARE(doc.value(QStringLiteral("plan")).toArray().at(0).toObject().value(QStringLiteral("price_cents")).toInteger(), 4000);

        // Past the period: those with records, the one with a recent visit or none left out.
        QList<qlonglong> past;
        for (const Customers::PastRetention &c : Customers::pastRetention(p->conn(), Clock::today()))
            past << c.id;
        QCOMPARE(past, (QList<qlonglong>{maria, other}));

        const qlonglong receipts = p->count(QStringLiteral("APODEIKSEIS")), takings = p->count(QStringLiteral("EISPRAKSH_PELATH"));
        Customers::remove(p->conn(), ref);
        Customers::remove(p->conn(), *CustomerRef::parse(QString::number(none)));
        const std::pair<const char *, const char *> clinical[] = {
            {"STOIXEIA_PELATH", "ID"}, {"EPISKEPSEIS", "ID"}, {"ODONTOGRAMMA", "ID"}, {"SXEDIO_THERAPEIAS", "PELATHS"}};
        for (const auto &[table, column] : clinical)
            QVERIFY2(countOf(*p, QLatin1String(table), QLatin1String(column), maria) == 0, table);
        QCOMPARE(p->count(QStringLiteral("APODEIKSEIS")), receipts);
        QCOMPARE(p->count(QStringLiteral("EISPRAKSH_PELATH")), takings);
        QCOMPARE(p->scalar(QStringLiteral("SELECT EPWNYMO FROM PELATES_DIAGRAMMENOI WHERE ID=%1").arg(maria)).toString(), QStringLiteral("Παπά"));
        QCOMPARE(p->count(QStringLiteral("PELATES_DIAGRAMMENOI")), 1);   // the customer with nothing left no name
        QCOMPARE(p->scalar(QStringLiteral("SELECT COUNT(*) FROM RANTEBOU WHERE [0900-0930] IS NULL AND [1000-1030] IS NULL"
                                          " AND [1100-1130] IS NOT NULL AND [1200-1230] IS NOT NULL"))
                     .toInt(),
                 1);
        QCOMPARE(p->scalar(QStringLiteral("SELECT PERIGRAFH FROM YPENTHIMISEIS")).toString(), QStringLiteral("Παραγγελία υλικών"));
        QCOMPARE(countOf(*p, QStringLiteral("EPISKEPSEIS"), QStringLiteral("ID"), other), 1);
        QCOMPARE(p->scalar(QStringLiteral("SELECT COUNT(*) FROM HMEROLOGIO_PROSVASEWN WHERE PELATHS=%1 AND ENERGEIA='%2'")
                               .arg(maria)
                               .arg(AccessLog::code(AccessLog::Action::Delete)))
                     .toInt(),
                 1);
        const Check::Report report = p->conn().onServer() ? Check::runOnServer(p->conn()) : Check::run(p->conn());
        QVERIFY(report.find(Check::Rule::TakingCustomer)->rows.isEmpty());
    }
};

MOLARIX_TEST(PatientRecordsTest)
#include "test_patientrecords.moc"
