// A test program that goes wrong on purpose, run by the runner's own tests.
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QLineEdit>
#include <QTest>

class ProbeTest : public QObject {
    Q_OBJECT
private slots:
    void before() { QVERIFY(true); }
    void missingWidget()
    {
        QWidget w;
        w.setObjectName(QStringLiteral("probeWindow"));
        new QLineEdit(&w);
        child<QLineEdit>(&w, "Edit9")->setText(QStringLiteral("never"));
        qInfo("after the lookup");
    }
    void after() { qInfo("after ran"); }
};

class ProbeOtherTest : public QObject {
    Q_OBJECT
private slots:
    void passes() { QVERIFY(true); }
};

MOLARIX_TEST(ProbeTest)
MOLARIX_TEST(ProbeOtherTest)
#include "probe.moc"
