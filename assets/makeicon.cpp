// Draws the program's icon (a molar on a sky-blue tile) as a scalable SVG
// and as PNGs of the sizes given, from one set of shapes, into a folder:
//   makeicon OUTDIR 48 128
// Run by the build; no windowing system needed.
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdio>
#include <vector>

namespace {

// The tooth outline on a 128-unit square: a start point, then cubic curves.
struct Curve {
    double c1x, c1y, c2x, c2y, x, y;
};
const double StartX = 34, StartY = 42;
const std::vector<Curve> Tooth = {
    {34, 24, 50, 18, 64, 28}, {78, 18, 94, 24, 94, 42}, {94, 58, 88, 66, 86, 80}, {84, 96, 80, 110, 74, 110}, {67, 110, 68, 92, 64, 86}, {60, 92, 61, 110, 54, 110}, {48, 110, 44, 96, 42, 80}, {40, 66, 34, 58, 34, 42}};
const QColor Sky(166, 202, 240), SkyDeep(110, 160, 220), Ink(28, 74, 132);

QString svg()
{
    QString d = QStringLiteral("M %1 %2").arg(StartX).arg(StartY);
    for (const Curve &c : Tooth)
        d += QStringLiteral(" C %1 %2, %3 %4, %5 %6").arg(c.c1x).arg(c.c1y).arg(c.c2x).arg(c.c2y).arg(c.x).arg(c.y);
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" viewBox=\"0 0 128 128\">\n"
               "  <defs>\n"
               "    <linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
               "      <stop offset=\"0\" stop-color=\"%1\"/>\n"
               "      <stop offset=\"1\" stop-color=\"%2\"/>\n"
               "    </linearGradient>\n"
               "  </defs>\n"
               "  <rect x=\"8\" y=\"8\" width=\"112\" height=\"112\" rx=\"22\" fill=\"url(#tile)\"/>\n"
               "  <path d=\"%3 Z\" fill=\"#ffffff\" stroke=\"%4\" stroke-width=\"5\" stroke-linejoin=\"round\"/>\n"
               "</svg>\n")
        .arg(Sky.name(), SkyDeep.name(), d, Ink.name());
}

QImage png(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);
    QLinearGradient tile(0, 8, 0, 120);
    tile.setColorAt(0, Sky);
    tile.setColorAt(1, SkyDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(8, 8, 112, 112), 22, 22);
    QPainterPath path(QPointF(StartX, StartY));
    for (const Curve &c : Tooth)
        path.cubicTo(c.c1x, c.c1y, c.c2x, c.c2y, c.x, c.y);
    path.closeSubpath();
    p.setBrush(Qt::white);
    p.setPen(QPen(Ink, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    return image;
}

}

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: makeicon OUTDIR [SIZE...]\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QFile f(dir + QStringLiteral("/molarix.svg"));
    if (!f.open(QIODevice::WriteOnly) || f.write(svg().toUtf8()) < 0)
        return 1;
    f.close();
    for (int i = 2; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0 || !png(size).save(dir + QStringLiteral("/molarix-%1.png").arg(size)))
            return 1;
    }
    return 0;
}
