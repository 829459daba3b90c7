#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"

class DataSet;
class DbGrid;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class ReportProject;

// «Ημερολόγιο προσβάσεων»: the administrator's view of the access log,
// filtered by customer, user and dates as `molarix-db audit` is; «Έλεγχος»
// walks the chain and says where it breaks; the printout lists what is shown.
class AccessLogForm : public FormDialog {
    Q_OBJECT
public:
    explicit AccessLogForm(QWidget *parent = nullptr);

    DbConnection ADOConnection1;

protected:
    void FormShow() override;
    void FormClose() override;

private:
    void showClick();
    void checkClick();
    void printClick();

    QLineEdit *m_customer, *m_user;
    QCheckBox *m_fromOn, *m_toOn;
    QDateEdit *m_from, *m_to;
    DbGrid *m_grid;
    DataSet *ADOQuery1, *ADOTable1;
    ReportProject *RvProject1;
};
