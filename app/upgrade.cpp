#include "app/upgrade.h"
#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/practice/practicefile.h"
#include "data/practice/serverconf.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/practice/schemaversion.h"
#include "gui/messages.h"
#include "app/safekeeping.h"
#include <QDir>
#include <optional>
#include <QFile>

bool UpgradeAtStartup(QWidget *parent)
{
    const QString closing = QStringLiteral("Το πρόγραμμα θα κλείσει.");
    try {
        {
            DbConnection conn;
            conn.setConnectionString(DbConnectionString);
            conn.open();
            const int version = SchemaVersion::read(conn);
            switch (SchemaVersion::state(version)) {
            case SchemaVersion::State::UpToDate:
                return true;
            case SchemaVersion::State::Newer:
                Messages::plain(SchemaVersion::newerText(conn.fileName(), version) + QLatin1Char('\n') + closing, parent);
                return false;
            case SchemaVersion::State::Older:
                break;
            }
        }
        const QString practiceDir = QDir::fromNativeSeparators(AppDirectory);
        // The worker opens its own connection: a connection stays with the
        // thread that made it.
        Safekeeping::RunWithProgress(parent, QStringLiteral("Ενημέρωση της δομής του αρχείου δεδομένων…"), [&] {
            DbConnection conn;
            conn.setConnectionString(DbConnectionString);
            conn.open();
            SchemaVersion::upgrade(conn, [&](int, int to) {
                // Named apart from the daily copies, so that rotation keeps it.
                const QString name = QStringLiteral("data-%1-before-version-%2.mdb")
                                         .arg(Clock::now().toString(QStringLiteral("yyyy-MM-dd-HHmmss")))
                                         .arg(to);
                // A server's migration is one unit of work; its copies are the administrator's.
                if (!conn.onServer())
                    Backup::makeVerified(conn, QDir(Backup::folder(practiceDir)).absoluteFilePath(name));
            });
        });
        return true;
    } catch (const DbError &e) {
        Messages::error(QStringLiteral("Η ενημέρωση της δομής του αρχείου δεδομένων δεν ολοκληρώθηκε· κανένα βήμα της δεν έμεινε μισό:\n")
                            + e.message() + QLatin1Char('\n') + closing,
                        parent);
        return false;
    }
}

void RemindOfOldKeyCopies(QWidget *parent, const QDateTime &startedAt)
{
    const QString practiceDir = QDir::fromNativeSeparators(AppDirectory);
    if (ServerConf::exists(practiceDir))
        return;
    const ConnectionInfo credentials = ParseConnectionString(DbConnectionString);
    const QDateTime now = Clock::now();
    // The stamp counts whole seconds: one made since this start has been told of already.
    const QDateTime thisStart = startedAt.addMSecs(-startedAt.time().msec());
    std::optional<QString> verified;
    for (const PracticeFile::OldKeyCopy &copy : PracticeFile::oldKeyCopies(credentials.dataSource)) {
        if (copy.made >= thisStart)
            continue;
        const QString what = QStringLiteral("Το αντίγραφο %1 (%2) του αρχείου δεδομένων με το παλιό κλειδί του προγράμματος "
                                            "ανοίγει χωρίς τον κωδικό πρόσβασης.")
                                 .arg(QDir::toNativeSeparators(copy.path), copy.made.toString(QStringLiteral("d/M/yyyy")));
        if (copy.made.date().daysTo(now.date()) >= PracticeFile::OldKeyCopyReminderDays) {
            if (!verified)
                verified = Backup::newestVerified(practiceDir, credentials);
            if (!verified->isEmpty()) {
                if (Messages::confirm(what + QStringLiteral("\nΥπάρχει πλέον επαληθευμένο αντίγραφο ασφαλείας με τον κωδικό πρόσβασης (%1).\n"
                                                            "Να σβηστεί το παλιό αντίγραφο;")
                                                 .arg(QDir::toNativeSeparators(*verified)),
                                      parent)
                    && !QFile::remove(copy.path))
                    Messages::plain(QStringLiteral("Το αντίγραφο %1 δεν σβήστηκε.").arg(QDir::toNativeSeparators(copy.path)), parent);
                continue;
            }
        }
        Messages::plain(what + QStringLiteral(" Φυλάξτε το σε ασφαλές μέρος ή σβήστε το."), parent);
    }
}
