#include "gui/formstyle.h"
#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QDialog>
#include <QLocale>
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
    useGreekCalendars(w);
}

void useGreekCalendars(QWidget *w)
{
    // Month and day names are Greek whatever the system's language; a date
    // edit's popup calendar is a window of its own and does not inherit.
    const QLocale greek(QLocale::Greek, QLocale::Greece);
    for (QCalendarWidget *c : w->findChildren<QCalendarWidget *>())
        c->setLocale(greek);
    for (QDateTimeEdit *d : w->findChildren<QDateTimeEdit *>()) {
        d->setLocale(greek);
        if (QCalendarWidget *popup = d->calendarWidget())
            popup->setLocale(greek);
    }
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
