// molarix-db import-jet on files made by the fixture writer, and the
// program's windows on what it brought over.
#include "customers/visits.h"
#include "data/practice/appstate.h"
#include "data/practice/practicefile.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/import/jetimport.h"
#include "data/db/regional.h"
#include "gui/dbcontrols.h"
#include "gui/messages.h"
#include "receipts/customertakings.h"
#include "receipts/issuedreceipts.h"
#include "receipts/takingsbetweendates.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include "tests/jetimport/practicejet.h"
#include "tools/notebook.h"
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>
#include <cmath>

namespace {

using Run = ToolRun;

// Opens the imported practice with the old practice's access password.
std::unique_ptr<DbConnection> open(const QString &dir, const QString &password = PracticeJet::Options().password)
{
    return openPracticeDir(dir, password);
}

QString storedDate(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(Qt::ISODate);
    const QDateTime dt = v.toDateTime();
    return dt.time() == QTime(0, 0) ? dt.date().toString(Qt::ISODate) : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The value the new database should hold for one the fixture wrote.
QVariant expectedValue(const JetWriter::Column &c, const QVariant &v)
{
    if (c.type == JetWriter::Bool)
        return qlonglong(v.toBool() ? -1 : 0);
    if (!v.isValid())
        return QVariant();
    switch (c.type) {
    case JetWriter::DateTime: return storedDate(v);
    case JetWriter::Money: return double(std::llround(v.toDouble() * 10000.0)) / 10000.0;
    case JetWriter::Double: return v.toDouble();
    case JetWriter::Text:
    case JetWriter::Memo: return v.toString();
    default: return v.toLongLong();
    }
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

}   // namespace

class JetImportTool : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;
    PracticeJet::Data m_data;
    QString m_practice;
    Run m_run;

    double sum(const QString &table, const QString &column, const std::function<bool(const QVariantList &)> &keep = {})
    {
        const int at = m_data.column(table, column);
        double s = 0;
        for (const QVariantList &r : m_data.rows[table])
            if (!keep || keep(r))
                s += r[at].toDouble();
        return s;
    }

private slots:
    void initTestCase()
    {
        PracticeJet::Options o;
        o.customers = 1000;
        m_data = PracticeJet::make(o);
        const QString jet = m_tmp.filePath(QStringLiteral("old.mdb"));
        QVERIFY(PracticeJet::write(m_data, jet));
        m_practice = m_tmp.filePath(QStringLiteral("practice"));
        QVERIFY(QDir().mkpath(m_practice));
        m_run = runTool({QStringLiteral("import-jet"), jet, m_practice});
    }

    // Every row of the twelve tables arrives column by column: Greek texts,
    // NULLs and empty texts apart, dates, both kinds of amount, yes/no,
    // memos several pages long, the IDs that link the tables.
    void everyRowComesOverExactly()
    {
        QVERIFY2(m_run.code == 0, qPrintable(m_run.out + m_run.err));
        QVERIFY(QFile::exists(m_practice + QStringLiteral("/data.mdb")));
        QVERIFY(m_run.out.contains(QStringLiteral("Όλα τα δεδομένα μεταφέρθηκαν όπως ήταν.")));
        auto c = open(m_practice);
        for (const QString &table : PracticeJet::tables()) {
            const auto cols = PracticeJet::columns(table);
            QStringList names;
            for (const auto &col : cols)
                names << QLatin1Char('"') + col.name + QLatin1Char('"');
            const auto got = queryRows(*c, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(names.join(QLatin1Char(',')), table));
            const auto &want = m_data.rows[table];
            QCOMPARE(got.size(), want.size());
            for (int r = 0; r < want.size(); ++r)
                for (int k = 0; k < cols.size(); ++k) {
                    const QVariant w = expectedValue(cols[k], k < want[r].size() ? want[r][k] : QVariant());
                    const QVariant g = got[r][k];
                    const bool same = w.isValid() ? (g.isValid() && g == w && g.typeId() == w.typeId()) : !g.isValid();
                    QVERIFY2(same, qPrintable(QStringLiteral("%1 row %2 %3: %4 vs %5").arg(table).arg(r).arg(cols[k].name, g.toString().left(60), w.toString().left(60))));
                }
            // The check printed side by side: old and new row counts.
            QVERIFY2(m_run.out.contains(QRegularExpression(QStringLiteral("%1\\s+%2\\s+%2\\s+0\\s+0\\n").arg(table).arg(want.size()))),
                     qPrintable(table));
        }
        // The practice keeps its password; new customers continue the numbering.
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT \"PASSWORD\" FROM SECURITY")).toString(), QStringLiteral("Οδοντ1ατρ"));
        c->execute(QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO) VALUES ('Νέος')"));
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong(), 1001);
        const QString report = QString::fromUtf8([&] {
            QFile f(m_practice + QStringLiteral("/import-report.txt"));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }());
        QVERIFY(report.contains(QStringLiteral("Σ POSO")));
        QVERIFY(!entries(m_practice).join(QLatin1Char(' ')).contains(QStringLiteral(".molarix-import")));
    }

    // The windows list and total what the old file held.
    void theWindowsShowTheOldPracticesListsAndTotals()
    {
        QVERIFY(QFile::exists(m_practice + QStringLiteral("/data.mdb")));
        AppDirectory = QDir::toNativeSeparators(m_practice);
        DbConnectionString = BuildConnectionString(AppDirectory);
        open(m_practice);   // the access check's key
        Messages::takeShown();
        const int valid = m_data.column(QStringLiteral("APODEIKSEIS"), QStringLiteral("EGKYRH"));
        {
            TForm71 issued;
            issued.show();
            QCOMPARE(child<QLabel>(&issued, "Label1")->text(),
                     QStringLiteral("Βρέθηκαν %1 αποδείξεις").arg(m_data.rows[QStringLiteral("APODEIKSEIS")].size()));
        }
        {
            TForm59 between;
            between.show();
            child<QLineEdit>(&between, "Edit1")->setText(QStringLiteral("1/1/2000"));
            child<QLineEdit>(&between, "Edit2")->setText(QStringLiteral("31/12/2030"));
            child<QPushButton>(&between, "Button1")->click();
            const double total = sum(QStringLiteral("APODEIKSEIS"), QStringLiteral("POSO"),
                                     [&](const QVariantList &r) { return r[valid].toBool(); });
            QCOMPARE(child<QLabel>(&between, "DBText1")->text(), Regional::formatAmount(total));
        }
        {
            // Customer 2 paid once; its visits are listed under its ID.
            const int customer = 2;
            const int idAt = m_data.column(QStringLiteral("EISPRAKSH_PELATH"), QStringLiteral("ID"));
            auto mine = [&](const QVariantList &r) { return r[idAt].toInt() == customer; };
            TForm57 takings;
            takings.CustomerId = QString::number(customer);
            takings.show();
            int paid = 0;
            for (const QVariantList &r : m_data.rows[QStringLiteral("EISPRAKSH_PELATH")])
                paid += mine(r) ? 1 : 0;
            QCOMPARE(child<QLabel>(&takings, "DBText1")->text(), QString::number(paid));
            QCOMPARE(child<QLabel>(&takings, "DBText2")->text(),
                     Regional::formatAmount(sum(QStringLiteral("EISPRAKSH_PELATH"), QStringLiteral("POSO"), mine)));

            TFORM17A visits;
            visits.CustomerId = QString::number(customer);
            visits.show();
            QVERIFY2(child<QLabel>(&visits, "Label10")->text().startsWith(QStringLiteral("Βρέθηκαν 3 ")),
                     qPrintable(child<QLabel>(&visits, "Label10")->text()));
        }
        {
            // The long note, several long-value pages in the old file, whole.
            TForm6 notebook;
            notebook.show();
            DataSet *t = notebook.table();
            const int titleAt = m_data.column(QStringLiteral("SHMEIWSEIS"), QStringLiteral("TITLOS"));
            const int textAt = m_data.column(QStringLiteral("SHMEIWSEIS"), QStringLiteral("PERIGRAFH"));
            const QVariantList &note = m_data.rows[QStringLiteral("SHMEIWSEIS")][4];
            while (t->fieldText(QStringLiteral("TITLOS")) != note[titleAt].toString() && !t->eof())
                t->next();
            QCOMPARE(child<DbMemo>(&notebook, "DBMemo1")->toPlainText(), note[textAt].toString());
            QVERIFY(note[textAt].toString().size() > 10000);
        }
        QVERIFY(Messages::takeShown().isEmpty());
    }

    // What cannot come over as it was stops the import, unless the user
    // accepts the report: then both receipts of one number are kept.
    void findingsStopTheImportUntilAccepted()
    {
        using namespace JetWriter;
        Writer w(QStringLiteral("QT40718ZKM"));
        const int receipts = w.addTable(QStringLiteral("APODEIKSEIS"), PracticeJet::columns(QStringLiteral("APODEIKSEIS")));
        w.addRow(receipts, {7, QDate(2008, 3, 1), QStringLiteral("Α"), QStringLiteral("Β"), QStringLiteral("Α Β"), 10.0, 5.85, QString(), QString(), true});
        w.addRow(receipts, {8, QDate(2008, 3, 2), QStringLiteral("Γ"), QStringLiteral("Δ"), QStringLiteral("Γ Δ"), 20.5, 12.0, QString(), QString(), true});
        w.addRow(receipts, {7, QDate(2008, 4, 9), QStringLiteral("Ε"), QStringLiteral("Ζ"), QStringLiteral("Ε Ζ"), 33.25, 19.46, QString(), QString(), false});
        w.addRow(receipts, {QVariant(), QDate(2008, 4, 10), QStringLiteral("Η"), QStringLiteral("Θ"), QString(), 1.5, 0.88, QString(), QString(), true});
        const int visits = w.addTable(QStringLiteral("EPISKEPSEIS"), PracticeJet::columns(QStringLiteral("EPISKEPSEIS")));
        w.addRow(visits, {1, QDate(2008, 1, 1), QStringLiteral("Πόνος"), QString()});
        w.addRow(visits, {1, 1.0e7, QStringLiteral("Έλεγχος"), QString()});   // year 29279
        QList<Column> expenses = PracticeJet::columns(QStringLiteral("EKSODA"));
        expenses << Column{QStringLiteral("SXOLIO"), Text, 50};
        const int ex = w.addTable(QStringLiteral("EKSODA"), expenses);
        w.addRow(ex, {QDate(2008, 5, 5), 100.0, 23.0, QStringLiteral("Ενοίκιο"), QStringLiteral("πληρώθηκε")});
        const int security = w.addTable(QStringLiteral("SECURITY"), PracticeJet::columns(QStringLiteral("SECURITY")));
        w.addRow(security, {QStringLiteral("μυστικό")});
        const QString jet = m_tmp.filePath(QStringLiteral("findings.mdb"));
        QVERIFY(w.save(jet));

        const QString dir = m_tmp.filePath(QStringLiteral("findings"));
        QVERIFY(QDir().mkpath(dir));
        Run first = runTool({QStringLiteral("import-jet"), jet, dir});
        QCOMPARE(first.code, 1);
        QCOMPARE(entries(dir), QStringList{QStringLiteral("import-report.txt")});
        QVERIFY(first.out.contains(QStringLiteral("Δεν δημιουργήθηκε νέα βάση δεδομένων.")));
        for (const char *expected : {"η απόδειξη αρ. 7 υπάρχει δύο φορές", "ημερομηνία εκτός ορίων στη στήλη HMEROMHNIA",
                                     "EKSODA.SXOLIO (Text): η στήλη δεν υπάρχει", "STOIXEIA_PELATH: ο πίνακας λείπει"})
            QVERIFY2(first.out.contains(QString::fromUtf8(expected)), expected);

        Run accepted = runTool({QStringLiteral("import-jet"), jet, dir, QStringLiteral("--accept-report")});
        QVERIFY2(accepted.code == 0, qPrintable(accepted.out + accepted.err));
        auto c = open(dir, QStringLiteral("μυστικό"));
        QCOMPARE(queryRows(*c, QStringLiteral("SELECT AR_APODEIKSHS, POSO, EGKYRH FROM APODEIKSEIS ORDER BY rowid")),
                 (QList<QVariantList>{{7LL, 10.0, -1LL}, {8LL, 20.5, -1LL}}));
        QCOMPARE(queryRows(*c, QStringLiteral("SELECT AR_APODEIKSHS, ONOMA, POSO, EGKYRH FROM APODEIKSEIS_DIPLOTYPA")),
                 (QList<QVariantList>{{7LL, QStringLiteral("Ε"), 33.25, 0LL}}));
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT COUNT(*) FROM EPISKEPSEIS")).toInt(), 1);
        QCOMPARE(c->scalarNative(QStringLiteral("SELECT \"PASSWORD\" FROM SECURITY")).toString(), QStringLiteral("μυστικό"));
        // Counts side by side: 4 old receipts, 2 in place, 1 set aside, 1
        // without a number only in the report; the sums agree.
        QVERIFY(accepted.out.contains(QRegularExpression(QStringLiteral("APODEIKSEIS\\s+4\\s+2\\s+1\\s+1\\n"))));
        QVERIFY(accepted.out.contains(QRegularExpression(QStringLiteral("POSO\\s+65\\.25\\s+63\\.75\\s+1\\.50"))));
        QVERIFY(accepted.out.contains(QStringLiteral("APODEIKSEIS: γραμμή που δεν αποθηκεύτηκε")));
        QVERIFY(accepted.out.contains(QRegularExpression(QStringLiteral("EPISKEPSEIS\\s+2\\s+1\\s+0\\s+1\\n"))));
    }

    // Input the importer cannot read: a clear message, and the folder
    // stays as it was.
    void unreadableFilesLeaveTheFolderAsItWas()
    {
        const QString good = m_tmp.filePath(QStringLiteral("old.mdb"));
        QFile src(good);
        QVERIFY(src.open(QIODevice::ReadOnly));
        const QByteArray bytes = src.readAll();
        struct Case {
            const char *name;
            QByteArray content;
            const char *message;
        };
        const QList<Case> cases = {
            {"halfpage.mdb", bytes.left(bytes.size() / 2 + 1000), "είναι κομμένο"},
            {"halffile.mdb", bytes.left((bytes.size() / 4096 / 2) * 4096), "κομμένο"},
            {"text.mdb", QByteArray("Αυτό δεν είναι βάση.\n").repeated(1000), "δεν είναι βάση δεδομένων Access"},
            {"empty.mdb", QByteArray(), "δεν είναι βάση δεδομένων Access"},
        };
        for (const Case &k : cases) {
            const QString file = m_tmp.filePath(QString::fromLatin1(k.name));
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(k.content);
            f.close();
            const QString dir = m_tmp.filePath(QStringLiteral("bad-") + QString::fromLatin1(k.name));
            QVERIFY(QDir().mkpath(dir));
            const Run r = runTool({QStringLiteral("import-jet"), file, dir, QStringLiteral("--accept-report")});
            QVERIFY2(r.code == 1, k.name);
            QVERIFY2(r.err.contains(QString::fromUtf8(k.message)), qPrintable(r.err));
            QVERIFY2(entries(dir).isEmpty(), qPrintable(entries(dir).join(QLatin1Char(' '))));
        }

        // Access files the practice never had: a newer format, and one
        // without the practice's tables (not even with the report accepted).
        for (const auto &[name, message] : {std::pair{"access2007-types.accdb", "Access 2007 ή νεότερη (.accdb)"},
                                            std::pair{"access2000-types.mdb", "δεν έχει κανέναν από τους πίνακες του ιατρείου"}}) {
            const QString file = QStringLiteral(MOLARIX_SHARED_DIR "/fixtures/jet/") + QLatin1String(name);
            QVERIFY2(QFile::exists(file), "the shared Access files are missing beside the repository");
            const QString dir = m_tmp.filePath(QStringLiteral("bad-") + QLatin1String(name));
            QVERIFY(QDir().mkpath(dir));
            const Run r = runTool({QStringLiteral("import-jet"), file, dir, QStringLiteral("--accept-report")});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(QString::fromUtf8(message)), qPrintable(r.err));
            QVERIFY(entries(dir).isEmpty());
        }
        // A file that makes the reader hold ever more memory (here the
        // reader is told to) stops at the tool's own limit.
        {
            qputenv("MOLARIX_JET_CHILD_TEST", "hog");
            const auto restore = qScopeGuard([] { qunsetenv("MOLARIX_JET_CHILD_TEST"); });
            const QString dir = m_tmp.filePath(QStringLiteral("bad-hog"));
            QVERIFY(QDir().mkpath(dir));
            const Run r = runTool({QStringLiteral("import-jet"), good, dir, QStringLiteral("--accept-report")});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(QStringLiteral("χρειάστηκε περισσότερη μνήμη")), qPrintable(r.err));
            QVERIFY(entries(dir).isEmpty());
        }
        Run r;

        // A folder that already has a database is refused, and so is a
        // Jet file lacking a table unless the report is accepted.
        r = runTool({QStringLiteral("import-jet"), good, m_practice});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QStringLiteral("έχει ήδη data.mdb")));
        const QString lacking = m_tmp.filePath(QStringLiteral("lacking.mdb"));
        QVERIFY(PracticeJet::write(m_data, lacking, {QStringLiteral("EKSODA")}));
        const QString lackingDir = m_tmp.filePath(QStringLiteral("lacking"));
        QVERIFY(QDir().mkpath(lackingDir));
        r = runTool({QStringLiteral("import-jet"), lacking, lackingDir});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains(QStringLiteral("EKSODA: ο πίνακας λείπει από το παλιό αρχείο.")));
        QCOMPARE(entries(lackingDir), QStringList{QStringLiteral("import-report.txt")});
    }
};

MOLARIX_TEST(JetImportTool)
#include "test_importtool.moc"
