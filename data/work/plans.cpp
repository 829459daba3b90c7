#include "data/work/plans.h"
#include "data/practice/roles.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/regional.h"
#include "data/work/accesslog.h"
#include "data/work/chart.h"
#include <cmath>

namespace {

QDateTime nowToTheSecond()
{
    const QDateTime now = Clock::now();
    return QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
}

// Lower case without accents, so "Έμφραξη" and "εμφραξη" read alike.
QString folded(const QString &text)
{
    QString out;
    for (const QChar c : text.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            out += c.toLower();
    return out;
}

void checkWork(DbConnection &conn, const Plans::Work &w)
{
    if (w.code.trimmed().isEmpty())
        throw DbError(QStringLiteral("Γράψτε τον κωδικό της εργασίας."));
    if (w.cents < 0 || w.cents > qint64(std::llround(Regional::MaxAmount * 100)))
        throw DbError(QStringLiteral("Η τιμή της εργασίας πρέπει να είναι από 0 έως 99999999,99 ευρώ."));
    if (conn.scalarNative(QStringLiteral("SELECT count(*) FROM TIMOKATALOGOS WHERE KWDIKOS=? AND ID<>?"), {w.code.trimmed(), w.id})
            .toLongLong()
        > 0)
        throw DbError(QStringLiteral("Ο κωδικός %1 υπάρχει ήδη στον τιμοκατάλογο.").arg(w.code.trimmed()));
}

void checkItem(DbConnection &conn, const Plans::Item &item)
{
    if (!Plans::work(conn, item.work))
        throw DbError(QStringLiteral("Διαλέξτε μια εργασία από τον τιμοκατάλογο."));
    if (item.tooth != 0 && !Chart::isTooth(item.tooth))
        throw DbError(QStringLiteral("Το %1 δεν είναι αριθμός δοντιού (π.χ. 16 ή 55).").arg(item.tooth));
    if (item.cents < 0 || item.cents > qint64(std::llround(Regional::MaxAmount * 100)))
        throw DbError(QStringLiteral("Η τιμή της εργασίας πρέπει να είναι από 0 έως 99999999,99 ευρώ."));
}

QVariant toothValue(int tooth) { return tooth ? QVariant(tooth) : QVariant(); }

// What a change to a plan's items is called in the access log.
const QString PlanDetail = QStringLiteral("Σχέδιο θεραπείας");

const char *const kItemColumns =
    "SELECT s.ID, s.PELATHS, s.ERGASIA, t.KWDIKOS, t.PERIGRAFH, s.DONTI, s.EPIFANEIES, s.TIMH_LEPTA,"
    " s.KATASTASH, s.HMEROMHNIA_EKTELESHS, s.SHMEIWSH, s.AR_APODEIKSHS, s.KATAXWRHSH"
    " FROM SXEDIO_THERAPEIAS s LEFT JOIN TIMOKATALOGOS t ON t.ID = s.ERGASIA";

// A stored day, "yyyy-MM-dd" with or without a time after it; invalid
// for none. Read from the bytes: a plan is read whole at every showing.
QDate dayOf(QByteArrayView v)
{
    auto number = [&](qsizetype from, qsizetype n) {
        int out = 0;
        for (qsizetype k = from; k < from + n; ++k) {
            if (v[k] < '0' || v[k] > '9')
                return -1;
            out = out * 10 + (v[k] - '0');
        }
        return out;
    };
    if (v.size() < 10 || v[4] != '-' || v[7] != '-')
        return QDate();
    return QDate(number(0, 4), number(5, 2), number(8, 2));
}

Plans::Item itemOf(const DbStatement &st)
{
    const DbCursor &c = st.cursor();
    Plans::Item i;
    i.id = c.integer(0);
    i.customer = c.integer(1);
    i.work = c.integer(2);
    i.code = c.text(3);
    i.description = c.text(4);
    i.tooth = int(c.integer(5));
    i.surfaces = c.text(6);
    i.cents = c.integer(7);
    const QByteArrayView state = c.utf8(8);
    const char code = state.size() == 1 ? state[0] : 'P';
    i.state = code == 'D' ? Plans::State::Done : code == 'C' ? Plans::State::Cancelled
                                                             : Plans::State::Planned;
    i.done = dayOf(c.utf8(9));
    i.note = c.text(10);
    i.receipt = c.integer(11);
    i.entered = dayOf(c.utf8(12));
    return i;
}

Plans::Item readItem(DbConnection &conn, qint64 id)
{
    DbStatement st(conn, QString::fromLatin1(kItemColumns) + QStringLiteral(" WHERE s.ID=?"));
    st.bind(1, id);
    if (!st.step())
        throw DbError(QStringLiteral("Η εργασία του σχεδίου θεραπείας δεν υπάρχει πια."));
    return itemOf(st);
}

// The chart entry a done item leaves: the customer's, on the day done,
// its tooth and surfaces, its condition, the work named in the note.
QVariantList chartEntry(const Plans::Item &item)
{
    return {item.customer, item.done, item.tooth, Chart::normalizeSurfaces(item.surfaces), Plans::chartCondition(item.description),
            item.description};
}

}   // namespace

namespace Plans {

PriceReading readPrice(const QString &text)
{
    const Regional::AmountReading r = Regional::readAmount(text);
    if (!r.value)
        return {std::nullopt, r.refusal};
    if (*r.value < 0)
        return {std::nullopt, QStringLiteral("Η τιμή δεν μπορεί να είναι αρνητική.")};
    if (*r.value > Regional::MaxAmount)
        return {std::nullopt, QStringLiteral("Η τιμή είναι μεγαλύτερη από 99999999,99 ευρώ.")};
    return {qint64(std::llround(*r.value * 100)), QString()};
}

QString priceText(qint64 cents)
{
    const qint64 whole = std::abs(cents);
    return (cents < 0 ? QStringLiteral("-") : QString()) + QString::number(whole / 100) + Regional::decimalSeparator()
        + QStringLiteral("%1").arg(whole % 100, 2, 10, QLatin1Char('0'));
}

QList<Work> priceList(DbConnection &conn, bool activeOnly)
{
    QList<Work> out;
    DbStatement st(conn, QStringLiteral("SELECT ID, KWDIKOS, PERIGRAFH, TIMH_LEPTA, ENERGH FROM TIMOKATALOGOS") + (activeOnly ? QStringLiteral(" WHERE ENERGH<>0") : QString()) + QStringLiteral(" ORDER BY KWDIKOS"));
    while (st.step())
        out << Work{st.columnValue(0).toLongLong(), st.columnValue(1).toString(), st.columnValue(2).toString(),
                    st.columnValue(3).toLongLong(), st.columnValue(4).toInt() != 0};
    return out;
}

std::optional<Work> work(DbConnection &conn, qint64 id)
{
    DbStatement st(conn, QStringLiteral("SELECT ID, KWDIKOS, PERIGRAFH, TIMH_LEPTA, ENERGH FROM TIMOKATALOGOS WHERE ID=?"));
    st.bind(1, id);
    if (!st.step())
        return std::nullopt;
    return Work{st.columnValue(0).toLongLong(), st.columnValue(1).toString(), st.columnValue(2).toString(),
                st.columnValue(3).toLongLong(), st.columnValue(4).toInt() != 0};
}

qint64 addWork(DbConnection &conn, const Work &w)
{
    DbTransaction tx(conn);
    checkWork(conn, w);
    const qint64 row = conn.insertRow(QStringLiteral("INSERT INTO TIMOKATALOGOS (KWDIKOS, PERIGRAFH, TIMH_LEPTA, ENERGH) VALUES (?, ?, ?, ?)"),
                                      {w.code.trimmed(), w.description, w.cents, w.active ? -1 : 0});
    const qint64 id = conn.scalarNative(QStringLiteral("SELECT ID FROM TIMOKATALOGOS WHERE rowid=?"), {row}).toLongLong();
    tx.commit();
    return id;
}

void changeWork(DbConnection &conn, const Work &w)
{
    DbTransaction tx(conn);
    checkWork(conn, w);
    conn.executeNative(QStringLiteral("UPDATE TIMOKATALOGOS SET KWDIKOS=?, PERIGRAFH=?, TIMH_LEPTA=?, ENERGH=? WHERE ID=?"),
                       {w.code.trimmed(), w.description, w.cents, w.active ? -1 : 0, w.id});
    tx.commit();
}

bool workInUse(DbConnection &conn, qint64 id)
{
    return conn.scalarNative(QStringLiteral("SELECT count(*) FROM SXEDIO_THERAPEIAS WHERE ERGASIA=?"), {id}).toLongLong() > 0;
}

bool removeWork(DbConnection &conn, qint64 id)
{
    DbTransaction tx(conn);
    const bool used = workInUse(conn, id);
    if (used)
        conn.executeNative(QStringLiteral("UPDATE TIMOKATALOGOS SET ENERGH=0 WHERE ID=?"), {id});
    else
        conn.executeNative(QStringLiteral("DELETE FROM TIMOKATALOGOS WHERE ID=?"), {id});
    tx.commit();
    return !used;
}

void openPriceList(DataSet &ds, bool activeOnly)
{
    ds.close();
    // Whole cents divided as decimals: both engines divide whole numbers whole.
    ds.setSql(QStringLiteral("SELECT ID, KWDIKOS, PERIGRAFH, Format(TIMH_LEPTA/100.0,'0.00') AS TIMH, TIMH_LEPTA, ENERGH,"
                             " CASE WHEN ENERGH<>0 THEN 'Ναι' ELSE 'Όχι' END AS ENERGH_KEIMENO FROM TIMOKATALOGOS")
              + (activeOnly ? QStringLiteral(" WHERE ENERGH<>0") : QString()) + QStringLiteral(" ORDER BY KWDIKOS"));
    ds.open();
}

QString stateCode(State s)
{
    switch (s) {
    case State::Done: return QStringLiteral("D");
    case State::Cancelled: return QStringLiteral("C");
    case State::Planned: break;
    }
    return QStringLiteral("P");
}

QString stateText(State s)
{
    switch (s) {
    case State::Done: return QStringLiteral("Έγινε");
    case State::Cancelled: return QStringLiteral("Ακυρώθηκε");
    case State::Planned: break;
    }
    return QStringLiteral("Προγραμματισμένη");
}

QString itemsSql()
{
    return QString::fromLatin1(kItemColumns) + QStringLiteral(" WHERE s.PELATHS=? ORDER BY s.KATAXWRHSH, s.ID");
}

QList<Item> items(DbConnection &conn, CustomerRef customer)
{
    Roles::require(Roles::Duty::Clinical);
    QList<Item> out;
    DbStatement st(conn, itemsSql());
    st.bind(1, customer.value());
    while (st.step())
        out << itemOf(st);
    return out;
}

qint64 addItem(DbConnection &conn, CustomerRef customer, const Item &item)
{
    Roles::require(Roles::Duty::Clinical);
    DbTransaction tx(conn);
    Item i = item;
    const std::optional<Work> w = work(conn, i.work);
    if (w && i.cents < 0)
        i.cents = w->cents;
    checkItem(conn, i);
    const qint64 row = conn.insertRow(QStringLiteral("INSERT INTO SXEDIO_THERAPEIAS (PELATHS, ERGASIA, DONTI, EPIFANEIES, TIMH_LEPTA, KATASTASH,"
                                                     " SHMEIWSH, KATAXWRHSH) VALUES (?, ?, ?, ?, ?, 'P', ?, ?)"),
                                      {customer.value(), i.work, toothValue(i.tooth), Chart::normalizeSurfaces(i.surfaces), i.cents,
                                       i.note.isEmpty() ? QVariant() : QVariant(i.note), nowToTheSecond()});
    const qint64 id = conn.scalarNative(QStringLiteral("SELECT ID FROM SXEDIO_THERAPEIAS WHERE rowid=?"), {row}).toLongLong();
    AccessLog::record(conn, AccessLog::Action::Change, customer.value(), PlanDetail);
    tx.commit();
    return id;
}

void changeItem(DbConnection &conn, const Item &item)
{
    Roles::require(Roles::Duty::Clinical);
    DbTransaction tx(conn);
    const Item before = readItem(conn, item.id);
    if (before.receipt != 0)
        throw DbError(QStringLiteral("Η εργασία έχει χρεωθεί σε απόδειξη και δεν αλλάζει."));
    checkItem(conn, item);
    conn.executeNative(QStringLiteral("UPDATE SXEDIO_THERAPEIAS SET ERGASIA=?, DONTI=?, EPIFANEIES=?, TIMH_LEPTA=?, SHMEIWSH=? WHERE ID=?"),
                       {item.work, toothValue(item.tooth), Chart::normalizeSurfaces(item.surfaces), item.cents,
                        item.note.isEmpty() ? QVariant() : QVariant(item.note), item.id});
    AccessLog::record(conn, AccessLog::Action::Change, before.customer, PlanDetail);
    tx.commit();
}

void setState(DbConnection &conn, qint64 id, State state, const QDate &day)
{
    Roles::require(Roles::Duty::Clinical);
    DbTransaction tx(conn);
    const Item before = readItem(conn, id);
    if (before.receipt != 0)
        throw DbError(QStringLiteral("Η εργασία έχει χρεωθεί στην απόδειξη %1· ακυρώστε πρώτα την απόδειξη.").arg(before.receipt));
    if (before.state == state && (state != State::Done || !day.isValid() || day == before.done)) {
        tx.commit();
        return;
    }
    const bool charted = before.tooth != 0 && !chartCondition(before.description).isEmpty();
    if (before.state == State::Done && charted)
        conn.executeNative(QStringLiteral("DELETE FROM ODONTOGRAMMA WHERE rowid = (SELECT rowid FROM ODONTOGRAMMA WHERE ID=? AND HMEROMHNIA=?"
                                          " AND DONTI=? AND EPIFANEIES=? AND KATASTASH=? AND SHMEIWSH=? ORDER BY KATAXWRHSH DESC LIMIT 1)"),
                           chartEntry(before));
    Item after = before;
    after.state = state;
    after.done = state == State::Done ? (day.isValid() ? day : Clock::today()) : QDate();
    conn.executeNative(QStringLiteral("UPDATE SXEDIO_THERAPEIAS SET KATASTASH=?, HMEROMHNIA_EKTELESHS=? WHERE ID=?"),
                       {stateCode(state), after.done.isValid() ? QVariant(after.done) : QVariant(), id});
    if (state == State::Done && charted)
        conn.executeNative(QStringLiteral("INSERT INTO ODONTOGRAMMA (ID, HMEROMHNIA, DONTI, EPIFANEIES, KATASTASH, SHMEIWSH, KATAXWRHSH)"
                                          " VALUES (?, ?, ?, ?, ?, ?, ?)"),
                           chartEntry(after) << nowToTheSecond());
    AccessLog::record(conn, AccessLog::Action::Change, before.customer, PlanDetail);
    tx.commit();
}

QString chartCondition(const QString &description)
{
    // Word stems as a practice names its work, to the chart's conditions.
    static const struct {
        const char *stem;
        const char *condition;
    } kStems[] = {{"εμφραξ", "έμφραξη"}, {"ενδοδοντ", "ενδοδοντική θεραπεία"}, {"απονευρωσ", "ενδοδοντική θεραπεία"}, {"στεφαν", "στεφάνη"}, {"γεφυρ", "γέφυρα"}, {"εμφυτευ", "εμφύτευμα"}, {"εξαγωγ", Chart::Missing}};
    const QString text = folded(description);
    for (const auto &s : kStems)
        if (text.contains(QString::fromUtf8(s.stem)))
            return QString::fromUtf8(s.condition);
    return QString();
}

void markPlanned(QHash<int, Chart::ToothState> &states, const QList<Item> &items, const QDate &day)
{
    const QString whole = QString::fromLatin1(Chart::Surfaces);
    for (const Item &i : items) {
        if (!Chart::isTooth(i.tooth) || i.state == State::Cancelled)
            continue;
        const bool planned = day.isValid() ? i.entered <= day && (i.state == State::Planned || i.done > day)
                                           : i.state == State::Planned;
        if (!planned)
            continue;
        QString &letters = states[i.tooth].planned;
        const QString surfaces = Chart::normalizeSurfaces(i.surfaces);
        letters = Chart::normalizeSurfaces(letters + (surfaces.isEmpty() ? whole : surfaces));
    }
}

Totals totals(const QList<Item> &items)
{
    Totals t;
    for (const Item &i : items) {
        if (i.state == State::Planned)
            t.planned += i.cents;
        if (i.state != State::Done)
            continue;
        t.done += i.cents;
        (i.receipt != 0 ? t.billed : t.outstanding) += i.cents;
    }
    return t;
}

QString billDescription(const QList<Item> &items)
{
    QStringList parts;
    for (const Item &i : items)
        parts << (i.tooth ? QStringLiteral("%1 (δόντι %2)").arg(i.description).arg(i.tooth) : i.description);
    return parts.join(QStringLiteral(", "));
}

qint64 sum(const QList<Item> &items)
{
    qint64 total = 0;
    for (const Item &i : items)
        total += i.cents;
    return total;
}

}
