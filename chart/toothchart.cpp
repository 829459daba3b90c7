#include "chart/toothchart.h"
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

constexpr double kInner = 0.45;   // half-side of the occlusal square
constexpr int kLegendWidth = 170;
// Planned work: a hatch over the surface's colour and a dashed ring, apart
// from the colours of findings and done work.
const QColor kPlanned(0, 70, 200);

int surfaceIndex(QChar c) { return int(std::string_view(Chart::Surfaces).find(char(c.toLatin1()))); }

}   // namespace

ToothChart::ToothChart(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(400, 260);
    setAttribute(Qt::WA_OpaquePaintEvent);
    layoutTeeth();
}

void ToothChart::setDentition(Chart::Dentition d)
{
    if (d == m_dentition)
        return;
    m_dentition = d;
    layoutTeeth();
    update();
}

QList<int> ToothChart::teeth() const { return Chart::upperTeeth(m_dentition) + Chart::lowerTeeth(m_dentition); }

void ToothChart::setStates(const QHash<int, Chart::ToothState> &states)
{
    m_states = states;
    update();
}

void ToothChart::setSelection(int fdi, const QString &surfaces)
{
    m_selected = fdi;
    m_selectedSurfaces = Chart::normalizeSurfaces(surfaces);
    update();
}

void ToothChart::resizeEvent(QResizeEvent *)
{
    layoutTeeth();
}

// Each arch is half an ellipse: the front teeth at its apex, the molars
// towards the middle of the widget, the two arches facing each other.
void ToothChart::layoutTeeth()
{
    m_placed.clear();
    const double w = std::max(200, width() - kLegendWidth), h = std::max(200, height());
    const double cx = w / 2, a = w / 2 - 44, b = h / 2 - 58;
    const double midlineUpper = h / 2 - 14 - b, midlineLower = h / 2 + 14 + b;

    for (const bool upper : {true, false}) {
        const QList<int> row = upper ? Chart::upperTeeth(m_dentition) : Chart::lowerTeeth(m_dentition);
        const int n = int(row.size());
        const double cy = upper ? h / 2 - 14 : h / 2 + 14;
        const double sy = upper ? -1 : 1;
        // Teeth at equal distances along the curve, from 170° round to 10°.
        constexpr int kSteps = 400;
        std::vector<double> angle(kSteps + 1), length(kSteps + 1, 0.0);
        for (int k = 0; k <= kSteps; ++k) {
            angle[size_t(k)] = (170.0 - 160.0 * k / kSteps) * M_PI / 180.0;
            if (k > 0) {
                const double a0 = angle[size_t(k - 1)], a1 = angle[size_t(k)];
                length[size_t(k)] = length[size_t(k - 1)]
                    + std::hypot(a * (std::cos(a1) - std::cos(a0)), b * (std::sin(a1) - std::sin(a0)));
            }
        }
        QList<QPointF> centres;
        QList<QPointF> normals;
        size_t k = 0;
        for (int i = 0; i < n; ++i) {
            const double want = length.back() * i / (n - 1);
            while (k < size_t(kSteps) && length[k] < want)
                ++k;
            const double phi = angle[k];
            centres << QPointF(cx + a * std::cos(phi), cy + sy * b * std::sin(phi));
            const QPointF g(std::cos(phi) / a, sy * std::sin(phi) / b);
            normals << g / std::hypot(g.x(), g.y());
        }
        double spacing = 1e9;
        for (int i = 1; i < n; ++i)
            spacing = std::min(spacing, std::hypot(centres[i].x() - centres[i - 1].x(), centres[i].y() - centres[i - 1].y()));
        const double half = std::min(24.0, spacing * 0.40);
        const QPointF midline(cx, upper ? midlineUpper : midlineLower);
        for (int i = 0; i < n; ++i) {
            QTransform t;
            t.translate(centres[i].x(), centres[i].y());
            t.rotateRadians(std::atan2(normals[i].x(), -normals[i].y()));
            t.scale(half, half);
            const QPointF right = t.map(QPointF(1, 0)), left = t.map(QPointF(-1, 0));
            const bool mesialRight = std::hypot(right.x() - midline.x(), right.y() - midline.y())
                < std::hypot(left.x() - midline.x(), left.y() - midline.y());
            m_placed.insert(row[i], {t, mesialRight});
        }
    }
}

QPolygonF ToothChart::surfacePolygon(int index, bool mesialRight) const
{
    const double k = kInner;
    switch (Chart::Surfaces[index]) {
    case 'O':
        return QPolygonF({{-k, -k}, {k, -k}, {k, k}, {-k, k}});
    case 'B':
        return QPolygonF({{-1, -1}, {1, -1}, {k, -k}, {-k, -k}});
    case 'L':
        return QPolygonF({{-1, 1}, {1, 1}, {k, k}, {-k, k}});
    default: {
        const bool right = (Chart::Surfaces[index] == 'M') == mesialRight;
        if (right)
            return QPolygonF({{1, -1}, {1, 1}, {k, k}, {k, -k}});
        return QPolygonF({{-1, -1}, {-1, 1}, {-k, k}, {-k, -k}});
    }
    }
}

QRectF ToothChart::toothRect(int fdi) const
{
    const auto it = m_placed.constFind(fdi);
    if (it == m_placed.cend())
        return {};
    return it->toWidget.map(QPolygonF(QRectF(-1, -1, 2, 2))).boundingRect();
}

QPointF ToothChart::toothCenter(int fdi) const
{
    const auto it = m_placed.constFind(fdi);
    return it == m_placed.cend() ? QPointF() : it->toWidget.map(QPointF(0, 0));
}

QPointF ToothChart::surfacePoint(int fdi, QChar surface) const
{
    const auto it = m_placed.constFind(fdi);
    const int i = surfaceIndex(surface);
    if (it == m_placed.cend() || i < 0)
        return {};
    const QPolygonF poly = surfacePolygon(i, it->mesialRight);
    QPointF sum;
    for (const QPointF &p : poly)
        sum += p;
    return it->toWidget.map(sum / double(poly.size()));
}

QColor ToothChart::surfaceColor(int fdi, QChar surface) const
{
    const int i = surfaceIndex(surface);
    const auto it = m_states.constFind(fdi);
    if (i < 0 || it == m_states.cend() || it->surface[i].isEmpty())
        return Chart::colorOf(QString::fromUtf8(Chart::Healthy));
    return Chart::colorOf(it->surface[i]);
}

bool ToothChart::plannedSurface(int fdi, QChar surface) const
{
    return surfaceIndex(surface) >= 0 && m_states.value(fdi).planned.contains(surface);
}

std::pair<int, QChar> ToothChart::hit(const QPointF &p) const
{
    for (auto it = m_placed.cbegin(); it != m_placed.cend(); ++it) {
        bool invertible = false;
        const QPointF q = it->toWidget.inverted(&invertible).map(p);
        if (!invertible || std::abs(q.x()) > 1 || std::abs(q.y()) > 1)
            continue;
        char s;
        if (std::abs(q.x()) <= kInner && std::abs(q.y()) <= kInner)
            s = 'O';
        else if (std::abs(q.y()) >= std::abs(q.x()))
            s = q.y() < 0 ? 'B' : 'L';
        else
            s = (q.x() > 0) == it->mesialRight ? 'M' : 'D';
        return {it.key(), QLatin1Char(s)};
    }
    return {0, QChar()};
}

void ToothChart::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const auto [tooth, surface] = hit(e->position());
    if (tooth)
        emit toothClicked(tooth, surface);
}

void ToothChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), Qt::white);
    QFont small = font();
    small.setPointSizeF(std::max(6.0, font().pointSizeF() * 0.95));
    p.setFont(small);

    const double w = std::max(200, width() - kLegendWidth), h = std::max(200, height());
    p.setPen(QColor(120, 120, 120));
    p.drawText(QRectF(4, h / 2 - 10, 80, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Δεξιά"));
    p.drawText(QRectF(w - 84, h / 2 - 10, 80, 20), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Αριστερά"));
    p.drawLine(QPointF(w / 2, h / 2 - 6), QPointF(w / 2, h / 2 + 6));
    p.drawLine(QPointF(w / 2 - 40, h / 2), QPointF(w / 2 + 40, h / 2));

    for (auto it = m_placed.cbegin(); it != m_placed.cend(); ++it) {
        const int fdi = it.key();
        const Chart::ToothState state = m_states.value(fdi);
        const bool missing = state.latest == QLatin1String(Chart::Missing)
            && std::all_of(std::begin(state.surface), std::end(state.surface),
                           [](const QString &s) { return s == QLatin1String(Chart::Missing); });
        p.save();
        p.setTransform(it->toWidget, true);
        QPen outline(Qt::black, 0);
        outline.setCosmetic(true);
        for (int i = 0; i < 5; ++i) {
            const QPolygonF poly = surfacePolygon(i, it->mesialRight);
            p.setPen(outline);
            p.setBrush(surfaceColor(fdi, QLatin1Char(Chart::Surfaces[i])));
            p.drawPolygon(poly);
            if (state.planned.contains(QLatin1Char(Chart::Surfaces[i]))) {
                p.setBrush(QBrush(kPlanned, Qt::FDiagPattern));
                p.drawPolygon(poly);
            }
            if (fdi == m_selected && m_selectedSurfaces.contains(QLatin1Char(Chart::Surfaces[i]))) {
                p.setBrush(QBrush(Qt::black, Qt::BDiagPattern));
                p.drawPolygon(poly);
            }
        }
        if (missing) {
            QPen cross(QColor(60, 60, 60), 2.5);
            cross.setCosmetic(true);
            p.setPen(cross);
            p.drawLine(QPointF(-1.15, -1.15), QPointF(1.15, 1.15));
            p.drawLine(QPointF(1.15, -1.15), QPointF(-1.15, 1.15));
        }
        if (!state.planned.isEmpty() && fdi != m_selected) {
            QPen ring(kPlanned, 1.5, Qt::DashLine);
            ring.setCosmetic(true);
            p.setPen(ring);
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(-1.2, -1.2, 2.4, 2.4));
        }
        if (fdi == m_selected) {
            QPen ring(QColor(0, 0, 160), 3);
            ring.setCosmetic(true);
            p.setPen(ring);
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(-1.2, -1.2, 2.4, 2.4));
        }
        p.restore();

        // The number, upright, just outside the arch.
        const QPointF c = it->toWidget.map(QPointF(0, 0));
        QPointF out = it->toWidget.map(QPointF(0, -1)) - c;
        const double len = std::hypot(out.x(), out.y());
        out = c + out * ((len + 13) / len);
        p.setPen(fdi == m_selected ? QColor(0, 0, 160) : Qt::black);
        p.drawText(QRectF(out.x() - 14, out.y() - 8, 28, 16), Qt::AlignCenter, QString::number(fdi));
    }

    // The legend: the conditions, then planned work as it is drawn.
    const QStringList names = Chart::conditions();
    const double lx = width() - kLegendWidth + 10;
    double ly = std::max(10.0, (height() - double(names.size() + 1) * 20.0) / 2);
    for (const QString &name : names) {
        p.setPen(Qt::black);
        p.setBrush(Chart::colorOf(name));
        p.drawRect(QRectF(lx, ly + 3, 14, 12));
        p.drawText(QRectF(lx + 20, ly, kLegendWidth - 30, 18), Qt::AlignLeft | Qt::AlignVCenter, name);
        ly += 20;
    }
    p.setPen(QPen(kPlanned, 1.5, Qt::DashLine));
    p.setBrush(QBrush(kPlanned, Qt::FDiagPattern));
    p.drawRect(QRectF(lx, ly + 3, 14, 12));
    p.setPen(Qt::black);
    p.drawText(QRectF(lx + 20, ly, kLegendWidth - 30, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("προγραμματισμένη"));
}
