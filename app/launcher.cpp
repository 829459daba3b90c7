#include "app/launcher.h"
#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace {
bool g_recording = false;
QStringList g_requests;
}

namespace Launcher {

void openUrl(const QString &url)
{
    if (g_recording) {
        g_requests << QStringLiteral("url ") + url;
        return;
    }
    QDesktopServices::openUrl(QUrl::fromUserInput(url));
}

void openPublisherPage()
{
    openUrl(QString::fromLatin1(PublisherPage));
}

void startCalculator()
{
    if (g_recording) {
        g_requests << QStringLiteral("calculator");
        return;
    }
#if defined(Q_OS_WIN)
    const QStringList candidates{QStringLiteral("calc.exe")};
#elif defined(Q_OS_MACOS)
    const QStringList candidates{QStringLiteral("/System/Applications/Calculator.app/Contents/MacOS/Calculator")};
#else
    const QStringList candidates{QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),
                                 QStringLiteral("galculator"), QStringLiteral("xcalc")};
#endif
    // The first calculator the system can start; none at all is no error.
    for (const QString &program : candidates) {
        if (QProcess::startDetached(program, {}))
            return;
    }
}

void setRecording(bool on) { g_recording = on; }

QStringList takeRequests()
{
    QStringList out;
    out.swap(g_requests);
    return out;
}

}   // namespace Launcher
