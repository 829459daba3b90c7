// Draws the program's pictures (main.jpg, splash.jpg, about.jpg) into the
// folder given on the command line. Not part of the build; run it again only
// to change the pictures:
//   g++ -std=c++20 -fPIC makepictures.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/makepictures
//   QT_QPA_PLATFORM=offscreen /tmp/makepictures assets
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

const QColor SkyBlue(166, 202, 240);

QFont sans(int pixelSize, bool bold)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

// "Molarix" with a soft shadow and a blue gradient fill.
void drawName(QPainter &p, const QRect &box, int pixelSize)
{
    QPainterPath path;
    const QFont f = sans(pixelSize, true);
    path.addText(0, 0, f, QStringLiteral("Molarix"));
    const QRectF b = path.boundingRect();
    path.translate(box.center().x() - b.center().x(), box.center().y() - b.center().y());
    p.save();
    p.translate(pixelSize / 24.0, pixelSize / 24.0);
    p.fillPath(path, QColor(0, 0, 60, 90));
    p.restore();
    QLinearGradient g(path.boundingRect().topLeft(), path.boundingRect().bottomLeft());
    g.setColorAt(0, QColor(60, 120, 255));
    g.setColorAt(1, QColor(0, 40, 160));
    p.fillPath(path, g);
    p.setPen(QPen(QColor(0, 20, 90), qMax(1.0, pixelSize / 60.0)));
    p.drawPath(path);
}

QPainterPath tooth(const QRectF &r)
{
    // A molar: rounded crown with two roots.
    const double x = r.x(), y = r.y(), w = r.width(), h = r.height();
    QPainterPath t;
    t.moveTo(x + 0.10 * w, y + 0.25 * h);
    t.cubicTo(x + 0.05 * w, y + 0.02 * h, x + 0.35 * w, y - 0.02 * h, x + 0.50 * w, y + 0.12 * h);
    t.cubicTo(x + 0.65 * w, y - 0.02 * h, x + 0.95 * w, y + 0.02 * h, x + 0.90 * w, y + 0.25 * h);
    t.cubicTo(x + 0.88 * w, y + 0.50 * h, x + 0.80 * w, y + 0.60 * h, x + 0.78 * w, y + 0.95 * h);
    t.cubicTo(x + 0.74 * w, y + 1.00 * h, x + 0.66 * w, y + 0.98 * h, x + 0.64 * w, y + 0.90 * h);
    t.cubicTo(x + 0.60 * w, y + 0.70 * h, x + 0.55 * w, y + 0.62 * h, x + 0.50 * w, y + 0.62 * h);
    t.cubicTo(x + 0.45 * w, y + 0.62 * h, x + 0.40 * w, y + 0.70 * h, x + 0.36 * w, y + 0.90 * h);
    t.cubicTo(x + 0.34 * w, y + 0.98 * h, x + 0.26 * w, y + 1.00 * h, x + 0.22 * w, y + 0.95 * h);
    t.cubicTo(x + 0.20 * w, y + 0.60 * h, x + 0.12 * w, y + 0.50 * h, x + 0.10 * w, y + 0.25 * h);
    t.closeSubpath();
    return t;
}

QImage mainPicture()
{
    QImage img(760, 260, QImage::Format_RGB32);
    img.fill(SkyBlue);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawName(p, QRect(0, 10, 760, 190), 150);
    p.setFont(sans(22, true));
    p.setPen(QColor(0, 40, 130));
    p.drawText(QRect(0, 200, 760, 40), Qt::AlignCenter,
               QStringLiteral("Πρόγραμμα διαχείρισης οδοντιατρείου"));
    return img;
}

QImage splashPicture()
{
    QImage img(520, 320, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, 320);
    bg.setColorAt(0, QColor(248, 251, 255));
    bg.setColorAt(1, QColor(220, 234, 250));
    p.fillRect(img.rect(), bg);
    // Pale background text.
    p.setFont(sans(17, false));
    p.setPen(QColor(205, 220, 240));
    for (int row = 0; row < 14; ++row) {
        const int offset = (row % 2) * 70;
        for (int col = -1; col < 5; ++col)
            p.drawText(col * 150 + offset, 20 + row * 24,
                       row % 3 == 1 ? QStringLiteral("οδοντιατρείο") : QStringLiteral("Molarix"));
    }
    p.setPen(QPen(QColor(0, 60, 160), 3));
    p.drawRect(img.rect().adjusted(1, 1, -2, -2));
    drawName(p, QRect(0, 40, 520, 160), 110);
    p.setFont(sans(30, true));
    p.setPen(QColor(20, 40, 90));
    p.drawText(QRect(0, 200, 520, 50), Qt::AlignCenter, QStringLiteral("Ortelis"));
    p.setFont(sans(14, false));
    p.drawText(QRect(0, 250, 520, 30), Qt::AlignCenter, QStringLiteral("Version 1.0.0.2009"));
    return img;
}

QImage aboutPicture()
{
    QImage img(64, 64, QImage::Format_RGB32);
    img.fill(SkyBlue);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(26, 24), 34);
    g.setColorAt(0, QColor(90, 150, 255));
    g.setColorAt(1, QColor(0, 50, 160));
    p.setBrush(g);
    p.setPen(QPen(QColor(0, 30, 100), 1.5));
    p.drawEllipse(QRectF(3, 3, 58, 58));
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0, 30, 100), 1.5));
    p.drawPath(tooth(QRectF(16, 15, 32, 36)));
    return img;
}

}   // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool ok = mainPicture().save(dir + QStringLiteral("/main.jpg"), "JPEG", 92)
        && splashPicture().save(dir + QStringLiteral("/splash.jpg"), "JPEG", 92)
        && aboutPicture().save(dir + QStringLiteral("/about.jpg"), "JPEG", 95);
    return ok ? 0 : 1;
}
