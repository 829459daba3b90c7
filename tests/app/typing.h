#pragma once
#include <QApplication>
#include <QKeyEvent>
#include <QTest>

// Types any text into a widget, one key press per character (QTest's own
// keyClicks knows only ASCII).
inline void typeInto(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128 && c != QLatin1Char('\n')) {
            QTest::keyClick(w, c.toLatin1());
            continue;
        }
        const int key = c == QLatin1Char('\n') ? int(Qt::Key_Return) : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}
