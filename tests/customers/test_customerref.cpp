#include "customers/customercard.h"
#include "customers/customerhistory.h"
#include "customers/customerlist.h"
#include "customers/customerprintouts.h"
#include "customers/findcustomer.h"
#include "customers/visits.h"
#include "data/practice/schema.h"
#include <QDir>
#include <QTemporaryDir>
#include "customertestutil.h"
#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "gui/dbnavigator.h"
#include "receipts/customertakings.h"
#include "tests/common/testmain.h"
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
const QString NoCustomer = QStringLiteral("Δεν έχει επιλεγεί πελάτης.");
const QString CustomerGone = QStringLiteral("Ο πελάτης δεν βρέθηκε.");

QStringList shownTexts()
{
    QStringList out;
    for (const auto &m : Messages::takeShown())
        out << m.text;
    return out;
}
QToolButton *postButton(QWidget *w) { return child<DbNavigator>(w, "DBNavigator1")->button(DbNavigator::Post); }
}

// A customer taken out of the list, or never handed over, must not turn
// into a new customer, a history-only customer or a visit of customer 0.
class PhantomCustomerTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    qlonglong id = 0;

    int customers() { return p->count(QStringLiteral("STOIXEIA_PELATH")); }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        p = std::make_unique<TempPractice>();
        id = addCustomer(*p, {"Άννα", "Αντωνίου", "ΘΗΛΥ", "28/12/1965"});
        addCustomer(*p, {"Γιώργος", "Λοΐζου", "ΑΡΡΕΝ", "1/2/1970"});
    }
    void cleanup()
    {
        SetModalHandler({});
        Form18 = nullptr;
        Form22 = nullptr;
        NumberingFixed = false;
        p.reset();
        Clock::reset();
    }

    void aCustomerRenamedOutOfTheListLeavesNoActions()
    {
        TForm18 list;
        Form18 = &list;
        list.ListSql = TForm17::InitialsSql(QStringLiteral("Αντ"));
        list.show();
        QCOMPARE(child<QLabel>(&list, "Label1")->text(), QStringLiteral("Βρέθηκαν 1 πελάτες"));

        // The card renames the customer so that the search no longer finds her.
        int opened = 0;
        ModalScript script([&](QDialog *d) {
            ++opened;
            if (auto *card = qobject_cast<TForm19 *>(d)) {
                auto *surname = child<QLineEdit>(card, "DBEdit2");
                surname->selectAll();
                typeText(surname, QStringLiteral("Βασιλείου"));
                postButton(card)->click();
            }
        });
        child<QPushButton>(&list, "Button2")->click();
        QCOMPARE(opened, 1);
        QCOMPARE(p->scalar(QStringLiteral("SELECT EPWNYMO FROM STOIXEIA_PELATH WHERE ID=%1").arg(id)).toString(),
                 QStringLiteral("Βασιλείου"));

        QCOMPARE(child<QLabel>(&list, "Label1")->text(), QStringLiteral("Βρέθηκαν 0 πελάτες"));
        QVERIFY(!child<QGroupBox>(&list, "GroupBox3")->isVisible());
        QVERIFY(!child<QMenu>(&list, "N1")->menuAction()->isVisible());
        QVERIFY(!list.HasCurrentCustomer());

        // Whatever still reaches the actions opens no window and stores nothing.
        opened = 0;
        for (const char *button : {"Button2", "Button3", "Button1", "Button7", "Button5"})
            child<QPushButton>(&list, button)->click();
        for (const char *item : {"N2", "N3", "N4", "N6", "N5"})
            child<QAction>(&list, item)->trigger();
        QCOMPARE(opened, 0);
        QCOMPARE(customers(), 2);
        QCOMPARE(p->count(QStringLiteral("EPISKEPSEIS")), 0);
        QVERIFY(shownTexts().isEmpty());
    }

    void theCardAndTheHistoryNeverAddACustomer()
    {
        p->exec(QStringLiteral("DELETE FROM STOIXEIA_PELATH WHERE ID=%1").arg(id));
        for (const QString &given : {QString(), QStringLiteral("   "), QStringLiteral("abc"),
                                     QStringLiteral("0"), QStringLiteral("1 OR 1=1"), QString::number(id)}) {
            const QString expected = given == QString::number(id) ? CustomerGone : NoCustomer;
            {
                TForm19 card;
                card.CustomerId = given;
                card.show();
                QCOMPARE(shownTexts(), QStringList{expected});
                typeText(child<QLineEdit>(&card, "DBEdit2"), QStringLiteral("Φάντασμα"));
                postButton(&card)->click();
                shownTexts();
            }
            {
                TForm20 history;
                history.CustomerId = given;
                history.show();
                QCOMPARE(shownTexts(), QStringList{expected});
                typeText(child<QPlainTextEdit>(&history, "DBMemo1"), QStringLiteral("μόνο ιστορικό"));
                postButton(&history)->click();
                shownTexts();
            }
            QCOMPARE(customers(), 1);
        }
    }

    void visitsWithoutACustomerStoreNothing()
    {
        for (const QString &given : {QString(), QStringLiteral("x12"), QStringLiteral("-3")}) {
            TFORM17A visits;
            visits.CustomerId = given;
            visits.show();
            QCOMPARE(shownTexts(), QStringList{NoCustomer});
            typeText(child<QLineEdit>(&visits, "DBEdit1"), QStringLiteral("1/6/2009"));
            typeText(child<QLineEdit>(&visits, "DBEdit2"), QStringLiteral("Έλεγχος"));
            postButton(&visits)->click();
            shownTexts();
            QCOMPARE(p->count(QStringLiteral("EPISKEPSEIS")), 0);
        }
        // The same window with a customer stores the visit under that customer.
        TFORM17A visits;
        visits.CustomerId = QStringLiteral(" %1 ").arg(id);
        visits.show();
        typeText(child<QLineEdit>(&visits, "DBEdit1"), QStringLiteral("1/6/2009"));
        postButton(&visits)->click();
        QCOMPARE(p->scalar(QStringLiteral("SELECT ID FROM EPISKEPSEIS")).toLongLong(), id);
        QVERIFY(shownTexts().isEmpty());
    }

    void takingsReadOnlyTheCustomerNumber()
    {
        p->exec(QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,POSO,AR_APODEIKSHS) VALUES(%1,10,1)").arg(id));
        p->exec(QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,POSO,AR_APODEIKSHS) VALUES(%1,20,2)").arg(id + 1));
        TForm57 spliced;
        spliced.CustomerId = QStringLiteral("%1 OR 1=1").arg(id);
        spliced.show();
        QCOMPARE(shownTexts(), QStringList{NoCustomer});
        QCOMPARE(child<DbGrid>(&spliced, "DBGrid1")->model()->rowCount(), 0);

        TForm57 one;
        one.CustomerId = QString::number(id);
        one.show();
        QCOMPARE(child<DbGrid>(&one, "DBGrid1")->model()->rowCount(), 1);
        QVERIFY(shownTexts().isEmpty());
    }
};

// Two workstations on one customer, odd dates and odd folder names: the
// customer windows keep both users' work and speak Greek.
class SharedCustomerTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    qlonglong id = 0;

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        p = std::make_unique<TempPractice>();
        id = addCustomer(*p, {"Άννα", "Αντωνίου", "ΘΗΛΥ", "28/12/1965"});
    }
    void cleanup()
    {
        SetModalHandler({});
        Form18 = nullptr;
        p.reset();
        Clock::reset();
    }

    void theSecondCardToPostIsToldAndKeepsItsEdit()
    {
        TForm19 a, b;
        for (TForm19 *card : {&a, &b}) {
            card->CustomerId = QString::number(id);
            card->show();
        }
        auto phone = [](TForm19 &card) { return child<QLineEdit>(&card, "DBEdit8"); };
        typeText(phone(a), QStringLiteral("22 111111"));
        typeText(phone(b), QStringLiteral("99 222222"));
        postButton(&a)->click();
        postButton(&b)->click();
        const QStringList shown = shownTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith(QStringLiteral("Η εγγραφή άλλαξε από άλλο χρήστη")), qPrintable(shown[0]));
        const QString stored = QStringLiteral("SELECT THLEFWNO_1 FROM STOIXEIA_PELATH WHERE ID=%1").arg(id);
        QCOMPARE(p->scalar(stored).toString(), QStringLiteral("22 111111"));
        // The card shows what the other card stored; posted again, the
        // overwrite is asked (the scripted answer is yes).
        QCOMPARE(phone(b)->text(), QStringLiteral("22 111111"));
        postButton(&b)->click();
        const QStringList asked = shownTexts();
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].contains(QStringLiteral("«22 111111»")) && asked[0].contains(QStringLiteral("«99 222222»")), qPrintable(asked[0]));
        QCOMPARE(p->scalar(stored).toString(), QStringLiteral("99 222222"));
    }

    void aThreeDigitYearIsSearchedNotReported()
    {
        addCustomer(*p, {"Αρχαίος", "Πελάτης", "ΑΡΡΕΝ", "1/6/1000"});
        TForm18 list;
        Form18 = &list;
        QString label;
        ModalScript script([&](QDialog *d) { label = child<QLabel>(d, "Label1")->text(); });
        TForm17 find;
        child<QLineEdit>(&find, "Edit2")->setText(QStringLiteral("1/1/198"));
        child<QLineEdit>(&find, "Edit3")->setText(QStringLiteral("1/1/1970"));
        child<QPushButton>(&find, "Button4")->click();
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(label, QStringLiteral("Βρέθηκαν 2 πελάτες"));

        label.clear();
        child<QLineEdit>(&find, "Edit2")->setText(QStringLiteral("1/1/1001"));
        child<QPushButton>(&find, "Button4")->click();
        QCOMPARE(label, QStringLiteral("Βρέθηκαν 1 πελάτες"));
    }

    void aPracticeFolderWithSemicolonsOpens()
    {
        QTemporaryDir root;
        const QString dir = root.path() + QStringLiteral("/Ιατρείο; Data Source=x");
        QVERIFY(QDir().mkpath(dir));
        Schema::createDatabase(dir);
        DbConnectionString = BuildConnectionString(QDir::toNativeSeparators(dir));
        // The access check's part: the password unlocks the file for the run.
        auto c = openPracticeDir(dir);
        c->executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Ελένη','Σάββα')"));
        const qlonglong there = c->scalarNative(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong();
        TForm19 card;
        card.CustomerId = QString::number(there);
        card.show();
        QVERIFY(shownTexts().isEmpty());
        QCOMPARE(child<QLineEdit>(&card, "DBEdit2")->text(), QStringLiteral("Σάββα"));
    }
};

MOLARIX_TEST(PhantomCustomerTest)
MOLARIX_TEST(SharedCustomerTest)
#include "test_customerref.moc"
