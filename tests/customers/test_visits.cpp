#include "customers/visits.h"
#include "customertestutil.h"
#include "data/db/clock.h"
#include "gui/dbnavigator.h"
#include "tests/common/testmain.h"
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

class VisitsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    qlonglong id = 0, other = 0;

    std::unique_ptr<TFORM17A> open(qlonglong customer)
    {
        auto w = std::make_unique<TFORM17A>();
        w->CustomerFirstName = QStringLiteral("Μαρία");
        w->CustomerSurname = QStringLiteral("Παπά");
        w->CustomerId = QString::number(customer);
        w->show();
        return w;
    }
    static void enter(TFORM17A &w, const QString &date, const QString &reason)
    {
        typeText(child<QLineEdit>(&w, "DBEdit1"), date);
        typeText(child<QLineEdit>(&w, "DBEdit2"), reason);
        typeText(child<QLineEdit>(&w, "DBEdit3"), QStringLiteral("Περιγραφή ") + reason);
        child<DbNavigator>(&w, "DBNavigator1")->button(DbNavigator::Post)->click();
    }
    static QString count(TFORM17A &w) { return child<QLabel>(&w, "Label10")->text(); }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        p = std::make_unique<TempPractice>();
        id = addCustomer(*p, {"Μαρία", "Παπά"});
        other = addCustomer(*p, {"Γιώργος", "Λοΐζου"});
        p->exec(QStringLiteral("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA) VALUES(%1,#1/10/2009#,'Άλλου')").arg(other));
    }
    void cleanup()
    {
        p.reset();
        Clock::reset();
    }

    void visitsAreEnteredWithTheCustomersIdAndListedByDate()
    {
        auto w = open(id);
        QCOMPARE(child<QLabel>(w.get(), "Label5")->text(), QStringLiteral("Μαρία"));
        QCOMPARE(count(*w), QStringLiteral("Βρέθηκαν 0 επισκέψεις"));
        QVERIFY(gridColumn(w.get(), 0).isEmpty());

        enter(*w, "12/5/2009", "Καθαρισμός");
        enter(*w, "20/5/2009", "Σφράγισμα");
        enter(*w, "3/1/2009", "Πόνος");                                                    // earlier than those listed
        child<DbNavigator>(w.get(), "DBNavigator1")->button(DbNavigator::Post)->click();   // nothing typed
        QCOMPARE(gridColumn(w.get(), 0), (QStringList{"", "3/1/2009", "12/5/2009", "20/5/2009"}));
        QCOMPARE(gridColumn(w.get(), 1), (QStringList{"", "Πόνος", "Καθαρισμός", "Σφράγισμα"}));
        QCOMPARE(count(*w), QStringLiteral("Βρέθηκαν 4 επισκέψεις"));
        QCOMPARE(p->scalar(QStringLiteral("SELECT COUNT(*) FROM EPISKEPSEIS WHERE ID=%1").arg(id)).toInt(), 4);
        QCOMPARE(p->count("EPISKEPSEIS"), 5);
        // The entry area is empty again, ready for the next visit.
        QVERIFY(child<QLineEdit>(w.get(), "DBEdit2")->text().isEmpty());
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void aDateTheColumnRefusesIsReportedAndNothingIsStored()
    {
        auto w = open(id);
        enter(*w, "31/2/2009", "Έλεγχος");
        const auto msgs = Messages::takeShown();
        QCOMPARE(msgs.size(), 1);
        QCOMPARE(msgs[0].kind, Messages::Kind::Error);
        QCOMPARE(p->count("EPISKEPSEIS"), 1);
        QCOMPARE(child<QLineEdit>(w.get(), "DBEdit2")->text(), QStringLiteral("Έλεγχος"));
        // Corrected, it goes in.
        auto *date = child<QLineEdit>(w.get(), "DBEdit1");
        date->clear();
        typeText(date, "28/2/2009");
        child<DbNavigator>(w.get(), "DBNavigator1")->button(DbNavigator::Post)->click();
        QCOMPARE(gridColumn(w.get(), 1), QStringList{"Έλεγχος"});
    }

    void deletingTheOnlyVisitLeavesTheCountAtZero()
    {
        auto w = open(other);
        QCOMPARE(count(*w), QStringLiteral("Βρέθηκαν 1 επισκέψεις"));
        typeText(child<QLineEdit>(w.get(), "DBEdit2"), QStringLiteral("Ξεχασμένη"));   // never posted
        child<DbNavigator>(w.get(), "DBNavigator2")->button(DbNavigator::Delete)->click();
        QCOMPARE(count(*w), QStringLiteral("Βρέθηκαν 0 επισκέψεις"));
        w->reject();
        QCOMPARE(p->count("EPISKEPSEIS"), 0);
    }

    // A free GESY visit is stored with its kind, for a beneficiary only and
    // once in twelve months; the next entry starts as an ordinary visit.
    void aFreeGesyVisitIsStoredWithItsKindOnceAYear()
    {
        p->exec(QStringLiteral("UPDATE STOIXEIA_PELATH SET GESY_DIKAIOUXOS=-1, GESY_ARITHMOS='77' WHERE ID=%1").arg(id));
        auto w = open(id);
        auto *kind = child<QComboBox>(w.get(), "ComboBox1");
        kind->setCurrentIndex(1);
        enter(*w, "15/3/2009", "Έλεγχος ΓεΣΥ");
        QCOMPARE(kind->currentIndex(), 0);
        kind->setCurrentIndex(2);
        enter(*w, "20/5/2009", "Καθαρισμός ΓεΣΥ");
        const auto msgs = Messages::takeShown();
        QCOMPARE(msgs.size(), 1);
        QVERIFY2(msgs[0].text.contains(QStringLiteral("15/3/2010")), qPrintable(msgs[0].text));
        // As an ordinary visit it goes in.
        kind->setCurrentIndex(0);
        child<DbNavigator>(w.get(), "DBNavigator1")->button(DbNavigator::Post)->click();
        QCOMPARE(gridColumn(w.get(), 3), (QStringList{"Έλεγχος", ""}));
        QCOMPARE(p->scalar(QStringLiteral("SELECT COUNT(*) FROM EPISKEPSEIS WHERE GESY_PROLHPSH IS NOT NULL")).toInt(), 1);

        auto notBeneficiary = open(other);
        child<QComboBox>(notBeneficiary.get(), "ComboBox1")->setCurrentIndex(1);
        enter(*notBeneficiary, "15/3/2009", "Έλεγχος ΓεΣΥ");
        QCOMPARE(Messages::takeShown().size(), 1);
        QCOMPARE(p->scalar(QStringLiteral("SELECT COUNT(*) FROM EPISKEPSEIS WHERE ID=%1").arg(other)).toInt(), 1);
    }
};

MOLARIX_TEST(VisitsTest)
#include "test_visits.moc"
