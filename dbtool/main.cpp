// molarix-db: makes practice folders and runs single statements on them.
#include "data/appstate.h"
#include "data/connection.h"
#include "dbtool/demodata.h"
#include "data/jetimport.h"
#include "data/jetsql.h"
#include "data/practicefolder.h"
#include "data/schema.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

enum Exit { Ok = 0, Failed = 1, Usage = 2 };

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

const char *const kUsage =
    "Χρήση:\n"
    "  molarix-db create ΦΑΚΕΛΟΣ\n"
    "      νέο κρυπτογραφημένο data.mdb με τους πίνακες του προγράμματος\n"
    "      και τα αρχεία αναφορών (*.RAV) δίπλα του\n"
    "  molarix-db demo ΦΑΚΕΛΟΣ [--customers N] [--today ΕΕΕΕ-ΜΜ-ΗΗ]\n"
    "      το ίδιο, γεμάτο με δείγμα ιατρείου (300 πελάτες αν δεν δοθεί N)\n"
    "  molarix-db sql ΦΑΚΕΛΟΣ \"ΕΝΤΟΛΗ\"\n"
    "      εκτελεί μία εντολή στη διάλεκτο του προγράμματος (#3/25/2008#, [LAST], TRUE);\n"
    "      ένα SELECT τυπώνει επικεφαλίδα και γραμμές χωρισμένες με tab\n"
    "      (NULL κενό, \\t \\n \\r \\\\ μέσα στις τιμές), οι άλλες τον αριθμό γραμμών που άλλαξαν\n"
    "  molarix-db import-jet ΠΑΛΙΟ.mdb ΦΑΚΕΛΟΣ [--accept-report]\n"
    "      νέα βάση στον ΦΑΚΕΛΟ με τα δεδομένα ενός παλιού data.mdb της Access (Jet);\n"
    "      ό,τι δεν μεταφέρεται όπως ήταν γράφεται στο import-report.txt και, χωρίς\n"
    "      --accept-report, η βάση δεν δημιουργείται\n";

int usage(const QString &problem = QString())
{
    if (!problem.isEmpty())
        err() << problem << '\n';
    err() << QString::fromUtf8(kUsage);
    err().flush();
    return Usage;
}

int failure(const QString &message)
{
    out().flush();
    err() << "molarix-db: " << message << '\n';
    err().flush();
    return Failed;
}

// The report files the tool was installed or built with.
QString reportSource()
{
    return PracticeFolder::installedReports();
}

QString databasePath(const QString &dir)
{
    return QDir::toNativeSeparators(QDir(dir).absoluteFilePath(QStringLiteral("data.mdb")));
}

void openPractice(DbConnection &conn, const QString &dir)
{
    const QFileInfo fi(dir);
    if (!fi.isDir())
        throw DbError(QString::fromUtf8("Ο φάκελος '%1' δεν υπάρχει.").arg(QDir::toNativeSeparators(dir)));
    conn.setConnectionString(BuildConnectionString(fi.absoluteFilePath()));
    conn.open();
}

int create(const QString &dir, const DemoData::Options *demo)
{
    try {
        Schema::createDatabase(dir);
    } catch (const DbError &e) {
        return failure(e.message());
    }
    const QString path = databasePath(dir);

    if (demo) {
        QElapsedTimer timer;
        timer.start();
        try {
            DbConnection conn;
            openPractice(conn, dir);
            const DemoData::Summary s = DemoData::fill(conn, *demo);
            out() << QString::fromUtf8("Δείγμα ιατρείου: %1 πελάτες, %2 επισκέψεις, %3 αποδείξεις "
                                       "(%4 ακυρωμένες, επόμενη η %5), %6 έξοδα,\n"
                                       "  %7 ραντεβού σε %8 ημέρες, %9 υπενθυμίσεις, ")
                         .arg(s.customers).arg(s.visits).arg(s.receipts).arg(s.cancelled)
                         .arg(s.nextReceipt).arg(s.expenses).arg(s.appointments)
                         .arg(s.appointmentDays).arg(s.reminders)
                  << QString::fromUtf8("%1 σημειώσεις, %2 χρήσιμα τηλέφωνα (%3 ms).\n")
                         .arg(s.notes).arg(s.phones).arg(timer.elapsed());
        } catch (const DbError &e) {
            // An empty database would pass for a finished sample; start over instead.
            QFile::remove(QDir(dir).absoluteFilePath(QStringLiteral("data.mdb")));
            return failure(e.message());
        }
    }

    const QString source = reportSource();
    const int copied = source.isEmpty() ? 0 : Schema::copyReportFiles(source, dir);
    if (copied == 0)
        err() << QString::fromUtf8("Προσοχή: δεν βρέθηκαν αρχεία αναφορών (*.RAV) για αντιγραφή.\n");
    else
        out() << QString::fromUtf8("Αρχεία αναφορών που αντιγράφηκαν: %1 (από %2).\n")
                     .arg(copied).arg(QDir::toNativeSeparators(source));

    out() << QString::fromUtf8("Δημιουργήθηκε η βάση δεδομένων %1\n").arg(path)
          << QString::fromUtf8("Πρώτος κωδικός πρόσβασης: %1\n").arg(QLatin1String(Schema::FirstPassword));
    return Ok;
}

// One value of a row; tabs and line breaks are escaped so that every row
// stays one line.
QString cell(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::LongLong:
        return QString::number(v.toLongLong());
    case QMetaType::QByteArray:
        return QStringLiteral("x'%1'").arg(QString::fromLatin1(v.toByteArray().toHex()));
    default:
        break;
    }
    QString s = v.toString();
    s.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\t'), QStringLiteral("\\t"))
        .replace(QLatin1Char('\n'), QStringLiteral("\\n"))
        .replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return s;
}

int sql(const QString &dir, const QString &statement)
{
    try {
        DbConnection conn;
        openPractice(conn, dir);
        DbStatement st(conn, JetSql::translate(statement));
        const int columns = st.columnCount();
        if (columns == 0) {
            while (st.step()) {
            }
            out() << conn.scalarNative(QStringLiteral("SELECT changes()")).toLongLong() << '\n';
            return Ok;
        }
        // Rows are collected first so that a failure half-way prints no half table.
        QStringList lines;
        QStringList fields;
        for (int i = 0; i < columns; ++i)
            fields << cell(st.columnName(i));
        lines << fields.join(QLatin1Char('\t'));
        while (st.step()) {
            fields.clear();
            for (int i = 0; i < columns; ++i)
                fields << cell(st.columnValue(i));
            lines << fields.join(QLatin1Char('\t'));
        }
        for (const QString &l : lines)
            out() << l << '\n';
        return Ok;
    } catch (const DbError &e) {
        return failure(e.message());
    } catch (const std::exception &e) {
        return failure(QString::fromUtf8(e.what()));
    }
}

int importJet(const QString &jetFile, const QString &dir, bool accept)
{
    QElapsedTimer timer;
    timer.start();
    try {
        const JetImport::Result r = JetImport::importFile(jetFile, dir, accept);
        out() << r.reportText();
        if (r.made) {
            const QString source = reportSource();
            if (!source.isEmpty())
                Schema::copyReportFiles(source, dir);
            out() << QString::fromUtf8("\nΗ μεταφορά ολοκληρώθηκε (%1 ms). Ο κωδικός πρόσβασης είναι αυτός του παλιού αρχείου.\n")
                         .arg(timer.elapsed());
            return Ok;
        }
        out().flush();
        err() << QString::fromUtf8("molarix-db: η μεταφορά σταμάτησε: %1 ευρήματα (βλ. %2). "
                                   "Με --accept-report η βάση δημιουργείται μ' αυτά.\n")
                     .arg(r.findings.size())
                     .arg(QDir::toNativeSeparators(QDir(dir).absoluteFilePath(QLatin1String(JetImport::ReportFileName))));
        return Failed;
    } catch (const DbError &e) {
        return failure(e.message());
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.at(0);
    int rc = Usage;

    if (command == QLatin1String("-h") || command == QLatin1String("--help") || command == QLatin1String("help")) {
        out() << QString::fromUtf8(kUsage);
        rc = Ok;
    } else if (command == QLatin1String("create")) {
        if (args.size() != 2)
            return usage();
        rc = create(args.at(1), nullptr);
    } else if (command == QLatin1String("demo")) {
        DemoData::Options options;
        QString dir;
        for (int i = 1; i < args.size(); ++i) {
            const QString &a = args.at(i);
            if (a == QLatin1String("--customers") && i + 1 < args.size()) {
                bool ok = false;
                options.customers = args.at(++i).toInt(&ok);
                if (!ok || options.customers < 1 || options.customers > 10000000)
                    return usage(QString::fromUtf8("Ο αριθμός πελατών πρέπει να είναι από 1 έως 10000000."));
            } else if (a == QLatin1String("--today") && i + 1 < args.size()) {
                options.today = QDate::fromString(args.at(++i), Qt::ISODate);
                if (!options.today.isValid() || options.today.year() < 1990)
                    return usage(QString::fromUtf8("Η ημερομηνία πρέπει να είναι ΕΕΕΕ-ΜΜ-ΗΗ, από το 1990."));
            } else if (!a.startsWith(QLatin1String("--")) && dir.isEmpty()) {
                dir = a;
            } else {
                return usage();
            }
        }
        if (dir.isEmpty())
            return usage();
        rc = create(dir, &options);
    } else if (command == QLatin1String("sql")) {
        if (args.size() != 3)
            return usage();
        rc = sql(args.at(1), args.at(2));
    } else if (command == QLatin1String("import-jet")) {
        QStringList plain;
        bool accept = false;
        for (int i = 1; i < args.size(); ++i) {
            if (args.at(i) == QLatin1String("--accept-report"))
                accept = true;
            else if (args.at(i).startsWith(QLatin1String("--")))
                return usage();
            else
                plain << args.at(i);
        }
        if (plain.size() != 2)
            return usage();
        rc = importJet(plain.at(0), plain.at(1), accept);
    } else {
        return usage(QString::fromUtf8("Άγνωστη εντολή: %1").arg(command));
    }
    out().flush();
    err().flush();
    return rc;
}
