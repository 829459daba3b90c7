#pragma once
#include "data/db/connection.h"
#include "data/practice/roles.h"
#include "gui/formdialog.h"
#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class TForm18;
}
class DataSet;
class QAction;
class QMenu;
class QMenuBar;
class QPushButton;

// "Βασικά στοιχεία των πελατών": the customers one search found, and the
// hub of every per-customer window. Created once at start-up; the find
// window sets ListSql and ListCriteria before each showing.
class TForm18 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm18(QWidget *parent = nullptr);
    ~TForm18() override;

    QString ListSql;        // the statement that fills the list
    QString ListCriteria;   // its tail after the table name; handed to the printouts

    QString SortField;       // EPWNYMO, HMEROMHNIA_GENNHSEWS, FYLO, EPAGGELMA or TAMEIO
    QString SortDirection;   // " ASC" or " DESC"

    // A row is current and its ID is a customer's: the per-customer
    // windows open only then.
    bool HasCurrentCustomer() const;
    // The current row as handed to other windows: display texts, trimmed.
    QString CurrentId() const;
    QString CurrentFirstName() const;
    QString CurrentSurname() const;
    QString CurrentBirthDate() const;

    void FormClose() override;

    // Where the customer's data are exported; tests answer in place of
    // the system's folder dialog. Empty text: nothing is written.
    using FolderPicker = std::function<QString(QWidget *parent)>;
    static void setExportFolderPicker(FolderPicker picker);

private:
    void FormShow() override;
    void RefreshCount();
    void ApplySort();
    void SortByClick(const QString &field);
    void SortKindClick(const QString &direction);
    void ReRead();

    void Button2Click();    // customer card
    void Button3Click();    // history
    void Button8Click();    // tooth chart
    void Button9Click();    // treatment plan
    void Button1Click();    // visits
    void Button7Click();    // takings
    void Button6Click();    // issue receipt
    void Button5Click();    // printouts
    void Button10Click();   // the customer's data on request
    void DeleteCustomer();

    std::unique_ptr<Ui::TForm18> ui;
    DbConnection ADOConnection1;
    DataSet *ADOQuery1;
    QMenuBar *MainMenu1;
    QMenu *N1;
    QAction *N2, *N3, *N11, *N12, *N4, *N6, *KLLLL1, *N5, *N10, *N13;
    // Each action's button and menu entry, shown to the roles that may use it.
    struct RoleEntry {
        QPushButton *button;
        QAction *action;
        Roles::Duty duty;
    };
    std::vector<RoleEntry> m_roleEntries;
};

// The customer list made at start-up; the search, the recall list and the
// main window show it again with a new ListSql.
extern TForm18 *Form18;
