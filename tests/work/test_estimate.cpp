// The estimate printout: the planned items of one customer's plan with
// teeth and prices, their exact total, the practice and the patient.
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "reports/estimate.h"
#include "reports/reportengine.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>

class EstimateTest : public QObject {
    Q_OBJECT
private slots:
    // Only the customer's planned items, in the order entered, with their
    // teeth, surfaces and prices; the total exact over many cent prices.
    void theEstimateListsThePlannedItemsAndTheirTotal()
    {
        Clock::setNow(QDateTime(QDate(2026, 3, 16), QTime(10, 0)));
        TempPractice p;
        p.copyReportFiles();
        p.exec(QStringLiteral("INSERT INTO INFORMATION (TITLE, ADDRESS1, PHONE) VALUES ('Οδοντιατρείο Δρ. Λοΐζου', 'Λεωφόρος Μακαρίου 10', '22 123456')"));
        p.exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH (ONOMA, EPWNYMO, DIEYTHYNSH) VALUES ('Μαρία', 'Παπά', 'Οδός Ερμού 5')"));
        const qlonglong id = p.scalar(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong();
        p.exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH (ONOMA, EPWNYMO) VALUES ('Γιώργος', 'Λοΐζου')"));
        const qlonglong other = p.scalar(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong();
        DbConnection &conn = p.conn();
        const auto work = [&](const QString &code, const QString &what) {
            conn.executeNative(QStringLiteral("INSERT INTO TIMOKATALOGOS (KWDIKOS, PERIGRAFH, TIMH_LEPTA, ENERGH) VALUES (?, ?, 1000, -1)"), {code, what});
            return conn.scalarNative(QStringLiteral("SELECT MAX(ID) FROM TIMOKATALOGOS"));
        };
        const QVariant filling = work(QStringLiteral("E02"), QStringLiteral("Έμφραξη σύνθετης ρητίνης δύο επιφανειών"));
        const QVariant crown = work(QStringLiteral("S01"), QStringLiteral("Στεφάνη πορσελάνης"));
        const QVariant clean = work(QStringLiteral("K01"), QStringLiteral("Καθαρισμός"));
        int entered = 0;
        const auto item = [&](qlonglong who, const QVariant &w, const QVariant &tooth, const QString &surfaces, qlonglong cents,
                              const char *state, const QString &note = {}) {
            conn.executeNative(QStringLiteral("INSERT INTO SXEDIO_THERAPEIAS (PELATHS, ERGASIA, DONTI, EPIFANEIES, TIMH_LEPTA, KATASTASH, SHMEIWSH, KATAXWRHSH)"
                                              " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                               {who, w, tooth, surfaces, cents, QString::fromLatin1(state), note.isEmpty() ? QVariant() : QVariant(note),
                                QDateTime(QDate(2026, 3, 1), QTime(9, 0)).addSecs(++entered).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
        };
        item(id, crown, 11, QString(), 45050, "P", QStringLiteral("Πρώτα προσωρινή"));
        item(id, filling, 36, QStringLiteral("MO"), 6001, "P");
        item(id, clean, QVariant(), QString(), 4000, "D");
        item(id, crown, 21, QString(), 45000, "C");
        item(other, crown, 11, QString(), 99900, "P");
        // Many cent prices: 0,01 to 1,99.
        qlonglong want = 45050 + 6001;
        for (int c = 1; c < 200; ++c) {
            item(id, clean, 17, QStringLiteral("B"), c, "P");
            want += c;
        }

        QString html, file;
        ReportProject::setTestSink([&](const QString &f, const QString &h) {
            file = f;
            html = h;
        });
        PrintEstimate(QString::number(id));
        ReportProject::setTestSink({});
        Clock::reset();
        QVERIFY(file.endsWith(QStringLiteral("PROYPOLOGISMOS.RAV")));
        QVERIFY(html.contains(QStringLiteral("Οδοντιατρείο Δρ. Λοΐζου")));
        QVERIFY(html.contains(QStringLiteral("Παπά Μαρία")));
        QVERIFY(html.contains(QStringLiteral("16/3/2026")));
        QVERIFY(html.contains(QStringLiteral("Υπογραφή ασθενούς")));
        const qsizetype crownAt = html.indexOf(QStringLiteral("Στεφάνη πορσελάνης")), fillingAt = html.indexOf(QStringLiteral("Έμφραξη"));
        QVERIFY(crownAt > 0 && fillingAt > crownAt);
        QVERIFY(html.contains(QStringLiteral(">450,50<")));
        QVERIFY(html.contains(QStringLiteral(">60,01<")));
        QVERIFY(html.contains(QStringLiteral(">0,01<")));
        QVERIFY(html.contains(QStringLiteral(">MO<")));
        QVERIFY(html.contains(QStringLiteral("Πρώτα προσωρινή")));
        QVERIFY(!html.contains(QStringLiteral(">40,00<")));    // done
        QVERIFY(!html.contains(QStringLiteral(">450,00<")));   // cancelled
        QVERIFY(!html.contains(QStringLiteral("999,00")));     // another customer's
        QCOMPARE(want, 70951);
        QVERIFY(html.contains(QStringLiteral(">709,51<")));
    }
};

MOLARIX_TEST(EstimateTest)
#include "test_estimate.moc"
