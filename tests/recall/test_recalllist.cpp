// The recall list: who is overdue for a visit, by how many whole months,
// the longest overdue first; its count, printout and the way to the
// customer's own row.
#include "customers/customerlist.h"
#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "recall/recalllist.h"
#include "reports/reportengine.h"
#include "data/work/accesslog.h"
#include "tests/common/testmain.h"
#include "tests/customers/customertestutil.h"
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTest>
#include <tuple>

class RecallListTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;

    void visit(qlonglong customer, const QDate &d)
    {
        p->conn().executeNative(QStringLiteral("INSERT INTO EPISKEPSEIS (ID, HMEROMHNIA, AITIA) VALUES (?, ?, 'Έλεγχος')"),
                                {customer, d.toString(Qt::ISODate)});
    }
    static QDate monthsOn(const QDate &from, int k)
    {
        const QDate month = QDate(from.year(), from.month(), 1).addMonths(k);
        return from.day() <= month.daysInMonth() ? QDate(month.year(), month.month(), from.day()) : month.addMonths(1);
    }
    static void showMonths(TForm81 &w, int months)
    {
        child<QSpinBox>(&w, "SpinEdit1")->setValue(months);
        child<QPushButton>(&w, "Button1")->click();
    }
    // Surname, months and last visit of each row shown.
    static QStringList shown(TForm81 &w)
    {
        const QStringList names = gridColumn(&w, 0), last = gridColumn(&w, 4), months = gridColumn(&w, 5);
        QStringList out;
        for (int i = 0; i < names.size(); ++i)
            out << names[i] + "|" + last[i] + "|" + months[i];
        return out;
    }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        p = std::make_unique<TempPractice>();
    }
    void cleanup()
    {
        p.reset();
        Clock::reset();
        SetModalHandler({});
        ReportProject::setTestSink({});
    }

    void knownVisitsGiveTheOverdueCustomersAndTheirMonths()
    {
        const qlonglong a = addCustomer(*p, {"Άννα", "Αντωνίου", "", "", "", "", "", "", "22 111111"});
        const qlonglong b = addCustomer(*p, {"Βασίλης", "Βασιλείου", "", "", "", "", "", "", "22 222222", "99 222222"});
        const qlonglong c = addCustomer(*p, {"Γιώργος", "Γεωργίου"});
        const qlonglong d = addCustomer(*p, {"Δήμητρα", "Δημητρίου"});
        const qlonglong e = addCustomer(*p, {"Ελένη", "Ευαγγέλου"});
        addCustomer(*p, {"Ζωή", "Ζαχαρίου"});   // never came
        visit(a, QDate(2008, 5, 2));
        visit(a, QDate(2009, 1, 10));
        visit(b, QDate(2008, 11, 20));
        visit(c, QDate(2008, 12, 15));   // exactly six months: not yet overdue
        visit(d, QDate(2007, 3, 1));
        visit(d, QDate(2006, 1, 1));
        visit(e, QDate(2008, 1, 1));
        visit(e, QDate(2009, 6, 1));      // came back since
        visit(9999, QDate(2005, 1, 1));   // a deleted customer's visit

        TForm81 w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Ανάκληση πελατών"));
        QCOMPARE(child<QSpinBox>(&w, "SpinEdit1")->value(), 6);
        QCOMPARE(shown(w), (QStringList{"Δημητρίου|1/3/2007|27", "Βασιλείου|20/11/2008|6"}));
        QCOMPARE(child<QLabel>(&w, "Label1")->text(), QStringLiteral("Βρέθηκαν 2 πελάτες"));
        QCOMPARE(gridColumn(&w, 2), (QStringList{"", "22 222222"}));
        QCOMPARE(gridColumn(&w, 3), (QStringList{"", "99 222222"}));

        showMonths(w, 3);
        QCOMPARE(shown(w), (QStringList{"Δημητρίου|1/3/2007|27", "Βασιλείου|20/11/2008|6", "Γεωργίου|15/12/2008|6", "Αντωνίου|10/1/2009|5"}));
        QCOMPARE(child<QLabel>(&w, "Label1")->text(), QStringLiteral("Βρέθηκαν 4 πελάτες"));

        showMonths(w, 30);
        QVERIFY(shown(w).isEmpty());
        QCOMPARE(child<QLabel>(&w, "Label1")->text(), QStringLiteral("Βρέθηκαν 0 πελάτες"));
        QVERIFY(!child<QPushButton>(&w, "Button2")->isEnabled());
        QVERIFY(Messages::takeShown().isEmpty());
    }

    // Many customers with random visits against a count done here, visit by
    // visit: who is listed, in which order, and the whole months.
    void aLargerPracticeAgreesWithAPlainCount()
    {
        QRandomGenerator rng(19);
        const QDate today = Clock::today();
        QMap<qlonglong, QDate> last;
        for (int i = 0; i < 150; ++i) {
            const qlonglong id = addCustomer(*p, {QStringLiteral("Όνομα%1").arg(i), QStringLiteral("Επώνυμο%1").arg(i, 3, 10, QLatin1Char('0'))});
            const int visits = int(rng.bounded(4));
            for (int v = 0; v < visits; ++v) {
                const QDate d = today.addDays(-qint64(rng.bounded(1500)));
                visit(id, d);
                if (!last.contains(id) || last[id] < d)
                    last[id] = d;
            }
        }
        for (const int months : {1, 6, 12, 24}) {
            const QDate cutoff = today.addMonths(-months);
            QList<std::pair<QDate, QString>> expected;
            for (auto it = last.cbegin(); it != last.cend(); ++it) {
                if (it.value() >= cutoff)
                    continue;
                // Whole months, counted one at a time: a month is complete on
                // the same day of the month, or on the 1st after a shorter month.
                int whole = 0;
                while (monthsOn(it.value(), whole + 1) <= today)
                    ++whole;
                expected << std::pair{it.value(), QStringLiteral("Επώνυμο%1|%2").arg(it.key() - 1, 3, 10, QLatin1Char('0')).arg(whole)};
            }
            std::stable_sort(expected.begin(), expected.end(), [](const auto &x, const auto &y) {
                return x.first != y.first ? x.first < y.first : x.second < y.second;
            });
            QStringList want;
            for (const auto &[date, text] : expected)
                want << text;

            TForm81 w;
            child<QSpinBox>(&w, "SpinEdit1")->setValue(months);
            w.show();
            const QStringList names = gridColumn(&w, 0), monthsShown = gridColumn(&w, 5);
            QStringList got;
            for (int i = 0; i < names.size(); ++i)
                got << names[i] + "|" + monthsShown[i];
            QCOMPARE(got, want);
            QCOMPARE(child<QLabel>(&w, "Label1")->text(), QStringLiteral("Βρέθηκαν %1 πελάτες").arg(want.size()));
        }
    }

    void aDoubleClickOpensTheCustomerListOnThatCustomer()
    {
        addCustomer(*p, {"Άννα", "Αντωνίου"});
        const qlonglong b = addCustomer(*p, {"Βασίλης", "Βασιλείου", "ΑΡΡΕΝ", "2/2/1972"});
        visit(b - 1, QDate(2007, 1, 1));
        visit(b, QDate(2008, 1, 1));
        TForm18 list;
        Form18 = &list;
        QStringList seen;
        SetModalHandler([&](QDialog *d) {
            d->show();
            if (d == &list)
                seen << child<QLabel>(d, "DBText1")->text() + "|" + child<QLabel>(d, "DBText3")->text() + "|"
                        + child<QLabel>(d, "Label1")->text();
            d->reject();
            return 0;
        });
        TForm81 w;
        w.show();
        auto *grid = child<DbGrid>(&w, "DBGrid1");
        const QRect cell = grid->visualRect(grid->model()->index(1, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        Form18 = nullptr;
        QCOMPARE(seen, QStringList{QString::number(b) + QStringLiteral("|Βασιλείου|Βρέθηκαν 1 πελάτες")});
    }

    void theListIsPrintedInItsOrder()
    {
        p->copyReportFiles();
        const qlonglong a = addCustomer(*p, {"Άννα", "Αντωνίου", "", "", "", "", "", "", "22 111111"});
        const qlonglong b = addCustomer(*p, {"Βασίλης", "Βασιλείου"});
        visit(a, QDate(2008, 10, 1));
        visit(b, QDate(2007, 10, 1));
        QString html;
        ReportProject::setTestSink([&](const QString &file, const QString &h) {
            QVERIFY(file.endsWith(QStringLiteral("ANAKLHSH.RAV")));
            html = h;
        });
        TForm81 w;
        w.show();
        child<QPushButton>(&w, "Button2")->click();
        QVERIFY(Messages::takeShown().isEmpty());
        QVERIFY(html.contains(QStringLiteral("τους τελευταίους 6 μήνες: 2 πελάτες")));
        const qsizetype first = html.indexOf(QStringLiteral("Βασιλείου")), second = html.indexOf(QStringLiteral("Αντωνίου"));
        QVERIFY(first > 0 && second > first);
        QVERIFY(html.contains(QStringLiteral("22 111111")));
        QVERIFY(html.contains(QStringLiteral("1/10/2007")));
    }

    // The GESY choice lists the beneficiaries whose free visit is due, with
    // their numbers; the free visits of a year print counted per month.
    void gesyBeneficiariesDueAndTheirVisitsPerMonth()
    {
        p->copyReportFiles();
        const qlonglong a = addCustomer(*p, {"Άννα", "Αντωνίου"});
        const qlonglong b = addCustomer(*p, {"Βασίλης", "Βασιλείου"});
        const qlonglong c = addCustomer(*p, {"Γιώργος", "Γεωργίου"});
        addCustomer(*p, {"Δήμητρα", "Δημητρίου"});   // no beneficiary
        for (qlonglong who : {a, b, c})
            p->conn().executeNative(QStringLiteral("UPDATE STOIXEIA_PELATH SET GESY_DIKAIOUXOS=-1, GESY_ARITHMOS=? WHERE ID=?"),
                                    {QStringLiteral("N%1").arg(who), who});
        for (const auto &[who, day, kind] : {std::tuple{a, QDate(2008, 6, 15), "Έλεγχος"}, std::tuple{b, QDate(2008, 6, 16), "Καθαρισμός"},
                                             std::tuple{b, QDate(2008, 3, 1), "Έλεγχος"}, std::tuple{c, QDate(2009, 1, 5), ""}})
            p->conn().executeNative(QStringLiteral("INSERT INTO EPISKEPSEIS (ID, HMEROMHNIA, GESY_PROLHPSH) VALUES (?, ?, ?)"),
                                    {who, day.toString(Qt::ISODate), *kind ? QVariant(QString::fromUtf8(kind)) : QVariant()});
        TForm81 w;
        w.show();
        child<QCheckBox>(&w, "CheckBox1")->click();
        QCOMPARE(gridColumn(&w, 0), (QStringList{"Αντωνίου", "Γεωργίου"}));
        QCOMPARE(gridColumn(&w, 6), (QStringList{QStringLiteral("N%1").arg(a), QStringLiteral("N%1").arg(c)}));
        QCOMPARE(gridColumn(&w, 4), (QStringList{"15/6/2008", ""}));
        QVERIFY(!child<QSpinBox>(&w, "SpinEdit1")->isEnabled());

        QString html;
        ReportProject::setTestSink([&](const QString &file, const QString &h) {
            QVERIFY(file.endsWith(QStringLiteral("GESY_MHNES.RAV")));
            html = h;
        });
        child<QSpinBox>(&w, "SpinEdit2")->setValue(2008);
        const qsizetype logged = AccessLog::entries(p->conn()).size();
        child<QPushButton>(&w, "Button4")->click();
        QVERIFY(Messages::takeShown().isEmpty());
        // It names the year's two customers: one entry.
        QTRY_COMPARE_WITH_TIMEOUT(AccessLog::pending(), 0, 30000);
        const QList<AccessLog::Entry> entries = AccessLog::entries(p->conn());
        QCOMPARE(entries.size(), logged + 1);
        QCOMPARE(entries.last().action, AccessLog::code(AccessLog::Action::Print));
        QVERIFY2(entries.last().detail.contains(QStringLiteral("2 πελάτες")), qPrintable(entries.last().detail));
        QVERIFY(html.contains(QStringLiteral("Δωρεάν προληπτικές επισκέψεις του έτους 2008: 3")));
        QVERIFY2(html.contains(QStringLiteral("<td align=\"center\">6/2008</td><td align=\"right\">1</td><td align=\"right\">1</td><td align=\"right\">2</td>")), qPrintable(html));
        QVERIFY(html.contains(QStringLiteral("N%1").arg(b)));
    }
};

MOLARIX_TEST(RecallListTest)
#include "test_recalllist.moc"
