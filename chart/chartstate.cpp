#include "chart/chartstate.h"

namespace Chart {

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

}
