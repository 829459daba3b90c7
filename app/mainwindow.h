#pragma once
#include "data/db/connection.h"
#include "data/practice/roles.h"
#include <QDateTime>
#include <QMainWindow>
#include <QPixmap>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace Ui {
class TForm3;
}
class DataSet;
class QAction;
class QLabel;
class QMenu;
class QTimer;

// The main window. Creating it runs the start-up sequence: splash, access
// check, today's reminder and the receipt-numbering check.
class TForm3 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
    // The program's own start: the splash and the access check come first
    // (OpenPractice), and the window is built only once the password is
    // accepted, so the access check does not wait for it.
    static bool OpenPractice(QDateTime &startedAt);
    TForm3(const QDateTime &startedAt, QWidget *parent = nullptr);
    ~TForm3() override;

    void CheckReminders();
    void CheckNumbering();
    void Timer1Timer();
    void BitBtn1Click();

    QString statusText(int panel) const;
    // The fixed line of status panel 1.
    static QString productLine();

    DbConnection ADOConnection1;
    DataSet *ADOQuery1;
    QTimer *Timer1;

protected:
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Stage { Whole,
                       AfterAccess };
    TForm3(const QDateTime &startedAt, Stage stage, QWidget *parent);
    void FormCreate(const QDateTime &startedAt, Stage stage);
    void EndAtStartup();
    void buildMenu();
    void wireButtons();
    void openWebPage();
    void fitPicture();
    void N8Click();
    QAction *addEntry(QMenu *menu, const char *name, const QString &caption);
    void wire(QObject *entry, const QString &windowClass);
    void onTriggered(QObject *entry, std::function<void()> handler);

    std::unique_ptr<Ui::TForm3> ui;
    QPixmap m_picture;
    QLabel *m_panel0;
    QLabel *m_panel1;
    QLabel *m_note;   // the note about backups, when there is one
    QLabel *m_user;   // who is working
    void showWhoIsWorking();
    void followRole();
    // Menu entries and buttons, with what each is for.
    std::vector<std::pair<QObject *, Roles::Duty>> m_roleEntries;
    bool m_exitConfirmed = false;
};
