#include "app/accesscheck.h"
#include "app/molarixapplication.h"
#include "app/practicechoice.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/practice/practicefolder.h"
#include "data/practice/schema.h"
#include "gui/messages.h"
#include "gui/modal.h"
#include "tests/app/typing.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QLabel>
#include <QTest>

// Where the program finds its practice, and the window that makes or opens
// one when there is none. Every case runs with its own HOME and
// configuration folder, so no real home folder is touched.
class PracticeChoiceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    QByteArray m_oldHome, m_oldConfig;
    QString m_oldCurrent;

    QString home() const { return m_home->path(); }

    static QByteArray fileBytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Opened with the practice's password, as the tool opens it.
    static QString storedPassword(const QString &dir, const QString &password)
    {
        DbConnection c;
        c.setConnectionString(QStringLiteral("Data Source=%1/data.mdb;Jet OLEDB:Database Password=%2").arg(dir, password));
        c.open();
        return c.scalarNative(QStringLiteral("SELECT \"PASSWORD\" FROM SECURITY")).toString();
    }

    static int rows(const QString &dir, const QString &password, const QString &table)
    {
        DbConnection c;
        c.setConnectionString(QStringLiteral("Data Source=%1/data.mdb;Jet OLEDB:Database Password=%2").arg(dir, password));
        c.open();
        return c.scalarNative(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInt();
    }

    static void fill(PracticeChoice &w, const QString &folder, const QString &password, const QString &again)
    {
        auto *edit = child<QLineEdit>(&w, "Edit1");
        edit->clear();
        typeInto(edit, folder);
        for (auto [name, text] : {std::pair{"Edit2", password}, std::pair{"Edit3", again}}) {
            auto *e = child<QLineEdit>(&w, name);
            e->clear();
            // A NUL comes only by pasting.
            if (text.contains(QChar(0)))
                e->setText(text);
            else
                typeInto(e, text);
        }
    }
    static bool continueEnabled(PracticeChoice &w) { return child<QPushButton>(&w, "Button1")->isEnabled(); }

    static bool accessAccepts(const QString &dir, const QString &typed)
    {
        ResetTerminateRequest();
        DbConnectionString = BuildConnectionString(dir);
        TForm65 access;
        access.show();
        typeInto(child<QLineEdit>(&access, "Edit1"), typed);
        child<QPushButton>(&access, "Button1")->click();
        Messages::takeShown();
        ResetTerminateRequest();
        return AccessGranted;
    }

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        m_oldHome = qgetenv("HOME");
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        m_oldCurrent = QDir::currentPath();
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home() + QStringLiteral("/.config")));
        QDir::setCurrent(home());
        Messages::setScripted(true);
        Messages::takeShown();
    }
    void cleanup()
    {
        QDir::setCurrent(m_oldCurrent);
        qputenv("HOME", m_oldHome);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
        SetModalHandler({});
        PracticeChoice::setFolderPicker({});
        m_home.reset();
    }

    void looksAsDesigned()
    {
        PracticeChoice w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Φάκελος ιατρείου"));
        QVERIFY(child<QRadioButton>(&w, "RadioButton1")->isChecked());
        QCOMPARE(child<QLineEdit>(&w, "Edit1")->text(), QDir::toNativeSeparators(home() + QStringLiteral("/Molarix")));
        for (const char *e : {"Edit2", "Edit3"})
            QCOMPARE(child<QLineEdit>(&w, e)->echoMode(), QLineEdit::Password);
        QCOMPARE(child<QPushButton>(&w, "Button1")->text(), QStringLiteral("&Συνέχεια"));
        QVERIFY(child<QPushButton>(&w, "Button1")->isDefault());
        QCOMPARE(child<QPushButton>(&w, "Button2")->text(), QStringLiteral("Έ&ξοδος"));
        QVERIFY(!continueEnabled(w));
        QVERIFY(PracticeFolder::settingsFile().startsWith(home() + QStringLiteral("/.config/")));
    }

    void continueFollowsThePasswordRules_data()
    {
        const QString differ = QStringLiteral("Οι δύο κωδικοί δεν είναι ίδιοι· προσέξτε τα πεζά και τα κεφαλαία.");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("again");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("note");   // why «Συνέχεια» stays greyed
        QTest::newRow("same text twice") << "Molarix"
                                         << "οδοντο1"
                                         << "οδοντο1" << true << "";
        QTest::newRow("blanks around are trimmed") << "Molarix"
                                                   << " οδοντο1 "
                                                   << "οδοντο1" << true << "";
        QTest::newRow("nothing typed") << "Molarix"
                                       << ""
                                       << "" << false << "";
        QTest::newRow("typed once") << "Molarix"
                                    << "οδοντο1"
                                    << "" << false << "";
        QTest::newRow("differs in case") << "Molarix"
                                         << "Οδοντο1"
                                         << "οδοντο1" << false << differ;
        QTest::newRow("differs in a letter") << "Molarix"
                                             << "οδοντο1"
                                             << "οδοντο2" << false << differ;
        QTest::newRow("full stop") << "Molarix"
                                   << "οδο.ντο"
                                   << "οδο.ντο" << false << "Ο κωδικός δεν μπορεί να έχει τον χαρακτήρα «.».";
        QTest::newRow("apostrophe") << "Molarix"
                                    << "o'k"
                                    << "o'k" << false << "Ο κωδικός δεν μπορεί να έχει τον χαρακτήρα «'».";
        QTest::newRow("nul") << "Molarix" << QStringLiteral("οδο") + QChar(0) + QStringLiteral("ντο")
                             << QStringLiteral("οδο") + QChar(0) + QStringLiteral("ντο") << false
                             << "Ο κωδικός δεν μπορεί να έχει αόρατους χαρακτήρες ελέγχου.";
        QTest::newRow("no folder") << "  "
                                   << "οδοντο1"
                                   << "οδοντο1" << false << "";
    }
    void continueFollowsThePasswordRules()
    {
        QFETCH(QString, folder);
        QFETCH(QString, password);
        QFETCH(QString, again);
        QFETCH(bool, enabled);
        QFETCH(QString, note);
        PracticeChoice w;
        fill(w, folder, password, again);
        QCOMPARE(continueEnabled(w), enabled);
        QCOMPARE(child<QLabel>(&w, "Label8")->text(), note);
    }

    void openingNeedsOnlyAFolder()
    {
        PracticeChoice w;
        child<QRadioButton>(&w, "RadioButton2")->click();
        QVERIFY(!child<QLineEdit>(&w, "Edit2")->isEnabled());
        QVERIFY(continueEnabled(w));
        child<QLineEdit>(&w, "Edit1")->clear();
        QVERIFY(!continueEnabled(w));
    }

    void newPracticeGetsSchemaReportsAndTheTypedPassword()
    {
        PracticeChoice w;
        w.show();
        fill(w, QStringLiteral("Ιατρείο/2026"), QStringLiteral("Οδοντο1"), QStringLiteral("Οδοντο1"));
        child<QPushButton>(&w, "Button1")->click();
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(w.result(), int(QDialog::Accepted));

        const QString dir = home() + QStringLiteral("/Ιατρείο/2026");
        QCOMPARE(w.ChosenFolder, dir);
        QVERIFY(PracticeFolder::holdsPractice(dir));
        QCOMPARE(storedPassword(dir, QStringLiteral("Οδοντο1")), QStringLiteral("Οδοντο1"));
        QCOMPARE(rows(dir, QStringLiteral("Οδοντο1"), QStringLiteral("LAST_APODEIKSH")), 0);   // numbering still to be set
        QCOMPARE(rows(dir, QStringLiteral("Οδοντο1"), QStringLiteral("STOIXEIA_PELATH")), 0);
        for (const char *f : {"APODEIKSEIS.RAV", "LIST.RAV", "NOTES.RAV", "EKSODA1.RAV"})
            QVERIFY2(QFileInfo::exists(dir + QLatin1Char('/') + QLatin1String(f)), f);
        QCOMPARE(PracticeFolder::remembered(), dir);

        // The access check takes the typed password, not the one new files used to get.
        QVERIFY(accessAccepts(dir, QStringLiteral("Οδοντο1")));
        QVERIFY(!accessAccepts(dir, QString::fromLatin1(Schema::FirstPassword)));
        QVERIFY(!accessAccepts(dir, QStringLiteral("οδοντο1")));
    }

    void anExistingPracticeIsNeverCreatedOver()
    {
        const QString dir = home() + QStringLiteral("/Molarix");
        QDir().mkpath(dir);
        Schema::createDatabase(dir, QString::fromLatin1(Schema::FirstPassword));
        const QByteArray before = fileBytes(dir + QStringLiteral("/data.mdb"));

        PracticeChoice w;
        w.show();
        fill(w, dir, QStringLiteral("neos1"), QStringLiteral("neos1"));
        child<QPushButton>(&w, "Button1")->click();
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("υπάρχει ήδη ιατρείο")));
        QVERIFY(w.isVisible());
        QCOMPARE(fileBytes(dir + QStringLiteral("/data.mdb")), before);
        QVERIFY(PracticeFolder::remembered().isEmpty());
    }

    void openingAFolderWithoutPracticeIsRefused()
    {
        QDir().mkpath(home() + QStringLiteral("/empty"));
        PracticeChoice w;
        w.show();
        child<QRadioButton>(&w, "RadioButton2")->click();
        fill(w, QStringLiteral("empty"), QString(), QString());
        child<QPushButton>(&w, "Button1")->click();
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("δεν υπάρχει ιατρείο")));
        QVERIFY(w.isVisible());
        QVERIFY(!QFileInfo::exists(home() + QStringLiteral("/empty/data.mdb")));
    }

    void browsingToAPracticeOffersToOpenIt()
    {
        const QString dir = home() + QStringLiteral("/stick/practice");
        QDir().mkpath(dir);
        Schema::createDatabase(dir, QString::fromLatin1(Schema::FirstPassword));
        QString askedFrom;
        PracticeChoice::setFolderPicker([&](QWidget *, const QString &start) {
            askedFrom = start;
            return dir;
        });
        PracticeChoice w;
        w.show();
        child<QPushButton>(&w, "Button3")->click();
        QCOMPARE(askedFrom, home() + QStringLiteral("/Molarix"));
        QCOMPARE(child<QLineEdit>(&w, "Edit1")->text(), QDir::toNativeSeparators(dir));
        QVERIFY(child<QRadioButton>(&w, "RadioButton2")->isChecked());
        child<QPushButton>(&w, "Button1")->click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(PracticeFolder::remembered(), dir);
    }

    void missingReportFilesAreCopiedChangedOnesKept()
    {
        TempPractice p;
        const QString source = PracticeFolder::installedReports();
        QVERIFY2(!source.isEmpty(), "no installed report files beside the test program");
        QFile changed(p.path() + QStringLiteral("/LIST.RAV"));
        QVERIFY(changed.open(QIODevice::WriteOnly));
        changed.write("<p>the practice's own list</p>");
        changed.close();

        const int total = int(QDir(source).entryList({QStringLiteral("*.RAV")}).size());
        QCOMPARE(PracticeFolder::copyMissingReports(source, p.path()), total - 1);
        QCOMPARE(fileBytes(p.path() + QStringLiteral("/LIST.RAV")), QByteArray("<p>the practice's own list</p>"));
        QCOMPARE(fileBytes(p.path() + QStringLiteral("/NOTES.RAV")), fileBytes(source + QStringLiteral("/NOTES.RAV")));
        QCOMPARE(PracticeFolder::copyMissingReports(source, p.path()), 0);
    }

    void startInAPracticeFolderAsksNothing()
    {
        TempPractice p;
        QDir::setCurrent(p.path());
        QStringList asked;
        SetModalHandler([&](QDialog *d) { asked << d->objectName(); return int(QDialog::Rejected); });
        QVERIFY(EnterPracticeFolder());
        QVERIFY(asked.isEmpty());
        QCOMPARE(QDir::currentPath(), QDir(p.path()).canonicalPath());
        QVERIFY(QFileInfo::exists(p.path() + QStringLiteral("/APODEIKSEIS.RAV")));
        // Starting in a folder from a terminal leaves the remembered one alone.
        QVERIFY(!QFileInfo::exists(PracticeFolder::settingsFile()));
    }

    void startElsewhereUsesTheRememberedPractice()
    {
        TempPractice p;
        PracticeFolder::remember(p.path());
        QStringList asked;
        SetModalHandler([&](QDialog *d) { asked << d->objectName(); return int(QDialog::Rejected); });
        QVERIFY(EnterPracticeFolder());
        QVERIFY(asked.isEmpty());
        QCOMPARE(QDir::currentPath(), QDir(p.path()).canonicalPath());
    }

    void firstStartAsksAndLeavingEnds()
    {
        QStringList asked;
        SetModalHandler([&](QDialog *d) {
            asked << d->objectName();
            child<QPushButton>(d, "Button2")->click();
            return d->result();
        });
        QVERIFY(!EnterPracticeFolder());
        QCOMPARE(asked, QStringList{QStringLiteral("PracticeChoice")});
        QCOMPARE(QDir::currentPath(), QDir(home()).canonicalPath());
        QVERIFY(!QFileInfo::exists(home() + QStringLiteral("/Molarix")));
        QVERIFY(!QFileInfo::exists(PracticeFolder::settingsFile()));
    }

    void firstStartCreatesAndTheNextStartGoesStraightThere()
    {
        SetModalHandler([&](QDialog *d) {
            d->show();
            for (const char *e : {"Edit2", "Edit3"})
                typeInto(child<QLineEdit>(d, e), QStringLiteral("molarix2"));
            child<QPushButton>(d, "Button1")->click();
            return d->result();
        });
        QVERIFY(EnterPracticeFolder());
        const QString dir = home() + QStringLiteral("/Molarix");
        QCOMPARE(QDir::currentPath(), QDir(dir).canonicalPath());
        QVERIFY(PracticeFolder::holdsPractice(dir));

        QDir::setCurrent(home());
        int asked = 0;
        SetModalHandler([&](QDialog *) { ++asked; return int(QDialog::Rejected); });
        QVERIFY(EnterPracticeFolder());
        QCOMPARE(asked, 0);
        QCOMPARE(QDir::currentPath(), QDir(dir).canonicalPath());
    }

    void aVanishedPracticeIsOfferedAgain()
    {
        const QString gone = home() + QStringLiteral("/usb/Molarix");
        PracticeFolder::remember(gone);
        QString offered;
        SetModalHandler([&](QDialog *d) {
            offered = child<QLineEdit>(d, "Edit1")->text();
            return int(QDialog::Rejected);
        });
        QVERIFY(!EnterPracticeFolder());
        QCOMPARE(offered, QDir::toNativeSeparators(gone));
    }
};

MOLARIX_TEST(PracticeChoiceTest)
#include "practicechoice.moc"
