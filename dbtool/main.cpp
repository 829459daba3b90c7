// molarix-db: makes practice folders, runs statements on them, and keeps
// their data safe (backups, restore, checks).
#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/practice/check.h"
#include "data/practice/schemaversion.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "dbtool/demodata.h"
#include "data/import/jetimport.h"
#include "data/db/jetsql.h"
#include "data/practice/practicefolder.h"
#include "data/practice/practicefile.h"
#include "data/db/practicekey.h"
#include "data/db/regional.h"
#include "data/work/customers.h"
#include "data/practice/schema.h"
#include "data/practice/security.h"
#include "data/practice/session.h"
#include "data/practice/keyring.h"
#include "data/practice/users.h"
#include "data/work/accesslog.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTextStream>
#include "data/practice/serverbackup.h"
#include "data/practice/serverconf.h"
#include "data/work/accesslog.h"
#include <sqlite3.h>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

enum Exit { Ok = 0,
            Failed = 1,
            Usage = 2 };

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
    "      νέο data.mdb, κλειδωμένο με τον κωδικό πρόσβασης, με τους πίνακες του\n"
    "      προγράμματος και τα αρχεία αναφορών (*.RAV) δίπλα του\n"
    "  molarix-db demo ΦΑΚΕΛΟΣ [--customers N] [--today ΕΕΕΕ-ΜΜ-ΗΗ]\n"
    "      το ίδιο, γεμάτο με δείγμα ιατρείου (300 πελάτες αν δεν δοθεί N),\n"
    "      με κωδικό molarix αν δεν δοθεί άλλος με --password\n"
    "  molarix-db create-server ΦΑΚΕΛΟΣ [--password ΚΩΔΙΚΟΣ]\n"
    "      γεμίζει την κενή βάση του διακομιστή PostgreSQL που ορίζει το ΦΑΚΕΛΟΣ/server.conf\n"
    "      (host=, port=, database=, user=) με τους πίνακες· κωδικός από --password,\n"
    "      MOLARIX_PASSWORD ή το τερματικό (ο κωδικός του χρήστη στον διακομιστή)\n"
    "  molarix-db copy ΑΠΟ_ΦΑΚΕΛΟ ΣΕ_ΦΑΚΕΛΟ\n"
    "      αντιγράφει ένα ιατρείο από αρχείο σε διακομιστή ή αντίστροφα, σε άδειο\n"
    "      προορισμό, και ελέγχει πλήθη γραμμών και ποσά πριν την ολοκληρώσει\n"
    "  molarix-db sql ΦΑΚΕΛΟΣ \"ΕΝΤΟΛΗ[; ΕΝΤΟΛΗ...]\"\n"
    "      εκτελεί εντολές στη διάλεκτο του προγράμματος (#3/25/2008#, [LAST], TRUE);\n"
    "      ένα SELECT τυπώνει επικεφαλίδα και γραμμές χωρισμένες με tab\n"
    "      (NULL κενό, \\t \\n \\r \\\\ μέσα στις τιμές), οι άλλες τον αριθμό γραμμών που άλλαξαν;\n"
    "      πολλές εντολές χωρισμένες με \";\" εκτελούνται όλες μαζί ή καμία\n"
    "  molarix-db backup ΦΑΚΕΛΟΣ [ΠΡΟΟΡΙΣΜΟΣ]\n"
    "      αντίγραφο ασφαλείας εν ώρα λειτουργίας, κρυπτογραφημένο όπως το data.mdb, στο\n"
    "      ΠΡΟΟΡΙΣΜΟΣ (αρχείο ή φάκελος) ή στο ΦΑΚΕΛΟΣ/backups/data-ΕΕΕΕ-ΜΜ-ΗΗ-ωωλλδδ.mdb;\n"
    "      μετράει μόνο αφού ανοίξει μόνο του, διαβαστεί ολόκληρο χωρίς σφάλμα (quick_check και\n"
    "      κάθε ευρετήριο απέναντι στον πίνακά του) και έχει τις ίδιες γραμμές σε κάθε πίνακα·\n"
    "      αλλιώς σβήνεται. Στο backups/ μένουν τα νεότερα 7 ημερήσια,\n"
    "      5 εβδομαδιαία και 12 μηνιαία· όσα γράφτηκαν σε ΠΡΟΟΡΙΣΜΟ δεν σβήνονται ποτέ.\n"
    "      Ιατρείο σε διακομιστή: αρχείο ιατρείου κλειδωμένο με τον κωδικό του χρήστη, από\n"
    "      ένα στιγμιότυπο της βάσης\n"
    "  molarix-db restore ΦΑΚΕΛΟΣ ΑΝΤΙΓΡΑΦΟ [--yes]\n"
    "      ελέγχει το αντίγραφο, φυλάει το τρέχον ως data.mdb.before-restore-ΣΦΡΑΓΙΔΑ και\n"
    "      βάζει το αντίγραφο στη θέση του· αρνείται χωρίς αλλαγή αν το αντίγραφο δεν\n"
    "      περνά τον έλεγχο ή αν άλλο πρόγραμμα χρησιμοποιεί τη βάση. Ο κωδικός είναι αυτός\n"
    "      που ανοίγει το αντίγραφο και γίνεται ο κωδικός του ιατρείου· ζητείται\n"
    "      επιβεβαίωση πριν αρχίσει (--yes: χωρίς ερώτηση). Ιατρείο σε διακομιστή: γεμίζει\n"
    "      την άδεια βάση (φτιάχνει και τους πίνακες αν λείπουν) σε μία συναλλαγή· βάση με\n"
    "      δεδομένα αντικαθίσταται μόνο με επιβεβαίωση\n"
    "  molarix-db check ΦΑΚΕΛΟΣ\n"
    "      η έκδοση δομής του αρχείου,\n"
    "      integrity_check και οι κανόνες του ιατρείου (κάθε έγκυρη απόδειξη έχει μία\n"
    "      είσπραξη με τα ίδια ποσά, καμία είσπραξη χωρίς απόδειξη, ο μετρητής LAST\n"
    "      πάνω από κάθε αριθμό· επισκέψεις/εισπράξεις πελάτη που σβήστηκε μόνο αναφέρονται)\n"
    "      και κάθε πίνακας του αρχείου διαβάζεται ως το τέλος (τυπώνονται οι γραμμές του);\n"
    "      σε διακομιστή, στη θέση του integrity_check, ότι υπάρχουν οι πίνακες και οι στήλες τους;\n"
    "      έξοδος 0 μόνο όταν όλα ισχύουν\n"
    "  molarix-db import-jet ΠΑΛΙΟ.mdb ΦΑΚΕΛΟΣ [--accept-report]\n"
    "      νέα βάση στον ΦΑΚΕΛΟ με τα δεδομένα ενός παλιού data.mdb της Access (Jet);\n"
    "      ό,τι δεν μεταφέρεται όπως ήταν γράφεται στο import-report.txt και, χωρίς\n"
    "      --accept-report, η βάση δεν δημιουργείται\n"
    "  molarix-db audit ΦΑΚΕΛΟΣ [--verify] [--customer ID] [--user ΟΝΟΜΑ] [--from ΕΕΕΕ-ΜΜ-ΗΗ --to ΕΕΕΕ-ΜΜ-ΗΗ]\n"
    "      τυπώνει το ημερολόγιο προσβάσεων (θέση, ώρα, χρήστης, σταθμός, ενέργεια, πελάτης,\n"
    "      λεπτομέρειες, χωρισμένα με tab)· --verify ελέγχει την αλυσίδα των εγγραφών και\n"
    "      αναφέρει τη θέση της πρώτης που άλλαξε, σβήστηκε ή μετακινήθηκε (έξοδος 1)\n"
    "  molarix-db passwd ΦΑΚΕΛΟΣ [--new-password ΝΕΟΣ]\n"
    "      αλλάζει τον κωδικό πρόσβασης του χρήστη· ιατρείο χωρίς χρήστες: τον κωδικό και\n"
    "      το κλειδί του αρχείου μαζί, με επαληθευμένο αντίγραφο ασφαλείας στο ΦΑΚΕΛΟΣ/backups\n"
    "  molarix-db users ΦΑΚΕΛΟΣ list|add ΟΝΟΜΑ ΡΟΛΟΣ|remove ΟΝΟΜΑ|passwd ΟΝΟΜΑ|role ΟΝΟΜΑ ΡΟΛΟΣ\n"
    "      οι χρήστες του ιατρείου (ΡΟΛΟΣ: administrator, clinician, reception)· ο νέος\n"
    "      κωδικός από --new-password, MOLARIX_NEW_PASSWORD ή το τερματικό· σε διακομιστή οι\n"
    "      χρήστες είναι λογαριασμοί του διακομιστή στους ρόλους ομάδας του ιατρείου\n"
    "Κάθε εντολή συνδέεται ως χρήστης: --user ΟΝΟΜΑ (η audit μόνο με MOLARIX_USER) ή η μεταβλητή MOLARIX_USER, μαζί με\n"
    "τον κωδικό του. Σε ιατρείο χωρίς χρήστες το όνομα που δίνεται γίνεται ο πρώτος\n"
    "διαχειριστής με τον κωδικό του ιατρείου (με επαληθευμένο αντίγραφο πριν), και\n"
    "τυπώνεται μία φορά ο κωδικός ανάκτησης. Τις sql, users, audit, backup και restore\n"
    "τις εκτελεί μόνο διαχειριστής.\n"
    "Ο κωδικός πρόσβασης ζητείται στο τερματικό, αλλιώς δίνεται στη μεταβλητή\n"
    "MOLARIX_PASSWORD ή με --password-file ΑΡΧΕΙΟ (η πρώτη γραμμή του αρχείου· \"-\":\n"
    "από την είσοδο). Το --password ΚΩΔΙΚΟΣ τον δείχνει σε κάθε χρήστη του υπολογιστή\n"
    "(ps)· προτιμήστε τους άλλους τρόπους. Ο νέος: τερματικό, MOLARIX_NEW_PASSWORD\n"
    "ή --new-password.\n"

    "Κωδικοί εξόδου: 0 επιτυχία, 1 αποτυχία (με την αιτία), 2 λάθος χρήση.\n";

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

// The passwords of the command line (--password, --new-password), handed to
// each command rather than kept where anything could read them.
struct Given {
    QString password, newPassword, user;
};

// One line from the terminal without echo, or from standard input when it
// is not a terminal (a script piping the password in).
QString readSecret(const QString &prompt)
{
    const bool tty = isatty(STDIN_FILENO);
    termios saved{};
    if (tty) {
        err() << prompt;
        err().flush();
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    for (int c; (c = std::getchar()) != EOF && c != '\n';)
        line.append(char(c));
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err() << '\n';
        err().flush();
    }
    if (line.endsWith('\r'))
        line.chop(1);
    QString text = QString::fromLocal8Bit(line);
    PracticeKey::wipe(line);
    return text;
}

// The first line of a file, or of standard input for "-", without its
// line end: a password kept out of the command line, where every user of
// the computer can read it.
QString passwordFromFile(const QString &path)
{
    QByteArray line;
    if (path == QLatin1String("-")) {
        // Character by character: what follows the line (an answer) stays to be read.
        for (int c; (c = std::getchar()) != EOF && c != '\n';)
            line.append(char(c));
    } else {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw DbError(QString::fromUtf8("Το αρχείο κωδικού %1 δεν διαβάζεται: %2").arg(QDir::toNativeSeparators(path), f.errorString()));
        line = f.readLine();
    }
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    QString text = QString::fromUtf8(line);
    PracticeKey::wipe(line);
    if (text.isEmpty())
        throw DbError(QString::fromUtf8("Το αρχείο κωδικού %1 δεν έχει κωδικό στην πρώτη του γραμμή.").arg(QDir::toNativeSeparators(path)));
    return text;
}

// Asks on standard error and reads the answer from standard input.
bool confirmed(const QString &question)
{
    err() << question << ' ';
    err().flush();
    QByteArray line;
    for (int c; (c = std::getchar()) != EOF && c != '\n';)
        line.append(char(c));
    const QString answer = QString::fromLocal8Bit(line).trimmed().toLower();
    return answer == QString::fromUtf8("ν") || answer == QString::fromUtf8("ναι") || answer == QLatin1String("y")
        || answer == QLatin1String("yes");
}

// The password: --password, then the environment, then the terminal
// (asked twice when it is to become a file's key).
QString passwordFrom(const QString &given, const char *variable, const QString &prompt, bool twice)
{
    if (!given.isEmpty())
        return given;
    const QString fromEnv = qEnvironmentVariable(variable);
    if (!fromEnv.isEmpty())
        return fromEnv;
    QString first = readSecret(prompt);
    if (twice && isatty(STDIN_FILENO)) {
        QString again = readSecret(QString::fromUtf8("Ξανά: "));
        if (again != first) {
            PracticeKey::wipe(first);
            throw DbError(QString::fromUtf8("Οι δύο κωδικοί διαφέρουν."));
        }
    }
    if (first.isEmpty())
        throw DbError(QString::fromUtf8("Δεν δόθηκε κωδικός πρόσβασης."));
    return first;
}

QString databasePath(const QString &dir)
{
    return QDir::toNativeSeparators(QDir(dir).absoluteFilePath(QStringLiteral("data.mdb")));
}

// The user's name: --user, then MOLARIX_USER; empty when neither is given.
QString userFrom(const Given &given)
{
    return given.user.isEmpty() ? qEnvironmentVariable("MOLARIX_USER").trimmed() : given.user.trimmed();
}

// Opens the practice with the password, as the access check does: an old
// fixed-key file moves to the password key (after a verified copy).
void openPractice(DbConnection &conn, const QString &dir, const Given &given, QString password = QString())
{
    if (password.isEmpty())
        password = passwordFrom(given.password, "MOLARIX_PASSWORD", QString::fromUtf8("Κωδικός πρόσβασης: "), false);
    const QFileInfo fi(dir);
    if (!fi.isDir())
        throw DbError(QString::fromUtf8("Ο φάκελος '%1' δεν υπάρχει.").arg(QDir::toNativeSeparators(dir)));
    // On a server the login's password is the access password; the server checks it.
    if (ServerConf::exists(fi.absoluteFilePath())) {
        const QString connectionString = BuildConnectionString(fi.absoluteFilePath());
        try {
            Session::current().logIn(connectionString, password, userFrom(given));
            PracticeKey::wipe(password);
            AccessLog::sealServerIn(connectionString, fi.absoluteFilePath());
            conn.setConnectionString(connectionString);
            conn.open();
            AccessLog::setUser(Session::current().userName());
        } catch (const DbError &e) {
            PracticeKey::wipe(password);
            // The refusal is the program's sentence; the server's own words
            // (in English) that follow it stay out of the tool's one line.
            QString sentence = e.message().section(QLatin1Char('\n'), 0, 0).trimmed();
            if (sentence.endsWith(QLatin1Char(':')))
                sentence.back() = QLatin1Char('.');
            throw DbError(sentence, e.cause());
        }
        return;
    }
    const QString file = QDir(fi.absoluteFilePath()).absoluteFilePath(QStringLiteral("data.mdb"));
    const QString user = userFrom(given);
    const bool haveUsers = Users::haveUsers(fi.absoluteFilePath());
    if (haveUsers && user.isEmpty()) {
        PracticeKey::wipe(password);
        throw DbError(QString::fromUtf8("Το ιατρείο έχει χρήστες· δώστε το όνομά σας με --user ή στη μεταβλητή MOLARIX_USER."));
    }
    const Users::SignedIn signedIn = Users::signIn(fi.absoluteFilePath(), user, password);
    const PracticeFile::Unlocked u = signedIn.file;
    if (signedIn.access == Users::Access::Refused) {
        PracticeKey::wipe(password);
        throw DbError(haveUsers ? QString::fromUtf8("Λανθασμένο όνομα χρήστη ή κωδικός πρόσβασης.")
                                : QString::fromUtf8("Λανθασμένος κωδικός πρόσβασης."));
    }
    if (signedIn.access != Users::Access::OnePassword) {
        PracticeKey::wipe(password);
        AccessLog::setUser(Session::current().userName());
        conn.setConnectionString(BuildConnectionString(fi.absoluteFilePath()));
        conn.open();
        return;
    }
    if (u.access == PracticeFile::Access::Damaged)
        throw DbError(Check::damagedText(file) + QLatin1Char('\n') + u.damage);
    if (u.access == PracticeFile::Access::Moved)
        err() << QString::fromUtf8("Το αρχείο κλειδώθηκε με τον κωδικό πρόσβασης. Αντίγραφο του αρχείου όπως ήταν "
                                   "(ανοίγει χωρίς κωδικό· φυλάξτε το σε ασφαλές μέρος ή σβήστε το): %1\n")
                     .arg(QDir::toNativeSeparators(u.backup));
    // A damaged file takes no write, as in the program; reading it may still save data.
    const QString connectionString = BuildConnectionString(fi.absoluteFilePath());
    Check::gateWrites(connectionString);
    conn.setConnectionString(connectionString);
    conn.open();
    if (!user.isEmpty()) {
        QString copy;
        QString code;
        try {
            code = Users::migrate(conn, user, password, &copy);
        } catch (...) {
            PracticeKey::wipe(password);
            throw;
        }
        err() << QString::fromUtf8("Το ιατρείο πέρασε σε χρήστες: ο κωδικός πρόσβασης είναι πλέον του διαχειριστή «%1». "
                                   "Αντίγραφο πριν από την αλλαγή (ανοίγει με τον ίδιο κωδικό): %2\n"
                                   "Κωδικός ανάκτησης (τυπώστε τον και φυλάξτε τον· δεν ξαναδείχνεται): %3\n")
                     .arg(user, QDir::toNativeSeparators(copy), code);
        PracticeKey::wipe(code);
        AccessLog::setUser(user);
    }
    PracticeKey::wipe(password);
}

// The refusal of a command kept for the practice's administrators; empty
// when whoever signed in is one.
QString notAdministrator(const char *command)
{
    if (Session::current().role() == Users::Role::Administrator)
        return {};
    return QString::fromUtf8("Την εντολή %1 την εκτελεί μόνο διαχειριστής του ιατρείου.").arg(QLatin1String(command));
}

// Fills the empty server database named by DIR/server.conf with the
// practice's tables, and copies the report files beside server.conf.
int createServer(const QString &dir, const Given &given)
{
    try {
        if (!ServerConf::exists(dir))
            return failure(QString::fromUtf8("Ο φάκελος '%1' δεν έχει server.conf.").arg(QDir::toNativeSeparators(dir)));
        DbConnection conn;
        openPractice(conn, dir, given);
        Schema::createOnServer(conn);
        Schema::copyReportFiles(reportSource(), dir);
        out() << QString::fromUtf8("Η βάση %1 είναι έτοιμη· κωδικός πρόσβασης ο κωδικός του χρήστη της.\n")
                     .arg(conn.engine().where());
        const QStringList open = Schema::publicDatabaseRights(conn);
        if (!open.isEmpty())
            err() << QString::fromUtf8("Προσοχή: κάθε χρήστης του διακομιστή έχει ακόμη %1 στη βάση %2· ο διαχειριστής "
                                       "τα αφαιρεί με: REVOKE %1 ON DATABASE %3 FROM PUBLIC\n")
                         .arg(open.join(QStringLiteral(", ")), conn.engine().where(),
                              conn.scalarNative(QStringLiteral("SELECT quote_ident(current_database())")).toString());
        return Ok;
    } catch (const DbError &e) {
        return failure(e.message());
    }
}

// A folder whose server.conf puts the practice on a server takes no
// practice file: what the command would make there, it makes on the server.
QString serverFolderRefusal(const QString &dir, const QString &instead)
{
    return QString::fromUtf8("Ο φάκελος '%1' ορίζει ιατρείο σε διακομιστή (server.conf)· αρχείο δεδομένων δεν γίνεται σε αυτόν· %2")
        .arg(QDir::toNativeSeparators(dir), instead);
}

int create(const QString &dir, const DemoData::Options *demo, const Given &given)
{
    if (ServerConf::exists(QFileInfo(dir).absoluteFilePath()))
        return failure(serverFolderRefusal(dir, QString::fromUtf8("ο διακομιστής γεμίζει με την εντολή create-server.")));
    // The demo practice's password is known; a real one is asked for.
    const bool demoPassword = demo && given.password.isEmpty() && qEnvironmentVariableIsEmpty("MOLARIX_PASSWORD");
    QString password;
    try {
        password = demoPassword ? QString::fromLatin1(Schema::FirstPassword)
                                : passwordFrom(given.password, "MOLARIX_PASSWORD",
                                               QString::fromUtf8("Κωδικός πρόσβασης του νέου αρχείου: "), true);
        Schema::createDatabase(dir, password);
    } catch (const DbError &e) {
        PracticeKey::wipe(password);
        return failure(e.message());
    }
    const QString path = databasePath(dir);

    if (demo) {
        QElapsedTimer timer;
        timer.start();
        try {
            DbConnection conn;
            openPractice(conn, dir, given, password);
            const DemoData::Summary s = DemoData::fill(conn, *demo);
            out() << QString::fromUtf8("Δείγμα ιατρείου: %1 πελάτες, %2 επισκέψεις, %3 αποδείξεις "
                                       "(%4 ακυρωμένες, επόμενη η %5), %6 έξοδα,\n"
                                       "  %7 ραντεβού σε %8 ημέρες, %9 υπενθυμίσεις, ")
                         .arg(s.customers)
                         .arg(s.visits)
                         .arg(s.receipts)
                         .arg(s.cancelled)
                         .arg(s.nextReceipt)
                         .arg(s.expenses)
                         .arg(s.appointments)
                         .arg(s.appointmentDays)
                         .arg(s.reminders)
                  << QString::fromUtf8("%1 σημειώσεις, %2 χρήσιμα τηλέφωνα, %3 καταχωρήσεις οδοντογράμματος (%4 ms).\n")
                         .arg(s.notes)
                         .arg(s.phones)
                         .arg(s.chartEntries)
                         .arg(timer.elapsed());
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
                     .arg(copied)
                     .arg(QDir::toNativeSeparators(source));

    out() << QString::fromUtf8("Δημιουργήθηκε η βάση δεδομένων %1\n").arg(path);
    if (demoPassword)
        out() << QString::fromUtf8("Κωδικός πρόσβασης: %1\n").arg(QLatin1String(Schema::FirstPassword));
    else
        out() << QString::fromUtf8("Το αρχείο κλειδώθηκε με τον κωδικό πρόσβασης που δόθηκε.\n");
    PracticeKey::wipe(password);
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

// The translated text cut into its statements; a ";" inside a string or a
// comment does not end one.
QStringList splitStatements(const QString &text)
{
    QStringList parts;
    const QByteArray all = text.toUtf8();
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all.at(i) != ';')
            continue;
        const QByteArray piece = all.mid(start, i - start + 1);
        if (sqlite3_complete(piece.constData())) {
            parts << QString::fromUtf8(piece.chopped(1));
            start = i + 1;
        }
    }
    parts << QString::fromUtf8(all.mid(start));
    QStringList statements;
    for (const QString &p : parts)
        if (!p.trimmed().isEmpty())
            statements << p.trimmed();
    return statements;
}

// Runs one statement, adding its printed lines.
void runStatement(DbConnection &conn, const QString &native, QStringList &lines)
{
    DbStatement st(conn, native);
    const int columns = st.columnCount();
    if (columns == 0) {
        while (st.step()) {
        }
        lines << QString::number(conn.changes());
        return;
    }
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
}

int sql(const QString &dir, const QString &statement, const Given &given)
{
    try {
        DbConnection conn;
        openPractice(conn, dir, given);
        if (const QString refused = notAdministrator("sql"); !refused.isEmpty())
            return failure(refused);
        const QStringList statements = splitStatements(JetSql::translate(statement, conn.dialect()));
        if (statements.isEmpty())
            return failure(QString::fromUtf8("Δεν δόθηκε εντολή."));
        // Lines are collected first so that a failure half-way prints no half table.
        QStringList lines;
        if (statements.size() == 1) {
            runStatement(conn, statements.first(), lines);
        } else {
            // Several statements are one unit of work: all of them or none.
            DbTransaction tx(conn);
            for (const QString &s : statements)
                runStatement(conn, s, lines);
            tx.commit();
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
    if (ServerConf::exists(QFileInfo(dir).absoluteFilePath()))
        return failure(serverFolderRefusal(dir, QString::fromUtf8("η μεταφορά γίνεται σε φάκελο χωρίς server.conf και από εκεί "
                                                                  "στον διακομιστή με την εντολή copy.")));
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

QString totalRows(const Backup::TableCounts &counts)
{
    qint64 total = 0;
    for (qint64 n : counts)
        total += n;
    return QString::number(total);
}

int backup(const QString &dir, const QString &dest, const Given &given)
{
    try {
        // A server's copy is a practice file keyed with the login's password.
        QString password;
        const auto wipe = qScopeGuard([&] { PracticeKey::wipe(password); });
        if (ServerConf::exists(QFileInfo(dir).absoluteFilePath()))
            password = passwordFrom(given.password, "MOLARIX_PASSWORD", QString::fromUtf8("Κωδικός πρόσβασης: "), false);
        DbConnection conn;
        openPractice(conn, dir, given, password);
        if (const QString refused = notAdministrator("backup"); !refused.isEmpty())
            return failure(refused);
        QElapsedTimer timer;
        timer.start();
        QString written;
        Backup::TableCounts counts;
        if (dest.isEmpty()) {
            written = conn.onServer() ? ServerBackup::makeAutomatic(conn, dir, password, &counts) : Backup::makeAutomatic(conn, dir, &counts);
        } else {
            written = dest;
            if (QFileInfo(dest).isDir())
                written = QDir(dest).absoluteFilePath(Backup::automaticName(Clock::now()));
            counts = conn.onServer() ? ServerBackup::makeVerified(conn, written, password) : Backup::makeVerified(conn, written);
        }
        AccessLog::recordReading(conn, AccessLog::Action::Backup, 0, QFileInfo(written).absoluteFilePath());
        out() << QString::fromUtf8("Αντίγραφο ασφαλείας: %1\n"
                                   "  επαληθεύτηκε: integrity_check ok, %2 γραμμές σε %3 πίνακες (%4 ms)\n")
                     .arg(QDir::toNativeSeparators(QFileInfo(written).absoluteFilePath()), totalRows(counts))
                     .arg(counts.size())
                     .arg(timer.elapsed());
        return Ok;
    } catch (const DbError &e) {
        return failure(e.message());
    }
}

// Fills the server's database from a copy; a database that holds rows is
// replaced only when the user confirms.
int restoreServer(const QString &dir, const QString &backupFile, const Given &given, bool yes)
{
    try {
        const QString copy = QFileInfo(backupFile).absoluteFilePath();
        if (!QFileInfo(copy).isFile())
            throw DbError(QString::fromUtf8("Το αντίγραφο '%1' δεν υπάρχει.").arg(QDir::toNativeSeparators(backupFile)));
        QString password = passwordFrom(given.password, "MOLARIX_PASSWORD", QString::fromUtf8("Κωδικός πρόσβασης: "), false);
        const auto wipe = qScopeGuard([&] { PracticeKey::wipe(password); });
        DbConnection conn;
        openPractice(conn, dir, given, password);
        if (const QString refused = notAdministrator("restore"); !refused.isEmpty())
            return failure(refused);
        try {
            ServerBackup::restore(conn, copy, password, [&] {
                return yes
                    || confirmed(QString::fromUtf8("Η βάση %1 έχει ήδη δεδομένα· να αντικατασταθούν από το αντίγραφο; [ν/Ο]")
                                     .arg(conn.engine().where()));
            });
        } catch (const DbError &e) {
            if (e.cause() != DbError::Cause::WrongPassword)
                throw;
            throw DbError(QString::fromUtf8("Ο κωδικός πρόσβασης δεν ανοίγει το αντίγραφο %1. %2")
                              .arg(QDir::toNativeSeparators(copy), Backup::passwordHint(QFileInfo(dir).absoluteFilePath(), copy)));
        }
        out() << QString::fromUtf8("Επαναφέρθηκε το αντίγραφο %1 στη βάση %2\n").arg(QDir::toNativeSeparators(backupFile), conn.engine().where());
        return Ok;
    } catch (const DbError &e) {
        return failure(e.message());
    }
}

int restore(const QString &dir, const QString &backupFile, const Given &given, bool yes)
{
    if (ServerConf::exists(QFileInfo(dir).absoluteFilePath()))
        return restoreServer(dir, backupFile, given, yes);
    try {
        if (!QFileInfo(dir).isDir())
            throw DbError(QString::fromUtf8("Ο φάκελος '%1' δεν υπάρχει.").arg(QDir::toNativeSeparators(dir)));
        if (!QFileInfo(backupFile).isFile())
            throw DbError(QString::fromUtf8("Το αντίγραφο '%1' δεν υπάρχει.").arg(QDir::toNativeSeparators(backupFile)));
        // The password opens the copy (the current file may be damaged); the
        // copy then goes in place keyed as it is, so afterwards the practice
        // opens with the password the copy was made under.
        const QString copy = QFileInfo(backupFile).absoluteFilePath();
        QString password = passwordFrom(given.password, "MOLARIX_PASSWORD", QString::fromUtf8("Κωδικός πρόσβασης: "), false);
        // A copy with users opens with a user of its moment; one without, with its one password.
        const Users::SignedIn u = Users::signInCopy(copy, userFrom(given), password);
        PracticeKey::wipe(password);
        if (u.access == Users::Access::Refused)
            throw DbError(QString::fromUtf8("Ο κωδικός πρόσβασης δεν ανοίγει το αντίγραφο %1. %2")
                              .arg(QDir::toNativeSeparators(copy), Backup::passwordHint(QFileInfo(dir).absoluteFilePath(), copy)));
        if (const QString refused = notAdministrator("restore"); !refused.isEmpty())
            return failure(refused);
        err() << QString::fromUtf8("Μετά την επαναφορά ο κωδικός πρόσβασης του ιατρείου θα είναι ο κωδικός που ανοίγει "
                                   "το αντίγραφο (αυτός που δόθηκε), όποιος κι αν ισχύει τώρα.\n");
        if (!yes && !confirmed(QString::fromUtf8("Να γίνει η επαναφορά; [ν/Ο]")))
            throw DbError(QString::fromUtf8("Η επαναφορά ακυρώθηκε· δεν άλλαξε τίποτα."));
        const ConnectionInfo credentials =
            ParseConnectionString(BuildConnectionString(QFileInfo(dir).absoluteFilePath()));
        const QString kept = Backup::restore(credentials, copy);
        {
            // The copy's log is the log now: its seal starts from the copy's newest entry.
            DbConnection restored;
            restored.setConnectionString(BuildConnectionString(QFileInfo(dir).absoluteFilePath()));
            restored.open();
            AccessLog::resealAfterRestore(restored);
            AccessLog::recordReading(restored, AccessLog::Action::Restore, 0, copy);
        }
        out() << QString::fromUtf8("Επαναφέρθηκε το αντίγραφο %1\n").arg(QDir::toNativeSeparators(backupFile));
        if (!kept.isEmpty())
            out() << QString::fromUtf8("Το προηγούμενο αρχείο φυλάχτηκε ως %1\n").arg(QDir::toNativeSeparators(kept));
        return Ok;
    } catch (const DbError &e) {
        return failure(e.message());
    }
}

// Customers the practice may now delete: for information, never a failure.
void reportPastRetention(DbConnection &conn)
{
    const QList<Customers::PastRetention> past = Customers::pastRetention(conn, Clock::today());
    out() << QString::fromUtf8("πληροφορία\tπέρασε-η-διατήρηση\t%1 πελάτες").arg(past.size()) << '\n';
    for (const Customers::PastRetention &c : past.mid(0, 50))
        out() << "\t\t" << QString::fromUtf8("ID=%1, %2 %3, τελευταία εγγραφή %4, διαγραφή από %5").arg(c.id).arg(c.surname, c.firstName, Regional::formatDate(c.lastRecord), Regional::formatDate(c.deletableFrom))
              << '\n';
    if (past.size() > 50)
        out() << QString::fromUtf8("\t\t…") << '\n';
}

int check(const QString &dir, const Given &given)
{
    try {
        DbConnection conn;
        openPractice(conn, dir, given);
        const int version = SchemaVersion::read(conn);
        switch (SchemaVersion::state(version)) {
        case SchemaVersion::State::UpToDate:
            out() << "ok\t" << QString::fromUtf8("έκδοση δομής %1").arg(version) << '\n';
            break;
        case SchemaVersion::State::Older:
            out() << QString::fromUtf8("ΠΡΟΣΟΧΗ\tέκδοση δομής %1· το πρόγραμμα θα την αναβαθμίσει στην %2 στο επόμενο άνοιγμα")
                         .arg(version)
                         .arg(SchemaVersion::current())
                  << '\n';
            break;
        case SchemaVersion::State::Newer:
            out() << QString::fromUtf8("ΣΦΑΛΜΑ\tέκδοση δομής %1, νεότερη από την %2 αυτού του εργαλείου")
                         .arg(version)
                         .arg(SchemaVersion::current())
                  << '\n';
            return failure(SchemaVersion::newerText(conn.onServer() ? conn.engine().where() : conn.fileName(), version));
        }
        const Check::Report report = Check::run(conn);
        for (const Check::Finding &f : report.findings) {
            const QString verdict = f.rows.isEmpty() ? QStringLiteral("ok")
                : f.reportOnly                       ? QString::fromUtf8("ΠΡΟΣΟΧΗ")
                                                     : QString::fromUtf8("ΣΦΑΛΜΑ");
            out() << verdict << '\t' << f.name << '\n';
            for (const QString &row : f.rows)
                out() << "\t\t" << row << '\n';
        }
        if (SchemaVersion::state(version) == SchemaVersion::State::UpToDate)
            reportPastRetention(conn);
        for (auto it = report.tableRows.cbegin(); it != report.tableRows.cend(); ++it)
            out() << QString::fromUtf8("γραμμές") << '\t' << it.key() << '\t' << it.value() << '\n';
        if (!report.ok())
            return failure(QString::fromUtf8("ο έλεγχος βρήκε προβλήματα."));
        return Ok;
    } catch (const DbError &e) {
        return failure(e.message());
    }
}

int passwd(const QString &dir, const Given &given)
{
    try {
        DbConnection conn;
        openPractice(conn, dir, given, passwordFrom(given.password, "MOLARIX_PASSWORD", QString::fromUtf8("Κωδικός πρόσβασης: "), false));
        QString fresh = passwordFrom(given.newPassword, "MOLARIX_NEW_PASSWORD", QString::fromUtf8("Νέος κωδικός πρόσβασης: "), true);
        const bool ofUser = !conn.onServer() && Users::haveUsers(dir);
        const Security::Changed changed = Security::changePassword(conn, fresh);
        PracticeKey::wipe(fresh);
        out() << QString::fromUtf8("Η αλλαγή του κωδικού πρόσβασης έγινε με επιτυχία.\n");
        if (!changed.backup.isEmpty())
            out() << QString::fromUtf8("Αντίγραφο ασφαλείας με τον νέο κωδικό: %1\n").arg(QDir::toNativeSeparators(changed.backup));
        if (!conn.onServer() && !ofUser && changed.backup.isEmpty())
            return failure(QString::fromUtf8("ο κωδικός άλλαξε, αλλά το αντίγραφο ασφαλείας με τον νέο κωδικό δεν έγινε: %1")
                               .arg(changed.backupFailure));
        return Ok;
    } catch (const DbError &e) {
        return failure(e.message());
    }
}

int users(const QStringList &args, const Given &given)
{
    static const QMap<QString, int> arity = {{QStringLiteral("list"), 2}, {QStringLiteral("add"), 4}, {QStringLiteral("remove"), 3}, {QStringLiteral("passwd"), 3}, {QStringLiteral("role"), 4}};
    const QString dir = args.value(0);
    const QString verb = args.value(1);
    if (arity.value(verb, -1) != args.size())
        return usage();
    try {
        Users::Role role = Users::Role::None;
        if (args.size() == 4 && (role = Users::roleFromName(args.at(3))) == Users::Role::None)
            return usage(QString::fromUtf8("Ο ρόλος είναι ένας από: administrator, clinician, reception."));
        DbConnection conn;
        openPractice(conn, dir, given);
        if (const QString refused = notAdministrator("users"); !refused.isEmpty())
            return failure(refused);
        if (!conn.onServer() && !Users::haveUsers(dir))
            return failure(QString::fromUtf8("Το ιατρείο δεν έχει ακόμη χρήστες· με --user ΟΝΟΜΑ ο κωδικός του γίνεται του πρώτου διαχειριστή."));
        const QString name = args.value(2);
        auto newPassword = [&] {
            return passwordFrom(given.newPassword, "MOLARIX_NEW_PASSWORD", QString::fromUtf8("Νέος κωδικός του χρήστη %1: ").arg(name), true);
        };
        if (verb == QLatin1String("list")) {
            for (const Users::User &u : Users::list(conn))
                out() << u.name << '\t' << Users::roleName(u.role) << '\t'
                      << (u.enabled ? QString::fromUtf8("ενεργός") : QString::fromUtf8("ανενεργός")) << '\n';
            return Ok;
        }
        if (verb == QLatin1String("add") || verb == QLatin1String("passwd")) {
            QString fresh = newPassword();
            const auto wipeFresh = qScopeGuard([&] { PracticeKey::wipe(fresh); });
            if (verb == QLatin1String("add"))
                Users::add(conn, {name, role, true}, fresh);
            else
                Users::setPassword(conn, name, fresh);
        } else if (verb == QLatin1String("remove")) {
            Users::remove(conn, name);
        } else {
            Users::setRole(conn, name, role);
        }
        AccessLog::record(conn, AccessLog::Action::UserChange, 0, verb + QLatin1Char(' ') + name);
        out() << QString::fromUtf8("Έγινε: %1 %2\n").arg(verb, name);
        return Ok;
    } catch (const DbError &e) {
        return failure(e.message());
    }
}

}   // namespace

// Copies every table of one practice into another, file to server or
// server to file. The target is made when missing (a new data.mdb, or the
// tables in the server's empty database) and must hold no rows; the copy
// counts only when every table has the source's rows and amounts.
int copyPractice(const QString &fromDir, const QString &toDir, const Given &given)
{
    try {
        // The access password of both: a server's login keeps its own, a file
        // takes it as key and in SECURITY.
        QString password = passwordFrom(given.password, "MOLARIX_PASSWORD", QString::fromUtf8("Κωδικός πρόσβασης: "), false);
        const auto wipe = qScopeGuard([&] { PracticeKey::wipe(password); });
        DbConnection from;
        openPractice(from, fromDir, given, password);
        if (!ServerConf::exists(toDir) && !QFileInfo::exists(databasePath(toDir)))
            Schema::createDatabase(toDir, password);
        DbConnection to;
        openPractice(to, toDir, given, password);
        if (to.onServer()
            && to.scalarNative(QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
                                              " WHERE n.nspname = current_schema() AND c.relname = 'security'"))
                    .toLongLong()
                == 0)
            Schema::createOnServer(to);
        // The wraps of a file's key belong to that file alone: the copy has its own password.
        QStringList tables = Schema::tableNames() + SchemaVersion::addedTables();
        tables.removeAll(QStringLiteral("KLEIDIA"));
        for (const QString &t : tables) {
            if (t != QLatin1String("SECURITY")
                && to.scalarNative(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(t)).toLongLong() > 0)
                return failure(QString::fromUtf8("Ο πίνακας %1 του προορισμού έχει ήδη γραμμές· η αντιγραφή γίνεται μόνο σε άδειο ιατρείο.").arg(t));
        }
        qint64 total = 0;
        DbTransaction tx(to);
        to.executeNative(QStringLiteral("DELETE FROM SECURITY"));
        to.executeNative(QStringLiteral("INSERT INTO SECURITY (\"PASSWORD\") VALUES (?)"),
                         {to.onServer() ? QVariant() : QVariant(password)});
        for (const QString &t : tables) {
            if (t == QLatin1String("SECURITY"))
                continue;
            DbStatement rows(from, QStringLiteral("SELECT * FROM \"%1\"").arg(t));
            const int n = rows.columnCount();
            QStringList cols, marks;
            for (int i = 0; i < n; ++i) {
                cols << QLatin1Char('"') + rows.columnName(i) + QLatin1Char('"');
                marks << QStringLiteral("?");
            }
            DbStatement insert(to, QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)").arg(t, cols.join(u','), marks.join(u',')));
            while (rows.step()) {
                for (int i = 0; i < n; ++i)
                    insert.bind(i + 1, rows.columnValue(i));
                while (insert.step()) {
                }
                insert.reset();
                ++total;
            }
        }
        if (to.onServer()) {
            // Numbers given by the server go on after the copied ones.
            for (const char *t : {"STOIXEIA_PELATH", "SHMEIWSEIS"})
                to.executeNative(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), coalesce(max(ID), 0) + 1, false) FROM %1")
                                     .arg(QString::fromLatin1(t).toLower()));
        }
        // Counts and amounts as the source has them, before the copy counts.
        for (const QString &t : tables) {
            const QString count = QStringLiteral("SELECT count(*) FROM \"%1\"").arg(t);
            if (from.scalarNative(count).toLongLong() != to.scalarNative(count).toLongLong())
                return failure(QString::fromUtf8("Ο πίνακας %1 δεν αντιγράφηκε ολόκληρος· ο προορισμός δεν άλλαξε.").arg(t));
        }
        for (const char *t : {"EISPRAKSH_PELATH", "APODEIKSEIS", "EKSODA"}) {
            const QString sum = QStringLiteral("SELECT coalesce(sum(POSO), 0) FROM %1").arg(QLatin1String(t));
            if (qAbs(from.scalarNative(sum).toDouble() - to.scalarNative(sum).toDouble()) > 0.005)
                return failure(QString::fromUtf8("Τα ποσά του πίνακα %1 διαφέρουν· ο προορισμός δεν άλλαξε.").arg(QLatin1String(t)));
        }
        tx.commit();
        out() << QString::fromUtf8("Αντιγράφηκαν %1 γραμμές από %2 σε %3.\n").arg(total).arg(from.engine().where(), to.engine().where());
        return Ok;
    } catch (const DbError &e) {
        return failure(e.message());
    }
}

// Lists the access log, or walks its chain.
int audit(const QString &dir, bool verify, const AccessLog::Filter &filter, const Given &given)
{
    try {
        DbConnection conn;
        openPractice(conn, dir, given);
        if (verify) {
            const AccessLog::Verdict v = AccessLog::verify(conn);
            if (!v.holds())
                return failure(v.reason);
            out() << "ok\t" << QString::fromUtf8("%1 εγγραφές, η αλυσίδα τους ισχύει").arg(v.count) << '\n';
            return Ok;
        }
        for (const AccessLog::Entry &e : AccessLog::entries(conn, filter)) {
            QString detail = e.detail;
            detail.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
            out() << e.position << '\t' << e.time << '\t' << e.user << '\t' << e.workstation << '\t' << AccessLog::labelOfCode(e.action) << '\t'
                  << (e.customerId > 0 ? QString::number(e.customerId) : QString()) << '\t' << detail << '\n';
        }
        return Ok;
    } catch (const DbError &e) {
        return failure(e.message());
    }
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.value(0) == QLatin1String(JetImport::ChildCommand))   // not in the usage: the import's own reader
        return JetImport::childMain(args.mid(1));
    Given given;
    // audit's --user picks the entries of that user: its reader signs in through MOLARIX_USER.
    const bool auditing = args.value(0) == QLatin1String("audit");
    for (const char *option : {"--password", "--new-password", "--user"}) {
        if (auditing && qstrcmp(option, "--user") == 0)
            continue;
        const qsizetype at = args.indexOf(QLatin1String(option));
        if (at < 0)
            continue;
        if (at + 1 >= args.size() || args.at(at + 1).isEmpty())
            return usage();
        (qstrcmp(option, "--password") == 0 ? given.password : qstrcmp(option, "--user") == 0 ? given.user
                                                                                              : given.newPassword) = args.at(at + 1);
        args.remove(at, 2);
    }
    if (const qsizetype at = args.indexOf(QLatin1String("--password-file")); at >= 0) {
        if (at + 1 >= args.size() || args.at(at + 1).isEmpty() || !given.password.isEmpty())
            return usage();
        try {
            given.password = passwordFromFile(args.at(at + 1));
        } catch (const DbError &e) {
            return failure(e.message());
        }
        args.remove(at, 2);
    }
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
        rc = create(args.at(1), nullptr, given);
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
        rc = create(dir, &options, given);
    } else if (command == QLatin1String("create-server")) {
        if (args.size() != 2)
            return usage();
        rc = createServer(args.at(1), given);
    } else if (command == QLatin1String("copy")) {
        if (args.size() != 3)
            return usage();
        rc = copyPractice(args.at(1), args.at(2), given);
    } else if (command == QLatin1String("sql")) {
        if (args.size() != 3)
            return usage();
        rc = sql(args.at(1), args.at(2), given);
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
    } else if (command == QLatin1String("backup")) {
        if (args.size() != 2 && args.size() != 3)
            return usage();
        rc = backup(args.at(1), args.size() == 3 ? args.at(2) : QString(), given);
    } else if (command == QLatin1String("restore")) {
        const bool yes = args.removeAll(QStringLiteral("--yes")) > 0;
        if (args.size() != 3)
            return usage();
        rc = restore(args.at(1), args.at(2), given, yes);
    } else if (command == QLatin1String("check")) {
        if (args.size() != 2)
            return usage();
        rc = check(args.at(1), given);
    } else if (command == QLatin1String("audit")) {
        AccessLog::Filter filter;
        bool verify = false;
        QString dir;
        for (int i = 1; i < args.size(); ++i) {
            const QString &a = args.at(i);
            if (a == QLatin1String("--verify")) {
                verify = true;
            } else if (a == QLatin1String("--customer") && i + 1 < args.size()) {
                bool ok = false;
                filter.customerId = args.at(++i).toLongLong(&ok);
                if (!ok || filter.customerId < 1)
                    return usage(QString::fromUtf8("Ο κωδικός πελάτη πρέπει να είναι θετικός ακέραιος."));
            } else if (a == QLatin1String("--user") && i + 1 < args.size()) {
                filter.user = args.at(++i);
            } else if ((a == QLatin1String("--from") || a == QLatin1String("--to")) && i + 1 < args.size()) {
                const QDate d = QDate::fromString(args.at(++i), Qt::ISODate);
                if (!d.isValid())
                    return usage(QString::fromUtf8("Η ημερομηνία πρέπει να είναι ΕΕΕΕ-ΜΜ-ΗΗ."));
                (a == QLatin1String("--from") ? filter.from : filter.to) = d;
            } else if (!a.startsWith(QLatin1String("--")) && dir.isEmpty()) {
                dir = a;
            } else {
                return usage();
            }
        }
        if (dir.isEmpty())
            return usage();
        rc = audit(dir, verify, filter, given);
    } else if (command == QLatin1String("passwd")) {
        if (args.size() != 2)
            return usage();
        rc = passwd(args.at(1), given);
    } else if (command == QLatin1String("users")) {
        rc = users(args.mid(1), given);
    } else {
        return usage(QString::fromUtf8("Άγνωστη εντολή: %1").arg(command));
    }
    out().flush();
    err().flush();
    return rc;
}
