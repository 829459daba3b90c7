#include "customers/customerlist.h"
#include "customers/findcustomer.h"
#include "customertestutil.h"
#include "data/db/clock.h"
#include "tests/common/testmain.h"
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The find window with the start-up list beneath it; each search's list is
// captured while it is open.
class FindCustomerTest : public QObject {
    Q_OBJECT
private:
    struct Shown {
        int times = 0;
        QString label;
        QStringList surnames;
        QString sql, criteria;
    };
    std::unique_ptr<TempPractice> p;
    std::unique_ptr<TForm18> list;
    std::unique_ptr<ModalScript> script;
    Shown shown;

    void type(TForm17 &w, const char *edit, const QString &text)
    {
        auto *e = child<QLineEdit>(&w, edit);
        e->clear();
        typeText(e, text);
    }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        p = std::make_unique<TempPractice>();
        addCustomer(*p, {"Γιώργος", "Παπαδόπουλος", "ΑΡΡΕΝ", "1/2/1970"});
        addCustomer(*p, {"Μαρία", "ΠΑΠΑΣ", "ΘΗΛΥ", "5/3/1980"});
        addCustomer(*p, {"Άννα", "Παπαγεωργίου", "ΘΗΛΥ", "5/3/1980"});
        addCustomer(*p, {"Νίκος", "Αντωνίου", "ΑΡΡΕΝ", "6/3/1980"});
        addCustomer(*p, {"Ελένη", "Ζήνωνος", "ΘΗΛΥ", "4/3/1980"});
        addCustomer(*p, {"John", "Smith", "ΑΡΡΕΝ", ""});
        list = std::make_unique<TForm18>();
        Form18 = list.get();
        shown = Shown();
        script = std::make_unique<ModalScript>([this](QDialog *d) {
            QCOMPARE(d, static_cast<QDialog *>(Form18));
            ++shown.times;
            shown.label = child<QLabel>(d, "Label1")->text();
            shown.surnames = gridColumn(d, 1);
            shown.sql = Form18->ListSql;
            shown.criteria = Form18->ListCriteria;
        });
    }
    void cleanup()
    {
        script.reset();
        Form18 = nullptr;
        list.reset();
        p.reset();
        Clock::reset();
    }

    void initialsInEitherCaseFindTheSameCustomers()
    {
        TForm17 w;
        auto *find = child<QPushButton>(&w, "Button1");
        QVERIFY(!find->isEnabled());
        for (const char *refused : {"   ", "O'Brien", "Πα%", "Πα_", "Παπα-Γεωργίου"}) {
            type(w, "Edit1", QString::fromUtf8(refused));
            QVERIFY2(!find->isEnabled(), refused);
        }
        for (const char *initials : {"παπ", "ΠΑΠ", "  Παπ "}) {
            type(w, "Edit1", QString::fromUtf8(initials));
            find->click();
            QCOMPARE(shown.surnames, (QStringList{"Παπαγεωργίου", "Παπαδόπουλος", "ΠΑΠΑΣ"}));
            QCOMPARE(shown.label, QStringLiteral("Βρέθηκαν 3 πελάτες"));
        }
        // The list hands the tail of its statement on to the printouts.
        QCOMPARE(shown.criteria, QStringLiteral("WHERE EPWNYMO LIKE'Παπ%' ORDER BY EPWNYMO ASC"));
        QVERIFY(shown.sql.endsWith("FROM STOIXEIA_PELATH " + shown.criteria));
        QCOMPARE(shown.times, 3);
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void birthDateSearch()
    {
        TForm17 w;
        auto *find = child<QPushButton>(&w, "Button4");
        QVERIFY(find->isEnabled());
        find->click();   // both dates empty
        QVERIFY(!find->isEnabled());
        const auto msgs = Messages::takeShown();
        QCOMPARE(msgs.size(), 1);
        QCOMPARE(msgs[0].kind, Messages::Kind::Plain);
        QCOMPARE(msgs[0].text, QStringLiteral("Λανθασμένα κριτήρια."));

        type(w, "Edit2", "5/3/1980");
        QVERIFY(find->isEnabled());
        type(w, "Edit3", "5-3-1980");   // refused at once, without a message
        QVERIFY(!find->isEnabled());
        type(w, "Edit3", "05/03/1980");
        find->click();
        QCOMPARE(shown.surnames, (QStringList{"Παπαγεωργίου", "ΠΑΠΑΣ"}));
        QCOMPARE(shown.criteria,
                 QStringLiteral(" WHERE HMEROMHNIA_GENNHSEWS BETWEEN #3/5/1980# AND #3/5/1980# ORDER BY EPWNYMO ASC"));
        QVERIFY(shown.sql.endsWith("FROM STOIXEIA_PELATH" + shown.criteria));

        type(w, "Edit2", "4/3/80");
        type(w, "Edit3", "6.3.1980");
        QVERIFY(!find->isEnabled());
        type(w, "Edit3", "6/3/1980");
        find->click();
        QCOMPARE(shown.surnames, (QStringList{"Αντωνίου", "Ζήνωνος", "Παπαγεωργίου", "ΠΑΠΑΣ"}));

        type(w, "Edit3", "31/2/1980");
        find->click();
        QVERIFY(!find->isEnabled());
        QCOMPARE(Messages::takeShown().size(), 1);
        QCOMPARE(shown.times, 2);
    }

    void allCustomersAndNoDefaultButton()
    {
        TForm17 w;
        w.show();
        type(w, "Edit1", "Παπ");
        QTest::keyClick(child<QLineEdit>(&w, "Edit1"), Qt::Key_Return);
        QCOMPARE(shown.times, 0);
        child<QPushButton>(&w, "Button2")->click();
        QCOMPARE(shown.surnames.size(), 6);
        QVERIFY(shown.criteria.isEmpty());
        QVERIFY(shown.sql.endsWith("FROM STOIXEIA_PELATH ORDER BY EPWNYMO ASC"));
    }
};

MOLARIX_TEST(FindCustomerTest)
#include "test_findcustomer.moc"
