#pragma once
// For timing the start-up: with MOLARIX_EXIT_WHEN_SHOWN naming a window (its
// object name), the program ends as soon as that window is first on screen,
// writing "<name> shown" to its output. Kept to this header so that the
// empty program the start-up is compared with watches the same way.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

class ShownProbe : public QObject {
public:
    ShownProbe(const QString &name, QObject *parent) : QObject(parent), m_name(name) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Expose || m_seen)
            return false;
        auto *window = qobject_cast<QWindow *>(watched);
        if (!window || !window->isExposed())
            return false;
        for (const QWidget *w : QApplication::topLevelWidgets()) {
            if (w->windowHandle() == window && w->objectName() == m_name) {
                m_seen = true;
                // Once the exposure is painted and handed to the screen.
                QTimer::singleShot(0, [line = m_name.toUtf8() + " shown\n"] {
                    std::fputs(line.constData(), stdout);
                    std::fflush(stdout);
                    std::_Exit(0);
                });
            }
        }
        return false;
    }

    static void installFromEnvironment(QObject *app)
    {
        const QString name = qEnvironmentVariable("MOLARIX_EXIT_WHEN_SHOWN");
        if (!name.isEmpty())
            app->installEventFilter(new ShownProbe(name, app));
    }

private:
    QString m_name;
    bool m_seen = false;
};
