#include "tests/common/testmain.h"
#include <QProcess>
#include <QTest>

namespace {
struct Run {
    int exitCode = -1;
    QString output;
};

Run runProbe(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(MOLARIX_BINARY_DIR "/tests/runner_probe"), args);
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.output = QString::fromUtf8(p.readAll());
    return r;
}
}

class TestRunnerTest : public QObject {
    Q_OBJECT
private slots:
    void missingWidgetFailsOnlyItsTest()
    {
        const Run r = runProbe({QStringLiteral("ProbeTest")});
        QVERIFY2(r.exitCode == 1, qPrintable(r.output));
        QVERIFY2(r.output.contains(QStringLiteral("PASS   : ProbeTest::before()")), qPrintable(r.output));
        QVERIFY2(r.output.contains(QStringLiteral("FAIL!  : ProbeTest::missingWidget() no QLineEdit named \"Edit9\" in QWidget \"probeWindow\"")),
                 qPrintable(r.output));
        QVERIFY2(r.output.contains(QStringLiteral("probe.cpp(16)")), qPrintable(r.output));
        QVERIFY(!r.output.contains(QStringLiteral("after the lookup")));
        // The functions after the failed one still run.
        QVERIFY2(r.output.contains(QStringLiteral("after ran")), qPrintable(r.output));
        QVERIFY2(r.output.contains(QStringLiteral("PASS   : ProbeTest::after()")), qPrintable(r.output));
        QVERIFY(r.output.contains(QStringLiteral("0 passed, 1 failed")));
    }

    void otherClassesStillRun()
    {
        const Run all = runProbe({});
        QCOMPARE(all.exitCode, 1);
        QVERIFY2(all.output.contains(QStringLiteral("PASS   : ProbeOtherTest::passes()")), qPrintable(all.output));
        QVERIFY(all.output.contains(QStringLiteral("1 passed, 1 failed")));

        const Run alone = runProbe({QStringLiteral("ProbeOtherTest")});
        QCOMPARE(alone.exitCode, 0);
        QVERIFY(!alone.output.contains(QStringLiteral("ProbeTest::")));
    }

    void unknownClassIsAFailure()
    {
        const Run r = runProbe({QStringLiteral("NoSuchTest")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.output.contains(QStringLiteral("no test class named NoSuchTest")));
    }
};

MOLARIX_TEST(TestRunnerTest)
#include "test_runner.moc"
