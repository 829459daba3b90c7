#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tests/reports/test_engine_util.h"

#include "app/guard.h"
#include "app/messages.h"
#include "data/clock.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "reports/reportengine.h"
#include "reports/reportoutput.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace ReportTest;

namespace {

void writeFile(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    f.write(text.toUtf8());
}

// Runs `act` on the modal window of type W as soon as it is shown.
template <class W>
void whenModal(std::function<void(W *)> act, int triesLeft = 250)
{
    QTimer::singleShot(20, [act, triesLeft] {
        if (auto *w = qobject_cast<W *>(QApplication::activeModalWidget()))
            act(w);
        else if (triesLeft > 0)
            whenModal<W>(act, triesLeft - 1);
    });
}

// Counts every signal by which a bound control would notice a data set.
struct SignalCount {
    explicit SignalCount(DataSet *ds)
        : reset(ds, &DataSet::dataReset), current(ds, &DataSet::currentChanged),
          state(ds, &DataSet::stateChanged), field(ds, &DataSet::fieldChanged)
    {
    }
    int total() const { return int(reset.count() + current.count() + state.count() + field.count()); }
    QSignalSpy reset, current, state, field;
};

} // namespace

class ReportEngineTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempPractice> practice;
    QString file(const QString &name) const { return QDir(practice->path()).filePath(name); }

    void addExpenses()
    {
        practice->exec(QStringLiteral("INSERT INTO EKSODA (HMEROMHNIA, POSO, VAT, PERIGRAFH) VALUES (#3/5/2008#, 12.5, 2.25, 'Γάντια')"));
        practice->exec(QStringLiteral("INSERT INTO EKSODA (HMEROMHNIA, POSO, VAT, PERIGRAFH) VALUES (#1/20/2008#, 100, 15, 'Ενοίκιο')"));
        practice->exec(QStringLiteral("INSERT INTO EKSODA (HMEROMHNIA, POSO, VAT, PERIGRAFH) VALUES (#12/31/2008#, 7.125, 0, 'Ρεύμα')"));
    }

private slots:
    void init()
    {
        practice = std::make_unique<TempPractice>();
        Clock::setNow(QDateTime(QDate(2008, 4, 9), QTime(10, 0)));
    }
    void cleanup()
    {
        ReportProject::setTestSink({});
        Clock::reset();
        practice.reset();
    }

    void sectionsRepeatRowsWithDisplayTexts()
    {
        addExpenses();
        DataSet q(&practice->conn());
        q.setSql(QStringLiteral("SELECT HMEROMHNIA, Format(POSO,'0.00') AS POSO, VAT, PERIGRAFH FROM EKSODA ORDER BY HMEROMHNIA"));
        DataSet none(&practice->conn());
        none.setSql(QStringLiteral("SELECT * FROM EKSODA WHERE POSO < 0"));
        writeFile(file(QStringLiteral("T.RAV")),
                  QStringLiteral("<p>{{#C1}}[{{RECNO}}|{{HMEROMHNIA}}|{{POSO}}|{{VAT}}|{{PERIGRAFH}}]{{/C1}}</p>"
                                 "<p>count={{C1_COUNT}} empty={{C2_COUNT}} today={{TODAY}}</p>"
                                 "<p>{{^C2}}χωρίς γραμμές{{/C2}}{{#C2}}never{{/C2}}{{^C1}}never{{/C1}}</p>"));
        ReportProject p;
        p.setProjectFile(file(QStringLiteral("T.RAV")));
        p.addConnection(QStringLiteral("C1"), &q);
        p.addConnection(QStringLiteral("C2"), &none);
        const QString html = p.renderHtml();
        QVERIFY2(html.contains(QStringLiteral("[1|20/1/2008|100,00|15|Ενοίκιο][2|5/3/2008|12,50|2,25|Γάντια]"
                                              "[3|31/12/2008|7,13|0|Ρεύμα]")),
                 qPrintable(html));
        QVERIFY(html.contains(QStringLiteral("count=3 empty=0 today=9/4/2008")));
        QVERIFY(html.contains(QStringLiteral("χωρίς γραμμές")));
        QVERIFY(!html.contains(QStringLiteral("never")));
    }

    void markupInDataPrintsAsTyped()
    {
        practice->conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH (ONOMA, EPWNYMO) VALUES (?, ?)"),
                                       {QStringLiteral("Τζων \"Ο'Νηλ\""), QStringLiteral("<b>Παπάς & Υιοί</b>")});
        DataSet q(&practice->conn());
        q.setSql(QStringLiteral("SELECT ONOMA, EPWNYMO FROM STOIXEIA_PELATH"));
        writeFile(file(QStringLiteral("L.RAV")), QStringLiteral("<html><body>{{#RvDataSetConnection7}}<p>{{EPWNYMO}} / {{ONOMA}}</p>{{/RvDataSetConnection7}}</body></html>"));
        ReportProject p;
        p.setProjectFile(file(QStringLiteral("L.RAV")));
        p.addConnection(QStringLiteral("RvDataSetConnection7"), &q);

        const QString html = p.renderHtml();
        QVERIFY(!html.contains(QStringLiteral("<b>")));
        const QString pdf = file(QStringLiteral("l.pdf"));
        p.renderPdf(pdf);
        QCOMPARE(squeezed(pdfText(pdf)), QStringLiteral("<b>Παπάς & Υιοί</b> / Τζων \"Ο'Νηλ\""));
    }

    void missingFileIsReported()
    {
        const QString path = file(QStringLiteral("APODEIKSEIS.RAV"));
        ReportProject p;
        p.setProjectFile(path);
        const QString expected = QStringLiteral("The following reporting project does not exist:\n\"") + path + u'"';
        try {
            p.execute();
            QFAIL("no error for a missing report file");
        } catch (const ReportError &e) {
            QCOMPARE(e.message(), expected);
        }
        // Through a window's handler it reaches the general error report.
        Messages::takeShown();
        runGuarded([&] { p.execute(); });
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
        QVERIFY(shown[0].text.startsWith(expected));

        // The same file appearing later is read.
        writeFile(path, QStringLiteral("<p>εδώ</p>"));
        QVERIFY(p.renderHtml().contains(QStringLiteral("εδώ")));
    }

    void fileReadOnceAndKept()
    {
        const QString path = file(QStringLiteral("K.RAV"));
        writeFile(path, QStringLiteral("<p>πρώτο</p>"));
        ReportProject p;
        // The program writes the path with the Windows separator.
        p.setProjectFile(practice->path() + QStringLiteral("\\K.RAV"));
        QVERIFY(p.renderHtml().contains(QStringLiteral("πρώτο")));
        writeFile(path, QStringLiteral("<p>δεύτερο</p>"));
        QVERIFY(p.renderHtml().contains(QStringLiteral("πρώτο")));
        QFile::remove(path);
        QVERIFY(p.renderHtml().contains(QStringLiteral("πρώτο")));

        // Another file is another report.
        writeFile(file(QStringLiteral("M.RAV")), QStringLiteral("<p>άλλο</p>"));
        p.setProjectFile(file(QStringLiteral("M.RAV")));
        QVERIFY(p.renderHtml().contains(QStringLiteral("άλλο")));
    }

    void brokenTemplateIsReported()
    {
        writeFile(file(QStringLiteral("B.RAV")), QStringLiteral("{{#C1}}<p>{{POSO}}</p>"));
        ReportProject p;
        p.setProjectFile(file(QStringLiteral("B.RAV")));
        QVERIFY_THROWS_EXCEPTION(ReportError, p.renderHtml());
    }

    void closedDataSetIsOpenedQuietlyAndClosedAgain()
    {
        addExpenses();
        DataSet q(&practice->conn());
        q.setSql(QStringLiteral("SELECT PERIGRAFH FROM EKSODA ORDER BY HMEROMHNIA"));
        SignalCount heard(&q);
        writeFile(file(QStringLiteral("T.RAV")), QStringLiteral("{{#C1}}[{{PERIGRAFH}}]{{/C1}}"));
        ReportProject p;
        p.setProjectFile(file(QStringLiteral("T.RAV")));
        p.addConnection(QStringLiteral("C1"), &q);
        QString got;
        ReportProject::setTestSink([&](const QString &projectFile, const QString &html) {
            QCOMPARE(projectFile, file(QStringLiteral("T.RAV")));
            got = html;
        });
        p.execute();
        QCOMPARE(got, QStringLiteral("[Ενοίκιο][Γάντια][Ρεύμα]"));
        QVERIFY(!q.isOpen());
        QCOMPARE(heard.total(), 0);
        QVERIFY(!q.signalsBlocked());
    }

    void openDataSetKeepsRowSortAndEdit()
    {
        addExpenses();
        DataSet t(&practice->conn());
        t.setTableName(QStringLiteral("EKSODA"));
        t.open();
        t.setSort(QStringLiteral("POSO DESC"));
        t.moveTo(1);
        t.setFieldText(QStringLiteral("PERIGRAFH"), QStringLiteral("Γάντια νιτριλίου"));
        QCOMPARE(t.state(), DataSetState::Edit);
        SignalCount heard(&t);

        writeFile(file(QStringLiteral("T.RAV")), QStringLiteral("{{#C1}}[{{PERIGRAFH}}]{{/C1}}"));
        ReportProject p;
        p.setProjectFile(file(QStringLiteral("T.RAV")));
        p.addConnection(QStringLiteral("C1"), &t);
        // One data set may feed two connections.
        p.addConnection(QStringLiteral("C2"), &t);
        QCOMPARE(p.renderHtml(), QStringLiteral("[Ενοίκιο][Γάντια νιτριλίου][Ρεύμα]"));

        QVERIFY(t.isOpen());
        QCOMPARE(t.recNo(), 1);
        QCOMPARE(t.state(), DataSetState::Edit);
        QCOMPARE(t.fieldText(QStringLiteral("PERIGRAFH")), QStringLiteral("Γάντια νιτριλίου"));
        QCOMPARE(heard.total(), 0);
        QVERIFY(!t.signalsBlocked());
        // Nothing was posted behind the user's back.
        QCOMPARE(practice->scalar(QStringLiteral("SELECT COUNT(*) FROM EKSODA WHERE PERIGRAFH='Γάντια'")).toInt(), 1);
    }

    void failedReadLeavesOtherDataSetsAsFound()
    {
        addExpenses();
        DataSet good(&practice->conn());
        good.setSql(QStringLiteral("SELECT PERIGRAFH FROM EKSODA"));
        DataSet bad(&practice->conn());
        bad.setSql(QStringLiteral("SELECT * FROM NO_SUCH_TABLE"));
        writeFile(file(QStringLiteral("T.RAV")), QStringLiteral("{{#A}}{{PERIGRAFH}}{{/A}}{{#B}}x{{/B}}"));
        ReportProject p;
        p.setProjectFile(file(QStringLiteral("T.RAV")));
        p.addConnection(QStringLiteral("A"), &good);
        p.addConnection(QStringLiteral("B"), &bad);
        QVERIFY_THROWS_EXCEPTION(DbError, p.renderHtml());
        QVERIFY(!good.isOpen());
        QVERIFY(!good.signalsBlocked());
        QSignalSpy reset(&good, &DataSet::dataReset);
        good.open();
        QCOMPARE(reset.count(), 1);
    }

    void longTableRepeatsItsTitleRowOnEveryPage()
    {
        const int customers = 10000;
        {
            DbTransaction tx(practice->conn());
            DbStatement ins(practice->conn(),
                            QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO, ONOMA, THLEFWNO_1) VALUES (?, ?, ?)"));
            for (int i = 1; i <= customers; ++i) {
                ins.bindAll({QStringLiteral("Παπαδόπουλος %1").arg(i, 5, 10, QLatin1Char('0')),
                             QStringLiteral("Γιώργος"), QStringLiteral("22%1").arg(i, 6, 10, QLatin1Char('0'))});
                ins.step();
                ins.reset();
            }
            tx.commit();
        }
        DataSet q(&practice->conn());
        q.setSql(QStringLiteral("SELECT EPWNYMO, ONOMA, THLEFWNO_1 FROM STOIXEIA_PELATH ORDER BY ID"));
        writeFile(file(QStringLiteral("LIST.RAV")),
                  QStringLiteral("<html><body><h2>Κατάλογος πελατών</h2>"
                                 "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"2\">"
                                 "<thead><tr><th>Επώνυμο</th><th>Όνομα</th><th>Τηλέφωνο</th></tr></thead><tbody>"
                                 "{{#RvDataSetConnection7}}<tr><td>{{EPWNYMO}}</td><td>{{ONOMA}}</td><td>{{THLEFWNO_1}}</td></tr>{{/RvDataSetConnection7}}"
                                 "</tbody></table></body></html>"));
        ReportProject p;
        p.setProjectFile(file(QStringLiteral("LIST.RAV")));
        p.addConnection(QStringLiteral("RvDataSetConnection7"), &q);
        const QString pdf = file(QStringLiteral("list.pdf"));
        QElapsedTimer timer;
        timer.start();
        p.renderPdf(pdf);
        qInfo("%d rows rendered to PDF in %lld ms", customers, timer.elapsed());

        const QStringList pages = pdfPages(pdf);
        QVERIFY2(pages.size() > 100, qPrintable(QString::number(pages.size())));
        for (int i = 0; i < pages.size(); ++i)
            QVERIFY2(squeezed(pages[i]).contains(QStringLiteral("Επώνυμο Όνομα Τηλέφωνο")), qPrintable(QString::number(i + 1)));
        QVERIFY(pages.first().contains(QStringLiteral("Κατάλογος πελατών")));
        QVERIFY(pages.first().contains(QStringLiteral("Παπαδόπουλος 00001")));
        QVERIFY(pages.last().contains(QStringLiteral("Παπαδόπουλος 10000")));
        // Every row printed once, none lost at a page break.
        const QString all = pages.join(QString());
        QCOMPARE(all.count(QStringLiteral("Γιώργος")), customers);
    }

    void outputDialogOffersPreviewFirst()
    {
        ReportOutputDialog d(QStringLiteral("/tmp/x.pdf"));
        auto *preview = child<QRadioButton>(&d, "rbPreview");
        auto *toFile = child<QRadioButton>(&d, "rbFile");
        auto *name = child<QLineEdit>(&d, "edFileName");
        auto *ok = child<QPushButton>(&d, "btnOK");
        QVERIFY(preview->isChecked());
        QCOMPARE(d.destination(), ReportOutputDialog::Preview);
        QVERIFY(!name->isEnabled());
        toFile->setChecked(true);
        QVERIFY(name->isEnabled());
        name->clear();
        QVERIFY(!ok->isEnabled());
        name->setText(QStringLiteral("/tmp/αναφορά"));
        QVERIFY(ok->isEnabled());
        QCOMPARE(d.destination(), ReportOutputDialog::File);
        QCOMPARE(d.fileName(), QStringLiteral("/tmp/αναφορά.pdf"));
    }

    void executeToFileWritesThePdf()
    {
        addExpenses();
        DataSet q(&practice->conn());
        q.setSql(QStringLiteral("SELECT PERIGRAFH FROM EKSODA ORDER BY HMEROMHNIA"));
        writeFile(file(QStringLiteral("T.RAV")), QStringLiteral("<p>Έξοδα: {{#C1}}{{PERIGRAFH}} {{/C1}}</p>"));
        ReportProject p;
        p.setProjectFile(file(QStringLiteral("T.RAV")));
        p.addConnection(QStringLiteral("C1"), &q);

        const QString pdf = file(QStringLiteral("έξοδα.pdf"));
        whenModal<ReportOutputDialog>([&](ReportOutputDialog *d) {
            child<QRadioButton>(d, "rbFile")->setChecked(true);
            child<QLineEdit>(d, "edFileName")->setText(pdf);
            child<QPushButton>(d, "btnOK")->click();
        });
        p.execute();
        QCOMPARE(squeezed(pdfText(pdf)), QStringLiteral("Έξοδα: Ενοίκιο Γάντια Ρεύμα"));
        QVERIFY(!q.isOpen());

        // Cancelled: no output at all.
        QFile::remove(pdf);
        whenModal<ReportOutputDialog>([&](ReportOutputDialog *d) {
            child<QRadioButton>(d, "rbFile")->setChecked(true);
            child<QLineEdit>(d, "edFileName")->setText(pdf);
            d->reject();
        });
        p.execute();
        QVERIFY(!QFile::exists(pdf));
    }

    void executePreviewShowsThePages()
    {
        writeFile(file(QStringLiteral("T.RAV")), QStringLiteral("<p>α</p><p style=\"page-break-before: always\">β</p>"));
        ReportProject p;
        p.setProjectFile(file(QStringLiteral("T.RAV")));
        int pagesShown = -1;
        whenModal<ReportOutputDialog>([&](ReportOutputDialog *d) {
            whenModal<QPrintPreviewDialog>([&](QPrintPreviewDialog *preview) {
                if (auto *w = preview->findChild<QPrintPreviewWidget *>())
                    pagesShown = w->pageCount();
                preview->reject();
            });
            child<QPushButton>(d, "btnOK")->click();
        });
        p.execute();
        QCOMPARE(pagesShown, 2);
    }
};

MOLARIX_TEST(ReportEngineTest)
#include "test_engine.moc"
