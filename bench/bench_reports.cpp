// Report output on long lists: the customer list report (LIST.RAV as the
// program ships it) for 1,000, 10,000 and 100,000 customers, stage by stage,
// and, as the floor for the PDF, a bare loop that draws the same table (cell
// texts, row heights, grid, header on every page) with QPainter onto a
// QPdfWriter.
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
#include "bench/benchpractice.h"
#include "bench/benchtiny.h"
#include <benchmark/benchmark.h>
#include <map>
#include <utility>

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
        Bench::openNewPractice(dir.path());
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

// Closed before main returns: a connection must not outlive the registry of
// open connections, which static destruction may take first.
std::map<int, std::unique_ptr<Practice>> practices;

Practice &practice(int customers)
{
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

// The floor: the same work as the report's table, drawn bare with QPainter
// onto a PDF at the same resolution: the same cell texts read from the same
// data set, the report's font, column widths, alignments and paddings, each
// row as tall as its tallest wrapped cell, the grid, and the shaded header
// on top of every page.
void BM_BarePainterFloor(benchmark::State &state)
{
    Practice &p = practice(int(state.range(0)));
    const QString pdf = p.dir.filePath(QStringLiteral("floor.pdf"));
    const char *const fields[] = {"EPWNYMO", "ONOMA", "FYLO", "HMEROMHNIA_GENNHSEWS", "DIEYTHYNSH",
                                  "THLEFWNO_1", "THLEFWNO_2", "EPAGGELMA", "TAMEIO"};
    const QStringList titles = {QStringLiteral("Α/Α"), QStringLiteral("Επώνυμο"), QStringLiteral("Όνομα"),
                                QStringLiteral("Φύλο"), QStringLiteral("Ημερ.Γενν."), QStringLiteral("Διεύθυνση"),
                                QStringLiteral("Τηλέφωνο 1"), QStringLiteral("Τηλέφωνο 2"), QStringLiteral("Επάγγελμα"),
                                QStringLiteral("Ταμείο")};
    const double percent[] = {4, 16, 11, 6, 9, 15, 9.5, 9.5, 12, 8};
    const Qt::Alignment align[] = {Qt::AlignRight, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignHCenter,
                                   Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter};
    int pages = 0;
    for (auto _ : state) {
        p.list->open();
        QPdfWriter writer(pdf);
        writer.setResolution(600);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        QPainter painter(&writer);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(7);
        QFont bold = font;
        bold.setBold(true);
        const int width = writer.width(), height = writer.height();
        const int px = writer.resolution() / 96;   // a CSS pixel
        std::vector<int> cols(11, 0);
        for (int c = 0; c < 10; ++c)
            cols[size_t(c) + 1] = cols[size_t(c)] + int(width * percent[c] / 100);
        std::vector<int> index;
        for (const char *f : fields)
            index.push_back(p.list->fieldIndex(QString::fromLatin1(f)));
        const QColor grid(0x40, 0x40, 0x40), shade(0xdb, 0xe7, 0xf5);
        QStringList cells = titles;
        auto flags = [&](size_t c, bool header) { return int((header ? Qt::TextSingleLine : Qt::TextWordWrap) | align[c]); };
        auto inner = [&](size_t c, int pad) { return cols[c + 1] - cols[c] - px - 2 * pad; };
        // A row is as tall as its tallest wrapped cell.
        auto rowHeight = [&](int pad, bool header) {
            painter.setFont(header ? bold : font);
            int tallest = 0;
            for (size_t c = 0; c < 10; ++c)
                tallest = std::max(
                    tallest, painter.boundingRect(QRect(0, 0, inner(c, pad), height), flags(c, header), cells[qsizetype(c)]).height());
            return tallest + 2 * pad + px;
        };
        auto drawRow = [&](int y, int h, int pad, bool header) {
            painter.setFont(header ? bold : font);
            if (header)
                painter.fillRect(QRect(0, y, cols[10], h), shade);
            for (size_t c = 0; c < 10; ++c)
                painter.drawText(QRect(cols[c] + px + pad, y + px + pad, inner(c, pad), h - px - 2 * pad), flags(c, header),
                                 cells[qsizetype(c)]);
            painter.fillRect(QRect(0, y, cols[10], px), grid);
            for (size_t c = 0; c <= 10; ++c)
                painter.fillRect(QRect(std::min(cols[c], cols[10] - px), y, px, h + px), grid);
        };
        const int headerHeight = rowHeight(3 * px, true);
        drawRow(0, headerHeight, 3 * px, true);
        int y = headerHeight;
        pages = 1;
        for (int r = 0; r < p.list->rowCount(); ++r) {
            cells[0] = QString::number(r + 1);
            for (size_t c = 0; c < index.size(); ++c)
                cells[qsizetype(c) + 1] = p.list->displayText(r, index[c]);
            const int h = rowHeight(2 * px, false);
            if (y + h + px > height) {
                // A row is never split: it goes, under the header, to the next page.
                painter.fillRect(QRect(0, y, cols[10], px), grid);
                writer.newPage();
                ++pages;
                const QStringList row = std::exchange(cells, titles);
                drawRow(0, headerHeight, 3 * px, true);
                cells = row;
                y = headerHeight;
            }
            drawRow(y, h, 2 * px, false);
            y += h;
        }
        painter.fillRect(QRect(0, y, cols[10], px), grid);
        painter.end();
        p.list->close();
    }
    state.counters["pages"] = pages;
}

}   // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::initialize(&argc, argv);
    for (const auto &[name, run] : {std::pair{"BM_RenderHtml", &BM_RenderHtml}, std::pair{"BM_ListToPdf", &BM_ListToPdf},
                                    std::pair{"BM_BarePainterFloor", &BM_BarePainterFloor}}) {
        auto *b = benchmark::RegisterBenchmark(name, run)->Unit(benchmark::kMillisecond)->Iterations(1);
        if (Bench::Tiny)
            b->Arg(200);
        else
            b->Arg(1000)->Arg(10000)->Arg(100000);
    }
    const int rc = Bench::run();
    practices.clear();
    return rc;
}
