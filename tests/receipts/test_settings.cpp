#include "tests/common/testmain.h"
#include "tests/common/testutil.h"

#include "app/mainwindow.h"
#include "gui/messages.h"
#include "app/openers.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "gui/dbcontrols.h"
#include "gui/dbnavigator.h"
#include "receipts/receiptdetails.h"
#include "receipts/receiptnumbering.h"
#include "receipts/receiptprintout.h"
#include "reports/reportengine.h"
#include "tests/app/startupscript.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Typing as a user would; Greek text goes in as pasted (keyClicks takes Latin-1 only).
void type(DbEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    bool latin = true;
    for (QChar c : text)
        latin = latin && c.unicode() < 0x80;
    if (latin)
        QTest::keyClicks(edit, text);
    else
        edit->insert(text);
}

void post(QWidget *form)
{
    child<DbNavigator>(form, "DBNavigator1")->button(DbNavigator::Post)->click();
}

// Only Post, as both windows edit a single row.
bool showsOnlyPost(QWidget *form)
{
    auto *nav = child<DbNavigator>(form, "DBNavigator1");
    for (int b = DbNavigator::First; b <= DbNavigator::Refresh; ++b)
        if (nav->button(DbNavigator::Button(b))->isVisibleTo(nav) != (b == DbNavigator::Post))
            return false;
    return true;
}

}   // namespace

class ReceiptSettingsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempPractice> practice;
    QStringList sampleHtml;

    int lastNumber() { return practice->scalar(QStringLiteral("SELECT [LAST] FROM LAST_APODEIKSH")).toInt(); }

private slots:
    void init()
    {
        practice = std::make_unique<TempPractice>();
        practice->copyReportFiles();
        sampleHtml.clear();
        ReportProject::setTestSink([this](const QString &, const QString &html) { sampleHtml << html; });
    }
    void cleanup()
    {
        ReportProject::setTestSink({});
        practice.reset();
    }

    // ---- numbering ----

    void numberTypedAndPostedStartsTheNumbering()
    {
        TForm9 form;
        form.show();
        QVERIFY(showsOnlyPost(&form));
        auto *edit = child<DbEdit>(&form, "DBEdit1");
        QCOMPARE(edit->text(), QString());
        type(edit, QStringLiteral("1001"));
        post(&form);
        form.close();
        QCOMPARE(practice->count(QStringLiteral("LAST_APODEIKSH")), 1);
        QCOMPARE(lastNumber(), 1001);
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void numberingEntryHiddenOnceTheWindowStoredItsRow()
    {
        InFolder here(practice->path());
        StartupScript script;
        script.passwords = {QStringLiteral("molarix")};
        TForm3 main;
        QAction *n8 = main.findChild<QAction *>(QStringLiteral("N8"));
        QVERIFY(n8 && n8->isVisible());
        for (const bool postIt : {false, true}) {
            QTimer::singleShot(50, [postIt] {
                if (auto *form = qobject_cast<TForm9 *>(QApplication::activeModalWidget())) {
                    type(child<DbEdit>(form, "DBEdit1"), QStringLiteral("1001"));
                    if (postIt)
                        post(form);
                    QTest::keyClick(form, Qt::Key_Escape);
                }
            });
            n8->trigger();
            QCOMPARE(n8->isVisible(), !postIt);
            QCOMPARE(NumberingFixed, postIt);
        }
        QCOMPARE(lastNumber(), 1001);
    }

    void numberNotPostedIsNotStoredAndOnlyAPositiveNumberIsPosted()
    {
        {
            TForm9 form;
            form.show();
            type(child<DbEdit>(&form, "DBEdit1"), QStringLiteral("1001"));
            QTest::keyClick(&form, Qt::Key_Escape);
            QVERIFY(!form.isVisible());
        }
        QCOMPARE(practice->count(QStringLiteral("LAST_APODEIKSH")), 0);

        // An empty number would leave a row that stops every receipt.
        TForm9 form;
        form.show();
        auto *edit = child<DbEdit>(&form, "DBEdit1");
        for (const QString &bad : {QStringLiteral("0"), QStringLiteral("-4"), QStringLiteral("  ")}) {
            type(edit, bad);
            post(&form);
            const auto shown = Messages::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, QStringLiteral("Ο αριθμός της πρώτης απόδειξης πρέπει να είναι θετικός ακέραιος."));
            QCOMPARE(practice->count(QStringLiteral("LAST_APODEIKSH")), 0);
            QVERIFY(form.isVisible());
        }
        // The last number would leave the receipt issued under it no successor.
        type(edit, QStringLiteral("9223372036854775807"));
        post(&form);
        const auto atTheEnd = Messages::takeShown();
        QCOMPARE(atTheEnd.size(), 1);
        QCOMPARE(atTheEnd[0].text, QStringLiteral("Ο αριθμός 9223372036854775807 είναι ο μεγαλύτερος που χωρά· η "
                                                  "επόμενη απόδειξη δεν θα είχε αριθμό. Γράψτε μικρότερο αριθμό."));
        QCOMPARE(practice->count(QStringLiteral("LAST_APODEIKSH")), 0);
        type(edit, QStringLiteral("2147483648"));
        post(&form);
        QCOMPARE(practice->scalar(QStringLiteral("SELECT [LAST] FROM LAST_APODEIKSH")),
                 QVariant(qlonglong(2147483648LL)));
        // The column itself refuses a row without a number.
        QVERIFY_THROWS_EXCEPTION(DbError, practice->exec(QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=NULL")));
        QVERIFY_THROWS_EXCEPTION(DbError, practice->exec(QStringLiteral("INSERT INTO LAST_APODEIKSH ([LAST]) VALUES (0)")));
    }

    void storedNumberIsShownAndChangedInPlace()
    {
        practice->exec(QStringLiteral("INSERT INTO LAST_APODEIKSH ([LAST]) VALUES (500)"));
        TForm9 form;
        form.show();
        auto *edit = child<DbEdit>(&form, "DBEdit1");
        QCOMPARE(edit->text(), QStringLiteral("500"));
        type(edit, QStringLiteral("777"));
        post(&form);
        QCOMPARE(practice->count(QStringLiteral("LAST_APODEIKSH")), 1);
        QCOMPARE(lastNumber(), 777);
    }

    void lettersAreRefusedAndTheWindowStays()
    {
        TForm9 form;
        form.show();
        auto *edit = child<DbEdit>(&form, "DBEdit1");
        type(edit, QStringLiteral("12a"));
        post(&form);
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
        QVERIFY(form.isVisible());
        QCOMPARE(practice->count(QStringLiteral("LAST_APODEIKSH")), 0);
        // Corrected, it goes in.
        type(edit, QStringLiteral("12"));
        post(&form);
        QCOMPARE(lastNumber(), 12);
    }

    // ---- receipt details ----

    void titleTypedIntoEmptyTableCreatesTheRow()
    {
        TForm73 form;
        form.show();
        QVERIFY(showsOnlyPost(&form));
        type(child<DbEdit>(&form, "DBEdit1"), QStringLiteral("Οδοντιατρείο Ανδρέα Γεωργίου"));
        post(&form);
        QCOMPARE(practice->count(QStringLiteral("INFORMATION")), 1);
        QCOMPARE(practice->scalar(QStringLiteral("SELECT TITLE FROM INFORMATION")).toString(),
                 QStringLiteral("Οδοντιατρείο Ανδρέα Γεωργίου"));
    }

    void eachEditStoresItsOwnDetail()
    {
        const QStringList columns{QStringLiteral("TITLE"), QStringLiteral("ADDRESS1"), QStringLiteral("ADDRESS2"),
                                  QStringLiteral("PHONE"), QStringLiteral("FAX"), QStringLiteral("WEBSITE"),
                                  QStringLiteral("EMAIL"), QStringLiteral("AFT")};
        {
            TForm73 form;
            form.show();
            for (int i = 0; i < columns.size(); ++i)
                type(child<DbEdit>(&form, QStringLiteral("DBEdit%1").arg(i + 1).toLatin1().constData()),
                     QStringLiteral("τιμή ") + columns[i]);
            post(&form);
        }
        QCOMPARE(practice->count(QStringLiteral("INFORMATION")), 1);
        for (const QString &c : columns)
            QCOMPARE(practice->scalar(QStringLiteral("SELECT ") + c + QStringLiteral(" FROM INFORMATION")).toString(),
                     QStringLiteral("τιμή ") + c);
    }

    void detailsNotPostedAreNotStored()
    {
        {
            TForm73 form;
            form.show();
            type(child<DbEdit>(&form, "DBEdit1"), QStringLiteral("Οδοντιατρείο"));
            child<QPushButton>(&form, "Button1")->click();
        }
        QCOMPARE(practice->count(QStringLiteral("INFORMATION")), 0);
    }

    void previewPrintsSampleWithStoredDetails()
    {
        practice->exec(QStringLiteral("INSERT INTO INFORMATION (TITLE, AFT) VALUES ('Οδοντιατρείο Ανδρέα Γεωργίου', '10234567Κ')"));
        practice->exec(QStringLiteral("INSERT INTO APODEIKSEIS (AR_APODEIKSHS, PARALHPTHS, POSO, POSO_CY) VALUES (1001, 'Μαρία Παπαδοπούλου', 50, 29.2637)"));
        TForm72 printout;
        Form72 = &printout;
        TForm73 form;
        form.show();
        // Typed but not posted: the sample shows what receipts will carry.
        type(child<DbEdit>(&form, "DBEdit1"), QStringLiteral("Άλλος τίτλος"));
        child<QPushButton>(&form, "Button2")->click();
        Form72 = nullptr;

        QCOMPARE(sampleHtml.size(), 1);
        QVERIFY(sampleHtml[0].contains(QStringLiteral("Οδοντιατρείο Ανδρέα Γεωργίου")));
        QVERIFY(sampleHtml[0].contains(QStringLiteral("10234567Κ")));
        QVERIFY(!sampleHtml[0].contains(QStringLiteral("Άλλος τίτλος")));
        QVERIFY(!sampleHtml[0].contains(QStringLiteral("Μαρία")));
        QCOMPARE(printout.ReceiptNumber, 0);
        QCOMPARE(child<DbEdit>(&form, "DBEdit1")->text(), QStringLiteral("Οδοντιατρείο Ανδρέα Γεωργίου"));
        QVERIFY(Messages::takeShown().isEmpty());

        // A numbering started at 0 gives a real receipt 0, which the sample then prints;
        // without a start-up printout the window makes its own.
        practice->exec(QStringLiteral("INSERT INTO APODEIKSEIS (AR_APODEIKSHS, PARALHPTHS, POSO, POSO_CY) VALUES (0, 'Ελένη Κωνσταντίνου', 20, 11.70548)"));
        child<QPushButton>(&form, "Button2")->click();
        QCOMPARE(sampleHtml.size(), 2);
        for (const char *expected : {"Ελένη Κωνσταντίνου", "20,00", "11,71"})
            QVERIFY2(sampleHtml[1].contains(QString::fromUtf8(expected)), expected);
    }

    void menuOpensBothWindows()
    {
        for (const char *cls : {"TForm9", "TForm73"}) {
            const auto open = WindowOpener(QLatin1String(cls));
            QVERIFY2(open, cls);
            QString seen;
            QTimer::singleShot(50, [&] {
                if (QWidget *w = QApplication::activeModalWidget()) {
                    seen = QString::fromLatin1(w->metaObject()->className());
                    QTest::keyClick(w, Qt::Key_Escape);
                }
            });
            open();
            QCOMPARE(seen, QLatin1String(cls));
        }
    }
};

MOLARIX_TEST(ReceiptSettingsTest)
#include "test_settings.moc"
