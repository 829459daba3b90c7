#include "app/about.h"
#include "app/accesscheck.h"
#include "app/mainwindow.h"
#include "app/splash.h"
#include "app/passwordchange.h"
#include "app/practicechoice.h"
#include "tests/app/startupscript.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tools/reminders.h"
#include "tools/remindersviewer.h"
#include "data/dataset.h"
#include <QPushButton>
#include <QTest>

// Renders this program's windows to PNG files for looking at them:
// MOLARIX_PICTURES_DIR=/tmp/pictures test_app WindowPictures
class WindowPictures : public QObject {
    Q_OBJECT
    QString m_dir;

    void save(QWidget *w, const QString &name)
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QImage picture = w->grab().toImage();
        QVERIFY(!picture.isNull());
        QVERIFY(picture.save(m_dir + QLatin1Char('/') + name + QStringLiteral(".png")));
    }

private slots:
    void render()
    {
        // Skipped here, not in initTestCase, so the classes after it still run.
        m_dir = qEnvironmentVariable("MOLARIX_PICTURES_DIR");
        if (m_dir.isEmpty())
            QSKIP("set MOLARIX_PICTURES_DIR to render the windows");
        QDir().mkpath(m_dir);
        TempPractice p;
        p.conn().executeNative(QStringLiteral("INSERT INTO YPENTHIMISEIS VALUES ('2008-03-05', 'Παραγγελία υλικών\nΤηλεφώνημα στο εργαστήριο')"));
        p.conn().executeNative(QStringLiteral("INSERT INTO YPENTHIMISEIS VALUES ('2007-12-28', 'Πληρωμή ΦΠΑ')"));
        {
            InFolder here(p.path());
            StartupScript s;
            s.passwords = {QStringLiteral("molarix")};
            TForm3 w;
            w.resize(1280, 800);
            w.Timer1Timer();
            child<QPushButton>(&w, "BitBtn1")->click();
            save(&w, QStringLiteral("mainwindow"));
        }
        TForm4 splash;
        save(&splash, QStringLiteral("splash"));
        TForm65 access;
        save(&access, QStringLiteral("accesscheck"));
        TForm62 about;
        save(&about, QStringLiteral("about"));
        TForm66 password;
        save(&password, QStringLiteral("passwordchange"));
        PracticeChoice practice;
        save(&practice, QStringLiteral("practicechoice"));
        TForm11 reminders;
        save(&reminders, QStringLiteral("reminders"));
        TForm12 viewer;
        viewer.ADOQuery1->setSql(QStringLiteral("SELECT * from YPENTHIMISEIS WHERE YEAR(HMEROMHNIA)=2008"));
        save(&viewer, QStringLiteral("remindersviewer"));
    }
};

MOLARIX_TEST(WindowPictures)
#include "pictures.moc"
