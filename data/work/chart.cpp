#include "data/work/chart.h"
#include "data/practice/roles.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/db/dberror.h"
#include "data/work/customers.h"
#include <algorithm>
#include <string_view>

namespace Chart {

QList<int> upperTeeth(Dentition d)
{
    if (d == Dentition::Primary)
        return {55, 54, 53, 52, 51, 61, 62, 63, 64, 65};
    return {18, 17, 16, 15, 14, 13, 12, 11, 21, 22, 23, 24, 25, 26, 27, 28};
}

QList<int> lowerTeeth(Dentition d)
{
    if (d == Dentition::Primary)
        return {85, 84, 83, 82, 81, 71, 72, 73, 74, 75};
    return {48, 47, 46, 45, 44, 43, 42, 41, 31, 32, 33, 34, 35, 36, 37, 38};
}

bool isTooth(int fdi)
{
    const int quadrant = fdi / 10, n = fdi % 10;
    if (quadrant >= 1 && quadrant <= 4)
        return n >= 1 && n <= 8;
    if (quadrant >= 5 && quadrant <= 8)
        return n >= 1 && n <= 5;
    return false;
}

Dentition dentitionOf(int fdi) { return fdi / 10 >= 5 ? Dentition::Primary : Dentition::Permanent; }

bool isFront(int fdi) { return fdi % 10 <= 3; }

QString surfaceName(QChar surface, int fdi)
{
    switch (surface.toLatin1()) {
    case 'M': return QStringLiteral("Εγγύς");
    case 'D': return QStringLiteral("Άπω");
    case 'O': return isFront(fdi) ? QStringLiteral("Κοπτική") : QStringLiteral("Μασητική");
    case 'B': return isFront(fdi) ? QStringLiteral("Χειλική") : QStringLiteral("Παρειακή");
    case 'L': return fdi / 10 == 1 || fdi / 10 == 2 || fdi / 10 == 5 || fdi / 10 == 6 ? QStringLiteral("Υπερώια")
                                                                                      : QStringLiteral("Γλωσσική");
    default: return QString();
    }
}

QString normalizeSurfaces(const QString &surfaces)
{
    QString out;
    for (const char c : std::string_view(Surfaces))
        if (surfaces.contains(QLatin1Char(c), Qt::CaseInsensitive))
            out += QLatin1Char(c);
    return out;
}

QString toggleSurface(const QString &surfaces, QChar surface)
{
    QString letters = normalizeSurfaces(surfaces);
    if (letters.contains(surface))
        letters.remove(surface);
    else
        letters += surface;
    return normalizeSurfaces(letters);
}

QString surfacesText(const QString &surfaces, int fdi)
{
    const QString letters = normalizeSurfaces(surfaces);
    if (letters.isEmpty())
        return QStringLiteral("Ολόκληρο");
    QStringList names;
    for (const QChar c : letters)
        names << surfaceName(c, fdi);
    return names.join(QStringLiteral(", "));
}

QStringList conditions()
{
    return {QString::fromUtf8(Healthy), QStringLiteral("τερηδόνα"), QStringLiteral("έμφραξη"),
            QStringLiteral("ενδοδοντική θεραπεία"), QStringLiteral("στεφάνη"), QStringLiteral("γέφυρα"),
            QStringLiteral("εμφύτευμα"), QString::fromUtf8(Missing), QStringLiteral("προς θεραπεία")};
}

QHash<int, ToothState> stateOn(const QList<Entry> &entries, const QDate &day)
{
    QList<const Entry *> order;
    for (const Entry &e : entries)
        if (isTooth(e.tooth) && (!day.isValid() || (e.date.isValid() && e.date <= day)))
            order << &e;
    std::stable_sort(order.begin(), order.end(), [](const Entry *a, const Entry *b) {
        if (a->date != b->date)
            return a->date < b->date;
        return a->entered < b->entered;
    });
    QHash<int, ToothState> state;
    for (const Entry *e : std::as_const(order)) {
        ToothState &t = state[e->tooth];
        const QString letters = normalizeSurfaces(e->surfaces);
        for (int i = 0; i < 5; ++i)
            if (letters.isEmpty() || letters.contains(QLatin1Char(Surfaces[i])))
                t.surface[i] = e->condition;
        t.latest = e->condition;
    }
    return state;
}

Dentition openingDentition(const QList<Entry> &entries)
{
    const bool primary = !entries.isEmpty() && std::all_of(entries.begin(), entries.end(), [](const Entry &e) {
        return dentitionOf(e.tooth) == Dentition::Primary;
    });
    return primary ? Dentition::Primary : Dentition::Permanent;
}

void open(DataSet &ds, CustomerRef customer)
{
    Roles::require(Roles::Duty::Clinical);
    ds.close();
    ds.setSql(QStringLiteral("SELECT * FROM ODONTOGRAMMA WHERE ID=") + customer.text()
              + QStringLiteral(" ORDER BY HMEROMHNIA DESC, KATAXWRHSH DESC"));
    ds.open();
}

QList<Entry> entries(const DataSet &ds)
{
    QList<Entry> out;
    const int date = ds.fieldIndex(QStringLiteral("HMEROMHNIA"));
    const int entered = ds.fieldIndex(QStringLiteral("KATAXWRHSH"));
    const int tooth = ds.fieldIndex(QStringLiteral("DONTI"));
    const int surfaces = ds.fieldIndex(QStringLiteral("EPIFANEIES"));
    const int condition = ds.fieldIndex(QStringLiteral("KATASTASH"));
    for (int r = 0; r < ds.recordCount(); ++r) {
        Entry e;
        e.date = ds.value(r, date).toDate();
        e.entered = ds.value(r, entered).toDateTime();
        e.tooth = ds.value(r, tooth).toInt();
        e.surfaces = ds.value(r, surfaces).toString();
        e.condition = ds.value(r, condition).toString();
        out << e;
    }
    return out;
}

void startEntry(DataSet &ds, CustomerRef customer, int fdi)
{
    Roles::require(Roles::Duty::Clinical);
    ds.setFieldValue(QStringLiteral("ID"), customer.value());
    ds.setFieldValue(QStringLiteral("HMEROMHNIA"), Clock::today());
    if (fdi)
        ds.setFieldValue(QStringLiteral("DONTI"), fdi);
    setSurfaces(ds, QString());
}

void setSurfaces(DataSet &ds, const QString &letters)
{
    ds.setFieldValue(QStringLiteral("EPIFANEIES"), normalizeSurfaces(letters));
}

void completeEntry(DataSet &ds, CustomerRef customer)
{
    Roles::require(Roles::Duty::Clinical);
    if (!isTooth(ds.fieldValue(QStringLiteral("DONTI")).toInt()))
        throw DbError(QStringLiteral("Διαλέξτε ένα δόντι στο οδοντόγραμμα ή γράψτε τον αριθμό του (π.χ. 16 ή 55)."));
    if (!conditions().contains(ds.fieldText(QStringLiteral("KATASTASH"))))
        throw DbError(QStringLiteral("Διαλέξτε την κατάσταση του δοντιού από τη λίστα."));
    if (ds.fieldValue(QStringLiteral("HMEROMHNIA")).isNull())
        ds.setFieldValue(QStringLiteral("HMEROMHNIA"), Clock::today());
    const QString letters = ds.fieldText(QStringLiteral("EPIFANEIES"));
    if (letters != normalizeSurfaces(letters))
        setSurfaces(ds, letters);
    ds.setFieldValue(QStringLiteral("ID"), customer.value());
    if (ds.fieldValue(QStringLiteral("KATAXWRHSH")).isNull()) {
        const QDateTime now = Clock::now();
        ds.setFieldValue(QStringLiteral("KATAXWRHSH"), QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second())));
    }
}

void openPrintout(DataSet &customerRow, DataSet &practice, CustomerRef customer)
{
    Roles::require(Roles::Duty::Clinical);
    Customers::openRow(customerRow, customer);
    practice.close();
    practice.setSql(QStringLiteral("SELECT * FROM INFORMATION"));
    practice.open();
}

}
