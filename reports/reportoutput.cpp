#include "reports/reportoutput.h"
#include "reports/reportengine.h"
#include "reports/paintrequest.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QImage>
#include <QLineEdit>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qreal LayoutDpi = 96.0;   // CSS pixels: border="1", width="200" mean what they mean in a browser
// Top-level paragraphs, headings and tables per rich-text piece: enough to
// fill a few pages, few enough that no piece grows costly to lay out.
constexpr int PieceElements = 120;

// The paint device the documents are laid out on; only its resolution matters.
QPaintDevice *layoutDevice()
{
    static QImage device = [] {
        QImage img(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = qRound(LayoutDpi / 0.0254);
        img.setDotsPerMeterX(dotsPerMeter);
        img.setDotsPerMeterY(dotsPerMeter);
        return img;
    }();
    return &device;
}

QFont reportFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Tahoma"), QStringLiteral("Arial")});
    f.setPointSizeF(10);
    return f;
}

// A document laid out at the page's width and no height: no pages of its
// own, so it is laid out exactly once, when its HTML is set.
std::unique_ptr<QTextDocument> layOut(const QString &html, qreal width)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->documentLayout()->setPaintDevice(layoutDevice());
    doc->setDefaultFont(reportFont());
    doc->setDocumentMargin(0);   // the page margins are the device's
    doc->setTextWidth(width);
    doc->setHtml(html);
    return doc;
}

// The text a cell's HTML shows: tags dropped, entities read, white space
// run together as a browser does.
QString cellText(QStringView html)
{
    QString out;
    out.reserve(html.size());
    bool space = false;
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar c = html[i];
        if (c == u'<') {
            const qsizetype end = html.indexOf(u'>', i);
            if (end < 0)
                break;
            const QStringView tag = html.mid(i + 1, end - i - 1);
            if (tag.startsWith(u"br", Qt::CaseInsensitive) && (tag.size() == 2 || !tag[2].isLetter())) {
                out += u'\n';
                space = false;
            }
            i = end;
            continue;
        }
        if (c.isSpace() && c != QChar(0xA0)) {
            space = true;
            continue;
        }
        if (space && !out.isEmpty() && !out.endsWith(u'\n'))
            out += u' ';
        space = false;
        if (c != u'&') {
            out += c;
            continue;
        }
        const qsizetype semi = html.indexOf(u';', i);
        if (semi < 0 || semi - i > 10) {
            out += c;
            continue;
        }
        const QStringView name = html.mid(i + 1, semi - i - 1);
        char32_t code = 0;
        if (name == u"amp")
            code = '&';
        else if (name == u"lt")
            code = '<';
        else if (name == u"gt")
            code = '>';
        else if (name == u"quot")
            code = '"';
        else if (name == u"apos")
            code = '\'';
        else if (name == u"nbsp")
            code = 0xA0;
        else if (name.startsWith(u"#x") || name.startsWith(u"#X"))
            code = name.mid(2).toUInt(nullptr, 16);
        else if (name.startsWith(u'#'))
            code = name.mid(1).toUInt();
        if (code == 0) {
            out += c;
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = semi;
    }
    return out;
}

// A row's tags alone: rows with the same skeleton are styled alike.
QString skeleton(QStringView row)
{
    QString out;
    bool inTag = false;
    for (QChar c : row) {
        if (c == u'<')
            inTag = true;
        if (inTag)
            out += c;
        if (c == u'>')
            inTag = false;
    }
    return out;
}

QList<QStringView> cellsOf(QStringView row)
{
    static const QRegularExpression cell(QStringLiteral("<t[dh]\\b[^>]*>(.*?)</t[dh]\\s*>"),
                                         QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::DotMatchesEverythingOption);
    QList<QStringView> cells;
    for (auto it = cell.globalMatch(row); it.hasNext();)
        cells.append(it.next().capturedView(1));
    return cells;
}

}   // namespace

// ---- what a report is made of ------------------------------------------------

struct ReportOutput::Pages::Item {
    enum Kind { Html,
                List } kind = Html;
    QString html;              // Html: a whole document; List: the table as written
    QString head;              // the report's <head>, for the list's styles
    QString tableTag, thead;   // List: "<table ...>" and the header rows
    QStringList rows;          // List: each body "<tr>...</tr>"
};

ReportOutput::Pages::Pages(const QString &html)
{
    const qsizetype bodyTag = html.indexOf(QLatin1String("<body"), 0, Qt::CaseInsensitive);
    QString head, body;
    if (bodyTag < 0) {
        body = html;
    } else {
        head = html.left(bodyTag);
        const qsizetype open = html.indexOf(u'>', bodyTag) + 1;
        qsizetype close = html.lastIndexOf(QLatin1String("</body"), -1, Qt::CaseInsensitive);
        if (close < open)
            close = html.size();
        body = html.mid(open, close - open);
    }

    auto addHtml = [&](qsizetype from, qsizetype to) {
        const QString piece = body.mid(from, to - from);
        if (piece.trimmed().isEmpty())
            return;
        auto item = std::make_unique<Item>();
        item->html = head + QStringLiteral("<body>") + piece + QStringLiteral("</body></html>");
        m_items.push_back(std::move(item));
    };
    auto addList = [&](qsizetype from, qsizetype to) {
        const QStringView table = QStringView(body).mid(from, to - from);
        auto item = std::make_unique<Item>();
        item->kind = Item::List;
        item->html = table.toString();
        item->head = head;
        item->tableTag = table.left(table.indexOf(u'>') + 1).toString();
        const qsizetype theadOpen = table.indexOf(QLatin1String("<thead"), 0, Qt::CaseInsensitive);
        const qsizetype theadClose = table.indexOf(QLatin1String("</thead"), 0, Qt::CaseInsensitive);
        const qsizetype theadStart = table.indexOf(u'>', theadOpen) + 1;
        item->thead = table.mid(theadStart, theadClose - theadStart).toString();
        static const QRegularExpression row(QStringLiteral("<tr\\b.*?</tr\\s*>"),
                                            QRegularExpression::CaseInsensitiveOption
                                                | QRegularExpression::DotMatchesEverythingOption);
        const QStringView rest = table.mid(theadClose);
        for (auto it = row.globalMatch(rest); it.hasNext();)
            item->rows.append(it.next().captured(0));
        m_items.push_back(std::move(item));
    };

    static const QRegularExpression tag(QStringLiteral("<(/?)(table|p|h[1-6])\\b[^>]*>"),
                                        QRegularExpression::CaseInsensitiveOption);
    int depth = 0, elements = 0;
    qsizetype pieceStart = 0, tableStart = 0;
    for (auto it = tag.globalMatch(body); it.hasNext();) {
        const auto m = it.next();
        const bool closing = !m.capturedView(1).isEmpty();
        const bool isTable = m.capturedView(2).compare(QLatin1String("table"), Qt::CaseInsensitive) == 0;
        if (isTable && !closing) {
            if (depth++ == 0)
                tableStart = m.capturedStart();
            continue;
        }
        if (isTable && closing && depth > 0 && --depth == 0) {
            const QStringView table = QStringView(body).mid(tableStart, m.capturedEnd() - tableStart);
            const bool list = table.contains(QLatin1String("<thead"), Qt::CaseInsensitive)
                && table.indexOf(QLatin1String("<table"), 1, Qt::CaseInsensitive) < 0;
            if (list) {
                addHtml(pieceStart, tableStart);
                addList(tableStart, m.capturedEnd());
                pieceStart = m.capturedEnd();
                elements = 0;
                continue;
            }
        }
        if (!closing || depth > 0)
            continue;
        if (++elements >= PieceElements) {
            addHtml(pieceStart, m.capturedEnd());
            pieceStart = m.capturedEnd();
            elements = 0;
        }
    }
    addHtml(pieceStart, body.size());
}

ReportOutput::Pages::~Pages() = default;

namespace {

using Item = ReportOutput::Pages::Item;

// Where the pages stand while they are made: the painter works in layout
// pixels, the current page is filled from y downwards.
class Flow {
public:
    Flow(QPagedPaintDevice *device, QPainter &painter, const ReportOutput::Progress &progress, qint64 total)
        : m_device(device), m_painter(painter), m_progress(progress), m_total(total)
    {
        const QRectF body = device->pageLayout().paintRect(QPageLayout::Point);
        width = body.width() * LayoutDpi / 72.0;
        height = body.height() * LayoutDpi / 72.0;
        // By the device's type: molarix loads the print support only when it
        // prints, and a cast through the type's information would need it
        // from the start.
        auto *printer = device->devType() == QInternal::Printer ? static_cast<QPrinter *>(device) : nullptr;
        if (printer && printer->fromPage() > 0) {
            m_from = printer->fromPage();
            m_to = printer->toPage() > 0 ? printer->toPage() : INT_MAX;
        }
        const qreal scale = device->logicalDpiX() / LayoutDpi;
        m_painter.scale(scale, device->logicalDpiY() / LayoutDpi);
        m_painter.setRenderHint(QPainter::Antialiasing, false);
    }

    qreal width = 0, height = 0;
    qreal y = 0;
    int page = 1;

    bool shown() const { return page >= m_from && page <= m_to; }
    QPainter &painter() { return m_painter; }
    qreal room() const { return height - y; }

    void newPage()
    {
        if (shown())
            m_painted = true;
        ++page;
        y = 0;
        if (shown() && m_painted)
            m_device->newPage();
    }
    // Starts a new page unless h fits below y (or the page is still empty).
    void reserve(qreal h)
    {
        if (y > 0 && y + h > height)
            newPage();
    }
    bool advance(qint64 units = 1)
    {
        m_done += units;
        return !m_progress || m_progress(m_done, m_total);
    }

private:
    QPagedPaintDevice *m_device;
    QPainter &m_painter;
    const ReportOutput::Progress &m_progress;
    qint64 m_total;
    qint64 m_done = 0;
    int m_from = 1, m_to = INT_MAX;
    bool m_painted = false;
};

// ---- rich text pieces ----------------------------------------------------------------

// Where a table begins and ends, from its first and last rows' texts.
// (The layout's frame rectangle of a table is off by its first cell's place.)
QPair<qreal, qreal> tableSpan(QAbstractTextDocumentLayout &layout, QTextTable *table)
{
    const QTextTableFormat fmt = table->format();
    const qreal frame = fmt.border() + fmt.cellSpacing() + fmt.padding();
    auto padding = [&](const QTextTableCell &cell, QTextFormat::Property p) {
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        return (f.hasProperty(p) ? f.doubleProperty(p) : fmt.cellPadding()) + fmt.border();
    };
    qreal top = std::numeric_limits<qreal>::max(), bottom = std::numeric_limits<qreal>::lowest();
    for (int c = 0; c < table->columns(); ++c) {
        const QTextTableCell first = table->cellAt(0, c);
        if (first.isValid())
            top = std::min(top, layout.blockBoundingRect(first.firstCursorPosition().block()).top() - padding(first, QTextFormat::TableCellTopPadding));
        const QTextTableCell last = table->cellAt(table->rows() - 1, c);
        if (last.isValid())
            bottom = std::max(bottom, layout.blockBoundingRect(last.lastCursorPosition().block()).bottom() + padding(last, QTextFormat::TableCellBottomPadding));
    }
    return {top - frame, bottom + frame};
}

// Spans that a page break must not cut: each line of the text outside
// tables, and each table short enough to stand on one page; merged, in order.
// (A longer table is cut where the page ends.)
QList<QPair<qreal, qreal>> keepTogether(QTextDocument &doc, qreal pageHeight)
{
    QList<QPair<qreal, qreal>> spans;
    QAbstractTextDocumentLayout *layout = doc.documentLayout();
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (QTextFrame *f = it.currentFrame()) {
            if (auto *table = qobject_cast<QTextTable *>(f)) {
                const auto span = tableSpan(*layout, table);
                if (span.second - span.first <= pageHeight)
                    spans.append(span);
            }
            continue;
        }
        const QTextBlock b = it.currentBlock();
        if (b.length() <= 1)
            continue;   // nothing to cut: empty paragraphs, the ends of tables
        const QRectF r = layout->blockBoundingRect(b);
        const QTextLayout *tl = b.layout();
        for (int i = 0; i < tl->lineCount(); ++i) {
            const QRectF line = tl->lineAt(i).rect();
            spans.append({r.top() + line.top(), r.top() + line.bottom()});
        }
    }
    std::sort(spans.begin(), spans.end());
    QList<QPair<qreal, qreal>> merged;
    for (const auto &s : spans) {
        // Spans that only touch (a line ending where the next begins) leave a break between them.
        if (!merged.isEmpty() && s.first < merged.last().second - 0.5)
            merged.last().second = std::max(merged.last().second, s.second);
        else
            merged.append(s);
    }
    return merged;
}

// Where the report asks for a new page (page-break-before / -after), in order.
QList<qreal> forcedBreaks(QTextDocument &doc)
{
    QList<qreal> at;
    QAbstractTextDocumentLayout *layout = doc.documentLayout();
    auto add = [&](QTextFormat::PageBreakFlags policy, const QRectF &r) {
        if (policy & QTextFormat::PageBreak_AlwaysBefore)
            at.append(r.top());
        if (policy & QTextFormat::PageBreak_AlwaysAfter)
            at.append(r.bottom());
    };
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (const auto policy = b.blockFormat().pageBreakPolicy(); policy != QTextFormat::PageBreak_Auto)
            add(policy, layout->blockBoundingRect(b));
    for (QTextFrame *f : doc.rootFrame()->childFrames())
        if (const auto policy = f->frameFormat().pageBreakPolicy(); policy != QTextFormat::PageBreak_Auto)
            add(policy, layout->frameBoundingRect(f));
    std::sort(at.begin(), at.end());
    return at;
}

// The lowest place at or above limit where a page may end; from (the top
// of what is left) when the span reaching over limit begins there.
qreal breakAt(const QList<QPair<qreal, qreal>> &spans, qreal from, qreal limit)
{
    auto it = std::upper_bound(spans.begin(), spans.end(), limit,
                               [](qreal v, const QPair<qreal, qreal> &s) { return v < s.first; });
    if (it != spans.begin()) {
        --it;
        if (limit > it->first && limit < it->second)
            return std::max(from, it->first);
    }
    return limit;
}

bool paintHtml(Flow &flow, const QString &html)
{
    auto doc = layOut(html, flow.width);
    const qreal total = doc->documentLayout()->documentSize().height();
    const auto spans = keepTogether(*doc, flow.height);
    const auto forced = forcedBreaks(*doc);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, Qt::black);
    qreal top = 0;
    if (flow.y > 0 && !forced.isEmpty() && forced.first() < 0.5)
        flow.newPage();
    while (total - top > 0.5) {
        qreal limit = std::min(total, top + flow.room());
        auto next = std::upper_bound(forced.begin(), forced.end(), top + 0.5);
        const bool forcedEnd = next != forced.end() && *next < limit;
        if (forcedEnd)
            limit = *next;
        qreal end = limit >= total || forcedEnd ? limit : breakAt(spans, top, limit);
        if (end <= top) {
            // What comes next does not fit below what the page holds already.
            if (flow.y > 0) {
                flow.newPage();
                continue;
            }
            end = limit;   // taller than a page: cut where the page ends
        }
        if (flow.shown()) {
            QPainter &p = flow.painter();
            p.save();
            p.translate(0, flow.y - top);
            p.setClipRect(QRectF(0, top, flow.width, end - top));
            // What only touches the slice's edges belongs to the next or last page.
            ctx.clip = QRectF(0, top + 1, flow.width, std::max<qreal>(1, end - top - 2));
            doc->documentLayout()->draw(&p, ctx);
            p.restore();
        }
        flow.y += end - top;
        top = end;
        if (total - top > 0.5)
            flow.newPage();
    }
    return flow.advance();
}

// ---- lists -------------------------------------------------------------------------

struct CellStyle {
    int column = 0, span = 1;
    QFont font;
    QColor color = Qt::black;
    Qt::Alignment align = Qt::AlignLeft;
    bool noWrap = false;   // white-space: nowrap
    QBrush background;
    qreal left = 0, top = 0, right = 0, bottom = 0;   // padding
};
using RowStyle = QList<CellStyle>;

// The cell's font, made smaller when one word of the text is wider than
// the column: a name ("Ξενοδοχοϋπάλληλος") is never cut in two.
QFont fittingFont(const QFont &font, const QString &text, qreal width)
{
    const QFontMetricsF whole(font, layoutDevice());
    if (whole.horizontalAdvance(text) <= width)
        return font;
    auto widestWord = [&](const QFont &f) {
        const QFontMetricsF fm(f, layoutDevice());
        qreal widest = 0;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            if (i == text.size() || text[i].isSpace()) {
                if (i > start)
                    widest = std::max(widest, fm.horizontalAdvance(text.mid(start, i - start)));
                start = i + 1;
            }
        }
        return widest;
    };
    QFont smaller = font;
    const bool inPixels = font.pointSizeF() <= 0;
    qreal size = inPixels ? qreal(font.pixelSize()) : font.pointSizeF();
    qreal widest = widestWord(smaller);
    // Font sizes are not exactly proportional: shrink until it fits.
    while (widest > width && size > 1) {
        size = std::max<qreal>(1, size * std::min(0.95, width / widest));
        if (inPixels)
            smaller.setPixelSize(std::max(1, int(size)));
        else
            smaller.setPointSizeF(size);
        widest = widestWord(smaller);
    }
    return smaller;
}

struct LaidRow {
    const RowStyle *style = nullptr;
    std::vector<std::unique_ptr<QTextLayout>> cells;
    qreal height = 0;   // its top line and its cells
};

// A list table: its geometry and the styles of its kinds of rows, read
// from Qt's rich text laid out over the header and one row of each kind.
class ListTable {
public:
    ListTable(const Item &item, qreal pageWidth)
    {
        QString sample = item.head + QStringLiteral("<body>") + item.tableTag + QStringLiteral("<thead>") + item.thead
            + QStringLiteral("</thead><tbody>");
        int kinds = 0;
        m_kindOf.reserve(item.rows.size());
        QHash<QString, int> kindOfSkeleton;
        for (const QString &row : item.rows) {
            const QString sk = skeleton(row);
            auto it = kindOfSkeleton.constFind(sk);
            if (it == kindOfSkeleton.cend()) {
                it = kindOfSkeleton.insert(sk, kinds++);
                sample += row;
            }
            m_kindOf.append(*it);
        }
        sample += QStringLiteral("</tbody></table></body></html>");
        auto doc = layOut(sample, pageWidth);

        QTextTable *table = nullptr;
        for (QTextFrame *f : doc->rootFrame()->childFrames())
            if ((table = qobject_cast<QTextTable *>(f)))
                break;
        if (!table)
            return;
        const QTextTableFormat fmt = table->format();
        const int headerRows = fmt.headerRowCount();
        if (table->rows() != headerRows + kinds || table->columns() == 0)
            return;

        const QRectF frame = doc->documentLayout()->frameBoundingRect(table);
        m_x = frame.left();
        m_width = frame.width();
        m_border = fmt.border();
        m_borderBrush = fmt.borderBrush().style() == Qt::NoBrush ? QBrush(Qt::darkGray) : fmt.borderBrush();
        m_topMargin = fmt.topMargin();
        m_bottomMargin = fmt.bottomMargin();
        columnsFrom(fmt, table->columns());

        QList<RowStyle> styles;
        for (int r = 0; r < table->rows(); ++r)
            styles.append(rowStyle(*doc, table, fmt, r));
        m_header = styles.mid(0, headerRows);
        m_kinds = styles.mid(headerRows);

        static const QRegularExpression row(QStringLiteral("<tr\\b.*?</tr\\s*>"),
                                            QRegularExpression::CaseInsensitiveOption
                                                | QRegularExpression::DotMatchesEverythingOption);
        for (auto it = row.globalMatch(item.thead); it.hasNext();)
            m_headerTexts.append(texts(it.next().capturedView(0)));
        m_ok = m_headerTexts.size() == headerRows;
    }

    bool ok() const { return m_ok; }
    qreal topMargin() const { return m_topMargin; }
    qreal bottomMargin() const { return m_bottomMargin; }
    qreal border() const { return m_border; }

    std::vector<LaidRow> header() const
    {
        std::vector<LaidRow> rows;
        for (int i = 0; i < m_header.size(); ++i)
            rows.push_back(layRow(m_header[i], m_headerTexts[i]));
        return rows;
    }
    LaidRow body(const Item &item, int i) const
    {
        return layRow(m_kinds[m_kindOf[i]], texts(item.rows[i]));
    }

    void draw(QPainter &p, const LaidRow &row, qreal y) const
    {
        const qreal h = row.height;
        for (size_t i = 0; i < row.cells.size(); ++i) {
            const CellStyle &c = (*row.style)[qsizetype(i)];
            const qreal x0 = m_x + m_columns[c.column], x1 = m_x + m_columns[c.column + c.span];
            if (c.background.style() != Qt::NoBrush)
                p.fillRect(QRectF(x0, y, x1 - x0, h + m_border), c.background);
            p.setPen(c.color);
            row.cells[i]->draw(&p, QPointF(x0 + m_border + c.left, y + m_border + c.top));
        }
        if (m_border <= 0)
            return;
        p.fillRect(QRectF(m_x, y, m_width, m_border), m_borderBrush);
        for (const CellStyle &c : *row.style)
            p.fillRect(QRectF(m_x + m_columns[c.column], y, m_border, h + m_border), m_borderBrush);
        p.fillRect(QRectF(m_x + m_width - m_border, y, m_border, h + m_border), m_borderBrush);
    }
    void drawBottom(QPainter &p, qreal y) const
    {
        if (m_border > 0)
            p.fillRect(QRectF(m_x, y, m_width, m_border), m_borderBrush);
    }

private:
    // Percentages of the table's width, fixed widths in pixels, the rest
    // shared equally; scaled to the table's width.
    void columnsFrom(const QTextTableFormat &fmt, int count)
    {
        const QList<QTextLength> constraints = fmt.columnWidthConstraints();
        QList<qreal> widths(count, -1);
        qreal given = 0;
        int open = 0;
        for (int c = 0; c < count; ++c) {
            const QTextLength l = constraints.value(c);
            if (l.type() == QTextLength::PercentageLength)
                widths[c] = m_width * l.rawValue() / 100.0;
            else if (l.type() == QTextLength::FixedLength)
                widths[c] = l.rawValue();
            if (widths[c] < 0)
                ++open;
            else
                given += widths[c];
        }
        const qreal share = open ? std::max<qreal>(0, m_width - given) / open : 0;
        qreal sum = 0;
        for (qreal &w : widths) {
            if (w < 0)
                w = share;
            sum += w;
        }
        const qreal scale = sum > 0 ? m_width / sum : 1;
        m_columns = {0};
        for (qreal w : widths)
            m_columns.append(m_columns.last() + w * scale);
    }

    static RowStyle rowStyle(const QTextDocument &doc, QTextTable *table, const QTextTableFormat &fmt, int r)
    {
        RowStyle style;
        for (int c = 0; c < table->columns(); ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (!cell.isValid() || cell.row() != r || cell.column() != c)
                continue;
            CellStyle s;
            s.column = c;
            s.span = cell.columnSpan();
            const QTextBlock block = cell.firstCursorPosition().block();
            QTextCharFormat cf = block.charFormat();
            if (auto it = block.begin(); !it.atEnd())
                cf = it.fragment().charFormat();
            s.font = cf.font().resolve(doc.defaultFont());
            if (cf.foreground().style() != Qt::NoBrush)
                s.color = cf.foreground().color();
            s.align = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
            s.noWrap = block.blockFormat().nonBreakableLines();
            const QTextTableCellFormat tcf = cell.format().toTableCellFormat();
            s.background = tcf.background();
            auto pad = [&](QTextFormat::Property p, qreal own) {
                return tcf.hasProperty(p) ? own : fmt.cellPadding();
            };
            s.left = pad(QTextFormat::TableCellLeftPadding, tcf.leftPadding());
            s.top = pad(QTextFormat::TableCellTopPadding, tcf.topPadding());
            s.right = pad(QTextFormat::TableCellRightPadding, tcf.rightPadding());
            s.bottom = pad(QTextFormat::TableCellBottomPadding, tcf.bottomPadding());
            style.append(s);
        }
        return style;
    }

    static QStringList texts(QStringView row)
    {
        QStringList out;
        for (QStringView cell : cellsOf(row))
            out.append(cellText(cell));
        return out;
    }

    LaidRow layRow(const RowStyle &style, const QStringList &texts) const
    {
        LaidRow row;
        row.style = &style;
        qreal tallest = 0;
        for (qsizetype i = 0; i < style.size(); ++i) {
            const CellStyle &c = style[i];
            const qreal width = std::max<qreal>(
                1, m_columns[c.column + c.span] - m_columns[c.column] - m_border - c.left - c.right);
            QString text = texts.value(i);
            text.replace(u'\n', QChar::LineSeparator);
            const QFont font = c.noWrap ? c.font : fittingFont(c.font, text, width);
            auto layout = std::make_unique<QTextLayout>(text, font, layoutDevice());
            QTextOption option(c.align);
            // Lines break between words only; the font is small enough for the widest.
            option.setWrapMode(c.noWrap ? QTextOption::NoWrap : QTextOption::WordWrap);
            layout->setTextOption(option);
            layout->setCacheEnabled(true);
            qreal h = 0;
            layout->beginLayout();
            for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
                line.setLineWidth(width);
                line.setPosition(QPointF(0, h));
                h += line.height();
            }
            layout->endLayout();
            if (h <= 0)
                h = QFontMetricsF(font, layoutDevice()).height();
            tallest = std::max(tallest, h + c.top + c.bottom);
            row.cells.push_back(std::move(layout));
        }
        row.height = m_border + tallest;
        return row;
    }

    bool m_ok = false;
    qreal m_x = 0, m_width = 0, m_border = 0, m_topMargin = 0, m_bottomMargin = 0;
    QBrush m_borderBrush;
    QList<qreal> m_columns;
    QList<RowStyle> m_header, m_kinds;
    QList<QStringList> m_headerTexts;
    QList<int> m_kindOf;
};

bool paintList(Flow &flow, const Item &item)
{
    const ListTable table(item, flow.width);
    if (!table.ok())
        return paintHtml(flow, item.head + QStringLiteral("<body>") + item.html + QStringLiteral("</body></html>"));

    const std::vector<LaidRow> header = table.header();
    qreal headerHeight = 0;
    for (const LaidRow &r : header)
        headerHeight += r.height;
    auto drawHeader = [&] {
        for (const LaidRow &r : header) {
            if (flow.shown())
                table.draw(flow.painter(), r, flow.y);
            flow.y += r.height;
        }
    };
    auto drawBottom = [&] {
        if (flow.shown())
            table.drawBottom(flow.painter(), flow.y);
        flow.y += table.border();
    };

    if (flow.y > 0)
        flow.y += table.topMargin();
    bool headerShown = false;
    for (int i = 0; i < item.rows.size(); ++i) {
        const LaidRow row = table.body(item, i);
        const qreal need = row.height + table.border();
        if (!headerShown) {
            flow.reserve(headerHeight + need);
            drawHeader();
            headerShown = true;
        } else if (flow.y + need > flow.height) {
            // A row is never split: it goes, under the header, to the next page.
            drawBottom();
            flow.newPage();
            drawHeader();
        }
        if (flow.shown())
            table.draw(flow.painter(), row, flow.y);
        flow.y += row.height;
        if (!flow.advance())
            return false;
    }
    if (!headerShown) {
        flow.reserve(headerHeight + table.border());
        drawHeader();
    }
    drawBottom();
    flow.y += table.bottomMargin();
    return true;
}

}   // namespace

// ---- output ------------------------------------------------------------------------

bool ReportOutput::Pages::paint(QPagedPaintDevice *device, const Progress &progress) const
{
    qint64 total = 0;
    for (const auto &item : m_items)
        total += item->kind == Item::List ? std::max<qint64>(1, item->rows.size()) : 1;
    QPainter painter;
    if (!painter.begin(device))
        throw ReportError(QStringLiteral("The report cannot be printed: the printer or file is not available."));
    Flow flow(device, painter, progress, total);
    bool finished = true;
    for (const auto &item : m_items) {
        finished = item->kind == Item::List ? paintList(flow, *item) : paintHtml(flow, item->html);
        if (!finished)
            break;
    }
    painter.end();
    m_pageCount = flow.page;
    return finished;
}

namespace ReportOutput {

bool writePdf(const Pages &pages, const QString &pdfPath, const QString &title, const Progress &progress)
{
    // Written beside the target and put in its place only when complete.
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportError(QStringLiteral("Cannot write the file \"%1\": %2")
                              .arg(QDir::toNativeSeparators(pdfPath), file.errorString()));
    bool finished = false;
    {
        QPdfWriter writer(&file);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Molarix"));
        writer.setResolution(600);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        finished = pages.paint(&writer, progress);
    }
    if (!finished) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        throw ReportError(QStringLiteral("Cannot write the file \"%1\": %2")
                              .arg(QDir::toNativeSeparators(pdfPath), file.errorString()));
    return true;
}

void preview(const Pages &pages, const QString &title, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintPreviewDialog dlg(&printer, parent);
    dlg.setWindowTitle(title.isEmpty() ? QStringLiteral("Preview") : QStringLiteral("Preview - ") + title);
    PaintRequest request([&](QPrinter *p) {
        ReportProgress progress(title, &dlg);
        if (!pages.paint(p, progress.callback()))
            QTimer::singleShot(0, &dlg, &QDialog::reject);   // stopped: no half preview
    });
    QObject::connect(&dlg, SIGNAL(paintRequested(QPrinter *)), &request, SLOT(paint(QPrinter *)));
    dlg.setWindowState(dlg.windowState() | Qt::WindowMaximized);
    dlg.exec();
}

void print(const Pages &pages, const QString &title, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dlg(&printer, parent);
    dlg.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dlg.exec() != QDialog::Accepted)
        return;
    ReportProgress progress(title, parent);
    if (!pages.paint(&printer, progress.callback()))
        printer.abort();
}

}   // namespace ReportOutput

// ---- progress ------------------------------------------------------------------------

ReportProgress::ReportProgress(const QString &title, QWidget *parent)
    : m_dialog(std::make_unique<QProgressDialog>(parent))
{
    QProgressDialog *d = m_dialog.get();
    d->setObjectName(QStringLiteral("ReportProgress"));
    d->setWindowTitle(title);
    d->setLabelText(QStringLiteral("Ετοιμάζονται οι σελίδες της εκτύπωσης..."));
    d->setCancelButtonText(QStringLiteral("Ακύρωση"));
    d->setWindowModality(Qt::ApplicationModal);
    d->setAutoReset(false);
    d->setAutoClose(false);
    d->setMinimumDuration(600);
    d->setRange(0, 1000);
    d->setValue(0);
}

ReportProgress::~ReportProgress() = default;

ReportOutput::Progress ReportProgress::callback()
{
    QProgressDialog *d = m_dialog.get();
    return [d](qint64 done, qint64 total) {
        // At most a thousand steps: each one lets the window answer.
        const int value = total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0;
        if (value != d->value())
            d->setValue(value);
        return !d->wasCanceled();
    };
}

// ---- output dialog ----------------------------------------------------------------------

ReportOutputDialog::ReportOutputDialog(const QString &suggestedPdf, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ReportOutputDialog"));
    setWindowTitle(QStringLiteral("Output Options"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *group = new QGroupBox(QStringLiteral("Report Destination"), this);
    m_printer = new QRadioButton(QStringLiteral("P&rinter"), group);
    m_printer->setObjectName(QStringLiteral("rbPrinter"));
    m_preview = new QRadioButton(QStringLiteral("Pre&view"), group);
    m_preview->setObjectName(QStringLiteral("rbPreview"));
    m_file = new QRadioButton(QStringLiteral("&File (PDF)"), group);
    m_file->setObjectName(QStringLiteral("rbFile"));
    m_fileName = new QLineEdit(suggestedPdf, group);
    m_fileName->setObjectName(QStringLiteral("edFileName"));
    m_fileName->setMinimumWidth(280);
    m_browse = new QPushButton(QStringLiteral("..."), group);
    m_browse->setObjectName(QStringLiteral("btnBrowse"));
    m_browse->setFixedWidth(32);

    auto *fileRow = new QHBoxLayout;
    fileRow->addSpacing(20);
    fileRow->addWidget(m_fileName);
    fileRow->addWidget(m_browse);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_printer);
    groupLayout->addWidget(m_preview);
    groupLayout->addWidget(m_file);
    groupLayout->addLayout(fileRow);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_preview->setChecked(true);
    for (QRadioButton *rb : {m_printer, m_preview, m_file})
        connect(rb, &QRadioButton::toggled, this, &ReportOutputDialog::updateState);
    connect(m_fileName, &QLineEdit::textChanged, this, &ReportOutputDialog::updateState);
    connect(m_browse, &QPushButton::clicked, this, &ReportOutputDialog::browse);
    updateState();
    m_ok->setFocus();
}

ReportOutputDialog::Destination ReportOutputDialog::destination() const
{
    if (m_printer->isChecked())
        return Printer;
    if (m_file->isChecked())
        return File;
    return Preview;
}

QString ReportOutputDialog::fileName() const
{
    QString name = m_fileName->text().trimmed();
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".pdf");
    return name;
}

void ReportOutputDialog::updateState()
{
    const bool toFile = m_file->isChecked();
    m_fileName->setEnabled(toFile);
    m_browse->setEnabled(toFile);
    m_ok->setEnabled(!toFile || !m_fileName->text().trimmed().isEmpty());
}

void ReportOutputDialog::browse()
{
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Save report as"), m_fileName->text(),
                                                        QStringLiteral("PDF files (*.pdf)"));
    if (!chosen.isEmpty())
        m_fileName->setText(QDir::toNativeSeparators(chosen));
}
