#include "receipts/customertakings.h"
#include "receipts/issuedreceipts.h"
#include "receipts/issuereceipt.h"
#include "receipts/takingsbetweendates.h"
#include "takingsfixture.h"
#include "tests/common/testmain.h"

#include "gui/messages.h"
#include "data/db/dataset.h"
#include "gui/dbgrid.h"
#include "gui/dbnavigator.h"
#include "data/db/regional.h"
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>
#include <QScrollBar>
#include <QHeaderView>

using namespace Takings;

namespace {
QPushButton *cancelButton(QWidget *f) { return child<QPushButton>(f, "Button1"); }
QPushButton *printButton(QWidget *f) { return child<QPushButton>(f, "Button2"); }

// Both actions are offered exactly for a valid receipt.
bool buttonsMatch(TForm71 &f, bool valid)
{
    return cancelButton(&f)->isEnabled() == valid && printButton(&f)->isEnabled() == valid;
}

void clickRow(TForm71 &f, int row)
{
    auto *grid = child<DbGrid>(&f, "DBGrid1");
    const QModelIndex index = grid->model()->index(row, 0);
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

int rowOf(TForm71 &f, int number)
{
    DataSet *q = f.ADOQuery1;
    const int col = q->fieldIndex(QStringLiteral("AR_APODEIKSHS"));
    for (int r = 0; r < q->rowCount(); ++r)
        if (q->value(r, col).toInt() == number)
            return r;
    return -1;
}

QList<int> numbers(TForm71 &f)
{
    QList<int> list;
    DataSet *q = f.ADOQuery1;
    for (int r = 0; r < q->rowCount(); ++r)
        list << q->value(r, q->fieldIndex(QStringLiteral("AR_APODEIKSHS"))).toInt();
    return list;
}

// Four receipts whose numbers are not in date order; two cancelled.
qlonglong fourReceipts(TempPractice &p)
{
    const qlonglong c = addCustomer(p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος"));
    addReceipt(p, {.number = 1001, .customer = c, .date = QDate(2009, 1, 5), .poso = 50});
    addReceipt(p, {.number = 1002, .customer = c, .date = QDate(2009, 1, 3), .poso = 60, .valid = false});
    addReceipt(p, {.number = 1003, .customer = c, .date = QDate(2009, 1, 4), .poso = 70});
    addReceipt(p, {.number = 1004, .customer = c, .date = QDate(2009, 1, 6), .poso = 80, .valid = false});
    setLast(p, 1005);
    return c;
}
}

class IssuedReceiptsTest : public QObject {
    Q_OBJECT

private slots:
    void withoutReceiptsNothingIsOffered()
    {
        TempPractice p;
        TForm71 f;
        f.show();
        QCOMPARE(child<QLabel>(&f, "Label1")->text(), QStringLiteral("Βρέθηκαν 0 αποδείξεις"));
        QVERIFY(buttonsMatch(f, false));
        child<QRadioButton>(&f, "RadioButton3")->click();
        QVERIFY(buttonsMatch(f, false));
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void everyReceiptIsListedByDateAndTheButtonsFollowTheRow()
    {
        TempPractice p;
        fourReceipts(p);
        TForm71 f;
        f.show();
        QCOMPARE(child<QLabel>(&f, "Label1")->text(), QStringLiteral("Βρέθηκαν 4 αποδείξεις"));
        QCOMPARE(numbers(f), (QList<int>{1002, 1003, 1001, 1004}));
        QVERIFY(child<QRadioButton>(&f, "RadioButton1")->isChecked());

        auto *model = child<DbGrid>(&f, "DBGrid1")->model();
        QCOMPARE(model->columnCount(), 8);
        QCOMPARE(model->headerData(7, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Έγκυρη"));
        QCOMPARE(model->index(0, 7).data().toString(), QStringLiteral("False"));
        QCOMPARE(model->index(1, 7).data().toString(), QStringLiteral("True"));
        QCOMPARE(model->index(1, 5).data().toString(), Regional::formatAmount(70));
        QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("4/1/2009"));
        QCOMPARE(model->index(1, 3).data().toString(), QStringLiteral("Παπαδόπουλος"));

        // The first row is a cancelled receipt.
        QVERIFY(buttonsMatch(f, false));
        auto *nav = child<DbNavigator>(&f, "DBNavigator1");
        nav->clickButton(DbNavigator::Next);
        QVERIFY(buttonsMatch(f, true));
        nav->clickButton(DbNavigator::Last);
        QVERIFY(buttonsMatch(f, false));
        clickRow(f, 2);
        QVERIFY(buttonsMatch(f, true));
        clickRow(f, 0);
        QVERIFY(buttonsMatch(f, false));
        auto *grid = child<DbGrid>(&f, "DBGrid1");
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(f.ADOQuery1->recNo(), 1);
        QVERIFY(buttonsMatch(f, true));
    }

    void theLastColumnStaysInSight()
    {
        TempPractice p;
        const qlonglong c = addCustomer(p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος"));
        for (int i = 0; i < 40; ++i)   // enough rows for the vertical scroll bar
            addReceipt(p, {.number = 2000 + i, .customer = c, .date = QDate(2009, 2, 1 + i % 28), .poso = 10});
        TForm71 f;
        f.show();
        auto *grid = child<DbGrid>(&f, "DBGrid1");
        QVERIFY(grid->verticalScrollBar()->isVisible());
        const int last = grid->model()->columnCount() - 1;
        const int right = grid->columnViewportPosition(last) + grid->columnWidth(last);
        QCOMPARE(right, grid->viewport()->width());
        QVERIFY(grid->columnWidth(last) >= grid->horizontalHeader()->sectionSizeHint(last));
        for (int col = 0; col < last; ++col)
            QVERIFY(grid->columnWidth(col) >= grid->horizontalHeader()->sectionSizeHint(col));
    }

    void theThreeSortsOrderTheFetchedRows()
    {
        // A sort makes the first row of its order current; the buttons follow.
        TempPractice p;
        fourReceipts(p);
        TForm71 f;
        f.show();
        clickRow(f, rowOf(f, 1003));
        QVERIFY(buttonsMatch(f, true));
        child<QRadioButton>(&f, "RadioButton1")->click();
        QCOMPARE(numbers(f), (QList<int>{1002, 1003, 1001, 1004}));
        QVERIFY(buttonsMatch(f, false));

        child<QRadioButton>(&f, "RadioButton2")->click();
        QCOMPARE(numbers(f), (QList<int>{1001, 1002, 1003, 1004}));
        QVERIFY(buttonsMatch(f, true));

        child<QRadioButton>(&f, "RadioButton3")->click();
        const QList<int> byValidity = numbers(f);
        QCOMPARE(QSet<int>(byValidity.begin(), byValidity.begin() + 2), (QSet<int>{1001, 1003}));
        QCOMPARE(QSet<int>(byValidity.begin() + 2, byValidity.end()), (QSet<int>{1002, 1004}));
        QVERIFY(buttonsMatch(f, true));

        // The statement is not run again: a receipt added meanwhile is not there.
        addReceipt(p, {.number = 1005, .customer = 1, .date = QDate(2009, 1, 1), .poso = 5});
        child<QRadioButton>(&f, "RadioButton1")->click();
        QCOMPARE(numbers(f), (QList<int>{1002, 1003, 1001, 1004}));
        QVERIFY(buttonsMatch(f, false));
    }

    void cancellingUndoesTheTakingEverywhereAndKeepsTheReceipt()
    {
        // Issued through the issue window, as the user would.
        TempPractice p;
        const qlonglong c = addCustomer(p, QStringLiteral("Γιώργος"), QStringLiteral("Παπαδόπουλος"));
        setLast(p, 1001);
        p.copyReportFiles();
        PrintSink sink;
        for (const char *amount : {"50", "12,5"}) {
            TForm56 issue;
            issue.CustomerId = QString::number(c);
            issue.CustomerFirstName = QStringLiteral("Γιώργος");
            issue.CustomerSurname = QStringLiteral("Παπαδόπουλος");
            issue.show();
            child<QLineEdit>(&issue, "Edit3")->setText(QLatin1String(amount));
            child<QLineEdit>(&issue, "Edit2")->setText(QStringLiteral("Σφράγισμα"));
            child<QPushButton>(&issue, "Button1")->click();
        }
        QCOMPARE(last(p), 1003);
        QVERIFY(Messages::takeShown().isEmpty());

        TForm71 f;
        f.show();
        clickRow(f, rowOf(f, 1001));
        QVERIFY(buttonsMatch(f, true));
        Messages::setNextAnswer(true);
        cancelButton(&f)->click();

        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].kind == Messages::Kind::Confirm);
        QCOMPARE(shown[0].text, QStringLiteral("Να ακυρώσω την απόδειξη με αριθμό\n1001;"));

        QCOMPARE(p.conn().scalarNative(QStringLiteral("SELECT COUNT(*) FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=1001")).toInt(), 0);
        QCOMPARE(p.conn().scalarNative(QStringLiteral("SELECT COUNT(*) FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=1002")).toInt(), 1);
        QCOMPARE(p.conn().scalarNative(QStringLiteral("SELECT EGKYRH FROM APODEIKSEIS WHERE AR_APODEIKSHS=1001")).toInt(), 0);
        QCOMPARE(p.conn().scalarNative(QStringLiteral("SELECT EGKYRH FROM APODEIKSEIS WHERE AR_APODEIKSHS=1002")).toInt(), -1);
        QCOMPARE(p.count(QStringLiteral("APODEIKSEIS")), 2);
        QCOMPARE(last(p), 1003);

        // The list was read again and shows the receipt as not valid.
        const int row = rowOf(f, 1001);
        QCOMPARE(f.ADOQuery1->displayText(row, f.ADOQuery1->fieldIndex(QStringLiteral("EGKYRH"))), QStringLiteral("False"));
        QCOMPARE(child<QLabel>(&f, "Label1")->text(), QStringLiteral("Βρέθηκαν 2 αποδείξεις"));
        QCOMPARE(f.ADOQuery1->recNo(), 0);
        QVERIFY(buttonsMatch(f, f.ADOQuery1->fieldText(QStringLiteral("EGKYRH")) == QLatin1String("True")));

        // Gone from the customer's takings ...
        TForm57 takings;
        takings.CustomerId = QString::number(c);
        takings.show();
        QCOMPARE(takings.ADOQuery1->recordCount(), 1);
        QCOMPARE(takings.ADOQuery1->fieldText(QStringLiteral("AR_APODEIKSHS")), QStringLiteral("1002"));
        QCOMPARE(child<QLabel>(&takings, "DBText1")->text(), QStringLiteral("1"));
        QCOMPARE(child<QLabel>(&takings, "DBText2")->text(), Regional::formatAmount(12.5));

        // ... and from the takings of the day.
        TForm59 between;
        const QString today = Regional::formatDate(QDate::currentDate());
        child<QLineEdit>(&between, "Edit1")->setText(today);
        child<QLineEdit>(&between, "Edit2")->setText(today);
        child<QPushButton>(&between, "Button1")->click();
        QCOMPARE(child<QLabel>(&between, "DBText1")->text(), Regional::formatAmount(12.5));
    }

    void afterACancellationTheListComesBackInDateOrder()
    {
        TempPractice p;
        fourReceipts(p);
        TForm71 f;
        f.show();
        child<QRadioButton>(&f, "RadioButton2")->click();
        clickRow(f, rowOf(f, 1003));
        cancelButton(&f)->click();
        QCOMPARE(numbers(f), (QList<int>{1002, 1003, 1001, 1004}));
        QCOMPARE(f.ADOQuery1->recNo(), 0);
        QVERIFY(child<QRadioButton>(&f, "RadioButton2")->isChecked());
        QVERIFY(buttonsMatch(f, false));
        clickRow(f, rowOf(f, 1003));
        QVERIFY(buttonsMatch(f, false));
        QCOMPARE(p.count(QStringLiteral("EISPRAKSH_PELATH")), 1);
    }

    void answeringNoChangesNothing()
    {
        TempPractice p;
        fourReceipts(p);
        TForm71 f;
        f.show();
        clickRow(f, rowOf(f, 1001));
        Messages::setNextAnswer(false);
        cancelButton(&f)->click();
        QCOMPARE(Messages::takeShown().size(), 1);
        QCOMPARE(p.count(QStringLiteral("EISPRAKSH_PELATH")), 2);
        QCOMPARE(p.conn().scalarNative(QStringLiteral("SELECT EGKYRH FROM APODEIKSEIS WHERE AR_APODEIKSHS=1001")).toInt(), -1);
        QCOMPARE(f.ADOQuery1->fieldText(QStringLiteral("AR_APODEIKSHS")), QStringLiteral("1001"));
        QVERIFY(buttonsMatch(f, true));
    }

    void aCancellationThatFailsHalfWayChangesNothing()
    {
        TempPractice p;
        fourReceipts(p);
        p.refuseUpdates(QStringLiteral("APODEIKSEIS"), QStringLiteral("keep"));
        TForm71 f;
        f.show();
        clickRow(f, rowOf(f, 1003));
        cancelButton(&f)->click();
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[1].kind == Messages::Kind::Error);
        QVERIFY(f.isVisible());
        QCOMPARE(p.conn().scalarNative(QStringLiteral("SELECT COUNT(*) FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=1003")).toInt(), 1);
        QCOMPARE(p.conn().scalarNative(QStringLiteral("SELECT EGKYRH FROM APODEIKSEIS WHERE AR_APODEIKSHS=1003")).toInt(), -1);
    }

    void aValidReceiptIsPrintedAgainWithoutAQuestion()
    {
        TempPractice p;
        fourReceipts(p);
        p.copyReportFiles();
        PrintSink sink;
        TForm71 f;
        f.show();
        clickRow(f, rowOf(f, 1003));
        printButton(&f)->click();
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(sink.pages.size(), 1);
        QVERIFY(sink.pages[0].contains(QStringLiteral("1003")));
        QVERIFY(!sink.pages[0].contains(QStringLiteral("1001")));
    }
};

MOLARIX_TEST(IssuedReceiptsTest)
#include "test_issued.moc"
