#include "app/upgrade.h"
#include "data/practice/appstate.h"
#include "data/practice/backup.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/practice/schemaversion.h"
#include "gui/messages.h"
#include "app/safekeeping.h"
#include <QDir>

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
