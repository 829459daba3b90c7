// The program finds an old Access data.mdb in the practice folder and
// offers to bring it over.
#include "app/accesscheck.h"
#include "app/jetconversion.h"
#include "app/molarixapplication.h"
#include "data/practice/appstate.h"
#include "data/practice/practicefile.h"
#include "data/db/connection.h"
#include "data/practice/schema.h"
#include "data/import/jetimport.h"
#include "gui/messages.h"
#include "gui/modal.h"
#include "tests/app/typing.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tests/jetimport/practicejet.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray hashOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

}   // namespace

class JetConversion : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_report;
    int m_reports = 0;

    QString practice(const char *name, const QStringList &leaveOut = {}, int truncateTo = -1)
    {
        const QString dir = m_dir.filePath(QString::fromLatin1(name));
        QDir().mkpath(dir);
        PracticeJet::Options o;
        o.customers = 40;
        const QString file = dir + QStringLiteral("/data.mdb");
        PracticeJet::write(PracticeJet::make(o), file, leaveOut);
        if (truncateTo >= 0)
            QFile(file).resize(truncateTo);
        return dir;
    }

private slots:
    void init()
    {
        JetImport::setChildLimits({QStringLiteral(MOLARIX_BINARY_DIR "/molarix-db")});
        Messages::setScripted(true);
        Messages::takeShown();
        m_report.clear();
        m_reports = 0;
        SetModalHandler([this](QDialog *d) {
            if (auto *r = qobject_cast<ImportReportWindow *>(d)) {
                m_report = r->text();
                ++m_reports;
            }
            return int(QDialog::Accepted);
        });
    }
    void cleanup() { SetModalHandler({}); }

    // Yes: the old file is kept as it was under another name, the new
    // data.mdb holds its data, the report is shown, and the old practice
    // password opens the access check.
    void acceptedTheOldFileStaysAndTheNewOneOpens()
    {
        const QString dir = practice("yes");
        const QByteArray before = hashOf(dir + QStringLiteral("/data.mdb"));
        Messages::setNextAnswer(true);
        QVERIFY(OfferJetConversion(dir));
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Confirm);
        QVERIFY(shown[0].text.contains(QStringLiteral("data.jet.mdb")));
        QCOMPARE(hashOf(dir + QStringLiteral("/data.jet.mdb")), before);
        QCOMPARE(m_reports, 1);
        QVERIFY(m_report.contains(QStringLiteral("Όλα τα δεδομένα μεταφέρθηκαν όπως ήταν.")));
        QVERIFY(m_report.contains(QStringLiteral("STOIXEIA_PELATH")));
        QCOMPARE(entries(dir), (QStringList{QStringLiteral("data.jet.mdb"), QStringLiteral("data.mdb"), QStringLiteral("import-report.txt")}));
        QFile saved(dir + QStringLiteral("/import-report.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), m_report);
        QVERIFY(m_report.contains(QDir::toNativeSeparators(dir + QStringLiteral("/data.jet.mdb"))));

        AppDirectory = QDir::toNativeSeparators(dir);
        DbConnectionString = BuildConnectionString(AppDirectory);
        // The new file opens with the old practice's access password.
        QCOMPARE(PracticeFile::unlock(dir + QStringLiteral("/data.mdb"), PracticeJet::Options().password).access,
                 PracticeFile::Access::Granted);
        DbConnection c;
        c.setConnectionString(DbConnectionString);
        c.open();
        QCOMPARE(c.scalarNative(QStringLiteral("SELECT COUNT(*) FROM STOIXEIA_PELATH")).toInt(), 40);
        c.close();

        ResetTerminateRequest();
        AccessGranted = false;
        TForm65 access;
        access.show();
        typeInto(child<QLineEdit>(&access, "Edit1"), QStringLiteral("Οδοντ1ατρ"));
        child<QPushButton>(&access, "Button1")->click();
        QVERIFY(AccessGranted);
        QVERIFY(Messages::takeShown().isEmpty());

        // Once converted, nothing more is offered.
        QVERIFY(OfferJetConversion(dir));
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void declinedNothingChanges()
    {
        const QString dir = practice("no");
        const QByteArray before = hashOf(dir + QStringLiteral("/data.mdb"));
        Messages::setNextAnswer(false);
        QVERIFY(!OfferJetConversion(dir));
        QCOMPARE(entries(dir), QStringList{QStringLiteral("data.mdb")});
        QCOMPARE(hashOf(dir + QStringLiteral("/data.mdb")), before);
        QCOMPARE(m_reports, 0);
    }

    // A damaged old file, an Access file of something else, or one that
    // makes the reader hang or hold ever more memory (here the reader is
    // told to, and trips the child's limits): the message says why and the
    // folder is as it was.
    void failedTheFolderIsAsItWas_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("why");
        QTest::addColumn<QByteArray>("misbehave");
        QTest::newRow("cut short") << practice("damaged", {}, 8 * 4096) << QStringLiteral("κομμένο") << QByteArray();
        const QString unrelated = m_dir.filePath(QStringLiteral("unrelated"));
        QDir().mkpath(unrelated);
        QFile::copy(QStringLiteral(MOLARIX_SHARED_DIR "/fixtures/jet/access2000-types.mdb"), unrelated + QStringLiteral("/data.mdb"));
        QTest::newRow("not a practice") << unrelated << QStringLiteral("δεν έχει κανέναν από τους πίνακες του ιατρείου") << QByteArray();
        QTest::newRow("hangs") << practice("hangs") << QStringLiteral("δεν τελείωσε σε 2 δευτερόλεπτα") << QByteArray("stall");
        QTest::newRow("memory") << practice("memory") << QStringLiteral("περισσότερη μνήμη από 512 MB") << QByteArray("hog");
    }
    void failedTheFolderIsAsItWas()
    {
        QFETCH(QString, dir);
        QFETCH(QString, why);
        QFETCH(QByteArray, misbehave);
        JetImport::ChildLimits limits{QStringLiteral(MOLARIX_BINARY_DIR "/molarix-db")};
        if (misbehave == "stall")
            limits.timeMs = 2000;
        if (misbehave == "hog")
            limits.memoryBytes = qint64(512) << 20;
        JetImport::setChildLimits(limits);
        qputenv("MOLARIX_JET_CHILD_TEST", misbehave);
        const auto restore = qScopeGuard([] { qunsetenv("MOLARIX_JET_CHILD_TEST"); });
        const QByteArray before = hashOf(dir + QStringLiteral("/data.mdb"));
        Messages::setNextAnswer(true);
        QVERIFY(!OfferJetConversion(dir));
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].kind, Messages::Kind::Error);
        QVERIFY2(shown[1].text.contains(why), qPrintable(shown[1].text));
        QCOMPARE(entries(dir), QStringList{QStringLiteral("data.mdb")});
        QCOMPARE(hashOf(dir + QStringLiteral("/data.mdb")), before);
        QCOMPARE(m_reports, 0);
    }

    void aMolarixFileIsLeftAloneWithoutAQuestion()
    {
        const QString dir = m_dir.filePath(QStringLiteral("molarix"));
        QDir().mkpath(dir);
        Schema::createDatabase(dir, QString::fromLatin1(Schema::FirstPassword));
        QVERIFY(OfferJetConversion(dir));
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(entries(dir), QStringList{QStringLiteral("data.mdb")});
    }
};

MOLARIX_TEST(JetConversion)
#include "test_conversion.moc"
