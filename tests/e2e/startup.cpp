#include "data/practice/schema.h"
#include "tests/common/testmain.h"
#include "tests/e2e/xsession.h"
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>

// The real program under a virtual X server, driven with xdotool.
class EndToEndTest : public QObject {
    Q_OBJECT

    XSession m_x;

    bool makePractice(const QString &dir)
    {
        const QString tool = QStringLiteral(MOLARIX_BINARY_DIR "/molarix-db");
        if (QFileInfo::exists(tool))
            return QProcess::execute(tool, {QStringLiteral("create"), dir, QStringLiteral("--password"), QStringLiteral("molarix")}) == 0;
        Schema::createDatabase(dir, QStringLiteral("molarix"));
        return true;
    }

    void startProgram(QProcess &program, const QString &dir)
    {
        program.setProcessEnvironment(m_x.environment());
        program.setWorkingDirectory(dir);
        program.start(QStringLiteral(MOLARIX_BINARY_DIR "/molarix"), {});
        QVERIFY(program.waitForStarted());
    }

    static void ends(QProcess &program)
    {
        if (!program.waitForFinished(120000)) {
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
        if (!m_x.hasTools())
            QSKIP("xvfb-run or xdotool is not installed");
        if (!m_x.start())
            QSKIP("no virtual X server");
    }

    void rightPasswordReachesTheMainWindowAndExitEnds()
    {
        QTemporaryDir dir;
        QVERIFY(makePractice(dir.path()));
        QProcess program;
        ProcessStopper stopper{program};
        startProgram(program, dir.path());

        const QString access = m_x.waitForWindow(QStringLiteral("^Έλεγχος πρόσβασης$"));
        QVERIFY2(!access.isEmpty(), "no access check");
        m_x.type(access, QStringLiteral("molarix"));
        m_x.keys(access, {"Return"});
        const QString main = m_x.waitForWindow(QStringLiteral("^Molarix created by Ortelis$"));
        QVERIFY2(!main.isEmpty(), "no main window");

        // Alt+ξ: the menu's "Έ&ξοδος", then "&Yes".
        const QString confirm = m_x.keysUntil(main, {"alt+Greek_xi"}, QStringLiteral("^Confirm$"));
        QVERIFY2(!confirm.isEmpty(), "no exit question");
        m_x.keys(confirm, {"Return"});
        ends(program);
    }

    // The file engine is loaded only once the password is given: a broken
    // one is reported then, and the program ends instead of crashing.
    void anEngineThatDoesNotLoadIsReported()
    {
        QTemporaryDir dir;
        QVERIFY(makePractice(dir.path()));
        QTemporaryDir libraries;
        QFile broken(libraries.filePath(QStringLiteral("libsqlcipher.so.0")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a library");
        broken.close();
        QProcess program;
        ProcessStopper stopper{program};
        QProcessEnvironment env = m_x.environment();
        env.insert(QStringLiteral("LD_LIBRARY_PATH"), libraries.path());
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(dir.path());
        program.start(QStringLiteral(MOLARIX_BINARY_DIR "/molarix"), {});
        QVERIFY(program.waitForStarted());

        const QString access = m_x.waitForWindow(QStringLiteral("^Έλεγχος πρόσβασης$"));
        QVERIFY2(!access.isEmpty(), "no access check");
        m_x.type(access, QStringLiteral("molarix"));
        m_x.keys(access, {"Return"});
        const QString box = m_x.waitForWindow(QStringLiteral("^Molarix created by Ortelis$"));
        QVERIFY2(!box.isEmpty(), "no message");
        m_x.keys(box, {"Return"});
        QVERIFY(program.waitForFinished(120000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), EXIT_FAILURE);
        const QString said = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("βιβλιοθήκη libsqlcipher.so.0")), qPrintable(said));
    }

    void wrongPasswordThenLeaving()
    {
        QTemporaryDir dir;
        QVERIFY(makePractice(dir.path()));
        QProcess program;
        ProcessStopper stopper{program};
        startProgram(program, dir.path());

        const QString access = m_x.waitForWindow(QStringLiteral("^Έλεγχος πρόσβασης$"));
        QVERIFY2(!access.isEmpty(), "no access check");
        m_x.type(access, QStringLiteral("Molarix"));
        m_x.keys(access, {"Return"});
        // The refusal is a plain box with the application's title.
        const QString box = m_x.waitForWindow(QStringLiteral("^Molarix created by Ortelis$"));
        QVERIFY2(!box.isEmpty(), "no message");
        m_x.keys(box, {"Return"});
        QVERIFY(m_x.noWindow(QStringLiteral("^Molarix created by Ortelis$")));
        QVERIFY(program.state() == QProcess::Running);

        m_x.keys(access, {"Escape"});
        ends(program);
    }
};

MOLARIX_TEST(EndToEndTest)

// What the program loads before the access check is on screen: the file
// engine (SQLCipher, OpenSSL) comes when the password is given, the Jet
// reader with an import, the libraries of a server practice when one is
// opened, the JPEG reader with the main window and printing with a print.
class StartupLibrariesTest : public QObject {
    Q_OBJECT

private slots:
    void accessCheckComesUpWithoutLaterLibraries_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<bool>("loaded");
        // The widgets are loaded: the list below is read right.
        QTest::newRow("widgets") << QStringLiteral("libQt6Widgets.so") << true;
        QTest::newRow("sqlcipher") << QStringLiteral("libsqlcipher.so") << false;
        QTest::newRow("libcrypto") << QStringLiteral("libcrypto.so") << false;
        QTest::newRow("libmdb") << QStringLiteral("libmdb.so") << false;
        QTest::newRow("libpq") << QStringLiteral("libpq.so") << false;
        QTest::newRow("print support") << QStringLiteral("libQt6PrintSupport.so") << false;
        QTest::newRow("libjpeg") << QStringLiteral("libjpeg.so") << false;
    }

    void accessCheckComesUpWithoutLaterLibraries()
    {
        QFETCH(QString, library);
        QFETCH(bool, loaded);
        const QString program = QStringLiteral(MOLARIX_BINARY_DIR "/molarix");
        if (!QFileInfo::exists(program))
            QSKIP("molarix is not built");
        QTemporaryDir dir;
        Schema::createDatabase(dir.path(), QStringLiteral("molarix"));
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("MOLARIX_EXIT_WHEN_SHOWN"), QStringLiteral("TForm65"));
        env.insert(QStringLiteral("MOLARIX_SPLASH_MS"), QStringLiteral("0"));
        // The dynamic loader names every library it loads.
        env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(dir.path());
        run.start(program, {});
        QVERIFY(run.waitForFinished(120000));
        QVERIFY(run.readAllStandardOutput().contains("TForm65 shown"));
        QStringList files;
        for (const QByteArray &line : run.readAllStandardError().split('\n')) {
            const qsizetype at = line.indexOf("file=");
            if (at >= 0 && (line.contains("needed by") || line.contains("dynamically loaded by")))
                files << QString::fromLocal8Bit(line.mid(at + 5, line.indexOf(' ', at) - at - 5));
        }
        QVERIFY(!files.isEmpty());
        const bool found = !files.filter(library).isEmpty();
        QVERIFY2(found == loaded, qPrintable(files.join(u' ')));
    }
};

MOLARIX_TEST(StartupLibrariesTest)
#include "startup.moc"
