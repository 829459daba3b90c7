#pragma once
#include "data/db/connection.h"
#include "data/practice/users.h"
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QWidget>
#include <memory>
#include <source_location>

// molarix-db run to its end: the exit code (-1 when it crashed or hung)
// and what it wrote.
struct ToolRun {
    int code = -1;
    QString out, err;
};
// The password reaches it in MOLARIX_PASSWORD; a null one leaves that unset.
ToolRun runTool(const QStringList &args, int timeoutMs = 600000,
                const QString &password = QStringLiteral("molarix"));
QByteArray fileBytes(const QString &path);   // empty when unreadable
// Opens a practice folder the way the program does: the access password
// unlocks the file (setting the run's key) or logs in to the server, then
// a connection opens.
std::unique_ptr<DbConnection> openPracticeDir(const QString &dir, const QString &password = QStringLiteral("molarix"));
// Every row of a native statement.
QList<QVariantList> queryRows(DbConnection &c, const QString &nativeSql);
// Takes a practice back to an earlier layout: undoes the tables, columns and
// indexes the later migrations added, and writes the older number.
void takeLayoutBackTo(DbConnection &c, int version);

// A fresh practice folder for one test: an encrypted data.mdb made by the
// same code as `molarix-db create`, AppDirectory and DbConnectionString
// pointed at it, message boxes scripted and forgotten.
class TempPractice {
public:
    TempPractice();
    ~TempPractice();
    QString path() const { return m_dir.path(); }
    DbConnection &conn();                        // an open connection for checks
    int exec(const QString &jetStatement);       // runs a Jet statement
    QVariant scalar(const QString &jetSelect);   // first column of first row
    int count(const QString &table);
    void copyReportFiles();   // *.RAV from the source tree
    // Signs the session in again as a named user of a role, as the access
    // check leaves it for that user.
    void signInAs(const QString &user, Users::Role role);
    // Turns data.mdb into a file as earlier versions made it (the old fixed
    // key, SQLCipher's default pages), with one customer; no session key.
    void makeLegacy();
    // A trigger that makes every UPDATE of the table fail, and its removal,
    // in the practice's engine.
    void refuseUpdates(const QString &table, const QString &trigger);
    void allowUpdates(const QString &table, const QString &trigger);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<DbConnection> m_conn;
};

QString missingChildText(const QWidget *parent, const char *type, const char *name);

// A lookup that failed the current test function throws this after
// recording the failure; the runner carries on with the next function. It
// is no std::exception, so a window's error guard does not swallow it.
struct TestAbort {
    QByteArray function;
};

// Records a failure of the current test at the caller's line and throws TestAbort.
[[noreturn]] void failTest(const QString &message, const std::source_location &where);

// Finds a child by objectName; a missing one fails the current test
// with the name and type asked for.
template <class T>
T *child(QWidget *w, const char *name, const std::source_location &where = std::source_location::current())
{
    T *c = w ? w->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    if (!c)
        failTest(missingChildText(w, T::staticMetaObject.className(), name), where);
    return c;
}
