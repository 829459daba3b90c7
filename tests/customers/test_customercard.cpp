#include "customers/customercard.h"
#include "customers/customerhistory.h"
#include "customertestutil.h"
#include "data/db/clock.h"
#include "gui/dbcontrols.h"
#include "gui/dbnavigator.h"
#include "tests/common/testmain.h"
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

class CustomerCardTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    qlonglong id = 0, other = 0;

    QString column(qlonglong customer, const char *col)
    {
        return p->scalar(QStringLiteral("SELECT %1 FROM STOIXEIA_PELATH WHERE ID=%2").arg(QLatin1String(col)).arg(customer))
            .toString();
    }
    static QToolButton *post(QWidget *w) { return child<DbNavigator>(w, "DBNavigator1")->button(DbNavigator::Post); }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        p = std::make_unique<TempPractice>();
        id = addCustomer(*p, {"Μαρία", "Παπά", "ΘΗΛΥ", "5/3/1980", "ΟΑΕΕ", "", "Αλλεργία στην πενικιλίνη"});
        other = addCustomer(*p, {"Γιώργος", "Λοΐζου", "ΑΡΡΕΝ", "1/2/1970"});
    }
    void cleanup()
    {
        p.reset();
        Clock::reset();
    }

    void cardStoresOnlyOnPostAndTwoPostsInARowBothStore()
    {
        {
            TForm19 card;
            card.CustomerId = QString::number(id);
            card.show();
            QCOMPARE(child<QLineEdit>(&card, "DBEdit3")->text(), QStringLiteral("5/3/1980"));
            // The picker starts at today, not at the stored date.
            QCOMPARE(child<QDateEdit>(&card, "DateTimePicker1")->date(), QDate(2009, 6, 15));
            typeText(child<QLineEdit>(&card, "DBEdit2"), QStringLiteral("ς"));
            child<QDateEdit>(&card, "DateTimePicker1")->setDate(QDate(1981, 4, 6));
            child<QPushButton>(&card, "Button1")->click();
        }
        QCOMPARE(column(id, "EPWNYMO"), QStringLiteral("Παπά"));
        QCOMPARE(column(id, "Format(HMEROMHNIA_GENNHSEWS,\"dd/mm/yyyy\")"), QStringLiteral("05/03/1980"));

        TForm19 card;
        card.CustomerId = QString::number(id);
        card.show();
        QVERIFY(post(&card)->isEnabled());
        typeText(child<QLineEdit>(&card, "DBEdit8"), QStringLiteral("22 334455"));
        post(&card)->click();
        QCOMPARE(column(id, "THLEFWNO_1"), QStringLiteral("22 334455"));
        QVERIFY(post(&card)->isEnabled());
        child<QDateEdit>(&card, "DateTimePicker1")->setDate(QDate(1980, 3, 6));
        QCOMPARE(column(id, "Format(HMEROMHNIA_GENNHSEWS,\"dd/mm/yyyy\")"), QStringLiteral("05/03/1980"));
        post(&card)->click();
        QCOMPARE(column(id, "Format(HMEROMHNIA_GENNHSEWS,\"dd/mm/yyyy\")"), QStringLiteral("06/03/1980"));
        QCOMPARE(column(id, "THLEFWNO_1"), QStringLiteral("22 334455"));
        QCOMPARE(column(id, "ISTORIKO"), QStringLiteral("Αλλεργία στην πενικιλίνη"));
        QCOMPARE(column(other, "THLEFWNO_1"), QString());
        QVERIFY(Messages::takeShown().isEmpty());
    }

    // A GESY beneficiary is stored with the number; the number box is
    // open only for one.
    void aGesyBeneficiaryIsStoredWithTheNumber()
    {
        TForm19 card;
        card.CustomerId = QString::number(id);
        card.show();
        auto *box = child<QCheckBox>(&card, "CheckBox1");
        auto *number = child<QLineEdit>(&card, "DBEdit6");
        QVERIFY(!box->isChecked());
        QVERIFY(!number->isEnabled());
        box->click();
        QVERIFY(number->isEnabled());
        post(&card)->click();
        const auto msgs = Messages::takeShown();
        QCOMPARE(msgs.size(), 1);
        QCOMPARE(msgs[0].text, QStringLiteral("Γράψτε τον αριθμό δικαιούχου ΓεΣΥ του πελάτη."));
        QCOMPARE(p->scalar(QStringLiteral("SELECT COUNT(*) FROM STOIXEIA_PELATH WHERE GESY_DIKAIOUXOS<>0")).toInt(), 0);
        typeText(number, QStringLiteral("1234567"));
        post(&card)->click();
        QCOMPARE(p->scalar(QStringLiteral("SELECT COUNT(*) FROM STOIXEIA_PELATH WHERE GESY_DIKAIOUXOS<>0 AND ID=%1").arg(id)).toInt(), 1);
        QCOMPARE(column(id, "GESY_ARITHMOS"), QStringLiteral("1234567"));
        card.reject();

        TForm19 again;
        again.CustomerId = QString::number(id);
        again.show();
        QVERIFY(child<QCheckBox>(&again, "CheckBox1")->isChecked());
        child<QCheckBox>(&again, "CheckBox1")->click();
        post(&again)->click();
        QCOMPARE(p->scalar(QStringLiteral("SELECT COUNT(*) FROM STOIXEIA_PELATH WHERE GESY_DIKAIOUXOS<>0")).toInt(), 0);
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void historyShowsTheNamesHandedInAndPostsOnlyAfterTyping()
    {
        TForm20 h;
        h.CustomerId = QString::number(id);
        h.CustomerFirstName = QStringLiteral("Μαίρη");
        h.CustomerSurname = QStringLiteral("ΠΑΠΑ");
        h.CustomerBirthDate = QStringLiteral("1/1/2000");
        h.show();
        QCOMPARE(child<QLabel>(&h, "Label5")->text() + child<QLabel>(&h, "Label6")->text()
                     + child<QLabel>(&h, "Label7")->text(),
                 QStringLiteral("ΜαίρηΠΑΠΑ1/1/2000"));
        QVERIFY(!post(&h)->isEnabled());
        auto *memo = child<QPlainTextEdit>(&h, "DBMemo1");
        memo->moveCursor(QTextCursor::End);
        QTest::keyClick(memo, Qt::Key_Return);
        typeText(memo, QStringLiteral("2009: εξαγωγή 36"));
        QVERIFY(post(&h)->isEnabled());
        post(&h)->click();
        QVERIFY(!post(&h)->isEnabled());
        QCOMPARE(column(id, "ISTORIKO"), QStringLiteral("Αλλεργία στην πενικιλίνη\n2009: εξαγωγή 36"));
        QVERIFY(column(other, "ISTORIKO").isEmpty());
    }
};

MOLARIX_TEST(CustomerCardTest)
#include "test_customercard.moc"
