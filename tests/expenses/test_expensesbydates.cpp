#include "expenses/expensesbydates.h"
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

class ExpensesByDatesTest : public QObject {
    Q_OBJECT

    static void search(TForm14 &f, const QString &from, const QString &to)
    {
        child<QLineEdit>(&f, "Edit1")->setText(from);
        child<QLineEdit>(&f, "Edit2")->setText(to);
        child<QPushButton>(&f, "Button1")->click();
    }
    static QString cell(TForm14 &f, int row, const char *field)
    {
        return f.ADOQuery1->displayText(row, f.ADOQuery1->fieldIndex(QLatin1String(field)));
    }
    static QString total(TForm14 &f, const char *label) { return child<QLabel>(&f, label)->text(); }
    static bool printEnabled(TForm14 &f) { return child<QPushButton>(&f, "Button3")->isEnabled(); }

private slots:
    void aMonthIsListedOldestFirstWithItsTotals()
    {
        TempPractice p;
        addExpense(p, QDate(2009, 3, 31), 200.25, 48.06, QStringLiteral("Ενοίκιο"));
        addExpense(p, QDate(2009, 2, 28), 999, 1, QStringLiteral("Πριν"));
        addExpense(p, QDate(2009, 3, 1), 100.5, 24.12, QStringLiteral("Ρεύμα"));
        addExpense(p, QDate(2009, 4, 1), 999, 1, QStringLiteral("Μετά"));
        addExpense(p, QDate(2009, 3, 15), 35, 8.4, QStringLiteral("Νερό"));

        TForm14 f;
        f.show();
        search(f, QStringLiteral("01/03/2009"), QStringLiteral("31/03/2009"));
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(f.ADOQuery1->recordCount(), 3);
        QCOMPARE(cell(f, 0, "HMEROMHNIA"), QStringLiteral("01/03/2009"));
        QCOMPARE(cell(f, 1, "HMEROMHNIA"), QStringLiteral("15/03/2009"));
        QCOMPARE(cell(f, 2, "HMEROMHNIA"), QStringLiteral("31/03/2009"));
        QCOMPARE(cell(f, 0, "PERIGRAFH"), QStringLiteral("Ρεύμα"));
        QCOMPARE(cell(f, 0, "AKSIA"), Regional::formatAmount(100.5));
        QCOMPARE(cell(f, 0, "VAT"), Regional::formatAmount(24.12));
        QCOMPARE(cell(f, 0, "SYNOLO"), Regional::formatAmount(100.5 + 24.12));

        QCOMPARE(total(f, "DBText1"), Regional::formatAmount(100.5 + 35 + 200.25));
        QCOMPARE(total(f, "DBText2"), Regional::formatAmount(24.12 + 8.4 + 48.06));
        QCOMPARE(total(f, "DBText3"), Regional::formatAmount(100.5 + 35 + 200.25 + 24.12 + 8.4 + 48.06));
        QVERIFY(printEnabled(f));

        // The grid shows the list in its columns, amounts right-aligned.
        auto *model = child<DbGrid>(&f, "DBGrid1")->model();
        QCOMPARE(model->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Αξία + Φ.Π.Α (EUR)"));
        QCOMPARE(model->index(2, 0).data().toString(), QStringLiteral("Ενοίκιο"));
        QVERIFY(Qt::Alignment(model->index(0, 2).data(Qt::TextAlignmentRole).toInt()) & Qt::AlignRight);
    }

    void theListFollowsTheDatesNotTheirText()
    {
        TempPractice p;
        addExpense(p, QDate(2009, 1, 5), 1, 0, QStringLiteral("Ιανουάριος"));
        addExpense(p, QDate(2008, 12, 15), 2, 0, QStringLiteral("Δεκέμβριος"));
        TForm14 f;
        search(f, QStringLiteral("1/12/2008"), QStringLiteral("31/1/2009"));
        QCOMPARE(f.ADOQuery1->recordCount(), 2);
        QCOMPARE(cell(f, 0, "PERIGRAFH"), QStringLiteral("Δεκέμβριος"));
        QCOMPARE(cell(f, 1, "PERIGRAFH"), QStringLiteral("Ιανουάριος"));
    }

    void aRangeWithoutExpensesHasEmptyTotalsAndStillPrints()
    {
        TempPractice p;
        p.copyReportFiles();
        addExpense(p, QDate(2009, 3, 1), 100, 20, QStringLiteral("Ρεύμα"));
        TForm14 f;
        search(f, QStringLiteral("1/6/2009"), QStringLiteral("30/6/2009"));
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(f.ADOQuery1->recordCount(), 0);
        for (const char *t : {"DBText1", "DBText2", "DBText3"})
            QCOMPARE(total(f, t), QString());
        QVERIFY(printEnabled(f));

        PrintCatcher printed;
        child<QPushButton>(&f, "Button3")->click();
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(printed.pages.size(), 1);
        QCOMPARE(printed.files[0], QDir::toNativeSeparators(AppDirectory + QStringLiteral("/EKSODA1.RAV")));
        QVERIFY(!printed.pages[0].contains(QStringLiteral("Ρεύμα")));
        QVERIFY(!printed.pages[0].contains(QStringLiteral("0,00")));
        // Done printing: the print queries are closed and emptied.
        QVERIFY(!f.ADOQuery3->isOpen());
        QVERIFY(f.ADOQuery3->sql().isEmpty());
        QVERIFY(f.ADOQuery4->sql().isEmpty());
    }

    void anEmptyVatCountsInTheNetTotalOnly()
    {
        TempPractice p;
        addExpense(p, QDate(2009, 3, 2), 50, QVariant(), QStringLiteral("Χωρίς ΦΠΑ"));
        addExpense(p, QDate(2009, 3, 3), 100, 24, QStringLiteral("Με ΦΠΑ"));
        TForm14 f;
        search(f, QStringLiteral("1/3/2009"), QStringLiteral("31/3/2009"));
        QCOMPARE(cell(f, 0, "VAT"), QString());
        QCOMPARE(cell(f, 0, "SYNOLO"), QString());
        QCOMPARE(total(f, "DBText1"), Regional::formatAmount(150));
        QCOMPARE(total(f, "DBText2"), Regional::formatAmount(24));
        QCOMPARE(total(f, "DBText3"), Regional::formatAmount(124));
    }

    void thePrintShowsTheLastSearchNotTheEdits()
    {
        TempPractice p;
        p.copyReportFiles();
        addExpense(p, QDate(2009, 3, 5), 100, 24, QStringLiteral("Μάρτιος"));
        addExpense(p, QDate(2009, 4, 5), 70, 16.8, QStringLiteral("Απρίλιος"));
        TForm14 f;
        f.show();
        search(f, QStringLiteral("1/3/2009"), QStringLiteral("31/3/2009"));
        child<QLineEdit>(&f, "Edit1")->setText(QStringLiteral("1/4/2009"));
        child<QLineEdit>(&f, "Edit2")->setText(QStringLiteral("30/4/2009"));

        PrintCatcher printed;
        child<QPushButton>(&f, "Button3")->click();
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(printed.pages.size(), 1);
        const QString text = printed.lastAsPdfText();
        QVERIFY2(text.contains(QStringLiteral("Μάρτιος")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("05/03/2009")));
        QVERIFY(!text.contains(QStringLiteral("Απρίλιος")));
        QVERIFY(text.contains(Regional::formatAmount(124)));
        QVERIFY(!text.contains(Regional::formatAmount(70)));
        // The title row and the totals line.
        QVERIFY2(text.contains(QStringLiteral("Αξία + Φ.Π.Α (EUR)")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Σύνολα")));
        // The screen still shows the search, untouched by the print.
        QCOMPARE(f.ADOQuery1->recordCount(), 1);
    }

    void aWrappedDescriptionIsNeverSplitAcrossPages()
    {
        TempPractice p;
        p.copyReportFiles();
        for (int i = 1; i <= 90; ++i)
            addExpense(p, QDate(2009, 3, 1 + i % 28), 10 + i, 2,
                       QStringLiteral("Αρχή%1 προμήθεια αναλωσίμων για το εργαστήριο, γάντια, μάσκες, σύριγγες και"
                                      " υλικά αποστείρωσης Τέλος%1")
                           .arg(i));
        TForm14 f;
        search(f, QStringLiteral("1/3/2009"), QStringLiteral("31/3/2009"));
        PrintCatcher printed;
        child<QPushButton>(&f, "Button3")->click();
        const QStringList pages = printed.lastAsPdfText().split(QChar(u'\f'), Qt::SkipEmptyParts);
        QVERIFY(pages.size() >= 3);
        int rows = 0;
        for (const QString &page : pages) {
            QVERIFY(page.contains(QStringLiteral("Περιγραφή")));   // the title row on every page
            for (int i = 1; i <= 90; ++i) {
                const bool begins = page.contains(QStringLiteral("Αρχή%1 ").arg(i));
                QCOMPARE(page.contains(QStringLiteral("Τέλος%1\n").arg(i)) || page.contains(QStringLiteral("Τέλος%1 ").arg(i)), begins);
                rows += begins;
            }
        }
        QCOMPARE(rows, 90);
    }

    void badDatesAreRefused()
    {
        TempPractice p;
        addExpense(p, QDate(2009, 3, 5), 100, 24, QStringLiteral("Μάρτιος"));
        TForm14 f;
        auto *find = child<QPushButton>(&f, "Button1");
        QVERIFY(find->isEnabled());
        QVERIFY(!printEnabled(f));

        // A point or a hyphen disables the search at once.
        child<QLineEdit>(&f, "Edit1")->setText(QStringLiteral("28.03.2009"));
        QVERIFY(!find->isEnabled());
        child<QLineEdit>(&f, "Edit1")->setText(QStringLiteral("28-03-2009"));
        QVERIFY(!find->isEnabled());

        search(f, QStringLiteral("1/3/2009"), QStringLiteral("31/3/2009"));
        QVERIFY(printEnabled(f));
        const QString listed = f.ADOQuery1->sql();

        for (const auto &[from, to] : {std::pair{QStringLiteral("31/02/2009"), QStringLiteral("31/3/2009")},
                                       std::pair{QStringLiteral("1/3/2009"), QString()},
                                       std::pair{QStringLiteral("πρώτη"), QStringLiteral("31/3/2009")}}) {
            search(f, from, to);
            const auto shown = Messages::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].kind, Messages::Kind::Plain);
            QCOMPARE(shown[0].text, QStringLiteral("Λανθασμένα κριτήρια."));
            QVERIFY(!printEnabled(f));
            // The last good search stays as it was.
            QCOMPARE(f.ADOQuery1->sql(), listed);
            QCOMPARE(f.ADOQuery1->recordCount(), 1);
        }
    }

    void closingEmptiesTheDatesAndDisablesThePrint()
    {
        TempPractice p;
        addExpense(p, QDate(2009, 3, 5), 100, 24, QStringLiteral("Μάρτιος"));
        TForm14 f;
        f.show();
        search(f, QStringLiteral("1/3/2009"), QStringLiteral("31/3/2009"));
        child<QLineEdit>(&f, "Edit2")->setText(QStringLiteral("31.3"));
        QTest::keyClick(&f, Qt::Key_Escape);
        QVERIFY(!f.isVisible());
        QCOMPARE(child<QLineEdit>(&f, "Edit1")->text(), QString());
        QCOMPARE(child<QLineEdit>(&f, "Edit2")->text(), QString());
        QVERIFY(child<QPushButton>(&f, "Button1")->isEnabled());
        QVERIFY(!printEnabled(f));
        QCOMPARE(f.ExpenseSearchFrom, QStringLiteral("#3/1/2009#"));

        // Shown again, the same window searches anew.
        addExpense(p, QDate(2009, 3, 6), 10, 2, QStringLiteral("Δεύτερο"));
        f.show();
        search(f, QStringLiteral("1/3/2009"), QStringLiteral("31/3/2009"));
        QCOMPARE(f.ADOQuery1->recordCount(), 2);
        QVERIFY(printEnabled(f));
    }
};

MOLARIX_TEST(ExpensesByDatesTest)
#include "test_expensesbydates.moc"
