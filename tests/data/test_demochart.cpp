// The demo practice's tooth charts: entries the chart window can show,
// each left by a visit of its customer that day, and its price list.
#include "chart/chartstate.h"
#include "data/db/connection.h"
#include "data/work/plans.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QDate>
#include <QTest>

class DemoChartTest : public QObject {
    Q_OBJECT
private slots:
    void entriesComeFromVisitsAndFitTheChart()
    {
        QTemporaryDir dir;
        const QDate today(2026, 3, 16);
        const ToolRun r = runTool({QStringLiteral("demo"), dir.path(), QStringLiteral("--customers"), QStringLiteral("200"),
                                   QStringLiteral("--today"), today.toString(Qt::ISODate)});
        QCOMPARE(r.code, 0);
        auto c = openPracticeDir(dir.path());
        const auto rows = queryRows(*c, QStringLiteral("SELECT o.ID, o.HMEROMHNIA, o.DONTI, o.EPIFANEIES, o.KATASTASH, p.HMEROMHNIA_GENNHSEWS,"
                                                       " (SELECT count(*) FROM EPISKEPSEIS v WHERE v.ID = o.ID AND v.HMEROMHNIA = o.HMEROMHNIA)"
                                                       " FROM ODONTOGRAMMA o LEFT JOIN STOIXEIA_PELATH p ON p.ID = o.ID"));
        QVERIFY(rows.size() > 100);
        const QStringList conditions = Chart::conditions();
        QSet<QString> used;
        for (const QVariantList &row : rows) {
            const QString what = QStringLiteral("%1 %2 %3").arg(row[0].toString(), row[1].toString(), row[2].toString());
            QVERIFY2(row[6].toInt() > 0, qPrintable(what + QStringLiteral(": no visit that day")));
            const int tooth = row[2].toInt();
            QVERIFY2(Chart::isTooth(tooth), qPrintable(what));
            QCOMPARE(Chart::normalizeSurfaces(row[3].toString()), row[3].toString());
            QVERIFY2(conditions.contains(row[4].toString()), qPrintable(what));
            used.insert(row[4].toString());
            const QDate born = QDate::fromString(row[5].toString(), Qt::ISODate);
            QVERIFY(born.isValid());
            // Children's entries are of their milk teeth.
            if (Chart::dentitionOf(tooth) == Chart::Dentition::Primary)
                QVERIFY2(born.addYears(12) > today, qPrintable(what));
            QVERIFY(QDate::fromString(row[1].toString(), Qt::ISODate) <= today);
        }
        QVERIFY(used.size() >= 5);
        // Its price list names the chart's kinds of work, at real prices.
        QSet<QString> charted;
        for (const Plans::Work &w : Plans::priceList(*c, true)) {
            QVERIFY2(w.cents >= 1000 && w.cents <= 200000, qPrintable(w.code));
            charted.insert(Plans::chartCondition(w.description));
        }
        QCOMPARE(charted.size(), 7);   // six conditions and work that leaves none
        // And the recall list has customers to call.
        QVERIFY(c->scalarNative(QStringLiteral("SELECT count(*) FROM (SELECT ID FROM EPISKEPSEIS GROUP BY ID"
                                               " HAVING max(HMEROMHNIA) < '2025-09-16')"))
                    .toInt()
                > 10);
    }
};

MOLARIX_TEST(DemoChartTest)
#include "test_demochart.moc"
