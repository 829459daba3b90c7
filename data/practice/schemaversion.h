#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class DbConnection;

// The layout of the practice file has a number, kept in the file itself:
// PRAGMA user_version in the encrypted file (a server keeps it in a one-row
// table). Files of an earlier layout are brought up to date at open by
// numbered migrations, one transaction each; a file of a later layout than
// this program knows is never written to.
namespace SchemaVersion {

// The layout this program writes. 0 is the first layout (the twelve
// tables); each migration adds one to it.
int current();

struct Migration {
    int to;                    // the version the file has afterwards
    QString description;       // one line, for the tool and the log
    QStringList statements;    // in the program's (Jet) dialect
    bool serverOnly = false;   // a file only takes the new number
};
// Every migration, in order: migrations()[i].to == i + 1.
const QList<Migration> &migrations();

// Tables added by migrations, in the order they came; the twelve tables of
// the first layout are Schema::tableNames().
QStringList addedTables();

// The file's version; throws DbError when it cannot be read.
int read(DbConnection &conn);

enum class State { UpToDate,
                   Older,
                   Newer };
State state(int fileVersion);

// The Greek message for a file of a later layout, naming the file.
QString newerText(const QString &fileName, int fileVersion);

// Brings an older file up to date. Before each migration, beforeEach(from,
// to) runs (the caller's verified backup); when it throws, nothing more is
// done and the exception passes on. Each migration and its new version are
// one transaction. A newer file is refused with DbError (newerText) and
// left untouched. Returns the versions applied, in order.
QList<int> upgrade(DbConnection &conn, const std::function<void(int from, int to)> &beforeEach = {});

// For a file being created: every migration, without backups, inside the
// caller's transaction.
void applyAll(DbConnection &conn);

}
