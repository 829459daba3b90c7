#include "data/practice/serverconf.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace ServerConf {

QString fileName(const QString &dir) { return QDir(dir).absoluteFilePath(QStringLiteral("server.conf")); }

bool exists(const QString &dir) { return QFileInfo(fileName(dir)).isFile(); }

ConnectionInfo read(const QString &dir)
{
    const QString path = fileName(dir);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("Το αρχείο «%1» δεν διαβάζεται.").arg(QDir::toNativeSeparators(path)));
    ConnectionInfo info;
    info.port = 5432;
    QSet<QString> seen;
    int lineNo = 0;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    for (QString line : lines) {
        ++lineNo;
        const qsizetype hash = line.indexOf(u'#');
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf(u'=');
        const QString key = eq < 0 ? line.toLower() : line.left(eq).trimmed().toLower();
        const QString value = eq < 0 ? QString() : line.mid(eq + 1).trimmed();
        auto bad = [&](const QString &why) {
            return DbError(QStringLiteral("Το αρχείο «%1», γραμμή %2: %3").arg(QDir::toNativeSeparators(path)).arg(lineNo).arg(why));
        };
        if (key == QLatin1String("password"))
            throw bad(QStringLiteral("δεν γράφεται κωδικός στο αρχείο· ο κωδικός πρόσβασης δίνεται κατά την είσοδο."));
        if (eq < 0)
            throw bad(QStringLiteral("λείπει το «=»."));
        if (seen.contains(key))
            throw bad(QStringLiteral("το «%1» δίνεται δεύτερη φορά.").arg(key));
        seen.insert(key);
        if (key == QLatin1String("host")) {
            info.host = value;
        } else if (key == QLatin1String("port")) {
            bool ok = false;
            info.port = value.toInt(&ok);
            if (!ok || info.port <= 0 || info.port > 65535)
                throw bad(QStringLiteral("η θύρα «%1» δεν είναι αριθμός από 1 έως 65535.").arg(value));
        } else if (key == QLatin1String("database")) {
            info.database = value;
        } else if (key == QLatin1String("user")) {
            info.user = value;
        } else if (key == QLatin1String("sslmode")) {
            // Only modes that encrypt: a practice's data never cross a network in clear.
            if (value != QLatin1String("require") && value != QLatin1String("verify-ca") && value != QLatin1String("verify-full"))
                throw bad(QStringLiteral("το sslmode «%1» δεν γίνεται δεκτό· γράψτε require, verify-ca ή verify-full.").arg(value));
            info.sslMode = value;
        } else if (key == QLatin1String("sslrootcert")) {
            // A relative name is the folder's own file.
            info.sslRootCert = value.isEmpty() ? value : QDir(dir).absoluteFilePath(value);
        } else {
            throw bad(QStringLiteral("άγνωστη ρύθμιση «%1».").arg(key));
        }
    }
    QStringList missing;
    if (info.host.isEmpty())
        missing << QStringLiteral("host");
    if (info.database.isEmpty())
        missing << QStringLiteral("database");
    if (info.user.isEmpty())
        missing << QStringLiteral("user");
    if (!missing.isEmpty())
        throw DbError(QStringLiteral("Στο αρχείο «%1» λείπει: %2.").arg(QDir::toNativeSeparators(path), missing.join(QStringLiteral(", "))));
    // A server across the network proves who it is.
    if (info.sslMode.isEmpty() && !info.serverIsLocal())
        info.sslMode = QStringLiteral("verify-full");
    return info;
}

QString connectionString(const ConnectionInfo &info)
{
    QString cs = QStringLiteral("Provider=PostgreSQL;Server=%1;Port=%2;Database=%3;User ID=%4")
                     .arg(QuoteConnectionValue(info.host))
                     .arg(info.port)
                     .arg(QuoteConnectionValue(info.database), QuoteConnectionValue(info.user));
    if (!info.sslMode.isEmpty())
        cs += QStringLiteral(";SSL Mode=") + QuoteConnectionValue(info.sslMode);
    if (!info.sslRootCert.isEmpty())
        cs += QStringLiteral(";SSL Root Cert=") + QuoteConnectionValue(info.sslRootCert);
    return cs;
}

}
