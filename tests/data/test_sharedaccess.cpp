#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/db/jetsql.h"
#include "data/practice/schema.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {
std::unique_ptr<DbConnection> openConnection()
{
    auto c = std::make_unique<DbConnection>();
    c->setConnectionString(DbConnectionString);
    c->setCommandTimeout(0);
    c->open();
    return c;
}

QString errorOf(const std::function<void()> &f, DbError::Cause *cause = nullptr)
{
    try {
        f();
    } catch (const DbError &e) {
        if (cause)
            *cause = e.cause();
        return e.message();
    }
    return QString();
}
}

// Two users on one row: the second post must not silently overwrite the first.
class OptimisticLockingTest : public QObject {
    Q_OBJECT
private slots:
    void aRowChangedMeanwhileIsRefusedReadAgainAndPostedKnowingly()
    {
        TempPractice p;
        p.exec(QStringLiteral("INSERT INTO XRHSIMA_THLEFWNA(ONOMATEPWNYMO,THLEFWNO_1,FAX) VALUES('Εργαστήριο','2210','1')"));
        auto c1 = openConnection(), c2 = openConnection();
        DataSet first(c1.get()), second(c2.get());
        for (DataSet *ds : {&first, &second}) {
            ds->setTableName(QStringLiteral("XRHSIMA_THLEFWNA"));
            ds->open();
        }
        first.setFieldText(QStringLiteral("THLEFWNO_1"), QStringLiteral("2310"));
        first.post();
        second.setFieldText(QStringLiteral("THLEFWNO_1"), QStringLiteral("2410"));
        const QString refused = errorOf([&] { second.post(); });
        QVERIFY2(refused.startsWith(QStringLiteral("Η εγγραφή άλλαξε από άλλο χρήστη")), qPrintable(refused));
        QCOMPARE(p.scalar(QStringLiteral("SELECT THLEFWNO_1 FROM XRHSIMA_THLEFWNA")).toString(), QStringLiteral("2310"));
        // The edit stays for a second try, showing the stored value; the
        // second post asks first (the scripted answer is yes).
        QCOMPARE(second.state(), DataSetState::Edit);
        QCOMPARE(second.fieldText(QStringLiteral("THLEFWNO_1")), QStringLiteral("2310"));
        second.post();
        QCOMPARE(p.scalar(QStringLiteral("SELECT THLEFWNO_1 FROM XRHSIMA_THLEFWNA")).toString(), QStringLiteral("2410"));

        // Different columns of the same row do not collide, and the other
        // column's newer value is not overwritten.
        first.setFieldText(QStringLiteral("FAX"), QStringLiteral("2"));
        first.post();
        second.setFieldText(QStringLiteral("EMAIL"), QStringLiteral("lab@example.com"));
        second.post();
        QCOMPARE(p.scalar(QStringLiteral("SELECT FAX FROM XRHSIMA_THLEFWNA")).toString(), QStringLiteral("2"));
        QCOMPARE(p.scalar(QStringLiteral("SELECT EMAIL FROM XRHSIMA_THLEFWNA")).toString(), QStringLiteral("lab@example.com"));

        // A changed amount and a NULL read as such count too.
        p.exec(QStringLiteral("INSERT INTO EKSODA(HMEROMHNIA,POSO,PERIGRAFH) VALUES(#1/5/2009#,10.1,NULL)"));
        DataSet e1(c1.get()), e2(c2.get());
        for (DataSet *ds : {&e1, &e2}) {
            ds->setTableName(QStringLiteral("EKSODA"));
            ds->open();
        }
        e1.setFieldText(QStringLiteral("PERIGRAFH"), QStringLiteral("Γάζες"));
        e1.post();
        e2.setFieldText(QStringLiteral("PERIGRAFH"), QStringLiteral("Γάντια"));
        QVERIFY(!errorOf([&] { e2.post(); }).isEmpty());
        e2.cancel();
        QCOMPARE(e2.fieldText(QStringLiteral("PERIGRAFH")), QStringLiteral("Γάζες"));
    }
};

// The file, its folder and other programs: failures that end in a clear
// text instead of a cut path or a frozen window.
class SharedFileTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { DbConnection::setBusyWaitMs(5000); }

    void anyFolderNameOpens()
    {
        QTemporaryDir root;
        for (const QString &name : {QStringLiteral("Ιατρείο; Παπά=2"), QStringLiteral("a\"b';c")}) {
            const QString dir = root.path() + u'/' + name;
            QVERIFY(QDir().mkpath(dir));
            Schema::createDatabase(dir);
            const QString cs = BuildConnectionString(QDir::toNativeSeparators(dir));
            QCOMPARE(ParseConnectionString(cs).dataSource, QDir::toNativeSeparators(dir + QStringLiteral("/data.mdb")));
            // The practice's password unlocks it; the connection string then opens it.
            auto c = openPracticeDir(dir);
            QCOMPARE(c->scalarNative(QStringLiteral("SELECT COUNT(*) FROM SECURITY")).toInt(), 1);
        }
        // Unquoted values still read as before; quoted ones keep their blanks.
        QCOMPARE(ParseConnectionString(QStringLiteral("Data Source= /x/data.mdb ;Jet OLEDB:Database Password=k")).password,
                 QStringLiteral("k"));
        QCOMPARE(ParseConnectionString(QStringLiteral("Data Source=' /x y;z/d.mdb';")).dataSource,
                 QStringLiteral(" /x y;z/d.mdb"));
    }

    void aFileHeldByAnotherProgramIsReportedAfterABoundedWait()
    {
        TempPractice p;
        DbConnection::setBusyWaitMs(150);
        p.conn().executeNative(QStringLiteral("BEGIN EXCLUSIVE"));
        p.conn().executeNative(QStringLiteral("INSERT INTO EKSODA(POSO) VALUES(1)"));
        DbError::Cause cause = DbError::Cause::None;
        const QString text = errorOf([] {
            auto c = openConnection();
            c->executeNative(QStringLiteral("INSERT INTO EKSODA(POSO) VALUES(2)"));
        },
                                     &cause);
        QCOMPARE(cause, DbError::Cause::InUse);
        QVERIFY2(text.endsWith(QStringLiteral("\nΤα δεδομένα χρησιμοποιούνται από άλλο πρόγραμμα· δοκιμάστε ξανά σε λίγο.")),
                 qPrintable(text));
        // The first line Greek too, not the engine's "database is locked".
        QVERIFY2(text.section(u'\n', 0, 0).contains(QStringLiteral(": το αρχείο το κρατά κλειδωμένο άλλο πρόγραμμα")),
                 qPrintable(text));
        p.conn().executeNative(QStringLiteral("COMMIT"));
        auto c = openConnection();
        c->executeNative(QStringLiteral("INSERT INTO EKSODA(POSO) VALUES(2)"));
        QCOMPARE(p.count(QStringLiteral("EKSODA")), 2);
    }

    void aFullDiskIsNamedOnASecondLine()
    {
        TempPractice p;
        DbConnection &c = p.conn();
        const int pages = c.scalarNative(QStringLiteral("PRAGMA page_count")).toInt();
        c.scalarNative(QStringLiteral("PRAGMA max_page_count=%1").arg(pages + 1));
        DbError::Cause cause = DbError::Cause::None;
        const QString text = errorOf([&] {
            for (int i = 0; i < 50; ++i)
                c.executeNative(QStringLiteral("INSERT INTO SHMEIWSEIS(TITLOS,PERIGRAFH) VALUES('x',?)"),
                                {QString(4000, u'α')});
        },
                                     &cause);
        QCOMPARE(cause, DbError::Cause::DiskFull);
        QVERIFY2(text.endsWith(QStringLiteral("\nΟ δίσκος είναι γεμάτος.")), qPrintable(text));
        // The engine's own words stay on the first line.
        QVERIFY(text.section(u'\n', 0, 0).contains(QStringLiteral("full")));
    }

    void everyDateTheHelperWritesTranslates()
    {
        const std::pair<const char *, const char *> dates[] = {
            {"1/1/198", "'0198-01-01'"}, {"5/3/0050", "'0050-03-05'"}, {"31/12/9999", "'9999-12-31'"}, {"1/1/0001", "'0001-01-01'"}, {"29/2/2008", "'2008-02-29'"}};
        for (const auto &[typed, stored] : dates) {
            QString literal = QString::fromLatin1(typed);
            SqlDateLiteral(literal);
            QVERIFY2(literal != QLatin1String("ERROR"), typed);
            const QString sql = JetSql::translate(QStringLiteral("SELECT * FROM EKSODA WHERE HMEROMHNIA=") + literal);
            QVERIFY2(sql.contains(QLatin1String(stored)), qPrintable(literal + u' ' + sql));
        }
    }
};

MOLARIX_TEST(OptimisticLockingTest)
MOLARIX_TEST(SharedFileTest)
#include "test_sharedaccess.moc"
