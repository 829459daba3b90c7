#include "app/analogclock.h"
#include "data/db/clock.h"
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

const QColor AnalogClock::HourColor(0, 255, 255);
const QColor AnalogClock::MinuteColor(0, 128, 128);
const QColor AnalogClock::SecondColor(0, 0, 0);

AnalogClock::AnalogClock(QWidget *parent)
    : QWidget(parent), m_timer(new QTimer(this))
{
    setAutoFillBackground(false);   // the face is transparent
    m_time = Clock::now().time();
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &AnalogClock::tick);
    m_timer->start();
}

void AnalogClock::tick()
{
    m_time = Clock::now().time();
    update();
}

void AnalogClock::mouseDoubleClickEvent(QMouseEvent *e)
{
    // The clock has no double-click action, and the panel behind it must
    // not get one either.
    e->accept();
}

void AnalogClock::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = qMin(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    p.scale(side / 200.0, side / 200.0);

    // Hour and minute marks.
    p.setPen(QPen(QColor(0, 0, 80), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 12; ++i) {
        p.drawLine(0, -88, 0, -96);
        p.rotate(30);
    }
    p.setPen(QPen(QColor(0, 0, 80), 1));
    for (int i = 0; i < 60; ++i) {
        if (i % 5 != 0)
            p.drawLine(0, -92, 0, -96);
        p.rotate(6);
    }

    const double seconds = m_time.second();
    const double minutes = m_time.minute() + seconds / 60.0;
    const double hours = (m_time.hour() % 12) + minutes / 60.0;
    // Widths are in screen pixels, whatever the clock's size.
    const double unit = 200.0 / side;
    auto hand = [&](double angle, double length, const QColor &c, double widthPx) {
        p.save();
        p.rotate(angle);
        p.setPen(QPen(c, widthPx * unit, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0, 12), QPointF(0, -length));
        p.restore();
    };
    hand(hours * 30.0, 50, HourColor, 5);
    hand(minutes * 6.0, 75, MinuteColor, 3);
    hand(seconds * 6.0, 85, SecondColor, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(MinuteColor);
    p.drawEllipse(QPointF(0, 0), 3 * unit, 3 * unit);
}
