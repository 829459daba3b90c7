// The test fixture writer is checked against two readers that share no code
// with it or with each other: mdbtools' command-line tools and the
// mdb-reader package of the npm registry (run with node).
#include "tests/common/testmain.h"
#include "tests/jetimport/practicejet.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {

struct Out {
    int code = -1;
    QByteArray out, err;
};

Out run(const QString &program, const QStringList &args, const QString &dir = QString(), int ms = 600000)
{
    QProcess p;
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    Out o;
    if (!p.waitForStarted(10000))
        return o;
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished();
        return o;
    }
    o.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = p.readAllStandardOutput();
    o.err = p.readAllStandardError();
    return o;
}

QString dateText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
    return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// How a value written by the fixture should come back from mdb-export.
bool sameAsExported(const JetWriter::Column &c, const QVariant &expected, const QString &got, QString *why)
{
    const QString null = QStringLiteral("<NULL>");
    if (c.type == JetWriter::Bool) {
        *why = QStringLiteral("bool %1 vs %2").arg(expected.toBool()).arg(got);
        return got == (expected.toBool() ? QLatin1String("1") : QLatin1String("0"));
    }
    if (!expected.isValid()) {
        *why = QStringLiteral("NULL vs '%1'").arg(got);
        return got == null;
    }
    *why = QStringLiteral("'%1' vs '%2'").arg(expected.toString(), got);
    switch (c.type) {
    case JetWriter::Text:
    case JetWriter::Memo:
        // mdb-export prints an empty text as it prints NULL.
        return got == expected.toString() || (expected.toString().isEmpty() && got == null);
    case JetWriter::DateTime:
        *why = QStringLiteral("'%1' vs '%2'").arg(dateText(expected), got);
        return got == dateText(expected);
    case JetWriter::Money:
        return std::fabs(got.toDouble() - std::round(expected.toDouble() * 10000) / 10000) < 1e-9;
    case JetWriter::Double:
        return std::fabs(got.toDouble() - expected.toDouble()) <= 1e-12 * std::max(1.0, std::fabs(expected.toDouble()));
    default:
        return got.toLongLong() == expected.toLongLong();
    }
}

// The npm package goes into the build folder once; a test without the
// registry is skipped, not failed.
QString mdbReaderDir()
{
    const QString dir = QStringLiteral(MOLARIX_BINARY_DIR "/jet-npm");
    if (QFile::exists(dir + QStringLiteral("/node_modules/mdb-reader/package.json")))
        return dir;
    QDir().mkpath(dir);
    const Out o = run(QStringLiteral("npm"),
                      {QStringLiteral("install"), QStringLiteral("--prefix"), dir, QStringLiteral("--no-save"),
                       QStringLiteral("--no-audit"), QStringLiteral("--no-fund"), QStringLiteral("mdb-reader@3")},
                      dir, 300000);
    if (o.code != 0 || !QFile::exists(dir + QStringLiteral("/node_modules/mdb-reader/package.json")))
        return QString();
    return dir;
}

const char *const kNodeScript = R"JS(
import MDBReader from "mdb-reader";
import { readFileSync } from "fs";
const reader = new MDBReader(readFileSync(process.argv[2]));
const out = { password: reader.getPassword(), tables: {} };
for (const name of reader.getTableNames()) {
    const t = reader.getTable(name);
    out.tables[name] = { columns: t.getColumnNames(), rows: t.getData().map(r => t.getColumnNames().map(c => r[c])) };
}
process.stdout.write(JSON.stringify(out));
)JS";

}   // namespace

class FixtureReaders : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    PracticeJet::Data m_data;
    QString m_file;

private slots:
    void initTestCase()
    {
        PracticeJet::Options o;
        o.customers = 120;
        m_data = PracticeJet::make(o);
        m_file = m_dir.filePath(QStringLiteral("data.mdb"));
        QVERIFY(PracticeJet::write(m_data, m_file));
    }

    // mdb-ver, mdb-tables, mdb-schema and mdb-export see the twelve tables,
    // their columns and every value as written.
    void mdbtoolsReadEveryValue()
    {
        Out ver = run(QStringLiteral("mdb-ver"), {m_file});
        QCOMPARE(ver.code, 0);
        QCOMPARE(QString::fromUtf8(ver.out).trimmed(), QStringLiteral("JET4"));

        Out list = run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), m_file});
        QCOMPARE(list.code, 0);
        QStringList names = QString::fromUtf8(list.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList expectedNames = PracticeJet::tables();
        names.sort();
        expectedNames.sort();
        QCOMPARE(names, expectedNames);

        Out schema = run(QStringLiteral("mdb-schema"), {m_file});
        QCOMPARE(schema.code, 0);
        const QString ddl = QString::fromUtf8(schema.out);
        QVERIFY(ddl.contains(QStringLiteral("[POSO]\t\t\tCurrency")));
        QVERIFY(ddl.contains(QStringLiteral("[ISTORIKO]\t\t\tMemo/Hyperlink")));
        QVERIFY(ddl.contains(QStringLiteral("[EGKYRH]\t\t\tBoolean")));
        QVERIFY(ddl.contains(QStringLiteral("[2130-2200]\t\t\tText (100)")));

        for (const QString &table : PracticeJet::tables()) {
            const auto cols = PracticeJet::columns(table);
            Out exp = run(QStringLiteral("mdb-export"),
                          {QStringLiteral("-H"), QStringLiteral("-Q"), QStringLiteral("-d"), QStringLiteral("\x1f"),
                           QStringLiteral("-R"), QStringLiteral("\x1e"), QStringLiteral("-0"), QStringLiteral("<NULL>"),
                           QStringLiteral("-D"), QStringLiteral("%Y-%m-%d %H:%M:%S"), QStringLiteral("-T"),
                           QStringLiteral("%Y-%m-%d %H:%M:%S"), m_file, table});
            QVERIFY2(exp.code == 0, exp.err.constData());
            const QStringList lines = QString::fromUtf8(exp.out).split(QChar(0x1e), Qt::SkipEmptyParts);
            const QList<QVariantList> &rows = m_data.rows[table];
            QCOMPARE(lines.size(), rows.size());
            for (int r = 0; r < rows.size(); ++r) {
                const QStringList cells = lines[r].split(QChar(0x1f));
                QCOMPARE(cells.size(), cols.size());
                for (int c = 0; c < cols.size(); ++c) {
                    QString why;
                    const QVariant expected = c < rows[r].size() ? rows[r][c] : QVariant();
                    QVERIFY2(sameAsExported(cols[c], expected, cells[c], &why),
                             qPrintable(QStringLiteral("%1 row %2 %3: %4").arg(table).arg(r).arg(cols[c].name, why)));
                }
            }
        }
    }

    // mdb-reader finds the same tables, values and the database password.
    void mdbReaderReadsEveryValue()
    {
        const QString dir = mdbReaderDir();
        if (dir.isEmpty())
            QSKIP("npm could not install mdb-reader (no registry?)");
        QFile script(dir + QStringLiteral("/dump.mjs"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(kNodeScript);
        script.close();
        Out o = run(QStringLiteral("node"), {script.fileName(), m_file}, dir);
        QVERIFY2(o.code == 0, o.err.constData());
        const QJsonObject doc = QJsonDocument::fromJson(o.out).object();
        QCOMPARE(doc.value(QStringLiteral("password")).toString(), QString::fromLatin1(PracticeJet::DatabasePassword));
        const QJsonObject tables = doc.value(QStringLiteral("tables")).toObject();
        QCOMPARE(tables.size(), PracticeJet::tables().size());
        for (const QString &table : PracticeJet::tables()) {
            const auto cols = PracticeJet::columns(table);
            const QJsonArray rows = tables.value(table).toObject().value(QStringLiteral("rows")).toArray();
            const QList<QVariantList> &expected = m_data.rows[table];
            QCOMPARE(rows.size(), expected.size());
            for (int r = 0; r < rows.size(); ++r) {
                const QJsonArray cells = rows[r].toArray();
                for (int c = 0; c < cols.size(); ++c) {
                    const QVariant want = c < expected[r].size() ? expected[r][c] : QVariant();
                    const QJsonValue got = cells[c];
                    const QString where = QStringLiteral("%1 row %2 %3").arg(table).arg(r).arg(cols[c].name);
                    if (cols[c].type == JetWriter::Bool) {
                        QVERIFY2(got.toBool() == want.toBool(), qPrintable(where));
                    } else if (!want.isValid()) {
                        QVERIFY2(got.isNull(), qPrintable(where));
                    } else if (cols[c].type == JetWriter::DateTime) {
                        const QDateTime dt = QDateTime::fromString(got.toString(), Qt::ISODateWithMs).toUTC();
                        QVERIFY2(dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) == dateText(want), qPrintable(where));
                    } else if (cols[c].type == JetWriter::Money) {
                        QVERIFY2(std::fabs(got.toString().toDouble() - std::round(want.toDouble() * 10000) / 10000) < 1e-9,
                                 qPrintable(where));
                    } else if (cols[c].type == JetWriter::Double) {
                        QVERIFY2(got.toDouble() == want.toDouble(), qPrintable(where));
                    } else if (cols[c].type == JetWriter::Text || cols[c].type == JetWriter::Memo) {
                        QVERIFY2(got.toString() == want.toString(), qPrintable(where + QStringLiteral(": ") + got.toString().left(40)));
                    } else {
                        QVERIFY2(qint64(got.toDouble()) == want.toLongLong(), qPrintable(where));
                    }
                }
            }
        }
    }
};

MOLARIX_TEST(FixtureReaders)
#include "test_fixturereaders.moc"
