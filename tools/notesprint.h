#pragma once
#include "gui/formdialog.h"
#include <QString>
#include <functional>
#include <memory>

class DataSet;
class DbConnection;
class ReportProject;
namespace Ui {
class TForm7;
}

// Printing of the notebook: every note, or the one the notebook selected.
// Created once at start-up and reused.
class TForm7 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm7(QWidget *parent = nullptr);
    ~TForm7() override;

    QString SelectedNoteId;   // key of the note to print alone, decimal text

    void Button1Click();   // print all
    void Button2Click();   // print the selected one

protected:
    void FormClose() override;

private:
    void printNotes(const std::function<void(DataSet &)> &select);

    std::unique_ptr<Ui::TForm7> ui;
    std::unique_ptr<DbConnection> ADOConnection1;
    DataSet *ADOQuery1 = nullptr;
    ReportProject *RvProject2 = nullptr;
};

// The notes printing made at start-up; the notebook prints through it.
extern TForm7 *Form7;
