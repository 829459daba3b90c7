#include "receipts/customertakings.h"
#include "receipts/takingsbetweendates.h"
#include "takingsfixture.h"
#include "tests/common/testmain.h"

#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/dataset.h"
#include "gui/dbgrid.h"
#include "data/db/regional.h"
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Takings;

namespace {
QString text(QWidget *w, const char *name) { return child<QLabel>(w, name)->text(); }
}

class CustomerTakingsTest : public QObject {
    Q_OBJECT

    static std::unique_ptr<TForm57> open(qlonglong id, const QString &first, const QString &surname)
    {
        auto f = std::make_unique<TForm57>();
        f->CustomerId = QString::number(id);
        f->CustomerFirstName = first;
        f->CustomerSurname = surname;
        f->show();
        return f;
    }

private slots:
    void oneCustomersValidTakingsOldestFirstWithCountAndTotal()
    {
        TempPractice p;
        const qlonglong a = addCustomer(p, QStringLiteral("Μαρία"), QStringLiteral("Νικολάου"));
        const qlonglong b = addCustomer(p, QStringLiteral("Νίκος"), QStringLiteral("Ιωάννου"));
        addReceipt(p, {.number = 1003, .customer = a, .date = QDate(2009, 3, 15), .poso = 20});
        addReceipt(p, {.number = 1001, .customer = a, .date = QDate(2008, 11, 2), .poso = 12.5, .description = QStringLiteral("Καθαρισμός"), .fund = QStringLiteral("ΙΚΑ")});
        addReceipt(p, {.number = 1002, .customer = b, .date = QDate(2009, 1, 10), .poso = 100});
        addReceipt(p, {.number = 1004, .customer = a, .date = QDate(2009, 1, 1), .poso = 500, .valid = false});
        addReceipt(p, {.number = 1005, .customer = a, .date = QDate(2009, 2, 1), .poso = 7.25});

        auto f = open(a, QStringLiteral("Μαρία"), QStringLiteral("Νικολάου"));
        QCOMPARE(text(f.get(), "Label3"), QStringLiteral("Μαρία"));
        QCOMPARE(text(f.get(), "Label4"), QStringLiteral("Νικολάου"));

        DataSet *q = f->ADOQuery1;
        QCOMPARE(q->recordCount(), 3);
        auto cell = [q](int row, const char *field) { return q->displayText(row, q->fieldIndex(QLatin1String(field))); };
        QCOMPARE(cell(0, "AR_APODEIKSHS"), QStringLiteral("1001"));
        QCOMPARE(cell(1, "AR_APODEIKSHS"), QStringLiteral("1005"));
        QCOMPARE(cell(2, "AR_APODEIKSHS"), QStringLiteral("1003"));
        QCOMPARE(cell(0, "HMEROMHNIA"), QStringLiteral("2/11/2008"));
        QCOMPARE(cell(0, "POSO"), Regional::formatAmount(12.5));
        QCOMPARE(cell(0, "PERIGRAFH"), QStringLiteral("Καθαρισμός"));
        QCOMPARE(cell(0, "TAMEIO"), QStringLiteral("ΙΚΑ"));

        QCOMPARE(text(f.get(), "DBText1"), QStringLiteral("3"));
        QCOMPARE(text(f.get(), "DBText2"), Regional::formatAmount(12.5 + 7.25 + 20));

        // The grid shows five columns, the amount on the right.
        auto *model = child<DbGrid>(f.get(), "DBGrid1")->model();
        QCOMPARE(model->columnCount(), 5);
        const char *titles[] = {"Αριθμός απόδειξης", "Ημερομηνία απόδειξης", "Περιγραφή", "Ταμείο", "Ποσό (EUR)"};
        for (int c = 0; c < 5; ++c)
            QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), QString::fromUtf8(titles[c]));
        QCOMPARE(model->index(0, 4).data().toString(), Regional::formatAmount(12.5));
        QVERIFY(Qt::Alignment(model->index(0, 4).data(Qt::TextAlignmentRole).toInt()) & Qt::AlignRight);
    }

    void aCustomerWithoutValidTakingsHasNoTotal()
    {
        TempPractice p;
        const qlonglong a = addCustomer(p, QStringLiteral("Ελένη"), QStringLiteral("Σταύρου"));
        const qlonglong b = addCustomer(p, QStringLiteral("Κώστας"), QStringLiteral("Μιχαήλ"));
        addReceipt(p, {.number = 1001, .customer = a, .date = QDate(2009, 1, 5), .poso = 80, .valid = false});
        addReceipt(p, {.number = 1002, .customer = b, .date = QDate(2009, 1, 5), .poso = 30});

        for (qlonglong id : {a, qlonglong(b + 100)}) {
            auto f = open(id, QStringLiteral("Ελένη"), QStringLiteral("Σταύρου"));
            QCOMPARE(f->ADOQuery1->recordCount(), 0);
            QCOMPARE(text(f.get(), "DBText1"), QStringLiteral("0"));
            QCOMPARE(text(f.get(), "DBText2"), QString());
        }
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void eachShowingReadsTheTakingsAgain()
    {
        TempPractice p;
        const qlonglong a = addCustomer(p, QStringLiteral("Ελένη"), QStringLiteral("Σταύρου"));
        auto f = open(a, QStringLiteral("Ελένη"), QStringLiteral("Σταύρου"));
        QCOMPARE(text(f.get(), "DBText1"), QStringLiteral("0"));
        f->reject();
        addReceipt(p, {.number = 1001, .customer = a, .date = QDate(2009, 1, 5), .poso = 80});
        f->show();
        QCOMPARE(text(f.get(), "DBText1"), QStringLiteral("1"));
        QCOMPARE(text(f.get(), "DBText2"), Regional::formatAmount(80));
    }
};

class TakingsBetweenDatesTest : public QObject {
    Q_OBJECT

    static void search(TForm59 &f, const QString &from, const QString &to)
    {
        child<QLineEdit>(&f, "Edit1")->setText(from);
        child<QLineEdit>(&f, "Edit2")->setText(to);
        child<QPushButton>(&f, "Button1")->click();
    }
    static QString total(TForm59 &f) { return text(&f, "DBText1"); }

    // Valid receipts around January 2009, and cancelled ones inside it.
    static void januaryPractice(TempPractice &p)
    {
        const qlonglong c = addCustomer(p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος"));
        addReceipt(p, {.number = 1, .customer = c, .date = QDate(2008, 12, 31), .poso = 1000});
        addReceipt(p, {.number = 2, .customer = c, .date = QDate(2009, 1, 1), .poso = 10.5});
        addReceipt(p, {.number = 3, .customer = c, .date = QDate(2009, 1, 15), .poso = 20});
        addReceipt(p, {.number = 4, .customer = c, .date = QDate(2009, 1, 15), .poso = 300, .valid = false});
        addReceipt(p, {.number = 5, .customer = c, .date = QDate(2009, 1, 31), .poso = 4.25});
        addReceipt(p, {.number = 6, .customer = c, .date = QDate(2009, 2, 1), .poso = 2000});
        addReceipt(p, {.number = 7, .customer = c, .date = QDate(2009, 2, 10), .poso = 60, .valid = false});
    }

private slots:
    void bothDaysOfTheRangeCountAndCancelledReceiptsDoNot()
    {
        TempPractice p;
        januaryPractice(p);
        TForm59 f;
        f.show();
        search(f, QStringLiteral("01/01/2009"), QStringLiteral("31/01/2009"));
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(total(f), Regional::formatAmount(10.5 + 20 + 4.25));

        search(f, QStringLiteral("15/1/2009"), QStringLiteral(" 15/1/2009 "));
        QCOMPARE(total(f), Regional::formatAmount(20));
        search(f, QStringLiteral("31/12/2008"), QStringLiteral("1/2/2009"));
        QCOMPARE(total(f), Regional::formatAmount(1000 + 10.5 + 20 + 4.25 + 2000));
        // The converted sum comes with it, though not shown.
        QCOMPARE(f.ADOQuery1->fieldText(QStringLiteral("POSO_CY")),
                 Regional::formatAmount((1000 + 10.5 + 20 + 4.25 + 2000) * 0.585274));
    }

    void rangesWithoutValidReceiptsShowAnEmptyTotal()
    {
        TempPractice p;
        januaryPractice(p);
        TForm59 f;
        search(f, QStringLiteral("10/2/2009"), QStringLiteral("10/2/2009"));
        QCOMPARE(total(f), QString());
        search(f, QStringLiteral("1/1/2010"), QStringLiteral("31/12/2010"));
        QCOMPARE(total(f), QString());
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void datesThatAreNoDatesAreWrongCriteria_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("empty first") << ""
                                     << "31/01/2009";
        QTest::newRow("empty second") << "01/01/2009"
                                      << "";
        QTest::newRow("no such day") << "31/02/2009"
                                     << "31/03/2009";
        QTest::newRow("word") << "01/01/2009"
                              << "σήμερα";
        QTest::newRow("year first") << "2009/01/01"
                                    << "31/01/2009";
    }
    void datesThatAreNoDatesAreWrongCriteria()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        TempPractice p;
        januaryPractice(p);
        TForm59 f;
        search(f, from, to);
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].kind == Messages::Kind::Plain);
        QCOMPARE(shown[0].text, QStringLiteral("Λανθασμένα κριτήρια."));
        QVERIFY(!f.ADOQuery1->isOpen());
        QCOMPARE(total(f), QString());
    }

    void aFailingSearchIsWrongCriteriaToo()
    {
        TempPractice p;
        TForm59 f;
        DbConnectionString = BuildConnectionString(p.path() + QStringLiteral("/missing"));
        search(f, QStringLiteral("01/01/2009"), QStringLiteral("31/01/2009"));
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].kind == Messages::Kind::Plain);
        QCOMPARE(shown[0].text, QStringLiteral("Λανθασμένα κριτήρια."));
    }

    void theSearchButtonRefusesPointsAndHyphens()
    {
        TempPractice p;
        TForm59 f;
        auto *button = child<QPushButton>(&f, "Button1");
        QVERIFY(button->isEnabled());
        struct Case {
            const char *from, *to;
            bool enabled;
        };
        const Case cases[] = {
            {"28/03/2007", "28/12/2007", true},
            {"", "", true},
            {"28.03.2007", "28/12/2007", false},
            {"28/03/2007", "28-12-2007", false},
            {"28/03/2007", "28/12/2007", true},
        };
        for (const Case &c : cases) {
            child<QLineEdit>(&f, "Edit1")->setText(QString::fromLatin1(c.from));
            child<QLineEdit>(&f, "Edit2")->setText(QString::fromLatin1(c.to));
            QVERIFY2(button->isEnabled() == c.enabled, c.to);
        }
    }
};

MOLARIX_TEST(CustomerTakingsTest)
MOLARIX_TEST(TakingsBetweenDatesTest)
#include "test_takings.moc"
