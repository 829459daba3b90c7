// The treatment plan window: opened from the customer list like the tooth
// chart, items added from the price list, done work on the chart, totals,
// the estimate, and done work billed on one receipt.
#include "customers/customerlist.h"
#include "data/db/clock.h"
#include "data/practice/appstate.h"
#include "data/work/chart.h"
#include "data/work/plans.h"
#include "data/work/receipts.h"
#include "plans/planitems.h"
#include "plans/treatmentplan.h"
#include "receipts/issuereceipt.h"
#include "receipts/receiptprintout.h"
#include "tests/common/testmain.h"
#include "tests/customers/customertestutil.h"
#include "tests/receipts/takingsfixture.h"
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace {
const QDate kToday(2026, 3, 16);

QStringList shownTexts()
{
    QStringList texts;
    for (const auto &m : Messages::takeShown())
        texts << m.text;
    return texts;
}
}

class TreatmentPlanTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    qlonglong id = 0;
    std::unique_ptr<TForm83> w;

    void open()
    {
        w = std::make_unique<TForm83>();
        w->CustomerId = QString::number(id);
        w->CustomerFirstName = QStringLiteral("Μαρία");
        w->CustomerSurname = QStringLiteral("Παπά");
        w->show();
    }
    QPushButton *button(const char *name) { return child<QPushButton>(w.get(), name); }
    QString shown(const char *label) { return child<QLabel>(w.get(), label)->text(); }
    QString totals() { return shown("Label16") + "|" + shown("Label17") + "|" + shown("Label18") + "|" + shown("Label19"); }
    // Chooses a work of the list by its code and adds it.
    void add(const QString &code, const QString &tooth, const QString &surfaces = {}, const QString &price = {})
    {
        auto *works = child<QComboBox>(w.get(), "ComboBox1");
        works->setCurrentIndex(works->findText(code, Qt::MatchStartsWith));
        child<QLineEdit>(w.get(), "Edit1")->setText(tooth);
        for (int i = 1; i <= 5; ++i) {
            auto *box = child<QCheckBox>(w.get(), QByteArray("CheckBox" + QByteArray::number(i)).constData());
            box->setChecked(box->isEnabled() && surfaces.contains(QLatin1Char(Chart::Surfaces[i - 1])));
        }
        if (!price.isNull())
            child<QLineEdit>(w.get(), "Edit2")->setText(price);
        button("Button1")->click();
    }
    void select(const QList<int> &rows)
    {
        auto *grid = child<QTableView>(w.get(), "Grid1");
        grid->clearSelection();
        for (int r : rows)
            grid->selectionModel()->select(grid->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void tick(int row)
    {
        auto *grid = child<QTableView>(w.get(), "Grid1");
        QVERIFY(grid->model()->setData(grid->model()->index(row, PlanItemsModel::Bill), Qt::Checked, Qt::CheckStateRole));
    }
    QString cell(int row, int column)
    {
        auto *m = child<QTableView>(w.get(), "Grid1")->model();
        return m->index(row, column).data().toString();
    }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(kToday, QTime(10, 0)));
        NumberingFixed = false;
        p = std::make_unique<TempPractice>();
        p->copyReportFiles();
        id = Takings::addCustomer(*p, QStringLiteral("Μαρία"), QStringLiteral("Παπά"));
        for (const auto &[code, what, cents, active] : {std::tuple{"EM02", "Έμφραξη σύνθετης ρητίνης δύο επιφανειών", 8000, true},
                                                        std::tuple{"KA01", "Καθαρισμός και στίλβωση", 5000, true},
                                                        std::tuple{"OD01", "Ολική οδοντοστοιχία (άνω ή κάτω)", 70001, true},
                                                        std::tuple{"EM90", "Έμφραξη αμαλγάματος", 5000, false}})
            Plans::addWork(p->conn(), {.code = QString::fromUtf8(code), .description = QString::fromUtf8(what), .cents = cents, .active = active});
    }
    void cleanup()
    {
        SetModalHandler({});
        w.reset();
        p.reset();
        Form72 = nullptr;
        NumberingFixed = false;
        Clock::reset();
    }

    // Beside the chart's button, shown and hidden with it, the button and
    // the menu entry open the plan of the current customer.
    void theCustomerListOpensThePlanBesideTheChart()
    {
        TForm18 list;
        Form18 = &list;
        QStringList seen;
        SetModalHandler([&](QDialog *d) {
            if (auto *plan = qobject_cast<TForm83 *>(d))
                seen << plan->CustomerId + "|" + plan->CustomerFirstName + "|" + plan->CustomerSurname;
            return 0;
        });
        for (const auto &[where, found] : {std::pair{"ID=0", false}, std::pair{"ID>0", true}}) {
            list.ListSql = QStringLiteral("SELECT * FROM STOIXEIA_PELATH WHERE ") + QLatin1String(where);
            list.show();
            auto *plan = child<QPushButton>(&list, "Button9");
            QCOMPARE(plan->text(), QStringLiteral("Σχέδιο θεραπείας"));
            QCOMPARE(plan->isVisible(), found);
            QCOMPARE(plan->isVisible(), child<QPushButton>(&list, "Button8")->isVisible());
            QCOMPARE(child<QAction>(&list, "N12")->text(), plan->text());
            plan->click();
            child<QAction>(&list, "N12")->trigger();
            list.reject();
        }
        Form18 = nullptr;
        const QString who = QString::number(id) + QStringLiteral("|Μαρία|Παπά");
        QCOMPARE(seen, (QStringList{who, who}));
    }

    // The active works are offered at the list's price; a tooth is an FDI
    // number or nothing; the price follows the amount rules.
    void itemsAreAddedFromThePriceList()
    {
        open();
        QCOMPARE(child<QComboBox>(w.get(), "ComboBox1")->count(), 3);
        QCOMPARE(child<QLineEdit>(w.get(), "Edit2")->text(), QStringLiteral("80,00"));
        const QString notATooth = QStringLiteral("Η εργασία δεν προστέθηκε.\nΤο δόντι γράφεται με τον αριθμό του κατά FDI: 11 έως 48 "
                                                 "για τα μόνιμα, 51 έως 85 για τα νεογιλά· για εργασία χωρίς δόντι μένει κενό.");
        const struct {
            const char *code, *tooth, *surfaces, *price;
            const char *stored;   // tooth|surfaces|cents, or empty when refused
        } cases[] = {
            {"EM02", "16", "MOX", nullptr, "16|MO|8000"},
            {"KA01", "", "", nullptr, "0||5000"},
            {"EM02", "55", "D", "95,5", "55|D|9550"},
            {"EM02", "85", "", "0", "85||0"},
            {"EM02", "48", "BL", "1500", "48|BL|150000"},
            {"EM02", "19", "", nullptr, ""},
            {"EM02", "56", "", nullptr, ""},
            {"EM02", "10", "", nullptr, ""},
            {"EM02", "9", "", nullptr, ""},
            {"EM02", "1α", "", nullptr, ""},
            {"EM02", "16", "", "1.500", ""},
            {"EM02", "16", "", "-5", ""},
            {"EM02", "16", "", "12,345", ""},
            {"EM02", "16", "", "", ""},
        };
        QStringList stored;
        for (const auto &c : cases) {
            const qsizetype before = w->items()->items().size();
            add(QString::fromLatin1(c.code), QString::fromUtf8(c.tooth), QString::fromLatin1(c.surfaces),
                c.price ? QString::fromUtf8(c.price) : QString());
            const QStringList messages = shownTexts();
            const QString label = QStringLiteral("%1 %2 %3").arg(c.code, QString::fromUtf8(c.tooth), c.price ? c.price : "");
            if (*c.stored) {
                QVERIFY2(messages.isEmpty(), qPrintable(label + " " + messages.join(" ")));
                const Plans::Item &i = w->items()->items().constLast();
                stored << QStringLiteral("%1|%2|%3").arg(i.tooth).arg(i.surfaces).arg(i.cents);
                QCOMPARE(stored.constLast(), QString::fromLatin1(c.stored));
                QCOMPARE(child<QLineEdit>(w.get(), "Edit1")->text(), QString());
            } else {
                QCOMPARE(w->items()->items().size(), before);
                QCOMPARE(messages.size(), 1);
                QVERIFY2(messages[0].startsWith(QStringLiteral("Η εργασία δεν προστέθηκε.\n")), qPrintable(messages[0]));
                if (QString::fromUtf8(c.tooth) != QStringLiteral("16"))
                    QCOMPARE(messages[0], notATooth);
            }
        }
        QCOMPARE(p->count(QStringLiteral("SXEDIO_THERAPEIAS")), 5);
        QCOMPARE(cell(0, PlanItemsModel::Work), QStringLiteral("Έμφραξη σύνθετης ρητίνης δύο επιφανειών"));
        QCOMPARE(cell(0, PlanItemsModel::Price), QStringLiteral("80,00"));
        QCOMPARE(cell(0, PlanItemsModel::State), QStringLiteral("Προγραμματισμένη"));
        QCOMPARE(totals(), QStringLiteral("1725,50|0,00|0,00|0,00"));
    }

    // Done on the chosen day puts the work on the chart on that day;
    // cancelled and planned again follow; the totals with them.
    void doneWorkGoesOnTheChartAndTheTotalsFollow()
    {
        open();
        add(QStringLiteral("EM02"), QStringLiteral("36"), QStringLiteral("MO"));
        add(QStringLiteral("KA01"), QString());
        add(QStringLiteral("OD01"), QString());
        QCOMPARE(totals(), QStringLiteral("830,01|0,00|0,00|0,00"));
        select({});
        button("Button2")->click();
        QCOMPARE(shownTexts(), QStringList{QStringLiteral("Διαλέξτε πρώτα μία ή περισσότερες εργασίες του σχεδίου.")});

        child<QDateEdit>(w.get(), "DateTimePicker1")->setDate(QDate(2026, 3, 10));
        select({0, 1});
        button("Button2")->click();
        QCOMPARE(cell(0, PlanItemsModel::State), QStringLiteral("Έγινε"));
        QCOMPARE(cell(0, PlanItemsModel::Done), QStringLiteral("10/3/2026"));
        QCOMPARE(totals(), QStringLiteral("700,01|130,00|0,00|130,00"));
        const QList<QVariantList> chart = queryRows(p->conn(), QStringLiteral("SELECT ID, HMEROMHNIA, DONTI, EPIFANEIES, KATASTASH FROM ODONTOGRAMMA"));
        QCOMPARE(chart.size(), 1);   // the cleaning leaves nothing on the chart
        QCOMPARE(chart[0][0].toLongLong(), id);
        QVERIFY(chart[0][1].toString().startsWith(QStringLiteral("2026-03-10")));
        QCOMPARE(chart[0][2].toInt(), 36);
        QCOMPARE(chart[0][3].toString(), QStringLiteral("MO"));
        QCOMPARE(chart[0][4].toString(), QStringLiteral("έμφραξη"));

        select({2});
        button("Button3")->click();
        QCOMPARE(totals(), QStringLiteral("0,00|130,00|0,00|130,00"));
        QVERIFY(!button("Button5")->isEnabled());   // nothing planned to estimate
        select({0});
        button("Button7")->click();
        QCOMPARE(totals(), QStringLiteral("80,00|50,00|0,00|50,00"));
        QCOMPARE(p->count(QStringLiteral("ODONTOGRAMMA")), 0);
    }

    // The estimate prints the planned items through the report engine.
    void theEstimatePrintsThePlannedItems()
    {
        open();
        add(QStringLiteral("OD01"), QString());
        add(QStringLiteral("EM02"), QStringLiteral("26"), QStringLiteral("DO"), QStringLiteral("75"));
        Takings::PrintSink sink;
        button("Button5")->click();
        QCOMPARE(shownTexts(), QStringList());
        QCOMPARE(sink.files.size(), 1);
        QVERIFY(sink.files[0].endsWith(QStringLiteral("PROYPOLOGISMOS.RAV")));
        QVERIFY(sink.pages[0].contains(QStringLiteral("Ολική οδοντοστοιχία (άνω ή κάτω)")));
        QVERIFY(sink.pages[0].contains(QStringLiteral(">775,01<")));
    }

    // Ticked done work opens the issuing window with its sum and its
    // description; issuing links the items to the receipt. Work billed
    // meanwhile from another workstation is refused with the reason.
    void doneWorkIsBilledOnOneReceipt()
    {
        Takings::setLast(*p, 501);
        open();
        add(QStringLiteral("EM02"), QStringLiteral("16"), QStringLiteral("O"), QStringLiteral("80,5"));
        add(QStringLiteral("OD01"), QString());
        add(QStringLiteral("KA01"), QString());
        select({0, 1, 2});
        button("Button2")->click();
        tick(0);
        tick(1);
        QVERIFY(!button("Button6")->isEnabled());   // no receipt numbering yet
        NumberingFixed = true;
        tick(1);
        QVERIFY(button("Button6")->isEnabled());

        Takings::PrintSink sink;
        QString amount, description;
        {
            ModalScript script([&](QDialog *d) {
                auto *issue = qobject_cast<TForm56 *>(d);
                QVERIFY(issue);
                amount = child<QLineEdit>(issue, "Edit3")->text();
                description = child<QLineEdit>(issue, "Edit2")->text();
                QVERIFY(child<QLineEdit>(issue, "Edit2")->isReadOnly());
                QVERIFY(child<QPushButton>(issue, "Button1")->isEnabled());
                child<QPushButton>(issue, "Button1")->click();
            });
            button("Button6")->click();
        }
        QCOMPARE(shownTexts(), QStringList());
        QCOMPARE(amount, QStringLiteral("780,51"));
        QCOMPARE(description, QStringLiteral("Έμφραξη σύνθετης ρητίνης δύο επιφανειών (δόντι 16), Ολική οδοντοστοιχία (άνω ή κάτω)"));
        QCOMPARE(sink.files.size(), 1);
        QCOMPARE(cell(0, PlanItemsModel::Receipt), QStringLiteral("501"));
        QCOMPARE(cell(1, PlanItemsModel::Receipt), QStringLiteral("501"));
        QCOMPARE(cell(2, PlanItemsModel::Receipt), QString());
        QCOMPARE(totals(), QStringLiteral("0,00|830,51|780,51|50,00"));
        QVERIFY(!button("Button6")->isEnabled());
        QCOMPARE(p->scalar(QStringLiteral("SELECT POSO FROM APODEIKSEIS WHERE AR_APODEIKSHS=501")).toDouble(), 780.51);
        QCOMPARE(p->scalar(QStringLiteral("SELECT POSO FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=501")).toDouble(), 780.51);

        // The cleaning, billed from another workstation while this one offers it.
        tick(2);
        QStringList refusals;
        {
            ModalScript script([&](QDialog *d) {
                const qint64 cleaning = w->items()->items().at(2).id;
                Receipts::issue(p->conn(), {.number = 502, .customer = CustomerRef::require(QString::number(id)), .amount = 50, .firstName = QStringLiteral("Μαρία"), .surname = QStringLiteral("Παπά"), .receiver = QStringLiteral("Μαρία Παπά"), .description = QStringLiteral("Καθαρισμός"), .planItems = {cleaning}});
                auto *entry = child<QPushButton>(d, "Button1");
                entry->click();   // the number was taken meanwhile
                entry->click();   // the next one: the work is billed already
                refusals = shownTexts();
                QVERIFY(d->isVisible());
            });
            button("Button6")->click();
        }
        QCOMPARE(refusals, (QStringList{QStringLiteral("Η καταχώρηση δεν έγινε"), QStringLiteral("Η καταχώρηση δεν έγινε\nΜια από τις εργασίες της απόδειξης χρεώθηκε στο μεταξύ "
                                                                                                 "σε άλλη απόδειξη ή δεν έχει γίνει· η απόδειξη δεν εκδόθηκε.")}));
        QCOMPARE(p->count(QStringLiteral("APODEIKSEIS")), 2);
        QCOMPARE(cell(2, PlanItemsModel::Receipt), QStringLiteral("502"));
        QCOMPARE(totals(), QStringLiteral("0,00|830,51|830,51|0,00"));
    }
};

MOLARIX_TEST(TreatmentPlanTest)
#include "test_treatmentplan.moc"
