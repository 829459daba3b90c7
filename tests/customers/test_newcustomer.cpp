#include "customers/newcustomer.h"
#include "customertestutil.h"
#include "data/clock.h"
#include "data/gui/dbcontrols.h"
#include "data/gui/dbnavigator.h"
#include "tests/common/testmain.h"
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QTest>

class NewCustomerTest : public QObject {
    Q_OBJECT
private:
    static void press(TForm16 &w, DbNavigator::Button b)
    {
        child<DbNavigator>(&w, "DBNavigator1")->button(b)->click();
    }
    static QString stored(TempPractice &p, const QString &column)
    {
        return p.scalar("SELECT " + column + " FROM STOIXEIA_PELATH").toString();
    }

private slots:
    void init() { Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0))); }
    void cleanup() { Clock::reset(); }

    void opensReadyForTypingAndClosingStoresNothing()
    {
        TempPractice p;
        {
            TForm16 w;
            w.show();
            QVERIFY(child<DbNavigator>(&w, "DBNavigator1")->button(DbNavigator::Post)->isEnabled());
            QVERIFY(!child<DbNavigator>(&w, "DBNavigator1")->button(DbNavigator::Delete)->isVisible());
            auto *sex = child<QComboBox>(&w, "DBComboBox1");
            QCOMPARE(sex->count(), 2);
            QCOMPARE(sex->itemText(0), QStringLiteral("ΑΡΡΕΝ"));
            QCOMPARE(sex->itemText(1), QStringLiteral("ΘΗΛΥ"));
            QCOMPARE(sex->currentIndex(), -1);
            QVERIFY(child<QLineEdit>(&w, "DBEdit3")->text().isEmpty());
            typeText(child<QLineEdit>(&w, "DBEdit1"), QStringLiteral("Νίκος"));
            child<QPushButton>(&w, "Button1")->click();
        }
        QCOMPARE(p.count("STOIXEIA_PELATH"), 0);
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void postStoresAndLaterChangesGoToTheSameRow()
    {
        TempPractice p;
        TForm16 w;
        w.show();
        typeText(child<QLineEdit>(&w, "DBEdit1"), QStringLiteral("Ελένη"));
        typeText(child<QLineEdit>(&w, "DBEdit2"), QStringLiteral("Κωνσταντίνου"));
        QTest::keyClick(child<QComboBox>(&w, "DBComboBox1"), Qt::Key_Down);
        QTest::keyClick(child<QComboBox>(&w, "DBComboBox1"), Qt::Key_Down);
        child<QDateEdit>(&w, "DateTimePicker1")->setDate(QDate(1975, 3, 5));
        QCOMPARE(child<QLineEdit>(&w, "DBEdit3")->text(), QStringLiteral("5/3/1975"));
        typeText(child<QLineEdit>(&w, "DBEdit8"), QStringLiteral("22 123456"));
        typeText(child<QLineEdit>(&w, "DBEdit5"), QStringLiteral("ΓεΣΥ"));
        press(w, DbNavigator::Post);
        QCOMPARE(p.count("STOIXEIA_PELATH"), 1);
        QCOMPARE(stored(p, "EPWNYMO"), QStringLiteral("Κωνσταντίνου"));
        QCOMPARE(stored(p, "FYLO"), QStringLiteral("ΘΗΛΥ"));
        QCOMPARE(stored(p, "Format(HMEROMHNIA_GENNHSEWS,\"dd/mm/yyyy\")"), QStringLiteral("05/03/1975"));
        QCOMPARE(stored(p, "TAMEIO"), QStringLiteral("ΓεΣΥ"));

        // The stored row stays on screen: typing edits it, Post updates it.
        QCOMPARE(child<QLineEdit>(&w, "DBEdit2")->text(), QStringLiteral("Κωνσταντίνου"));
        typeText(child<QLineEdit>(&w, "DBEdit9"), QStringLiteral("99 000111"));
        press(w, DbNavigator::Post);
        QCOMPARE(p.count("STOIXEIA_PELATH"), 1);
        QCOMPARE(stored(p, "THLEFWNO_2"), QStringLiteral("99 000111"));
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void insertPostsWhatWasTypedAndDropsAnEmptyRecord()
    {
        TempPractice p;
        TForm16 w;
        w.show();
        press(w, DbNavigator::Insert);   // nothing typed yet
        QCOMPARE(p.count("STOIXEIA_PELATH"), 0);
        QVERIFY(child<DbNavigator>(&w, "DBNavigator1")->button(DbNavigator::Post)->isEnabled());

        typeText(child<QLineEdit>(&w, "DBEdit2"), QStringLiteral("Πρώτος"));
        press(w, DbNavigator::Insert);
        typeText(child<QLineEdit>(&w, "DBEdit2"), QStringLiteral("Δεύτερος"));
        QVERIFY(child<QLineEdit>(&w, "DBEdit1")->text().isEmpty());
        press(w, DbNavigator::Post);
        QCOMPARE(p.count("STOIXEIA_PELATH"), 2);
        QCOMPARE(p.scalar("SELECT COUNT(*) FROM STOIXEIA_PELATH WHERE EPWNYMO='Δεύτερος'").toInt(), 1);
    }

    void emptyPostStoresARowWithOnlyItsId()
    {
        TempPractice p;
        TForm16 w;
        w.show();
        press(w, DbNavigator::Post);
        QCOMPARE(p.count("STOIXEIA_PELATH"), 1);
        QVERIFY(p.scalar("SELECT ID FROM STOIXEIA_PELATH").toLongLong() > 0);
        QVERIFY(!p.scalar("SELECT EPWNYMO FROM STOIXEIA_PELATH").isValid());
    }

    void birthDateComesOnlyFromThePicker()
    {
        TempPractice p;
        TForm16 w;
        w.show();
        auto *box = child<QLineEdit>(&w, "DBEdit3");
        QVERIFY(box->isReadOnly());
        typeText(box, QStringLiteral("1/1/2000"));
        QVERIFY(box->text().isEmpty());
        auto *picker = child<QDateEdit>(&w, "DateTimePicker1");
        QCOMPARE(picker->date(), QDate(2009, 6, 15));
        picker->setDate(QDate(1850, 1, 1));
        QCOMPARE(picker->date(), QDate(1901, 1, 1));
        QCOMPARE(box->text(), QStringLiteral("1/1/1901"));
    }

    void pickingADateWhileBrowsingOnlyChangesTheBox()
    {
        TempPractice p;
        TForm16 w;
        w.show();
        typeText(child<QLineEdit>(&w, "DBEdit2"), QStringLiteral("Ιωάννου"));
        press(w, DbNavigator::Post);
        child<QDateEdit>(&w, "DateTimePicker1")->setDate(QDate(1980, 12, 28));
        QCOMPARE(child<QLineEdit>(&w, "DBEdit3")->text(), QStringLiteral("28/12/1980"));
        QVERIFY(!child<DbNavigator>(&w, "DBNavigator1")->button(DbNavigator::Post)->isEnabled());
        w.reject();
        QVERIFY(!p.scalar("SELECT HMEROMHNIA_GENNHSEWS FROM STOIXEIA_PELATH").isValid());
    }

    void unpostedChangesToAStoredRowAreDropped()
    {
        TempPractice p;
        {
            TForm16 w;
            w.show();
            typeText(child<QLineEdit>(&w, "DBEdit2"), QStringLiteral("Σάββα"));
            press(w, DbNavigator::Post);
            typeText(child<QLineEdit>(&w, "DBEdit2"), QStringLiteral("ς"));
            QTest::keyClick(&w, Qt::Key_Escape);
            QVERIFY(!w.isVisible());
        }
        QCOMPARE(p.scalar("SELECT EPWNYMO FROM STOIXEIA_PELATH").toString(), QStringLiteral("Σάββα"));
    }
};

MOLARIX_TEST(NewCustomerTest)
#include "test_newcustomer.moc"
