// The file's layout number and the migrations that bring an older practice
// file up to date at open: rows kept, a verified backup first, a newer file
// refused untouched.
#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/db/connection.h"
#include "data/practice/schema.h"
#include "data/practice/schemaversion.h"
#include "gui/messages.h"
#include "app/upgrade.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>
#include <algorithm>

namespace {

// A practice folder with the demo practice in it, then taken back to the
// first layout, as a file of the previous program is.
QString makePreviousVersionPractice(const QTemporaryDir &dir)
{
    const ToolRun r = runTool({QStringLiteral("demo"), dir.path(), QStringLiteral("--customers"), QStringLiteral("120"),
                               QStringLiteral("--today"), QStringLiteral("2010-06-15")});
    if (r.code != 0)
        return r.err;
    auto c = openPracticeDir(dir.path());
    takeLayoutBackTo(*c, 0);
    return QString();
}

// Row counts of every table of the first layout, and sums over the columns
// that carry the practice's money and keys.
QStringList fingerprint(DbConnection &c)
{
    QStringList out;
    for (const QString &table : Schema::tableNames())
        out << table + QLatin1Char('=') + c.scalarNative(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table)).toString();
    for (const char *sum : {"SELECT total(POSO), total(POSO_CY), total(AR_APODEIKSHS), total(ID) FROM EISPRAKSH_PELATH",
                            "SELECT total(POSO), total(AR_APODEIKSHS), total(EGKYRH) FROM APODEIKSEIS",
                            "SELECT total(POSO), total(VAT) FROM EKSODA", "SELECT total(ID), max(HMEROMHNIA) FROM EPISKEPSEIS",
                            "SELECT total(ID), total(length(ISTORIKO)) FROM STOIXEIA_PELATH",
                            "SELECT \"LAST\" FROM LAST_APODEIKSH"}) {
        DbStatement st(c, QString::fromLatin1(sum));
        QStringList values;
        if (st.step())
            for (int i = 0; i < st.columnCount(); ++i)
                values << st.columnValue(i).toString();
        out << values.join(QLatin1Char('|'));
    }
    return out;
}

bool hasTable(DbConnection &c, const QString &table)
{
    return c.scalarNative(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?"), {table}).toInt() == 1;
}

QByteArray fileHash(const QString &path)
{
    return QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256);
}

void usePractice(const QString &dir)
{
    AppDirectory = QDir::toNativeSeparators(dir);
    DbConnectionString = BuildConnectionString(AppDirectory);
}

}   // namespace

class SchemaVersionTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        Messages::setScripted(true);
        Messages::takeShown();
    }

    void migrationsAreNumberedInOrder()
    {
        const auto &list = SchemaVersion::migrations();
        QVERIFY(!list.isEmpty());
        for (int i = 0; i < list.size(); ++i) {
            QCOMPARE(list[i].to, i + 1);
            QVERIFY(!list[i].statements.isEmpty());
        }
        QCOMPARE(SchemaVersion::current(), int(list.size()));
    }

    void aNewPracticeIsMadeAtTheCurrentVersion()
    {
        TempPractice p;
        QCOMPARE(SchemaVersion::read(p.conn()), SchemaVersion::current());
        for (const QString &table : Schema::tableNames() + SchemaVersion::addedTables())
            QVERIFY2(hasTable(p.conn(), table), qPrintable(table));
        QCOMPARE(SchemaVersion::state(SchemaVersion::read(p.conn())), SchemaVersion::State::UpToDate);
        // Nothing to do on a current file, and nothing backed up for it.
        int backups = 0;
        QCOMPARE(SchemaVersion::upgrade(p.conn(), [&](int, int) { ++backups; }), QList<int>());
        QCOMPARE(backups, 0);
    }

    void aPreviousVersionFileOpensUpgradedWithEveryRow()
    {
        QTemporaryDir dir;
        QCOMPARE(makePreviousVersionPractice(dir), QString());
        usePractice(dir.path());
        QStringList before;
        {
            auto c = openPracticeDir(dir.path());
            QCOMPARE(SchemaVersion::read(*c), 0);
            QVERIFY(!hasTable(*c, QStringLiteral("ODONTOGRAMMA")));
            before = fingerprint(*c);
            QVERIFY(c->scalarNative(QStringLiteral("SELECT count(*) FROM EISPRAKSH_PELATH")).toInt() > 0);
        }

        QVERIFY(UpgradeAtStartup(nullptr));
        QCOMPARE(Messages::takeShown().size(), 0);

        auto c = openPracticeDir(dir.path());
        QCOMPARE(SchemaVersion::read(*c), SchemaVersion::current());
        QVERIFY(hasTable(*c, QStringLiteral("ODONTOGRAMMA")));
        QCOMPARE(fingerprint(*c), before);
        // The new table takes an entry in the program's dialect.
        c->execute(QStringLiteral("INSERT INTO ODONTOGRAMMA (ID, HMEROMHNIA, DONTI, EPIFANEIES, KATASTASH)"
                                  " VALUES (1, #6/15/2010#, 16, 'MO', 'έμφραξη')"));
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT HMEROMHNIA FROM ODONTOGRAMMA")).toString(), QStringLiteral("2010-06-15"));

        // The copy made first is of the file as it was, and verifies.
        // (Each step that changes the file is preceded by a copy of its own.)
        const qsizetype steps = std::count_if(SchemaVersion::migrations().begin(), SchemaVersion::migrations().end(),
                                              [](const SchemaVersion::Migration &m) { return !m.serverOnly; });
        QCOMPARE(QDir(Backup::folder(dir.path())).entryList({QStringLiteral("*.mdb")}, QDir::Files).size(), steps);
        const QStringList copies = QDir(Backup::folder(dir.path())).entryList({QStringLiteral("*-before-version-1.mdb")}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        const QString copy = Backup::folder(dir.path()) + QLatin1Char('/') + copies.first();
        Backup::verifyFile(copy, c->credentials());
        DbConnection old;
        old.openFile(copy, c->credentials());
        QCOMPARE(SchemaVersion::read(old), 0);
        QCOMPARE(fingerprint(old), before);

        // A second start has nothing to do.
        QVERIFY(UpgradeAtStartup(nullptr));
        QCOMPARE(QDir(Backup::folder(dir.path())).entryList({QStringLiteral("*.mdb")}, QDir::Files).size(), steps);
    }

    void aFailedBackupLeavesTheFileAsItWas()
    {
        QTemporaryDir dir;
        QCOMPARE(makePreviousVersionPractice(dir), QString());
        auto c = openPracticeDir(dir.path());
        const QStringList before = fingerprint(*c);
        QVERIFY_THROWS_EXCEPTION(DbError, SchemaVersion::upgrade(*c, [](int, int) { throw DbError(QStringLiteral("δίσκος γεμάτος")); }));
        QCOMPARE(SchemaVersion::read(*c), 0);
        QVERIFY(!hasTable(*c, QStringLiteral("ODONTOGRAMMA")));
        QCOMPARE(fingerprint(*c), before);
    }

    void noBackupNoUpgrade()
    {
        QTemporaryDir dir;
        QCOMPARE(makePreviousVersionPractice(dir), QString());
        usePractice(dir.path());
        // The backup folder's name is taken by a file: no copy can be made.
        QFile blocker(Backup::folder(dir.path()));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString file = dir.path() + QStringLiteral("/data.mdb");
        const QByteArray hash = fileHash(file);

        QVERIFY(!UpgradeAtStartup(nullptr));
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
        QCOMPARE(fileHash(file), hash);
        auto c = openPracticeDir(dir.path());
        QCOMPARE(SchemaVersion::read(*c), 0);
    }

    void aNewerFileIsRefusedUntouched()
    {
        TempPractice p;
        p.exec(QStringLiteral("INSERT INTO SHMEIWSEIS (TITLOS) VALUES ('Σημείωμα')"));
        p.conn().executeNative(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion::current() + 1));
        p.conn().close();
        const QString file = p.path() + QStringLiteral("/data.mdb");
        const QByteArray hash = fileHash(file);

        QVERIFY(!UpgradeAtStartup(nullptr));
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(QStringLiteral("νεότερη έκδοση")), qPrintable(shown[0].text));
        QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(file)));
        QCOMPARE(fileHash(file), hash);
        QVERIFY(!QDir(Backup::folder(p.path())).exists());

        DbConnection c;
        c.setConnectionString(DbConnectionString);
        c.open();
        QVERIFY_THROWS_EXCEPTION(DbError, SchemaVersion::upgrade(c));
        c.close();
        QCOMPARE(fileHash(file), hash);
    }

    void theToolReportsTheVersion()
    {
        TempPractice p;
        ToolRun r = runTool({QStringLiteral("check"), p.path()});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("ok\tέκδοση δομής %1").arg(SchemaVersion::current())), qPrintable(r.out));

        p.conn().executeNative(QStringLiteral("PRAGMA user_version=0"));
        r = runTool({QStringLiteral("check"), p.path()});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("ΠΡΟΣΟΧΗ\tέκδοση δομής 0")), qPrintable(r.out));

        p.conn().executeNative(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion::current() + 5));
        r = runTool({QStringLiteral("check"), p.path()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QStringLiteral("ΣΦΑΛΜΑ\tέκδοση δομής %1").arg(SchemaVersion::current() + 5)), qPrintable(r.out));
        QVERIFY(r.err.contains(QStringLiteral("νεότερη έκδοση")));
    }
};

MOLARIX_TEST(SchemaVersionTest)
#include "test_schemaversion.moc"
