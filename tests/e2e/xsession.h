#pragma once
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>

// A virtual X server for the tests that run the real program, with xdotool
// to find its windows and type into them.
class XSession {
public:
    ~XSession();

    // Starts the server (xvfb-run); false when xvfb-run or xdotool is
    // missing or no server came up.
    bool start();
    bool hasTools() const;

    // What a program shown on this server runs with: the system's
    // environment on this display, not offscreen, with a short splash,
    // then whatever adjust changes.
    QProcessEnvironment environment() const;
    void setAdjust(std::function<void(QProcessEnvironment &)> adjust) { m_adjust = std::move(adjust); }

    // Bounds are generous: a loaded machine may take long to show a window,
    // and a wait ends as soon as its condition holds.
    QString xdotool(const QStringList &args, int timeoutMs = 120000) const;
    // The id of the first visible window whose title matches, or empty.
    QString waitForWindow(const QString &title, int timeoutMs = 120000) const;
    // True once no visible window's title matches (within two minutes).
    bool noWindow(const QString &title) const;
    void keys(const QString &window, const QStringList &keyNames) const;
    // Presses keyNames on window until a window titled title shows (a key
    // that reaches a window before the program made it active is lost);
    // that window's id, or empty after two minutes.
    QString keysUntil(const QString &window, const QStringList &keyNames, const QString &title) const;
    void type(const QString &window, const QString &text) const;

private:
    QProcess m_xvfb;
    QString m_display, m_authority;
    std::function<void(QProcessEnvironment &)> m_adjust;
};

// Ends a program left running by a failed check.
struct ProcessStopper {
    QProcess &p;
    ~ProcessStopper();
};
