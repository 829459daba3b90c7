#pragma once
#include "gui/messages.h"
#include "gui/modal.h"
#include "gui/dbgrid.h"
#include "tests/common/testutil.h"
#include <QDialog>
#include <QStringList>
#include <QTest>
#include <functional>

// One customer row for a test practice; empty texts are stored as NULL.
struct Customer {
    QString onoma, epwnymo, fylo;
    QString born;   // d/M/yyyy or empty
    QString tameio, epaggelma, istoriko;
    QString dieythynsh, thlefwno1, thlefwno2;
};

// Inserts the customer and returns its database-assigned ID.
inline qlonglong addCustomer(TempPractice &p, const Customer &c)
{
    auto text = [](const QString &s) { return s.isEmpty() ? QStringLiteral("NULL") : "'" + s + "'"; };
    QString date = QStringLiteral("NULL");
    if (!c.born.isEmpty()) {
        const QStringList d = c.born.split(u'/');
        date = QStringLiteral("#%1/%2/%3#").arg(d[1], d[0], d[2]);
    }
    p.exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,TAMEIO,EPAGGELMA,"
                          "ISTORIKO,DIEYTHYNSH,THLEFWNO_1,THLEFWNO_2) VALUES(%1,%2,%3,%4,%5,%6,%7,%8,%9,%10)")
               .arg(text(c.onoma), text(c.epwnymo), text(c.fylo), date, text(c.tameio), text(c.epaggelma),
                    text(c.istoriko), text(c.dieythynsh), text(c.thlefwno1))
               .arg(text(c.thlefwno2)));
    return p.scalar(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong();
}

// Types a text key by key, Greek letters included.
inline void typeText(QWidget *w, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// The texts of one grid column, top to bottom.
inline QStringList gridColumn(QWidget *window, int column, const char *grid = "DBGrid1")
{
    QAbstractItemModel *m = child<DbGrid>(window, grid)->model();
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, column).data().toString();
    return out;
}

// While alive, every window opened modally is shown (its showing handlers
// run), handed to the script, and closed again unless the script closed it.
class ModalScript {
public:
    explicit ModalScript(std::function<void(QDialog *)> script)
    {
        SetModalHandler([script](QDialog *d) {
            d->show();
            script(d);
            if (d->isVisible())
                d->reject();
            return d->result();
        });
    }
    ~ModalScript() { SetModalHandler({}); }
};
