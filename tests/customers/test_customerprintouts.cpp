#include "customers/customerprintouts.h"
#include "customers/findcustomer.h"
#include "customertestutil.h"
#include "data/db/clock.h"
#include "reports/reportengine.h"
#include "tests/common/testmain.h"
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTextDocument>

// Prints go to a sink; the text a user would read is taken from the PDF.
class CustomerPrintoutsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    QStringList files;
    QStringList pdfTexts;
    QStringList htmls;
    qlonglong idPapas = 0;

    QString pdfText(const QString &html)
    {
        const QString pdf = p->path() + QStringLiteral("/out%1.pdf").arg(pdfTexts.size());
        ReportProject::writePdf(html, pdf);
        QProcess tool;
        tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
            throw std::runtime_error("pdftotext failed");
        return QString::fromUtf8(tool.readAllStandardOutput());
    }
    void print(TForm22 &w, const char *button)
    {
        child<QPushButton>(&w, button)->click();
    }
    std::unique_ptr<TForm22> printouts(const QString &initials)
    {
        auto w = std::make_unique<TForm22>();
        w->ListSql = TForm17::InitialsSql(initials);
        w->ListCriteria = TForm17::InitialsCriteria(initials);
        w->CustomerId = QString::number(idPapas);
        w->show();
        return w;
    }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        p = std::make_unique<TempPractice>();
        p->copyReportFiles();
        addCustomer(*p, {"Γιώργος", "Παπαδόπουλος", "ΑΡΡΕΝ", "1/2/1970", "ΙΚΑ", "Δάσκαλος", "Γέφυρα 14-16", "Μακαρίου 12, Λευκωσία", "22 456789", "99 123456"});
        idPapas = addCustomer(*p, {"Μαρία", "Παπά", "ΘΗΛΥ", "5/3/1980", "ΟΑΕΕ", "Γιατρός", "Αλλεργία στην πενικιλίνη.", "Αρχ. Κυπριανού 5, Λάρνακα", "24 654321"});
        addCustomer(*p, {"Άννα", "Αντωνίου", "ΘΗΛΥ", "28/12/1965", "ΓεΣΥ", "Ιδιωτική υπάλληλος", "", "Λεωφ. Αθηνών 120, Λεμεσός", "25 111222", "99 333444"});
        files.clear();
        htmls.clear();
        pdfTexts.clear();
        ReportProject::setTestSink([this](const QString &file, const QString &html) {
            files << QFileInfo(QString(file).replace(u'\\', u'/')).fileName();
            htmls << html;
            pdfTexts << pdfText(html);
        });
    }
    void cleanup()
    {
        ReportProject::setTestSink({});
        p.reset();
        Clock::reset();
    }

    void printAllPrintsOnlyTheFoundCustomers()
    {
        auto w = printouts("παπ");
        print(*w, "Button1");
        print(*w, "Button8");
        print(*w, "Button10");
        QCOMPARE(files, (QStringList{"STOIXEIA.RAV", "ISTORIKO.RAV", "LIST.RAV"}));
        QVERIFY(Messages::takeShown().isEmpty());
        for (const QString &text : pdfTexts) {
            QVERIFY2(text.contains(QStringLiteral("Παπαδόπουλος")), qPrintable(text));
            QVERIFY(text.contains(QStringLiteral("Παπά")));
            QVERIFY(!text.contains(QStringLiteral("Αντωνίου")));
            // Surname order: Παπά before Παπαδόπουλος.
            QVERIFY(text.indexOf(QStringLiteral("Παπά ")) < text.indexOf(QStringLiteral("Παπαδόπουλος")));
        }
        QVERIFY(pdfTexts[0].contains(QStringLiteral("5/3/1980")));
        QVERIFY(pdfTexts[1].contains(QStringLiteral("Αλλεργία στην πενικιλίνη.")));
        QVERIFY(pdfTexts[1].contains(QStringLiteral("Γέφυρα 14-16")));
        QVERIFY(htmls[2].contains(QStringLiteral("<thead>")));
    }

    void printSelectedPrintsTheCurrentCustomerAndAllMeansAll()
    {
        auto w = printouts("");
        w->ListSql = TForm17::AllSql();
        w->ListCriteria.clear();
        print(*w, "Button2");
        print(*w, "Button9");
        print(*w, "Button1");
        QCOMPARE(files, (QStringList{"STOIXEIA.RAV", "ISTORIKO.RAV", "STOIXEIA.RAV"}));
        for (const QString &text : pdfTexts.mid(0, 2))
            QVERIFY(text.contains(QStringLiteral("Μαρία")) && !text.contains(QStringLiteral("Παπαδόπουλος"))
                    && !text.contains(QStringLiteral("Αντωνίου")));
        for (const char *name : {"Παπαδόπουλος", "Παπά", "Αντωνίου"})
            QVERIFY(pdfTexts[2].contains(QString::fromUtf8(name)));
    }

    void aLongHistoryRunsOverPagesWithTheListTitleRepeated()
    {
        QString longText;
        for (int i = 1; i <= 150; ++i)
            longText += QStringLiteral("Επίσκεψη %1: έλεγχος και καθαρισμός.\n").arg(i);
        p->exec(QStringLiteral("UPDATE STOIXEIA_PELATH SET ISTORIKO='%1' WHERE ID=%2").arg(longText).arg(idPapas));
        for (int i = 0; i < 120; ++i)
            addCustomer(*p, {"Πελάτης", QStringLiteral("Τεστ%1").arg(i, 3, 10, QLatin1Char('0')), "ΑΡΡΕΝ", "3/4/1991", "ΤΕΒΕ", "Μηχανικός", "", "Ομήρου 7, Πάφος", "26 000111", "99 000222"});
        auto w = printouts("");
        print(*w, "Button9");
        w->ListSql = TForm17::AllSql();
        print(*w, "Button10");
        QVERIFY(pdfTexts[0].contains(QStringLiteral("Επίσκεψη 150:")));
        QVERIFY(pdfTexts[0].count(QChar(u'\f')) >= 2);
        const int pages = int(pdfTexts[1].count(QChar(u'\f')));
        QVERIFY(pages >= 3);
        QCOMPARE(int(pdfTexts[1].count(QStringLiteral("Τηλέφωνο 1"))), pages);
    }

    void eachCustomerCardStaysOnOnePage()
    {
        for (int i = 0; i < 40; ++i)
            addCustomer(*p, {"Πελάτης", QStringLiteral("Κάρτα%1").arg(i, 2, 10, QLatin1Char('0')), "ΑΡΡΕΝ", "3/4/1991", "ΤΕΒΕ", "Μηχανικός", "", "Ομήρου 7, Πάφος", "26 000111", "99 000222"});
        auto w = printouts("");
        w->ListSql = TForm17::AllSql();
        print(*w, "Button1");
        QCOMPARE(files, QStringList{"STOIXEIA.RAV"});
        const QStringList pages = pdfTexts[0].split(QChar(u'\f'), Qt::SkipEmptyParts);
        QVERIFY(pages.size() >= 3);
        int cards = 0;
        for (const QString &page : pages) {
            // A card begins with its code and ends with its fund.
            const int begun = int(page.count(QStringLiteral("Κωδικός:")));
            QCOMPARE(int(page.count(QStringLiteral("Ταμείο:"))), begun);
            QCOMPARE(int(page.count(QStringLiteral("Διεύθυνση:"))), begun);
            cards += begun;
        }
        QCOMPARE(cards, 43);
    }

    void listWordsStayWholeInTheirColumns()
    {
        for (int i = 0; i < 60; ++i)
            addCustomer(*p, {"Χαράλαμπος", QStringLiteral("Χατζηπαναγιώτου%1").arg(i, 2, 10, QLatin1Char('0')), "ΑΡΡΕΝ", "28/12/1965", "ΓεΣΥ", "Εκπαιδευτικός", "", "Αρχιεπισκόπου Μακαρίου 112, Λευκωσία", "22 987654", "99 876543"});
        auto w = printouts("");
        w->ListSql = TForm17::AllSql();
        print(*w, "Button10");
        const QString text = pdfTexts[0];
        const QStringList pages = text.split(QChar(u'\f'), Qt::SkipEmptyParts);
        QVERIFY(pages.size() >= 2);
        for (const QString &page : pages)
            for (const char *title : {"Α/Α", "Επώνυμο", "Ημερ.Γενν.", "Τηλέφωνο 1", "Επάγγελμα", "Ταμείο"})
                QVERIFY2(page.contains(QString::fromUtf8(title)), title);
        // Every value prints whole on its line: no word cut at a column's edge.
        for (int i = 0; i < 60; ++i)
            QVERIFY(text.contains(QStringLiteral("Χατζηπαναγιώτου%1").arg(i, 2, 10, QLatin1Char('0'))));
        for (const char *word : {"28/12/1965", "Εκπαιδευτικός", "Χαράλαμπος", "Αρχιεπισκόπου", "22 987654", "99 876543"})
            QCOMPARE(int(text.count(QString::fromUtf8(word))), 60 + int(QString::fromUtf8(word) == "28/12/1965"));
    }

    void aMissingReportFileIsReported()
    {
        QFile::remove(p->path() + "/LIST.RAV");
        auto w = printouts("Παπ");
        print(*w, "Button10");
        const auto msgs = Messages::takeShown();
        QCOMPARE(msgs.size(), 1);
        QCOMPARE(msgs[0].kind, Messages::Kind::Error);
        QVERIFY(msgs[0].text.startsWith(QStringLiteral("The following reporting project does not exist:\n\"")));
        QVERIFY(msgs[0].text.contains(QStringLiteral("LIST.RAV\"")));
        QVERIFY(files.isEmpty());
        // The other reports still print.
        print(*w, "Button1");
        QCOMPARE(files, QStringList{"STOIXEIA.RAV"});
    }
};

MOLARIX_TEST(CustomerPrintoutsTest)
#include "test_customerprintouts.moc"
