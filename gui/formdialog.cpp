#include "gui/formdialog.h"
#include "gui/guard.h"
#include <QShowEvent>

void FormDialog::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void FormDialog::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        runGuarded([this] { FormShow(); });
}
