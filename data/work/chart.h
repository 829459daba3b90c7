#pragma once
#include "data/work/customerid.h"
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class DataSet;

// The tooth chart's rules: FDI numbering, the five surfaces, the fixed
// list of conditions, the state of every tooth on a given day worked out
// from the stored entries, and the entries' rows.
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
// The letters with one surface turned on when it was off, off when on.
QString toggleSurface(const QString &surfaces, QChar surface);
// "Εγγύς, Μασητική", or "Ολόκληρο" for none.
QString surfacesText(const QString &surfaces, int fdi);

// The fixed list, in the order the window offers it.
QStringList conditions();
inline constexpr const char *Healthy = "υγιές";
inline constexpr const char *Missing = "εξαγωγή/απών";

struct Entry {
    QDate date;
    QDateTime entered;   // orders the entries of one day
    int tooth = 0;
    QString surfaces;   // letters; empty: the whole tooth
    QString condition;
};

// A tooth's state: the condition of each surface (index as in Surfaces)
// and the condition of the newest entry for it; the surfaces with work
// planned for them, in the stored order (all five for the whole tooth).
struct ToothState {
    QString surface[5];
    QString latest;
    QString planned;
    bool operator==(const ToothState &) const = default;
};

// The state of every tooth with entries on or before day (every entry when
// day is invalid). A whole-tooth entry sets all five surfaces; a later
// entry of some surfaces changes only those. Teeth without entries are
// absent: they are healthy.
QHash<int, ToothState> stateOn(const QList<Entry> &entries, const QDate &day);
// A child's chart opens on the primary teeth when only those have entries.
Dentition openingDentition(const QList<Entry> &entries);

// The customer's entries, newest first (by day, then by the moment entered).
void open(DataSet &ds, CustomerRef customer);
// The rows of an open, browsing data set as entries.
QList<Entry> entries(const DataSet &ds);
// A new row (being inserted) becomes the customer's entry of today, for the
// tooth when one is given (0: none yet), as a whole tooth.
void startEntry(DataSet &ds, CustomerRef customer, int fdi);
// The surfaces of the current row, stored in the order of Surfaces.
void setSurfaces(DataSet &ds, const QString &letters);
// Before a row is stored: a tooth and a condition from the list, or
// DbError; a date (today when left empty); surfaces in the stored order;
// the customer and the moment of entry are the program's.
void completeEntry(DataSet &ds, CustomerRef customer);
// The customer's row and the practice details, for the chart's printout.
void openPrintout(DataSet &customerRow, DataSet &practice, CustomerRef customer);

}
