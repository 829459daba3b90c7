#include "expenses/expensesbydates.h"
#include "expenses/expensesbymonth.h"
#include "expenses/expensesregister.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"

#include "app/openers.h"
#include "app/startupwindows.h"
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

class ExpensesOpeningTest : public QObject {
    Q_OBJECT

    struct Opened {
        QString className;
        QPointer<QWidget> window;   // null once the window is destroyed
    };
    // Opens through the main window's opener and tells which modal window
    // came up, closing it again.
    static Opened openAndClose(const QString &windowClass)
    {
        Opened seen;
        const auto opener = WindowOpener(windowClass);
        if (!opener)
            return seen;
        QTimer::singleShot(0, [&seen] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w)
                return;
            seen = {QString::fromLatin1(w->metaObject()->className()), w};
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
        });
        opener();
        return seen;
    }

private slots:
    void theRegisterIsANewWindowEachTime()
    {
        TempPractice p;
        const Opened opened = openAndClose(QStringLiteral("TForm13"));
        QCOMPARE(opened.className, QStringLiteral("TForm13"));
        QVERIFY(!opened.window);   // destroyed once closed
    }

    void theReportsAreTheStartUpInstances()
    {
        TempPractice p;
        CreateStartupWindows();
        QVERIFY(Form14 && Form15);
        TForm14 *search = Form14;
        child<QLineEdit>(search, "Edit1")->setText(QStringLiteral("1/1/2009"));
        QCOMPARE(openAndClose(QStringLiteral("TForm14")).window.data(), static_cast<QWidget *>(Form14));
        QCOMPARE(openAndClose(QStringLiteral("TForm15")).window.data(), static_cast<QWidget *>(Form15));
        QCOMPARE(Form14, search);
        // Each opening starts with empty dates.
        QCOMPARE(child<QLineEdit>(Form14, "Edit1")->text(), QString());
        DestroyStartupWindows();
        QVERIFY(!Form14 && !Form15);
    }
};

MOLARIX_TEST(ExpensesOpeningTest)
#include "test_expensesopening.moc"
