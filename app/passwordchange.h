#pragma once
#include "data/db/connection.h"
#include <QDialog>
#include <memory>

namespace Ui {
class TForm66;
}
class DataSet;

// Replaces the password (of the signed-in user, where the practice has
// users) after the current one and the new one twice.
class TForm66 : public QDialog {
    Q_OBJECT
public:
    explicit TForm66(QWidget *parent = nullptr);
    ~TForm66() override;

    DbConnection ADOConnection1;
    DataSet *ADOTable1;

    QString CurrentPassword;
    QString OldPasswordText;
    QString NewPasswordText;
    QString ConfirmPasswordText;

    void done(int result) override;

private:
    void FormCreate();
    void UpdateChangeButton();
    void Button1Click();
    void FormClose();
    std::unique_ptr<Ui::TForm66> ui;
    // On a server no password is stored: the server checks the old one.
    bool m_serverChecksOld = false;
    // On a file with users the old password is checked against the user's own wrap.
    bool m_userChecksOld = false;
};
