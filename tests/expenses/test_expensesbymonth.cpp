#include "expenses/expensesbymonth.h"
#include "expensesfixture.h"
#include "tests/common/testmain.h"

#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/dataset.h"
#include "gui/dbgrid.h"
#include "data/db/regional.h"
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class ExpensesByMonthTest : public QObject {
    Q_OBJECT

    static void typeYears(TForm15 &f, const QString &from, const QString &to)
    {
        child<QLineEdit>(&f, "Edit1")->setText(from);
        child<QLineEdit>(&f, "Edit2")->setText(to);
    }
    static void search(TForm15 &f, const QString &from, const QString &to)
    {
        typeYears(f, from, to);
        child<QPushButton>(&f, "Button1")->click();
    }
    static QString cell(TForm15 &f, int row, const char *field)
    {
        return f.ADOQuery1->displayText(row, f.ADOQuery1->fieldIndex(QLatin1String(field)));
    }
    static QString total(TForm15 &f, const char *label) { return child<QLabel>(&f, label)->text(); }
    static bool printEnabled(TForm15 &f) { return child<QPushButton>(&f, "Button3")->isEnabled(); }

    static void fillTwoYears(TempPractice &p)
    {
        addExpense(p, QDate(2007, 12, 31), 500, 100, QStringLiteral("Πριν"));
        addExpense(p, QDate(2009, 1, 20), 40, 9.6, QStringLiteral("Ιανουάριος"));
        addExpense(p, QDate(2008, 3, 1), 100.5, 24.12, QStringLiteral("Μάρτιος α"));
        addExpense(p, QDate(2008, 3, 31), 10.25, 2.46, QStringLiteral("Μάρτιος β"));
        addExpense(p, QDate(2010, 1, 1), 700, 100, QStringLiteral("Μετά"));
    }

private slots:
    void monthsOfTwoYearsInOrderWithTotals()
    {
        TempPractice p;
        fillTwoYears(p);
        TForm15 f;
        f.show();
        search(f, QStringLiteral("2008"), QStringLiteral("2009"));
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(f.ADOQuery1->recordCount(), 2);
        QCOMPARE(cell(f, 0, "MONTH"), QStringLiteral("3"));
        QCOMPARE(cell(f, 0, "YEAR"), QStringLiteral("2008"));
        QCOMPARE(cell(f, 0, "AKSIA"), Regional::formatAmount(100.5 + 10.25));
        QCOMPARE(cell(f, 0, "VAT"), Regional::formatAmount(24.12 + 2.46));
        QCOMPARE(cell(f, 0, "SYNOLO"), Regional::formatAmount(100.5 + 10.25 + 24.12 + 2.46));
        QCOMPARE(cell(f, 1, "MONTH"), QStringLiteral("1"));
        QCOMPARE(cell(f, 1, "YEAR"), QStringLiteral("2009"));

        QCOMPARE(total(f, "DBText1"), Regional::formatAmount(100.5 + 10.25 + 40));
        QCOMPARE(total(f, "DBText2"), Regional::formatAmount(24.12 + 2.46 + 9.6));
        QCOMPARE(total(f, "DBText3"), Regional::formatAmount(100.5 + 10.25 + 40 + 24.12 + 2.46 + 9.6));
        QVERIFY(printEnabled(f));

        auto *model = child<DbGrid>(&f, "DBGrid1")->model();
        QCOMPARE(model->columnCount(), 5);
        QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Μήνας"));
        QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("2009"));

        // One year alone, with blanks round the years.
        search(f, QStringLiteral(" 2008 "), QStringLiteral("2008"));
        QCOMPARE(f.ADOQuery1->recordCount(), 1);
        QCOMPARE(total(f, "DBText1"), Regional::formatAmount(100.5 + 10.25));
        QCOMPARE(f.MonthSearchFromYear, QStringLiteral("2008"));
    }

    void yearsWithoutExpensesGiveEmptyTotals()
    {
        TempPractice p;
        fillTwoYears(p);
        TForm15 f;
        search(f, QStringLiteral("2001"), QStringLiteral("2003"));
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(f.ADOQuery1->recordCount(), 0);
        for (const char *t : {"DBText1", "DBText2", "DBText3"})
            QCOMPARE(total(f, t), QString());
        QVERIFY(printEnabled(f));
    }

    void onlyWholeYearsReachTheDatabase()
    {
        TempPractice p;
        fillTwoYears(p);
        TForm15 f;
        search(f, QStringLiteral("2008"), QStringLiteral("2009"));
        QVERIFY(printEnabled(f));
        QCOMPARE(f.ADOQuery1->recordCount(), 2);
        const QString goodSql = f.ADOQuery1->sql();

        // Texts that pass the character check but are no years; the last one
        // would widen the range to every expense if it reached the statement.
        const QList<std::pair<QString, QString>> refused{
            {QString(), QStringLiteral("2009")},
            {QStringLiteral("2008"), QString()},
            {QStringLiteral("20O8"), QStringLiteral("2009")},
            {QStringLiteral("2008"), QStringLiteral("2009 1")},
            {QStringLiteral("٢٠٠٨"), QStringLiteral("2009")},
            {QStringLiteral("2008"), QStringLiteral("2009 OR 1 IS NOT NULL")},
        };
        for (const auto &[from, to] : refused) {
            search(f, from, to);
            const auto shown = Messages::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].kind, Messages::Kind::Plain);
            QCOMPARE(shown[0].text, QStringLiteral("Λανθασμένα κριτήρια."));
            QVERIFY(!printEnabled(f));
            QVERIFY(!f.ADOQuery1->isOpen());
            QVERIFY(f.ADOQuery1->sql().isEmpty() || f.ADOQuery1->sql() == goodSql);
        }

        // A text that reads another table is refused even when the search
        // runs without its button.
        const QString reading = QStringLiteral("2009 UNION SELECT * FROM SECURITY a JOIN SECURITY b JOIN SECURITY c");
        typeYears(f, QStringLiteral("2008"), reading);
        QVERIFY(!child<QPushButton>(&f, "Button1")->isEnabled());
        f.Button1Click();
        QCOMPARE(Messages::takeShown().size(), 1);
        QVERIFY(!printEnabled(f));
        for (DataSet *q : {f.ADOQuery1, f.ADOQuery2, f.ADOQuery3, f.ADOQuery4}) {
            QVERIFY(!q->isOpen());
            QVERIFY(!q->sql().contains(QStringLiteral("SECURITY")));
        }
        // The years kept for printing are still those of the last good search.
        QCOMPARE(f.MonthSearchFromYear, QStringLiteral("2008"));
        QCOMPARE(f.MonthSearchToYear, QStringLiteral("2009"));

        // A point or a hyphen disables the search at once.
        typeYears(f, QStringLiteral("2008.5"), QStringLiteral("2009"));
        QVERIFY(!child<QPushButton>(&f, "Button1")->isEnabled());
        typeYears(f, QStringLiteral("2008"), QStringLiteral("-2009"));
        QVERIFY(!child<QPushButton>(&f, "Button1")->isEnabled());
    }

    void thePrintShowsTheLastSearchesMonths()
    {
        TempPractice p;
        p.copyReportFiles();
        fillTwoYears(p);
        TForm15 f;
        f.show();
        search(f, QStringLiteral("2008"), QStringLiteral("2009"));
        typeYears(f, QStringLiteral("2010"), QStringLiteral("2010"));

        PrintCatcher printed;
        child<QPushButton>(&f, "Button3")->click();
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(printed.pages.size(), 1);
        QCOMPARE(printed.files[0], QDir::toNativeSeparators(AppDirectory + QStringLiteral("/EKSODA2.RAV")));
        const QString text = printed.lastAsPdfText();
        QVERIFY2(text.contains(Regional::formatAmount(100.5 + 10.25 + 24.12 + 2.46)), qPrintable(text));
        QVERIFY(text.contains(Regional::formatAmount(100.5 + 10.25 + 40 + 24.12 + 2.46 + 9.6)));
        QVERIFY(!text.contains(Regional::formatAmount(800)));
        QVERIFY(text.contains(QStringLiteral("2008")));
        QVERIFY(text.contains(QStringLiteral("Σύνολα")));
        QVERIFY(!f.ADOQuery3->isOpen());
        QVERIFY(f.ADOQuery3->sql().isEmpty());
    }

    void closingEmptiesTheYearsAndDisablesThePrint()
    {
        TempPractice p;
        fillTwoYears(p);
        TForm15 f;
        f.show();
        search(f, QStringLiteral("2008"), QStringLiteral("2009"));
        child<QLineEdit>(&f, "Edit1")->setText(QStringLiteral("20.8"));
        child<QPushButton>(&f, "Button2")->click();
        QVERIFY(!f.isVisible());
        QCOMPARE(child<QLineEdit>(&f, "Edit1")->text(), QString());
        QCOMPARE(child<QLineEdit>(&f, "Edit2")->text(), QString());
        QVERIFY(child<QPushButton>(&f, "Button1")->isEnabled());
        QVERIFY(!printEnabled(f));
    }
};

MOLARIX_TEST(ExpensesByMonthTest)
#include "test_expensesbymonth.moc"
