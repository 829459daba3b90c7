#pragma once
#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// What the tooth chart knows: FDI numbering, the five surfaces, the fixed
// list of conditions and their colours, and the state of every tooth on a
// given day, worked out from the stored entries.
namespace Chart {

enum class Dentition { Permanent,
                       Primary };

// FDI numbers as drawn, left to right as the dentist faces the patient:
// the upper arch (18…11, 21…28 or 55…51, 61…65), then the lower
// (48…41, 31…38 or 85…81, 71…75).
QList<int> upperTeeth(Dentition d);
QList<int> lowerTeeth(Dentition d);
bool isTooth(int fdi);   // a permanent or primary FDI number
Dentition dentitionOf(int fdi);
bool isFront(int fdi);   // incisors and canines: incisal edge

// The five surfaces, stored as these letters in this order.
inline constexpr char Surfaces[] = "MDOBL";
// Its Greek name; the occlusal one is the incisal edge on front teeth.
QString surfaceName(QChar surface, int fdi);
// The letters in the stored order, each once; other characters are dropped.
QString normalizeSurfaces(const QString &surfaces);
// "Εγγύς, Μασητική", or "Ολόκληρο" for none.
QString surfacesText(const QString &surfaces, int fdi);

// The fixed list, in the order the window offers it.
QStringList conditions();
inline constexpr const char *Healthy = "υγιές";
inline constexpr const char *Missing = "εξαγωγή/απών";
QColor colorOf(const QString &condition);

struct Entry {
    QDate date;
    QDateTime entered;   // orders the entries of one day
    int tooth = 0;
    QString surfaces;   // letters; empty: the whole tooth
    QString condition;
};

// A tooth's state: the condition of each surface (index as in Surfaces)
// and the condition of the newest entry for it.
struct ToothState {
    QString surface[5];
    QString latest;
    bool operator==(const ToothState &) const = default;
};

// The state of every tooth with entries on or before day (every entry when
// day is invalid). A whole-tooth entry sets all five surfaces; a later
// entry of some surfaces changes only those. Teeth without entries are
// absent: they are healthy.
QHash<int, ToothState> stateOn(const QList<Entry> &entries, const QDate &day);

}
