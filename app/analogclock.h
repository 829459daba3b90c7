#pragma once
#include <QTime>
#include <QWidget>

class QTimer;

// The main window's clock: hour hand aqua 5 px, minute hand teal 3 px, thin
// second hand, on a transparent face; follows the current local time.
class AnalogClock : public QWidget {
    Q_OBJECT
public:
    explicit AnalogClock(QWidget *parent = nullptr);
    QTime shownTime() const { return m_time; }
    QSize sizeHint() const override { return {120, 120}; }

    static const QColor HourColor;     // aqua
    static const QColor MinuteColor;   // teal
    static const QColor SecondColor;

protected:
    void paintEvent(QPaintEvent *) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;

private:
    void tick();
    QTimer *m_timer;
    QTime m_time;
};
