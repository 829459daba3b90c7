#include "data/schema.h"
#include "tests/common/testmain.h"
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The real program under a virtual X server, driven with xdotool.
class EndToEndTest : public QObject {
    Q_OBJECT

    QProcess m_xvfb;
    QString m_display;
    QString m_authority;
    QString m_xdotool;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("XAUTHORITY"), m_authority);
        env.insert(QStringLiteral("MOLARIX_SPLASH_MS"), QStringLiteral("200"));
        return env;
    }

    QString xdotool(const QStringList &args, int timeoutMs = 15000)
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(m_xdotool, args);
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    // The id of the first visible window whose title matches, or empty.
    QString waitForWindow(const QString &title)
    {
        return xdotool({"search", "--sync", "--onlyvisible", "--name", title}).section(QLatin1Char('\n'), 0, 0);
    }

    bool noWindow(const QString &title)
    {
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (xdotool({"search", "--onlyvisible", "--name", title}).isEmpty())
                return true;
            QTest::qWait(100);
        }
        return false;
    }

    void keys(const QString &window, const QStringList &keyNames)
    {
        xdotool({"windowfocus", "--sync", window});
        xdotool(QStringList{"key", "--delay", "30"} + keyNames);
    }

    void typeInto(const QString &window, const QString &text)
    {
        xdotool({"windowfocus", "--sync", window});
        xdotool({"type", "--delay", "30", text});
    }

    bool makePractice(const QString &dir)
    {
        const QString tool = QStringLiteral(MOLARIX_BINARY_DIR "/molarix-db");
        if (QFileInfo::exists(tool))
            return QProcess::execute(tool, {QStringLiteral("create"), dir}) == 0;
        Schema::createDatabase(dir);
        return true;
    }

    void startProgram(QProcess &program, const QString &dir)
    {
        program.setProcessEnvironment(environment());
        program.setWorkingDirectory(dir);
        program.start(QStringLiteral(MOLARIX_BINARY_DIR "/molarix"), {});
        QVERIFY(program.waitForStarted());
    }

    // Ends a program left running by a failed check.
    struct Stopper {
        QProcess &p;
        ~Stopper()
        {
            if (p.state() != QProcess::NotRunning) {
                p.kill();
                p.waitForFinished();
            }
        }
    };

    static void ends(QProcess &program)
    {
        if (!program.waitForFinished(20000)) {
            program.kill();
            program.waitForFinished();
            QFAIL("the program did not end");
        }
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

private slots:
    void initTestCase()
    {
        if (!QFileInfo::exists(QStringLiteral(MOLARIX_BINARY_DIR "/molarix")))
            QSKIP("molarix is not built");
        const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xvfbRun.isEmpty() || m_xdotool.isEmpty())
            QSKIP("xvfb-run or xdotool is not installed");
        // A server that lives until its helper reads the end of its input.
        m_xvfb.start(xvfbRun, {"-a", "-s", "-screen 0 1280x1024x24", "sh", "-c", "echo \"$DISPLAY $XAUTHORITY\"; read x"});
        if (!m_xvfb.waitForStarted())
            QSKIP("xvfb-run cannot start");
        QDeadlineTimer deadline(30000);
        while (!m_xvfb.canReadLine() && !deadline.hasExpired() && m_xvfb.state() == QProcess::Running)
            m_xvfb.waitForReadyRead(500);
        const QStringList server = QString::fromLocal8Bit(m_xvfb.readLine()).trimmed().split(QLatin1Char(' '));
        m_display = server.value(0);
        m_authority = server.value(1);
        if (m_display.isEmpty())
            QSKIP("no virtual X server");
    }

    void cleanupTestCase()
    {
        if (m_xvfb.state() == QProcess::NotRunning)
            return;
        m_xvfb.closeWriteChannel();
        if (!m_xvfb.waitForFinished(10000))
            m_xvfb.kill();
    }

    void rightPasswordReachesTheMainWindowAndExitEnds()
    {
        QTemporaryDir dir;
        QVERIFY(makePractice(dir.path()));
        QProcess program;
        Stopper stopper{program};
        startProgram(program, dir.path());

        const QString access = waitForWindow(QStringLiteral("^Έλεγχος πρόσβασης$"));
        QVERIFY2(!access.isEmpty(), "no access check");
        typeInto(access, QStringLiteral("molarix"));
        keys(access, {"Return"});
        const QString main = waitForWindow(QStringLiteral("^Molarix created by Ortelis$"));
        QVERIFY2(!main.isEmpty(), "no main window");

        // Alt+ξ: the menu's "Έ&ξοδος", then "&Yes".
        keys(main, {"alt+Greek_xi"});
        const QString confirm = waitForWindow(QStringLiteral("^Confirm$"));
        QVERIFY2(!confirm.isEmpty(), "no exit question");
        keys(confirm, {"Return"});
        ends(program);
    }

    void wrongPasswordThenLeaving()
    {
        QTemporaryDir dir;
        QVERIFY(makePractice(dir.path()));
        QProcess program;
        Stopper stopper{program};
        startProgram(program, dir.path());

        const QString access = waitForWindow(QStringLiteral("^Έλεγχος πρόσβασης$"));
        QVERIFY2(!access.isEmpty(), "no access check");
        typeInto(access, QStringLiteral("Molarix"));
        keys(access, {"Return"});
        // The refusal is a plain box with the application's title.
        const QString box = waitForWindow(QStringLiteral("^Molarix created by Ortelis$"));
        QVERIFY2(!box.isEmpty(), "no message");
        keys(box, {"Return"});
        QVERIFY(noWindow(QStringLiteral("^Molarix created by Ortelis$")));
        QVERIFY(program.state() == QProcess::Running);

        keys(access, {"Escape"});
        ends(program);
    }
};

MOLARIX_TEST(EndToEndTest)
#include "startup.moc"
