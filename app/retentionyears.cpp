#include "app/retentionyears.h"
#include "data/db/connection.h"
#include "data/work/settings.h"
#include "gui/modal.h"
#include <QInputDialog>

void AskRetentionYears(QWidget *parent)
{
    DbConnection conn;
    conn.prepare();
    QInputDialog ask(parent);
    ask.setObjectName(QStringLiteral("RetentionYears"));
    ask.setWindowTitle(QStringLiteral("Περίοδος διατήρησης ιατρικών στοιχείων"));
    ask.setLabelText(QStringLiteral("Χρόνια που φυλάσσονται τα ιατρικά στοιχεία ενός πελάτη μετά την τελευταία του επίσκεψη:"));
    ask.setInputMode(QInputDialog::IntInput);
    ask.setIntRange(1, 100);
    ask.setIntValue(Settings::retentionYears(conn));
    if (ShowModal(&ask) == QDialog::Accepted)
        Settings::setRetentionYears(conn, ask.intValue());
}
