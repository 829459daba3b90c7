#include "tests/common/testmain.h"
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The installed program's first start, as from the desktop menu: the
// package's files unpacked into a root folder (MOLARIX_PACKAGE_ROOT, set by
// the packaging test), a fresh home folder, the desktop entry's Exec line
// under a virtual X server.
class PackagedFirstRunTest : public QObject {
    Q_OBJECT

    QString m_root;
    QProcess m_xvfb;
    QString m_display, m_authority, m_xdotool;
    QTemporaryDir m_home;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("XAUTHORITY"), m_authority);
        env.insert(QStringLiteral("MOLARIX_SPLASH_MS"), QStringLiteral("200"));
        env.insert(QStringLiteral("PATH"), m_root + QStringLiteral("/usr/bin:") + env.value(QStringLiteral("PATH")));
        return env;
    }

    QString xdotool(const QStringList &args)
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(m_xdotool, args);
        if (!p.waitForFinished(15000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    QString waitForWindow(const QString &title)
    {
        return xdotool({"search", "--sync", "--onlyvisible", "--name", title}).section(QLatin1Char('\n'), 0, 0);
    }
    void keys(const QString &window, const QStringList &names)
    {
        xdotool({"windowfocus", "--sync", window});
        xdotool(QStringList{"key", "--delay", "30"} + names);
    }
    void type(const QString &window, const QString &text)
    {
        xdotool({"windowfocus", "--sync", window});
        xdotool({"type", "--delay", "30", text});
    }

    // The command of the desktop entry's Exec line, without field codes.
    QStringList execLine() const
    {
        QFile entry(m_root + QStringLiteral("/usr/share/applications/gr.ortelis.Molarix.desktop"));
        if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        bool inEntry = false;
        while (!entry.atEnd()) {
            const QString line = QString::fromUtf8(entry.readLine()).trimmed();
            if (line.startsWith(QLatin1Char('[')))
                inEntry = line == QLatin1String("[Desktop Entry]");
            else if (inEntry && line.startsWith(QLatin1String("Exec="))) {
                QStringList words = QProcess::splitCommand(line.mid(5));
                words.removeIf([](const QString &w) { return w.size() == 2 && w.startsWith(QLatin1Char('%')); });
                return words;
            }
        }
        return {};
    }

    // Skipping in initTestCase would end the test classes after this one too.
    bool startServer()
    {
        const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xvfbRun.isEmpty() || m_xdotool.isEmpty())
            return false;
        m_xvfb.start(xvfbRun, {"-a", "-s", "-screen 0 1280x1024x24", "sh", "-c", "echo \"$DISPLAY $XAUTHORITY\"; read x"});
        if (!m_xvfb.waitForStarted())
            return false;
        QDeadlineTimer deadline(30000);
        while (!m_xvfb.canReadLine() && !deadline.hasExpired() && m_xvfb.state() == QProcess::Running)
            m_xvfb.waitForReadyRead(500);
        const QStringList server = QString::fromLocal8Bit(m_xvfb.readLine()).trimmed().split(QLatin1Char(' '));
        m_display = server.value(0);
        m_authority = server.value(1);
        return !m_display.isEmpty();
    }

private slots:
    void cleanupTestCase()
    {
        if (m_xvfb.state() == QProcess::NotRunning)
            return;
        m_xvfb.closeWriteChannel();
        if (!m_xvfb.waitForFinished(10000))
            m_xvfb.kill();
    }

    void menuStartCreatesAPracticeAndReachesTheMainWindow()
    {
        m_root = qEnvironmentVariable("MOLARIX_PACKAGE_ROOT");
        if (m_root.isEmpty())
            QSKIP("run by the packaging test, which unpacks the package");
        QVERIFY2(startServer(), "no virtual X server (xvfb-run and xdotool are needed)");
        const QStringList command = execLine();
        QVERIFY2(!command.isEmpty(), "no Exec line");
        const QString program = QStandardPaths::findExecutable(command.first(), {m_root + QStringLiteral("/usr/bin")});
        QVERIFY2(!program.isEmpty(), "the Exec line's program is not in the package's bin folder");

        QProcess molarix;
        molarix.setProcessEnvironment(environment());
        molarix.setWorkingDirectory(m_home.path());
        molarix.start(program, command.mid(1));
        QVERIFY(molarix.waitForStarted());
        struct Stopper {
            QProcess &p;
            ~Stopper()
            {
                if (p.state() != QProcess::NotRunning) {
                    p.kill();
                    p.waitForFinished();
                }
            }
        } stopper{molarix};

        const QString choice = waitForWindow(QStringLiteral("^Φάκελος ιατρείου$"));
        QVERIFY2(!choice.isEmpty(), "no first-run window");
        type(choice, QStringLiteral("prwto1"));
        keys(choice, {"Tab"});
        type(choice, QStringLiteral("prwto1"));
        keys(choice, {"Return"});

        const QString access = waitForWindow(QStringLiteral("^Έλεγχος πρόσβασης$"));
        QVERIFY2(!access.isEmpty(), "no access check after creating the practice");
        const QString practice = m_home.path() + QStringLiteral("/Molarix");
        QVERIFY(QFileInfo::exists(practice + QStringLiteral("/data.mdb")));
        for (const QString &f : QDir(m_root + QStringLiteral("/usr/share/molarix/reports")).entryList(QDir::Files))
            QVERIFY2(QFileInfo::exists(practice + QLatin1Char('/') + f), qPrintable(f));
        QSettings remembered(m_home.path() + QStringLiteral("/.config/Molarix/molarix.conf"), QSettings::IniFormat);
        QCOMPARE(remembered.value(QStringLiteral("practice")).toString(), practice);

        type(access, QStringLiteral("prwto1"));
        keys(access, {"Return"});
        const QString main = waitForWindow(QStringLiteral("^Molarix created by Ortelis$"));
        QVERIFY2(!main.isEmpty(), "no main window");
        keys(main, {"alt+Greek_xi"});
        const QString confirm = waitForWindow(QStringLiteral("^Confirm$"));
        QVERIFY2(!confirm.isEmpty(), "no exit question");
        keys(confirm, {"Return"});
        QVERIFY(molarix.waitForFinished(20000));
        QCOMPARE(molarix.exitCode(), 0);
    }
};

MOLARIX_TEST(PackagedFirstRunTest)
#include "firstrun.moc"
