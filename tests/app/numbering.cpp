#include "app/mainwindow.h"
#include "data/practice/appstate.h"
#include "tests/app/startupscript.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QAction>
#include <QMenu>
#include <QTest>

// The numbering row decides whether receipts can be issued; a row without
// a usable number must leave the way back to the numbering window open.
class NumberingRowTest : public QObject {
    Q_OBJECT
private slots:
    void aRowWithoutANumberIsNoNumbering()
    {
        TempPractice p;
        // As an earlier version could leave it: the column then took anything.
        p.conn().executeNative(QStringLiteral("DROP TABLE LAST_APODEIKSH"));
        p.conn().executeNative(QStringLiteral("CREATE TABLE LAST_APODEIKSH (\"LAST\" INTEGER)"));
        p.conn().executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH (\"LAST\") VALUES (NULL)"));
        InFolder here(p.path());
        StartupScript s;
        s.passwords = {QStringLiteral("molarix")};
        TForm3 w;
        QVERIFY(!NumberingFixed);
        QAction *n8 = w.findChild<QAction *>(QStringLiteral("N8"));
        QVERIFY(n8 && n8->isVisible());

        p.exec(QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=0"));
        w.CheckNumbering();
        QVERIFY(!NumberingFixed);
        p.exec(QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=3000000000"));
        w.CheckNumbering();
        QVERIFY(NumberingFixed);
        QVERIFY(!n8->isVisible());

        // At the last number no receipt can be issued: the entry comes back,
        // also when the counter got there after start, as the menu opens.
        for (const bool byMenu : {false, true}) {
            p.exec(QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=9223372036854775807"));
            if (byMenu)
                emit w.findChild<QMenu *>(QStringLiteral("N6"))->aboutToShow();
            else
                w.CheckNumbering();
            QVERIFY(!NumberingFixed);
            QVERIFY(n8->isVisible());
            p.exec(QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=9223372036854775806"));
            w.CheckNumbering();
            QVERIFY(NumberingFixed);
            QVERIFY(!n8->isVisible());
        }
        NumberingFixed = false;
    }
};

MOLARIX_TEST(NumberingRowTest)
#include "numbering.moc"
