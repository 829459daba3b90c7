#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tests/reports/test_engine_util.h"

#include "gui/guard.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "reports/reportengine.h"
#include "reports/reportoutput.h"

#include <QApplication>
#include <QDir>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QProgressDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

using namespace ReportTest;

namespace {

void writeFile(const QString &path, const QString &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

// Runs `act` on the modal window of type W as soon as it is shown (looking
// for it for two minutes at most: a loaded machine may be slow to show it).
template <class W>
void whenModal(std::function<void(W *)> act, QDeadlineTimer deadline = QDeadlineTimer(120000))
{
    QTimer::singleShot(20, [act, deadline] {
        if (auto *w = qobject_cast<W *>(QApplication::activeModalWidget()))
            act(w);
        else if (!deadline.hasExpired())
            whenModal<W>(act, deadline);
    });
}

// Every signal by which a bound control would notice a data set.
struct Heard {
    explicit Heard(DataSet *ds)
        : reset(ds, &DataSet::dataReset), current(ds, &DataSet::currentChanged), state(ds, &DataSet::stateChanged)
    {
    }
    qsizetype total() const { return reset.count() + current.count() + state.count(); }
    QSignalSpy reset, current, state;
};

}   // namespace

class ReportEngineTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempPractice> practice;
    std::unique_ptr<ReportProject> project;

    QString file(const QString &name) const { return QDir(practice->path()).filePath(name); }
    ReportProject &report(const QString &templateText, const QList<QPair<QString, DataSet *>> &connections = {})
    {
        writeFile(file(QStringLiteral("T.RAV")), templateText);
        project = std::make_unique<ReportProject>();
        project->setProjectFile(file(QStringLiteral("T.RAV")));
        for (const auto &c : connections)
            project->addConnection(c.first, c.second);
        return *project;
    }
    std::unique_ptr<DataSet> expenses(const QString &sql)
    {
        for (const char *row : {"#3/5/2008#, 12.5, 2.25, 'Γάντια'", "#1/20/2008#, 100, 15, 'Ενοίκιο'",
                                "#12/31/2008#, 7.125, 0, 'Ρεύμα'"})
            practice->exec(QStringLiteral("INSERT INTO EKSODA (HMEROMHNIA, POSO, VAT, PERIGRAFH) VALUES (")
                           + QString::fromUtf8(row) + u')');
        auto ds = std::make_unique<DataSet>(&practice->conn());
        ds->setSql(sql);
        return ds;
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
        project.reset();
        practice.reset();
    }

    void sectionsRepeatRowsWithDisplayTexts()
    {
        auto q = expenses(QStringLiteral("SELECT HMEROMHNIA, Format(POSO,'0.00') AS POSO, VAT, PERIGRAFH FROM EKSODA ORDER BY HMEROMHNIA"));
        DataSet none(&practice->conn());
        none.setSql(QStringLiteral("SELECT * FROM EKSODA WHERE POSO < 0"));
        const QString html =
            report(QStringLiteral("{{#C1}}[{{RECNO}}|{{HMEROMHNIA}}|{{POSO}}|{{VAT}}|{{PERIGRAFH}}]{{/C1}}"
                                  " count={{C1_COUNT}}/{{C2_COUNT}} today={{TODAY}} {{^C2}}κενό{{/C2}}{{#C2}}x{{/C2}}"),
                   {{QStringLiteral("C1"), q.get()}, {QStringLiteral("C2"), &none}})
                .renderHtml();
        QCOMPARE(html, QStringLiteral("[1|20/1/2008|100,00|15|Ενοίκιο][2|5/3/2008|12,50|2,25|Γάντια]"
                                      "[3|31/12/2008|7,13|0|Ρεύμα] count=3/0 today=9/4/2008 κενό"));
    }

    void markupInDataPrintsAsTyped()
    {
        practice->conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH (ONOMA, EPWNYMO) VALUES (?, ?)"),
                                       {QStringLiteral("Τζων \"Ο'Νηλ\""), QStringLiteral("<b>Παπάς & Υιοί</b>")});
        DataSet q(&practice->conn());
        q.setSql(QStringLiteral("SELECT ONOMA, EPWNYMO FROM STOIXEIA_PELATH"));
        ReportProject &p = report(QStringLiteral("<p>{{#C}}{{EPWNYMO}} / {{ONOMA}}{{/C}}</p>"), {{QStringLiteral("C"), &q}});
        QVERIFY(!p.renderHtml().contains(QStringLiteral("<b>")));
        p.renderPdf(file(QStringLiteral("l.pdf")));
        QCOMPARE(squeezed(pdfText(file(QStringLiteral("l.pdf")))), QStringLiteral("<b>Παπάς & Υιοί</b> / Τζων \"Ο'Νηλ\""));
    }

    void missingOrBrokenFileIsReported()
    {
        const QString path = file(QStringLiteral("APODEIKSEIS.RAV"));
        ReportProject p;
        p.setProjectFile(path);
        const QString expected = QStringLiteral("The following reporting project does not exist:\n\"") + path + u'"';
        QVERIFY_THROWS_EXCEPTION(ReportError, p.execute());
        // Through a window's handler it reaches the general error report.
        runGuarded([&] { p.execute(); });
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
        QVERIFY2(shown[0].text.startsWith(expected), qPrintable(shown[0].text));

        writeFile(path, QStringLiteral("{{#C1}}<p>unclosed</p>"));
        QVERIFY_THROWS_EXCEPTION(ReportError, p.renderHtml());
    }

    void fileReadOnceAndKept()
    {
        writeFile(file(QStringLiteral("K.RAV")), QStringLiteral("πρώτο"));
        ReportProject p;
        // The program writes the path with the Windows separator.
        p.setProjectFile(practice->path() + QStringLiteral("\\K.RAV"));
        QCOMPARE(p.renderHtml(), QStringLiteral("πρώτο"));
        writeFile(file(QStringLiteral("K.RAV")), QStringLiteral("δεύτερο"));
        QCOMPARE(p.renderHtml(), QStringLiteral("πρώτο"));
        QFile::remove(file(QStringLiteral("K.RAV")));
        QCOMPARE(p.renderHtml(), QStringLiteral("πρώτο"));
        writeFile(file(QStringLiteral("M.RAV")), QStringLiteral("άλλο"));
        p.setProjectFile(file(QStringLiteral("M.RAV")));
        QCOMPARE(p.renderHtml(), QStringLiteral("άλλο"));
    }

    void dataSetsLeftAsFoundAndUnheard()
    {
        auto closed = expenses(QStringLiteral("SELECT PERIGRAFH FROM EKSODA ORDER BY HMEROMHNIA"));
        DataSet open(&practice->conn());
        open.setTableName(QStringLiteral("EKSODA"));
        open.open();
        open.setSort(QStringLiteral("POSO DESC"));
        open.moveTo(1);
        open.setFieldText(QStringLiteral("PERIGRAFH"), QStringLiteral("Γάντια νιτριλίου"));
        Heard closedHeard(closed.get()), openHeard(&open);

        QString sunk;
        ReportProject::setTestSink([&](const QString &projectFile, const QString &html) {
            QCOMPARE(projectFile, file(QStringLiteral("T.RAV")));
            sunk = html;
        });
        // One data set may feed two connections.
        report(QStringLiteral("{{#A}}[{{PERIGRAFH}}]{{/A}} {{#B}}[{{PERIGRAFH}}]{{/B}}{{B2_COUNT}}"),
               {{QStringLiteral("A"), closed.get()}, {QStringLiteral("B"), &open}, {QStringLiteral("B2"), &open}})
            .execute();
        QCOMPARE(sunk, QStringLiteral("[Ενοίκιο][Γάντια][Ρεύμα] [Ενοίκιο][Γάντια νιτριλίου][Ρεύμα]3"));

        QVERIFY(!closed->isOpen());
        QVERIFY(open.isOpen());
        QCOMPARE(open.recNo(), 1);
        QCOMPARE(open.state(), DataSetState::Edit);
        QCOMPARE(open.fieldText(QStringLiteral("PERIGRAFH")), QStringLiteral("Γάντια νιτριλίου"));
        QCOMPARE(closedHeard.total() + openHeard.total(), 0);
        QVERIFY(!closed->signalsBlocked() && !open.signalsBlocked());
        QCOMPARE(practice->scalar(QStringLiteral("SELECT COUNT(*) FROM EKSODA WHERE PERIGRAFH='Γάντια'")).toInt(), 1);
    }

    void failedReadLeavesOtherDataSetsAsFound()
    {
        auto good = expenses(QStringLiteral("SELECT PERIGRAFH FROM EKSODA"));
        DataSet bad(&practice->conn());
        bad.setSql(QStringLiteral("SELECT * FROM NO_SUCH_TABLE"));
        ReportProject &p = report(QStringLiteral("{{#A}}{{PERIGRAFH}}{{/A}}"),
                                  {{QStringLiteral("A"), good.get()}, {QStringLiteral("B"), &bad}});
        QVERIFY_THROWS_EXCEPTION(DbError, p.renderHtml());
        QVERIFY(!good->isOpen());
        QSignalSpy reset(good.get(), &DataSet::dataReset);
        good->open();
        QCOMPARE(reset.count(), 1);
    }

    void longTableRepeatsItsTitleRowOnEveryPage()
    {
        const int customers = 10000;
        {
            DbTransaction tx(practice->conn());
            DbStatement ins(practice->conn(), QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO, ONOMA) VALUES (?, ?)"));
            for (int i = 1; i <= customers; ++i) {
                ins.bindAll({QStringLiteral("Παπαδόπουλος %1").arg(i, 5, 10, QLatin1Char('0')), QStringLiteral("Γιώργος")});
                ins.step();
                ins.reset();
            }
            tx.commit();
        }
        DataSet q(&practice->conn());
        q.setSql(QStringLiteral("SELECT EPWNYMO, ONOMA FROM STOIXEIA_PELATH ORDER BY ID"));
        ReportProject &p = report(
            QStringLiteral("<h2>Κατάλογος πελατών</h2><table width=\"100%\" border=\"1\" cellspacing=\"0\">"
                           "<thead><tr><th>Επώνυμο</th><th>Όνομα</th></tr></thead><tbody>"
                           "{{#C}}<tr><td>{{EPWNYMO}}</td><td>{{ONOMA}}</td></tr>{{/C}}</tbody></table>"),
            {{QStringLiteral("C"), &q}});
        QElapsedTimer timer;
        timer.start();
        p.renderPdf(file(QStringLiteral("list.pdf")));
        qInfo("%d rows rendered to PDF in %lld ms", customers, timer.elapsed());

        const QStringList pages = pdfPages(file(QStringLiteral("list.pdf")));
        QVERIFY2(pages.size() > 100, qPrintable(QString::number(pages.size())));
        for (int i = 0; i < pages.size(); ++i)
            QVERIFY2(squeezed(pages[i]).contains(QStringLiteral("Επώνυμο Όνομα")),
                     qPrintable(QString::number(i + 1) + u' ' + squeezed(pages[i]).left(120)));
        QVERIFY(pages.first().contains(QStringLiteral("Παπαδόπουλος 00001")));
        QVERIFY(pages.last().contains(QStringLiteral("Παπαδόπουλος 10000")));
        // No row lost or doubled at a page break.
        QCOMPARE(pages.join(QString()).count(QStringLiteral("Γιώργος")), customers);
    }

    void narrowColumnsBreakLinesBetweenWordsOnly()
    {
        const QStringList words = {QStringLiteral("Ξενοδοχοϋπάλληλος"), QStringLiteral("Χατζηπαναγιώτου"),
                                   QStringLiteral("Αρχιεπισκόπου")};
        for (const QString &w : words)
            practice->exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO, EPAGGELMA) VALUES ('%1', '%1 και %1')").arg(w));
        DataSet q(&practice->conn());
        q.setSql(QStringLiteral("SELECT EPWNYMO, EPAGGELMA FROM STOIXEIA_PELATH ORDER BY ID"));
        ReportProject &p = report(
            QStringLiteral("<table width=\"100%\" border=\"1\" cellspacing=\"0\"><thead><tr><th width=\"6%\">Επώνυμο</th>"
                           "<th width=\"9%\">Επάγγελμα</th><th>Σημειώσεις</th></tr></thead><tbody>"
                           "{{#C}}<tr><td>{{EPWNYMO}}</td><td>{{EPAGGELMA}}</td><td></td></tr>{{/C}}</tbody></table>"),
            {{QStringLiteral("C"), &q}});
        p.renderPdf(file(QStringLiteral("narrow.pdf")));
        const QString text = pdfText(file(QStringLiteral("narrow.pdf")));
        // Each word whole, as often as it was printed.
        for (const QString &w : words)
            QVERIFY2(text.count(w) == 3, qPrintable(w + u'\n' + text));
        QVERIFY2(text.contains(QStringLiteral("Επάγγελμα")), qPrintable(text));
    }

    void stoppedOutputKeepsTheFileThatWasThere()
    {
        QString rows;
        for (int i = 1; i <= 400; ++i)
            rows += QStringLiteral("<tr><td>%1</td><td>Γραμμή %1</td></tr>").arg(i);
        const ReportOutput::Pages pages(QStringLiteral("<h1>Λίστα</h1><table width=\"100%\" border=\"1\" cellspacing=\"0\">"
                                                       "<thead><tr><th>Α/Α</th><th>Κείμενο</th></tr></thead>")
                                        + rows + QStringLiteral("</table><p>Τέλος λίστας</p>"));
        const QString pdf = file(QStringLiteral("λίστα.pdf"));
        writeFile(pdf, QStringLiteral("ό,τι υπήρχε"));

        qint64 seenTotal = -1, last = 0;
        bool steady = true;
        const bool finished = ReportOutput::writePdf(pages, pdf, QStringLiteral("Λίστα"), [&](qint64 done, qint64 total) {
            steady = steady && done > last && (seenTotal < 0 || total == seenTotal);
            seenTotal = total;
            last = done;
            return done < 150;
        });
        QVERIFY(!finished);
        QVERIFY(steady);
        QCOMPARE(last, 150);
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), QStringLiteral("ό,τι υπήρχε"));
        f.close();
        QCOMPARE(QDir(practice->path()).entryList({QStringLiteral("*.pdf*")}, QDir::Files), QStringList{QStringLiteral("λίστα.pdf")});

        // Not stopped: every row, the progress reaching its total.
        QVERIFY(ReportOutput::writePdf(pages, pdf, QStringLiteral("Λίστα"), [&](qint64 done, qint64 total) {
            last = done;
            seenTotal = total;
            return true;
        }));
        QCOMPARE(last, seenTotal);
        const QStringList printed = pdfPages(pdf);
        QVERIFY(printed.size() >= 2);
        QCOMPARE(pages.pageCount(), int(printed.size()));
        for (const QString &page : printed)
            QVERIFY(squeezed(page).contains(QStringLiteral("Α/Α Κείμενο")));
        QVERIFY(printed.last().contains(QStringLiteral("Γραμμή 400")));
        QVERIFY(printed.last().contains(QStringLiteral("Τέλος λίστας")));
        QCOMPARE(int(printed.join(QString()).count(QStringLiteral("Γραμμή "))), 400);
    }

    void progressWindowCancels()
    {
        QWidget owner;
        ReportProgress progress(QStringLiteral("LIST"), &owner);
        QProgressDialog *d = progress.dialog();
        auto *cancel = d->findChild<QPushButton *>();
        QVERIFY(cancel);
        QCOMPARE(cancel->text(), QStringLiteral("Ακύρωση"));
        const auto step = progress.callback();
        QVERIFY(step(10, 100));
        QCOMPARE(d->value(), 100);
        cancel->click();
        QVERIFY(!step(20, 100));
    }

    void outputDialogToFileOrCancelled()
    {
        auto q = expenses(QStringLiteral("SELECT PERIGRAFH FROM EKSODA ORDER BY HMEROMHNIA"));
        ReportProject &p = report(QStringLiteral("<p>Έξοδα: {{#C}}{{PERIGRAFH}} {{/C}}</p>"), {{QStringLiteral("C"), q.get()}});
        const QString pdf = file(QStringLiteral("έξοδα.pdf"));
        bool previewFirst = false, nameNeeded = false;
        whenModal<ReportOutputDialog>([&](ReportOutputDialog *d) {
            previewFirst = d->destination() == ReportOutputDialog::Preview;
            child<QRadioButton>(d, "rbFile")->setChecked(true);
            child<QLineEdit>(d, "edFileName")->clear();
            nameNeeded = !child<QPushButton>(d, "btnOK")->isEnabled();
            child<QLineEdit>(d, "edFileName")->setText(pdf.chopped(4));   // ".pdf" is added
            child<QPushButton>(d, "btnOK")->click();
        });
        p.execute();
        QVERIFY(previewFirst);
        QVERIFY(nameNeeded);
        QCOMPARE(squeezed(pdfText(pdf)), QStringLiteral("Έξοδα: Ενοίκιο Γάντια Ρεύμα"));

        QFile::remove(pdf);
        whenModal<ReportOutputDialog>([&](ReportOutputDialog *d) {
            child<QRadioButton>(d, "rbFile")->setChecked(true);
            child<QLineEdit>(d, "edFileName")->setText(pdf);
            d->reject();
        });
        p.execute();
        QVERIFY(!QFile::exists(pdf));
    }

    void previewShowsThePages()
    {
        ReportProject &p = report(QStringLiteral("<p>α</p><p style=\"page-break-before: always\">β</p>"));
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
