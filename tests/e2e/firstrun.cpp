#include "tests/common/testmain.h"
#include "tests/e2e/xsession.h"
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
    XSession m_x;
    QTemporaryDir m_home;

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

private slots:
    void menuStartCreatesAPracticeAndReachesTheMainWindow()
    {
        m_root = qEnvironmentVariable("MOLARIX_PACKAGE_ROOT");
        if (m_root.isEmpty())
            QSKIP("run by the packaging test, which unpacks the package");
        // Skipping in initTestCase would end the test classes after this one too.
        m_x.setAdjust([this](QProcessEnvironment &env) {
            env.remove(QStringLiteral("XDG_CONFIG_HOME"));
            env.insert(QStringLiteral("HOME"), m_home.path());
            env.insert(QStringLiteral("PATH"), m_root + QStringLiteral("/usr/bin:") + env.value(QStringLiteral("PATH")));
        });
        QVERIFY2(m_x.start(), "no virtual X server (xvfb-run and xdotool are needed)");
        const QStringList command = execLine();
        QVERIFY2(!command.isEmpty(), "no Exec line");
        const QString program = QStandardPaths::findExecutable(command.first(), {m_root + QStringLiteral("/usr/bin")});
        QVERIFY2(!program.isEmpty(), "the Exec line's program is not in the package's bin folder");

        QProcess molarix;
        molarix.setProcessEnvironment(m_x.environment());
        molarix.setWorkingDirectory(m_home.path());
        molarix.start(program, command.mid(1));
        QVERIFY(molarix.waitForStarted());
        ProcessStopper stopper{molarix};

        const QString choice = m_x.waitForWindow(QStringLiteral("^Φάκελος ιατρείου$"));
        QVERIFY2(!choice.isEmpty(), "no first-run window");
        m_x.type(choice, QStringLiteral("prwto1"));
        m_x.keys(choice, {"Tab"});
        m_x.type(choice, QStringLiteral("prwto1"));
        m_x.keys(choice, {"Return"});

        const QString access = m_x.waitForWindow(QStringLiteral("^Έλεγχος πρόσβασης$"));
        QVERIFY2(!access.isEmpty(), "no access check after creating the practice");
        const QString practice = m_home.path() + QStringLiteral("/Molarix");
        QVERIFY(QFileInfo::exists(practice + QStringLiteral("/data.mdb")));
        for (const QString &f : QDir(m_root + QStringLiteral("/usr/share/molarix/reports")).entryList(QDir::Files))
            QVERIFY2(QFileInfo::exists(practice + QLatin1Char('/') + f), qPrintable(f));
        QSettings remembered(m_home.path() + QStringLiteral("/.config/Molarix/molarix.conf"), QSettings::IniFormat);
        QCOMPARE(remembered.value(QStringLiteral("practice")).toString(), practice);

        m_x.type(access, QStringLiteral("prwto1"));
        m_x.keys(access, {"Return"});
        const QString main = m_x.waitForWindow(QStringLiteral("^Molarix created by Ortelis$"));
        QVERIFY2(!main.isEmpty(), "no main window");
        const QString confirm = m_x.keysUntil(main, {"alt+Greek_xi"}, QStringLiteral("^Confirm$"));
        QVERIFY2(!confirm.isEmpty(), "no exit question");
        m_x.keys(confirm, {"Return"});
        QVERIFY(molarix.waitForFinished(120000));
        QCOMPARE(molarix.exitCode(), 0);
    }
};

MOLARIX_TEST(PackagedFirstRunTest)
#include "firstrun.moc"
