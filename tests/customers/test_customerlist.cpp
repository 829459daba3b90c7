#include "customers/customercard.h"
#include "customers/customerhistory.h"
#include "customers/customerlist.h"
#include "customers/customerprintouts.h"
#include "customers/findcustomer.h"
#include "customers/visits.h"
#include "customertestutil.h"
#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "data/work/accesslog.h"
#include "gui/dbnavigator.h"
#include "receipts/customertakings.h"
#include "receipts/issuereceipt.h"
#include "tests/common/testmain.h"
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

class CustomerListTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    std::unique_ptr<TForm18> list;
    qlonglong idPapas = 0;

    void showList(const QString &sql)
    {
        list->ListSql = sql;
        list->ListCriteria = QStringLiteral("(criteria)");
        list->show();
    }
    QString label() { return child<QLabel>(list.get(), "Label1")->text(); }
    bool controlsShown()
    {
        QWidget *w = list.get();
        const bool shown = child<QGroupBox>(w, "GroupBox1")->isVisible();
        for (const char *name : {"GroupBox2", "GroupBox3"})
            if (child<QGroupBox>(w, name)->isVisible() != shown)
                throw std::runtime_error(name);
        if (child<DbNavigator>(w, "DBNavigator1")->isVisible() != shown || child<QPushButton>(w, "Button10")->isVisible() != shown
            || child<QMenu>(w, "N1")->menuAction()->isVisible() != shown)
            throw std::runtime_error("navigator or menu");
        return shown;
    }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        NumberingFixed = false;
        p = std::make_unique<TempPractice>();
        addCustomer(*p, {"Γιώργος", "Παπαδόπουλος", "ΑΡΡΕΝ", "1/2/1970", "ΙΚΑ", "Δάσκαλος"});
        idPapas = addCustomer(*p, {"Μαρία", "Παπά", "ΘΗΛΥ", "5/3/1980", "ΟΑΕΕ", "Γιατρός"});
        addCustomer(*p, {"Άννα", "Αντωνίου", "ΘΗΛΥ", "28/12/1965", "ΓεΣΥ", "Λογίστρια"});
        list = std::make_unique<TForm18>();
        Form18 = list.get();
    }
    void cleanup()
    {
        SetModalHandler({});
        Form18 = nullptr;
        list.reset();
        p.reset();
        NumberingFixed = false;
        Clock::reset();
    }

    void nothingFoundLeavesOnlyTheExit()
    {
        showList(TForm17::InitialsSql("Ω"));
        QCOMPARE(label(), QStringLiteral("Βρέθηκαν 0 πελάτες"));
        QVERIFY(!controlsShown());
        QVERIFY(child<QPushButton>(list.get(), "Button4")->isVisible());
        list->reject();

        // Deleting the last customer found does the same.
        showList(TForm17::InitialsSql("Αντ"));
        QCOMPARE(label(), QStringLiteral("Βρέθηκαν 1 πελάτες"));
        QVERIFY(controlsShown());
        auto *del = child<DbNavigator>(list.get(), "DBNavigator1")->button(DbNavigator::Delete);
        Messages::setNextAnswer(false);
        del->click();
        QCOMPARE(p->count("STOIXEIA_PELATH"), 3);
        QCOMPARE(Messages::takeShown().at(0).text, QStringLiteral("Delete record?"));
        del->click();
        QCOMPARE(p->count("STOIXEIA_PELATH"), 2);
        QCOMPARE(label(), QStringLiteral("Βρέθηκαν 0 πελάτες"));
        QVERIFY(!controlsShown());
    }

    void ctrlDeleteInTheGridRefreshesTheCount()
    {
        showList(TForm17::AllSql());
        auto *grid = child<DbGrid>(list.get(), "DBGrid1");
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(Messages::takeShown().size(), 1);
        QCOMPARE(p->count("STOIXEIA_PELATH"), 2);
        QCOMPARE(p->scalar("SELECT COUNT(*) FROM STOIXEIA_PELATH WHERE EPWNYMO='Αντωνίου'").toInt(), 0);
        QCOMPARE(label(), QStringLiteral("Βρέθηκαν 2 πελάτες"));
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(label(), QStringLiteral("Βρέθηκαν 0 πελάτες"));
        QVERIFY(!controlsShown());
    }

    void longAddressesShowWholeAndTheLastColumnFillsTheGrid()
    {
        p->exec("UPDATE STOIXEIA_PELATH SET DIEYTHYNSH='Λεωφόρος Αρχιεπισκόπου Μακαρίου Γ΄ 112, Λευκωσία' WHERE ID=" + QString::number(idPapas));
        showList(TForm17::AllSql());
        auto *grid = child<DbGrid>(list.get(), "DBGrid1");
        const int address = 4;
        QCOMPARE(grid->model()->headerData(address, Qt::Horizontal).toString(), QStringLiteral("Διεύθυνση"));
        int widest = 0;
        for (const QString &t : gridColumn(list.get(), address))
            widest = std::max(widest, grid->fontMetrics().horizontalAdvance(t));
        QVERIFY2(grid->columnWidth(address) > widest, qPrintable(QString::number(grid->columnWidth(address))));
        const int last = grid->model()->columnCount() - 1;
        QVERIFY(grid->columnViewportPosition(last) + grid->columnWidth(last) >= grid->viewport()->width());
    }

    void sortingReordersTheFetchedRowsAndEachShowingResetsIt()
    {
        showList(TForm17::AllSql());
        QCOMPARE(gridColumn(list.get(), 3), (QStringList{"28/12/1965", "5/3/1980", "1/2/1970"}));
        // Rows added after the fetch stay out: the sort does not run the statement again.
        addCustomer(*p, {"Ζωή", "Βασιλείου", "ΘΗΛΥ", "1/1/1990"});
        child<QRadioButton>(list.get(), "RadioButton3")->click();
        QCOMPARE(gridColumn(list.get(), 1), (QStringList{"Αντωνίου", "Παπαδόπουλος", "Παπά"}));
        child<QRadioButton>(list.get(), "RadioButton9")->click();
        QCOMPARE(gridColumn(list.get(), 1), (QStringList{"Παπά", "Παπαδόπουλος", "Αντωνίου"}));
        QCOMPARE(list->SortField + list->SortDirection, QStringLiteral("HMEROMHNIA_GENNHSEWS DESC"));
        child<QRadioButton>(list.get(), "RadioButton5")->click();   // occupation, still descending
        QCOMPARE(gridColumn(list.get(), 7), (QStringList{"Λογίστρια", "Δάσκαλος", "Γιατρός"}));
        QCOMPARE(label(), QStringLiteral("Βρέθηκαν 3 πελάτες"));

        child<QPushButton>(list.get(), "Button4")->click();
        QVERIFY(!list->isVisible());
        list->show();
        QVERIFY(child<QRadioButton>(list.get(), "RadioButton2")->isChecked());
        QVERIFY(child<QRadioButton>(list.get(), "RadioButton8")->isChecked());
        QCOMPARE(gridColumn(list.get(), 1), (QStringList{"Αντωνίου", "Βασιλείου", "Παπά", "Παπαδόπουλος"}));
    }

    void theCardGetsTheCurrentCustomerAndTheListIsReadAgain()
    {
        showList(TForm17::AllSql());
        child<QRadioButton>(list.get(), "RadioButton3")->click();
        child<DbNavigator>(list.get(), "DBNavigator1")->button(DbNavigator::Last)->click();
        QString cardId;
        SetModalHandler([&](QDialog *d) {
            auto *card = qobject_cast<TForm19 *>(d);
            if (!card)
                throw std::runtime_error("not the card");
            cardId = card->CustomerId;
            d->show();
            d->reject();
            return 0;
        });
        child<QPushButton>(list.get(), "Button2")->click();
        QCOMPARE(cardId, QString::number(idPapas));
        // Back in the statement's order, first row current; the radio buttons keep their choice.
        QCOMPARE(gridColumn(list.get(), 1), (QStringList{"Αντωνίου", "Παπά", "Παπαδόπουλος"}));
        QCOMPARE(list->CurrentSurname(), QStringLiteral("Αντωνίου"));
        QVERIFY(child<QRadioButton>(list.get(), "RadioButton3")->isChecked());
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void perCustomerWindowsGetTheCurrentRowByButtonOrMenu()
    {
        showList(TForm17::InitialsSql("Παπά"));
        QVERIFY(!child<QPushButton>(list.get(), "Button6")->isEnabled());   // no receipt numbering yet
        QVERIFY(!child<QAction>(list.get(), "KLLLL1")->isEnabled());
        list->reject();
        NumberingFixed = true;
        list->show();
        TForm22 printouts;
        Form22 = &printouts;
        QStringList seen;
        SetModalHandler([&](QDialog *d) {
            if (auto *h = qobject_cast<TForm20 *>(d))
                seen << "20|" + h->CustomerId + "|" + h->CustomerFirstName + "|" + h->CustomerSurname + "|"
                        + h->CustomerBirthDate;
            else if (auto *v = qobject_cast<TFORM17A *>(d))
                seen << "17A|" + v->CustomerId + "|" + v->CustomerFirstName + "|" + v->CustomerSurname;
            else if (auto *t = qobject_cast<TForm57 *>(d))
                seen << "57|" + t->CustomerId + "|" + t->CustomerFirstName + "|" + t->CustomerSurname;
            else if (auto *r = qobject_cast<TForm56 *>(d))
                seen << "56|" + r->CustomerId + "|" + r->CustomerFirstName + "|" + r->CustomerSurname;
            else if (auto *pr = qobject_cast<TForm22 *>(d))
                seen << "22|" + pr->CustomerId + "|" + pr->ListCriteria + (pr->ListSql == list->ListSql ? "|sql" : "");
            return 0;
        });
        const char *buttons[][2] = {{"Button3", "N3"}, {"Button1", "N4"}, {"Button7", "N6"}, {"Button6", "KLLLL1"}, {"Button5", "N5"}};
        for (const auto &[button, item] : buttons) {
            child<QPushButton>(list.get(), button)->click();
            child<QAction>(list.get(), item)->trigger();
        }
        Form22 = nullptr;
        const QString who = "|" + QString::number(idPapas) + "|Μαρία|Παπά";
        QStringList expected;
        for (const QString &window : {"20" + who + "|5/3/1980", "17A" + who, "57" + who, "56" + who,
                                      "22|" + QString::number(idPapas) + "|(criteria)|sql"})
            expected << window << window;
        QCOMPARE(seen, expected);

        child<QAction>(list.get(), "N10")->trigger();
        QVERIFY(!list->isVisible());
    }

    // The customer's data go to two files in the folder chosen, by button
    // or menu; deleting within the retention period is refused, naming the
    // day from which it is allowed.
    void exportWritesBothFilesAndDeletionWaitsForTheRetentionPeriod()
    {
        const QString id = QString::number(idPapas);
        p->exec("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA) VALUES(" + id + ",#6/1/2009#,'Έλεγχος')");
        showList(TForm17::InitialsSql("Παπά"));
        QTemporaryDir out;
        int asked = 0;
        TForm18::setExportFolderPicker([&](QWidget *) { return ++asked == 1 ? QString() : out.path(); });
        child<QPushButton>(list.get(), "Button10")->click();   // no folder chosen: nothing written
        QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 0);
        child<QAction>(list.get(), "N13")->trigger();
        TForm18::setExportFolderPicker({});
        const QString base = out.filePath("pelatis-" + id + "-2009-06-15");
        QVERIFY(QFileInfo(base + ".pdf").size() > 0);
        if (const QString keep = qEnvironmentVariable("MOLARIX_PICTURES_DIR"); !keep.isEmpty())
            QFile::copy(base + ".pdf", QDir(keep).filePath("patient-export.pdf"));
        QFile json(base + ".json");
        QVERIFY(json.open(QIODevice::ReadOnly));
        const QJsonObject doc = QJsonDocument::fromJson(json.readAll()).object();
        QCOMPARE(doc.value("customer").toObject().value("surname").toString(), QStringLiteral("Παπά"));
        QCOMPARE(doc.value("visits").toArray().size(), 1);
        QCOMPARE(Messages::takeShown().size(), 1);
        QCOMPARE(p->scalar("SELECT COUNT(*) FROM HMEROLOGIO_PROSVASEWN WHERE PELATHS=" + id + " AND ENERGEIA='"
                           + AccessLog::code(AccessLog::Action::Export) + "'")
                     .toInt(),
                 1);

        Messages::setNextAnswer(true);
        child<DbNavigator>(list.get(), "DBNavigator1")->button(DbNavigator::Delete)->click();
        const QList<Messages::Shown> shown = Messages::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown.at(1).text.startsWith(QStringLiteral("Ο πελάτης δεν μπορεί να διαγραφεί πριν από τις 1/6/2024")),
                 qPrintable(shown.at(1).text));
        QCOMPARE(p->count("STOIXEIA_PELATH"), 3);
        QCOMPARE(label(), QStringLiteral("Βρέθηκαν 2 πελάτες"));
    }

    // Each window of a customer the list opens writes one entry naming
    // them, whatever the window does after it is shown.
    void everyWindowOfACustomerWritesOneEntry_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("detail");
        QTest::newRow("card") << "Button2"
                              << "Καρτέλα πελάτη";
        QTest::newRow("history") << "Button3"
                                 << "Ιστορικό";
        QTest::newRow("chart") << "Button8"
                               << "Οδοντόγραμμα";
        QTest::newRow("visits") << "Button1"
                                << "Επισκέψεις";
        QTest::newRow("takings") << "Button7"
                                 << "Εισπράξεις πελάτη";
    }
    void everyWindowOfACustomerWritesOneEntry()
    {
        QFETCH(QString, button);
        QFETCH(QString, detail);
        showList(TForm17::InitialsSql("Παπά"));
        QCOMPARE(list->CurrentId(), QString::number(idPapas));
        const qsizetype before = AccessLog::entries(p->conn()).size();
        SetModalHandler([](QDialog *d) {
            d->show();
            d->reject();
            return 0;
        });
        child<QPushButton>(list.get(), qPrintable(button))->click();
        QTRY_COMPARE_WITH_TIMEOUT(AccessLog::pending(), 0, 30000);
        QCoreApplication::processEvents();
        const QList<AccessLog::Entry> after = AccessLog::entries(p->conn());
        QCOMPARE(after.size(), before + 1);
        QCOMPARE(after.last().customerId, idPapas);
        QCOMPARE(after.last().action, AccessLog::code(AccessLog::Action::Open));
        QCOMPARE(after.last().detail, detail);
        QCOMPARE(AccessLog::pending(), 0);
    }
};

MOLARIX_TEST(CustomerListTest)
#include "test_customerlist.moc"
