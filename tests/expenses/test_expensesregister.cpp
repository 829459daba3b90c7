#include "expenses/expensesregister.h"
#include "expensesfixture.h"
#include "tests/common/testmain.h"

#include "gui/messages.h"
#include "data/db/dataset.h"
#include "gui/dbcontrols.h"
#include "gui/dbgrid.h"
#include "gui/dbnavigator.h"
#include "data/db/regional.h"
#include <QPushButton>
#include <QTest>
#include <QToolButton>

class ExpensesRegisterTest : public QObject {
    Q_OBJECT

    static QString gridText(TForm13 &f, int row, int col)
    {
        auto *grid = child<DbGrid>(&f, "DBGrid1");
        return grid->model()->index(row, col).data().toString();
    }
    static void type(TForm13 &f, const char *edit, const QString &text)
    {
        auto *e = child<DbEdit>(&f, edit);
        e->setFocus();
        e->selectAll();
        // One key event per character, Greek letters included.
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    static void press(TForm13 &f, const char *button)
    {
        child<QToolButton>(child<DbNavigator>(&f, "DBNavigator1"), button)->click();
    }

private slots:
    void opensWithTheNewestExpenseFirst()
    {
        TempPractice p;
        addExpense(p, QDate(2009, 3, 10), 10, 1, QStringLiteral("Μεσαίο"));
        addExpense(p, QDate(2009, 5, 2), 20, 2, QStringLiteral("Νεότερο"));
        addExpense(p, QDate(2008, 12, 31), 30, 3, QStringLiteral("Παλαιότερο"));

        TForm13 f;
        QCOMPARE(f.windowTitle(), QStringLiteral("Λειτουργικά έξοδα - Επεξεργασία"));
        QCOMPARE(gridText(f, 0, 0), QStringLiteral("Νεότερο"));
        QCOMPARE(gridText(f, 1, 0), QStringLiteral("Μεσαίο"));
        QCOMPARE(gridText(f, 2, 0), QStringLiteral("Παλαιότερο"));
        // The edits show the current row, which is the newest.
        QCOMPARE(child<DbEdit>(&f, "DBEdit4")->text(), QStringLiteral("Νεότερο"));
        QCOMPARE(child<DbEdit>(&f, "DBEdit1")->text(), Regional::formatDate(QDate(2009, 5, 2)));

        auto *grid = child<DbGrid>(&f, "DBGrid1");
        const QStringList titles{QStringLiteral("Περιγραφή"), QStringLiteral("Ημερομηνία"),
                                 QStringLiteral("Ποσό (EUR)"), QStringLiteral("Φ.Π.Α (EUR)")};
        QCOMPARE(grid->model()->columnCount(), titles.size());
        for (int c = 0; c < titles.size(); ++c)
            QCOMPARE(grid->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), titles[c]);

        // Only the buttons the register offers.
        auto *nav = child<DbNavigator>(&f, "DBNavigator1");
        for (const char *shown : {"nbFirst", "nbPrior", "nbNext", "nbLast", "nbInsert", "nbDelete", "nbPost"})
            QVERIFY2(!child<QToolButton>(nav, shown)->isHidden(), shown);
        for (const char *hidden : {"nbEdit", "nbCancel", "nbRefresh"})
            QVERIFY2(child<QToolButton>(nav, hidden)->isHidden(), hidden);
    }

    void aNewExpenseIsStoredByPost()
    {
        TempPractice p;
        addExpense(p, QDate(2009, 1, 5), 10, 1, QStringLiteral("Παλιό"));
        TForm13 f;
        f.show();
        press(f, "nbInsert");
        type(f, "DBEdit1", QStringLiteral("28/3/2009"));
        type(f, "DBEdit2", QStringLiteral("120,50"));
        type(f, "DBEdit3", QStringLiteral("22.90"));
        type(f, "DBEdit4", QStringLiteral("Αναλώσιμα"));
        press(f, "nbPost");

        QCOMPARE(p.count(QStringLiteral("EKSODA")), 2);
        QCOMPARE(p.scalar(QStringLiteral("SELECT POSO FROM EKSODA WHERE PERIGRAFH='Αναλώσιμα'")).toDouble(), 120.5);
        QCOMPARE(p.scalar(QStringLiteral("SELECT VAT FROM EKSODA WHERE PERIGRAFH='Αναλώσιμα'")).toDouble(), 22.9);
        QCOMPARE(p.scalar(QStringLiteral("SELECT COUNT(*) FROM EKSODA WHERE HMEROMHNIA=#3/28/2009#")).toInt(), 1);
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void aChangedRowIsStoredWhenAnotherRowBecomesCurrent()
    {
        TempPractice p;
        addExpense(p, QDate(2009, 5, 2), 20, 2, QStringLiteral("Ρεύμα"));
        addExpense(p, QDate(2009, 3, 10), 10, 1, QStringLiteral("Νερό"));
        TForm13 f;
        f.show();
        type(f, "DBEdit2", QStringLiteral("25"));   // the newest row, "Ρεύμα"
        press(f, "nbNext");
        QCOMPARE(p.scalar(QStringLiteral("SELECT POSO FROM EKSODA WHERE PERIGRAFH='Ρεύμα'")).toDouble(), 25.0);
        QCOMPARE(p.scalar(QStringLiteral("SELECT POSO FROM EKSODA WHERE PERIGRAFH='Νερό'")).toDouble(), 10.0);
        QCOMPARE(child<DbEdit>(&f, "DBEdit4")->text(), QStringLiteral("Νερό"));
    }

    void deletingAsksFirst()
    {
        TempPractice p;
        addExpense(p, QDate(2009, 5, 2), 20, 2, QStringLiteral("Ρεύμα"));
        addExpense(p, QDate(2009, 3, 10), 10, 1, QStringLiteral("Νερό"));
        TForm13 f;
        f.show();

        Messages::setNextAnswer(false);
        press(f, "nbDelete");
        auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::ConfirmDelete);
        QCOMPARE(p.count(QStringLiteral("EKSODA")), 2);

        Messages::setNextAnswer(true);
        press(f, "nbDelete");
        QCOMPARE(p.count(QStringLiteral("EKSODA")), 1);
        QCOMPARE(p.scalar(QStringLiteral("SELECT PERIGRAFH FROM EKSODA")).toString(), QStringLiteral("Νερό"));
    }

    void closingMidEntryStoresNothing()
    {
        TempPractice p;
        addExpense(p, QDate(2009, 5, 2), 20, 2, QStringLiteral("Ρεύμα"));
        {
            TForm13 f;
            f.show();
            press(f, "nbInsert");
            type(f, "DBEdit1", QStringLiteral("1/6/2009"));
            type(f, "DBEdit2", QStringLiteral("99"));
            type(f, "DBEdit4", QStringLiteral("Μισό"));
            child<QPushButton>(&f, "Button1")->click();
            QVERIFY(!f.isVisible());
        }
        {
            // Esc in the middle of correcting a row leaves it as it was.
            TForm13 f;
            f.show();
            type(f, "DBEdit4", QStringLiteral("Αλλαγμένο"));
            QTest::keyClick(&f, Qt::Key_Escape);
            QVERIFY(!f.isVisible());
        }
        QCOMPARE(p.count(QStringLiteral("EKSODA")), 1);
        QCOMPARE(p.scalar(QStringLiteral("SELECT PERIGRAFH FROM EKSODA")).toString(), QStringLiteral("Ρεύμα"));
        QVERIFY(Messages::takeShown().isEmpty());
    }
};

MOLARIX_TEST(ExpensesRegisterTest)
#include "test_expensesregister.moc"
