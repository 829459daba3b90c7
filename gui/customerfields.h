#pragma once
#include "gui/formstyle.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "gui/dbcontrols.h"
#include "data/db/regional.h"
#include <QDateEdit>
#include <QDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QString>

// The nine inputs of a customer's basic data, laid out alike in the
// new-customer window and the customer card (same object names in both).
template <class Ui>
void SetupCustomerFields(Ui *ui, DataSet *ds)
{
    for (QWidget *l : {ui->Label1, ui->Label2, ui->Label3, ui->Label4, ui->Label5, ui->Label6,
                       ui->Label7, ui->Label8, ui->Label9})
        makeBold(l);
    for (QWidget *l : {ui->Label10, ui->Label11, ui->Label12, ui->Label13})
        makeRequiredMark(l);

    ui->DBEdit1->setDataSource(ds, QStringLiteral("ONOMA"));
    ui->DBEdit2->setDataSource(ds, QStringLiteral("EPWNYMO"));
    ui->DBComboBox1->setDataSource(ds, QStringLiteral("FYLO"));
    ui->DBEdit3->setDataSource(ds, QStringLiteral("HMEROMHNIA_GENNHSEWS"));
    ui->DBEdit7->setDataSource(ds, QStringLiteral("DIEYTHYNSH"));
    ui->DBEdit8->setDataSource(ds, QStringLiteral("THLEFWNO_1"));
    ui->DBEdit9->setDataSource(ds, QStringLiteral("THLEFWNO_2"));
    ui->DBEdit4->setDataSource(ds, QStringLiteral("EPAGGELMA"));
    ui->DBEdit5->setDataSource(ds, QStringLiteral("TAMEIO"));

    // The birth date is only picked, never typed; the picker starts at
    // today whatever is stored.
    ui->DateTimePicker1->setMinimumDate(QDate(1901, 1, 1));
    ui->DateTimePicker1->setMaximumDate(QDate(9999, 12, 31));
    ui->DateTimePicker1->setDisplayFormat(Regional::shortDateFormat());
    const QSignalBlocker quiet(ui->DateTimePicker1);
    ui->DateTimePicker1->setDate(Clock::today());
}

// A date picked for the birth date goes into its box in the short date
// format. It reaches the field only while the row is being entered or
// edited; a browsed row is not put into editing by it.
inline void PutPickedBirthDate(const QDate &picked, DbEdit *box, DataSet *ds)
{
    const QString text = Regional::formatDate(picked);
    box->setText(text);
    if (ds->state() == DataSetState::Edit || ds->state() == DataSetState::Insert)
        ds->setFieldText(QStringLiteral("HMEROMHNIA_GENNHSEWS"), text);
}

// The customer windows have no default button: Enter presses nothing, Esc
// presses the exit button.
inline void NoDefaultButton(QDialog *d)
{
    for (QPushButton *b : d->findChildren<QPushButton *>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
}
