// Report output on long lists: the customer list report (LIST.RAV as the
// program ships it) for 1,000, 10,000 and 100,000 customers, stage by stage,
// and, as the floor for the PDF, a bare loop that draws the same cell texts
// row by row with QPainter onto a QPdfWriter.
//   QT_QPA_PLATFORM=offscreen ./bench_reports
// The whole report's time should grow in proportion to the rows, and the
// 10,000-row PDF stay within a small multiple of the floor.
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/practicefile.h"
#include "data/practice/schema.h"
#include "reports/reportengine.h"
#include "reports/reportoutput.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

namespace {

const char *const Statement = "SELECT ID, ONOMA, EPWNYMO, FYLO, HMEROMHNIA_GENNHSEWS, THLEFWNO_1, THLEFWNO_2, "
                              "DIEYTHYNSH, EPAGGELMA, TAMEIO FROM STOIXEIA_PELATH";

struct Practice {
    QTemporaryDir dir;
    DbConnection conn;
    std::unique_ptr<DataSet> list;
    std::unique_ptr<ReportProject> project;

    explicit Practice(int customers)
    {
        Schema::createDatabase(dir.path(), QString::fromLatin1(Schema::FirstPassword));
        PracticeFile::unlock(QDir(dir.path()).absoluteFilePath(QStringLiteral("data.mdb")), QString::fromLatin1(Schema::FirstPassword));
        AppDirectory = QDir::toNativeSeparators(dir.path());
        DbConnectionString = BuildConnectionString(AppDirectory);
        conn.setConnectionString(DbConnectionString);
        conn.open();
        {
            DbTransaction tx(conn);
            DbStatement ins(conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO, ONOMA, FYLO, HMEROMHNIA_GENNHSEWS,"
                                                 " DIEYTHYNSH, THLEFWNO_1, THLEFWNO_2, EPAGGELMA, TAMEIO)"
                                                 " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            for (int i = 1; i <= customers; ++i) {
                ins.bindAll({QStringLiteral("Παπαδόπουλος %1").arg(i), QStringLiteral("Γιώργος"),
                             i % 2 ? QStringLiteral("ΑΡΡΕΝ") : QStringLiteral("ΘΗΛΥ"),
                             QStringLiteral("1970-05-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0')),
                             QStringLiteral("Λεωφόρος Μακαρίου %1, Λευκωσία").arg(i % 300),
                             QStringLiteral("22%1").arg(i, 6, 10, QLatin1Char('0')),
                             QStringLiteral("99%1").arg(i, 6, 10, QLatin1Char('0')), QStringLiteral("Εκπαιδευτικός"),
                             QStringLiteral("ΓεΣΥ")});
                ins.step();
                ins.reset();
            }
            tx.commit();
        }
        const QString shipped = QCoreApplication::applicationDirPath() + QStringLiteral("/../reports/LIST.RAV");
        QFile::copy(shipped, dir.filePath(QStringLiteral("LIST.RAV")));
        list = std::make_unique<DataSet>(&conn);
        list->setSql(QString::fromUtf8(Statement));
        project = std::make_unique<ReportProject>();
        project->setProjectFile(dir.filePath(QStringLiteral("LIST.RAV")));
        project->addConnection(QStringLiteral("RvDataSetConnection7"), list.get());
    }
};

Practice &practice(int customers)
{
    static std::map<int, std::unique_ptr<Practice>> practices;
    auto &p = practices[customers];
    if (!p)
        p = std::make_unique<Practice>(customers);
    return *p;
}

void BM_RenderHtml(benchmark::State &state)
{
    Practice &p = practice(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(p.project->renderHtml());
}
BENCHMARK(BM_RenderHtml)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The whole File output: rendering, laying out and writing the PDF.
void BM_ListToPdf(benchmark::State &state)
{
    Practice &p = practice(int(state.range(0)));
    const QString pdf = p.dir.filePath(QStringLiteral("list.pdf"));
    int pages = 0;
    for (auto _ : state) {
        const ReportOutput::Pages out(p.project->renderHtml());
        ReportOutput::writePdf(out, pdf, QStringLiteral("LIST"));
        pages = out.pageCount();
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_ListToPdf)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The floor: the same cell texts, read from the same data set, drawn row by
// row onto a PDF at the same resolution, font and column widths.
void BM_BarePainterFloor(benchmark::State &state)
{
    Practice &p = practice(int(state.range(0)));
    const QString pdf = p.dir.filePath(QStringLiteral("floor.pdf"));
    const char *const fields[] = {"EPWNYMO", "ONOMA", "FYLO", "HMEROMHNIA_GENNHSEWS", "DIEYTHYNSH",
                                  "THLEFWNO_1", "THLEFWNO_2", "EPAGGELMA", "TAMEIO"};
    const double percent[] = {4, 13, 9, 6, 10, 18, 10.5, 10.5, 12, 7};
    for (auto _ : state) {
        p.list->open();
        QPdfWriter writer(pdf);
        writer.setResolution(600);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        QPainter painter(&writer);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(7);
        painter.setFont(font);
        const int width = writer.width(), height = writer.height();
        const int rowHeight = painter.fontMetrics().height() * 3 / 2;
        std::vector<int> cols(11, 0);
        for (int c = 0; c < 10; ++c)
            cols[size_t(c) + 1] = cols[size_t(c)] + int(width * percent[c] / 100);
        std::vector<int> index;
        for (const char *f : fields)
            index.push_back(p.list->fieldIndex(QString::fromLatin1(f)));
        int y = 0;
        for (int r = 0; r < p.list->rowCount(); ++r) {
            if (y + rowHeight > height) {
                writer.newPage();
                y = 0;
            }
            painter.drawText(QRect(cols[0], y, cols[1] - cols[0], rowHeight), Qt::AlignRight | Qt::TextWordWrap,
                             QString::number(r + 1));
            for (size_t c = 0; c < index.size(); ++c)
                painter.drawText(QRect(cols[c + 1], y, cols[c + 2] - cols[c + 1], rowHeight), Qt::TextWordWrap,
                                 p.list->displayText(r, index[c]));
            painter.drawLine(0, y, width, y);
            y += rowHeight;
        }
        painter.end();
        p.list->close();
    }
}
BENCHMARK(BM_BarePainterFloor)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}   // namespace

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
