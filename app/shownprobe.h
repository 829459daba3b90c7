#pragma once
// For timing the start-up: with MOLARIX_EXIT_WHEN_SHOWN naming a window (its
// object name), the program ends as soon as that window is first on screen,
// writing "<name> shown" to its output. With MOLARIX_SPAN_SHOWN naming
// another window, its time on screen is written too, "<name> on <wall>
// <cpu>" once its first exposure is painted and "<name> off <wall> <cpu>"
// when it is hidden (seconds: the monotonic clock, and the CPU time of the
// thread that shows windows), so that a splash's stay can be left out of the
// start-up's cost. Kept to this header so that the empty program the start-up
// is compared with watches the same way.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <time.h>

class ShownProbe : public QObject {
public:
    ShownProbe(const QString &name, const QString &span, QObject *parent)
        : QObject(parent), m_name(name), m_span(span)
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && m_spanOn && !m_spanOff && watched->isWidgetType()
            && watched->objectName() == m_span && static_cast<QWidget *>(watched)->isWindow()) {
            m_spanOff = true;
            write(m_span.toUtf8() + " off " + now());
        }
        if (event->type() != QEvent::Expose)
            return false;
        auto *window = qobject_cast<QWindow *>(watched);
        if (!window || !window->isExposed())
            return false;
        for (const QWidget *w : QApplication::topLevelWidgets()) {
            if (w->windowHandle() != window)
                continue;
            if (!m_seen && w->objectName() == m_name) {
                m_seen = true;
                // Once the exposure is painted and handed to the screen.
                QTimer::singleShot(0, [line = m_name.toUtf8() + " shown\n"] {
                    write(line);
                    std::_Exit(0);
                });
            } else if (!m_spanOn && !m_span.isEmpty() && w->objectName() == m_span) {
                m_spanOn = true;
                QTimer::singleShot(0, [line = m_span.toUtf8() + " on "] { write(line + now()); });
            }
        }
        return false;
    }

    static void installFromEnvironment(QObject *app)
    {
        const QString name = qEnvironmentVariable("MOLARIX_EXIT_WHEN_SHOWN");
        if (!name.isEmpty())
            app->installEventFilter(new ShownProbe(name, qEnvironmentVariable("MOLARIX_SPAN_SHOWN"), app));
    }

private:
    static QByteArray now()
    {
        timespec wall{};
        timespec cpu{};
        clock_gettime(CLOCK_MONOTONIC, &wall);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        return QByteArray::number(double(wall.tv_sec) + double(wall.tv_nsec) / 1e9, 'f', 6) + ' '
            + QByteArray::number(double(cpu.tv_sec) + double(cpu.tv_nsec) / 1e9, 'f', 6) + '\n';
    }

    static void write(const QByteArray &line)
    {
        std::fputs(line.constData(), stdout);
        std::fflush(stdout);
    }

    QString m_name;
    QString m_span;
    bool m_seen = false;
    bool m_spanOn = false;
    bool m_spanOff = false;
};
