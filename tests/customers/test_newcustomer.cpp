#include "customers/newcustomer.h"
#include "customertestutil.h"
#include "data/db/clock.h"
#include "gui/dbnavigator.h"
#include "tests/common/testmain.h"
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

class NewCustomerTest : public QObject {
    Q_OBJECT
private:
    static QToolButton *nav(TForm16 &w, DbNavigator::Button b)
    {
        return child<DbNavigator>(&w, "DBNavigator1")->button(b);
    }
    static void type(TForm16 &w, const char *edit, const QString &text) { typeText(child<QLineEdit>(&w, edit), text); }
    static QVariant stored(TempPractice &p, const QString &column)
    {
        return p.scalar("SELECT " + column + " FROM STOIXEIA_PELATH");
    }

private slots:
    void init() { Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0))); }
    void cleanup() { Clock::reset(); }

    void nothingIsStoredWithoutPost()
    {
        TempPractice p;
        {
            TForm16 w;
            w.show();
            QVERIFY(nav(w, DbNavigator::Post)->isEnabled());
            auto *sex = child<QComboBox>(&w, "DBComboBox1");
            QCOMPARE(sex->currentIndex(), -1);
            QCOMPARE(sex->count(), 2);
            type(w, "DBEdit1", QStringLiteral("Νίκος"));
            child<QDateEdit>(&w, "DateTimePicker1")->setDate(QDate(1970, 1, 2));
            QTest::keyClick(&w, Qt::Key_Escape);
            QVERIFY(!w.isVisible());
        }
        QCOMPARE(p.count("STOIXEIA_PELATH"), 0);
        {
            TForm16 w;
            w.show();
            type(w, "DBEdit2", QStringLiteral("Σάββα"));
            nav(w, DbNavigator::Post)->click();
            type(w, "DBEdit2", QStringLiteral("ς"));   // changes to the stored row, not posted
        }
        QCOMPARE(stored(p, "EPWNYMO").toString(), QStringLiteral("Σάββα"));
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void postStoresAndLaterChangesGoToTheSameRow()
    {
        TempPractice p;
        TForm16 w;
        w.show();
        type(w, "DBEdit2", QStringLiteral("Κωνσταντίνου"));
        QTest::keyClick(child<QComboBox>(&w, "DBComboBox1"), Qt::Key_Down);
        QTest::keyClick(child<QComboBox>(&w, "DBComboBox1"), Qt::Key_Down);
        auto *picker = child<QDateEdit>(&w, "DateTimePicker1");
        QCOMPARE(picker->date(), QDate(2009, 6, 15));
        picker->setDate(QDate(1850, 1, 1));   // the picker goes no earlier than 1901
        picker->setDate(QDate(1901, 3, 5));
        auto *birth = child<QLineEdit>(&w, "DBEdit3");
        QCOMPARE(birth->text(), QStringLiteral("5/3/1901"));
        QVERIFY(birth->isReadOnly());
        nav(w, DbNavigator::Post)->click();
        QCOMPARE(p.count("STOIXEIA_PELATH"), 1);
        QCOMPARE(stored(p, "FYLO").toString(), QStringLiteral("ΘΗΛΥ"));
        QCOMPARE(stored(p, "Format(HMEROMHNIA_GENNHSEWS,\"dd/mm/yyyy\")").toString(), QStringLiteral("05/03/1901"));

        // Browsing the stored row, a picked date only changes the box.
        picker->setDate(QDate(1980, 12, 28));
        QCOMPARE(birth->text(), QStringLiteral("28/12/1980"));
        QVERIFY(!nav(w, DbNavigator::Post)->isEnabled());

        type(w, "DBEdit9", QStringLiteral("99 000111"));
        nav(w, DbNavigator::Post)->click();
        QCOMPARE(p.count("STOIXEIA_PELATH"), 1);
        QCOMPARE(stored(p, "THLEFWNO_2").toString(), QStringLiteral("99 000111"));
        QCOMPARE(stored(p, "Format(HMEROMHNIA_GENNHSEWS,\"dd/mm/yyyy\")").toString(), QStringLiteral("05/03/1901"));
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void insertPostsWhatWasTypedAndDropsAnUntouchedRecord()
    {
        TempPractice p;
        TForm16 w;
        w.show();
        nav(w, DbNavigator::Insert)->click();
        QCOMPARE(p.count("STOIXEIA_PELATH"), 0);
        type(w, "DBEdit2", QStringLiteral("Πρώτος"));
        nav(w, DbNavigator::Insert)->click();
        QVERIFY(child<QLineEdit>(&w, "DBEdit2")->text().isEmpty());
        QCOMPARE(p.count("STOIXEIA_PELATH"), 1);
        // An empty record posted holds only its ID.
        nav(w, DbNavigator::Post)->click();
        QCOMPARE(p.count("STOIXEIA_PELATH"), 2);
        QCOMPARE(p.scalar("SELECT COUNT(*) FROM STOIXEIA_PELATH WHERE EPWNYMO IS NULL AND ID > 0").toInt(), 1);
    }
};

MOLARIX_TEST(NewCustomerTest)
#include "test_newcustomer.moc"
