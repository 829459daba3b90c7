#include "app/mainwindow.h"
#include "chart/dentalchart.h"
#include "customers/customerhistory.h"
#include "customers/customerlist.h"
#include "customers/customerprintouts.h"
#include "customers/visits.h"
#include "data/practice/appstate.h"
#include "data/practice/session.h"
#include "data/work/accesslog.h"
#include "data/work/customers.h"
#include "data/work/settings.h"
#include "gui/messages.h"
#include "gui/modal.h"
#include "plans/treatmentplan.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QAction>
#include <QInputDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>

namespace {
// A menu entry or button of a window, and the roles (a: administrator,
// c: clinician, r: reception) it is shown to.
struct Entry {
    char window;   // m: main window, l: customer list, p: customer printouts
    const char *name;
    const char *roles;
};
const Entry kEntries[] = {
    {'m', "N17", "acr"}, {'m', "Button2", "acr"}, {'m', "N16", "acr"}, {'m', "Button1", "acr"}, {'m', "N12", "ar"}, {'m', "N13", "ar"}, {'m', "Button13", "ar"}, {'m', "N14", "ar"}, {'m', "Button7", "ar"}, {'m', "N18", "ar"}, {'m', "N19", "acr"}, {'m', "Button9", "acr"}, {'m', "N30", "ac"}, {'m', "N3", "acr"}, {'m', "Button12", "acr"}, {'m', "Y1", "acr"}, {'m', "N10", "acr"}, {'m', "N4", "acr"}, {'m', "N28", "acr"}, {'m', "Button14", "acr"}, {'m', "N6", "a"}, {'m', "N7", "a"}, {'m', "N31", "a"}, {'m', "N11", "acr"}, {'m', "N32", "a"}, {'m', "N34", "a"}, {'m', "N29", "a"}, {'l', "Button2", "acr"}, {'l', "N2", "acr"}, {'l', "Button3", "ac"}, {'l', "N3", "ac"}, {'l', "Button8", "ac"}, {'l', "N11", "ac"}, {'l', "Button9", "ac"}, {'l', "N12", "ac"}, {'l', "Button1", "ac"}, {'l', "N4", "ac"}, {'l', "Button7", "acr"}, {'l', "N6", "acr"}, {'l', "Button6", "acr"}, {'l', "Button5", "acr"}, {'l', "Button10", "ac"}, {'l', "nbDelete", "ac"}, {'l', "N13", "ac"}, {'p', "Button2", "acr"}, {'p', "Button8", "ac"}, {'p', "Button9", "ac"}};

bool shown(QWidget *window, const char *name)
{
    if (auto *a = window->findChild<QAction *>(QLatin1String(name)))
        return a->isVisible();
    return !child<QWidget>(window, name)->isHidden();
}
}

// The windows follow the signed-in user's role: entries the role may not
// use are hidden, and reaching their windows anyway is refused in Greek.
class RoleWindowsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempPractice> p;
    QString customer;
    QStringList opened;

private slots:
    void init()
    {
        p = std::make_unique<TempPractice>();
        NumberingFixed = true;
        p->exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,ISTORIKO) VALUES('Άννα','Αντωνίου','Αλλεργία στην πενικιλίνη')"));
        customer = p->scalar(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toString();
        opened.clear();
        SetModalHandler([this](QDialog *d) {
            opened << QString::fromLatin1(d->metaObject()->className());
            return 0;
        });
    }
    void cleanup()
    {
        SetModalHandler({});
        Form18 = nullptr;
        p->signInAs(QString(), Users::Role::Administrator);
        p.reset();
        NumberingFixed = false;
        Messages::takeShown();
    }

    void entriesFollowTheRole_data()
    {
        QTest::addColumn<Users::Role>("role");
        QTest::addColumn<char>("letter");
        QTest::newRow("administrator") << Users::Role::Administrator << 'a';
        QTest::newRow("clinician") << Users::Role::Clinician << 'c';
        QTest::newRow("reception") << Users::Role::Reception << 'r';
    }
    void entriesFollowTheRole()
    {
        QFETCH(Users::Role, role);
        QFETCH(char, letter);
        p->signInAs(QStringLiteral("Χρήστης"), role);
        TForm3 main(QDateTime::currentDateTime());
        TForm18 list;
        Form18 = &list;
        list.ListSql = Customers::all().sql;
        list.show();
        TForm22 printouts;
        printouts.CustomerId = customer;
        printouts.show();
        for (const Entry &e : kEntries) {
            QWidget *window = e.window == 'm' ? static_cast<QWidget *>(&main) : e.window == 'l' ? static_cast<QWidget *>(&list)
                                                                                                : &printouts;
            QVERIFY2(shown(window, e.name) == (std::strchr(e.roles, letter) != nullptr),
                     qPrintable(QStringLiteral("%1 %2").arg(QLatin1Char(e.window)).arg(QLatin1String(e.name))));
        }
    }

    // The administrator's retention entry asks the years, 15 until set,
    // stores the answer and logs the change.
    void retentionYearsAreAskedStoredAndLogged()
    {
        TForm3 main(QDateTime::currentDateTime());
        int asked = 0;
        SetModalHandler([&](QDialog *d) {
            auto *in = qobject_cast<QInputDialog *>(d);
            asked = in ? in->intValue() : -1;
            if (in)
                in->setIntValue(20);
            return int(QDialog::Accepted);
        });
        child<QAction>(&main, "N34")->trigger();
        QCOMPARE(Messages::takeShown().size(), 0);
        QCOMPARE(asked, Settings::DefaultRetentionYears);
        QCOMPARE(Settings::retentionYears(p->conn()), 20);
        const AccessLog::Entry last = AccessLog::entries(p->conn()).last();
        QCOMPARE(last.action, AccessLog::code(AccessLog::Action::Change));
        QVERIFY2(last.detail.contains(QStringLiteral("20")), qPrintable(last.detail));
    }

    // Reception reaches no history, visits, chart, plan or export: not by
    // a hidden button or menu entry, nor by a window shown directly, whose
    // data the units of work refuse.
    void receptionIsRefusedEveryWayIn()
    {
        p->signInAs(QStringLiteral("Ελένη"), Users::Role::Reception);
        const QString refused = QStringLiteral("Ο ρόλος σας (Γραμματεία) δεν επιτρέπει ");
        auto expectRefusals = [&](int n, const char *what) {
            const QList<Messages::Shown> m = Messages::takeShown();
            QStringList texts;
            for (const Messages::Shown &s : m)
                texts << s.text;
            QVERIFY2(m.size() == n, qPrintable(QLatin1String(what) + QLatin1Char(':') + texts.join(QLatin1Char('|'))));
            for (const Messages::Shown &s : m)
                QVERIFY2(s.kind == Messages::Kind::Error && s.text.startsWith(refused), qPrintable(s.text));
            QVERIFY2(opened.isEmpty(), qPrintable(opened.join(QLatin1Char(' '))));
        };
        {
            TForm18 list;
            Form18 = &list;
            list.ListSql = Customers::all().sql;
            list.show();
            for (const char *name : {"Button3", "Button8", "Button9", "Button1", "Button10"})
                child<QPushButton>(&list, name)->click();
            for (const char *name : {"N3", "N11", "N12", "N4", "N13"})
                child<QAction>(&list, name)->trigger();
            expectRefusals(10, "customer list");
        }
        {
            TForm3 main(QDateTime::currentDateTime());
            Messages::takeShown();
            for (const char *name : {"N30", "N7", "N31", "N32", "N34", "N29", "N8"})
                child<QAction>(&main, name)->trigger();
            expectRefusals(7, "main window");
        }
        {
            TForm20 history;
            history.CustomerId = customer;
            history.show();
            QVERIFY(!child<QPlainTextEdit>(&history, "DBMemo1")->toPlainText().contains(QStringLiteral("Αλλεργία")));
            TFORM17A visits;
            visits.CustomerId = customer;
            visits.show();
            TForm80 chart;
            chart.CustomerId = customer;
            chart.show();
            TForm83 plan;
            plan.CustomerId = customer;
            plan.show();
            expectRefusals(4, "windows shown directly");
        }
    }
};

MOLARIX_TEST(RoleWindowsTest)
#include "roles.moc"
