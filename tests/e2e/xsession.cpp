#include "tests/e2e/xsession.h"
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTest>

namespace {
QString tool(const char *name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }
}

XSession::~XSession()
{
    if (m_xvfb.state() == QProcess::NotRunning)
        return;
    m_xvfb.closeWriteChannel();
    if (!m_xvfb.waitForFinished(10000))
        m_xvfb.kill();
}

bool XSession::hasTools() const { return !tool("xvfb-run").isEmpty() && !tool("xdotool").isEmpty(); }

bool XSession::start()
{
    if (!hasTools())
        return false;
    // A server that lives until its helper reads the end of its input.
    m_xvfb.start(tool("xvfb-run"), {"-a", "-s", "-screen 0 1280x1024x24", "sh", "-c", "echo \"$DISPLAY $XAUTHORITY\"; read x"});
    if (!m_xvfb.waitForStarted())
        return false;
    QDeadlineTimer deadline(120000);
    while (!m_xvfb.canReadLine() && !deadline.hasExpired() && m_xvfb.state() == QProcess::Running)
        m_xvfb.waitForReadyRead(500);
    const QStringList server = QString::fromLocal8Bit(m_xvfb.readLine()).trimmed().split(QLatin1Char(' '));
    m_display = server.value(0);
    m_authority = server.value(1);
    return !m_display.isEmpty();
}

QProcessEnvironment XSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("XAUTHORITY"), m_authority);
    env.insert(QStringLiteral("MOLARIX_SPLASH_MS"), QStringLiteral("200"));
    if (m_adjust)
        m_adjust(env);
    return env;
}

QString XSession::xdotool(const QStringList &args, int timeoutMs) const
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(tool("xdotool"), args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString XSession::waitForWindow(const QString &title, int timeoutMs) const
{
    return xdotool({"search", "--sync", "--onlyvisible", "--name", title}, timeoutMs).section(QLatin1Char('\n'), 0, 0);
}

bool XSession::noWindow(const QString &title) const
{
    QDeadlineTimer deadline(120000);
    while (!deadline.hasExpired()) {
        if (xdotool({"search", "--onlyvisible", "--name", title}).isEmpty())
            return true;
        QTest::qWait(100);
    }
    return false;
}

void XSession::keys(const QString &window, const QStringList &keyNames) const
{
    xdotool({"windowfocus", "--sync", window});
    xdotool(QStringList{"key", "--delay", "30"} + keyNames);
}

QString XSession::keysUntil(const QString &window, const QStringList &keyNames, const QString &title) const
{
    QDeadlineTimer deadline(120000);
    do {
        keys(window, keyNames);
        const QString shown = waitForWindow(title, 10000);
        if (!shown.isEmpty())
            return shown;
    } while (!deadline.hasExpired());
    return {};
}

void XSession::type(const QString &window, const QString &text) const
{
    xdotool({"windowfocus", "--sync", window});
    xdotool({"type", "--delay", "30", text});
}

ProcessStopper::~ProcessStopper()
{
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
    }
}
