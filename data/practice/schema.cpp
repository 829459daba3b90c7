#include "data/practice/schema.h"
#include "data/db/helpers.h"
#include "data/db/connection.h"
#include "data/practice/schemaversion.h"
#include "data/practice/security.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char *const kTables[] = {
    // Customers; ID is assigned by the database.
    "CREATE TABLE STOIXEIA_PELATH ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " ONOMA TEXT COLLATE GREEK, EPWNYMO TEXT COLLATE GREEK, FYLO TEXT COLLATE GREEK,"
    " HMEROMHNIA_GENNHSEWS DATE, DIEYTHYNSH TEXT COLLATE GREEK,"
    " THLEFWNO_1 TEXT COLLATE GREEK, THLEFWNO_2 TEXT COLLATE GREEK,"
    " EPAGGELMA TEXT COLLATE GREEK, TAMEIO TEXT COLLATE GREEK, ISTORIKO MEMO COLLATE GREEK)",
    "CREATE INDEX IX_PELATH_EPWNYMO ON STOIXEIA_PELATH(EPWNYMO)",
    "CREATE INDEX IX_PELATH_GENNHSH ON STOIXEIA_PELATH(HMEROMHNIA_GENNHSEWS)",

    "CREATE TABLE EPISKEPSEIS (ID INTEGER, HMEROMHNIA DATE,"
    " AITIA TEXT COLLATE GREEK, PERIGRAFH TEXT COLLATE GREEK)",
    "CREATE INDEX IX_EPISKEPSEIS_ID ON EPISKEPSEIS(ID, HMEROMHNIA)",
    "CREATE INDEX IX_EPISKEPSEIS_HMEROMHNIA ON EPISKEPSEIS(HMEROMHNIA)",

    "CREATE TABLE EISPRAKSH_PELATH (ID INTEGER,"
    " HMEROMHNIA DATE DEFAULT (date('now','localtime')),"
    " POSO DOUBLE, POSO_CY DOUBLE, PERIGRAFH TEXT COLLATE GREEK, TAMEIO TEXT COLLATE GREEK,"
    " AR_APODEIKSHS INTEGER)",
    "CREATE INDEX IX_EISPRAKSH_ID ON EISPRAKSH_PELATH(ID)",
    "CREATE INDEX IX_EISPRAKSH_HMEROMHNIA ON EISPRAKSH_PELATH(HMEROMHNIA)",
    "CREATE INDEX IX_EISPRAKSH_AR ON EISPRAKSH_PELATH(AR_APODEIKSHS)",

    // A receipt number is issued once: a second copy of the program that
    // read the same counter gets its insert refused instead of a duplicate.
    "CREATE TABLE APODEIKSEIS (AR_APODEIKSHS INTEGER NOT NULL UNIQUE,"
    " HMEROMHNIA DATE DEFAULT (date('now','localtime')),"
    " ONOMA TEXT COLLATE GREEK, EPWNYMO TEXT COLLATE GREEK, PARALHPTHS TEXT COLLATE GREEK,"
    " POSO DOUBLE, POSO_CY DOUBLE, TAMEIO TEXT COLLATE GREEK, PERIGRAFH TEXT COLLATE GREEK,"
    " EGKYRH BOOLEAN NOT NULL DEFAULT -1)",
    "CREATE INDEX IX_APODEIKSEIS_HMEROMHNIA ON APODEIKSEIS(HMEROMHNIA)",

    // The next receipt number: a row without one would stop every receipt.
    "CREATE TABLE LAST_APODEIKSH ([LAST] INTEGER NOT NULL CHECK (typeof([LAST]) = 'integer' AND [LAST] > 0))",

    "CREATE TABLE INFORMATION (TITLE TEXT, ADDRESS1 TEXT, ADDRESS2 TEXT, PHONE TEXT,"
    " FAX TEXT, WEBSITE TEXT, EMAIL TEXT, AFT TEXT)",

    "CREATE TABLE EKSODA (HMEROMHNIA DATE, POSO DOUBLE, VAT DOUBLE, PERIGRAFH TEXT COLLATE GREEK)",
    "CREATE INDEX IX_EKSODA_HMEROMHNIA ON EKSODA(HMEROMHNIA)",

    nullptr,   // RANTEBOU, made from the slot list

    "CREATE TABLE YPENTHIMISEIS (HMEROMHNIA DATE, PERIGRAFH MEMO COLLATE GREEK)",
    "CREATE INDEX IX_YPENTHIMISEIS_HMEROMHNIA ON YPENTHIMISEIS(HMEROMHNIA)",

    "CREATE TABLE SHMEIWSEIS (ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " TITLOS TEXT COLLATE GREEK, PERIGRAFH MEMO COLLATE GREEK)",

    "CREATE TABLE XRHSIMA_THLEFWNA (ONOMATEPWNYMO TEXT COLLATE GREEK, DIEYTHYNSH TEXT COLLATE GREEK,"
    " THLEFWNO_1 TEXT, THLEFWNO_2 TEXT, FAX TEXT, EMAIL TEXT, PERIGRAFH TEXT COLLATE GREEK)",

    // The access check reads the first column of the first row.
    "CREATE TABLE SECURITY ([PASSWORD] TEXT)",
};

QString rantebouTable()
{
    QString sql = QStringLiteral("CREATE TABLE RANTEBOU (HMEROMHNIA DATE NOT NULL UNIQUE");
    for (const QString &slot : Schema::slotColumns())
        sql += QStringLiteral(", \"%1\" TEXT COLLATE GREEK").arg(slot);
    return sql + QLatin1Char(')');
}

}   // namespace

namespace Schema {

QStringList fileTableStatements()
{
    QStringList out;
    for (const char *stmt : kTables)
        out << (stmt ? QString::fromUtf8(stmt) : rantebouTable());
    return out;
}

QStringList slotColumns()
{
    QStringList names;
    for (int h = 8; h < 22; ++h) {
        names << QStringLiteral("%1%2-%3%4").arg(h, 2, 10, QLatin1Char('0')).arg(QStringLiteral("00")).arg(h, 2, 10, QLatin1Char('0')).arg(QStringLiteral("30"));
        names << QStringLiteral("%1%2-%3%4").arg(h, 2, 10, QLatin1Char('0')).arg(QStringLiteral("30")).arg(h + 1, 2, 10, QLatin1Char('0')).arg(QStringLiteral("00"));
    }
    return names;
}

QStringList tableNames()
{
    return {QStringLiteral("STOIXEIA_PELATH"), QStringLiteral("EPISKEPSEIS"),
            QStringLiteral("EISPRAKSH_PELATH"), QStringLiteral("APODEIKSEIS"),
            QStringLiteral("LAST_APODEIKSH"), QStringLiteral("INFORMATION"),
            QStringLiteral("EKSODA"), QStringLiteral("RANTEBOU"),
            QStringLiteral("YPENTHIMISEIS"), QStringLiteral("SHMEIWSEIS"),
            QStringLiteral("XRHSIMA_THLEFWNA"), QStringLiteral("SECURITY")};
}

void createDatabase(const QString &dir, const QString &givenPassword)
{
    const QString password = givenPassword.isEmpty() ? QString::fromLatin1(FirstPassword) : givenPassword;
    const QFileInfo di(dir);
    if (!di.exists() || !di.isDir())
        throw DbError(QStringLiteral("Ο φάκελος '%1' δεν υπάρχει.").arg(dir));
    const QString path = QDir(dir).absoluteFilePath(QStringLiteral("data.mdb"));
    if (QFileInfo::exists(path))
        throw DbError(QStringLiteral("Το '%1' υπάρχει ήδη· μένει όπως είναι.").arg(QDir::toNativeSeparators(path)));

    if (const QString why = Security::passwordProblem(password); !why.isEmpty())
        throw DbError(why);

    // Built in a side file and renamed at the end, so a failure leaves no
    // half-made data.mdb behind.
    const QString temp = path + QStringLiteral(".new");
    QFile::remove(temp);
    {
        DbConnection conn;
        // Keyed through SQLCipher's own derivation of the password.
        conn.setConnectionString(QStringLiteral("Data Source=%1;Jet OLEDB:Database Password=%2")
                                     .arg(QuoteConnectionValue(temp), QuoteConnectionValue(password)));
        try {
            conn.create();
            DbTransaction tx(conn);
            for (const char *stmt : kTables) {
                if (stmt)
                    conn.executeNative(QString::fromUtf8(stmt).replace(QStringLiteral("[LAST]"), QStringLiteral("\"LAST\"")).replace(QStringLiteral("[PASSWORD]"), QStringLiteral("\"PASSWORD\"")));
                else
                    conn.executeNative(rantebouTable());
            }
            SchemaVersion::applyAll(conn);
            conn.executeNative(QStringLiteral("INSERT INTO SECURITY (\"PASSWORD\") VALUES (?)"), {password});
            tx.commit();
        } catch (...) {
            conn.close();
            QFile::remove(temp);
            QFile::remove(temp + QStringLiteral("-journal"));
            throw;
        }
    }
    // The journal stays behind, empty, after a clean close; it belongs to the side file.
    QFile::remove(temp + QStringLiteral("-journal"));
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        throw DbError(QStringLiteral("Το '%1' δεν μπορεί να δημιουργηθεί.").arg(QDir::toNativeSeparators(path)));
    }
}

int copyReportFiles(const QString &sourceDir, const QString &dir)
{
    int copied = 0;
    const QDir src(sourceDir);
    const auto files = src.entryList({QStringLiteral("*.RAV")}, QDir::Files);
    for (const QString &f : files) {
        const QString target = QDir(dir).absoluteFilePath(f);
        QFile::remove(target);
        if (QFile::copy(src.absoluteFilePath(f), target))
            ++copied;
    }
    return copied;
}

}   // namespace Schema
