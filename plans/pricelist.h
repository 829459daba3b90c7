#pragma once
#include "gui/formdialog.h"
#include <memory>

class DataSet;
class DbConnection;
class ReportProject;
namespace Ui {
class TForm82;
}

// The practice's price list of work: code, description, price and whether
// it is still offered; added, changed, deleted (a work some plan names is
// made inactive instead) and printed.
class TForm82 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm82(QWidget *parent = nullptr);
    ~TForm82() override;
    DataSet *list() const { return ADOQuery1; }

protected:
    void FormClose() override;

private:
    void showCurrent();
    void showFields();   // the current work's, or empty ones for a new work
    void UpdateButtons();
    void Button1Click();   // a new work
    void Button2Click();   // store the typed work
    void Button3Click();   // delete
    void Button4Click();   // print
    void reload(qint64 currentId);
    qint64 currentId() const;

    std::unique_ptr<Ui::TForm82> ui;
    std::unique_ptr<DbConnection> ADOConnection1;
    DataSet *ADOQuery1 = nullptr;
    DataSet *ADOTable1 = nullptr;   // the practice's details, printed above the list
    DataSet *ADOQuery2 = nullptr;   // the printed list
    ReportProject *RvProject1 = nullptr;
    bool m_new = false;   // the fields hold a work not stored yet
};
