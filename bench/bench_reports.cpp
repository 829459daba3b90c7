// Report engine on a long list: 10,000 customers, the list report of the
// customer printouts, timed stage by stage.
//   QT_QPA_PLATFORM=offscreen ./bench_reports
#include "data/appstate.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "data/schema.h"
#include "reports/reportengine.h"
#include "reports/reportoutput.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <benchmark/benchmark.h>

namespace {

struct Practice {
    QTemporaryDir dir;
    DbConnection conn;
    std::unique_ptr<DataSet> list;
    std::unique_ptr<ReportProject> project;

    explicit Practice(int customers)
    {
        Schema::createDatabase(dir.path());
        AppDirectory = QDir::toNativeSeparators(dir.path());
        DbConnectionString = BuildConnectionString(AppDirectory);
        conn.setConnectionString(DbConnectionString);
        conn.open();
        {
            DbTransaction tx(conn);
            DbStatement ins(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO, ONOMA, HMEROMHNIA_GENNHSEWS,"
                                                 " DIEYTHYNSH, THLEFWNO_1) VALUES (?, ?, ?, ?, ?)"));
            for (int i = 1; i <= customers; ++i) {
                ins.bindAll({QStringLiteral("Παπαδόπουλος %1").arg(i), QStringLiteral("Γιώργος"),
                             QStringLiteral("1970-05-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0')),
                             QStringLiteral("Λεωφόρος Μακαρίου %1, Λευκωσία").arg(i % 300),
                             QStringLiteral("22%1").arg(i, 6, 10, QLatin1Char('0'))});
                ins.step();
                ins.reset();
            }
            tx.commit();
        }
        QFile f(dir.filePath(QStringLiteral("LIST.RAV")));
        f.open(QIODevice::WriteOnly);
        f.write(QStringLiteral(
                    "<html><body><h2>Κατάλογος πελατών</h2>"
                    "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"2\">"
                    "<thead><tr><th>Επώνυμο</th><th>Όνομα</th><th>Γέννηση</th><th>Διεύθυνση</th><th>Τηλέφωνο</th></tr></thead>"
                    "<tbody>{{#RvDataSetConnection7}}<tr><td>{{EPWNYMO}}</td><td>{{ONOMA}}</td><td>{{HMEROMHNIA_GENNHSEWS}}</td>"
                    "<td>{{DIEYTHYNSH}}</td><td>{{THLEFWNO_1}}</td></tr>{{/RvDataSetConnection7}}</tbody></table></body></html>")
                    .toUtf8());
        f.close();
        list = std::make_unique<DataSet>(&conn);
        list->setSql(QStringLiteral("SELECT EPWNYMO, ONOMA, HMEROMHNIA_GENNHSEWS, DIEYTHYNSH, THLEFWNO_1 FROM STOIXEIA_PELATH"));
        project = std::make_unique<ReportProject>();
        project->setProjectFile(dir.filePath(QStringLiteral("LIST.RAV")));
        project->addConnection(QStringLiteral("RvDataSetConnection7"), list.get());
    }
};

Practice &practice()
{
    static Practice p(10000);
    return p;
}

void BM_RenderHtml(benchmark::State &state)
{
    Practice &p = practice();
    for (auto _ : state)
        benchmark::DoNotOptimize(p.project->renderHtml());
}
BENCHMARK(BM_RenderHtml)->Unit(benchmark::kMillisecond);

void BM_BuildDocument(benchmark::State &state)
{
    const QString html = practice().project->renderHtml();
    for (auto _ : state)
        benchmark::DoNotOptimize(ReportOutput::buildDocument(html));
}
BENCHMARK(BM_BuildDocument)->Unit(benchmark::kMillisecond);

void BM_WritePdf(benchmark::State &state)
{
    Practice &p = practice();
    const QString html = p.project->renderHtml();
    auto doc = ReportOutput::buildDocument(html);
    const QString pdf = p.dir.filePath(QStringLiteral("list.pdf"));
    for (auto _ : state)
        ReportOutput::writePdf(*doc, pdf, QStringLiteral("LIST"));
}
BENCHMARK(BM_WritePdf)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_WholeReportToPdf(benchmark::State &state)
{
    Practice &p = practice();
    const QString pdf = p.dir.filePath(QStringLiteral("list.pdf"));
    for (auto _ : state)
        p.project->renderPdf(pdf);
}
BENCHMARK(BM_WholeReportToPdf)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
