#include "data/work/patientexport.h"
#include "data/practice/roles.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/jetsql.h"
#include "data/db/regional.h"
#include "data/practice/schema.h"
#include "data/work/plans.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace PatientExport {

namespace {

using K = Kind;

// Each section: its statement (the customer's ID bound once) and its
// columns in the statement's order.
struct Source {
    const char *key;
    const char *title;
    const char *sql;
    QList<Column> columns;
};

const Source kCustomer{
    "customer", "Στοιχεία πελάτη", "SELECT ID, EPWNYMO, ONOMA, FYLO, HMEROMHNIA_GENNHSEWS, DIEYTHYNSH, THLEFWNO_1, THLEFWNO_2, EPAGGELMA, TAMEIO,"
                                   " GESY_DIKAIOUXOS, GESY_ARITHMOS, ISTORIKO FROM STOIXEIA_PELATH WHERE ID=?",
    {{"id", "Κωδικός", K::Integer}, {"surname", "Επώνυμο", K::Text}, {"first_name", "Όνομα", K::Text}, {"sex", "Φύλο", K::Text}, {"birth_date", "Ημερομηνία γέννησης", K::Date}, {"address", "Διεύθυνση", K::Text}, {"phone_1", "Τηλέφωνο 1", K::Text}, {"phone_2", "Τηλέφωνο 2", K::Text}, {"occupation", "Επάγγελμα", K::Text}, {"fund", "Ταμείο", K::Text}, {"gesy_beneficiary", "Δικαιούχος ΓεΣΥ", K::Flag}, {"gesy_number", "Αριθμός ΓεΣΥ", K::Text}, {"history", "Ιστορικό", K::Text}}};

const Source kSections[] = {
    {"visits", "Επισκέψεις", "SELECT HMEROMHNIA, AITIA, PERIGRAFH, GESY_PROLHPSH FROM EPISKEPSEIS WHERE ID=? ORDER BY HMEROMHNIA, rowid", {{"date", "Ημερομηνία", K::Date}, {"reason", "Αιτία", K::Text}, {"description", "Περιγραφή", K::Text}, {"gesy_prevention", "Πρόληψη ΓεΣΥ", K::Text}}},
    {"chart", "Οδοντόγραμμα (όλες οι καταχωρήσεις)", "SELECT HMEROMHNIA, DONTI, EPIFANEIES, KATASTASH, SHMEIWSH, KATAXWRHSH FROM ODONTOGRAMMA WHERE ID=?"
                                                     " ORDER BY HMEROMHNIA, KATAXWRHSH, rowid",
     {{"date", "Ημερομηνία", K::Date}, {"tooth", "Δόντι", K::Integer}, {"surfaces", "Επιφάνειες", K::Text}, {"condition", "Κατάσταση", K::Text}, {"note", "Σημείωση", K::Text}, {"entered", "Καταχώρηση", K::Moment}}},
    {"plan", "Σχέδιο θεραπείας", "SELECT s.KATAXWRHSH, t.KWDIKOS, t.PERIGRAFH, s.DONTI, s.EPIFANEIES, s.TIMH_LEPTA, s.KATASTASH,"
                                 " s.HMEROMHNIA_EKTELESHS, s.AR_APODEIKSHS, s.SHMEIWSH"
                                 " FROM SXEDIO_THERAPEIAS s LEFT JOIN TIMOKATALOGOS t ON t.ID = s.ERGASIA WHERE s.PELATHS=? ORDER BY s.KATAXWRHSH, s.ID",
     {{"entered", "Καταχώρηση", K::Moment}, {"code", "Κωδικός", K::Text}, {"work", "Εργασία", K::Text}, {"tooth", "Δόντι", K::Integer}, {"surfaces", "Επιφάνειες", K::Text}, {"price_cents", "Τιμή", K::Cents}, {"state", "Κατάσταση", K::Text}, {"done", "Εκτελέστηκε", K::Date}, {"receipt", "Απόδειξη", K::Integer}, {"note", "Σημείωση", K::Text}}},
    {"appointments", "Ραντεβού", nullptr, {{"date", "Ημερομηνία", K::Date}, {"time", "Ώρα", K::Text}, {"text", "Ραντεβού", K::Text}}},
    {"takings", "Εισπράξεις", "SELECT HMEROMHNIA, POSO, PERIGRAFH, TAMEIO, AR_APODEIKSHS FROM EISPRAKSH_PELATH WHERE ID=? ORDER BY HMEROMHNIA, rowid", {{"date", "Ημερομηνία", K::Date}, {"amount_eur", "Ποσό", K::Amount}, {"description", "Περιγραφή", K::Text}, {"fund", "Ταμείο", K::Text}, {"receipt", "Απόδειξη", K::Integer}}},
    {"receipts", "Αποδείξεις", "SELECT a.AR_APODEIKSHS, a.HMEROMHNIA, a.ONOMA, a.EPWNYMO, a.PARALHPTHS, a.POSO, a.TAMEIO, a.PERIGRAFH, a.EGKYRH"
                               " FROM APODEIKSEIS a WHERE a.AR_APODEIKSHS IN (SELECT e.AR_APODEIKSHS FROM EISPRAKSH_PELATH e WHERE e.ID=?)"
                               " ORDER BY a.AR_APODEIKSHS",
     {{"number", "Αριθμός", K::Integer}, {"date", "Ημερομηνία", K::Date}, {"first_name", "Όνομα", K::Text}, {"surname", "Επώνυμο", K::Text}, {"payer", "Παραλήπτης", K::Text}, {"amount_eur", "Ποσό", K::Amount}, {"fund", "Ταμείο", K::Text}, {"description", "Περιγραφή", K::Text}, {"valid", "Έγκυρη", K::Flag}}},
    {"reminders", "Υπενθυμίσεις", nullptr, {{"when", "Ημερομηνία", K::Moment}, {"text", "Υπενθύμιση", K::Text}}},
};

QDate dateOf(const QVariant &v)
{
    return v.isValid() ? QDate::fromString(v.toString().left(10), Qt::ISODate) : QDate();
}

QDateTime momentOf(const QVariant &v)
{
    if (!v.isValid())
        return {};
    const QString s = v.toString().left(19).replace(QLatin1Char('T'), QLatin1Char(' '));
    const QDateTime dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return dt.isValid() ? dt : QDateTime(dateOf(v), QTime(0, 0));
}

QVariant typed(const QVariant &v, Kind kind)
{
    if (!v.isValid() || v.isNull())
        return {};
    switch (kind) {
    case K::Date:
        return dateOf(v);
    case K::Moment:
        return momentOf(v);
    case K::Amount:
        return v.toDouble();
    case K::Cents:
    case K::Integer:
        return v.toLongLong();
    case K::Flag:
        return v.toBool();
    case K::Text:
        break;
    }
    return v.toString();
}

Section sectionOf(const Source &s)
{
    return {QString::fromLatin1(s.key), QString::fromUtf8(s.title), s.columns, {}};
}

Section readSection(DbConnection &conn, const Source &s, CustomerRef customer)
{
    Section out = sectionOf(s);
    DbStatement st(conn, QString::fromUtf8(s.sql));
    st.bind(1, customer.value());
    while (st.step()) {
        QVariantList row;
        for (int i = 0; i < out.columns.size(); ++i)
            row << typed(st.columnValue(i), out.columns[i].kind);
        out.rows << row;
    }
    return out;
}

// The value as typed() made it for its kind; a moment without its milliseconds.
QJsonValue jsonOf(const QVariant &v, Kind kind)
{
    if (kind == K::Moment && v.isValid())
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    return QJsonValue::fromVariant(v);
}

QJsonObject objectOf(const Section &s, const QVariantList &row)
{
    QJsonObject o;
    for (int i = 0; i < s.columns.size(); ++i)
        o.insert(QLatin1String(s.columns[i].key), jsonOf(row.value(i), s.columns[i].kind));
    return o;
}

// "0800-0830" as "08:00-08:30".
QString slotTime(const QString &column)
{
    return column.left(2) + QLatin1Char(':') + column.mid(2, 2) + QLatin1Char('-') + column.mid(5, 2) + QLatin1Char(':')
        + column.mid(7, 2);
}

QString quoted(const QString &column) { return QLatin1Char('"') + column + QLatin1Char('"'); }

}   // namespace

const Section *Export::find(const QString &key) const
{
    if (key == customer.key)
        return &customer;
    for (const Section &s : sections)
        if (s.key == key)
            return &s;
    return nullptr;
}

bool names(const QString &text, const QString &firstName, const QString &surname)
{
    const auto word = [&](const QString &name) {
        const QString n = SqlFunctions::foldForLike(name.simplified());
        if (n.isEmpty())
            return true;
        const QRegularExpression re(QStringLiteral("(^|\\W)") + QRegularExpression::escape(n) + QStringLiteral("($|\\W)"),
                                    QRegularExpression::UseUnicodePropertiesOption);
        return re.match(SqlFunctions::foldForLike(text)).hasMatch();
    };
    return !surname.trimmed().isEmpty() && word(surname) && word(firstName);
}

Mentions mentions(DbConnection &conn, const QString &firstName, const QString &surname)
{
    Mentions m;
    if (surname.trimmed().isEmpty())
        return m;
    const QStringList slotColumns = Schema::slotColumns();
    QStringList columns;
    for (const QString &c : slotColumns)
        columns << quoted(c);
    {
        DbStatement st(conn, QStringLiteral("SELECT HMEROMHNIA, ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM RANTEBOU ORDER BY HMEROMHNIA"));
        while (st.step()) {
            const QVariant stored = st.columnValue(0);
            for (int i = 0; i < slotColumns.size(); ++i) {
                const QString text = st.columnValue(i + 1).toString();
                if (!text.isEmpty() && names(text, firstName, surname))
                    m.booked << Mentions::Slot{dateOf(stored), stored, slotColumns[i], text};
            }
        }
    }
    DbStatement st(conn, QStringLiteral("SELECT rowid AS R, HMEROMHNIA, PERIGRAFH FROM YPENTHIMISEIS ORDER BY HMEROMHNIA, rowid"));
    while (st.step()) {
        const QString text = st.columnValue(2).toString();
        if (names(text, firstName, surname))
            m.reminders << Mentions::Reminder{st.columnValue(0).toLongLong(), momentOf(st.columnValue(1)), text};
    }
    return m;
}

Export read(DbConnection &conn, CustomerRef customer)
{
    Roles::require(Roles::Duty::PatientExport);
    Export e;
    e.customerId = customer.value();
    e.made = Clock::now();
    e.customer = readSection(conn, kCustomer, customer);
    if (e.customer.rows.isEmpty())
        throw DbError(QStringLiteral("Ο πελάτης δεν βρέθηκε."));
    const QVariantList &card = e.customer.rows.first();
    const Mentions named = mentions(conn, card.value(2).toString(), card.value(1).toString());
    for (const Source &s : kSections) {
        if (s.sql) {
            e.sections << readSection(conn, s, customer);
            continue;
        }
        Section out = sectionOf(s);
        if (out.key == QLatin1String("appointments")) {
            for (const Mentions::Slot &b : named.booked)
                out.rows << QVariantList{b.day, slotTime(b.column), b.text};
        } else {
            for (const Mentions::Reminder &r : named.reminders)
                out.rows << QVariantList{r.when, r.text};
        }
        e.sections << out;
    }
    return e;
}

QByteArray json(const Export &e)
{
    QJsonObject root;
    root.insert(QStringLiteral("format"), QStringLiteral("molarix-patient-export"));
    root.insert(QStringLiteral("version"), FormatVersion);
    root.insert(QStringLiteral("made"), e.made.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
    root.insert(e.customer.key, objectOf(e.customer, e.customer.rows.value(0)));
    for (const Section &s : e.sections) {
        QJsonArray rows;
        for (const QVariantList &row : s.rows)
            rows.append(objectOf(s, row));
        root.insert(s.key, rows);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString displayText(const QVariant &value, Kind kind)
{
    if (!value.isValid())
        return {};
    switch (kind) {
    case K::Date:
        return Regional::formatDate(value.toDate());
    case K::Moment:
        return Regional::formatDateTime(value.toDateTime());
    case K::Amount:
        return Regional::formatAmount(value.toDouble());
    case K::Cents:
        return Plans::priceText(value.toLongLong());
    case K::Flag:
        return value.toBool() ? QStringLiteral("Ναι") : QStringLiteral("Όχι");
    case K::Integer:
    case K::Text:
        break;
    }
    return value.toString();
}

QString baseName(CustomerRef customer, const QDate &day)
{
    return QStringLiteral("pelatis-%1-%2").arg(customer.text(), day.toString(QStringLiteral("yyyy-MM-dd")));
}

}
