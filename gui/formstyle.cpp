#include "gui/formstyle.h"
#include <QDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
QFont formFont()
{
    static const QFont f = [] {
        const QStringList families = QFontDatabase::families();
        QFont font(families.contains(QStringLiteral("Tahoma")) ? QStringLiteral("Tahoma")
                                                                : QStringLiteral("DejaVu Sans"));
        font.setPointSize(8);
        return font;
    }();
    return f;
}
}

void applyFormStyle(QWidget *w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, QColor(166, 202, 240));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
    w->setFont(formFont());
}

void setupDialog(QDialog *d)
{
    applyFormStyle(d);
    d->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    d->setModal(true);
    QSize size = d->size();
    if (size.isEmpty())
        size = d->sizeHint();
    d->setFixedSize(size);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        d->move(r.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}

void makeBold(QWidget *w)
{
    QFont f = w->font();
    f.setBold(true);
    w->setFont(f);
}

void makeRequiredMark(QWidget *w)
{
    makeBold(w);
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    w->setPalette(pal);
}
