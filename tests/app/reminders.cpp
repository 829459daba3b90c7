#include "gui/messages.h"
#include "data/db/dataset.h"
#include "gui/dbcontrols.h"
#include "gui/dbgrid.h"
#include "gui/dbnavigator.h"
#include "tests/app/typing.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tools/reminders.h"
#include "tools/remindersviewer.h"
#include <QPushButton>
#include <QTest>

// The reminders editor and the viewer of today's reminder.
class RemindersTest : public QObject {
    Q_OBJECT

    static void add(TempPractice &p, const QString &isoDate, const QString &text)
    {
        p.conn().executeNative(QStringLiteral("INSERT INTO YPENTHIMISEIS (HMEROMHNIA, PERIGRAFH) VALUES (?, ?)"),
                               {isoDate, text});
    }
    static QStringList gridDates(TForm11 &f)
    {
        auto *grid = child<DbGrid>(&f, "DBGrid1");
        QStringList out;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            out << grid->model()->index(r, 0).data().toString();
        return out;
    }

private slots:
    void editorListsNewestFirst()
    {
        TempPractice p;
        add(p, QStringLiteral("2008-01-05"), QStringLiteral("δεύτερη"));
        add(p, QStringLiteral("2007-12-28"), QStringLiteral("πρώτη"));
        add(p, QStringLiteral("2008-03-01"), QStringLiteral("τρίτη\nμε δύο γραμμές"));
        TForm11 f;
        f.show();
        QCOMPARE(f.windowTitle(), QStringLiteral("Υπενθυμίσεις"));
        QCOMPARE(gridDates(f), (QStringList{"1/3/2008", "5/1/2008", "28/12/2007"}));
        auto *grid = child<DbGrid>(&f, "DBGrid1");
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Ημερομηνία"));
        // The edits follow the grid's row.
        QCOMPARE(child<DbEdit>(&f, "DBEdit1")->text(), QStringLiteral("1/3/2008"));
        QCOMPARE(child<DbMemo>(&f, "DBMemo1")->toPlainText(), QStringLiteral("τρίτη\nμε δύο γραμμές"));
        f.ADOTable1->next();
        QCOMPARE(child<DbMemo>(&f, "DBMemo1")->toPlainText(), QStringLiteral("δεύτερη"));
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void addAndDeleteAReminder()
    {
        TempPractice p;
        add(p, QStringLiteral("2008-01-05"), QStringLiteral("παλιά"));
        TForm11 f;
        f.show();
        auto *nav = child<DbNavigator>(&f, "DBNavigator1");
        nav->clickButton(DbNavigator::Insert);
        auto *date = child<DbEdit>(&f, "DBEdit1");
        auto *memo = child<DbMemo>(&f, "DBMemo1");
        typeInto(date, QStringLiteral("15/4/2008"));
        memo->setFocus();
        typeInto(memo, QStringLiteral("Ραντεβού με τον προμηθευτή"));
        nav->clickButton(DbNavigator::Post);
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(p.count(QStringLiteral("YPENTHIMISEIS")), 2);
        QCOMPARE(p.scalar(QStringLiteral("SELECT PERIGRAFH FROM YPENTHIMISEIS WHERE HMEROMHNIA=#4/15/2008#")).toString(),
                 QStringLiteral("Ραντεβού με τον προμηθευτή"));

        // Delete asks first; "Cancel" keeps the row.
        f.ADOTable1->first();
        Messages::setNextAnswer(false);
        nav->clickButton(DbNavigator::Delete);
        QCOMPARE(p.count(QStringLiteral("YPENTHIMISEIS")), 2);
        Messages::setNextAnswer(true);
        nav->clickButton(DbNavigator::Delete);
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, Messages::Kind::ConfirmDelete);
        QCOMPARE(p.count(QStringLiteral("YPENTHIMISEIS")), 1);
    }

    void editorClosesItsConnection()
    {
        TempPractice p;
        TForm11 f;
        f.show();
        QVERIFY(f.ADOConnection1.isOpen());
        child<QPushButton>(&f, "Button1")->click();
        QVERIFY(!f.isVisible());
        QVERIFY(!f.ADOConnection1.isOpen());
    }

    void viewerShowsTheFirstRowReadOnly()
    {
        TempPractice p;
        add(p, QStringLiteral("2008-03-04"), QStringLiteral("χθες"));
        add(p, QStringLiteral("2008-03-05 18:45:00"), QStringLiteral("Πληρωμή ενοικίου\nκαι ΔΕΗ"));
        add(p, QStringLiteral("2008-03-06"), QStringLiteral("αύριο"));
        TForm12 v;
        v.ADOQuery1->setSql(QStringLiteral(
            "SELECT * from YPENTHIMISEIS WHERE DAY(HMEROMHNIA)=5 AND MONTH(HMEROMHNIA)=3 AND YEAR(HMEROMHNIA)=2008"));
        v.show();
        QVERIFY(v.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(v.ADOQuery1->recordCount(), 1);
        auto *memo = child<DbMemo>(&v, "DBMemo1");
        QCOMPARE(memo->toPlainText(), QStringLiteral("Πληρωμή ενοικίου\nκαι ΔΕΗ"));
        QVERIFY(memo->isReadOnly());
        typeInto(memo, QStringLiteral("x"));
        QCOMPARE(memo->toPlainText(), QStringLiteral("Πληρωμή ενοικίου\nκαι ΔΕΗ"));
        QTest::keyClick(&v, Qt::Key_Escape);
        QVERIFY(!v.isVisible());
        QVERIFY(!v.ADOConnection1.isOpen());
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void viewerReportsAFailingStatement()
    {
        TempPractice p;
        TForm12 v;
        v.ADOQuery1->setSql(QStringLiteral("SELECT * from NO_SUCH_TABLE"));
        v.show();
        QVERIFY(v.isVisible());
        QCOMPARE(Messages::takeShown().value(0).kind, Messages::Kind::Error);
    }
};

MOLARIX_TEST(RemindersTest)
#include "reminders.moc"
