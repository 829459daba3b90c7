// A verified backup of a server practice (100,000 customers, 200,000
// receipts and their takings, 150,000 visits) against pg_dump -Fc of the
// same database: wall and CPU time of each, in rounds that alternate the
// two so that the machine's load falls on both alike. The server is a
// throw-away cluster made as the tests make theirs.
//
//   build/bench/bench_serverbackup [--tiny] [ROUNDS]
//
// --tiny: a few hundred rows, one round, exit 0 (a smoke run for CI).
#include "data/db/connection.h"
#include "data/practice/appstate.h"
#include "data/practice/serverbackup.h"
#include "data/practice/session.h"
#include "tests/common/testserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

struct Size {
    int customers, receipts, visits;
};

// The database's rows, made on the server itself.
void fill(DbConnection &conn, const Size &n)
{
    const QString names = QStringLiteral("(ARRAY['Γιώργος','Μαρία','Νίκος','Ελένη','Κώστας','Σοφία','Δημήτρης'])");
    const QString surnames = QStringLiteral("(ARRAY['Παπαδόπουλος','Νικολάου','Ιωάννου','Γεωργίου','Χατζηδάκης','Κωνσταντίνου','Σταύρου','Μιχαήλ'])");
    const QString works = QStringLiteral("(ARRAY['Σφράγισμα','Καθαρισμός','Εξαγωγή','Απονεύρωση','Στεφάνη','Έλεγχος'])");
    DbTransaction tx(conn);
    conn.executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,DIEYTHYNSH,THLEFWNO_1,"
                                      "EPAGGELMA,TAMEIO,ISTORIKO) SELECT %1[1 + i % 7], %2[1 + (i / 7) % 8] || i, 'Α', '1970-01-01',"
                                      " 'Λεωφόρος Μακαρίου ' || (i % 300) || ', Λευκωσία', '99' || (1000000 + (i::bigint * 7919) % 8999999),"
                                      " 'Ιδιωτικός υπάλληλος', 'ΓΕΣΥ',"
                                      " repeat('Αλλεργία στην πενικιλίνη. Τελευταίος έλεγχος χωρίς ευρήματα. ', 1 + i % 3)"
                                      " FROM generate_series(0, %3) AS i")
                           .arg(names, surnames)
                           .arg(n.customers - 1));
    conn.executeNative(QStringLiteral("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA,PERIGRAFH) SELECT 1 + (i::bigint * 7919) % %1,"
                                      " '2025-' || lpad((1 + i % 12)::text, 2, '0') || '-' || lpad((1 + i % 28)::text, 2, '0'),"
                                      " %2[1 + i % 6], 'Δόντι ' || (11 + i % 38) || ', χωρίς επιπλοκές' FROM generate_series(0, %3) AS i")
                           .arg(n.customers)
                           .arg(works)
                           .arg(n.visits - 1));
    const QString date = QStringLiteral("'20' || (10 + r * 15 / %1) || '-' || lpad((1 + r % 12)::text, 2, '0') || '-10'").arg(n.receipts);
    conn.executeNative(QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,ONOMA,EPWNYMO,PARALHPTHS,POSO,TAMEIO,POSO_CY,PERIGRAFH)"
                                      " SELECT r, %1, %2[1 + r % 7], %3[1 + (r / 7) % 8], 'Παραλήπτης', 20 + (r % 30) * 5, 'ΓΕΣΥ',"
                                      " (20 + (r % 30) * 5) * 0.585274, %4[1 + r % 6] FROM generate_series(1, %5) AS r")
                           .arg(date, names, surnames, works)
                           .arg(n.receipts));
    conn.executeNative(QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,HMEROMHNIA,POSO,POSO_CY,PERIGRAFH,TAMEIO,AR_APODEIKSHS)"
                                      " SELECT 1 + (r::bigint * 104729) % %1, %2, 20 + (r % 30) * 5, (20 + (r % 30) * 5) * 0.585274,"
                                      " %3[1 + r % 6], 'ΓΕΣΥ', r FROM generate_series(1, %4) AS r")
                           .arg(n.customers)
                           .arg(date, works)
                           .arg(n.receipts));
    conn.executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES (?)"), {n.receipts + 1});
    tx.commit();
    conn.executeNative(QStringLiteral("ANALYZE STOIXEIA_PELATH, EPISKEPSEIS, APODEIKSEIS, EISPRAKSH_PELATH"));
}

QString findPgDump()
{
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("pg_dump"));
    if (!onPath.isEmpty())
        return onPath;
    QDir lib(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &v : lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        const QString p = lib.filePath(v + QStringLiteral("/bin/pg_dump"));
        if (QFileInfo(p).isExecutable())
            return p;
    }
    return QString();
}

double cpuMs(int who)
{
    rusage u{};
    getrusage(who, &u);
    return (double(u.ru_utime.tv_sec) + double(u.ru_stime.tv_sec)) * 1000.0
        + (double(u.ru_utime.tv_usec) + double(u.ru_stime.tv_usec)) / 1000.0;
}

struct Timing {
    double wall = 1e300, cpu = 1e300;
    void keep(double w, double c)
    {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool tiny = argc > 1 && qstrcmp(argv[1], "--tiny") == 0;
    const int rounds = tiny ? 1 : std::max(1, argc > 1 ? std::atoi(argv[1]) : 5);
    const Size size = tiny ? Size{300, 600, 450} : Size{100000, 200000, 150000};
    if (!TestServer::binariesPresent()) {
        std::fprintf(stderr, "The PostgreSQL server programs (initdb, pg_ctl) are not installed.\n");
        return tiny ? 0 : 1;
    }
    const QString pgDump = findPgDump();
    if (pgDump.isEmpty()) {
        std::fprintf(stderr, "pg_dump is not installed.\n");
        return tiny ? 0 : 1;
    }
    QTemporaryDir dir;
    const QString database = TestServer::newPracticeDatabase();
    {
        QFile conf(dir.filePath(QStringLiteral("server.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(TestServer::serverConf(database).toUtf8());
    }
    Session::current().logIn(BuildConnectionString(dir.path()), TestServer::loginPassword());
    DbConnection conn;
    conn.setConnectionString(BuildConnectionString(dir.path()));
    conn.open();
    QElapsedTimer made;
    made.start();
    fill(conn, size);
    std::printf("%d customers, %d receipts and takings, %d visits on the server (%lld ms)\n", size.customers, size.receipts,
                size.visits, made.elapsed());

    QProcess dump;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), TestServer::loginPassword());
    dump.setProcessEnvironment(env);
    const QString dumpFile = dir.filePath(QStringLiteral("practice.dump"));
    const QStringList dumpArgs{QStringLiteral("-Fc"), QStringLiteral("-h"), TestServer::host(), QStringLiteral("-p"),
                               QString::number(TestServer::port()), QStringLiteral("-U"), TestServer::loginUser(),
                               QStringLiteral("-d"), database, QStringLiteral("-f"), dumpFile};

    Timing pg, ours;
    for (int round = 0; round < rounds; ++round) {
        // Which goes first alternates, so that neither always meets a cold cache.
        for (int turn = 0; turn < 2; ++turn) {
            const bool dumpTurn = (turn == 0) == (round % 2 == 0);
            QElapsedTimer wall;
            if (dumpTurn) {
                QFile::remove(dumpFile);
                const double cpu0 = cpuMs(RUSAGE_CHILDREN);
                wall.start();
                dump.start(pgDump, dumpArgs);
                if (!dump.waitForFinished(600000) || dump.exitCode() != 0) {
                    std::fprintf(stderr, "pg_dump failed: %s\n", dump.readAllStandardError().constData());
                    return 1;
                }
                pg.keep(double(wall.nsecsElapsed()) / 1e6, cpuMs(RUSAGE_CHILDREN) - cpu0);
            } else {
                const QString dest = dir.filePath(QStringLiteral("backups/data-round-%1.mdb").arg(round));
                const double cpu0 = cpuMs(RUSAGE_SELF);
                wall.start();
                try {
                    ServerBackup::makeVerified(conn, dest, TestServer::loginPassword());
                } catch (const DbError &e) {
                    std::fprintf(stderr, "the backup failed: %s\n", qPrintable(e.message()));
                    return 1;
                }
                ours.keep(double(wall.nsecsElapsed()) / 1e6, cpuMs(RUSAGE_SELF) - cpu0);
                QFile::remove(dest);
            }
        }
    }
    std::printf("pg_dump -Fc:            min wall %8.0f ms, cpu %8.0f ms (client only)\n", pg.wall, pg.cpu);
    std::printf("verified server backup: min wall %8.0f ms, cpu %8.0f ms (client only)\n", ours.wall, ours.cpu);
    std::printf("ratio (backup / pg_dump, min wall over %d rounds): %.2f\n", rounds, ours.wall / pg.wall);
    return 0;
}
