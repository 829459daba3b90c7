// The price list window: typed prices, storing, deleting a work in use,
// printing, and the main window's entry that opens it.
#include "app/mainwindow.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/work/plans.h"
#include "gui/dbgrid.h"
#include "gui/messages.h"
#include "plans/pricelist.h"
#include "reports/reportengine.h"
#include "tests/app/startupscript.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
QString cell(DbGrid *g, int row, int column) { return g->model()->index(row, column).data().toString(); }

void typeWork(TForm82 &w, const QString &code, const QString &description, const QString &price)
{
    child<QLineEdit>(&w, "Edit1")->setText(code);
    child<QLineEdit>(&w, "Edit2")->setText(description);
    child<QLineEdit>(&w, "Edit3")->setText(price);
}
}   // namespace

class PriceListTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempPractice> p;
    QStringList printed;   // the report file, then its HTML, per printout

    qint64 addWork(const QString &code, const QString &description, qint64 cents)
    {
        return Plans::addWork(p->conn(), {.code = code, .description = description, .cents = cents});
    }
    qint64 cents(const QString &code)
    {
        return p->conn().scalarNative(QStringLiteral("SELECT TIMH_LEPTA FROM TIMOKATALOGOS WHERE KWDIKOS=?"), {code}).toLongLong();
    }

private slots:
    void init()
    {
        p = std::make_unique<TempPractice>();
        p->copyReportFiles();
        printed.clear();
        ReportProject::setTestSink([this](const QString &file, const QString &html) { printed << file << html; });
        Messages::takeShown();
    }
    void cleanup()
    {
        ReportProject::setTestSink({});
        Messages::takeShown();
        p.reset();
    }

    void typedPricesFollowTheAmountRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("stored");   // -1: refused, nothing stored
        QTest::addColumn<QString>("shown");
        QTest::newRow("comma decimals") << "12,5" << qint64(1250) << "12,50";
        QTest::newRow("point decimals") << "0.75" << qint64(75) << "0,75";
        QTest::newRow("whole euros") << "1500" << qint64(150000) << "1500,00";
        QTest::newRow("zero") << "0" << qint64(0) << "0,00";
        QTest::newRow("thousands point") << "1.500" << qint64(-1) << "";
        QTest::newRow("three decimals") << "12,345" << qint64(-1) << "";
        QTest::newRow("negative") << "-5" << qint64(-1) << "";
        QTest::newRow("letters") << "δέκα" << qint64(-1) << "";
        QTest::newRow("empty") << "" << qint64(-1) << "";
    }
    // A new work and a change of a stored one read the price alike.
    void typedPricesFollowTheAmountRules()
    {
        QFETCH(QString, typed);
        QFETCH(qint64, stored);
        QFETCH(QString, shown);
        const qint64 kept = addWork(QStringLiteral("A01"), QStringLiteral("Εξέταση"), 2000);
        TForm82 w;
        auto *grid = child<DbGrid>(&w, "DBGrid1");
        auto *price = child<QLineEdit>(&w, "Edit3");
        for (const bool change : {false, true}) {
            if (change)
                w.list()->first();
            else
                child<QPushButton>(&w, "Button1")->click();
            typeWork(w, change ? QStringLiteral("A01") : QStringLiteral("B02"), QStringLiteral("Έμφραξη μίας επιφάνειας"), typed);
            child<QPushButton>(&w, "Button2")->click();
            const QString code = change ? QStringLiteral("A01") : QStringLiteral("B02");
            const QList<Messages::Shown> boxes = Messages::takeShown();
            if (stored < 0) {
                QCOMPARE(boxes.size(), 1);
                QCOMPARE(boxes[0].kind, Messages::Kind::Plain);
                QVERIFY2(boxes[0].text.startsWith(QStringLiteral("Η εργασία δεν αποθηκεύτηκε.\n")), qPrintable(boxes[0].text));
                QCOMPARE(price->text(), typed);   // left for correcting
                QCOMPARE(p->count(QStringLiteral("TIMOKATALOGOS")), 1);
                QCOMPARE(cents(QStringLiteral("A01")), qint64(2000));
                continue;
            }
            QVERIFY2(boxes.isEmpty(), qPrintable(boxes.value(0).text));
            QCOMPARE(p->count(QStringLiteral("TIMOKATALOGOS")), 2);
            QCOMPARE(cents(code), stored);
            QCOMPARE(w.list()->fieldText(QStringLiteral("KWDIKOS")), code);
            QCOMPARE(cell(grid, w.list()->recNo(), 2), shown);
            QCOMPARE(price->text(), shown);
        }
        QCOMPARE(Plans::work(p->conn(), kept)->code, QStringLiteral("A01"));
    }

    void worksAreAddedChangedAndAWorkInUseIsMadeInactive()
    {
        addWork(QStringLiteral("A01"), QStringLiteral("Εξέταση"), 2000);
        const qint64 filling = addWork(QStringLiteral("B02"), QStringLiteral("Έμφραξη"), 4550);
        p->conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Άννα','Αντωνίου')"));
        const CustomerRef customer = CustomerRef::require(p->scalar(QStringLiteral("SELECT max(ID) FROM STOIXEIA_PELATH")).toString());
        Plans::addItem(p->conn(), customer, {.work = filling, .tooth = 16, .cents = -1});

        TForm82 w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Τιμοκατάλογος εργασιών"));
        auto *grid = child<DbGrid>(&w, "DBGrid1");
        auto *remove = child<QPushButton>(&w, "Button3");
        QCOMPARE(grid->model()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Τιμή (EUR)"));
        QCOMPARE(cell(grid, 1, 2), QStringLiteral("45,50"));
        QCOMPARE(cell(grid, 1, 3), QStringLiteral("Ναι"));
        QCOMPARE(child<QLineEdit>(&w, "Edit1")->text(), QStringLiteral("A01"));

        // A new work starts from empty fields; a code already listed is refused.
        child<QPushButton>(&w, "Button1")->click();
        QVERIFY(!remove->isEnabled());
        QVERIFY(!child<QPushButton>(&w, "Button2")->isEnabled());
        QVERIFY(child<QCheckBox>(&w, "CheckBox1")->isChecked());
        typeWork(w, QStringLiteral("B02"), QStringLiteral("Διπλός"), QStringLiteral("1"));
        child<QPushButton>(&w, "Button2")->click();
        QCOMPARE(Messages::takeShown().value(0).text, QStringLiteral("Ο κωδικός B02 υπάρχει ήδη στον τιμοκατάλογο."));
        QCOMPARE(p->count(QStringLiteral("TIMOKATALOGOS")), 2);
        typeWork(w, QStringLiteral("C03"), QStringLiteral("Λεύκανση"), QStringLiteral("250"));
        child<QPushButton>(&w, "Button2")->click();
        QCOMPARE(p->count(QStringLiteral("TIMOKATALOGOS")), 3);
        QCOMPARE(w.list()->fieldText(QStringLiteral("KWDIKOS")), QStringLiteral("C03"));
        QVERIFY(remove->isEnabled());

        // A work no plan names goes; No keeps it.
        Messages::setNextAnswer(false);
        remove->click();
        QCOMPARE(p->count(QStringLiteral("TIMOKATALOGOS")), 3);
        Messages::setNextAnswer(true);
        remove->click();
        QCOMPARE(p->count(QStringLiteral("TIMOKATALOGOS")), 2);
        QList<Messages::Shown> boxes = Messages::takeShown();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[1].text, QStringLiteral("Να διαγραφεί η εργασία C03 από τον τιμοκατάλογο;"));

        // One a plan names stays, inactive, and the user is told why.
        w.list()->moveTo(1);
        QCOMPARE(child<QLineEdit>(&w, "Edit1")->text(), QStringLiteral("B02"));
        Messages::setNextAnswer(true);
        remove->click();
        boxes = Messages::takeShown();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[1].kind, Messages::Kind::Plain);
        QCOMPARE(boxes[1].text, QStringLiteral("Η εργασία B02 υπάρχει σε σχέδια θεραπείας, γι' αυτό δεν διαγράφηκε: έγινε ανενεργή"
                                               " και δεν θα προτείνεται σε νέα σχέδια."));
        QCOMPARE(p->count(QStringLiteral("TIMOKATALOGOS")), 2);
        QVERIFY(!Plans::work(p->conn(), filling)->active);
        QCOMPARE(cell(grid, 1, 3), QStringLiteral("Όχι"));
        QVERIFY(!child<QCheckBox>(&w, "CheckBox1")->isChecked());
    }

    void theActiveWorksArePrinted()
    {
        p->exec(QStringLiteral("INSERT INTO INFORMATION(TITLE) VALUES('Οδοντιατρείο Παπαδόπουλου')"));
        {
            TForm82 empty;
            QVERIFY(!child<QPushButton>(&empty, "Button4")->isEnabled());
        }
        addWork(QStringLiteral("A01"), QStringLiteral("Εξέταση & <διάγνωση>"), 2000);
        const qint64 old = addWork(QStringLiteral("Z09"), QStringLiteral("Παλιά εργασία"), 100);
        Plans::changeWork(p->conn(), {.id = old, .code = QStringLiteral("Z09"), .description = QStringLiteral("Παλιά εργασία"), .cents = 100, .active = false});
        TForm82 w;
        auto *print = child<QPushButton>(&w, "Button4");
        QVERIFY(print->isEnabled());
        print->click();
        QCOMPARE(printed.size(), 2);
        QVERIFY(printed[0].endsWith(QStringLiteral("TIMOKATALOGOS.RAV")));
        const QString html = printed[1];
        for (const char *text : {"Οδοντιατρείο Παπαδόπουλου", "Τιμοκατάλογος εργασιών", "A01", "Εξέταση &amp; &lt;διάγνωση&gt;", "20,00"})
            QVERIFY2(html.contains(QString::fromUtf8(text)), text);
        QVERIFY(!html.contains(QStringLiteral("Z09")));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
        ReportProject::writePdf(html, pdf);
        QVERIFY(QFileInfo(pdf).size() > 0);
    }

    void theSettingsMenuOpensIt()
    {
        InFolder here(p->path());
        StartupScript script;
        script.passwords = {QStringLiteral("molarix")};
        TForm3 main;
        QString opened;
        QTimer::singleShot(0, [&opened] {
            QWidget *modal = QApplication::activeModalWidget();
            if (qobject_cast<TForm82 *>(modal))
                opened = modal->windowTitle();
            if (auto *d = qobject_cast<QDialog *>(modal))
                d->reject();
        });
        main.findChild<QAction *>(QStringLiteral("N31"))->trigger();
        QCOMPARE(opened, QStringLiteral("Τιμοκατάλογος εργασιών"));
    }
};

MOLARIX_TEST(PriceListTest)
#include "test_pricelist.moc"
