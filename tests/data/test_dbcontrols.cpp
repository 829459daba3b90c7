#include "gui/messages.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "gui/dbcontrols.h"
#include "gui/dbgrid.h"
#include "gui/dbnavigator.h"
#include "gui/guard.h"
#include "reports/reportengine.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QAbstractItemModelTester>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

// A small expenses table, opened on the practice's connection.
struct Expenses {
    TempPractice p;
    DataSet ds{&p.conn()};
    explicit Expenses(int rows = 3)
    {
        for (int i = 1; i <= rows; ++i)
            p.exec(QStringLiteral("INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT,PERIGRAFH) VALUES(#3/%1/2008#,%1.5,0,'Έξοδο %1')").arg(i));
        ds.setTableName("EKSODA");
        ds.open();
    }
};

bool enabled(DbNavigator &nav, DbNavigator::Button b) { return nav.button(b)->isEnabled(); }

// The enabled navigator buttons as a compact word, First..Refresh.
QString enabledSet(DbNavigator &nav)
{
    static const char *names[] = {"F", "P", "N", "L", "I", "D", "E", "S", "C", "R"};
    QString s;
    for (int i = 0; i < 10; ++i)
        if (enabled(nav, DbNavigator::Button(i)))
            s += QLatin1String(names[i]);
    return s;
}

// Types text as the keyboard would, Greek letters included.
void typeText(QWidget *w, const QString &text)
{
    for (QChar c : text) {
        const int key = c == u'\n' ? int(Qt::Key_Return) : int(Qt::Key_unknown);
        const QString t = c == u'\n' ? QString() : QString(c);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, t);
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, t);
        QApplication::sendEvent(w, &release);
    }
}

void typeInto(QWidget *w, const QString &text)
{
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    typeText(w, text);
}

}   // namespace

class DbControlsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Messages::takeShown(); }

    void gridShowsTextsAndFollowsTheCurrentRow()
    {
        Expenses e;
        DbGrid grid;
        grid.addColumn("PERIGRAFH", "Περιγραφή");
        grid.addColumn("HMEROMHNIA", "Ημερομηνία", Qt::AlignCenter);
        grid.addColumn("POSO", "Ποσό (EUR)", Qt::AlignRight | Qt::AlignVCenter);
        grid.setDataSet(&e.ds);
        grid.resize(500, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));

        DbGridModel *m = grid.gridModel();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(m->columnCount(), 3);
        QCOMPARE(m->columnField(2), QStringLiteral("POSO"));
        QCOMPARE(m->index(1, 1).data().toString(), QStringLiteral("2/3/2008"));
        QCOMPARE(m->index(1, 2).data().toString(), QStringLiteral("2,5"));
        QCOMPARE(m->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Ημερομηνία"));
        QVERIFY(m->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
        QCOMPARE(m->headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::Alignment(Qt::AlignCenter));
        QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(grid.currentIndex().row(), 0);

        // Data set to grid.
        e.ds.moveTo(2);
        QCOMPARE(grid.currentIndex().row(), 2);
        QCOMPARE(grid.selectionModel()->selectedRows().size(), 1);
        QCOMPARE(grid.selectionModel()->selectedRows().value(0).row(), 2);

        // Grid to data set: keyboard and mouse.
        QTest::keyClick(&grid, Qt::Key_Up);
        QCOMPARE(e.ds.recNo(), 1);
        QSignalSpy clicks(&grid, &DbGrid::cellClicked);
        QSignalSpy keys(&grid, &DbGrid::keyReleased);
        const QRect cell = grid.visualRect(m->index(0, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(e.ds.recNo(), 0);
        QCOMPARE(e.ds.fieldText("PERIGRAFH"), QStringLiteral("Έξοδο 1"));
        QCOMPARE(clicks.count(), 1);
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(keys.count(), 1);
        QCOMPARE(keys.at(0).at(0).toInt(), int(Qt::Key_Down));

        // A value set in the data set shows at once; a new row is a grid row.
        e.ds.setFieldText("POSO", "99");
        QCOMPARE(m->index(1, 2).data().toString(), QStringLiteral("99"));
        e.ds.cancel();
        QCOMPARE(m->index(1, 2).data().toString(), QStringLiteral("2,5"));
        e.ds.append();
        QCOMPARE(m->rowCount(), 4);
        QCOMPARE(grid.currentIndex().row(), 3);
        e.ds.cancel();
        QCOMPARE(m->rowCount(), 3);

        // Sorting reorders the rows and selects the first.
        e.ds.moveTo(2);
        e.ds.setSort("POSO DESC");
        QCOMPARE(m->index(0, 0).data().toString(), QStringLiteral("Έξοδο 3"));
        QCOMPARE(grid.currentIndex().row(), 0);
    }

    // Every change a window makes through its data set keeps the grid model
    // consistent with what views and proxies expect of it.
    void gridModelKeepsTheModelContract()
    {
        Expenses e;
        DbGrid grid;
        QAbstractItemModelTester tester(grid.gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        grid.addColumn("PERIGRAFH", "Περιγραφή");
        grid.addColumn("POSO", "Ποσό (EUR)", Qt::AlignRight | Qt::AlignVCenter);
        grid.setDataSet(&e.ds);
        grid.show();

        e.ds.moveTo(2);
        e.ds.setFieldText("POSO", "7");
        e.ds.post();
        e.ds.append();
        e.ds.setFieldText("PERIGRAFH", "Νέο");
        e.ds.setFieldText("HMEROMHNIA", "4/3/2008");
        e.ds.setFieldText("POSO", "1");
        e.ds.post();
        QCOMPARE(grid.gridModel()->rowCount(), 4);
        e.ds.append();
        e.ds.cancel();
        e.ds.moveTo(0);
        e.ds.deleteRecord();
        QCOMPARE(grid.gridModel()->rowCount(), 3);
        e.ds.setSort("POSO DESC");
        e.ds.close();
        QCOMPARE(grid.gridModel()->rowCount(), 0);
        e.ds.open();
        grid.gridModel()->clearColumns();
        QCOMPARE(grid.gridModel()->columnCount(), 4);
        grid.setDataSet(nullptr);
        QCOMPARE(grid.gridModel()->rowCount(), 0);
    }

    // Database and report failures, and any other, reach the general error
    // report with their own text.
    void guardReportsFailuresOfEveryLayer()
    {
        runGuarded([] { throw DbError(QStringLiteral("Ο πίνακας λείπει")); });
        runGuarded([] { throw ReportError(QStringLiteral("Το αρχείο \"Ε.RAV\" λείπει")); });
        guarded([] { throw std::runtime_error("disk full"); })();
        bool ran = false;
        runGuarded([&ran] { ran = true; });
        QVERIFY(ran);
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 3);
        for (const auto &m : shown)
            QCOMPARE(m.kind, Messages::Kind::Error);
        QCOMPARE(shown[0].text, QStringLiteral("Ο πίνακας λείπει."));
        QCOMPARE(shown[1].text, QStringLiteral("Το αρχείο \"Ε.RAV\" λείπει."));
        QCOMPARE(shown[2].text, QStringLiteral("disk full."));
    }

    void gridWithoutColumnsShowsEveryField()
    {
        Expenses e(1);
        DbGrid grid;
        grid.setDataSet(&e.ds);
        QCOMPARE(grid.gridModel()->columnCount(), 4);
        QCOMPARE(grid.gridModel()->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("PERIGRAFH"));
        e.ds.close();
        QCOMPARE(grid.gridModel()->rowCount(), 0);
    }

    void ctrlDeleteAsksFirst()
    {
        Expenses e;
        DbGrid grid;
        grid.setDataSet(&e.ds);
        grid.show();
        QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(e.p.count("EKSODA"), 3);
        QVERIFY(Messages::takeShown().isEmpty());

        grid.setCtrlDeleteEnabled(true);
        Messages::setNextAnswer(false);
        QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::ConfirmDelete);
        QCOMPARE(shown[0].text, QStringLiteral("Delete record?"));
        QCOMPARE(e.p.count("EKSODA"), 3);

        Messages::setNextAnswer(true);
        QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(e.p.count("EKSODA"), 2);
        QCOMPARE(grid.gridModel()->rowCount(), 2);
        QCOMPARE(grid.currentIndex().row(), 0);
    }

    void editTypingEditsAndPosts()
    {
        Expenses e;
        QWidget form;
        auto *amount = new DbEdit(&form);
        auto *date = new DbEdit(&form);
        auto *text = new DbText(&form);
        auto *layout = new QVBoxLayout(&form);
        layout->addWidget(amount);
        layout->addWidget(date);
        layout->addWidget(text);
        amount->setDataSource(&e.ds, "POSO");
        date->setDataSource(&e.ds, "HMEROMHNIA");
        text->setDataSource(&e.ds, "PERIGRAFH");
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(amount->text(), QStringLiteral("1,5"));
        QCOMPARE(date->text(), QStringLiteral("1/3/2008"));
        QCOMPARE(text->text(), QStringLiteral("Έξοδο 1"));

        // Moving reloads the controls without starting an edit.
        e.ds.next();
        QCOMPARE(amount->text(), QStringLiteral("2,5"));
        QCOMPARE(text->text(), QStringLiteral("Έξοδο 2"));
        QCOMPARE(e.ds.state(), DataSetState::Browse);
        e.ds.prior();

        typeInto(amount, "7,25");
        QCOMPARE(e.ds.state(), DataSetState::Edit);
        QCOMPARE(amount->text(), QStringLiteral("7,25"));
        e.ds.post();
        QCOMPARE(e.p.scalar("SELECT POSO FROM EKSODA WHERE PERIGRAFH='Έξοδο 1'").toDouble(), 7.25);
        QCOMPARE(e.ds.state(), DataSetState::Browse);

        // Leaving the edit hands the text to the row, still unposted.
        typeInto(date, "9/3/2008");
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(date, &out);
        QCOMPARE(e.ds.fieldValue("HMEROMHNIA"), QVariant(QDate(2008, 3, 9)));
        QCOMPARE(e.p.scalar("SELECT HMEROMHNIA FROM EKSODA WHERE PERIGRAFH='Έξοδο 1'").toString(), QStringLiteral("2008-03-01"));
        // Moving stores it.
        e.ds.next();
        QCOMPARE(e.p.scalar("SELECT HMEROMHNIA FROM EKSODA WHERE PERIGRAFH='Έξοδο 1'").toString(), QStringLiteral("2008-03-09"));
        QCOMPARE(date->text(), QStringLiteral("2/3/2008"));

        // A text that is no date stops the post; the row and the text stay.
        typeInto(date, "31/02/2008");
        try {
            e.ds.post();
            QFAIL("post accepted an impossible date");
        } catch (const DbError &err) {
            QVERIFY(err.message().contains("HMEROMHNIA"));
        }
        QCOMPARE(e.ds.state(), DataSetState::Edit);
        QCOMPARE(date->text(), QStringLiteral("31/02/2008"));
        // Cancel shows the stored value again.
        e.ds.cancel();
        QCOMPARE(date->text(), QStringLiteral("2/3/2008"));
        QCOMPARE(e.ds.state(), DataSetState::Browse);
    }

    void typingIntoAnEmptyTableStartsANewRow()
    {
        TempPractice p;
        DataSet ds(&p.conn());
        ds.setTableName("SHMEIWSEIS");
        ds.open();
        QWidget form;
        auto *title = new DbEdit(&form);
        auto *memo = new DbMemo(&form);
        auto *id = new DbText(&form);
        auto *layout = new QVBoxLayout(&form);
        layout->addWidget(title);
        layout->addWidget(memo);
        layout->addWidget(id);
        title->setDataSource(&ds, "TITLOS");
        memo->setDataSource(&ds, "PERIGRAFH");
        id->setDataSource(&ds, "ID");
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        typeText(title, "Τηλέφωνα");
        QCOMPARE(ds.state(), DataSetState::Insert);
        QCOMPARE(title->text(), QStringLiteral("Τηλέφωνα"));
        memo->setFocus();
        typeText(memo, "α\nβ");
        ds.post();
        QCOMPARE(p.count("SHMEIWSEIS"), 1);
        QCOMPARE(p.scalar("SELECT TITLOS FROM SHMEIWSEIS").toString(), QStringLiteral("Τηλέφωνα"));
        QCOMPARE(p.scalar("SELECT PERIGRAFH FROM SHMEIWSEIS").toString(), QStringLiteral("α\nβ"));
        QCOMPARE(id->text(), QStringLiteral("1"));
        QCOMPARE(memo->toPlainText(), QStringLiteral("α\nβ"));
    }

    void typingIntoAReadOnlyResultIsRefused()
    {
        Expenses e(1);
        DataSet totals(&e.p.conn());
        totals.setSql("SELECT SUM(POSO) AS S FROM EKSODA");
        totals.open();
        DbEdit edit;
        edit.setDataSource(&totals, "S");
        edit.show();
        QTest::keyClicks(&edit, "5");
        QCOMPARE(totals.state(), DataSetState::Browse);
        QCOMPARE(edit.text(), QStringLiteral("1,5"));
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
    }

    void comboBoxSetsTheChosenItem()
    {
        TempPractice p;
        p.exec("INSERT INTO STOIXEIA_PELATH(EPWNYMO,FYLO) VALUES('Α','ΘΗΛΥ')");
        p.exec("INSERT INTO STOIXEIA_PELATH(EPWNYMO,FYLO) VALUES('Β',NULL)");
        DataSet ds(&p.conn());
        ds.setTableName("STOIXEIA_PELATH");
        ds.open();
        DbComboBox sex;
        sex.addItems({"ΑΡΡΕΝ", "ΘΗΛΥ"});
        sex.setDataSource(&ds, "FYLO");
        QVERIFY(!sex.isEditable());
        QCOMPARE(sex.currentText(), QStringLiteral("ΘΗΛΥ"));
        ds.next();
        QCOMPARE(sex.currentIndex(), -1);
        QCOMPARE(ds.state(), DataSetState::Browse);
        sex.activated(0);   // what choosing an item emits
        QCOMPARE(ds.state(), DataSetState::Edit);
        ds.post();
        QCOMPARE(p.scalar("SELECT FYLO FROM STOIXEIA_PELATH WHERE EPWNYMO='Β'").toString(), QStringLiteral("ΑΡΡΕΝ"));
    }

    void navigatorButtonsAndEnabling()
    {
        Expenses e;
        DbNavigator nav;
        const char *names[] = {"nbFirst", "nbPrior", "nbNext", "nbLast", "nbInsert",
                               "nbDelete", "nbEdit", "nbPost", "nbCancel", "nbRefresh"};
        const char *hints[] = {"First record", "Prior record", "Next record", "Last record", "Insert record",
                               "Delete record", "Edit record", "Post edit", "Cancel edit", "Refresh data"};
        for (int i = 0; i < 10; ++i) {
            auto *b = nav.findChild<QToolButton *>(names[i]);
            QVERIFY2(b, names[i]);
            QCOMPARE(b, nav.button(DbNavigator::Button(i)));
            QCOMPARE(b->toolTip(), QString::fromLatin1(hints[i]));
            QVERIFY(!b->icon().isNull());
        }
        QCOMPARE(enabledSet(nav), QString());   // no data set

        nav.setDataSet(&e.ds);
        QCOMPARE(enabledSet(nav), QStringLiteral("NLIDER"));
        e.ds.next();
        QCOMPARE(enabledSet(nav), QStringLiteral("FPNLIDER"));
        nav.clickButton(DbNavigator::Last);
        QCOMPARE(e.ds.recNo(), 2);
        QCOMPARE(enabledSet(nav), QStringLiteral("FPIDER"));
        e.ds.setFieldText("PERIGRAFH", "x");
        // Insert stays enabled while editing: it posts the row, then starts a new one.
        QCOMPARE(enabledSet(nav), QStringLiteral("FPIDSCR"));
        nav.clickButton(DbNavigator::Cancel);
        QCOMPARE(e.ds.state(), DataSetState::Browse);
        nav.clickButton(DbNavigator::Insert);
        QCOMPARE(e.ds.state(), DataSetState::Insert);
        QCOMPARE(enabledSet(nav), QStringLiteral("FPNLIDSCR"));
        nav.clickButton(DbNavigator::Cancel);
        nav.clickButton(DbNavigator::First);
        QCOMPARE(e.ds.recNo(), 0);

        // Disabled buttons do nothing, also when clicked from code.
        QSignalSpy clicked(&nav, &DbNavigator::clicked);
        nav.clickButton(DbNavigator::Prior);
        nav.clickButton(DbNavigator::Post);
        QCOMPARE(clicked.count(), 0);
        nav.clickButton(DbNavigator::Next);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).value<DbNavigator::Button>(), DbNavigator::Next);

        DataSet empty(&e.p.conn());
        empty.setTableName("SHMEIWSEIS");
        empty.open();
        nav.setDataSet(&empty);
        QCOMPARE(enabledSet(nav), QStringLiteral("IER"));
        DataSet totals(&e.p.conn());
        totals.setSql("SELECT COUNT(*) AS N FROM EKSODA");
        totals.open();
        nav.setDataSet(&totals);
        QCOMPARE(enabledSet(nav), QStringLiteral("R"));
        totals.close();
        QCOMPARE(enabledSet(nav), QString());

        // Only the buttons asked for take part.
        nav.setVisibleButtons({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next, DbNavigator::Last,
                               DbNavigator::Delete});
        QVERIFY(nav.button(DbNavigator::Delete)->isVisibleTo(&nav));
        QVERIFY(!nav.button(DbNavigator::Insert)->isVisibleTo(&nav));
        QVERIFY(!nav.button(DbNavigator::Refresh)->isVisibleTo(&nav));
    }

    void navigatorDeleteAsksAndReportsClicks()
    {
        Expenses e;
        DbNavigator nav;
        nav.setDataSet(&e.ds);
        QSignalSpy clicked(&nav, &DbNavigator::clicked);

        Messages::setNextAnswer(false);
        nav.clickButton(DbNavigator::Delete);
        QCOMPARE(e.p.count("EKSODA"), 3);
        QCOMPARE(clicked.count(), 1);
        const auto asked = Messages::takeShown();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].kind, Messages::Kind::ConfirmDelete);

        Messages::setNextAnswer(true);
        nav.button(DbNavigator::Delete)->click();
        QCOMPARE(e.p.count("EKSODA"), 2);
        QCOMPARE(clicked.count(), 2);
        QCOMPARE(e.ds.fieldText("PERIGRAFH"), QStringLiteral("Έξοδο 2"));
        Messages::takeShown();

        // A post the database refuses: from code the error propagates, from
        // a real click it is reported; no click signal either way.
        DataSet receipts(&e.p.conn());
        receipts.setTableName("APODEIKSEIS");
        receipts.open();
        nav.setDataSet(&receipts);
        clicked.clear();
        nav.clickButton(DbNavigator::Insert);
        receipts.setFieldText("POSO", "5");
        QVERIFY_THROWS_EXCEPTION(DbError, nav.clickButton(DbNavigator::Post));
        QCOMPARE(clicked.count(), 1);   // the insert only
        nav.button(DbNavigator::Post)->click();
        QCOMPARE(clicked.count(), 1);
        const auto errors = Messages::takeShown();
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors[0].kind, Messages::Kind::Error);
        QVERIFY(errors[0].text.contains("AR_APODEIKSHS"));
        QCOMPARE(receipts.state(), DataSetState::Insert);
    }
};

MOLARIX_TEST(DbControlsTest)
#include "test_dbcontrols.moc"
