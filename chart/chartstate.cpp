#include "chart/chartstate.h"
#include <algorithm>

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

QColor colorOf(const QString &condition)
{
    static const QColor colours[] = {
        QColor(255, 255, 255),   // υγιές
        QColor(220, 30, 30),     // τερηδόνα
        QColor(40, 90, 220),     // έμφραξη
        QColor(150, 60, 190),    // ενδοδοντική θεραπεία
        QColor(235, 175, 20),    // στεφάνη
        QColor(0, 150, 150),     // γέφυρα
        QColor(90, 90, 90),      // εμφύτευμα
        QColor(190, 190, 190),   // εξαγωγή/απών
        QColor(40, 170, 60),     // προς θεραπεία
    };
    const int i = int(conditions().indexOf(condition));
    return i < 0 ? QColor(255, 255, 255) : colours[i];
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

}
