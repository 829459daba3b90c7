#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

// «Χρήστες»: the administrator's list of the practice's users, where a user
// is added, removed, given another role, enabled or disabled, or given a new
// password (typed twice). Each change rewrites the wraps of the file's key,
// never the file.
class UsersForm : public FormDialog {
    Q_OBJECT
public:
    explicit UsersForm(QWidget *parent = nullptr);

    DbConnection ADOConnection1;

protected:
    void FormShow() override;
    void FormClose() override;

private:
    void reload();
    void rowChosen();
    void updateButtons();
    // The two password fields, when they agree and make a password; else a message.
    bool newPassword(QString &password);
    void addClick();
    void passwordClick();
    void roleClick();
    void enableClick();
    void removeClick();
    QString chosenName() const;

    QTableWidget *m_grid;
    QLineEdit *m_name;
    QComboBox *m_role;
    QLineEdit *m_password;
    QLineEdit *m_again;
    QPushButton *m_add, *m_setPassword, *m_setRole, *m_enable, *m_remove;
};
