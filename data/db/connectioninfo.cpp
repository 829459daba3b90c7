#include "data/db/connectioninfo.h"

QString DbCauseText(DbError::Cause cause)
{
    switch (cause) {
    case DbError::Cause::InUse:
        return QStringLiteral("Τα δεδομένα χρησιμοποιούνται από άλλο πρόγραμμα· δοκιμάστε ξανά σε λίγο.");
    case DbError::Cause::DiskFull:
        return QStringLiteral("Ο δίσκος είναι γεμάτος.");
    case DbError::Cause::ReadOnly:
        return QStringLiteral("Το αρχείο ή ο φάκελος δεν επιτρέπει εγγραφή.");
    case DbError::Cause::ConnectionLost:
        return QStringLiteral("Η τελευταία ενέργεια δεν αποθηκεύτηκε· μπορεί να γίνει ξανά μόλις ο διακομιστής απαντήσει.");
    case DbError::Cause::None:
    case DbError::Cause::WrongPassword:   // the message itself says it
        break;
    }
    return QString();
}

bool ConnectionInfo::serverIsLocal() const
{
    return host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'))
        || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || host == QLatin1String("127.0.0.1")
        || host == QLatin1String("::1");
}

QString QuoteConnectionValue(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

ConnectionInfo ParseConnectionString(const QString &cs)
{
    ConnectionInfo info;
    // key=value pairs split at ';'. A value may stand in double or single
    // quotes, a doubled quote inside standing for one (the OLE DB rules);
    // unquoted values end at the next ';' and lose their outer blanks.
    const qsizetype n = cs.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype eq = cs.indexOf(QLatin1Char('='), i);
        const qsizetype semi = cs.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        const QString key = cs.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && cs[i].isSpace())
            ++i;
        QString value;
        if (i < n && (cs[i] == QLatin1Char('"') || cs[i] == QLatin1Char('\''))) {
            const QChar quote = cs[i++];
            while (i < n) {
                if (cs[i] == quote) {
                    if (i + 1 < n && cs[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += cs[i++];
            }
            const qsizetype end = cs.indexOf(QLatin1Char(';'), i);
            i = end < 0 ? n : end + 1;
        } else {
            const qsizetype end = cs.indexOf(QLatin1Char(';'), i);
            value = cs.mid(i, (end < 0 ? n : end) - i).trimmed();
            i = end < 0 ? n : end + 1;
        }
        if (key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0)
            info.dataSource = value;
        else if (key.compare(QLatin1String("Jet OLEDB:Database Password"), Qt::CaseInsensitive) == 0)
            info.password = value;
        else if (key.compare(QLatin1String("Server"), Qt::CaseInsensitive) == 0)
            info.host = value;
        else if (key.compare(QLatin1String("Port"), Qt::CaseInsensitive) == 0)
            info.port = value.toInt();
        else if (key.compare(QLatin1String("Database"), Qt::CaseInsensitive) == 0)
            info.database = value;
        else if (key.compare(QLatin1String("User ID"), Qt::CaseInsensitive) == 0)
            info.user = value;
        else if (key.compare(QLatin1String("SSL Mode"), Qt::CaseInsensitive) == 0)
            info.sslMode = value;
        else if (key.compare(QLatin1String("SSL Root Cert"), Qt::CaseInsensitive) == 0)
            info.sslRootCert = value;
        else if (key.compare(QLatin1String("Server Error"), Qt::CaseInsensitive) == 0)
            throw DbError(value);
    }
    if (info.onServer()) {
        if (info.database.isEmpty() || info.user.isEmpty() || info.port <= 0 || info.port > 65535)
            throw DbError(QStringLiteral("Τα στοιχεία σύνδεσης ορίζουν διακομιστή χωρίς θύρα, βάση δεδομένων ή χρήστη."));
        return info;
    }
    if (info.dataSource.isEmpty())
        throw DbError(QStringLiteral("Τα στοιχεία σύνδεσης δεν ορίζουν αρχείο βάσης δεδομένων (Data Source)."));
    return info;
}
