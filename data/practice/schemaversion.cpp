#include "data/practice/schemaversion.h"
#include "data/db/connection.h"
#include "data/db/serverddl.h"
#include "data/practice/serverroles.h"
#include <QDir>

namespace {

QList<SchemaVersion::Migration> buildMigrations()
{
    QList<SchemaVersion::Migration> list;
    // The tooth chart: one row per finding or treatment of one tooth,
    // keyed by the customer's ID like the visits. EPIFANEIES holds the
    // surfaces as letters (M, D, O, B, L), empty for the whole tooth;
    // KATAXWRHSH the moment of entry, which orders entries of one day.
    list.append({1, QStringLiteral("Οδοντόγραμμα (πίνακας ODONTOGRAMMA)"), {QStringLiteral("CREATE TABLE ODONTOGRAMMA (ID INTEGER, HMEROMHNIA DATE, DONTI INTEGER,"
                                                                                           " EPIFANEIES TEXT, KATASTASH TEXT, SHMEIWSH MEMO, KATAXWRHSH DATE)"),
                                                                            QStringLiteral("CREATE INDEX IX_ODONTOGRAMMA_ID ON ODONTOGRAMMA (ID, HMEROMHNIA)")}});
    // The server's login is its access check: the clear password an
    // earlier layout kept in SECURITY goes (every dump carried it).
    list.append({2, QStringLiteral("Χωρίς κωδικό πρόσβασης στον πίνακα SECURITY του διακομιστή"), {QStringLiteral("UPDATE SECURITY SET [PASSWORD]=NULL")}, true});
    // The treatment chain: the practice's price list and each customer's
    // plan items. Prices are whole cents, so totals are exact; an item keeps
    // its own price, and the receipt number it was billed on (NULL until
    // then). KATAXWRHSH, the moment of entry, orders a plan's items.
    list.append({3, QStringLiteral("Τιμοκατάλογος και σχέδια θεραπείας (πίνακες TIMOKATALOGOS, SXEDIO_THERAPEIAS)"), {QStringLiteral("CREATE TABLE TIMOKATALOGOS (ID INTEGER PRIMARY KEY AUTOINCREMENT, KWDIKOS TEXT COLLATE GREEK NOT NULL UNIQUE,"
                                                                                                                                     " PERIGRAFH TEXT COLLATE GREEK, TIMH_LEPTA INTEGER NOT NULL, ENERGH BOOLEAN NOT NULL DEFAULT -1)"),
                                                                                                                      QStringLiteral("CREATE TABLE SXEDIO_THERAPEIAS (ID INTEGER PRIMARY KEY AUTOINCREMENT, PELATHS INTEGER NOT NULL,"
                                                                                                                                     " ERGASIA INTEGER NOT NULL, DONTI INTEGER, EPIFANEIES TEXT, TIMH_LEPTA INTEGER NOT NULL,"
                                                                                                                                     " KATASTASH TEXT NOT NULL, HMEROMHNIA_EKTELESHS DATE, SHMEIWSH MEMO COLLATE GREEK,"
                                                                                                                                     " AR_APODEIKSHS INTEGER, KATAXWRHSH DATE)"),
                                                                                                                      QStringLiteral("CREATE INDEX IX_SXEDIO_THERAPEIAS_PELATHS ON SXEDIO_THERAPEIAS (PELATHS)"), QStringLiteral("CREATE INDEX IX_SXEDIO_THERAPEIAS_APODEIKSH ON SXEDIO_THERAPEIAS (AR_APODEIKSHS)")}});
    // GESY prevention: a customer may be a beneficiary (with the number
    // the insurer gave), and a visit may be the free preventive check or
    // cleaning (NULL for an ordinary visit).
    list.append({int(list.size()) + 1, QStringLiteral("Δικαιούχοι ΓεΣΥ και προληπτικές επισκέψεις ΓεΣΥ"), {QStringLiteral("ALTER TABLE STOIXEIA_PELATH ADD COLUMN GESY_DIKAIOUXOS BOOLEAN NOT NULL DEFAULT 0"), QStringLiteral("ALTER TABLE STOIXEIA_PELATH ADD COLUMN GESY_ARITHMOS TEXT"), QStringLiteral("ALTER TABLE EPISKEPSEIS ADD COLUMN GESY_PROLHPSH TEXT"), QStringLiteral("CREATE INDEX IX_EPISKEPSEIS_GESY ON EPISKEPSEIS (GESY_PROLHPSH, ID, HMEROMHNIA)")}});
    // The access log: appended to only, each entry chained to the one
    // before it by its hash (the layout is in data/work/accesslog.h).
    list.append({int(list.size()) + 1, QStringLiteral("Ημερολόγιο προσβάσεων (πίνακας HMEROLOGIO_PROSVASEWN)"), {QStringLiteral("CREATE TABLE HMEROLOGIO_PROSVASEWN (AA INTEGER PRIMARY KEY, XRONOS TEXT NOT NULL, XRHSTHS TEXT,"
                                                                                                                                " STATHMOS TEXT, ENERGEIA TEXT NOT NULL, PELATHS INTEGER, LEPTOMEREIES TEXT, HASH TEXT NOT NULL)"),
                                                                                                                 QStringLiteral("CREATE INDEX IX_HMEROLOGIO_PROSVASEWN_PELATHS ON HMEROLOGIO_PROSVASEWN (PELATHS)")}});
    // Named users: the name (unique in Greek dictionary order), the role
    // (administrator, clinician, reception) and whether the user may sign
    // in; KLEIDIA keeps the copy of keys.dat, the wraps of the file's key.
    list.append({int(list.size()) + 1, QStringLiteral("Χρήστες του ιατρείου (πίνακες XRHSTES, KLEIDIA)"), {QStringLiteral("CREATE TABLE XRHSTES (ONOMA TEXT COLLATE GREEK NOT NULL UNIQUE, ROLOS TEXT NOT NULL, ENERGOS BOOLEAN NOT NULL DEFAULT -1)"), QStringLiteral("CREATE TABLE KLEIDIA (PERIEXOMENO MEMO)")}});
    // Keeping medical records: the years a customer's records are kept
    // after the last of them (NULL: the practice's default), and the names
    // of customers deleted after that while their takings stay on, so the
    // tax records still name who paid.
    list.append({int(list.size()) + 1, QStringLiteral("Διατήρηση ιατρικών στοιχείων και διαγραμμένοι πελάτες με εισπράξεις"), {QStringLiteral("ALTER TABLE INFORMATION ADD COLUMN DIATHRHSH_ETH INTEGER"), QStringLiteral("CREATE TABLE PELATES_DIAGRAMMENOI (ID INTEGER NOT NULL UNIQUE, ONOMA TEXT COLLATE GREEK, EPWNYMO TEXT COLLATE GREEK, HMEROMHNIA_DIAGRAFHS DATE)")}});
    return list;
}

// Where the number lives. The encrypted file keeps it in its header, where
// it is written in the same transaction as the migration itself.
// A server keeps it in its one-row table, read under lock within a
// migration's unit so that two workstations never migrate twice.
int readNumber(DbConnection &conn)
{
    if (conn.onServer()) {
        const QString sql = QStringLiteral("SELECT VERSION FROM SCHEMA_VERSION");
        const QVariant v = conn.scalarNative(conn.inTransaction() ? conn.engine().forUpdate(sql) : sql);
        if (!v.isValid())
            throw DbError(QStringLiteral("Η βάση δεδομένων δεν γράφει την έκδοση της μορφής της (%1).").arg(conn.engine().where()));
        return v.toInt();
    }
    return conn.scalarNative(QStringLiteral("PRAGMA user_version")).toInt();
}

void writeNumber(DbConnection &conn, int version)
{
    if (conn.onServer())
        conn.executeNative(QStringLiteral("UPDATE SCHEMA_VERSION SET VERSION=?"), {version});
    else
        conn.executeNative(QStringLiteral("PRAGMA user_version=%1").arg(version));
}

bool changesData(const DbConnection &conn, const SchemaVersion::Migration &m) { return conn.onServer() || !m.serverOnly; }

void apply(DbConnection &conn, const SchemaVersion::Migration &m)
{
    for (const QString &statement : changesData(conn, m) ? m.statements : QStringList()) {
        if (conn.onServer())
            conn.executeNative(ServerTableStatement(statement));
        else
            conn.execute(statement);
    }
    writeNumber(conn, m.to);
}

}   // namespace

namespace SchemaVersion {

const QList<Migration> &migrations()
{
    static const QList<Migration> list = buildMigrations();
    return list;
}

int current() { return int(migrations().size()); }

QStringList addedTables() { return {QStringLiteral("ODONTOGRAMMA"), QStringLiteral("TIMOKATALOGOS"), QStringLiteral("SXEDIO_THERAPEIAS"), QStringLiteral("HMEROLOGIO_PROSVASEWN"), QStringLiteral("XRHSTES"), QStringLiteral("KLEIDIA"), QStringLiteral("PELATES_DIAGRAMMENOI")}; }

int read(DbConnection &conn) { return readNumber(conn); }

State state(int fileVersion)
{
    if (fileVersion > current())
        return State::Newer;
    return fileVersion < current() ? State::Older : State::UpToDate;
}

QString newerText(const QString &fileName, int fileVersion)
{
    return QStringLiteral("Το αρχείο δεδομένων %1 έχει γραφτεί από νεότερη έκδοση του προγράμματος "
                          "(έκδοση δομής %2· αυτό το πρόγραμμα γνωρίζει έως την %3). "
                          "Δεν ανοίγεται και δεν αλλάζει· χρησιμοποιήστε τη νεότερη έκδοση του Molarix.")
        .arg(QDir::toNativeSeparators(fileName))
        .arg(fileVersion)
        .arg(current());
}

QList<int> upgrade(DbConnection &conn, const std::function<void(int, int)> &beforeEach)
{
    QList<int> applied;
    int version = read(conn);
    if (version < 0 || state(version) == State::Newer)
        throw DbError(newerText(conn.fileName(), version));
    while (version < current()) {
        const Migration &m = migrations().at(version);
        if (beforeEach && changesData(conn, m))
            beforeEach(version, m.to);
        DbTransaction tx(conn);
        // Another copy of the program may have done it meanwhile.
        const int now = read(conn);
        if (now != version) {
            if (state(now) == State::Newer)
                throw DbError(newerText(conn.fileName(), now));
            version = now;
            continue;
        }
        apply(conn, m);
        tx.commit();
        applied << m.to;
        version = m.to;
    }
    // A newer layout's tables take the users' group rights.
    if (!applied.isEmpty() && conn.onServer())
        ServerRoles::regrant(conn);
    return applied;
}

void applyAll(DbConnection &conn)
{
    for (const Migration &m : migrations())
        apply(conn, m);
}

}
