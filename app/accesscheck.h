#pragma once
#include "data/db/connection.h"
#include <QDialog>
#include <QHash>
#include <QTimer>
#include <memory>

namespace Ui {
class TForm65;
}
class DataSet;

// Access check: asks for the user's name and password before the program
// can be used (a practice of one shared password needs the password alone;
// a name typed there makes that user its first administrator).
class TForm65 : public QDialog {
    Q_OBJECT
public:
    explicit TForm65(QWidget *parent = nullptr);
    ~TForm65() override;

    DbConnection ADOConnection1;
    DataSet *ADOTable1;
    // The input's text, trimmed, as of its last change; wiped once the
    // practice is open.
    QString EnteredPassword;

    // Everything showing the window needs but the screen: its style, its
    // layout, its fonts and its window on the display.
    void makeReady();

    void reject() override;   // Esc and the exit button
    void done(int result) override;

    // Seconds to wait before the next try after the n-th wrong one:
    // doubling from 1 up to 30.
    static int waitAfterWrongTry(int wrongTries);
    // Length of one counted second (tests shorten it).
    int secondMs = 1000;
    int secondsLeft() const { return m_secondsLeft; }

private:
    void startWait();
    void countDown();
    void showCountdown();
    void Edit1Change();
    void becomeUsers(const QString &name);
    void Button1Click();
    void Button2Click();
    void FormClose();
    std::unique_ptr<Ui::TForm65> ui;
    QTimer m_countdown;
    // Wrong tries so far, per user name as typed (letter case aside).
    QHash<QString, int> m_wrongTries;
    int m_secondsLeft = 0;
};
