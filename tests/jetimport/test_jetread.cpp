// Generic reading of Jet files: files saved by Access itself (types, Jet 3
// and 4, database passwords) and edge values the fixture writer makes.
#include "data/db/dberror.h"
#include "data/import/jetimport.h"
#include "tests/common/testmain.h"
#include "tests/jetimport/jetwriter.h"
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace JetImport;

namespace {

QString shared(const char *name)
{
    return QStringLiteral(MOLARIX_SHARED_DIR "/fixtures/jet/") + QString::fromLatin1(name);
}

QList<QVariantList> readAll(const JetFile &f, const QString &table)
{
    QList<QVariantList> out;
    f.readRows(table, [&](const std::vector<JetValue> &values) {
        QVariantList row;
        for (const JetValue &v : values)
            row << v.toVariant();
        out << row;
    });
    return out;
}

}   // namespace

class JetReading : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(shared("README.md")),
                 qPrintable(QStringLiteral("the shared Access files are missing: %1").arg(shared(""))));
    }

    void everyColumnTypeOfAccess97And2000()
    {
        for (const char *name : {"access2000-types.mdb", "access97-types.mdb"}) {
            const JetFile f(shared(name));
            QCOMPARE(f.kind(), QByteArray(name).startsWith("access97") ? FileKind::Jet3 : FileKind::Jet4);
            QCOMPARE(f.tableNames(), (QStringList{"Table1", "Table2", "Table3", "Table4"}));
            QStringList types;
            for (const JetColumn &c : f.columns(QStringLiteral("Table1")))
                types << c.name + QLatin1Char(':') + c.typeName;
            QCOMPARE(types, (QStringList{"A:Text", "B:Text", "C:Byte", "D:Integer", "E:Long", "F:Double", "G:Date/Time", "H:Currency", "I:Yes/No"}));
            QList<QVariantList> rows = readAll(f, QStringLiteral("Table1"));
            QCOMPARE(rows.size(), 2);
            std::sort(rows.begin(), rows.end(), [](const QVariantList &a, const QVariantList &b) {
                return a[0].toString().size() > b[0].toString().size();
            });
            const QVariantList full{QStringLiteral("abcdefg"), QStringLiteral("hijklmnop"), 2LL, 222LL, 333333333LL,
                                    444.555, QDateTime(QDate(1974, 9, 21), QTime(0, 0)), 3.5, true};
            const QVariantList zero{QStringLiteral("a"), QStringLiteral("b"), 0LL, 0LL, 0LL, 0.0,
                                    QDateTime(QDate(1981, 12, 12), QTime(0, 0)), 0.0, false};
            QCOMPARE(rows[0], full);
            QCOMPARE(rows[1], zero);
            QCOMPARE(readAll(f, QStringLiteral("Table2")).size(), 0);
        }
    }

    // A database password does not keep the rows from being read.
    void passwordProtectedFiles()
    {
        for (const char *name : {"access2000-password.mdb", "access2003-password.mdb"}) {
            const JetFile f(shared(name));
            const QList<QVariantList> rows = readAll(f, QStringLiteral("Table1"));
            QVERIFY2(rows.size() >= 3, name);
            QCOMPARE(rows[0], (QVariantList{1LL, QStringLiteral("One")}));
            QCOMPARE(rows[2], (QVariantList{3LL, QStringLiteral("Three")}));
        }
        QVERIFY(JetFile(shared("access2000-empty.mdb")).tableNames().isEmpty());
    }

    void filesThatAreNotJet34AreRefusedByTheirHeader()
    {
        QCOMPARE(sniff(shared("access2007-types.accdb")), FileKind::Ace);
        QCOMPARE(sniff(shared("README.md")), FileKind::NotJet);
        QCOMPARE(sniff(shared("no-such-file.mdb")), FileKind::Missing);
        try {
            JetFile f(shared("access2007-types.accdb"));
            QFAIL("an .accdb was opened");
        } catch (const DbError &e) {
            QVERIFY(e.message().contains(QStringLiteral(".accdb")));
        }
    }

    // NULL apart from empty text, Greek and text that cannot be compressed,
    // dates before 1899 with a time, negative and large amounts.
    void edgeValuesComeBackAsWritten()
    {
        using namespace JetWriter;
        Writer w;
        const int t = w.addTable(QStringLiteral("Τιμές"),
                                 {{QStringLiteral("T"), Text, 50}, {QStringLiteral("D"), DateTime}, {QStringLiteral("M"), Money}, {QStringLiteral("X"), Double}, {QStringLiteral("B"), Bool}, {QStringLiteral("N"), Memo}});
        const QString greek = QStringLiteral("Ψαράς-Ζαφειρίου, Οδός 25ης Μαρτίου");
        const QString wide = QStringLiteral("Ā and ĀĀ");   // U+0100 has a zero low byte
        w.addRow(t, {greek, QDateTime(QDate(1899, 12, 29), QTime(6, 0)), -1234567.8901, -0.1, true, QString()});
        w.addRow(t, {QString(), QDateTime(QDate(2008, 3, 25), QTime(14, 30, 15)), 922337203685.4775, 1e300, false, QVariant()});
        w.addDeletedRow(t, {QStringLiteral("σβησμένη"), QVariant(), 1.0, 1.0, true, QVariant()});
        w.addRow(t, {wide, QVariant(), QVariant(), QVariant(), false, QStringLiteral("ascii only")});
        w.addMovedRow(t, {QStringLiteral("μετακινημένη"), QVariant(), 2.5, QVariant(), true, QStringLiteral("μεγάλωσε")});
        w.addDeletedRow(t, {QStringLiteral("κι άλλη σβησμένη"), QVariant(), 1.0, 1.0, true, QVariant()});
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("edge.mdb"));
        QVERIFY(w.save(path));

        const JetFile f(path);
        QCOMPARE(f.tableNames(), QStringList{QStringLiteral("Τιμές")});
        const QList<QVariantList> rows = readAll(f, QStringLiteral("Τιμές"));
        // Deleted rows stay away; the moved row is read where it went.
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], (QVariantList{greek, QDateTime(QDate(1899, 12, 29), QTime(6, 0)), -1234567.8901, -0.1, true, QString(QLatin1String(""))}));
        QCOMPARE(rows[1], (QVariantList{QString(QLatin1String("")), QDateTime(QDate(2008, 3, 25), QTime(14, 30, 15)), 922337203685.4775, 1e300, false, QVariant()}));
        QCOMPARE(rows[2], (QVariantList{wide, QVariant(), QVariant(), QVariant(), false, QStringLiteral("ascii only")}));
        QCOMPARE(rows[3], (QVariantList{QStringLiteral("μετακινημένη"), QVariant(), 2.5, QVariant(), true, QStringLiteral("μεγάλωσε")}));
        QVERIFY(rows[0][5].isValid() && !rows[1][5].isValid());

        QString text;
        QVERIFY(jetDateText(-1.25, &text));
        QCOMPARE(text, QStringLiteral("1899-12-29 06:00:00"));
        QVERIFY(jetDateText(39532.0, &text));
        QCOMPARE(text, QStringLiteral("2008-03-25"));
        QVERIFY(!jetDateText(1.0e7, &text));
        QVERIFY(!jetDateText(-700000.0, &text));
    }
};

MOLARIX_TEST(JetReading)
#include "test_jetread.moc"
